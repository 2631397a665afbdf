#pragma once

#include <QByteArray>
#include <QString>
#include <filesystem>

namespace veltrane {

// Every change the program makes to a file goes through here, so that each failure is
// classified once (FileError: permission denied, or any other). Paths are the program's
// own form and are mapped to the host.
class FileOps {
public:
    // Replaces an existing target by writing into it, so a target its owner may not write
    // fails with permission denied; the source's permissions are carried over.
    static void copyFile(const QString& from, const QString& to);
    static void renameFile(const QString& from, const QString& to);
    static void removeFile(const QString& path);
    // One level; the parent must exist. An existing folder is no error.
    static void makeFolder(const QString& path);
    // Deletes a folder with everything in it.
    static void removeTree(const QString& path);
    // Throws when there is no such file.
    static qint64 fileSize(const QString& path);
    // Replaces the file by a complete new one, or leaves it as it was.
    static void writeWhole(const QString& path, const QByteArray& bytes);

    // The same for paths already on the host, for walks that matched each name on the way.
    static void copyFile(const std::filesystem::path& from, const std::filesystem::path& to);
    static void renameFile(const std::filesystem::path& from, const std::filesystem::path& to);
    // An empty folder, or a file.
    static void removeEntry(const std::filesystem::path& path);
    static void makeFolder(const std::filesystem::path& path);
};

} // namespace veltrane
