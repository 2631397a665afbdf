#pragma once

#include "InstallRecord.h"
#include "util/HostPath.h"

#include <QList>

namespace veltrane {

class Inventory;

// The copies an install keeps aside so that it can be taken back, within a budget of disk
// space: past it, the oldest installs' copies go, and those installs can no longer be undone.
namespace KeptCopies {

// The environment variable that sets the budget in bytes, for tests and small disks.
inline constexpr const char* kBudgetVariable = "VELTRANE_KEPT_COPIES_BUDGET";

// The budget for the game's file system: the smaller of 2 GiB and a tenth of its free space,
// unless the environment variable sets it.
qint64 budget(const HostPath& game);

// What the kept copies of the journal in that folder take on the disk: the blocks of the
// files that have no other name. A copy that is a second name of a file still in the game (a
// list's backup) costs nothing more.
qint64 sizeOf(const HostPath& journal);

// Drops the copies of the oldest installs until the rest fit the budget; never those of the
// install `keep`. The installs whose copies went.
QList<InstallRecord> fit(Inventory& inventory, const HostPath& game, int keep);

} // namespace KeptCopies

} // namespace veltrane
