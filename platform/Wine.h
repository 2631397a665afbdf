#pragma once

#include "util/HostPath.h"

#include <QString>

namespace veltrane {

// Wine, where the game's Windows programs run on other systems.
namespace Wine {

// The `wine` program found on PATH; empty when Wine is not installed.
HostPath program();
inline bool isInstalled()
{
    return !program().isEmpty();
}
// The prefix's system folder, where the game keeps its tools.
HostPath systemFolder();
// A host path in the form Wine's programs understand: "C:\..." inside the prefix's
// drives, "Z:\..." for the rest of the file system.
QString toWindowsPath(const HostPath& path);

} // namespace Wine

} // namespace veltrane
