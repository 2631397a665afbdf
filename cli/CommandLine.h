#pragma once

#include <QString>
#include <QStringList>

namespace veltrane {

// What the user asked for on the command line:
//   veltrane [--game FOLDER] [--no-window] [--yes] [--log FILE] [--undo | --list |
//            --uninstall ID | --dry-run] [PACKAGE]
// PACKAGE is a package folder or an archive; without it the program's own folder is the
// package folder.
struct CommandLine {
    enum class Action {
        Install,
        Undo,
        DryRun,    // the plan of the install printed; nothing changed
        List,      // the installs of the game, one a line
        Uninstall, // the install `installId` taken back
        ShowHelp,
        ShowVersion,
        Refuse, // bad usage: `problem` says why
    };

    Action action = Action::Install;
    QString package;   // as given; empty for the program's own folder
    QString game;      // --game, in the Windows form or as a host path; empty for the default
    QString logCopy;   // --log
    int installId = 0; // --uninstall
    bool noWindow = false;
    bool yes = false; // every question answered Yes; without it, with no window, No
    QString problem;

    // arguments as the program was given them, the program's name first.
    static CommandLine parse(const QStringList& arguments);
    // The text of --help and of --version; the help needs the application object.
    static QString helpText();
    static QString versionText();
};

// The program's exit status without a window, for installs and undos alike.
enum class ExitStatus {
    Done = 0,       // every step was done
    StepFailed = 1, // a step failed; the output and the log name it
    EndedEarly = 2, // a No, a stop message
    BadUsage = 3,   // bad usage, no package, no game folder
};

} // namespace veltrane
