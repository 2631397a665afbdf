#include "TreeListing.h"

#include <QFile>
#include <algorithm>
#include <filesystem>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace fs = std::filesystem;

namespace veltrane {

namespace {

QString shown(const std::string& relative)
{
    return QFile::decodeName(QByteArray::fromStdString(relative));
}

QList<TreeListing::Change> sorted(std::vector<std::pair<std::string, bool>> paths)
{
    // In byte order a folder's path is a prefix of what it holds, and so comes first.
    std::sort(paths.begin(), paths.end());
    QList<TreeListing::Change> changes;
    changes.reserve(qsizetype(paths.size()));
    for (const auto& [path, folder] : paths)
        changes.append({shown(path), folder});
    return changes;
}

} // namespace

TreeListing TreeListing::of(const HostPath& root, const QString& skipped)
{
    TreeListing listing;
    const fs::path& base = root.fs();
    const std::string skip = QFile::encodeName(skipped).toStdString();
    const std::string baseText = base.string();
    const std::size_t prefix =
        baseText.size() + (baseText.ends_with(char(fs::path::preferred_separator)) ? 0 : 1);
    std::error_code error;
    fs::recursive_directory_iterator it(base, fs::directory_options::skip_permission_denied, error);
    for (const fs::recursive_directory_iterator end; !error && it != end; it.increment(error)) {
        const std::string path = it->path().string();
        if (path.size() <= prefix)
            continue;
        std::string relative = path.substr(prefix);
        if (it.depth() == 0 && !skip.empty() && relative == skip) {
            it.disable_recursion_pending();
            continue;
        }
        Entry entry;
#ifdef Q_OS_UNIX
        struct stat info {};
        if (::lstat(path.c_str(), &info) != 0)
            continue; // gone meanwhile
        entry.folder = S_ISDIR(info.st_mode);
        entry.size = info.st_size;
        entry.changed = info.st_mtim.tv_sec * 1000000000LL + info.st_mtim.tv_nsec;
#else
        std::error_code gone;
        entry.folder = it->is_directory(gone) && !it->is_symlink(gone);
        if (!entry.folder && it->is_regular_file(gone)) {
            entry.size = qint64(it->file_size(gone));
            entry.changed = qint64(it->last_write_time(gone).time_since_epoch().count());
        }
#endif
        listing.m_entries.emplace(std::move(relative), entry);
    }
    return listing;
}

TreeListing::Difference TreeListing::changesTo(const TreeListing& later) const
{
    std::vector<std::pair<std::string, bool>> made;
    std::vector<std::pair<std::string, bool>> changed;
    std::vector<std::pair<std::string, bool>> removed;
    for (const auto& [path, now] : later.m_entries) {
        const auto before = m_entries.find(path);
        // A file where a folder was, or the other way round, is a new entry.
        if (before == m_entries.end() || before->second.folder != now.folder)
            made.emplace_back(path, now.folder);
        else if (!now.folder &&
                 (before->second.size != now.size || before->second.changed != now.changed))
            changed.emplace_back(path, false);
    }
    for (const auto& [path, before] : m_entries) {
        const auto now = later.m_entries.find(path);
        if (now == later.m_entries.end() || now->second.folder != before.folder)
            removed.emplace_back(path, before.folder);
    }
    return {sorted(std::move(made)), sorted(std::move(changed)), sorted(std::move(removed))};
}

} // namespace veltrane
