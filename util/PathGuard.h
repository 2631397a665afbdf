#pragma once

#include <QString>

namespace veltrane {

// Paths that come from a package's files must stay inside the folder they belong to.
class PathGuard {
public:
    // A relative path, "\" or "/" separated, that cannot leave the folder it is joined to:
    // no drive or colon, no leading separator, no empty, "." or ".." component (a trailing
    // run of dots or blanks counts as nothing, as on Windows).
    static bool isContainedRelative(const QString& relative);

    // Whether path, in the program's form, lies inside folder once symbolic links are
    // followed as far as the path exists.
    static bool staysInside(const QString& folder, const QString& path);
};

} // namespace veltrane
