#include "FolderGuard.h"

namespace fs = std::filesystem;

namespace veltrane {

FolderGuard::FolderGuard(const std::vector<HostPath>& roots)
{
    for (const HostPath& root : roots) {
        if (root.isEmpty())
            continue;
        if (const auto real = PathGuard::whereItLeads(root))
            m_roots.push_back(*real);
    }
}

bool FolderGuard::admits(const HostPath& path, PathGuard::LastName last) const
{
    if (m_roots.empty())
        return false;
    const auto real = PathGuard::whereItLeads(path, last);
    return real && contains(*real);
}

bool FolderGuard::contains(const fs::path& real) const
{
    for (const fs::path& root : m_roots) {
        if (PathGuard::isWithin(real, root))
            return true;
    }
    return false;
}

bool FolderGuard::isRoot(const HostPath& path) const
{
    const auto real = PathGuard::whereItLeads(path);
    if (!real)
        return false;
    for (const fs::path& root : m_roots) {
        if (PathGuard::isWithin(*real, root) && PathGuard::isWithin(root, *real))
            return true;
    }
    return false;
}

} // namespace veltrane
