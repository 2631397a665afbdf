#include "FileOps.h"

#include "FileError.h"
#include "HostPath.h"

#include <QSaveFile>
#include <filesystem>

namespace fs = std::filesystem;

using namespace Qt::StringLiterals;

namespace veltrane {

namespace {

fs::path hostFs(const QString& path)
{
    return HostPath::toFs(HostPath::toHost(path));
}

[[noreturn]] void fail(const std::error_code& error, const QString& path)
{
    throw FileError::fromSystem(error, HostPath::display(path));
}

[[noreturn]] void fail(const std::error_code& error, const fs::path& hostPath)
{
    throw FileError::fromSystem(error, HostPath::fromFs(hostPath));
}

} // namespace

void FileOps::copyFile(const QString& from, const QString& to)
{
    std::error_code error;
    const fs::path source = hostFs(from);
    if (!fs::is_regular_file(source, error))
        fail(error ? error : std::make_error_code(std::errc::no_such_file_or_directory), from);
    copyFile(source, hostFs(to));
}

void FileOps::copyFile(const fs::path& from, const fs::path& to)
{
    std::error_code error;
    fs::copy_file(from, to, fs::copy_options::overwrite_existing, error);
    if (error)
        fail(error, to);
}

void FileOps::renameFile(const QString& from, const QString& to)
{
    std::error_code error;
    fs::rename(hostFs(from), hostFs(to), error);
    if (error)
        fail(error, from);
}

void FileOps::renameFile(const fs::path& from, const fs::path& to)
{
    std::error_code error;
    fs::rename(from, to, error);
    if (error)
        fail(error, from);
}

void FileOps::removeEntry(const fs::path& path)
{
    std::error_code error;
    fs::remove(path, error);
    if (error)
        fail(error, path);
}

void FileOps::makeFolder(const fs::path& path)
{
    std::error_code error;
    if (!fs::create_directory(path, error) && !error && !fs::is_directory(path, error))
        error = std::make_error_code(std::errc::file_exists);
    if (error)
        fail(error, path);
}

void FileOps::removeFile(const QString& path)
{
    std::error_code error;
    const fs::path target = hostFs(path);
    if (fs::is_directory(fs::symlink_status(target, error)))
        fail(std::make_error_code(std::errc::is_a_directory), path);
    if (!fs::remove(target, error) && !error)
        error = std::make_error_code(std::errc::no_such_file_or_directory);
    if (error)
        fail(error, path);
}

void FileOps::makeFolder(const QString& path)
{
    makeFolder(hostFs(path));
}

void FileOps::removeTree(const QString& path)
{
    std::error_code error;
    const fs::path target = hostFs(path);
    if (!fs::exists(fs::symlink_status(target, error)))
        fail(std::make_error_code(std::errc::no_such_file_or_directory), path);
    fs::remove_all(target, error);
    if (error)
        fail(error, path);
}

qint64 FileOps::fileSize(const QString& path)
{
    std::error_code error;
    const auto size = fs::file_size(hostFs(path), error);
    if (error)
        fail(error, path);
    return static_cast<qint64>(size);
}

void FileOps::writeWhole(const QString& path, const QByteArray& bytes)
{
    QSaveFile file(HostPath::toHost(path));
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        const bool denied = file.error() == QFileDevice::PermissionsError;
        throw FileError(denied ? FileError::Kind::PermissionDenied : FileError::Kind::Other,
                        file.errorString());
    }
}

} // namespace veltrane
