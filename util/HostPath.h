#pragma once

#include <QString>
#include <filesystem>

namespace veltrane {

// A path of this host's file system. The program builds its paths the Windows way: text
// joined with "\" pieces, perhaps with a drive letter. fromProgramPath() is the one place
// where such a path becomes a path of the host; the result is carried on from there, so
// that no path is looked up twice. On Windows the text stays as it is. Elsewhere "\" becomes
// "/", a drive letter is looked up in the Wine prefix, and each component that exists is
// matched without regard to letter case, as Windows and Wine do; components that do not
// exist yet keep their letters.
class HostPath {
public:
    HostPath() = default;

    static HostPath fromProgramPath(const QString& programPath);
    // A path the host gave us as it is: the program's own folder, an entry of a listing.
    static HostPath fromHost(const QString& hostPath);
    static HostPath fromFs(std::filesystem::path path) { return HostPath(std::move(path)); }

    bool isEmpty() const { return m_path.empty(); }
    const std::filesystem::path& fs() const { return m_path; }
    QString toString() const;
    // The form in which the path is shown to the user.
    QString display() const;

    // The entry of that name in this folder, as written.
    HostPath child(const QString& name) const;
    // The entry of that name in this folder, its letters matched the way fromProgramPath()
    // matches each component: the rest of a mapping, one name further.
    HostPath mappedChild(const QString& name) const;
    // A relative path of the program's form ("\Content\Routes.xml") below this folder,
    // mapped as fromProgramPath() maps it, without looking at this folder's own path again.
    HostPath mapped(const QString& relative) const;
    HostPath parent() const;
    QString fileName() const;

    // The name of an entry of this folder that matches name without regard to letter case;
    // the exact name wins. Empty when nothing matches.
    QString matchEntry(const QString& name) const;

    friend bool operator==(const HostPath& a, const HostPath& b) { return a.m_path == b.m_path; }

    // The Wine prefix: $WINEPREFIX, else ~/.wine. Meaningful on hosts that are not Windows.
    static HostPath winePrefix();
    // The folder that stands for a drive letter: <prefix>/dosdevices/c:.
    static HostPath driveFolder(QChar letter);

private:
    explicit HostPath(std::filesystem::path path) : m_path(std::move(path)) {}

    std::filesystem::path m_path;
};

// A path of the program's form as the user is shown it: the host path it stands for.
QString shownPath(const QString& programPath);

} // namespace veltrane
