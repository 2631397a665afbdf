#pragma once

#include "CommandLine.h"
#include "util/Expected.h"
#include "util/HostPath.h"

#include <QString>
#include <cstdio>
#include <optional>
#include <utility>

namespace veltrane {

class UserInterface;

// An install, an undo, the list of installs or one install taken back, as the command line
// asks for it, with the user interface given (the console's without a window): the package
// opened, the game folder found, the work done, and the exit status that tells how it went.
class WindowlessRun {
public:
    // programFolder: the folder the program lies in, the package folder when none is given.
    // The list goes to out.
    WindowlessRun(const CommandLine& line, QString programFolder, UserInterface& ui,
                  std::FILE* out = stdout);

    ExitStatus run();

private:
    ExitStatus install();
    ExitStatus undo();
    ExitStatus list();
    ExitStatus uninstall();
    // The game folder as given or found, and mapped; nothing after telling the user there is
    // none.
    std::optional<std::pair<QString, HostPath>> gameFolder();
    ExitStatus refuse(const QString& why);
    Expected<void> checkedLogCopy(const HostPath& game, const HostPath& package) const;

    const CommandLine& m_line;
    QString m_programFolder;
    UserInterface& m_ui;
    std::FILE* m_out;
};

} // namespace veltrane
