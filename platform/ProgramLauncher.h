#pragma once

#include "ProcessRunner.h"
#include "ProgramSearch.h"

#include <QList>
#include <QString>

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

// Runs a program that ProgramSearch found: directly, or under Wine.
namespace ProgramLauncher {

// Under Wine, a path argument that no drive of the prefix holds keeps the program from
// being started.
ProcessResult run(const Program& program, const QList<ProgramArgument>& arguments,
                  const HostPath& workingFolder, const RunOptions& options, UserInterface& ui);

} // namespace ProgramLauncher

} // namespace veltrane
