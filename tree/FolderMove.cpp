#include "FolderMove.h"

#include "FolderCopy.h"
#include "TargetFolder.h"
#include "TreeMerge.h"
#include "journal/FileChanges.h"
#include "util/FileError.h"
#include "util/PathGuard.h"

#include <filesystem>
#include <vector>

namespace fs = std::filesystem;
using namespace Qt::StringLiterals;

namespace veltrane {

namespace {

class TreeMove : public TreeMerge {
public:
    using TreeMerge::TreeMerge;

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
                    m_files.copyFile(HostPath::fromFs(*real), link);
                    ++m_total;
                    return;
                }
                m_files.removeFile(link);
                // A folder that holds the link itself would be copied into itself.
                if (inside && fs::is_directory(status) &&
                    !PathGuard::isWithin(link.parent().fs(), *real))
                    m_total += FolderCopy(m_ui, m_files, m_report, m_step)
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
                if (enterFolder(destination))
                    move(source, destination);
            } else if (fs::is_regular_file(status)) {
                placeFile(destination, [&] { m_files.moveFile(source, destination); });
            }
        });
    }

private:
    template <typename Visit> void forEachEntry(const HostPath& folder, Visit visit)
    {
        forEachListed(folder, [&](const fs::directory_entry& listed) {
            std::error_code error;
            const HostPath entry = HostPath::fromFs(listed.path());
            const fs::file_status status = listed.symlink_status(error);
            if (error && !attempt(entry, [&] { fail(error, entry); }))
                return;
            visit(entry, status);
        });
    }

    std::vector<HostPath> m_links;
};

} // namespace

FolderMove::FolderMove(UserInterface& ui, FileChanges& files, WorkReport* report, QString step)
    : m_ui(ui), m_files(files), m_report(report), m_step(std::move(step))
{
}

qint64 FolderMove::moveFolder(const HostPath& source, const HostPath& destination, bool overwrite)
{
    const fs::path from = TreeMerge::checkedSource(source);
    // Files moved into a folder that is still being walked would be met again.
    const auto into = PathGuard::whereItLeads(destination);
    if (!into || PathGuard::isWithin(*into, from))
        throw FileError(FileError::Kind::Other, u"The folder cannot be moved into itself ("_s +
                                                    destination.display() + u')');
    std::error_code error;
    if (!fs::is_directory(destination.fs(), error))
        m_files.makeFolder(destination);

    const HostPath root = HostPath::fromFs(from);
    TreeMove tree(m_ui, m_files, root, overwrite, m_report, m_step);
    tree.survey(root);
    tree.settleLinks();
    tree.startProgress(tree.total());
    tree.move(root, destination);
    return tree.placed();
}

} // namespace veltrane
