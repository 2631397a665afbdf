#include "FolderCopy.h"

#include "TargetFolder.h"
#include "TreeMerge.h"
#include "journal/FileChanges.h"
#include "platform/AttributeClearer.h"
#include "platform/ProcessRunner.h"
#include "util/PathGuard.h"

#include <filesystem>
#include <vector>

namespace fs = std::filesystem;
using namespace Qt::StringLiterals;

namespace veltrane {

namespace {

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

class TreeCopy : public TreeMerge {
public:
    using TreeMerge::TreeMerge;

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
            if (!isFolder) {
                placeFile(destination, [&] { m_files.copyFile(source, destination); });
            } else if (enterFolder(destination)) {
                chain.push_back(source.fs());
                copy(source, destination, chain);
                chain.pop_back();
            }
        });
    }

private:
    // Visits the entries of a folder, following symbolic links only where they stay inside
    // the tree being copied and do not lead back into a folder being visited.
    template <typename Visit>
    void forEachEntry(const HostPath& folder, const std::vector<fs::path>& chain, Visit visit)
    {
        forEachListed(folder, [&](const fs::directory_entry& listed) {
            std::error_code error;
            const HostPath source = HostPath::fromFs(listed.path());
            // The kind the folder listing gave: no look at each file of a large tree.
            const fs::file_type type = entryType(listed, error);
            if (error && !attempt(source, [&] { fail(error, source); }))
                return;
            const bool isLink = type == fs::file_type::symlink;
            fs::file_status status(type);
            if (isLink) {
                const auto real = PathGuard::whereItLeads(source);
                if (!real || !PathGuard::isWithin(*real, m_root.fs()))
                    return;
                status = fs::status(*real, error);
                if (error)
                    return;
                if (fs::is_directory(status)) {
                    bool loops = PathGuard::isWithin(folder.fs(), *real);
                    for (const fs::path& open : chain)
                        loops = loops || fs::equivalent(open, *real, error);
                    if (loops)
                        return;
                }
            }
            if (fs::is_directory(status))
                visit(source, true);
            else if (fs::is_regular_file(status))
                visit(source, false);
        });
    }
};

} // namespace

FolderCopy::FolderCopy(UserInterface& ui, FileChanges& files, WorkReport* report, QString step)
    : m_ui(ui), m_files(files), m_report(report), m_step(std::move(step))
{
}

qint64 FolderCopy::copyFolder(const HostPath& source, const HostPath& destination, bool overwrite)
{
    const fs::path from = TreeMerge::checkedSource(source);
    std::error_code error;
    if (!fs::is_directory(destination.fs(), error))
        m_files.makeFolder(destination);

    const HostPath root = HostPath::fromFs(from);
    TreeCopy tree(m_ui, m_files, root, overwrite, m_report, m_step);
    std::vector<fs::path> chain{from};
    tree.startProgress(tree.count(root, chain));
    tree.copy(root, destination, chain);
    return tree.placed();
}

void FolderCopy::removeFolder(const HostPath& folder)
{
    try {
        m_files.removeTree(folder);
    } catch (const FileError&) {
        // Read-only contents are deleted too; make them writable and try once more.
        try {
            AttributeClearer::makeWritable(folder, RunOptions{false, WindowStyle::Hidden}, m_ui);
            m_files.removeTree(folder);
        } catch (const FileError&) {
        }
    }
}

} // namespace veltrane
