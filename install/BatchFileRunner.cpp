#include "BatchFileRunner.h"

#include "journal/FileChanges.h"
#include "platform/ProgramLauncher.h"
#include "platform/Wine.h"
#include "tree/TreeListing.h"
#include "util/OwnFolder.h"
#include "util/UserInterface.h"

#include <QCoreApplication>

using namespace Qt::StringLiterals;

namespace veltrane {

namespace {

using Run = BatchFileRunner::Run;
using Refusal = BatchInterpreter::Refusal;

// At most this many lines are named in the question; the rest are counted.
constexpr qsizetype kNamedLines = 10;
const QString kWineCmd = u"Wine's cmd"_s;

#ifndef Q_OS_WIN
Run notRun(const QString& why)
{
    Run run;
    run.whyNotRun = u"it was not run: "_s + why;
    return run;
}

// "line 3", "lines 3, 5 and 8": the lines of the refusals of one kind.
QString lineNumbers(const QList<Refusal>& refused, bool outside)
{
    QStringList numbers;
    for (const Refusal& refusal : refused) {
        if (refusal.outside == outside)
            numbers.append(QString::number(refusal.line));
    }
    if (numbers.size() == 1)
        return u"line "_s + numbers.first();
    const QString last = numbers.takeLast();
    return u"lines "_s + numbers.join(u", "_s) + u" and "_s + last;
}
#endif

} // namespace

BatchFileRunner::BatchFileRunner(UserInterface& ui, FileChanges& files,
                                 std::vector<HostPath> allowedRoots)
    : m_ui(ui), m_files(files), m_allowedRoots(std::move(allowedRoots))
{
}

Run BatchFileRunner::run(const HostPath& batchFile, const HostPath& workingFolder,
                         const RunOptions& options, Author author)
{
#ifdef Q_OS_WIN
    Q_UNUSED(author);
    Run run;
    run.by = Run::By::Windows;
    run.process =
        ProgramLauncher::run(Program{HostPath::fromHost(u"cmd.exe"_s), false},
                             {ProgramArgument::plain(u"/c"_s), ProgramArgument::file(batchFile)},
                             workingFolder, options, m_ui);
    return run;
#else
    BatchInterpreter interpreter(m_ui, m_files, m_allowedRoots);
    const std::optional<BatchInterpreter::Script> script =
        interpreter.read(batchFile.toString(), workingFolder.toString());
    if (!script)
        return notRun(u"it could not be read"_s);
    const Choice choice = choose(*script, batchFile, workingFolder, author);
    switch (choice.by) {
    case Run::By::Ours:
        return runOurs(interpreter, *script, options);
    case Run::By::Wine:
        if (!wineAgreed(batchFile, script->unsupported()))
            return notRun(choice.unsupported +
                          u", and running it in Wine's command interpreter was declined"_s);
        return runInWine(*choice.wine, batchFile, options);
    case Run::By::Windows:
    case Run::By::Nobody:
        break;
    }
    if (!choice.unreached.isEmpty()) {
        interpreter.explainRefusal(
            u"No drive of the Wine prefix holds "_s + choice.unreached + u", so"_s,
            u"Give the Wine prefix a drive that holds "_s + choice.unreached +
                u" (winecfg, Drives) to have files like this one run by Wine's command "
                u"interpreter."_s);
    }
    interpreter.tellRefusal(*script);
    return notRun(choice.whyNot);
#endif
}

BatchFileRunner::Choice BatchFileRunner::choose(const BatchInterpreter::Script& script,
                                                const HostPath& batchFile,
                                                const HostPath& workingFolder, Author author)
{
    Choice choice;
#ifdef Q_OS_WIN
    Q_UNUSED(script);
    Q_UNUSED(batchFile);
    Q_UNUSED(workingFolder);
    Q_UNUSED(author);
    choice.by = Run::By::Windows;
#else
    if (script.refused.isEmpty()) {
        choice.by = Run::By::Ours;
        return choice;
    }
    // Ours to judge: no interpreter gets a file that means to change files elsewhere.
    if (script.leavesFolders()) {
        choice.whyNot = lineNumbers(script.refused, true) +
                        u" would change files outside the game and package folders"_s;
        return choice;
    }
    choice.unsupported =
        u"Veltrane cannot run "_s + lineNumbers(script.refused, false) + u" of it itself"_s;
    if (author == Author::Package && Wine::isInstalled()) {
        // The full path: "cmd /c del_blueprints.bat" would run "del _blueprints.bat".
        choice.wine = ProgramLauncher::command(
            Program{HostPath::fromHost(u"cmd"_s), true},
            {ProgramArgument::plain(u"/c"_s), ProgramArgument::file(batchFile)}, workingFolder);
        if (choice.wine) {
            choice.by = Run::By::Wine;
            return choice;
        }
        // Wine's cmd must find the file and start in the folder it is meant to run in.
        choice.unreached =
            (Wine::toWindowsPath(batchFile) ? workingFolder : batchFile.parent()).display();
        choice.whyNot =
            choice.unsupported + u", and no drive of the Wine prefix holds "_s + choice.unreached;
        return choice;
    }
    choice.whyNot = author == Author::Package
                        ? choice.unsupported + u", and Wine is not installed"_s
                        : choice.unsupported;
#endif
    return choice;
}

Run BatchFileRunner::runOurs(BatchInterpreter& interpreter, const BatchInterpreter::Script& script,
                             const RunOptions& options)
{
    const int status = interpreter.run(script);
    ProcessRunner::waitStep(options, m_ui);
    Run run;
    run.by = Run::By::Ours;
    run.process.processId = QCoreApplication::applicationPid();
    run.process.exitedNormally = true;
    run.process.exitCode = status;
    run.failures = interpreter.failures();
    if (interpreter.failureCount() > run.failures.size())
        run.failures.append(u"and "_s +
                            QString::number(interpreter.failureCount() - run.failures.size()) +
                            u" more commands failed"_s);
    return run;
}

bool BatchFileRunner::wineAgreed(const HostPath& batchFile, const QStringList& lines)
{
    QStringList named = lines.mid(0, kNamedLines);
    if (lines.size() > kNamedLines)
        named.append(u"and "_s + QString::number(lines.size() - kNamedLines) + u" more"_s);
    return m_ui.askYesNo(
        u"The package's batch file "_s + batchFile.fileName() +
        u" has lines that Veltrane cannot run itself:\r\n\r\n"_s + named.join(u"\r\n"_s) +
        u"\r\n\r\nWine's command interpreter can run the file, but it can change any file that "
        u"you may change, also outside the game folder, and an undo cannot put back what it "
        u"changes or deletes. Run the file in Wine's command interpreter?\r\n\r\nNo skips the "
        u"batch file; the rest of the install goes on."_s);
}

Run BatchFileRunner::runInWine(const LaunchCommand& command, const HostPath& batchFile,
                               const RunOptions& options)
{
    m_files.noteOutsideChange(u"wine "_s + batchFile.fileName());
    // One walk of the game before and one after: what the file made there can be undone, and
    // what it changed can at least be named.
    const TreeListing before = TreeListing::of(m_allowedRoots.front(), OwnFolder::kName);
    RunOptions logged = options;
    logged.logOutput = true;
    Run run;
    run.by = Run::By::Wine;
    run.process = ProgramLauncher::run(command, logged, m_ui);
    recordWineChanges(before);
    return run;
}

void BatchFileRunner::recordWineChanges(const TreeListing& before)
{
    const HostPath& game = m_allowedRoots.front();
    const TreeListing::Difference difference =
        before.changesTo(TreeListing::of(game, OwnFolder::kName));
    for (const TreeListing::Change& made : difference.made)
        m_files.madeOutside(game.child(made.path), made.folder, kWineCmd);
    for (const TreeListing::Change& changed : difference.changed)
        m_files.changedOutside(game.child(changed.path), u"changed"_s, kWineCmd);
    for (const TreeListing::Change& removed : difference.removed)
        m_files.changedOutside(game.child(removed.path), u"removed"_s, kWineCmd);
}

} // namespace veltrane
