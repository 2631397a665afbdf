#include "ProcessRunner.h"

#include "util/UserInterface.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QThread>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace veltrane {

namespace {

void sleepUntil(const QDeadlineTimer& deadline)
{
    const qint64 rest = deadline.remainingTime();
    if (rest > 0)
        QThread::msleep(static_cast<unsigned long>(rest));
}

} // namespace

ProcessResult ProcessRunner::run(const HostPath& program, const QStringList& arguments,
                                 const HostPath& workingFolder, const RunOptions& options,
                                 UserInterface& ui)
{
    QProcess process;
    process.setProgram(program.toString());
    process.setArguments(arguments);
    process.setWorkingDirectory(workingFolder.toString());
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.setInputChannelMode(QProcess::ForwardedInputChannel);
#ifdef Q_OS_WIN
    const bool hidden = options.window == WindowStyle::Hidden;
    process.setCreateProcessArgumentsModifier([hidden](QProcess::CreateProcessArguments* args) {
        args->startupInfo->dwFlags |= STARTF_USESHOWWINDOW;
        args->startupInfo->wShowWindow = hidden ? SW_HIDE : SW_SHOWNORMAL;
        if (!hidden)
            args->flags |= CREATE_NEW_CONSOLE;
    });
#endif
    process.start();
    ProcessResult result;
    if (!process.waitForStarted(-1))
        return result;
    result.processId = process.processId();

    for (;;) {
        const QDeadlineTimer step(kStepMilliseconds);
        bool finished = process.state() == QProcess::NotRunning;
        if (!finished)
            finished = process.waitForFinished(int(step.remainingTime())) ||
                       process.state() == QProcess::NotRunning;
        // A step lasts its full time even when the program ends early.
        sleepUntil(step);
        if (options.pumpEvents)
            ui.processEvents();
        if (finished)
            break;
    }
    result.exitedNormally = process.exitStatus() == QProcess::NormalExit;
    result.exitCode = process.exitCode();
    return result;
}

void ProcessRunner::waitStep(const RunOptions& options, UserInterface& ui)
{
    sleepUntil(QDeadlineTimer(kStepMilliseconds));
    if (options.pumpEvents)
        ui.processEvents();
}

} // namespace veltrane
