#pragma once

#include <QString>
#include <QStringList>
#include <filesystem>
#include <optional>
#include <vector>

namespace veltrane {

// Decides whether a path of a batch file stays inside the folders the file may touch. A path
// is judged by where it really leads: mapped to the host, symbolic links followed (also ones
// that point nowhere yet, as a write through them would create their target), names compared
// without regard to letter case, whole names only ("C:\Games" does not admit "C:\GamesX").
class BatchPathGuard {
public:
    // roots: in the program's path form.
    explicit BatchPathGuard(const QStringList& roots);

    enum class LastName {
        Follow, // the operation goes through a symbolic link at the end (writing, reading)
        Keep    // it acts on the link itself (deleting, renaming)
    };

    bool admits(const QString& path, LastName last = LastName::Follow) const;
    // path is one of the roots themselves.
    bool isRoot(const QString& path) const;
    // path leads to folder or somewhere below it.
    static bool leadsInto(const QString& path, const QString& folder);
    // Why a path is refused, for the user.
    static QString refusal(const QString& path);

private:
    std::vector<std::filesystem::path> m_roots;
};

} // namespace veltrane
