#pragma once

#include "util/Expected.h"
#include "util/HostPath.h"

#include <QString>

namespace veltrane {

// Where the user may have a second copy of the install log written (--log), checked before
// anything is done: never inside the game or the package, where it would replace one of
// their files; never onto a pipe, a device or a folder; and only where a file can really be
// written, as found by writing one.
namespace LogCopyCheck {

// package: the package folder or archive as given; empty for none (an undo).
Expected<void> check(const QString& path, const HostPath& game, const HostPath& package);

} // namespace LogCopyCheck

} // namespace veltrane
