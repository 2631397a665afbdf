#pragma once

#include "InstallHistory.h"
#include "util/HostPath.h"

namespace veltrane {

class GameLock;
class UserInterface;

// Takes installs back from their journals: an install cut short, when the program meets its
// game folder again, and on request the last installs into a game folder, newest first.
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

private:
    // The journal may be replayed; else it is set aside and the user told.
    bool replayable(const InstallHistory::Install& install, const HostPath& game,
                    UserInterface& ui);

    UserInterface& m_ui;
    QString m_logCopy;
    GameLock* m_heldLock = nullptr;
    QString m_logPath;
};

} // namespace veltrane
