#include "FolderCopy.h"

#include "TargetFolder.h"
#include "platform/AttributeClearer.h"
#include "platform/ProcessRunner.h"
#include "util/FileError.h"
#include "util/FileOps.h"
#include "util/PathGuard.h"
#include "util/UserInterface.h"
#include "util/WorkReport.h"

#include <filesystem>
#include <vector>

namespace fs = std::filesystem;
using namespace Qt::StringLiterals;

namespace veltrane {

namespace {

[[noreturn]] void fail(const std::error_code& error, const HostPath& path)
{
    throw FileError::fromSystem(error, path.display());
}

fs::file_type entryType(const fs::directory_entry& entry, std::error_code& error)
{
    if (entry.is_symlink(error))
        return fs::file_type::symlink;
    if (!error && entry.is_directory(error))
        return fs::file_type::directory;
    if (!error && entry.is_regular_file(error))
        return fs::file_type::regular;
    return fs::file_type::unknown;
}

class TreeCopy {
public:
    TreeCopy(UserInterface& ui, HostPath root, bool overwrite, WorkReport* report, QString step)
        : m_ui(ui), m_root(std::move(root)), m_overwrite(overwrite), m_report(report),
          m_step(std::move(step))
    {
    }

    qint64 count(const HostPath& folder, std::vector<fs::path>& chain)
    {
        qint64 files = 0;
        forEachEntry(folder, chain, [&](const HostPath& source, bool isFolder) {
            if (isFolder) {
                chain.push_back(source.fs());
                files += count(source, chain);
                chain.pop_back();
            } else {
                ++files;
            }
        });
        return files;
    }

    void copy(const HostPath& folder, const HostPath& target, std::vector<fs::path>& chain)
    {
        TargetFolder names(target);
        forEachEntry(folder, chain, [&](const HostPath& source, bool isFolder) {
            // The walk matched each name on the way: nothing is mapped again.
            const HostPath destination = names.entryFor(source.fileName());
            if (isFolder) {
                std::error_code error;
                if (!fs::is_directory(fs::symlink_status(destination.fs(), error)) &&
                    !attempt(destination, [&] { FileOps::makeFolder(destination); }))
                    return; // nothing of this folder can arrive
                chain.push_back(source.fs());
                copy(source, destination, chain);
                chain.pop_back();
                return;
            }
            if (attempt(destination, [&] { copyFile(source, destination); }))
                ++m_copied;
            ++m_done;
            m_ui.showProgress(m_done, m_total);
            m_ui.processEvents();
        });
    }

    void setTotal(qint64 total) { m_total = total; }
    qint64 total() const { return m_total; }
    qint64 copied() const { return m_copied; }

private:
    // Runs one change of the copy; a failure other than permission denied is reported and
    // the copy goes on, when there is a report to take it.
    template <typename Work> bool attempt(const HostPath& path, Work work)
    {
        try {
            work();
            return true;
        } catch (const FileError& error) {
            if (error.permissionDenied() || !m_report)
                throw;
            m_report->fail(m_step, path.display(), error.description());
            return false;
        }
    }

    // Visits the entries of a folder, following symbolic links only where they stay inside
    // the tree being copied and do not lead back into a folder being visited.
    template <typename Visit>
    void forEachEntry(const HostPath& folder, const std::vector<fs::path>& chain, Visit visit)
    {
        std::error_code error;
        fs::directory_iterator it(folder.fs(), error);
        if (error && !attempt(folder, [&] { fail(error, folder); }))
            return;
        for (fs::directory_iterator end; it != end; it.increment(error)) {
            if (error && !attempt(folder, [&] { fail(error, folder); }))
                return;
            const HostPath source = HostPath::fromFs(it->path());
            // The kind the folder listing gave: no look at each file of a large tree.
            const fs::file_type type = entryType(*it, error);
            if (error && !attempt(source, [&] { fail(error, source); }))
                continue;
            const bool isLink = type == fs::file_type::symlink;
            fs::file_status status(type);
            if (isLink) {
                const auto real = PathGuard::whereItLeads(source);
                if (!real || !PathGuard::isWithin(*real, m_root.fs()))
                    continue;
                status = fs::status(*real, error);
                if (error)
                    continue;
                if (fs::is_directory(status)) {
                    bool loops = PathGuard::isWithin(folder.fs(), *real);
                    for (const fs::path& open : chain)
                        loops = loops || fs::equivalent(open, *real, error);
                    if (loops)
                        continue;
                }
            }
            if (fs::is_directory(status))
                visit(source, true);
            else if (fs::is_regular_file(status))
                visit(source, false);
        }
    }

    void copyFile(const HostPath& source, const HostPath& destination)
    {
        std::error_code error;
        if (!m_overwrite && fs::exists(destination.fs(), error))
            fail(std::make_error_code(std::errc::file_exists), destination);
        FileOps::copyFile(source, destination);
    }

    UserInterface& m_ui;
    HostPath m_root;
    bool m_overwrite;
    WorkReport* m_report;
    QString m_step;
    qint64 m_total = 0;
    qint64 m_copied = 0;
    qint64 m_done = 0;
};

// Hides the progress display however the copy ends.
struct ProgressGuard {
    UserInterface& ui;
    ~ProgressGuard() { ui.showProgress(0, 0); }
};

} // namespace

FolderCopy::FolderCopy(UserInterface& ui, WorkReport* report, QString step)
    : m_ui(ui), m_report(report), m_step(std::move(step))
{
}

qint64 FolderCopy::copyFolder(const HostPath& source, const HostPath& destination, bool overwrite)
{
    std::error_code error;
    const fs::path from = fs::canonical(source.fs(), error);
    if (error || !fs::is_directory(from, error))
        throw FileError(FileError::Kind::Other, u"Path not found ("_s + source.display() + u')');
    // A link in place of the folder would bring in what it leads to, even the game itself.
    const auto parent = PathGuard::whereItLeads(source.parent());
    if (!parent || !PathGuard::isWithin(from, *parent) || PathGuard::isWithin(*parent, from))
        throw FileError(FileError::Kind::Other,
                        u"The folder is a link that leads out of its own folder ("_s +
                            source.display() + u')');
    if (!fs::is_directory(destination.fs(), error))
        FileOps::makeFolder(destination);

    const HostPath root = HostPath::fromFs(from);
    TreeCopy tree(m_ui, root, overwrite, m_report, m_step);
    std::vector<fs::path> chain{from};
    tree.setTotal(tree.count(root, chain));
    ProgressGuard guard{m_ui};
    m_ui.showProgress(0, tree.total());
    tree.copy(root, destination, chain);
    return tree.copied();
}

void FolderCopy::removeFolder(const HostPath& folder)
{
    try {
        FileOps::removeTree(folder);
    } catch (const FileError&) {
        // Read-only contents are deleted too; make them writable and try once more.
        try {
            AttributeClearer::makeWritable(folder, RunOptions{false, WindowStyle::Hidden}, m_ui);
            FileOps::removeTree(folder);
        } catch (const FileError&) {
        }
    }
}

} // namespace veltrane
