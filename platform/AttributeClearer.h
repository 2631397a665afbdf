#pragma once

#include <QString>

namespace veltrane {

// What "ATTRIB -h -r -s <folder>\*.* /s /d" achieves where there is no ATTRIB: the owner
// may write every file and folder below the folder, the folder included.
class AttributeClearer {
public:
    // hostFolder: a host path. Returns false when some entry could not be changed.
    static bool makeWritable(const QString& hostFolder);
};

} // namespace veltrane
