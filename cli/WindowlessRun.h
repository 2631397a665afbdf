#pragma once

#include "CommandLine.h"
#include "util/Expected.h"
#include "util/HostPath.h"

#include <QString>
#include <optional>
#include <utility>

namespace veltrane {

class ConsoleUserInterface;
class UserInterface;

// An install or an undo as the command line asks for it, with the user interface given (the
// console's without a window): the package opened, the game folder found, the work done, and
// the exit status that tells how it went.
class WindowlessRun {
public:
    // programFolder: the folder the program lies in, the package folder when none is given.
    // console: where the run names the package, the game and its log, when it prints.
    WindowlessRun(const CommandLine& line, QString programFolder, UserInterface& ui,
                  ConsoleUserInterface* console = nullptr);

    ExitStatus run();

private:
    ExitStatus install();
    ExitStatus undo();
    // The game folder as given or found, and mapped; nothing after telling the user there is
    // none.
    std::optional<std::pair<QString, HostPath>> gameFolder();
    ExitStatus refuse(const QString& why);
    Expected<void> checkedLogCopy(const HostPath& game, const HostPath& package) const;

    void printLine(const QString& kind, const QString& text) const;

    const CommandLine& m_line;
    QString m_programFolder;
    UserInterface& m_ui;
    ConsoleUserInterface* m_console;
};

} // namespace veltrane
