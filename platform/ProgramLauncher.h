#pragma once

#include "ProcessRunner.h"
#include "ProgramSearch.h"

#include <QList>
#include <QString>
#include <optional>

namespace veltrane {

// One argument of a program: plain text, or text followed by a path, which reaches the
// program in the form it understands (a host path, or a Windows path under Wine).
struct ProgramArgument {
    QString text;
    HostPath path; // empty for plain text

    static ProgramArgument plain(QString text) { return {std::move(text), {}}; }
    static ProgramArgument file(HostPath path, QString prefix = {})
    {
        return {std::move(prefix), std::move(path)};
    }
};

// What is started: the program of this host (wine, for a Windows program) with its words.
struct LaunchCommand {
    HostPath program;
    QStringList arguments;
    HostPath workingFolder;
    QStringList environment = {}; // NAME=value settings for the program
};

// Runs a program that ProgramSearch found: directly, or under Wine.
namespace ProgramLauncher {

// The command that runs program with arguments in workingFolder, each path worked out once
// in the form the program sees it. Nothing under Wine when Wine is not installed or when no
// drive of the prefix holds a path argument or the working folder: the program could not
// reach it. Wine's diagnostics are off unless the user set WINEDEBUG.
std::optional<LaunchCommand> command(const Program& program,
                                     const QList<ProgramArgument>& arguments,
                                     const HostPath& workingFolder);

ProcessResult run(const LaunchCommand& command, const RunOptions& options, UserInterface& ui);
// Both in one; a command that cannot be had is a program that was not started.
ProcessResult run(const Program& program, const QList<ProgramArgument>& arguments,
                  const HostPath& workingFolder, const RunOptions& options, UserInterface& ui);

} // namespace ProgramLauncher

} // namespace veltrane
