#pragma once

#include <QString>
#include <optional>

namespace veltrane {

// Finds the program a command line names, the way Windows would and with what stands in
// for Windows elsewhere: the current folder set for the program, the Wine prefix's system
// folder when Wine is installed, then PATH; on other systems also the name without ".exe".
class ProgramSearch {
public:
    struct Program {
        QString path;           // host path
        bool needsWine = false; // a Windows program on a system that is not Windows
    };

    // currentFolder is a host path.
    static std::optional<Program> find(const QString& name, const QString& currentFolder);

    // Looks in PATH only, for programs of our own.
    static std::optional<Program> findOnPath(const QString& name);

    // Starts with the "MZ" of a Windows executable.
    static bool isWindowsProgram(const QString& hostPath);
};

} // namespace veltrane
