#pragma once

#include "util/FolderGuard.h"
#include "util/HostPath.h"

#include <QHash>
#include <QSet>
#include <filesystem>
#include <optional>
#include <vector>

namespace veltrane {

// The folders that changes to files may reach while a piece of work runs: during an install
// the game folder and the package folder. The install's FileChanges refuse every change whose
// final path (symbolic links followed, dangling ones included) lies outside its folders.
// FileChanges outside an install are not restricted: tests of the helpers themselves change
// files where they are told to.
//
// Guarded folders inside them (the program's own folder of the game, where the journals are
// kept) take no change either, but in those of the roots that lie inside them (an archive
// unpacked there).
class WriteBoundary {
public:
    explicit WriteBoundary(const std::vector<HostPath>& roots,
                           const std::vector<HostPath>& guarded = {});

    // Whether a change of path may happen; with LastName::Keep the change acts on the name
    // itself (a rename, a removal, a new file put in place), not on what a link there leads
    // to.
    bool admits(const HostPath& path, PathGuard::LastName last);
    // Folders or links were renamed or removed: what was known of folders is no more.
    void forgetFolders()
    {
        m_folders.clear();
        m_ways.clear();
    }
    // The same, when a folder or link on the way to a known folder is the one at path.
    void forgetFoldersThrough(const HostPath& path)
    {
        if (m_ways.contains(path.toString()))
            forgetFolders();
    }

private:
    // A folder as found on the way to a path: where it really is, and whether that lies in
    // the roots.
    struct Folder {
        std::optional<std::filesystem::path> real;
        bool inside = false;
    };
    const Folder& folder(const HostPath& path);
    bool guarded(const std::filesystem::path& real) const;

    FolderGuard m_guard;
    FolderGuard m_guarded;
    // The roots that lie inside a guarded folder: open to change all the same.
    FolderGuard m_openInside;
    // So that the files of one folder do not each walk its path again.
    QHash<QString, Folder> m_folders;
    // Those folders and every folder on the way to them.
    QSet<QString> m_ways;
};

} // namespace veltrane
