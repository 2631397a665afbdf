#pragma once

#include "ChangeJournal.h"
#include "FileChanges.h"
#include "WriteBoundary.h"

#include <memory>
#include <vector>

namespace veltrane {

class InstallLog;

// One install or undo as it changes files: the folders it may change, the journal that keeps
// each change under the game folder (an install keeps one, an undo does not) and the log that
// names them. Made where the install or undo starts, and handed explicitly, as files(), to
// whatever changes files on its behalf.
class InstallTransaction {
public:
    // guarded: folders inside the roots that take no change (see WriteBoundary).
    InstallTransaction(InstallLog& log, const std::vector<HostPath>& writableRoots,
                       const std::vector<HostPath>& guarded = {});
    ~InstallTransaction();
    InstallTransaction(const InstallTransaction&) = delete;
    InstallTransaction& operator=(const InstallTransaction&) = delete;

    // From now on every change under gameRoot is kept in a new journal in folder. Throws
    // FileError (kind Journal) when it cannot be made.
    void keepJournal(const HostPath& gameRoot, const HostPath& folder,
                     const ChangeJournal::Header& header);
    // Closes the journal, with what was still waiting written; changes after it are not kept.
    void closeJournal();

    FileChanges& files() { return m_files; }
    InstallLog& log() { return m_log; }
    WriteBoundary& boundary() { return m_boundary; }
    // The journal while one is kept.
    ChangeJournal* journal() { return m_journal.get(); }

private:
    InstallLog& m_log;
    WriteBoundary m_boundary;
    std::unique_ptr<ChangeJournal> m_journal;
    FileChanges m_files;
};

} // namespace veltrane
