#pragma once

#include "batch/BatchInterpreter.h"
#include "platform/ProcessRunner.h"
#include "platform/ProgramLauncher.h"
#include "util/HostPath.h"

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace veltrane {

class FileChanges;
class TreeListing;
class UserInterface;

// Runs a batch file: with cmd on Windows; elsewhere with our own interpreter of the common
// commands whenever it can run every line, confined to the allowed folders and journaled
// through the install's file changes. A package's file with a line ours cannot run goes to
// Wine's cmd only after the user agreed, where Wine is installed and a drive of its prefix
// holds the file's folder and the working folder; what it made in the game folder is
// journaled afterwards, and what it changed there is named. A line that would leave the
// allowed folders keeps the whole file from running, also with Wine at hand.
class BatchFileRunner {
public:
    enum class Author {
        Package, // may hold anything: Wine's cmd for what ours cannot run, after a question
        Program, // written by us for our interpreter: no program to start, and quick
    };

    // How a run went.
    struct Run {
        enum class By { Nobody, Ours, Wine, Windows };
        By by = By::Nobody;
        // How it ended and its exit status, recorded rather than judged.
        ProcessResult process;
        // What our interpreter could not do, each as "Line N: text" and, indented on a second
        // line, why.
        QStringList failures;
        // Why it was not run, for the last message; the user was told already where it
        // needed words of its own.
        QString whyNotRun;

        bool ran() const { return by != By::Nobody; }
    };

    // files: the install's, through which our interpreter makes every change. allowedRoots:
    // the game folder first, whose changes under Wine are listed, then the others the file
    // may change.
    BatchFileRunner(UserInterface& ui, FileChanges& files, std::vector<HostPath> allowedRoots);

    Run run(const HostPath& batchFile, const HostPath& workingFolder, const RunOptions& options,
            Author author = Author::Package);

    // Who runs a file, decided from the file read and checked before any line of it runs.
    struct Choice {
        // Wine only after the user agreed; Nobody when it is not run at all.
        Run::By by = Run::By::Nobody;
        // How Wine's cmd would be started.
        std::optional<LaunchCommand> wine;
        // "Veltrane cannot run line N of it itself" when ours cannot run every line.
        QString unsupported;
        // Why it is not run, when nobody runs it.
        QString whyNot;
        // The folder no drive of the Wine prefix holds, when that keeps Wine's cmd away.
        QString unreached;
    };
    static Choice choose(const BatchInterpreter::Script& script, const HostPath& batchFile,
                         const HostPath& workingFolder, Author author = Author::Package);

private:
    Run runOurs(BatchInterpreter& interpreter, const BatchInterpreter::Script& script,
                const RunOptions& options);
    Run runInWine(const LaunchCommand& command, const HostPath& batchFile,
                  const RunOptions& options);
    bool wineAgreed(const HostPath& batchFile, const QStringList& lines);
    void recordWineChanges(const TreeListing& before);

    UserInterface& m_ui;
    FileChanges& m_files;
    std::vector<HostPath> m_allowedRoots;
};

} // namespace veltrane
