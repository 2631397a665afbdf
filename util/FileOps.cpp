#include "FileOps.h"

#include "FileError.h"
#include "WriteBoundary.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSaveFile>
#include <filesystem>

namespace fs = std::filesystem;

using namespace Qt::StringLiterals;

namespace veltrane {

namespace {

using LastName = PathGuard::LastName;

[[noreturn]] void fail(const std::error_code& error, const HostPath& path)
{
    throw FileError::fromSystem(error, path.display());
}

void checkBoundary(const HostPath& path, LastName last)
{
    WriteBoundary* boundary = WriteBoundary::current();
    if (boundary && !boundary->admits(path, last))
        throw FileError(FileError::Kind::Other,
                        u"The path leads outside the folders that may be changed ("_s +
                            path.display() + u')');
}

void forgetFolders()
{
    if (WriteBoundary* boundary = WriteBoundary::current())
        boundary->forgetFolders();
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

} // namespace

HostPath FileOps::passingName(const HostPath& path)
{
    for (;;) {
        const QString name = u'.' + path.fileName() + u".veltrane-"_s +
                             QString::number(QRandomGenerator::global()->generate(), 36);
        const HostPath candidate = path.parent().child(name);
        if (!exists(candidate))
            return candidate;
    }
}

void FileOps::copyFile(const HostPath& from, const HostPath& to)
{
    checkBoundary(to, LastName::Keep);
    std::error_code error;
    if (!fs::is_regular_file(from.fs(), error))
        fail(error ? error : std::make_error_code(std::errc::no_such_file_or_directory), from);
    // Opened to be sure: a package file that cannot be read is no fault of the game's.
    if (QFile source(from.toString()); !source.open(QIODevice::ReadOnly))
        throw FileError(FileError::Kind::Other,
                        source.errorString() + u": it cannot be read ("_s + from.display() + u')');
    if (fs::is_directory(fs::symlink_status(to.fs(), error)))
        fail(std::make_error_code(std::errc::is_a_directory), to);
    // The new file takes the name by a rename, which a read-only file would not stop.
    if (writeRefused(to))
        fail(std::make_error_code(std::errc::permission_denied), to);

    const HostPath part = passingName(to);
    fs::copy_file(from.fs(), part.fs(), fs::copy_options::none, error);
    if (!error)
        fs::rename(part.fs(), to.fs(), error);
    if (error) {
        std::error_code ignored;
        fs::remove(part.fs(), ignored);
        fail(error, to);
    }
}

void FileOps::linkOrCopy(const HostPath& from, const HostPath& to)
{
    checkBoundary(to, LastName::Keep);
    std::error_code error;
    fs::create_hard_link(from.fs(), to.fs(), error);
    if (!error)
        return;
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
}

void FileOps::renameFile(const HostPath& from, const HostPath& to)
{
    checkBoundary(from, LastName::Keep);
    checkBoundary(to, LastName::Keep);
    forgetFolders();
    std::error_code error;
    fs::rename(from.fs(), to.fs(), error);
    if (error)
        fail(error, from);
}

void FileOps::removeFile(const HostPath& path)
{
    checkBoundary(path, LastName::Keep);
    forgetFolders();
    std::error_code error;
    if (fs::is_directory(fs::symlink_status(path.fs(), error)))
        fail(std::make_error_code(std::errc::is_a_directory), path);
    if (!fs::remove(path.fs(), error) && !error)
        error = std::make_error_code(std::errc::no_such_file_or_directory);
    if (error)
        fail(error, path);
}

void FileOps::removeEntry(const HostPath& path)
{
    checkBoundary(path, LastName::Keep);
    forgetFolders();
    std::error_code error;
    fs::remove(path.fs(), error);
    if (error)
        fail(error, path);
}

void FileOps::makeFolder(const HostPath& path)
{
    checkBoundary(path, LastName::Keep);
    std::error_code error;
    if (!fs::create_directory(path.fs(), error) && !error && !fs::is_directory(path.fs(), error))
        error = std::make_error_code(std::errc::file_exists);
    if (error)
        fail(error, path);
}

void FileOps::removeTree(const HostPath& path)
{
    checkBoundary(path, LastName::Keep);
    forgetFolders();
    std::error_code error;
    if (!fs::exists(fs::symlink_status(path.fs(), error)))
        fail(std::make_error_code(std::errc::no_such_file_or_directory), path);
    fs::remove_all(path.fs(), error);
    if (error)
        fail(error, path);
}

qint64 FileOps::fileSize(const HostPath& path)
{
    std::error_code error;
    const auto size = fs::file_size(path.fs(), error);
    if (error)
        fail(error, path);
    return static_cast<qint64>(size);
}

void FileOps::writeWhole(const HostPath& path, const QByteArray& bytes)
{
    checkBoundary(path, LastName::Follow);
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
}

} // namespace veltrane
