#pragma once

#include "FileError.h"
#include "HostPath.h"

#include <QString>
#include <optional>

namespace veltrane {

class UserInterface;

// The whole-file text utilities. Each has its own failure policy and callers rely on it:
// the existence tests answer false, the reader passes failures on (FileError), the writer
// reports them in a message box and returns.

// True when the file can be opened for reading now; a folder is not a file.
bool fileExists(const HostPath& path);
// True when the folder exists. A trailing separator of the program's form is gone once
// the path is mapped.
bool folderExists(const HostPath& path);

// Reads the whole file into text: UTF-16LE when the name ends in "mkr" (any case),
// Windows-1252 otherwise. A missing file leaves text as it was. Throws FileError when
// the file is there but cannot be read.
void readTextFile(UserInterface& ui, const HostPath& path, QString& text);

// Writes text whole in Windows-1252. The target is replaced only by a complete file,
// so a failed write leaves the previous file as it was. Reports failures itself, an
// empty result included, and returns true only for a complete, non-empty file. Messages name
// the file as shownAs when given: a list written under a passing name is named as the list.
// failure, when given, receives what failed, so that a caller can tell permission denied.
bool writeTextFile(UserInterface& ui, const HostPath& path, const QString& text,
                   const HostPath& shownAs = {}, std::optional<FileError>* failure = nullptr);

} // namespace veltrane
