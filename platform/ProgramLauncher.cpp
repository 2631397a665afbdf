#include "ProgramLauncher.h"

#include "Wine.h"

namespace veltrane {

ProcessResult ProgramLauncher::run(const Program& program, const QList<ProgramArgument>& arguments,
                                   const HostPath& workingFolder, const RunOptions& options,
                                   UserInterface& ui)
{
    QStringList words;
    for (const ProgramArgument& argument : arguments) {
        if (argument.path.isEmpty()) {
            words.append(argument.text);
        } else if (program.needsWine) {
            // A path that no drive of the prefix holds cannot be named to the program.
            const std::optional<QString> windowsPath = Wine::toWindowsPath(argument.path);
            if (!windowsPath)
                return {};
            words.append(argument.text + *windowsPath);
        } else {
            words.append(argument.text + argument.path.toString());
        }
    }
    if (!program.needsWine)
        return ProcessRunner::run(program.path, words, workingFolder, options, ui);
    const HostPath wine = Wine::program();
    if (wine.isEmpty())
        return {};
    words.prepend(program.path.toString());
    return ProcessRunner::run(wine, words, workingFolder, options, ui);
}

} // namespace veltrane
