#include "WindowlessRun.h"

#include "ConsoleUserInterface.h"
#include "install/GameFolder.h"
#include "install/InstallOperation.h"
#include "install/LogCopyCheck.h"
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
#include <QScopeGuard>

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

} // namespace

WindowlessRun::WindowlessRun(const CommandLine& line, QString programFolder, UserInterface& ui,
                             ConsoleUserInterface* console)
    : m_line(line), m_programFolder(std::move(programFolder)), m_ui(ui), m_console(console)
{
}

void WindowlessRun::printLine(const QString& kind, const QString& text) const
{
    if (m_console && !text.isEmpty())
        m_console->print(kind, text);
}

ExitStatus WindowlessRun::run()
{
    return m_line.action == CommandLine::Action::Undo ? undo() : install();
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
    const QString given = m_line.package.isEmpty() ? m_programFolder : m_line.package;
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
    if (!source.isArchive() && !QFileInfo(given).isDir())
        return refuse(
            u"The package "_s + QDir::toNativeSeparators(given) +
            u" is neither a folder nor a package archive (zip, 7z, rar, tar or tar.gz)."_s);
    if (source.isArchive()) {
        try {
            if (!QDir().mkpath(unpackParent.toString()))
                throw FileError(FileError::Kind::Other,
                                u"The folder "_s + unpackParent.display() + u" cannot be made"_s);
            source.open(unpackParent);
        } catch (const FileError& error) {
            return refuse(u"The package "_s + QDir::toNativeSeparators(given) +
                          u" cannot be installed: "_s + error.description() +
                          u"\r\nNothing has been changed."_s);
        }
    }
    const std::optional<PackageKind> kind = source.kind();
    if (!kind)
        return refuse(u"The folder "_s + source.folder().display() +
                      u" holds no package: no Veltrane.xxx, no Scenario.zzz and no \"Rail "
                      u"Simulator\" folder."_s);

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

ExitStatus WindowlessRun::undo()
{
    const auto found = gameFolder();
    if (!found)
        return ExitStatus::BadUsage;
    const HostPath& game = found->second;
    if (const Expected<void> log = checkedLogCopy(game, {}); !log)
        return refuse(log.message());
    UndoOperation operation(m_ui);
    operation.setLogCopy(m_line.logCopy);
    // An install cut short comes first: the last finished one lies under it.
    UndoOperation::Outcome outcome = operation.offerRollback(game);
    if (outcome == UndoOperation::Outcome::Nothing)
        outcome = operation.undo(game, 0);
    if (outcome == UndoOperation::Outcome::Nothing)
        m_ui.showMessage(u"No install into the game folder "_s + game.display() +
                             u" can be undone."_s,
                         Icon::Information);
    printLine(u"log"_s, QDir::toNativeSeparators(operation.logPath()));
    return statusOf(outcome);
}

} // namespace veltrane
