#pragma once

#include "FileError.h"
#include "HostPath.h"

#include <QString>
#include <optional>

namespace veltrane {

class UserInterface;

// The whole-file text utilities. Each has its own failure policy and callers rely on it:
// the existence tests answer false, the reader passes failures on (FileError). The writer,
// which changes files, is writeTextFile() in journal/TextFileWriter.h.

// True when the file can be opened for reading now; a folder is not a file.
bool fileExists(const HostPath& path);
// True when the folder exists. A trailing separator of the program's form is gone once
// the path is mapped.
bool folderExists(const HostPath& path);

// Reads the whole file into text: UTF-16LE when the name ends in "mkr" (any case),
// Windows-1252 otherwise. A missing file leaves text as it was. Throws FileError when
// the file is there but cannot be read.
void readTextFile(UserInterface& ui, const HostPath& path, QString& text);

} // namespace veltrane
