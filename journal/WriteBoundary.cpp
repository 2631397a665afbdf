#include "WriteBoundary.h"

namespace fs = std::filesystem;

namespace veltrane {

namespace {

std::vector<HostPath> rootsInside(const std::vector<HostPath>& roots,
                                  const std::vector<HostPath>& guarded)
{
    std::vector<HostPath> inside;
    const FolderGuard guard(guarded);
    for (const HostPath& root : roots) {
        if (!guarded.empty() && guard.admits(root))
            inside.push_back(root);
    }
    return inside;
}

} // namespace

WriteBoundary::WriteBoundary(const std::vector<HostPath>& roots,
                             const std::vector<HostPath>& guarded)
    : m_guard(roots), m_guarded(guarded), m_openInside(rootsInside(roots, guarded))
{
}

bool WriteBoundary::guarded(const HostPath& path) const
{
    return m_guarded.admits(path, PathGuard::LastName::Keep) &&
           !m_openInside.admits(path, PathGuard::LastName::Keep);
}

bool WriteBoundary::admits(const HostPath& path, PathGuard::LastName last)
{
    if (guarded(path))
        return false;
    if (last == PathGuard::LastName::Follow) {
        std::error_code error;
        // Only a link at the end makes the final path differ from its folder's.
        if (fs::is_symlink(fs::symlink_status(path.fs(), error)))
            return m_guard.admits(path, last) && !guarded(path);
    }
    const HostPath folder = path.parent();
    const QString key = folder.toString();
    bool inside = false;
    if (const auto known = m_admittedFolders.constFind(key);
        known != m_admittedFolders.constEnd()) {
        inside = *known;
    } else {
        inside = m_guard.admits(folder);
        m_admittedFolders.insert(key, inside);
    }
    // A root itself may be made or changed, though its own folder lies outside.
    return inside || m_guard.isRoot(path);
}

} // namespace veltrane
