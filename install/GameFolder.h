#pragma once

#include "util/Expected.h"
#include "util/HostPath.h"

#include <QString>

namespace veltrane {

// The game folder: where it is looked for when the user has not said, and whether a folder
// is the game's.
namespace GameFolder {

// "c:\program files\Rail Simulator" when RailSim.exe is there, else the first game found where
// Linux users keep it; empty when none.
QString defaultFolder();

// The folder the text names, mapped; empty for a text that names none.
HostPath fromText(const QString& text);

// Whether the game may be installed into: a failure saying what is wrong when no folder was
// named, it does not exist, or it does not look like the game's.
Expected<void> check(const HostPath& game);

} // namespace GameFolder

} // namespace veltrane
