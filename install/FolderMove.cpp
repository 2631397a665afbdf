#include "FolderMove.h"

#include "FolderCopy.h"
#include "TargetFolder.h"
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

class TreeMove {
public:
    TreeMove(UserInterface& ui, HostPath root, bool overwrite, WorkReport* report, QString step)
        : m_ui(ui), m_root(std::move(root)), m_overwrite(overwrite), m_report(report),
          m_step(std::move(step))
    {
    }

    // Counts the files and finds the links, without following any.
    void survey(const HostPath& folder)
    {
        forEachEntry(folder, [&](const HostPath& entry, const fs::file_status& status) {
            if (fs::is_directory(status))
                survey(entry);
            else if (fs::is_regular_file(status))
                ++m_total;
            else if (fs::is_symlink(status))
                m_links.push_back(entry);
        });
    }

    // Each link becomes a copy of what it leads to, before a move can take that away; a link
    // that FolderCopy would not follow goes.
    void settleLinks()
    {
        for (const HostPath& link : m_links) {
            attempt(link, [&] {
                const auto real = PathGuard::whereItLeads(link);
                std::error_code error;
                const fs::file_status status =
                    real ? fs::status(*real, error) : fs::file_status(fs::file_type::not_found);
                const bool inside = real && PathGuard::isWithin(*real, m_root.fs());
                if (inside && fs::is_regular_file(status)) {
                    FileOps::copyFile(HostPath::fromFs(*real), link);
                    ++m_total;
                    return;
                }
                FileOps::removeFile(link);
                // A folder that holds the link itself would be copied into itself.
                if (inside && fs::is_directory(status) &&
                    !PathGuard::isWithin(link.parent().fs(), *real))
                    m_total += FolderCopy(m_ui, m_report, m_step)
                                   .copyFolder(HostPath::fromFs(*real), link, true);
            });
        }
        m_links.clear();
    }

    void move(const HostPath& folder, const HostPath& target)
    {
        TargetFolder names(target);
        forEachEntry(folder, [&](const HostPath& source, const fs::file_status& status) {
            // The walk matched each name on the way: nothing is mapped again.
            const HostPath destination = names.entryFor(source.fileName());
            if (fs::is_directory(status)) {
                std::error_code error;
                if (!fs::is_directory(fs::symlink_status(destination.fs(), error)) &&
                    !attempt(destination, [&] { FileOps::makeFolder(destination); }))
                    return; // nothing of this folder can arrive
                move(source, destination);
                return;
            }
            if (!fs::is_regular_file(status))
                return;
            if (attempt(destination, [&] { moveFile(source, destination); }))
                ++m_moved;
            ++m_done;
            m_ui.showProgress(m_done, m_total);
            m_ui.processEvents();
        });
    }

    qint64 total() const { return m_total; }
    qint64 moved() const { return m_moved; }

private:
    // Runs one change; a failure other than permission denied is reported and the move goes
    // on, when there is a report to take it.
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

    template <typename Visit> void forEachEntry(const HostPath& folder, Visit visit)
    {
        std::error_code error;
        fs::directory_iterator it(folder.fs(), error);
        if (error && !attempt(folder, [&] { fail(error, folder); }))
            return;
        for (fs::directory_iterator end; it != end; it.increment(error)) {
            if (error && !attempt(folder, [&] { fail(error, folder); }))
                return;
            const HostPath entry = HostPath::fromFs(it->path());
            const fs::file_status status = it->symlink_status(error);
            if (error && !attempt(entry, [&] { fail(error, entry); }))
                continue;
            visit(entry, status);
        }
    }

    void moveFile(const HostPath& source, const HostPath& destination)
    {
        std::error_code error;
        if (!m_overwrite && fs::exists(fs::symlink_status(destination.fs(), error)))
            fail(std::make_error_code(std::errc::file_exists), destination);
        FileOps::moveFile(source, destination);
    }

    UserInterface& m_ui;
    HostPath m_root;
    bool m_overwrite;
    WorkReport* m_report;
    QString m_step;
    std::vector<HostPath> m_links;
    qint64 m_total = 0;
    qint64 m_moved = 0;
    qint64 m_done = 0;
};

struct ProgressGuard {
    UserInterface& ui;
    ~ProgressGuard() { ui.showProgress(0, 0); }
};

} // namespace

FolderMove::FolderMove(UserInterface& ui, WorkReport* report, QString step)
    : m_ui(ui), m_report(report), m_step(std::move(step))
{
}

qint64 FolderMove::moveFolder(const HostPath& source, const HostPath& destination, bool overwrite)
{
    std::error_code error;
    const fs::path from = fs::canonical(source.fs(), error);
    if (error || !fs::is_directory(from, error))
        throw FileError(FileError::Kind::Other, u"Path not found ("_s + source.display() + u')');
    const auto parent = PathGuard::whereItLeads(source.parent());
    if (!parent || !PathGuard::isWithin(from, *parent) || PathGuard::isWithin(*parent, from))
        throw FileError(FileError::Kind::Other,
                        u"The folder is a link that leads out of its own folder ("_s +
                            source.display() + u')');
    // Files moved into a folder that is still being walked would be met again.
    const auto into = PathGuard::whereItLeads(destination);
    if (!into || PathGuard::isWithin(*into, from))
        throw FileError(FileError::Kind::Other, u"The folder cannot be moved into itself ("_s +
                                                    destination.display() + u')');
    if (!fs::is_directory(destination.fs(), error))
        FileOps::makeFolder(destination);

    const HostPath root = HostPath::fromFs(from);
    TreeMove tree(m_ui, root, overwrite, m_report, m_step);
    tree.survey(root);
    tree.settleLinks();
    ProgressGuard guard{m_ui};
    m_ui.showProgress(0, tree.total());
    tree.move(root, destination);
    return tree.moved();
}

} // namespace veltrane
