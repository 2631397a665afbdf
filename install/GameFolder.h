#pragma once

#include "util/Expected.h"
#include "util/HostPath.h"

#include <QString>
#include <QStringList>

namespace veltrane {

// The game folder: where it is looked for when the user has not said, and whether a folder
// is the game's.
namespace GameFolder {

struct Search {
    // "c:\program files\Rail Simulator" when RailSim.exe is there, else the first game found
    // where Linux users keep it; empty when none.
    QString folder;
    // Where it was looked for, in order, for a message when it was not found.
    QStringList placesLooked;
};
Search find();
inline QString defaultFolder()
{
    return find().folder;
}

// The words that say where the game was looked for, for a message; empty for nowhere.
QString whereLooked(const QStringList& placesLooked);

// The folder the text names, mapped; empty for a text that names none.
HostPath fromText(const QString& text);

// Whether the game may be installed into: a failure saying what is wrong when no folder was
// named, it does not exist, or it does not look like the game's.
Expected<void> check(const HostPath& game);

} // namespace GameFolder

} // namespace veltrane
