#pragma once

#include <QString>

namespace veltrane {

class UserInterface;

// The whole-file text utilities. Each has its own failure policy and callers rely on it:
// the existence tests answer false, the reader passes failures on (FileError), the writer
// reports them in a message box and returns.
class MyFile {
public:
    // True when the file can be opened for reading now; a folder is not a file.
    static bool FileExists(const QString& path);
    // True when the folder exists; one trailing "\" is ignored.
    static bool DirExists(const QString& path);

    // Reads the whole file into text: UTF-16LE when the name ends in "mkr" (any case),
    // Windows-1252 otherwise. A missing file leaves text as it was. Throws FileError when
    // the file is there but cannot be read.
    static void ReadUniFile(UserInterface& ui, const QString& path, QString& text);

    // Writes text whole in Windows-1252. The target is replaced only by a complete file,
    // so a failed write leaves the previous file as it was. Reports failures itself, an
    // empty result included, and returns true only for a complete, non-empty file.
    static bool WriteUniFile(UserInterface& ui, const QString& path, const QString& text);
};

} // namespace veltrane
