#pragma once

#include <QList>
#include <QString>

namespace veltrane {

// A drive the user can browse for the game folder.
struct Drive {
    QString name;     // "c:", or rootName() for the host's file-system root
    QString hostRoot; // the host folder of the drive's root
    QString label;    // how a list of drives shows it

    // Asked anew each time: a disc can be put in or taken out while a list is shown.
    bool isReady() const;
};

class DriveList {
public:
    // The drives in the order a list shows them. On Windows they are the machine's. Elsewhere
    // they are the drive letters of the Wine prefix, whose paths are written the Windows way
    // ("c:\Games"), and then the file-system root, whose paths keep the host's form.
    static QList<Drive> drives();

    // The name of the drive that stands for the host's file-system root.
    static QString rootName();
};

} // namespace veltrane
