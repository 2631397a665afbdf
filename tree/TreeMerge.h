#pragma once

#include "util/FileError.h"
#include "util/HostPath.h"
#include "util/UserInterface.h"
#include "util/WorkCancelled.h"
#include "util/WorkReport.h"

#include <QString>
#include <filesystem>

namespace veltrane {

class FileChanges;

// What the folder copy and the folder move share while they merge a tree into the game: the
// check of the source folder, the going on after a failure, the folders made on the way and
// the count and progress of the files placed.
class TreeMerge {
public:
    TreeMerge(UserInterface& ui, FileChanges& files, HostPath root, bool overwrite,
              WorkReport* report, QString step);
    ~TreeMerge();
    TreeMerge(const TreeMerge&) = delete;
    TreeMerge& operator=(const TreeMerge&) = delete;

    // The real folder of source; throws FileError where it is none, or is a link that leads
    // out of its own folder (it would bring in what it leads to, even the game itself).
    static std::filesystem::path checkedSource(const HostPath& source);

    qint64 total() const { return m_total; }
    qint64 placed() const { return m_placed; }

    // Shows the progress bar from nothing; the bar goes with this object.
    void startProgress(qint64 total);

protected:
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

    // Calls visit with each entry of the folder as its listing gives it; a folder that cannot
    // be listed, or read to its end, is a failure of its own.
    template <typename Visit> void forEachListed(const HostPath& folder, Visit visit)
    {
        std::error_code error;
        std::filesystem::directory_iterator it(folder.fs(), error);
        if (error && !attempt(folder, [&] { fail(error, folder); }))
            return;
        for (std::filesystem::directory_iterator end; it != end; it.increment(error)) {
            if (error && !attempt(folder, [&] { fail(error, folder); }))
                return;
            visit(*it);
        }
    }

    // The folder an entry goes to, made where it is missing; false when it cannot be (the
    // failure is reported), and then nothing of that folder can arrive.
    bool enterFolder(const HostPath& destination);

    // Places one file by work, after refusing a file that is there unless overwriting; counts
    // it and lets the window show the progress and breathe.
    template <typename Work> void placeFile(const HostPath& destination, Work work)
    {
        if (m_ui.cancelRequested())
            throw WorkCancelled();
        if (attempt(destination, [&] {
                refuseExisting(destination);
                work();
            }))
            ++m_placed;
        ++m_done;
        m_ui.showProgress(m_done, m_total);
        m_ui.processEvents();
    }

    UserInterface& m_ui;
    FileChanges& m_files;
    const HostPath m_root;
    WorkReport* m_report;
    const QString m_step;
    qint64 m_total = 0;

private:
    void refuseExisting(const HostPath& destination) const;

    const bool m_overwrite;
    bool m_showsProgress = false;
    qint64 m_placed = 0;
    qint64 m_done = 0;
};

} // namespace veltrane
