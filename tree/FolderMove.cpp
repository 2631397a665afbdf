#include "FolderMove.h"

#include "MergePlan.h"
#include "TreeMerge.h"
#include "journal/FileChanges.h"
#include "util/FileError.h"
#include "util/PathGuard.h"

#include <filesystem>

namespace fs = std::filesystem;
using namespace Qt::StringLiterals;

namespace veltrane {

FolderMove::FolderMove(UserInterface& ui, FileChanges& files, WorkReport* report, QString step)
    : m_ui(ui), m_files(files), m_report(report), m_step(std::move(step))
{
}

qint64 FolderMove::moveFolder(const HostPath& source, const HostPath& destination, bool overwrite)
{
    return movePlanned(MergePlan::of(source, destination), overwrite);
}

qint64 FolderMove::movePlanned(const MergePlan& plan, bool overwrite)
{
    if (plan.refusal())
        throw *plan.refusal();
    // Files moved into the tree they come from would land where the plan did not look.
    const auto into = PathGuard::whereItLeads(plan.target());
    if (!into || PathGuard::isWithin(*into, plan.source().fs()))
        throw FileError(FileError::Kind::Other, u"The folder cannot be moved into itself ("_s +
                                                    plan.target().display() + u')');
    std::error_code error;
    if (!fs::is_directory(plan.target().fs(), error))
        m_files.makeFolder(plan.target());

    using Entry = MergePlan::Entry;
    TreeMerge merge(m_ui, m_files, overwrite, m_report, m_step);
    merge.startProgress(plan.fileCount(), plan.byteCount());
    // What a link of the tree leads to is copied before a move can take it away; then the
    // links go, as a copy would not bring them either, and the rest is moved.
    merge.placeInOrder(
        plan, [](const Entry& entry) { return entry.throughLink; },
        [&](const Entry& entry) { m_files.copyFile(entry.source, entry.destination); });
    for (const Entry& entry : plan.entries()) {
        if (entry.kind == Entry::Kind::Link && !entry.throughLink)
            merge.attempt(entry.source, [&] { m_files.removeFile(entry.source); });
    }
    merge.placeRest(
        plan, [](const Entry& entry) { return !entry.throughLink; },
        [&](const Entry& entry) { m_files.moveFile(entry.source, entry.destination); });
    return merge.placed();
}

} // namespace veltrane
