#include "WindowlessRun.h"

#include "install/GameFolder.h"
#include "install/InstallOperation.h"
#include "install/LogCopyCheck.h"
#include "journal/Inventory.h"
#include "journal/UndoOperation.h"
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
                             std::FILE* out)
    : m_line(line), m_programFolder(std::move(programFolder)), m_ui(ui), m_out(out)
{
}

ExitStatus WindowlessRun::run()
{
    switch (m_line.action) {
    case CommandLine::Action::Undo:
        return undo();
    case CommandLine::Action::List:
        return list();
    case CommandLine::Action::Uninstall:
        return uninstall();
    default:
        break;
    }
    return install();
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
    const QString text = m_line.game.isEmpty() ? GameFolder::defaultFolder() : m_line.game;
    if (text.trimmed().isEmpty()) {
        refuse(u"No game folder was given, and none was found. Give the folder of Rail "
               u"Simulator with --game FOLDER."_s);
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
    AppState state;
    return statusOf(InstallOperation(state, m_ui, std::move(request)).run());
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
    return statusOf(outcome);
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
        QString state = InstallRecord::stateName(install.state);
        if (install.state != InstallRecord::State::TakenBack && !install.undoable)
            state += u", not undoable"_s;
        QStringList fields{QString::number(install.id),
                           install.started.toUTC().toString(Qt::ISODate),
                           install.kind,
                           install.package,
                           QString::number(install.fileCount),
                           state};
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
    const auto found = gameFolder();
    if (!found)
        return ExitStatus::BadUsage;
    const HostPath& game = found->second;
    if (const Expected<void> log = checkedLogCopy(game, {}); !log)
        return refuse(log.message());
    UndoOperation operation(m_ui);
    operation.setLogCopy(m_line.logCopy);
    return statusOf(operation.uninstall(game, m_line.installId));
}

} // namespace veltrane
