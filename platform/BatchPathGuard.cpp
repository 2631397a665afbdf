#include "BatchPathGuard.h"

#include "util/HostPath.h"

#include <deque>

using namespace Qt::StringLiterals;

namespace fs = std::filesystem;

namespace veltrane {

namespace {

constexpr int kMaxLinks = 40; // as Linux allows in one lookup

// The host path with every symbolic link on the way replaced by where it leads. Names that do
// not exist are kept as they are. Empty when the way cannot be followed (a loop, no access).
std::optional<fs::path> whereItLeads(const fs::path& start)
{
    std::error_code error;
    const fs::path absolute = fs::absolute(start, error);
    if (error)
        return std::nullopt;
    const fs::path relative = absolute.relative_path();
    std::deque<fs::path> names(relative.begin(), relative.end());
    fs::path out = absolute.root_path();
    int links = 0;
    while (!names.empty()) {
        const fs::path name = names.front();
        names.pop_front();
        if (name.empty() || name == ".")
            continue;
        if (name == "..") {
            if (out != out.root_path())
                out = out.parent_path();
            continue;
        }
        const fs::path next = out / name;
        const fs::file_status status = fs::symlink_status(next, error);
        if (status.type() == fs::file_type::not_found) {
            out = next;
            continue;
        }
        if (error)
            return std::nullopt;
        if (fs::is_symlink(status)) {
            if (++links > kMaxLinks)
                return std::nullopt;
            const fs::path target = fs::read_symlink(next, error);
            if (error)
                return std::nullopt;
            if (target.is_absolute())
                out = target.root_path();
            const fs::path leadsTo = target.relative_path();
            names.insert(names.begin(), leadsTo.begin(), leadsTo.end());
            continue;
        }
        out = next;
    }
    return out;
}

std::optional<fs::path> whereProgramPathLeads(const QString& path, BatchPathGuard::LastName last)
{
    const fs::path host = HostPath::toFs(HostPath::toHost(path));
    if (last == BatchPathGuard::LastName::Keep && host.has_filename() && host.has_parent_path()) {
        const auto folder = whereItLeads(host.parent_path());
        if (!folder)
            return std::nullopt;
        return *folder / host.filename();
    }
    return whereItLeads(host);
}

bool inside(const fs::path& target, const fs::path& root)
{
    auto t = target.begin();
    fs::path prefix;
    for (const fs::path& part : root) {
        if (part.empty())
            continue;
        if (t == target.end())
            return false;
        if (HostPath::fromFs(*t).compare(HostPath::fromFs(part), Qt::CaseInsensitive) != 0)
            return false;
        prefix /= *t;
        ++t;
    }
    // The names agree; on a file system that tells letter case apart "RS" and "rs" may still
    // be two folders.
    std::error_code error;
    const bool rootThere = fs::exists(root, error);
    const bool prefixThere = fs::exists(prefix, error);
    if (rootThere != prefixThere)
        return false;
    return !rootThere || fs::equivalent(root, prefix, error);
}

} // namespace

BatchPathGuard::BatchPathGuard(const QStringList& roots)
{
    for (const QString& root : roots) {
        if (root.isEmpty())
            continue;
        if (const auto real = whereProgramPathLeads(root, LastName::Follow))
            m_roots.push_back(*real);
    }
}

bool BatchPathGuard::admits(const QString& path, LastName last) const
{
    const auto real = whereProgramPathLeads(path, last);
    if (!real)
        return false;
    for (const fs::path& root : m_roots) {
        if (inside(*real, root))
            return true;
    }
    return false;
}

bool BatchPathGuard::isRoot(const QString& path) const
{
    const auto real = whereProgramPathLeads(path, LastName::Follow);
    if (!real)
        return false;
    for (const fs::path& root : m_roots) {
        if (inside(*real, root) && inside(root, *real))
            return true;
    }
    return false;
}

QString BatchPathGuard::refusal(const QString& path)
{
    return HostPath::display(path) + u" is outside the folders that this file may change"_s;
}

bool BatchPathGuard::leadsInto(const QString& path, const QString& folder)
{
    const auto real = whereProgramPathLeads(path, LastName::Follow);
    const auto outer = whereProgramPathLeads(folder, LastName::Follow);
    return real && outer && inside(*real, *outer);
}

} // namespace veltrane
