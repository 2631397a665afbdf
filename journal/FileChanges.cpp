#include "FileChanges.h"

#include "ChangeJournal.h"
#include "InstallTransaction.h"
#include "WriteBoundary.h"
#include "util/FileError.h"
#include "util/InstallLog.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSaveFile>
#include <filesystem>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

using namespace Qt::StringLiterals;

namespace veltrane {

namespace {

using LastName = PathGuard::LastName;

[[noreturn]] void fail(const std::error_code& error, const HostPath& path)
{
    throw FileError::fromSystem(error, path.display());
}

bool exists(const HostPath& path)
{
    std::error_code error;
    return fs::exists(fs::symlink_status(path.fs(), error));
}

bool mayWrite(const fs::path& path, const fs::file_status& status)
{
    // The owner's write permission stands for Windows' read-only attribute, as under Wine.
    return (status.permissions() & fs::perms::owner_write) != fs::perms::none &&
           QFileInfo(HostPath::fromFs(path).toString()).isWritable();
}

// Whether a change of path is refused for want of permission: the file is read-only, or its
// folder may not be written to. Tells the read-only case from any other failure.
bool writeRefused(const HostPath& path)
{
    std::error_code error;
    const fs::file_status target = fs::symlink_status(path.fs(), error);
    if (fs::is_regular_file(target) && !mayWrite(path.fs(), target))
        return true;
    const fs::path folder = path.fs().parent_path();
    const fs::file_status parent = fs::status(folder, error);
    return fs::is_directory(parent) && !mayWrite(folder, parent);
}

#ifdef Q_OS_UNIX
std::error_code lastError()
{
    return {errno, std::generic_category()};
}

// Copies the bytes of fd `in` to `out`: in the kernel where it can, else through a buffer.
bool copyBytes(int in, int out, off_t size)
{
    off_t done = 0;
#ifdef Q_OS_LINUX
    while (done < size) {
        const ssize_t now = ::copy_file_range(in, nullptr, out, nullptr, size_t(size - done), 0);
        if (now <= 0)
            break;
        done += now;
    }
    if (done == size)
        return true;
    // Across file systems on older kernels, or a file that changed its size meanwhile.
    if (::lseek(in, done, SEEK_SET) != done || ::lseek(out, done, SEEK_SET) != done)
        return false;
#endif
    char buffer[1 << 16];
    for (;;) {
        const ssize_t got = ::read(in, buffer, sizeof buffer);
        if (got == 0)
            return true;
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        for (ssize_t written = 0; written < got;) {
            const ssize_t now = ::write(out, buffer + written, size_t(got - written));
            if (now < 0 && errno != EINTR)
                return false;
            written += qMax<ssize_t>(now, 0);
        }
    }
}
#endif

// Copies the file `from` to `to`, a name no file may hold yet, with its permissions, and
// tells the copy's journal signature where it can. Fewer looks at the two files than
// std::filesystem takes: they count in a tree of many small files.
std::error_code copyToNewFile(const HostPath& from, const HostPath& to, QString& signature)
{
#ifdef Q_OS_UNIX
    // Not blocking: a pipe in a package is refused, not waited on.
    const int in =
        ::open(QFile::encodeName(from.toString()).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (in < 0)
        return lastError();
    struct stat info {};
    if (::fstat(in, &info) != 0 || !S_ISREG(info.st_mode)) {
        const std::error_code error =
            S_ISREG(info.st_mode) ? lastError() : std::make_error_code(std::errc::not_supported);
        ::close(in);
        return error;
    }
    const int out = ::open(QFile::encodeName(to.toString()).constData(),
                           O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, info.st_mode & 07777);
    if (out < 0) {
        const std::error_code error = lastError();
        ::close(in);
        return error;
    }
    std::error_code error;
    if (!copyBytes(in, out, info.st_size))
        error = lastError();
    // A rename keeps the time of the last write.
    if (struct stat written{}; !error && ::fstat(out, &written) == 0)
        signature = ChangeJournal::signature(
            written.st_size, written.st_mtim.tv_sec * 1000000000LL + written.st_mtim.tv_nsec);
    if (::close(out) != 0 && !error)
        error = lastError();
    ::close(in);
    if (error) {
        std::error_code ignored;
        fs::remove(to.fs(), ignored);
    }
    return error;
#else
    Q_UNUSED(signature);
    std::error_code error;
    fs::copy_file(from.fs(), to.fs(), fs::copy_options::none, error);
    return error;
#endif
}

} // namespace

void FileChanges::checkBoundary(const HostPath& path, LastName last) const
{
    if (m_transaction && !m_transaction->boundary().admits(path, last))
        throw FileError(FileError::Kind::Other,
                        u"The path leads outside the folders that may be changed ("_s +
                            path.display() + u')');
}

ChangeJournal* FileChanges::journalFor(const HostPath& path) const
{
    ChangeJournal* journal = m_transaction ? m_transaction->journal() : nullptr;
    return journal && journal->covers(path) ? journal : nullptr;
}

void FileChanges::forgetFolders() const
{
    if (m_transaction)
        m_transaction->boundary().forgetFolders();
}

void FileChanges::forgetFoldersThrough(const HostPath& path) const
{
    if (m_transaction)
        m_transaction->boundary().forgetFoldersThrough(path);
}

void FileChanges::logged(const QString& what, const HostPath& path) const
{
    if (m_transaction)
        m_transaction->log().fileChanged(what, path,
                                         what == u"replaced"_s ? ownerNote(path) : QString());
}

QString FileChanges::ownerNote(const HostPath& path) const
{
    const ChangeJournal* journal = journalFor(path);
    const std::optional<QString> owner = journal ? journal->previousOwner(path) : std::nullopt;
    if (!owner)
        return {};
    return owner->isEmpty() ? u"the game's own file"_s : u"from "_s + *owner;
}

void FileChanges::recordDisplayName(const QString& name)
{
    if (ChangeJournal* journal = m_transaction ? m_transaction->journal() : nullptr)
        journal->title(name);
    log(u"package"_s, u"named "_s + name);
}

void FileChanges::recordListChange(const HostPath& list, const QString& change,
                                   const QString& recordId, const QString& name)
{
    if (ChangeJournal* journal = journalFor(list))
        journal->listChanged(list, change, recordId, name);
    log(u"list"_s,
        change + u" record "_s + recordId + u" ("_s + name + u") in "_s + list.display());
}

void FileChanges::expectCreated(const HostPath& path)
{
    checkBoundary(path, LastName::Keep);
    if (ChangeJournal* journal = journalFor(path); journal && !exists(path))
        journal->willCreate(path);
}

void FileChanges::noteOutsideChange(const QString& what)
{
    if (ChangeJournal* journal = m_transaction ? m_transaction->journal() : nullptr)
        journal->note(what);
    log(u"note"_s, what);
}

void FileChanges::madeOutside(const HostPath& path, bool folder, const QString& by)
{
    if (ChangeJournal* journal = journalFor(path))
        journal->madeOutside(path, folder);
    logged((folder ? u"made folder by "_s : u"created by "_s) + by + u':', path);
}

void FileChanges::changedOutside(const HostPath& path, const QString& how, const QString& by)
{
    if (ChangeJournal* journal = journalFor(path))
        journal->changedOutside(path, how);
    logged(how + u" by "_s + by + u':', path);
}

void FileChanges::log(const QString& topic, const QString& text) const
{
    if (m_transaction)
        m_transaction->log().write(topic, text);
}

InstallLog* FileChanges::installLog() const
{
    return m_transaction ? &m_transaction->log() : nullptr;
}

HostPath FileChanges::passingName(const HostPath& path)
{
    // Random enough that the name is free; whoever takes it makes sure.
    return path.parent().child(u'.' + path.fileName() + u".veltrane-"_s +
                               QString::number(QRandomGenerator::global()->generate64(), 36));
}

void FileChanges::copyFile(const HostPath& from, const HostPath& to)
{
    checkBoundary(to, LastName::Keep);
    std::error_code error;
    const fs::file_status target = fs::symlink_status(to.fs(), error);
    if (fs::is_directory(target))
        fail(std::make_error_code(std::errc::is_a_directory), to);
    // The new file takes the name by a rename, which a read-only file would not stop.
    if (fs::is_regular_file(target) && !mayWrite(to.fs(), target))
        fail(std::make_error_code(std::errc::permission_denied), to);

    ChangeJournal* journal = journalFor(to);
    if (journal) {
        if (fs::exists(target))
            journal->willReplace(to);
        else
            journal->willCreate(to);
    }
    // The passing name is taken by the copy itself: no other file can be met there.
    HostPath part;
    QString signature;
    do {
        part = passingName(to);
        error = copyToNewFile(from, part, signature);
    } while (error == std::errc::file_exists);
    if (!error)
        fs::rename(part.fs(), to.fs(), error);
    if (error) {
        std::error_code ignored;
        fs::remove(part.fs(), ignored);
        // A package file that cannot be read is no fault of the game's: making the game
        // writable would not help it.
        if (!fs::is_regular_file(from.fs(), ignored))
            fail(std::make_error_code(std::errc::no_such_file_or_directory), from);
        if (QFile source(from.toString()); !source.open(QIODevice::ReadOnly))
            throw FileError(FileError::Kind::Other, source.errorString() +
                                                        u": it cannot be read ("_s +
                                                        from.display() + u')');
        if (writeRefused(to))
            fail(std::make_error_code(std::errc::permission_denied), to);
        fail(error, to);
    }
    if (journal)
        journal->changed(to, signature);
    logged(fs::exists(target) ? u"replaced"_s : u"created"_s, to);
}

void FileChanges::linkOrCopy(const HostPath& from, const HostPath& to)
{
    checkBoundary(to, LastName::Keep);
    ChangeJournal* journal = journalFor(to);
    if (journal && !exists(to))
        journal->willCreate(to);
    std::error_code error;
    fs::create_hard_link(from.fs(), to.fs(), error);
    if (!error) {
        if (journal)
            journal->changed(to);
        logged(u"created"_s, to);
        return;
    }
    if (error == std::errc::file_exists)
        fail(error, to);
    // No hard links here: a complete copy under a passing name, then the name, if still free.
    const HostPath part = passingName(to);
    error.clear();
    fs::copy_file(from.fs(), part.fs(), fs::copy_options::none, error);
    if (!error)
        fs::create_hard_link(part.fs(), to.fs(), error);
    if (error && error != std::errc::file_exists && !exists(to)) {
        error.clear();
        fs::rename(part.fs(), to.fs(), error);
    }
    std::error_code ignored;
    fs::remove(part.fs(), ignored);
    if (error)
        fail(error, to);
    if (journal)
        journal->changed(to);
    logged(u"created"_s, to);
}

void FileChanges::renameFile(const HostPath& from, const HostPath& to)
{
    checkBoundary(from, LastName::Keep);
    checkBoundary(to, LastName::Keep);
    // A folder in the way is not the journal's failure: the rename itself cannot be made.
    std::error_code status;
    const fs::file_status target = fs::symlink_status(to.fs(), status);
    if (fs::is_directory(target))
        fail(std::make_error_code(std::errc::is_a_directory), to);
    // Only a folder or a link on the way to a folder known changes where other paths lead.
    forgetFoldersThrough(from);
    forgetFoldersThrough(to);
    const bool replaces = fs::exists(target);
    ChangeJournal* journal = journalFor(to);
    if (journal && journal->covers(from))
        journal->willRename(from, to);
    else if (journal && replaces)
        journal->willReplace(to);
    else if (journal)
        journal->willCreate(to);
    std::error_code error;
    fs::rename(from.fs(), to.fs(), error);
    if (error)
        fail(error, from);
    if (journal)
        journal->changed(to);
    logged(u"removed"_s, from);
    logged(replaces ? u"replaced"_s : u"created"_s, to);
}

void FileChanges::moveFile(const HostPath& from, const HostPath& to)
{
    checkBoundary(from, LastName::Keep);
    checkBoundary(to, LastName::Keep);
    std::error_code error;
    // A link would move as a link, and lead elsewhere from its new place.
    const fs::file_status source = fs::symlink_status(from.fs(), error);
    if (!fs::is_regular_file(source))
        fail(fs::exists(source) ? std::make_error_code(std::errc::not_supported)
                                : std::make_error_code(std::errc::no_such_file_or_directory),
             from);
    const fs::file_status target = fs::symlink_status(to.fs(), error);
    if (fs::is_directory(target))
        fail(std::make_error_code(std::errc::is_a_directory), to);
    if (writeRefused(to))
        fail(std::make_error_code(std::errc::permission_denied), to);
    if (fs::is_symlink(target))
        forgetFolders();

    ChangeJournal* journal = journalFor(to);
    if (journal && journal->covers(from))
        journal->willRename(from, to);
    else if (journal && fs::exists(target))
        journal->willReplace(to);
    else if (journal)
        journal->willCreate(to);
    error.clear();
    fs::rename(from.fs(), to.fs(), error);
    if (error == std::errc::cross_device_link) {
        const HostPath part = passingName(to);
        error.clear();
        fs::copy_file(from.fs(), part.fs(), fs::copy_options::none, error);
        if (!error)
            fs::rename(part.fs(), to.fs(), error);
        if (error) {
            std::error_code ignored;
            fs::remove(part.fs(), ignored);
            fail(error, to);
        }
        if (journal)
            journal->changed(to);
        logged(fs::exists(target) ? u"replaced"_s : u"created"_s, to);
        fs::remove(from.fs(), error);
        if (error)
            fail(error, from);
        return;
    }
    if (error)
        fail(error, from);
    if (journal)
        journal->changed(to);
    logged(fs::exists(target) ? u"replaced"_s : u"created"_s, to);
}

void FileChanges::removeFile(const HostPath& path)
{
    checkBoundary(path, LastName::Keep);
    std::error_code error;
    const fs::file_status status = fs::symlink_status(path.fs(), error);
    if (fs::is_directory(status))
        fail(std::make_error_code(std::errc::is_a_directory), path);
    // Only a link that goes changes where other paths lead; a file does not.
    if (fs::is_symlink(status))
        forgetFolders();
    const bool keptAside = [&] {
        ChangeJournal* journal = journalFor(path);
        return journal && fs::exists(status) && journal->removeKeepingAside(path);
    }();
    if (!keptAside && !fs::remove(path.fs(), error) && !error)
        error = std::make_error_code(std::errc::no_such_file_or_directory);
    if (error)
        fail(error, path);
    logged(u"removed"_s, path);
}

void FileChanges::removeEntry(const HostPath& path)
{
    checkBoundary(path, LastName::Keep);
    forgetFolders();
    std::error_code error;
    const fs::file_status status = fs::symlink_status(path.fs(), error);
    bool keptAside = false;
    if (ChangeJournal* journal = journalFor(path); journal && fs::exists(status)) {
        if (!fs::is_directory(status))
            keptAside = journal->removeKeepingAside(path);
        else
            journal->willRemoveFolder(path);
    }
    if (!keptAside)
        fs::remove(path.fs(), error);
    if (error)
        fail(error, path);
    logged(fs::is_directory(status) ? u"removed folder"_s : u"removed"_s, path);
}

void FileChanges::makeFolder(const HostPath& path)
{
    checkBoundary(path, LastName::Keep);
    if (ChangeJournal* journal = journalFor(path); journal && !exists(path))
        journal->willMakeFolder(path);
    std::error_code error;
    const bool made = fs::create_directory(path.fs(), error);
    if (!made && !error && !fs::is_directory(path.fs(), error))
        error = std::make_error_code(std::errc::file_exists);
    if (error)
        fail(error, path);
    if (made)
        logged(u"made folder"_s, path);
}

void FileChanges::removeTree(const HostPath& path)
{
    checkBoundary(path, LastName::Keep);
    forgetFolders();
    std::error_code error;
    if (!fs::exists(fs::symlink_status(path.fs(), error)))
        fail(std::make_error_code(std::errc::no_such_file_or_directory), path);
    if (ChangeJournal* journal = journalFor(path); !journal || !journal->removeKeepingAside(path))
        fs::remove_all(path.fs(), error);
    if (error)
        fail(error, path);
    logged(u"removed tree"_s, path);
}

qint64 FileChanges::fileSize(const HostPath& path)
{
    std::error_code error;
    const auto size = fs::file_size(path.fs(), error);
    if (error)
        fail(error, path);
    return static_cast<qint64>(size);
}

void FileChanges::writeWhole(const HostPath& path, const QByteArray& bytes)
{
    checkBoundary(path, LastName::Follow);
    // The save file writes where a link leads; that file is the one that changes.
    std::error_code error;
    HostPath target = path;
    if (fs::is_symlink(fs::symlink_status(path.fs(), error))) {
        if (const auto real = PathGuard::whereItLeads(path))
            target = HostPath::fromFs(*real);
    }
    const bool replaces = exists(target);
    ChangeJournal* journal = journalFor(target);
    if (journal) {
        if (replaces)
            journal->willReplace(target);
        else
            journal->willCreate(target);
    }
    QSaveFile file(path.toString());
    // QSaveFile::commit() trusts a flush that failed: a write that fits Qt's buffer reaches the
    // disk only at the flush, and a full disk then leaves a short file that commit() accepts.
    const bool written = file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() &&
                         file.flush() && file.error() == QFileDevice::NoError;
    if (!written || !file.commit()) {
        const bool denied = file.error() == QFileDevice::PermissionsError || writeRefused(path);
        const QString reason = file.errorString();
        file.cancelWriting();
        throw FileError(denied ? FileError::Kind::PermissionDenied : FileError::Kind::Other,
                        reason);
    }
    if (journal)
        journal->changed(target);
    logged(replaces ? u"replaced"_s : u"created"_s, target);
}

} // namespace veltrane
