#include "PathGuard.h"

#include <QRegularExpression>
#include <deque>

namespace fs = std::filesystem;

namespace veltrane {

namespace {

constexpr int kMaxLinks = 40; // as Linux allows in one lookup

std::optional<fs::path> followed(const fs::path& start)
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

bool sameName(const fs::path& a, const fs::path& b)
{
    return HostPath::fromFs(a).toString().compare(HostPath::fromFs(b).toString(),
                                                  Qt::CaseInsensitive) == 0;
}

} // namespace

bool PathGuard::isWithin(const fs::path& target, const fs::path& root)
{
    auto t = target.begin();
    fs::path prefix;
    for (const fs::path& part : root) {
        if (part.empty())
            continue;
        if (t == target.end() || !sameName(*t, part))
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

bool PathGuard::isContainedRelative(const QString& relative)
{
    if (relative.isEmpty() || relative.contains(u':'))
        return false;
    static const QRegularExpression separators(QStringLiteral("[\\\\/]"));
    for (const QString& component : relative.split(separators)) {
        QString meaningful = component;
        while (!meaningful.isEmpty() && (meaningful.back() == u'.' || meaningful.back() == u' '))
            meaningful.chop(1);
        if (meaningful.isEmpty())
            return false;
        for (const QChar c : component) {
            if (c.unicode() < 0x20)
                return false;
        }
    }
    return true;
}

std::optional<fs::path> PathGuard::whereItLeads(const HostPath& path, LastName last)
{
    const fs::path& host = path.fs();
    if (last == LastName::Keep && host.has_filename() && host.has_parent_path()) {
        const auto folder = followed(host.parent_path());
        if (!folder)
            return std::nullopt;
        return *folder / host.filename();
    }
    return followed(host);
}

bool PathGuard::leadsInto(const HostPath& path, const HostPath& folder, LastName last)
{
    const auto real = whereItLeads(path, last);
    const auto outer = whereItLeads(folder);
    return real && outer && isWithin(*real, *outer);
}

} // namespace veltrane
