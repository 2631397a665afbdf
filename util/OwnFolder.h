#pragma once

#include "HostPath.h"

#include <QString>

namespace veltrane {

// The game's folder of the program's own, where the game does not read: the journals of
// installs, the inventory, the lock and archives being unpacked. No package may write there.
namespace OwnFolder {

inline const QString kName = QStringLiteral(".veltrane");

inline HostPath in(const HostPath& game)
{
    return game.child(kName);
}

// Whether a name is the folder's, in any letter case, as Windows would take it.
inline bool isOwnName(const QString& name)
{
    return name.compare(kName, Qt::CaseInsensitive) == 0;
}

} // namespace OwnFolder

} // namespace veltrane
