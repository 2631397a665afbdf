#pragma once

#include "InstallHistory.h"
#include "util/HostPath.h"

namespace veltrane {

class GameLock;
class InstallLog;
class Inventory;
class UserInterface;

// Takes installs back from their journals: an install cut short, when the program meets its
// game folder again; on request the last installs into a game folder, newest first; and one
// install by its number, after the later installs whose changes lie over its own. The
// inventory follows every one.
class UndoOperation {
public:
    enum class Outcome {
        Undone,   // every file is as it was before
        Partly,   // some files were kept as they are, or could not be put back; the message says
        Declined, // the user said No
        Nothing,  // no install to take back
        Refused,  // another program is changing the game, or a journal may not be replayed
    };

    explicit UndoOperation(UserInterface& ui) : m_ui(ui) {}

    // A second copy of the undo's log; empty for none.
    void setLogCopy(const QString& path) { m_logCopy = path; }
    // The game's lock is held already, by the install that asks for the rollback.
    void useHeldLock(GameLock& lock) { m_heldLock = &lock; }
    // The log of the last undo, in the user's state folder; empty when none was made.
    const QString& logPath() const { return m_logPath; }

    // When the newest install into the game folder never finished, says so and offers to put
    // every file back as it was before it. Says nothing while another program changes the
    // game: its install is not cut short, it is running.
    Outcome offerRollback(const HostPath& game);
    // Undoes the install `index` places back from the newest, and the newer ones first.
    Outcome undo(const HostPath& game, int index);
    // Takes back the install of that number in the inventory. When later installs changed
    // files it changed, it names them and, after a Yes, takes them back first, newest first.
    Outcome uninstall(const HostPath& game, int id);

private:
    // The journal may be replayed; else it is set aside and the user told.
    bool replayable(const InstallHistory::Install& install, const HostPath& game,
                    UserInterface& ui);
    // Every install may be taken back: its journal may be replayed and its kept copies are
    // there. Else the user is told and nothing changes.
    bool mayTakeBack(const QList<InstallHistory::Install>& installs, const HostPath& game,
                     UserInterface& ui);
    // Takes the installs back in the order given, each after the one before it went whole,
    // and tells the user how it went.
    Outcome takeBack(const QList<InstallHistory::Install>& installs, const HostPath& game,
                     UserInterface& ui, InstallLog& log, Inventory& inventory);
    // Takes the game's lock unless it is held already; false after telling the user why not.
    bool lock(GameLock& own);

    UserInterface& m_ui;
    QString m_logCopy;
    GameLock* m_heldLock = nullptr;
    QString m_logPath;
};

} // namespace veltrane
