#include "InstallOperation.h"

#include "BatchFileRunner.h"
#include "GameFolder.h"
#include "LogCopyCheck.h"
#include "RouteInstaller.h"
#include "ScenarioInstaller.h"
#include "journal/GameLock.h"
#include "journal/InstallHistory.h"
#include "journal/InstallTransaction.h"
#include "journal/Inventory.h"
#include "journal/JournalReplay.h"
#include "journal/KeptCopies.h"
#include "journal/TextFileWriter.h"
#include "journal/UndoOperation.h"
#include "lists/FreeFormatReader.h"
#include "package/PackageFolder.h"
#include "package/PackageSource.h"
#include "platform/AttributeClearer.h"
#include "stock/EngineContext.h"
#include "tree/FolderCopy.h"
#include "tree/FolderMove.h"
#include "tree/MergePlan.h"
#include "util/AppState.h"
#include "util/FileError.h"
#include "util/InstallLog.h"
#include "util/LoggedUserInterface.h"
#include "util/OwnFolder.h"
#include "util/PathGuard.h"
#include "util/TextFile.h"
#include "util/UserInterface.h"
#include "util/Version.h"
#include "util/WorkCancelled.h"
#include "util/WorkReport.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <filesystem>

using namespace Qt::StringLiterals;

namespace veltrane {

namespace {

using Result = InstallStep::Result;
using Icon = UserInterface::Icon;

const QString kCopyStep = u"Copying the package's files"_s;
const QString kPackageBatchStep = u"Running the package's batch file RS-Install.bat"_s;
const QString kCacheStep = u"Clearing the blueprint caches"_s;
// At most this many entries that could not be made writable are named in the message.
constexpr qsizetype kNamedEntries = 10;

RunOptions normalWindow(InstallLog* log)
{
    RunOptions options{true, WindowStyle::NormalFocus};
    options.log = log;
    return options;
}

QString outcomeName(InstallOperation::Outcome outcome)
{
    switch (outcome) {
    case InstallOperation::Outcome::Completed:
        return u"completed"_s;
    case InstallOperation::Outcome::Incomplete:
        return u"incomplete"_s;
    case InstallOperation::Outcome::Refused:
        return u"refused"_s;
    case InstallOperation::Outcome::Cancelled:
        return u"cancelled"_s;
    case InstallOperation::Outcome::Ended:
        break;
    }
    return u"ended"_s;
}

// Where the user finds the whole story of a failed install.
QString logNamed(const InstallLog& log)
{
    if (log.path().isEmpty())
        return {};
    return u"\r\n\r\nThe install log: "_s + QDir::toNativeSeparators(log.path());
}

// What a batch file's run leaves in the report: its exit status is recorded, not judged (a
// tidy-up whose last DEL found nothing ends with 1); a file that was not run, or a command
// of ours that failed, is a failure of the step. The status goes to the user as a note when
// noteTo is given, else to the log. True when all was done.
bool recordBatchRun(const BatchFileRunner::Run& run, const QString& step, const HostPath& batch,
                    WorkReport& report, FileChanges& files, UserInterface* noteTo)
{
    if (!run.ran()) {
        report.fail(step, batch.display(), run.whyNotRun);
        return false;
    }
    if (!run.process.ended()) {
        report.fail(step, batch.display(), run.process.failure());
        return false;
    }
    const QString status =
        batch.fileName() + u" ended with exit status "_s + QString::number(run.process.exitCode);
    if (noteTo)
        noteTo->showNote(status);
    else
        files.log(u"batch"_s, status);
    for (const QString& failure : run.failures)
        report.fail(step, batch.display(), u"not done: "_s + failure);
    return run.failures.isEmpty();
}

// A game the install left alone keeps no trace of it: the journals' folders go too when
// nothing else lies in them (remove() takes no folder that is not empty).
void removeUnusedJournal(const HostPath& journal)
{
    std::error_code error;
    std::filesystem::remove_all(journal.fs(), error);
    std::filesystem::remove(journal.parent().fs(), error);
    std::filesystem::remove(journal.parent().parent().fs(), error);
}

} // namespace

InstallOperation::InstallOperation(AppState& state, UserInterface& ui, InstallRequest request)
    : m_state(state), m_ui(ui), m_request(std::move(request))
{
}

InstallOperation::Outcome InstallOperation::run()
{
    m_ui.setBusy(true);
    // However the install ends, the pointer is the default one again.
    const auto restorePointer = qScopeGuard([this] { m_ui.setBusy(false); });
    m_state.GamePath = m_request.gameText;

    InstallLog log(u"install"_s, m_request.logCopy);
    m_logPath = log.path();
    const auto copyLog = qScopeGuard([&log] { static_cast<void>(writeLogCopy(log)); });
    log.write(u"veltrane"_s, u"version "_s + QString::fromLatin1(kVersionText));
    log.write(u"package"_s, m_request.packageName + u" in "_s + m_request.package.display() +
                                u", "_s + PackageFolder::kindName(m_request.kind));
    log.write(u"game"_s, m_state.GamePath);
    // What the user is shown and answers goes to the install log as well.
    LoggedUserInterface ui(m_ui, log);
    const Outcome outcome = runInGame(ui, log);
    log.write(u"outcome"_s, outcomeName(outcome));
    return outcome;
}

InstallOperation::Outcome InstallOperation::runInGame(UserInterface& ui, InstallLog& log)
{
    if (const Expected<void> folders = checkFolders(); !folders) {
        ui.showMessage(folders.message(), Icon::Exclamation);
        return Outcome::Refused;
    }
    const HostPath& game = m_request.game;
    log.setGameFolder(game);
    // Nothing changes in the game before this program holds it.
    GameLock lock(game);
    Expected<void> locked = lock.take();
    // A game folder whose root may not be written: the read-only offer comes first, as for
    // any step that meets a read-only file.
    if (!locked && locked.failure().permissionDenied()) {
        if (!recoverReadOnly(ui))
            return Outcome::Ended;
        locked = lock.take();
    }
    if (!locked) {
        ui.showMessage(locked.message(), Icon::Exclamation);
        return Outcome::Refused;
    }
    return runLocked(ui, log, lock);
}

InstallOperation::Outcome InstallOperation::runLocked(UserInterface& ui, InstallLog& log,
                                                      GameLock& lock)
{
    const HostPath& game = m_request.game;
    // Archives that programs killed while they unpacked left in the game's own folder.
    PackageSource::removeLeftovers(OwnFolder::in(game));
    UndoOperation rollback(m_ui);
    rollback.useHeldLock(lock);
    rollback.offerRollback(game);
    const Expected<HostPath> workFolder = chooseWorkFolder();
    if (!workFolder) {
        ui.showMessage(u"The install cannot begin: the package folder "_s +
                           m_request.package.display() +
                           u" may not be written to, and no folder for the install's working "
                           u"files can be made in the cache folder either.\r\nNothing has been "
                           u"changed."_s,
                       Icon::Exclamation);
        return Outcome::Ended;
    }
    Inventory inventory = Inventory::open(game, ui);
    // Worked out once the game is ours and put right: the copy carries out what it names.
    InstallPlanner planner(m_request, InstallPlanner::ownersIn(inventory.ownerLookup()));
    planner.setStockConsent(m_state.ProduceConsent);
    m_plan = planner.make();
    const auto dropWorkFolder = qScopeGuard([&] {
        if (!(*workFolder == m_request.package)) {
            std::error_code error;
            std::filesystem::remove_all(workFolder->fs(), error);
        }
    });
    // Nothing the install changes may lie outside the game, the package and its working
    // files.
    // Nor may it reach the program's own folder, where the journals are kept: only the undo
    // changes that.
    InstallTransaction transaction(log, {game, m_request.package, *workFolder},
                                   {OwnFolder::in(game)});
    const InstallHistory history(game);
    const int id = inventory.nextId();
    try {
        transaction.keepJournal(game, history.newJournal(),
                                ChangeJournal::Header{m_request.packageName,
                                                      PackageFolder::kindName(m_request.kind), id});
        transaction.journal()->setOwnerLookup(inventory.ownerLookup());
    } catch (const FileError& error) {
        ui.showMessage(u"The install cannot begin: "_s + error.description() +
                           u"\r\nNothing has been changed."_s,
                       Icon::Exclamation);
        return Outcome::Ended;
    }
    WorkReport report(&log);
    EngineContext context{m_state,     ui,    transaction.files(), game, m_request.package,
                          *workFolder, report};
    const Outcome outcome = runSteps(context, log);
    ChangeJournal& journal = *transaction.journal();
    // The install is over and its changes are recorded: a failure of its end is only logged.
    if (journal.hasChanges()) {
        if (const Expected<void> ended = inventory.recordEnd(journal, outcomeName(outcome)); !ended)
            log.write(u"inventory"_s, ended.message());
    }
    const HostPath kept = journal.folder();
    const bool changedAnything = journal.hasChanges();
    transaction.closeJournal();
    if (outcome == Outcome::Cancelled)
        takeBackCancelled(ui, log, inventory, changedAnything);
    if (!changedAnything)
        removeUnusedJournal(kept);
    for (const InstallRecord& dropped : KeptCopies::fit(inventory, game, id))
        log.write(u"kept"_s, u"the copies kept by install "_s + QString::number(dropped.id) +
                                 u" ("_s + dropped.package +
                                 u") were dropped to keep within their disk space; it can no "
                                 u"longer be undone"_s);
    return outcome;
}

InstallOperation::Outcome InstallOperation::runSteps(EngineContext& context, InstallLog& log)
{
    UserInterface& ui = context.ui;
    WorkReport& report = context.report;
    RouteInstaller route(context);
    ScenarioInstaller scenario(context);
    QList<InstallStep> steps;
    if (m_request.kind == PackageKind::Route)
        steps = route.steps();
    else if (m_request.kind == PackageKind::Scenario)
        steps = scenario.steps();
    steps += completionSteps(context);

    // A close of the window waits for the end of the install: the steps are short, and a
    // half install would leave the route or scenario without its files. Only a conversion,
    // which may take long, is ended by it, and counts as failed.
    const auto clearStep = qScopeGuard([&ui] { ui.showStep({}); });
    for (const InstallStep& step : std::as_const(steps)) {
        if (ui.cancelRequested()) {
            log.write(u"step"_s, step.name + u": not begun, the install was cancelled"_s);
            return Outcome::Cancelled;
        }
        ui.showStep(step.name);
        log.write(u"step"_s, step.name + u": started"_s);
        const qsizetype failuresBefore = report.failures().size();
        const auto ended = [&] {
            log.write(u"step"_s, step.name + u": ended the install"_s);
            return Outcome::Ended;
        };
        try {
            if (step.run() == Result::EndInstall)
                return ended();
        } catch (const WorkCancelled&) {
            log.write(u"step"_s, step.name + u": cancelled"_s);
            return Outcome::Cancelled;
        } catch (const FileError& error) {
            if (error.kind() == FileError::Kind::Journal) {
                // Without its record a change could not be undone: none is made.
                report.fail(step.name, QString(), error.description());
                ui.showMessage(u"The install has been stopped before it changed anything more: "_s +
                                   error.description() + u"\r\n\r\nWhat failed:\r\n"_s +
                                   report.failureLines().join(u"\r\n"_s) +
                                   u"\r\n\r\nWhat it changed up to here is in its journal, and "
                                   u"undoing the last install puts it back."_s +
                                   logNamed(log),
                               Icon::Exclamation);
                ended();
                return Outcome::Incomplete;
            }
            report.fail(step.name, QString(), error.description());
            if (error.permissionDenied() && !recoverReadOnly(ui))
                return ended();
        } catch (const std::exception& error) {
            report.fail(step.name, QString(), QString::fromLocal8Bit(error.what()));
        }
        log.write(u"step"_s, step.name + (report.failures().size() > failuresBefore ? u": failed"_s
                                                                                    : u": done"_s));
    }

    if (!report.hasFailures()) {
        ui.showMessage(u"Your package has been installed."_s, Icon::Information);
        return Outcome::Completed;
    }
    QString text = u"The package has not been installed completely.\r\n\r\nWhat failed:\r\n"_s +
                   report.failureLines().join(u"\r\n"_s);
    if (!report.doneItems().isEmpty())
        text += u"\r\n\r\nWhat was done: "_s + report.doneItems().join(u"; "_s) + u'.';
    text += u"\r\n\r\nPlease put right what failed, then run this Setup again to finish the "
            u"installation."_s;
    ui.showMessage(text + logNamed(log), Icon::Exclamation);
    return Outcome::Incomplete;
}

void InstallOperation::takeBackCancelled(UserInterface& ui, InstallLog& log, Inventory& inventory,
                                         bool changedAnything)
{
    ui.showStep(u"Taking the install back"_s);
    const auto clearStep = qScopeGuard([&ui] { ui.showStep({}); });
    JournalReplay::Result result;
    if (changedAnything) {
        // Its own journal, the newest: nobody changed its files since, so nothing is asked.
        InstallTransaction rollback(log, {m_request.game});
        const QList<InstallHistory::Install> installs = InstallHistory(m_request.game).installs();
        if (!installs.isEmpty()) {
            result =
                JournalReplay(ui, rollback.files(), m_request.game).undo(installs.first(), false);
            if (result.failed.isEmpty()) {
                const Expected<void> marked =
                    inventory.markTakenBack(installs.first().journal.fileName());
                if (!marked)
                    log.write(u"inventory"_s, marked.message());
            }
        }
    }
    if (result.failed.isEmpty()) {
        ui.showMessage(u"The install has been cancelled. The game folder "_s +
                           m_request.game.display() + u" is exactly as it was before it began."_s,
                       Icon::Information);
        return;
    }
    QStringList named = result.failed.mid(0, kNamedEntries);
    if (result.failed.size() > kNamedEntries)
        named.append(u"and "_s + QString::number(result.failed.size() - kNamedEntries) +
                     u" more"_s);
    ui.showMessage(u"The install has been cancelled, but these could not be put back; undo "
                   u"the last install to try again:\r\n"_s +
                       named.join(u"\r\n"_s) + logNamed(log),
                   Icon::Exclamation);
}

Expected<HostPath> InstallOperation::chooseWorkFolder() const
{
    // Asked by making a file, not by the permission bits: a read-only mount, an ACL or a
    // network share answers only then.
    QTemporaryFile probe(m_request.package.toString() + u"/.veltrane-probe-XXXXXX"_s);
    if (probe.open())
        return m_request.package;
    // A package on a read-only medium or in a folder of another user's: the working files go
    // to a folder of this install's own.
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
    const QString folder = cache + u"/installs/"_s +
                           QDateTime::currentDateTimeUtc().toString(u"yyyyMMdd-HHmmss-zzz"_s);
    if (cache.isEmpty() || !QDir().mkpath(folder))
        return failure(u"no folder for the working files can be made"_s);
    return HostPath::fromHost(folder);
}

Expected<void> InstallOperation::checkFolders() const
{
    const HostPath& game = m_request.game;
    if (game.isEmpty())
        return failure(GameFolder::check(game).message() +
                       GameFolder::whereLooked(m_request.gameSearch));
    if (!folderExists(game))
        return GameFolder::check(game);
    const HostPath& package = m_request.package;
    if (PathGuard::leadsInto(game, package))
        return failure(u"The game folder "_s + game.display() +
                       u" lies inside the package folder "_s + package.display() +
                       u".\r\nChoose the folder of Rail Simulator: the one that holds "
                       u"RailSim.exe, or the Assets and Content folders."_s);
    // An archive is unpacked into the game's own folder of the program's, which the game does
    // not read.
    const bool unpackedBeside = PathGuard::leadsInto(package, OwnFolder::in(game));
    if (PathGuard::leadsInto(package, game) && !unpackedBeside)
        return failure(u"The package folder "_s + package.display() +
                       u" lies inside the game folder "_s + game.display() +
                       u". Unzip the package into a folder of its own."_s);
    if (Expected<void> isGame = GameFolder::check(game); !isGame)
        return isGame;
    if (!m_request.logCopy.isEmpty()) {
        if (Expected<void> log = LogCopyCheck::check(m_request.logCopy, game, package); !log)
            return log;
    }
    if (const QString own = PackageFolder::ownFolderEntry(package); !own.isEmpty())
        return failure(u"The package "_s + m_request.packageName + u" holds "_s + own +
                       u", the name of Veltrane's own folder in the game, where it keeps the "
                       u"journals of installs. No package may bring it, so this one is not "
                       u"installed. Nothing has been changed."_s);
    // Looked at again: the folder may have changed since the package was chosen.
    if (!PackageFolder::identify(package))
        return failure(u"The package folder "_s + package.display() +
                       u" holds nothing to install: no Veltrane.xxx, no Scenario.zzz and no "
                       u"\"Rail Simulator\" folder.\r\nStart Veltrane from the folder of an "
                       u"unzipped package."_s);
    return {};
}

bool InstallOperation::recoverReadOnly(UserInterface& ui)
{
    const bool yes = ui.askYesNo(
        u"Some folders/files in your copy of Rail Simulator are Read Only and cannot be "
        u"overwritten.\r\nDo you wish them to be changed to Read/Write. Once completed run "
        u"this Setup again to finish\r\ninstallation."_s);
    if (!yes)
        return false;
    const QStringList problems =
        AttributeClearer::makeWritable(m_request.game, normalWindow(nullptr), ui);
    ui.setBusy(false);
    if (problems.isEmpty()) {
        ui.showMessage(u"All files are now Read/Write"_s, Icon::Exclamation);
    } else {
        QStringList named = problems.mid(0, kNamedEntries);
        if (problems.size() > kNamedEntries)
            named.append(u"and "_s + QString::number(problems.size() - kNamedEntries) + u" more"_s);
        ui.showMessage(u"These files and folders could not be changed to Read/Write:\r\n"_s +
                           named.join(u"\r\n"_s),
                       Icon::Exclamation);
    }
    ui.setBusy(true);
    return true;
}

QList<InstallStep> InstallOperation::completionSteps(EngineContext& context)
{
    UserInterface& ui = context.ui;
    FileChanges& files = context.files;
    WorkReport& report = context.report;
    const HostPath game = context.game;
    const HostPath package = context.packageFolder;
    const bool movable = m_request.packageMovable;
    const RunOptions options = normalWindow(files.installLog());
    // Batch files run by our own interpreter may touch the game and the package only.
    const std::vector<HostPath> roots{game, package};
    QList<InstallStep> steps;

    steps.append({u"Reading AssetSetup.ggg"_s, [package, &ui] {
                      // Read when present; nothing uses its first item yet.
                      const HostPath path = package.mappedChild(u"AssetSetup.ggg"_s);
                      if (fileExists(path)) {
                          QString text;
                          readTextFile(ui, path, text);
                          [[maybe_unused]] const QString first =
                              FreeFormatReader::items(text).value(0);
                      }
                      return Result::Next;
                  }});

    steps.append({kCopyStep, [this, movable, &ui, &files, &report] {
                      // A route or scenario package may bring no files of its own.
                      if (!m_plan->merge)
                          return Result::Next;
                      const MergePlan& merge = *m_plan->merge;
                      const qint64 copied =
                          movable
                              ? FolderMove(ui, files, &report, kCopyStep).movePlanned(merge, true)
                              : FolderCopy(ui, files, &report, kCopyStep).copyPlanned(merge, true);
                      report.done(QString::number(copied) +
                                  (copied == 1 ? u" file was"_s : u" files were"_s) +
                                  u" copied into the game folder"_s);
                      return Result::Next;
                  }});

    steps.append({kPackageBatchStep, [game, roots, options, &ui, &files, &report] {
                      const HostPath batch = game.mappedChild(u"RS-Install.bat"_s);
                      if (!fileExists(batch))
                          return Result::Next;
                      const BatchFileRunner::Run run =
                          BatchFileRunner(ui, files, roots).run(batch, game, options);
                      if (recordBatchRun(run, kPackageBatchStep, batch, report, files, &ui))
                          report.done(u"the package's batch file RS-Install.bat was run"_s);
                      ui.processEvents();
                      files.removeFile(batch);
                      ui.processEvents();
                      return Result::Next;
                  }});

    steps.append({u"Writing del_blueprints.bat"_s, [game, &files] {
                      files.writeWhole(game.mapped(u"\\Assets\\del_blueprints.bat"_s),
                                       "DEL Blueprints.PAK /S\r\n");
                      return Result::Next;
                  }});

    steps.append({kCacheStep, [game, roots, options, &ui, &files, &report] {
                      ui.processEvents();
                      const HostPath assets = game.mappedChild(u"Assets"_s);
                      if (!folderExists(assets))
                          throw FileError(FileError::Kind::Other, u"The folder "_s +
                                                                      assets.display() +
                                                                      u" does not exist"_s);
                      const HostPath batch = assets.mappedChild(u"del_blueprints.bat"_s);
                      // Our own one line needs no Windows interpreter, and ours walks the
                      // tree many times faster than Wine's.
                      const BatchFileRunner::Run run =
                          BatchFileRunner(ui, files, roots)
                              .run(batch, assets, options, BatchFileRunner::Author::Program);
                      if (recordBatchRun(run, kCacheStep, batch, report, files, nullptr))
                          report.done(u"the blueprint caches were cleared"_s);
                      ui.processEvents();
                      files.removeFile(batch);
                      ui.processEvents();
                      return Result::Next;
                  }});
    return steps;
}

} // namespace veltrane
