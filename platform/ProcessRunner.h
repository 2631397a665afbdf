#pragma once

#include "util/HostPath.h"

#include <QStringList>

namespace veltrane {

class InstallLog;
class UserInterface;

enum class WindowStyle { Hidden, NormalFocus };

struct RunOptions {
    // Let the window process its pending events between the waiting steps.
    bool pumpEvents = true;
    WindowStyle window = WindowStyle::Hidden;
    // After this many milliseconds the program is ended and counts as failed; 0 for never.
    qint64 timeLimit = 0;
    // A request to close the window, or to cancel the work, ends the program, which then
    // counts as failed.
    bool endOnClose = false;
    // Keep what the program writes to its error output, for the message of a failure.
    bool keepErrorOutput = false;
    // Write what the program writes to its output and error output to the log, line by line,
    // instead of passing it to this program's console; the program reads no input.
    bool logOutput = false;
    // NAME=value settings for the program, over this process's own environment.
    QStringList environment = {};
    // The install's log, which names every program run and how it ended; none outside one.
    InstallLog* log = nullptr;
};

struct ProcessResult {
    qint64 processId = 0; // 0 when the program could not be started
    bool exitedNormally = false;
    int exitCode = -1;
    bool timedOut = false;
    bool endedByClose = false;
    QString errorOutput; // its last lines, when kept

    bool started() const { return processId != 0; }
    // It ran to its end by itself, whatever its exit status.
    bool ended() const { return started() && exitedNormally && !timedOut && !endedByClose; }
    bool succeeded() const
    {
        return started() && exitedNormally && exitCode == 0 && !timedOut && !endedByClose;
    }
    // Why it did not succeed, for the user.
    QString failure() const;
};

// Starts a program and waits for it in steps of 50 ms, letting the window breathe between
// steps, so that the window stays responsive and every run takes at least one step.
namespace ProcessRunner {

constexpr int kStepMilliseconds = 50;

ProcessResult run(const HostPath& program, const QStringList& arguments,
                  const HostPath& workingFolder, const RunOptions& options, UserInterface& ui);

// One step of waiting, for work that is done without a process.
void waitStep(const RunOptions& options, UserInterface& ui);

} // namespace ProcessRunner

} // namespace veltrane
