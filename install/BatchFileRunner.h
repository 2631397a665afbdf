#pragma once

#include "platform/ProcessRunner.h"
#include "util/HostPath.h"

#include <QString>
#include <vector>

namespace veltrane {

class BatchInterpreter;
class FileChanges;
class UserInterface;

// Runs a batch file: with cmd on Windows; elsewhere a package's file with Wine's cmd where
// Wine is installed and a drive of its prefix holds the file's folder and the working
// folder, and otherwise, like the program's own files, with our own interpreter of the
// common commands, which may change nothing outside the allowed folders.
class BatchFileRunner {
public:
    enum class Author {
        Package, // may hold anything: Wine's cmd where it can reach the file
        Program, // written by us for our interpreter: no program to start, and quick
    };

    // files: the install's, through which our interpreter makes every change.
    BatchFileRunner(UserInterface& ui, FileChanges& files, std::vector<HostPath> allowedRoots);

    // Our interpreter's run counts as a process that ended with 1 when some of its commands
    // failed.
    ProcessResult run(const HostPath& batchFile, const HostPath& workingFolder,
                      const RunOptions& options, Author author = Author::Package);

private:
    ProcessResult runInterpreter(BatchInterpreter& interpreter, const HostPath& batchFile,
                                 const HostPath& workingFolder, const RunOptions& options);

    UserInterface& m_ui;
    FileChanges& m_files;
    std::vector<HostPath> m_allowedRoots;
};

} // namespace veltrane
