#pragma once

#include "CommandLine.h"
#include "journal/UndoOperation.h"
#include "util/Expected.h"
#include "util/HostPath.h"
#include "util/PackageKind.h"

#include <QString>
#include <cstdio>
#include <functional>
#include <optional>
#include <utility>

namespace veltrane {

class ConsoleUserInterface;
class PackageSource;
class UserInterface;

// An install, an undo, the plan of an install (a dry run), the list of installs or one install
// taken back, as the command line asks for it, with the user interface given (the console's
// without a window): the package opened, the game folder found, the work done, and the exit
// status that tells how it went.
class WindowlessRun {
public:
    // programFolder: the folder the program lies in, the package folder when none is given.
    // console: where the run names the package, the game and its log, when it prints.
    // out: where a dry run prints its plan and --list its list.
    WindowlessRun(const CommandLine& line, QString programFolder, UserInterface& ui,
                  ConsoleUserInterface* console = nullptr, std::FILE* out = stdout);

    ExitStatus run();

private:
    ExitStatus install();
    // The game found, the log copy checked, an undo's work done and its log named.
    ExitStatus
    takeBack(const std::function<UndoOperation::Outcome(UndoOperation&, const HostPath&)>& work);
    ExitStatus undo();
    ExitStatus dryRun();
    ExitStatus list();
    ExitStatus uninstall();
    // The game folder as given or found, and mapped; nothing after telling the user there is
    // none.
    std::optional<std::pair<QString, HostPath>> gameFolder();
    ExitStatus refuse(const QString& why);
    QString packageGiven() const;
    // The package opened, an archive unpacked into the folder unpackParent gives (it throws
    // FileError when it cannot); nothing after telling the user why not.
    std::optional<PackageKind> openPackage(PackageSource& source,
                                           const std::function<HostPath()>& unpackParent);
    Expected<void> checkedLogCopy(const HostPath& game, const HostPath& package) const;

    void printLine(const QString& kind, const QString& text) const;

    const CommandLine& m_line;
    QString m_programFolder;
    UserInterface& m_ui;
    ConsoleUserInterface* m_console;
    std::FILE* m_out;
};

} // namespace veltrane
