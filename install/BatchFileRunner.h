#pragma once

#include "platform/ProcessRunner.h"
#include "util/HostPath.h"

#include <QString>
#include <vector>

namespace veltrane {

class UserInterface;

// Runs a batch file: with cmd on Windows, with Wine's cmd where Wine is installed, and
// otherwise with our own interpreter of the common commands, which may change nothing
// outside the allowed folders.
class BatchFileRunner {
public:
    BatchFileRunner(UserInterface& ui, std::vector<HostPath> allowedRoots);

    // workingFolder in the program's form. Our interpreter's run counts as a process that
    // ended with 1 when some of its commands failed.
    ProcessResult run(const HostPath& batchFile, const QString& workingFolder,
                      const RunOptions& options);

private:
    UserInterface& m_ui;
    std::vector<HostPath> m_allowedRoots;
};

} // namespace veltrane
