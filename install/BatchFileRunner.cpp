#include "BatchFileRunner.h"

#include "batch/BatchInterpreter.h"
#include "journal/ChangeJournal.h"
#include "platform/Wine.h"

#include <QCoreApplication>

using namespace Qt::StringLiterals;

namespace veltrane {

BatchFileRunner::BatchFileRunner(UserInterface& ui, std::vector<HostPath> allowedRoots)
    : m_ui(ui), m_allowedRoots(std::move(allowedRoots))
{
}

ProcessResult BatchFileRunner::run(const HostPath& batchFile, const QString& workingFolder,
                                   const RunOptions& options, Author author)
{
    const HostPath folder = HostPath::fromProgramPath(workingFolder);
#ifdef Q_OS_WIN
    Q_UNUSED(author);
    return ProcessRunner::run(HostPath::fromHost(u"cmd.exe"_s), {u"/c"_s, batchFile.toString()},
                              folder, options, m_ui);
#else
    BatchInterpreter interpreter(m_ui, m_allowedRoots);
    if (const HostPath wine = Wine::program(); author == Author::Package && !wine.isEmpty()) {
        const std::optional<QString> file = Wine::toWindowsPath(batchFile);
        // Wine's cmd must find the file and start in the folder it is meant to run in.
        if (file && Wine::toWindowsPath(folder)) {
            if (ChangeJournal* journal = ChangeJournal::current())
                journal->note(u"wine "_s + batchFile.fileName());
            // The full path: "cmd /c del_blueprints.bat" would run "del _blueprints.bat".
            return ProcessRunner::run(wine, {u"cmd"_s, u"/c"_s, *file}, folder, options, m_ui);
        }
        const QString unreached = (file ? folder : batchFile.parent()).display();
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
                                              const QString& workingFolder,
                                              const RunOptions& options)
{
    if (!interpreter.runFile(batchFile.toString(), workingFolder))
        return {};
    ProcessRunner::waitStep(options, m_ui);
    ProcessResult result;
    result.processId = QCoreApplication::applicationPid();
    result.exitedNormally = true;
    result.exitCode = interpreter.failures().isEmpty() ? 0 : 1;
    return result;
}

} // namespace veltrane
