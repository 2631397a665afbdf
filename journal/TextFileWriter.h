#pragma once

#include "util/Expected.h"
#include "util/HostPath.h"

#include <QString>

namespace veltrane {

class FileChanges;
class InstallLog;
class UserInterface;

// Writes text whole in Windows-1252 through files. The target is replaced only by a complete
// file, so a failed write leaves the previous file as it was. Reports failures itself, an
// empty result included, and succeeds only for a complete, non-empty file; the failure tells
// a caller permission denied from any other. Messages name the file as shownAs when given: a
// list written under a passing name is named as the list.
Expected<void> writeTextFile(FileChanges& files, UserInterface& ui, const HostPath& path,
                             const QString& text, const HostPath& shownAs = {});

// Writes the second copy of a log the user asked for, whole, when the run is over.
Expected<void> writeLogCopy(const InstallLog& log);

} // namespace veltrane
