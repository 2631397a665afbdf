#pragma once

#include <QString>
#include <filesystem>

namespace veltrane {

// The program builds paths the Windows way: text joined with "\" pieces, perhaps with a
// drive letter. This is the one place where such a path becomes a path of the host.
// On Windows it stays as it is. Elsewhere "\" becomes "/", a drive letter is looked up in
// the Wine prefix, and each component that exists is matched without regard to letter case,
// as Windows and Wine do; components that do not exist yet keep their letters.
class HostPath {
public:
    static QString toHost(const QString& path);

    // Whether the path begins with an ASCII drive letter and a colon ("c:").
    static bool startsWithDrive(QStringView path);

    // The form in which a path is shown to the user.
    static QString display(const QString& path);

    // The Wine prefix: $WINEPREFIX, else ~/.wine. Meaningful on non-Windows hosts only.
    static QString winePrefix();

    // Folder that stands for a drive letter ("c" -> "<prefix>/dosdevices/c:").
    static QString driveFolder(QChar letter);

    // A host path for the standard library's file operations.
    static std::filesystem::path toFs(const QString& hostPath);
    static QString fromFs(const std::filesystem::path& path);

    // Case-insensitive lookup of one name inside an existing host folder; the exact name
    // wins. Empty when nothing matches.
    static QString matchEntry(const QString& hostFolder, const QString& name);
};

} // namespace veltrane
