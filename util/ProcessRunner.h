#pragma once

#include <QString>
#include <QStringList>

namespace veltrane {

class UserInterface;

// Starts a program and waits for it in steps of 50 ms, letting the window breathe between
// steps, so that the window stays responsive and every run takes at least one step.
class ProcessRunner {
public:
    static constexpr int kStepMilliseconds = 50;
    enum WindowStyle { Hidden = 0, NormalFocus = 1 };

    // program and workingFolder are host paths. Returns the process identifier, or 0 when
    // the program could not be started. pump may be null: then nothing is processed.
    static qint64 run(const QString& program, const QStringList& arguments,
                      const QString& workingFolder, int windowStyle, UserInterface* pump);

    // One step of waiting, for work that is done without a process.
    static void waitStep(UserInterface* pump);
};

} // namespace veltrane
