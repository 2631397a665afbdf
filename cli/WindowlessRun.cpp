#include "WindowlessRun.h"

#include "ConsoleUserInterface.h"
#include "install/GameFolder.h"
#include "install/InstallOperation.h"
#include "install/InstallPlanner.h"
#include "install/LogCopyCheck.h"
#include "journal/Inventory.h"
#include "journal/UndoOperation.h"
#include "package/PackageFolder.h"
#include "package/PackageSource.h"
#include "util/AppState.h"
#include "util/FileError.h"
#include "util/OwnFolder.h"
#include "util/UserInterface.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

namespace veltrane {

namespace {

using Icon = UserInterface::Icon;

ExitStatus statusOf(InstallOperation::Outcome outcome)
{
    switch (outcome) {
    case InstallOperation::Outcome::Completed:
        return ExitStatus::Done;
    case InstallOperation::Outcome::Incomplete:
        return ExitStatus::StepFailed;
    case InstallOperation::Outcome::Refused:
        return ExitStatus::BadUsage;
    case InstallOperation::Outcome::Cancelled:
    case InstallOperation::Outcome::Ended:
        break;
    }
    return ExitStatus::EndedEarly;
}

ExitStatus statusOf(UndoOperation::Outcome outcome)
{
    switch (outcome) {
    case UndoOperation::Outcome::Undone:
    case UndoOperation::Outcome::Nothing:
        return ExitStatus::Done;
    case UndoOperation::Outcome::Partly:
        return ExitStatus::StepFailed;
    case UndoOperation::Outcome::Refused:
        return ExitStatus::BadUsage;
    case UndoOperation::Outcome::Declined:
        break;
    }
    return ExitStatus::EndedEarly;
}

// The outermost folder of path that does not exist yet; empty when all do.
QString firstMissing(const QString& path)
{
    QString missing;
    for (QString folder = path; !folder.isEmpty() && !QFileInfo::exists(folder);) {
        missing = folder;
        const QString parent = QFileInfo(folder).path();
        if (parent == folder)
            break;
        folder = parent;
    }
    return missing;
}

} // namespace

WindowlessRun::WindowlessRun(const CommandLine& line, QString programFolder, UserInterface& ui,
                             ConsoleUserInterface* console, std::FILE* out)
    : m_line(line), m_programFolder(std::move(programFolder)), m_ui(ui), m_console(console),
      m_out(out)
{
}

void WindowlessRun::printLine(const QString& kind, const QString& text) const
{
    if (m_console && !text.isEmpty())
        m_console->print(kind, text);
}

ExitStatus WindowlessRun::run()
{
    switch (m_line.action) {
    case CommandLine::Action::Undo:
        return undo();
    case CommandLine::Action::DryRun:
        return dryRun();
    case CommandLine::Action::List:
        return list();
    case CommandLine::Action::Uninstall:
        return uninstall();
    default:
        break;
    }
    return install();
}

std::optional<PackageKind> WindowlessRun::openPackage(PackageSource& source,
                                                      const std::function<HostPath()>& unpackParent)
{
    const QString given = packageGiven();
    if (!source.isArchive() && !QFileInfo(given).isDir()) {
        refuse(u"The package "_s + QDir::toNativeSeparators(given) +
               u" is neither a folder nor a package archive (zip, 7z, rar, tar or tar.gz)."_s);
        return std::nullopt;
    }
    if (source.isArchive()) {
        try {
            source.open(unpackParent());
        } catch (const FileError& error) {
            refuse(u"The package "_s + QDir::toNativeSeparators(given) +
                   u" cannot be installed: "_s + error.description() +
                   u"\r\nNothing has been changed."_s);
            return std::nullopt;
        }
    }
    const std::optional<PackageKind> kind = source.kind();
    if (!kind)
        refuse(u"The folder "_s + source.folder().display() +
               u" holds no package: no Veltrane.xxx, no Scenario.zzz and no \"Rail "
               u"Simulator\" folder."_s);
    return kind;
}

QString WindowlessRun::packageGiven() const
{
    return m_line.package.isEmpty() ? m_programFolder : m_line.package;
}

Expected<void> WindowlessRun::checkedLogCopy(const HostPath& game, const HostPath& package) const
{
    // Asked for, the log must be there afterwards: a file that cannot be written stops the
    // run before it begins.
    if (m_line.logCopy.isEmpty())
        return {};
    return LogCopyCheck::check(m_line.logCopy, game, package);
}

ExitStatus WindowlessRun::refuse(const QString& why)
{
    m_ui.showMessage(why, Icon::Critical);
    return ExitStatus::BadUsage;
}

std::optional<std::pair<QString, HostPath>> WindowlessRun::gameFolder()
{
    const GameFolder::Search search =
        m_line.game.isEmpty() ? GameFolder::find() : GameFolder::Search{m_line.game, {}};
    const QString text = search.folder;
    if (text.trimmed().isEmpty()) {
        refuse(u"No game folder was given, and none was found. Give the folder of Rail "
               u"Simulator with --game FOLDER."_s +
               GameFolder::whereLooked(search.placesLooked));
        return std::nullopt;
    }
    const HostPath game = GameFolder::fromText(text);
    if (const Expected<void> isGame = GameFolder::check(game); !isGame) {
        refuse(isGame.message());
        return std::nullopt;
    }
    return std::pair(text, game);
}

ExitStatus WindowlessRun::install()
{
    const auto game = gameFolder();
    if (!game)
        return ExitStatus::BadUsage;
    const QString given = packageGiven();
    if (const Expected<void> log = checkedLogCopy(game->second, HostPath::fromHost(given)); !log)
        return refuse(log.message());
    // An archive is unpacked beside the game, on its own file system, so that its files can
    // be moved into place; the game does not look into this folder. A run that leaves the
    // game alone takes the folder away again, once the unpacked files (destroyed first,
    // being declared later) are gone.
    const HostPath unpackParent = OwnFolder::in(game->second);
    const bool unpackParentExisted = QFileInfo::exists(unpackParent.toString());
    const auto removeEmptyUnpackParent = qScopeGuard([&] {
        if (!unpackParentExisted)
            QDir().rmdir(unpackParent.toString());
    });
    PackageSource source(given);
    const std::optional<PackageKind> kind = openPackage(source, [&]() -> const HostPath& {
        if (!QDir().mkpath(unpackParent.toString()))
            throw FileError(FileError::Kind::Other,
                            u"The folder "_s + unpackParent.display() + u" cannot be made"_s);
        return unpackParent;
    });
    if (!kind)
        return ExitStatus::BadUsage;

    InstallRequest request = InstallRequest::forPackage(source, *kind);
    request.gameText = game->first;
    request.game = game->second;
    request.logCopy = m_line.logCopy;
    const QString display = PackageFolder::displayName(source.folder(), *kind);
    printLine(u"package"_s, source.name() + u" ("_s + PackageFolder::kindName(*kind) +
                                (display.isEmpty() ? QString() : u", "_s + display) + u')');
    // As the user gave it, and where that is on this system when it is a Windows path.
    const QString real =
        QDir::toNativeSeparators(QFileInfo(game->second.toString()).canonicalFilePath());
    printLine(u"game"_s, game->first == real ? real : game->first + u" ("_s + real + u')');
    AppState state;
    InstallOperation operation(state, m_ui, std::move(request));
    const ExitStatus status = statusOf(operation.run());
    printLine(u"log"_s, QDir::toNativeSeparators(operation.logPath()));
    return status;
}

ExitStatus WindowlessRun::dryRun()
{
    const auto game = gameFolder();
    if (!game)
        return ExitStatus::BadUsage;
    // An archive is unpacked where the game is not: into a folder of the user's cache that
    // goes when the run ends, with the folders made for it.
    std::optional<QTemporaryDir> unpackParent;
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
    QString made;
    const auto removeMade = qScopeGuard([&] {
        unpackParent.reset();
        for (QString folder = cache; !made.isEmpty(); folder = QFileInfo(folder).path()) {
            if (!QDir().rmdir(folder) || folder == made)
                break;
        }
    });
    PackageSource source(packageGiven());
    const std::optional<PackageKind> kind = openPackage(source, [&] {
        made = firstMissing(cache);
        if (cache.isEmpty() || !QDir().mkpath(cache) ||
            !unpackParent.emplace(cache + u"/dry-run-XXXXXX"_s).isValid())
            throw FileError(FileError::Kind::Other,
                            u"no folder to unpack it into can be made in "_s + cache);
        return HostPath::fromHost(unpackParent->path());
    });
    if (!kind)
        return ExitStatus::BadUsage;

    InstallRequest request = InstallRequest::forPackage(source, *kind);
    request.gameText = game->first;
    request.game = game->second;
    AppState state;
    // Refused as the install would refuse it, before anything is worked out.
    if (const Expected<void> folders = InstallOperation(state, m_ui, request).checkFolders();
        !folders)
        return refuse(folders.message());
    // Read only: a dry run leaves the game as it was, without even the program's folder.
    const Inventory inventory = Inventory::open(request.game, m_ui, Inventory::Access::ReadOnly);
    InstallPlanner planner(request, InstallPlanner::ownersIn(inventory.ownerLookup()));
    // The install unpacks an archive beside the game, on its disk.
    planner.setUnpackedByTheInstall(source.isArchive());
    const InstallPlan plan = planner.make();
    const QByteArray text = plan.text().toLocal8Bit();
    std::fwrite(text.constData(), 1, std::size_t(text.size()), m_out);
    std::fflush(m_out);
    return plan.stop.isEmpty() ? ExitStatus::Done : ExitStatus::EndedEarly;
}

ExitStatus WindowlessRun::takeBack(
    const std::function<UndoOperation::Outcome(UndoOperation&, const HostPath&)>& work)
{
    const auto found = gameFolder();
    if (!found)
        return ExitStatus::BadUsage;
    const HostPath& game = found->second;
    if (const Expected<void> log = checkedLogCopy(game, {}); !log)
        return refuse(log.message());
    UndoOperation operation(m_ui);
    operation.setLogCopy(m_line.logCopy);
    const UndoOperation::Outcome outcome = work(operation, game);
    printLine(u"log"_s, QDir::toNativeSeparators(operation.logPath()));
    return statusOf(outcome);
}

ExitStatus WindowlessRun::undo()
{
    return takeBack([this](UndoOperation& operation, const HostPath& game) {
        // An install cut short comes first: the last finished one lies under it.
        UndoOperation::Outcome outcome = operation.offerRollback(game);
        if (outcome == UndoOperation::Outcome::Nothing)
            outcome = operation.undo(game, 0);
        if (outcome == UndoOperation::Outcome::Nothing)
            m_ui.showMessage(u"No install into the game folder "_s + game.display() +
                                 u" can be undone."_s,
                             Icon::Information);
        return outcome;
    });
}

ExitStatus WindowlessRun::list()
{
    const auto found = gameFolder();
    if (!found)
        return ExitStatus::BadUsage;
    const HostPath& game = found->second;
    const QFileInfo own(OwnFolder::in(game).toString());
    if (own.exists() && !QDir(own.filePath()).isReadable())
        return refuse(u"The program's folder "_s + OwnFolder::in(game).display() +
                      u" in the game folder cannot be read, so its installs cannot be listed."_s);
    // Read only: a list changes nothing, not even the inventory, and needs no lock.
    const Inventory inventory = Inventory::open(game, m_ui, Inventory::Access::ReadOnly);
    for (const InstallRecord& install : inventory.installs()) {
        QStringList fields{QString::number(install.id),
                           install.started.toUTC().toString(Qt::ISODate),
                           install.kind,
                           install.package,
                           QString::number(install.fileCount),
                           install.stateText()};
        // A name with a tab or a line break would break the line into fields.
        for (QString& field : fields)
            field.replace(QRegularExpression(u"[\\t\\r\\n]"_s), u" "_s);
        const QByteArray line = (fields.join(u'\t') + u'\n').toLocal8Bit();
        std::fwrite(line.constData(), 1, size_t(line.size()), m_out);
    }
    std::fflush(m_out);
    return ExitStatus::Done;
}

ExitStatus WindowlessRun::uninstall()
{
    return takeBack([this](UndoOperation& operation, const HostPath& game) {
        return operation.uninstall(game, m_line.installId);
    });
}

} // namespace veltrane
