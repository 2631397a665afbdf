#include "GameLock.h"

#include "util/OwnFolder.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <filesystem>

using namespace Qt::StringLiterals;

namespace veltrane {

namespace {

const QString kLockName = u"lock"_s;
constexpr int kSettleMilliseconds = 200;
constexpr int kRounds = 5;

} // namespace

GameLock::GameLock(HostPath game) : m_game(std::move(game)) {}

GameLock::~GameLock()
{
    release();
}

Expected<void> GameLock::take()
{
    if (held())
        return {};
    // The folder may vanish between its making and the lock's: another program that made it
    // removes it when it lets go. A few rounds settle that.
    Expected<void> taken;
    for (int round = 0; round < kRounds; ++round) {
        taken = tryTake();
        if (taken || taken.failure().permissionDenied() || m_heldElsewhere)
            break;
    }
    return taken;
}

Expected<void> GameLock::tryTake()
{
    const HostPath folder = OwnFolder::in(m_game);
    std::error_code error;
    if (std::filesystem::create_directory(folder.fs(), error))
        m_madeFolder = true;
    if (error) {
        const FileError made = FileError::fromSystem(error, folder.display());
        return failure(u"The folder "_s + folder.display() + u" cannot be made: "_s +
                           made.description(),
                       made.kind());
    }
    const QString path = folder.child(kLockName).toString();
    m_lock = std::make_unique<QLockFile>(path);
    // Only a dead holder makes a lock stale, however long an install takes.
    m_lock->setStaleLockTime(0);
    // A moment's wait: another program may be writing the lock it has just made.
    if (m_lock->tryLock(kSettleMilliseconds))
        return {};
    const QLockFile::LockError lockError = m_lock->error();
    qint64 pid = 0;
    QString host;
    QString application;
    const bool known = m_lock->getLockInfo(&pid, &host, &application);
    m_lock.reset();
    m_heldElsewhere = lockError == QLockFile::LockFailedError;
    if (m_heldElsewhere) {
        const QDateTime since = QFileInfo(path).lastModified();
        return failure(u"Another Veltrane (process "_s +
                       (known ? QString::number(pid) : u"unknown"_s) +
                       (host.isEmpty() ? QString() : u" on "_s + host) + u", since "_s +
                       QLocale().toString(since, QLocale::ShortFormat) +
                       u") is installing into or undoing in the game folder "_s + m_game.display() +
                       u". Wait until it has finished, then try again. Nothing has been "
                       u"changed."_s);
    }
    const bool denied = lockError == QLockFile::PermissionError;
    return failure(u"The lock "_s + QDir::toNativeSeparators(path) +
                       u" cannot be made, so the game folder cannot be kept from a second "
                       u"install at the same time. Nothing has been changed."_s,
                   denied ? FileError::Kind::PermissionDenied : FileError::Kind::Other);
}

void GameLock::release()
{
    m_lock.reset();
    // rmdir takes no folder that is not empty.
    if (m_madeFolder)
        QDir().rmdir(OwnFolder::in(m_game).toString());
    m_madeFolder = false;
}

} // namespace veltrane
