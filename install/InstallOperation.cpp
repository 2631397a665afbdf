#include "InstallOperation.h"

#include "BatchFileRunner.h"
#include "RouteInstaller.h"
#include "ScenarioInstaller.h"
#include "journal/ChangeJournal.h"
#include "journal/FileOps.h"
#include "journal/InstallHistory.h"
#include "journal/JournalFormat.h"
#include "journal/UndoOperation.h"
#include "journal/WriteBoundary.h"
#include "lists/FreeFormatReader.h"
#include "platform/AttributeClearer.h"
#include "stock/EngineContext.h"
#include "tree/FolderCopy.h"
#include "tree/FolderMove.h"
#include "util/AppState.h"
#include "util/FileError.h"
#include "util/InstallLog.h"
#include "util/OwnFolder.h"
#include "util/PathGuard.h"
#include "util/TextFile.h"
#include "util/UserInterface.h"
#include "util/Version.h"
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

const RunOptions kNormalWindow{true, WindowStyle::NormalFocus};
const QString kCopyStep = u"Copying the package's files"_s;
const QString kPackageBatchStep = u"Running the package's batch file RS-Install.bat"_s;
const QString kCacheStep = u"Clearing the blueprint caches"_s;
// At most this many entries that could not be made writable are named in the message.
constexpr qsizetype kNamedEntries = 10;

bool isFolder(const HostPath& path)
{
    return QFileInfo(path.toString()).isDir();
}

const QString kExpectedGame =
    u"\r\nChoose the folder of Rail Simulator: the one that holds RailSim.exe, or the Assets "
    u"and Content folders."_s;

// Why no game folder can be had from the text: it is empty, or names no folder.
QString missingGame(const QString& gameFolderText)
{
    if (gameFolderText.trimmed().isEmpty())
        return u"No game folder has been given."_s + kExpectedGame;
    const HostPath game = HostPath::fromProgramPath(gameFolderText);
    if (!isFolder(game))
        return u"The game folder "_s + game.display() + u" does not exist."_s + kExpectedGame;
    return {};
}

QString notTheGame(const HostPath& game)
{
    const bool looksLikeGame =
        fileExists(game.mappedChild(u"RailSim.exe"_s)) ||
        (isFolder(game.mappedChild(u"Assets"_s)) && isFolder(game.mappedChild(u"Content"_s)));
    if (looksLikeGame)
        return {};
    return u"The folder "_s + game.display() +
           u" does not look like the game's folder: it holds neither RailSim.exe nor the Assets "
           u"and Content folders."_s +
           kExpectedGame;
}

QString kindName(PackageKind kind)
{
    switch (kind) {
    case PackageKind::Route:
        return u"route"_s;
    case PackageKind::Scenario:
        return u"scenario"_s;
    case PackageKind::Assets:
        break;
    }
    return u"assets"_s;
}

QString outcomeName(InstallOperation::Outcome outcome)
{
    switch (outcome) {
    case InstallOperation::Outcome::Completed:
        return u"completed"_s;
    case InstallOperation::Outcome::Incomplete:
        return u"incomplete"_s;
    case InstallOperation::Outcome::Ended:
        break;
    }
    return u"ended"_s;
}

} // namespace

InstallOperation::InstallOperation(AppState& state, UserInterface& ui, QString packageFolder)
    : m_state(state), m_ui(ui), m_packageFolder(std::move(packageFolder)),
      m_packageName(QFileInfo(m_packageFolder).fileName())
{
}

InstallOperation::Outcome InstallOperation::run(PackageKind kind, const QString& gameFolderText)
{
    UserInterface& ui = m_ui;
    ui.setBusy(true);
    // However the install ends, the pointer is the default one again.
    const auto restorePointer = qScopeGuard([&ui] { ui.setBusy(false); });
    m_state.GamePath = gameFolderText;

    InstallLog log(u"install"_s, m_logCopy);
    log.write(u"veltrane"_s, u"version "_s + QString::fromLatin1(kVersionText));
    log.write(u"package"_s, m_packageName + u" in "_s +
                                HostPath::fromProgramPath(m_packageFolder).display() + u", "_s +
                                kindName(kind));
    log.write(u"game"_s, m_state.GamePath);
    const auto logOutcome = [&log](Outcome outcome) {
        log.write(u"outcome"_s, outcomeName(outcome));
        return outcome;
    };

    const QString problem = folderProblem(kind);
    if (!problem.isEmpty()) {
        ui.showMessage(problem, Icon::Exclamation);
        return logOutcome(Outcome::Ended);
    }
    const HostPath game = HostPath::fromProgramPath(m_state.GamePath);
    log.setGameFolder(game);
    UndoOperation(ui).offerRollback(game);
    const QString workFolder = chooseWorkFolder();
    if (workFolder.isEmpty()) {
        ui.showMessage(u"The install cannot begin: the package folder "_s +
                           HostPath::fromProgramPath(m_packageFolder).display() +
                           u" may not be written to, and no folder for the install's working "
                           u"files can be made in the cache folder either.\r\nNothing has been "
                           u"changed."_s,
                       Icon::Exclamation);
        return logOutcome(Outcome::Ended);
    }
    m_workFolder = workFolder;
    const auto dropWorkFolder = qScopeGuard([this] {
        if (m_workFolder != m_packageFolder) {
            std::error_code error;
            std::filesystem::remove_all(HostPath::fromProgramPath(m_workFolder).fs(), error);
        }
    });
    // Nothing the install changes may lie outside the game, the package and its working
    // files.
    const WriteBoundary boundary({game, HostPath::fromProgramPath(m_packageFolder),
                                  HostPath::fromProgramPath(m_workFolder)});
    const InstallHistory history(game);
    std::optional<ChangeJournal> journal;
    try {
        journal.emplace(game, history.newJournal(),
                        ChangeJournal::Header{m_packageName, kindName(kind)});
    } catch (const FileError& error) {
        ui.showMessage(u"The install cannot begin: "_s + error.description() +
                           u"\r\nNothing has been changed."_s,
                       Icon::Exclamation);
        return logOutcome(Outcome::Ended);
    }
    const Outcome outcome = runSteps(kind);
    try {
        if (journal->hasChanges())
            journal->finish(outcomeName(outcome));
    } catch (const FileError&) {
        // The install is over; its changes are all recorded already.
    }
    const HostPath kept = journal->folder();
    const bool changedAnything = journal->hasChanges();
    journal.reset();
    if (!changedAnything) {
        // A game the install left alone keeps no trace of it: the journals' folders go too
        // when nothing else lies in them (remove() takes no folder that is not empty).
        std::error_code error;
        std::filesystem::remove_all(kept.fs(), error);
        std::filesystem::remove(kept.parent().fs(), error);
        std::filesystem::remove(kept.parent().parent().fs(), error);
    }
    history.prune();
    return logOutcome(outcome);
}

InstallOperation::Outcome InstallOperation::runSteps(PackageKind kind)
{
    UserInterface& ui = m_ui;
    WorkReport report;
    EngineContext context{m_state, ui, m_packageFolder, m_workFolder, report};
    RouteInstaller route(context);
    ScenarioInstaller scenario(context);
    QList<InstallStep> steps;
    if (kind == PackageKind::Route)
        steps = route.steps();
    else if (kind == PackageKind::Scenario)
        steps = scenario.steps();
    steps += completionSteps(report);

    // A close of the window waits for the end of the install: the steps are short, and a
    // half install would leave the route or scenario without its files. Only a conversion,
    // which may take long, is ended by it, and counts as failed.
    for (const InstallStep& step : std::as_const(steps)) {
        InstallLog::note(u"step"_s, step.name + u": started"_s);
        const qsizetype failuresBefore = report.failures().size();
        const auto ended = [&step] {
            InstallLog::note(u"step"_s, step.name + u": ended the install"_s);
            return Outcome::Ended;
        };
        try {
            if (step.run() == Result::EndInstall)
                return ended();
        } catch (const FileError& error) {
            if (error.kind() == FileError::Kind::Journal) {
                // Without its record a change could not be undone: none is made.
                ui.showMessage(u"The install has been stopped before it changed anything more: "_s +
                                   error.description() +
                                   u"\r\nWhat it changed up to here is in its journal, and "
                                   u"undoing the last install puts it back."_s,
                               Icon::Exclamation);
                return ended();
            }
            report.fail(step.name, QString(), error.description());
            if (error.permissionDenied() && !recoverReadOnly())
                return ended();
        } catch (const std::exception& error) {
            report.fail(step.name, QString(), QString::fromLocal8Bit(error.what()));
        }
        InstallLog::note(
            u"step"_s,
            step.name + (report.failures().size() > failuresBefore ? u": failed"_s : u": done"_s));
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
    if (const InstallLog* log = InstallLog::current(); log && !log->path().isEmpty())
        text += u"\r\n\r\nThe install log: "_s + QDir::toNativeSeparators(log->path());
    ui.showMessage(text, Icon::Exclamation);
    return Outcome::Incomplete;
}

QString InstallOperation::chooseWorkFolder() const
{
    // Asked by making a file, not by the permission bits: a read-only mount, an ACL or a
    // network share answers only then.
    QTemporaryFile probe(HostPath::fromProgramPath(m_packageFolder).toString() +
                         u"/.veltrane-probe-XXXXXX"_s);
    if (probe.open())
        return m_packageFolder;
    // A package on a read-only medium or in a folder of another user's: the working files go
    // to a folder of this install's own.
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
    if (cache.isEmpty())
        return {};
    const QString folder = cache + u"/installs/"_s +
                           QDateTime::currentDateTimeUtc().toString(u"yyyyMMdd-HHmmss-zzz"_s);
    if (!QDir().mkpath(folder))
        return {};
    return QDir::toNativeSeparators(folder);
}

QString InstallOperation::gameFolderProblem(const QString& gameFolderText)
{
    if (QString missing = missingGame(gameFolderText); !missing.isEmpty())
        return missing;
    return notTheGame(HostPath::fromProgramPath(gameFolderText));
}

QString InstallOperation::folderProblem(PackageKind kind) const
{
    if (QString missing = missingGame(m_state.GamePath); !missing.isEmpty())
        return missing;
    const HostPath game = HostPath::fromProgramPath(m_state.GamePath);
    const HostPath package = HostPath::fromProgramPath(m_packageFolder);
    if (PathGuard::leadsInto(game, package))
        return u"The game folder "_s + game.display() + u" lies inside the package folder "_s +
               package.display() + u'.' + kExpectedGame;
    // An archive is unpacked into the game's own folder of the program's, which the game does
    // not read.
    const bool unpackedBeside = PathGuard::leadsInto(package, OwnFolder::in(game));
    if (PathGuard::leadsInto(package, game) && !unpackedBeside)
        return u"The package folder "_s + package.display() + u" lies inside the game folder "_s +
               game.display() + u". Unzip the package into a folder of its own."_s;
    if (QString notGame = notTheGame(game); !notGame.isEmpty())
        return notGame;

    const bool holdsSomething =
        kind != PackageKind::Assets || isFolder(package.mappedChild(u"Rail Simulator"_s));
    if (!holdsSomething)
        return u"The package folder "_s + package.display() +
               u" holds nothing to install: no Veltrane.xxx, no Scenario.zzz and no \"Rail "
               u"Simulator\" folder.\r\nStart Veltrane from the folder of an unzipped "
               u"package."_s;
    return {};
}

bool InstallOperation::recoverReadOnly()
{
    const bool yes = m_ui.askYesNo(
        u"Some folders/files in your copy of Rail Simulator are Read Only and cannot be "
        u"overwritten.\r\nDo you wish them to be changed to Read/Write. Once completed run "
        u"this Setup again to finish\r\ninstallation."_s);
    if (!yes)
        return false;
    const QStringList problems = AttributeClearer::makeWritable(
        HostPath::fromProgramPath(m_state.GamePath), kNormalWindow, m_ui);
    m_ui.setBusy(false);
    if (problems.isEmpty()) {
        m_ui.showMessage(u"All files are now Read/Write"_s, Icon::Exclamation);
    } else {
        QStringList named = problems.mid(0, kNamedEntries);
        if (problems.size() > kNamedEntries)
            named.append(u"and "_s + QString::number(problems.size() - kNamedEntries) + u" more"_s);
        m_ui.showMessage(u"These files and folders could not be changed to Read/Write:\r\n"_s +
                             named.join(u"\r\n"_s),
                         Icon::Exclamation);
    }
    m_ui.setBusy(true);
    return true;
}

QList<InstallStep> InstallOperation::completionSteps(WorkReport& report)
{
    const QString gamePath = m_state.GamePath;
    UserInterface& ui = m_ui;
    const QString packageFolder = m_packageFolder;
    QList<InstallStep> steps;

    steps.append({u"Reading AssetSetup.ggg"_s, [packageFolder, &ui] {
                      // Read when present; nothing uses its first item yet.
                      const HostPath path =
                          HostPath::fromProgramPath(packageFolder + u"\\AssetSetup.ggg"_s);
                      if (fileExists(path)) {
                          QString text;
                          readTextFile(ui, path, text);
                          [[maybe_unused]] const QString first =
                              FreeFormatReader::items(text).value(0);
                      }
                      return Result::Next;
                  }});

    steps.append({kCopyStep, [packageFolder, gamePath, movable = m_packageMovable, &ui, &report] {
                      const HostPath source =
                          HostPath::fromProgramPath(packageFolder + u"\\Rail Simulator"_s);
                      // A route or scenario package may bring no files of its own.
                      if (!QFileInfo(source.toString()).exists() &&
                          !QFileInfo(source.toString()).isSymLink())
                          return Result::Next;
                      const HostPath game = HostPath::fromProgramPath(gamePath);
                      const qint64 copied =
                          movable
                              ? FolderMove(ui, &report, kCopyStep).moveFolder(source, game, true)
                              : FolderCopy(ui, &report, kCopyStep).copyFolder(source, game, true);
                      report.done(QString::number(copied) +
                                  (copied == 1 ? u" file was"_s : u" files were"_s) +
                                  u" copied into the game folder"_s);
                      return Result::Next;
                  }});

    // Batch files run by our own interpreter may touch the game and the package only.
    const std::vector<HostPath> roots{HostPath::fromProgramPath(gamePath),
                                      HostPath::fromProgramPath(packageFolder)};

    steps.append({kPackageBatchStep, [gamePath, roots, &ui, &report] {
                      const HostPath batch =
                          HostPath::fromProgramPath(gamePath + u"\\RS-Install.bat"_s);
                      if (!fileExists(batch))
                          return Result::Next;
                      const ProcessResult result =
                          BatchFileRunner(ui, roots).run(batch, gamePath, kNormalWindow);
                      if (result.succeeded())
                          report.done(u"the package's batch file RS-Install.bat was run"_s);
                      else
                          report.fail(kPackageBatchStep, batch.display(), result.failure());
                      ui.processEvents();
                      FileOps::removeFile(batch);
                      ui.processEvents();
                      return Result::Next;
                  }});

    steps.append({u"Writing del_blueprints.bat"_s, [gamePath] {
                      FileOps::writeWhole(
                          HostPath::fromProgramPath(gamePath + u"\\Assets\\del_blueprints.bat"_s),
                          "DEL Blueprints.PAK /S\r\n");
                      return Result::Next;
                  }});

    steps.append({kCacheStep, [gamePath, roots, &ui, &report] {
                      const QString assets = gamePath + u"\\Assets"_s;
                      ui.processEvents();
                      const HostPath assetsHost = HostPath::fromProgramPath(assets);
                      if (!folderExists(assetsHost))
                          throw FileError(FileError::Kind::Other, u"The folder "_s +
                                                                      assetsHost.display() +
                                                                      u" does not exist"_s);
                      const HostPath batch = assetsHost.mappedChild(u"del_blueprints.bat"_s);
                      // Our own one line needs no Windows interpreter, and ours walks the
                      // tree many times faster than Wine's.
                      const ProcessResult result = BatchFileRunner(ui, roots).run(
                          batch, assets, kNormalWindow, BatchFileRunner::Author::Program);
                      if (result.succeeded())
                          report.done(u"the blueprint caches were cleared"_s);
                      else
                          report.fail(kCacheStep, QString(), result.failure());
                      ui.processEvents();
                      FileOps::removeFile(batch);
                      ui.processEvents();
                      return Result::Next;
                  }});
    return steps;
}

} // namespace veltrane
