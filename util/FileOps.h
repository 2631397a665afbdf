#pragma once

#include "HostPath.h"

#include <QByteArray>

namespace veltrane {

// Every change the program makes to a file goes through here, so that each failure is
// classified once (FileError: permission denied, or any other) and named by its path.
namespace FileOps {

// Replaces an existing target by writing into it, so a target its owner may not write
// fails with permission denied; the source's permissions are carried over.
void copyFile(const HostPath& from, const HostPath& to);
void renameFile(const HostPath& from, const HostPath& to);
// A file, or a symbolic link itself; never a folder.
void removeFile(const HostPath& path);
// An empty folder, or a file.
void removeEntry(const HostPath& path);
// One level; the parent must exist. An existing folder is no error.
void makeFolder(const HostPath& path);
// Deletes a folder with everything in it.
void removeTree(const HostPath& path);
// Throws when there is no such file.
qint64 fileSize(const HostPath& path);
// Replaces the file by a complete new one, or leaves it as it was.
void writeWhole(const HostPath& path, const QByteArray& bytes);

} // namespace FileOps

} // namespace veltrane
