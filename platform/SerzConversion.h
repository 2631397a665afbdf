#pragma once

#include <QString>

namespace veltrane {

class Shell;
class UserInterface;

// How every conversion by the game's serialiser is written and run, so that callers only
// name the files: the two command forms, the program's folder as the current folder, a
// hidden window, and waiting with the window breathing.
class SerzConversion {
public:
    // serz.exe "IN.bin" xml:"OUT.xml"
    static QString toXmlCommand(const QString& binPath, const QString& xmlPath);
    // serz.exe "IN.xml" bin:"OUT.bin"
    static QString toBinCommand(const QString& xmlPath, const QString& binPath);

    static void run(Shell& shell, UserInterface& ui, const QString& command,
                    const QString& programFolder);

    // The work folder of blueprint conversions, with one spelling of its name.
    static QString workFolder(const QString& programFolder);
    static QString workFile(const QString& programFolder, const QString& fileName);
    // Creates the work folder when it is missing; throws FileError.
    static void prepareWorkFolder(const QString& programFolder);
};

} // namespace veltrane
