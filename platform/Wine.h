#pragma once

#include <QString>

namespace veltrane {

// Wine, where the game's Windows programs run on other systems.
class Wine {
public:
    // The `wine` program found on PATH; empty when Wine is not installed.
    static QString program();
    static bool isInstalled() { return !program().isEmpty(); }
    // The prefix's system folder, where the game keeps its tools.
    static QString systemFolder();
    // A host path in the form Wine's programs understand: "C:\..." inside the prefix's
    // drives, "Z:\..." for the rest of the file system.
    static QString toWindowsPath(const QString& hostPath);
};

} // namespace veltrane
