#include "ProcessRunner.h"

#include "UserInterface.h"

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

qint64 ProcessRunner::run(const QString& program, const QStringList& arguments,
                          const QString& workingFolder, int windowStyle, UserInterface* pump)
{
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    process.setWorkingDirectory(workingFolder);
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.setInputChannelMode(QProcess::ForwardedInputChannel);
#ifdef Q_OS_WIN
    process.setCreateProcessArgumentsModifier(
        [windowStyle](QProcess::CreateProcessArguments* args) {
            args->startupInfo->dwFlags |= STARTF_USESHOWWINDOW;
            args->startupInfo->wShowWindow = windowStyle == Hidden ? SW_HIDE : SW_SHOWNORMAL;
            if (windowStyle != Hidden)
                args->flags |= CREATE_NEW_CONSOLE;
        });
#else
    Q_UNUSED(windowStyle);
#endif
    process.start();
    if (!process.waitForStarted(-1))
        return 0;
    const qint64 id = process.processId();

    for (;;) {
        const QDeadlineTimer step(kStepMilliseconds);
        bool finished = process.state() == QProcess::NotRunning;
        if (!finished)
            finished = process.waitForFinished(int(step.remainingTime())) ||
                       process.state() == QProcess::NotRunning;
        // A step lasts its full time even when the program ends early.
        sleepUntil(step);
        if (pump)
            pump->processEvents();
        if (finished)
            break;
    }
    return id;
}

void ProcessRunner::waitStep(UserInterface* pump)
{
    sleepUntil(QDeadlineTimer(kStepMilliseconds));
    if (pump)
        pump->processEvents();
}

} // namespace veltrane
