#include "ProgramLauncher.h"

#include "Wine.h"

namespace veltrane {

std::optional<LaunchCommand> ProgramLauncher::command(const Program& program,
                                                      const QList<ProgramArgument>& arguments,
                                                      const HostPath& workingFolder)
{
    LaunchCommand command{program.path, {}, workingFolder};
    if (program.needsWine) {
        command.program = Wine::program();
        // A Windows program started in a folder no drive holds would start elsewhere.
        if (command.program.isEmpty() || !Wine::toWindowsPath(workingFolder))
            return std::nullopt;
        command.arguments.append(program.path.toString());
        if (!qEnvironmentVariableIsSet("WINEDEBUG"))
            command.environment.append(QStringLiteral("WINEDEBUG=-all"));
    }
    for (const ProgramArgument& argument : arguments) {
        if (argument.path.isEmpty()) {
            command.arguments.append(argument.text);
        } else if (program.needsWine) {
            const std::optional<QString> windowsPath = Wine::toWindowsPath(argument.path);
            if (!windowsPath)
                return std::nullopt;
            command.arguments.append(argument.text + *windowsPath);
        } else {
            command.arguments.append(argument.text + argument.path.toString());
        }
    }
    return command;
}

ProcessResult ProgramLauncher::run(const LaunchCommand& command, const RunOptions& options,
                                   UserInterface& ui)
{
    RunOptions withEnvironment = options;
    withEnvironment.environment += command.environment;
    return ProcessRunner::run(command.program, command.arguments, command.workingFolder,
                              withEnvironment, ui);
}

ProcessResult ProgramLauncher::run(const Program& program, const QList<ProgramArgument>& arguments,
                                   const HostPath& workingFolder, const RunOptions& options,
                                   UserInterface& ui)
{
    const std::optional<LaunchCommand> prepared = command(program, arguments, workingFolder);
    return prepared ? run(*prepared, options, ui) : ProcessResult();
}

} // namespace veltrane
