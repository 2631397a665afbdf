#pragma once

#include "InstallHistory.h"
#include "util/HostPath.h"

#include <QString>
#include <QStringList>

namespace veltrane {

class FileChanges;
class UserInterface;

// Puts a game folder back as it was before one install, from that install's journal: every
// file it replaced or removed comes back byte for byte, and what it made goes. The journal is
// marked as taken back afterwards, and its kept copies are gone.
class JournalReplay {
public:
    struct Result {
        int restored = 0;        // files and folders put back
        int removed = 0;         // files and folders the install had made
        QStringList kept;        // changed since the install; the user kept them
        QStringList failed;      // what could not be put back, with why
        bool wineRan = false;    // Wine's cmd made changes the journal could not hold
        QStringList beyondReach; // files it changed or removed, "path (how)": not put back
    };

    // files: the undo's, which keep its changes inside the game folder.
    JournalReplay(UserInterface& ui, FileChanges& files, HostPath gameRoot);

    // With askAboutChanges, a file that changed after the install (by the game or by hand)
    // is overwritten or removed only after a Yes; a rollback of an install cut short, whose
    // files nobody changed since, asks nothing.
    Result undo(const InstallHistory::Install& install, bool askAboutChanges);

private:
    UserInterface& m_ui;
    FileChanges& m_files;
    HostPath m_root;
};

} // namespace veltrane
