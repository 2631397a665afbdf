#include "FileOps.h"

#include "FileError.h"

#include <QSaveFile>
#include <filesystem>

namespace fs = std::filesystem;

namespace veltrane {

namespace {

[[noreturn]] void fail(const std::error_code& error, const HostPath& path)
{
    throw FileError::fromSystem(error, path.display());
}

} // namespace

void FileOps::copyFile(const HostPath& from, const HostPath& to)
{
    std::error_code error;
    if (!fs::is_regular_file(from.fs(), error))
        fail(error ? error : std::make_error_code(std::errc::no_such_file_or_directory), from);
    fs::copy_file(from.fs(), to.fs(), fs::copy_options::overwrite_existing, error);
    if (error)
        fail(error, to);
}

void FileOps::renameFile(const HostPath& from, const HostPath& to)
{
    std::error_code error;
    fs::rename(from.fs(), to.fs(), error);
    if (error)
        fail(error, from);
}

void FileOps::removeFile(const HostPath& path)
{
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
    std::error_code error;
    fs::remove(path.fs(), error);
    if (error)
        fail(error, path);
}

void FileOps::makeFolder(const HostPath& path)
{
    std::error_code error;
    if (!fs::create_directory(path.fs(), error) && !error && !fs::is_directory(path.fs(), error))
        error = std::make_error_code(std::errc::file_exists);
    if (error)
        fail(error, path);
}

void FileOps::removeTree(const HostPath& path)
{
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
    QSaveFile file(path.toString());
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        const bool denied = file.error() == QFileDevice::PermissionsError;
        throw FileError(denied ? FileError::Kind::PermissionDenied : FileError::Kind::Other,
                        file.errorString());
    }
}

} // namespace veltrane
