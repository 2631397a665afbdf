#include "ProcessRunner.h"

#include "util/InstallLog.h"
#include "util/UserInterface.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QProcess>
#include <QThread>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace veltrane {

namespace {

using namespace Qt::StringLiterals;

// What is kept of a program's error output: enough for the reason, not a flood.
constexpr qsizetype kKeptErrorOutput = 2000;

void sleepUntil(const QDeadlineTimer& deadline)
{
    const qint64 rest = deadline.remainingTime();
    if (rest > 0)
        QThread::msleep(static_cast<unsigned long>(rest));
}

void keepTail(QString& kept, const QByteArray& more)
{
    kept += QString::fromLocal8Bit(more);
    if (kept.size() > kKeptErrorOutput)
        kept = kept.right(kKeptErrorOutput);
}

} // namespace

QString ProcessResult::failure() const
{
    if (!started())
        return u"the program could not be started"_s;
    QString reason;
    if (timedOut)
        reason = u"it took too long and was ended"_s;
    else if (endedByClose)
        reason = u"it was ended when the window was closed"_s;
    else if (!exitedNormally)
        reason = u"it crashed"_s;
    else if (exitCode != 0)
        reason = u"it ended with exit code "_s + QString::number(exitCode);
    const QString output = errorOutput.trimmed();
    if (!output.isEmpty())
        reason += (reason.isEmpty() ? QString() : u": "_s) + output;
    return reason;
}

ProcessResult ProcessRunner::run(const HostPath& program, const QStringList& arguments,
                                 const HostPath& workingFolder, const RunOptions& options,
                                 UserInterface& ui)
{
    QProcess process;
    process.setProgram(program.toString());
    process.setArguments(arguments);
    process.setWorkingDirectory(workingFolder.toString());
    process.setProcessChannelMode(options.keepErrorOutput ? QProcess::ForwardedOutputChannel
                                                          : QProcess::ForwardedChannels);
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
    const QString commandLine = (QStringList{program.display()} + arguments).join(u' ');
    const auto note = [&options](const QString& text) {
        if (options.log)
            options.log->write(u"program"_s, text);
    };
    note(u"started: "_s + commandLine);
    process.start();
    ProcessResult result;
    if (!process.waitForStarted(-1)) {
        note(result.failure() + u": "_s + commandLine);
        return result;
    }
    result.processId = process.processId();
    QElapsedTimer running;
    running.start();

    for (;;) {
        const QDeadlineTimer step(kStepMilliseconds);
        bool finished = process.state() == QProcess::NotRunning;
        if (!finished)
            finished = process.waitForFinished(int(step.remainingTime())) ||
                       process.state() == QProcess::NotRunning;
        if (options.keepErrorOutput)
            keepTail(result.errorOutput, process.readAllStandardError());
        // A step lasts its full time even when the program ends early.
        sleepUntil(step);
        if (options.pumpEvents)
            ui.processEvents();
        if (finished)
            break;
        result.timedOut = options.timeLimit > 0 && running.elapsed() > options.timeLimit;
        result.endedByClose = options.endOnClose && ui.closeRequested();
        if (result.timedOut || result.endedByClose) {
            process.kill();
            process.waitForFinished(-1);
            break;
        }
    }
    if (options.keepErrorOutput)
        keepTail(result.errorOutput, process.readAllStandardError());
    result.exitedNormally = process.exitStatus() == QProcess::NormalExit;
    result.exitCode = process.exitCode();
    note((result.succeeded() ? u"ended well"_s : result.failure()) + u" (exit status "_s +
         QString::number(result.exitCode) + u"): "_s + commandLine);
    return result;
}

void ProcessRunner::waitStep(const RunOptions& options, UserInterface& ui)
{
    sleepUntil(QDeadlineTimer(kStepMilliseconds));
    if (options.pumpEvents)
        ui.processEvents();
}

} // namespace veltrane
