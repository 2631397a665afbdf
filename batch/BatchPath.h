#pragma once

#include "BatchWord.h"

#include <QString>
#include <QStringList>

namespace veltrane {

// Paths of a batch file, as text in the program's own form: "C:\Games\RS" or, on a host
// that is not Windows, also "/home/me/RS". Nothing here looks at the disk; the host path
// comes from HostPath once a path is whole. A resolved path is absolute, has "." and ".."
// worked out and uses the separator its root implies ("\" after a drive, "/" after "/").
namespace BatchPath {

// Resolves path, as written on a line, against the absolute folder current. Returns an
// empty string, and why in *error, for what cannot be resolved: network paths, a drive
// letter without "\" on another drive, wildcards in a folder's name.
QString resolve(const QString& current, const QString& path, QString* error);
// The word with its variables put in, then resolved.
QString resolveWord(const BatchWord& word, const QString& batchFolder, const QString& current,
                    QString* error);

// The folder that holds a resolved path; a root is its own parent.
QString parent(const QString& path);
// Last name of a resolved path; empty for a root.
QString name(const QString& path);
QString child(const QString& folder, const QString& name);
// Every folder from the root down to path itself.
QStringList ancestors(const QString& path);
// Both on the same drive; paths without a drive letter count as one drive.
bool sameDrive(const QString& a, const QString& b);
bool endsWithSeparator(QStringView path);
// The form %~dp0 takes: the folder of a resolved file path with a separator at its end.
QString folderWithSeparator(const QString& filePath);

} // namespace BatchPath

} // namespace veltrane
