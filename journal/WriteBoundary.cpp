#include "WriteBoundary.h"

namespace fs = std::filesystem;

namespace veltrane {

WriteBoundary::WriteBoundary(const std::vector<HostPath>& roots) : m_guard(roots) {}

bool WriteBoundary::admits(const HostPath& path, PathGuard::LastName last)
{
    if (last == PathGuard::LastName::Follow) {
        std::error_code error;
        // Only a link at the end makes the final path differ from its folder's.
        if (fs::is_symlink(fs::symlink_status(path.fs(), error)))
            return m_guard.admits(path, last);
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
