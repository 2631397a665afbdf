#pragma once

#include "util/HostPath.h"
#include "util/PackageKind.h"

#include <QString>
#include <QStringList>

namespace veltrane {

class PackageSource;

// What an install is asked to do, settled where the window or the command line hands over:
// the folders as host paths, mapped once, and the package as it was identified.
struct InstallRequest {
    // The game folder as the user gave it (the path box, --game): what GamePath holds.
    QString gameText;
    // The same, mapped; empty when the text names none.
    HostPath game;
    // Where the game was looked for when the user named none, for the message that says so.
    QStringList gameSearch;
    HostPath package;
    // As the user knows the package: the folder's name, or the archive's.
    QString packageName;
    PackageKind kind = PackageKind::Assets;
    // Its files are ours to take apart (an unpacked archive): moved into the game, not copied.
    bool packageMovable = false;
    // A second copy of the install's log; empty for none.
    QString logCopy;

    // The request for a source that holds a package of that kind.
    static InstallRequest forPackage(const PackageSource& source, PackageKind kind);
    // The request for a package folder that holds a package of that kind.
    static InstallRequest forFolder(const HostPath& folder, PackageKind kind);
    // The game folder as the user gave it.
    void setGame(const QString& text);
};

} // namespace veltrane
