#include "ProcessRunner.h"

#include "util/InstallLog.h"
#include "util/UserInterface.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>
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

// What the program writes, as the options want it: passed to the console, kept for the
// message of a failure, or written to the log a whole line at a time.
class ProgramOutput {
public:
    ProgramOutput(QProcess& process, const RunOptions& options)
        : m_process(process), m_options(options)
    {
        if (options.logOutput)
            process.setProcessChannelMode(QProcess::SeparateChannels);
        else
            process.setProcessChannelMode(options.keepErrorOutput ? QProcess::ForwardedOutputChannel
                                                                  : QProcess::ForwardedChannels);
        if (!options.logOutput)
            process.setInputChannelMode(QProcess::ForwardedInputChannel);
    }

    // What arrived since the last call; at the end, with the last lines that lack a line end.
    void take(ProcessResult& result, bool atEnd)
    {
        if (m_options.logOutput)
            toLog(m_output, m_process.readAllStandardOutput(), u"output"_s, atEnd);
        if (!m_options.keepErrorOutput && !m_options.logOutput)
            return;
        const QByteArray errors = m_process.readAllStandardError();
        if (m_options.keepErrorOutput)
            keepTail(result.errorOutput, errors);
        if (m_options.logOutput)
            toLog(m_errors, errors, u"errors"_s, atEnd);
    }

private:
    void toLog(QByteArray& pending, const QByteArray& more, const QString& topic, bool atEnd)
    {
        pending += more;
        qsizetype start = 0;
        for (qsizetype end = pending.indexOf('\n'); end >= 0; end = pending.indexOf('\n', start)) {
            write(pending.mid(start, end - start), topic);
            start = end + 1;
        }
        pending.remove(0, start);
        if (atEnd && !pending.isEmpty()) {
            write(pending, topic);
            pending.clear();
        }
    }

    void write(QByteArray line, const QString& topic) const
    {
        if (line.endsWith('\r'))
            line.chop(1);
        if (m_options.log)
            m_options.log->write(topic, QString::fromLocal8Bit(line));
    }

    QProcess& m_process;
    const RunOptions& m_options;
    QByteArray m_output;
    QByteArray m_errors;
};

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
    ProgramOutput output(process, options);
    if (!options.environment.isEmpty()) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const QString& setting : options.environment)
            environment.insert(setting.section(u'=', 0, 0), setting.section(u'=', 1));
        process.setProcessEnvironment(environment);
    }
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
    // A question for the console (PAUSE) meets the end of the input rather than waiting
    // for an answer that nobody is shown.
    if (options.logOutput)
        process.closeWriteChannel();
    result.processId = process.processId();
    QElapsedTimer running;
    running.start();

    for (;;) {
        const QDeadlineTimer step(kStepMilliseconds);
        bool finished = process.state() == QProcess::NotRunning;
        if (!finished)
            finished = process.waitForFinished(int(step.remainingTime())) ||
                       process.state() == QProcess::NotRunning;
        output.take(result, false);
        // A step lasts its full time even when the program ends early.
        sleepUntil(step);
        if (options.pumpEvents)
            ui.processEvents();
        if (finished)
            break;
        result.timedOut = options.timeLimit > 0 && running.elapsed() > options.timeLimit;
        result.endedByClose = options.endOnClose && (ui.closeRequested() || ui.cancelRequested());
        if (result.timedOut || result.endedByClose) {
            process.kill();
            process.waitForFinished(-1);
            break;
        }
    }
    output.take(result, true);
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
