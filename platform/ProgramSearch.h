#pragma once

#include "util/HostPath.h"

#include <QString>
#include <optional>

namespace veltrane {

struct Program {
    HostPath path;
    bool needsWine = false; // a Windows program on a system that is not Windows
};

// Finds the program a command names, the way Windows would and with what stands in for
// Windows elsewhere: the current folder set for the program, the Wine prefix's system
// folder when Wine is installed, then PATH; on other systems also the name without ".exe".
namespace ProgramSearch {

std::optional<Program> find(const QString& name, const HostPath& currentFolder);

// Looks in PATH only, for programs of our own.
std::optional<Program> findOnPath(const QString& name);

// Starts with the "MZ" of a Windows executable.
bool isWindowsProgram(const HostPath& path);

} // namespace ProgramSearch

} // namespace veltrane
