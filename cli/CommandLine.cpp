#include "CommandLine.h"

#include "util/Version.h"

#include <QCommandLineParser>

using namespace Qt::StringLiterals;

namespace veltrane {

namespace {

struct Options {
    QCommandLineOption game{
        u"game"_s,
        u"The game folder, the Windows way (c:\\program files\\Rail Simulator) or as a path of "
        u"this system."_s,
        u"FOLDER"_s};
    QCommandLineOption noWindow{u"no-window"_s,
                                u"Install at once, without a window; messages and questions are "
                                u"printed, and questions are answered No unless --yes is given."_s};
    QCommandLineOption yes{u"yes"_s, u"Answer Yes to every question."_s};
    QCommandLineOption log{u"log"_s, u"Write the install log to FILE as well."_s, u"FILE"_s};
    QCommandLineOption undo{
        u"undo"_s, u"Put the game folder back as it was before the last install, or before an "
                   u"install that did not finish."_s};
    QCommandLineOption dryRun{
        u"dry-run"_s, u"Print what the install would do (every file it adds or replaces and whose "
                      u"it was, the list records, the rolling stock, the batch file, the space) "
                      u"and change nothing; no window."_s};
    QCommandLineOption list{
        u"list"_s, u"Print the installs into the game folder, the newest first, one a line with "
                   u"tabs between its number, time (UTC), kind, package, number of files and "
                   u"state."_s};
    QCommandLineOption uninstall{
        u"uninstall"_s,
        u"Take back the install numbered ID by --list. Later installs that changed the same "
        u"files are named and, after a Yes, taken back first."_s,
        u"ID"_s};
    QCommandLineOption help{QStringList{u"h"_s, u"help"_s}, u"Show this help."_s};
    QCommandLineOption version{QStringList{u"v"_s, u"version"_s}, u"Show the version."_s};

    void addTo(QCommandLineParser& parser) const
    {
        parser.setApplicationDescription(
            u"Installs a Rail Simulator add-on package: a route, a scenario or assets.\n\n"
            u"Exit status with --no-window:\n"
            u"  0  every step was done\n"
            u"  1  a step failed; the output and the install log name it\n"
            u"  2  the install ended early: a No, a stop message, Cancel or Ctrl-C (the game is\n"
            u"     then as it was)\n"
            u"  3  bad usage, no package, no game folder; a package or --log refused (the\n"
            u"     reason is printed); the game held by another Veltrane; an install that\n"
            u"     cannot be taken back alone\n\n"
            u"Exit status with --dry-run:\n"
            u"  0  the install could run\n"
            u"  2  it would stop early, before it changes anything (the plan says why)\n"
            u"  3  it would be refused (the reason is printed), or bad usage\n\n"
            u"--list and --dry-run never open a window; --undo and --uninstall without\n"
            u"--no-window ask and tell in message boxes. --list prints the list alone on the\n"
            u"standard output and anything else on the standard error."_s);
        parser.addOptions({game, noWindow, yes, log, undo, dryRun, list, uninstall, help, version});
        parser.addPositionalArgument(
            u"PACKAGE"_s,
            u"A package folder or archive (zip, 7z, rar, tar); by default the folder the program "
            u"lies in."_s,
            u"[PACKAGE]"_s);
    }
};

// What is asked of the game folder: an install, an undo, the list, or one install taken back.
CommandLine::Action gameAction(const QCommandLineParser& parser, const Options& options,
                               CommandLine& line)
{
    using Action = CommandLine::Action;
    const int asked = int(parser.isSet(options.undo)) + int(parser.isSet(options.list)) +
                      int(parser.isSet(options.uninstall)) + int(parser.isSet(options.dryRun));
    if (asked > 1) {
        line.problem = u"Give one of --undo, --list, --uninstall and --dry-run."_s;
        return Action::Refuse;
    }
    if (parser.isSet(options.uninstall)) {
        bool number = false;
        line.installId = parser.value(options.uninstall).toInt(&number);
        if (!number || line.installId <= 0) {
            line.problem = u"--uninstall takes the number of an install, as --list shows it; "
                           u"not "_s +
                           parser.value(options.uninstall);
            return Action::Refuse;
        }
        return Action::Uninstall;
    }
    if (parser.isSet(options.list))
        return Action::List;
    if (parser.isSet(options.dryRun))
        return Action::DryRun;
    return parser.isSet(options.undo) ? Action::Undo : Action::Install;
}

} // namespace

QString CommandLine::helpText()
{
    QCommandLineParser parser;
    Options().addTo(parser);
    return parser.helpText();
}

QString CommandLine::versionText()
{
    return u"veltrane "_s + QString::fromLatin1(kVersionText);
}

CommandLine CommandLine::parse(const QStringList& arguments)
{
    QCommandLineParser parser;
    const Options options;
    options.addTo(parser);

    CommandLine line;
    if (!parser.parse(arguments)) {
        line.action = Action::Refuse;
        line.problem = parser.errorText();
        return line;
    }
    line.game = parser.value(options.game);
    line.logCopy = parser.value(options.log);
    line.noWindow = parser.isSet(options.noWindow);
    line.yes = parser.isSet(options.yes);
    const QStringList positional = parser.positionalArguments();
    if (parser.isSet(options.help)) {
        line.action = Action::ShowHelp;
    } else if (parser.isSet(options.version)) {
        line.action = Action::ShowVersion;
    } else if (positional.size() > 1) {
        line.action = Action::Refuse;
        line.problem = u"Give one package at most; these were given: "_s + positional.join(u", "_s);
    } else if (parser.isSet(options.dryRun) && parser.isSet(options.log)) {
        line.action = Action::Refuse;
        line.problem = u"--dry-run changes nothing and writes no log: it takes no --log."_s;
    } else {
        line.action = gameAction(parser, options, line);
        line.package = positional.value(0);
        if (line.action != Action::Install && line.action != Action::DryRun &&
            line.action != Action::Refuse && !positional.isEmpty()) {
            line.action = Action::Refuse;
            line.problem = u"--undo, --list and --uninstall take no package: they work on the "
                           u"game folder."_s;
        }
    }
    return line;
}

} // namespace veltrane
