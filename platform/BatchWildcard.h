#pragma once

#include <QString>
#include <QStringView>

namespace veltrane {

// The wildcards of Windows file names, without regard to letter case: "*" stands for any
// run of characters, "?" for one (or none, at the end of a name or in front of a dot).
// "*.*" matches every name, also one without a dot, and "*." the names without one.
class BatchWildcard {
public:
    static bool hasWildcards(QStringView text);
    static bool matches(QStringView pattern, QStringView name);
    // The new name that REN gives to name under a mask such as "*.bak" or "new.*".
    static QString rename(QStringView mask, QStringView name);
};

} // namespace veltrane
