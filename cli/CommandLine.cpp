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
    QCommandLineOption help{QStringList{u"h"_s, u"help"_s}, u"Show this help."_s};
    QCommandLineOption version{QStringList{u"v"_s, u"version"_s}, u"Show the version."_s};

    void addTo(QCommandLineParser& parser) const
    {
        parser.setApplicationDescription(
            u"Installs a Rail Simulator add-on package: a route, a scenario or assets.\n\n"
            u"Exit status with --no-window:\n"
            u"  0  every step was done\n"
            u"  1  a step failed; the output and the install log name it\n"
            u"  2  the install ended early: a No, a stop message\n"
            u"  3  bad usage, no package, no game folder\n\n"
            u"Exit status with --dry-run:\n"
            u"  0  the install could run\n"
            u"  2  it would stop early, before it changes anything (the plan says why)\n"
            u"  3  it would be refused (the reason is printed), or bad usage"_s);
        parser.addOptions({game, noWindow, yes, log, undo, dryRun, help, version});
        parser.addPositionalArgument(
            u"PACKAGE"_s,
            u"A package folder or a zip archive; by default the folder the program lies in."_s,
            u"[PACKAGE]"_s);
    }
};

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
    } else if (parser.isSet(options.dryRun) &&
               (parser.isSet(options.undo) || parser.isSet(options.log))) {
        line.action = Action::Refuse;
        line.problem = u"--dry-run changes nothing and writes no log: it takes neither --undo nor "
                       u"--log."_s;
    } else if (parser.isSet(options.undo) && !positional.isEmpty()) {
        line.action = Action::Refuse;
        line.problem = u"--undo takes no package: it undoes the last install into the game "
                       u"folder."_s;
    } else if (parser.isSet(options.dryRun)) {
        line.action = Action::DryRun;
        line.package = positional.value(0);
    } else {
        line.action = parser.isSet(options.undo) ? Action::Undo : Action::Install;
        line.package = positional.value(0);
    }
    return line;
}

} // namespace veltrane
