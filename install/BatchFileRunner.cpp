#include "BatchFileRunner.h"

#include "batch/BatchInterpreter.h"
#include "platform/Wine.h"
#include "util/ChangeJournal.h"

#include <QCoreApplication>

using namespace Qt::StringLiterals;

namespace veltrane {

BatchFileRunner::BatchFileRunner(UserInterface& ui, std::vector<HostPath> allowedRoots)
    : m_ui(ui), m_allowedRoots(std::move(allowedRoots))
{
}

ProcessResult BatchFileRunner::run(const HostPath& batchFile, const QString& workingFolder,
                                   const RunOptions& options)
{
    const HostPath folder = HostPath::fromProgramPath(workingFolder);
#ifdef Q_OS_WIN
    return ProcessRunner::run(HostPath::fromHost(u"cmd.exe"_s), {u"/c"_s, batchFile.toString()},
                              folder, options, m_ui);
#else
    if (const HostPath wine = Wine::program(); !wine.isEmpty()) {
        if (ChangeJournal* journal = ChangeJournal::current())
            journal->note(u"wine "_s + batchFile.fileName());
        // The full path: "cmd /c del_blueprints.bat" would run "del _blueprints.bat".
        return ProcessRunner::run(wine, {u"cmd"_s, u"/c"_s, Wine::toWindowsPath(batchFile)}, folder,
                                  options, m_ui);
    }
    BatchInterpreter interpreter(m_ui, m_allowedRoots);
    if (!interpreter.runFile(batchFile.toString(), workingFolder))
        return {};
    ProcessRunner::waitStep(options, m_ui);
    ProcessResult result;
    result.processId = QCoreApplication::applicationPid();
    result.exitedNormally = true;
    result.exitCode = interpreter.failures().isEmpty() ? 0 : 1;
    return result;
#endif
}

} // namespace veltrane
