#pragma once

#include "util/Expected.h"
#include "util/HostPath.h"

#include <QLockFile>
#include <memory>

namespace veltrane {

// One install or undo changes a game at a time: a lock file in the program's folder of the
// game, taken before anything changes and held to the end. A lock left by a program that
// died is taken over; a live one is never.
class GameLock {
public:
    explicit GameLock(HostPath game);
    ~GameLock();
    GameLock(const GameLock&) = delete;
    GameLock& operator=(const GameLock&) = delete;

    // Takes the lock, making the program's folder where it is missing. A failure names the
    // program that holds it (its process id, since when), or why it cannot be made; its kind
    // is PermissionDenied when the game folder may not be written.
    Expected<void> take();
    bool held() const { return m_lock && m_lock->isLocked(); }
    // Lets it go before the end, as the destructor does.
    void release();

    const HostPath& game() const { return m_game; }

private:
    Expected<void> tryTake();

    HostPath m_game;
    std::unique_ptr<QLockFile> m_lock;
    // The program's folder was made for the lock: it goes with it when nothing else is there.
    bool m_madeFolder = false;
    // The last try met a live program's lock.
    bool m_heldElsewhere = false;
};

} // namespace veltrane
