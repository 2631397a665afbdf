#pragma once

#include "InstallHistory.h"
#include "util/Expected.h"
#include "util/HostPath.h"

namespace veltrane {

// A journal is replayed only when it is whole and this game's own: its header names this
// game folder, every record is of a known kind with its fields, every path it names lies
// inside the game and outside the program's own folder, and every file it kept aside lies
// inside its own folder. Anything else (a journal planted by a package, copied from another
// game, damaged) is set aside, never replayed.
namespace JournalCheck {

// Why the journal may not be replayed in game; nothing when it may.
Expected<void> check(const InstallHistory::Install& install, const HostPath& game);

// Moves the journal out of the journals' folder, where no undo looks; the folder it went
// to, or a failure when it could not be moved (then it is removed).
Expected<HostPath> setAside(const InstallHistory::Install& install, const HostPath& game);

} // namespace JournalCheck

} // namespace veltrane
