#pragma once

#include "MergePlan.h"
#include "util/FileError.h"
#include "util/HostPath.h"
#include "util/UserInterface.h"
#include "util/WorkCancelled.h"
#include "util/WorkReport.h"

#include <QString>
#include <filesystem>
#include <vector>

namespace veltrane {

class FileChanges;

// What the folder copy and the folder move share while they carry out the plan of a merge of
// a tree into the game: the check of the source folder, the going on after a failure, the
// folders made on the way and the count and progress of the files placed.
class TreeMerge {
public:
    TreeMerge(UserInterface& ui, FileChanges& files, bool overwrite, WorkReport* report,
              QString step);
    ~TreeMerge();
    TreeMerge(const TreeMerge&) = delete;
    TreeMerge& operator=(const TreeMerge&) = delete;

    // The real folder of source; throws FileError where it is none, or is a link that leads
    // out of its own folder (it would bring in what it leads to, even the game itself).
    static std::filesystem::path checkedSource(const HostPath& source);

    qint64 total() const { return m_total; }
    qint64 placed() const { return m_placed; }

    // Shows the progress (files and their bytes) from nothing; it goes with this object.
    void startProgress(qint64 files, qint64 bytes);

    [[noreturn]] static void fail(const std::error_code& error, const HostPath& path);

    // Runs one change; a failure other than permission denied is reported and the merge goes
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

    // The folder an entry goes to, made where it is missing; false when it cannot be (the
    // failure is reported), and then nothing of that folder can arrive.
    bool enterFolder(const HostPath& destination);

    // Places one file by work, after refusing a file that is there unless overwriting; counts
    // it and lets the window show the progress and breathe.
    template <typename Work> void placeFile(const HostPath& destination, qint64 bytes, Work work)
    {
        if (m_ui.cancelRequested())
            throw WorkCancelled();
        if (attempt(destination, [&] {
                refuseExisting(destination);
                work();
            }))
            ++m_placed;
        ++m_done;
        m_bytesDone += bytes;
        m_ui.showProgress(m_done, m_total);
        m_ui.showBytes(m_bytesDone, m_bytesTotal);
        m_ui.processEvents();
    }

    // Goes through the plan in its order: makes its folders where missing, meets the failures
    // its walk met as the walk would have, and places each file that now picks by place. A
    // folder that cannot be made keeps what lies in it from arriving, here and in placeRest().
    template <typename Pick, typename Place>
    void placeInOrder(const MergePlan& plan, Pick now, Place place)
    {
        const QList<MergePlan::Entry>& entries = plan.entries();
        m_blocked.assign(std::size_t(entries.size()), false);
        for (qsizetype i = 0; i < entries.size(); ++i) {
            const MergePlan::Entry& entry = entries[i];
            if (blocked(entry)) {
                m_blocked[std::size_t(i)] = true;
                continue;
            }
            using Kind = MergePlan::Entry::Kind;
            if (entry.kind == Kind::Folder)
                m_blocked[std::size_t(i)] = !enterFolder(entry.destination);
            else if (entry.kind == Kind::Failure)
                attempt(entry.source, [&] { throw *entry.failure; });
            else if (entry.kind == Kind::File && now(entry))
                placeFile(entry.destination, entry.size, [&] { place(entry); });
        }
    }
    // The files that placeInOrder() left and later picks, placed by place.
    template <typename Pick, typename Place>
    void placeRest(const MergePlan& plan, Pick later, Place place)
    {
        for (const MergePlan::Entry& entry : plan.entries()) {
            if (entry.kind == MergePlan::Entry::Kind::File && !blocked(entry) && later(entry))
                placeFile(entry.destination, entry.size, [&] { place(entry); });
        }
    }

private:
    void refuseExisting(const HostPath& destination) const;
    bool blocked(const MergePlan::Entry& entry) const
    {
        return entry.parent >= 0 && m_blocked[std::size_t(entry.parent)];
    }

    UserInterface& m_ui;
    FileChanges& m_files;
    WorkReport* m_report;
    const QString m_step;
    qint64 m_total = 0;
    const bool m_overwrite;
    bool m_showsProgress = false;
    qint64 m_placed = 0;
    qint64 m_done = 0;
    qint64 m_bytesTotal = 0;
    qint64 m_bytesDone = 0;
    std::vector<bool> m_blocked;
};

} // namespace veltrane
