#include "BatchFileRunner.h"

#include "batch/BatchInterpreter.h"
#include "journal/FileChanges.h"
#include "platform/ProgramLauncher.h"
#include "platform/Wine.h"

#include <QCoreApplication>

using namespace Qt::StringLiterals;

namespace veltrane {

BatchFileRunner::BatchFileRunner(UserInterface& ui, FileChanges& files,
                                 std::vector<HostPath> allowedRoots)
    : m_ui(ui), m_files(files), m_allowedRoots(std::move(allowedRoots))
{
}

ProcessResult BatchFileRunner::run(const HostPath& batchFile, const HostPath& workingFolder,
                                   const RunOptions& options, Author author)
{
#ifdef Q_OS_WIN
    Q_UNUSED(author);
    return ProgramLauncher::run(Program{HostPath::fromHost(u"cmd.exe"_s), false},
                                {ProgramArgument::plain(u"/c"_s), ProgramArgument::file(batchFile)},
                                workingFolder, options, m_ui);
#else
    BatchInterpreter interpreter(m_ui, m_files, m_allowedRoots);
    if (author == Author::Package && Wine::isInstalled()) {
        // The full path: "cmd /c del_blueprints.bat" would run "del _blueprints.bat".
        const std::optional<LaunchCommand> command = ProgramLauncher::command(
            Program{HostPath::fromHost(u"cmd"_s), true},
            {ProgramArgument::plain(u"/c"_s), ProgramArgument::file(batchFile)}, workingFolder);
        if (command) {
            m_files.noteOutsideChange(u"wine "_s + batchFile.fileName());
            return ProgramLauncher::run(*command, options, m_ui);
        }
        // Wine's cmd must find the file and start in the folder it is meant to run in.
        const QString unreached =
            (Wine::toWindowsPath(batchFile) ? workingFolder : batchFile.parent()).display();
        interpreter.explainRefusal(
            u"No drive of the Wine prefix holds "_s + unreached + u", so"_s,
            u"Give the Wine prefix a drive that holds "_s + unreached +
                u" (winecfg, Drives) to have files like this one run by Wine's command "
                u"interpreter."_s);
    }
    return runInterpreter(interpreter, batchFile, workingFolder, options);
#endif
}

ProcessResult BatchFileRunner::runInterpreter(BatchInterpreter& interpreter,
                                              const HostPath& batchFile,
                                              const HostPath& workingFolder,
                                              const RunOptions& options)
{
    if (!interpreter.runFile(batchFile.toString(), workingFolder.toString()))
        return {};
    ProcessRunner::waitStep(options, m_ui);
    ProcessResult result;
    result.processId = QCoreApplication::applicationPid();
    result.exitedNormally = true;
    result.exitCode = interpreter.failures().isEmpty() ? 0 : 1;
    return result;
}

} // namespace veltrane
