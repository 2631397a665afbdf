#include "FolderCopy.h"

#include "MergePlan.h"
#include "TreeMerge.h"
#include "journal/FileChanges.h"
#include "platform/AttributeClearer.h"
#include "platform/ProcessRunner.h"

#include <filesystem>

namespace fs = std::filesystem;
using namespace Qt::StringLiterals;

namespace veltrane {

FolderCopy::FolderCopy(UserInterface& ui, FileChanges& files, WorkReport* report, QString step)
    : m_ui(ui), m_files(files), m_report(report), m_step(std::move(step))
{
}

qint64 FolderCopy::copyFolder(const HostPath& source, const HostPath& destination, bool overwrite)
{
    return copyPlanned(MergePlan::of(source, destination), overwrite);
}

qint64 FolderCopy::copyPlanned(const MergePlan& plan, bool overwrite)
{
    if (plan.refusal())
        throw *plan.refusal();
    std::error_code error;
    if (!fs::is_directory(plan.target().fs(), error))
        m_files.makeFolder(plan.target());

    TreeMerge merge(m_ui, m_files, overwrite, m_report, m_step);
    merge.startProgress(plan.fileCount(), plan.byteCount());
    const auto every = [](const MergePlan::Entry&) { return true; };
    merge.placeInOrder(plan, every, [&](const MergePlan::Entry& entry) {
        m_files.copyFile(entry.source, entry.destination);
    });
    return merge.placed();
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
