#include "cli/CommandLine.h"
#include "cli/ConsoleUserInterface.h"
#include "cli/WindowlessRun.h"
#include "platform/DisplayServer.h"
#include "platform/ParentConsole.h"
#include "platform/StopRequest.h"
#include "ui/MainWindow.h"
#include "util/Version.h"

#include <QApplication>
#include <QDir>
#include <cstdio>

using namespace Qt::StringLiterals;
using namespace veltrane;

namespace {

// The folder the program lies in, whatever the current folder is: the package folder when no
// other is given.
QString programFolder()
{
    QString folder = QDir::toNativeSeparators(QCoreApplication::applicationDirPath());
    if (folder.endsWith(QDir::separator()))
        folder.chop(1);
    return folder;
}

void print(std::FILE* out, const QString& text)
{
    const QByteArray bytes = (text.endsWith(u'\n') ? text : text + u'\n').toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), out);
}

void nameTheApplication()
{
    QCoreApplication::setApplicationName(u"Veltrane"_s);
    QCoreApplication::setApplicationVersion(QString::fromLatin1(kVersionText));
}

// Without a window the program needs no display at all: only Qt Core is started.
int runWithoutWindow(int argc, char* argv[], const CommandLine& line)
{
    ParentConsole::attach();
    QCoreApplication app(argc, argv);
    nameTheApplication();
    switch (line.action) {
    case CommandLine::Action::ShowHelp:
        print(stdout, CommandLine::helpText());
        return int(ExitStatus::Done);
    case CommandLine::Action::ShowVersion:
        print(stdout, CommandLine::versionText());
        return int(ExitStatus::Done);
    case CommandLine::Action::Refuse:
        print(stderr, u"error: "_s + line.problem + u"\nTry veltrane --help."_s);
        return int(ExitStatus::BadUsage);
    case CommandLine::Action::Install:
    case CommandLine::Action::Undo:
    case CommandLine::Action::DryRun:
    case CommandLine::Action::List:
    case CommandLine::Action::Uninstall:
        break;
    }
    // Ctrl-C or SIGTERM takes back what the run did, rather than leaving it half done.
    StopRequest::watch();
    // The list alone goes to the standard output, to be read by scripts; what it has to say
    // besides goes to the standard error.
    ConsoleUserInterface ui(line.yes, line.action == CommandLine::Action::List ? stderr : stdout);
    return int(WindowlessRun(line, programFolder(), ui, &ui).run());
}

int runWithWindow(int argc, char* argv[], const CommandLine& line)
{
    QApplication app(argc, argv);
    nameTheApplication();
    MainWindow window(programFolder());
    if (!line.game.isEmpty())
        window.setGameFolder(line.game);
    window.setLogCopy(line.logCopy);
    if (line.action == CommandLine::Action::Undo || line.action == CommandLine::Action::Uninstall) {
        // The window's message boxes ask and tell; the window itself is not needed.
        return int(WindowlessRun(line, programFolder(), window).run());
    }
    if (!line.package.isEmpty())
        window.setPackageToOpen(line.package);
    window.show();
    return app.exec();
}

} // namespace

int main(int argc, char* argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    const CommandLine line = CommandLine::parse(arguments);
    // The list is text for a terminal or a script: it never needs a window.
    const bool windowless = line.noWindow || line.action == CommandLine::Action::ShowHelp ||
                            line.action == CommandLine::Action::List ||
                            line.action == CommandLine::Action::ShowVersion ||
                            line.action == CommandLine::Action::Refuse ||
                            line.action == CommandLine::Action::DryRun;
    if (windowless)
        return runWithoutWindow(argc, argv, line);
    // Qt's GUI would abort with its own words where no window can be shown.
    if (!DisplayServer::available()) {
        print(stderr, u"error: There is no display to show Veltrane's window on. Install without "
                      u"a window instead: veltrane --no-window [--yes] [--game FOLDER] PACKAGE\n"
                      u"Try veltrane --help."_s);
        return int(ExitStatus::BadUsage);
    }
    return runWithWindow(argc, argv, line);
}
