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

bool WriteBoundary::guarded(const fs::path& real) const
{
    return m_guarded.contains(real) && !m_openInside.contains(real);
}

const WriteBoundary::Folder& WriteBoundary::folder(const HostPath& path)
{
    const QString key = path.toString();
    if (const auto known = m_folders.constFind(key); known != m_folders.constEnd())
        return *known;
    Folder found;
    found.real = PathGuard::whereItLeads(path);
    found.inside = found.real && m_guard.contains(*found.real);
    for (QString way = key; !m_ways.contains(way);) {
        m_ways.insert(way);
        const qsizetype slash = way.lastIndexOf(u'/');
        if (slash <= 0)
            break;
        way.truncate(slash);
    }
    return *m_folders.insert(key, found);
}

bool WriteBoundary::admits(const HostPath& path, PathGuard::LastName last)
{
    std::error_code error;
    const fs::path name = path.fs().filename();
    // Only a link at the end makes the final path differ from its folder's; a name that is
    // no name of its own is looked at whole.
    if ((last == PathGuard::LastName::Follow &&
         fs::is_symlink(fs::symlink_status(path.fs(), error))) ||
        name.empty() || name == "." || name == "..") {
        const auto itself = PathGuard::whereItLeads(path, PathGuard::LastName::Keep);
        const auto real = PathGuard::whereItLeads(path, last);
        return itself && real && !guarded(*itself) && !guarded(*real) &&
               (m_guard.contains(*real) || m_guard.isRoot(path));
    }
    const Folder& parent = folder(path.parent());
    if (!parent.real || guarded(*parent.real / name))
        return false;
    // A root itself may be made or changed, though its own folder lies outside.
    return parent.inside || m_guard.isRoot(path);
}

} // namespace veltrane
