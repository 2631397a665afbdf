#pragma once

#include "util/HostPath.h"

#include <QString>
#include <optional>

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
// A host path in the form Wine's programs see it, through the drives of the prefix's
// dosdevices folder as Wine itself maps them: the drive whose folder is the deepest one
// holding the path ("C:\..." inside drive_c, "Z:\..." where Z: stands for "/"). Nothing
// when no drive holds it: a Windows program could not reach that path.
std::optional<QString> toWindowsPath(const HostPath& path);

} // namespace Wine

} // namespace veltrane
