#include "WindowlessRun.h"

#include "install/InstallOperation.h"
#include "journal/JournalFormat.h"
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
    case UndoOperation::Outcome::Declined:
        break;
    }
    return ExitStatus::EndedEarly;
}

} // namespace

WindowlessRun::WindowlessRun(const CommandLine& line, QString programFolder, UserInterface& ui)
    : m_line(line), m_programFolder(std::move(programFolder)), m_ui(ui)
{
}

ExitStatus WindowlessRun::run()
{
    if (!m_line.logCopy.isEmpty()) {
        // Asked for, the log must be there afterwards: a file that cannot be written stops
        // the run before it begins.
        QFile log(m_line.logCopy);
        if (!log.open(QIODevice::Append))
            return refuse(u"The log file "_s + QDir::toNativeSeparators(m_line.logCopy) +
                          u" cannot be written: "_s + log.errorString());
    }
    return m_line.action == CommandLine::Action::Undo ? undo() : install();
}

ExitStatus WindowlessRun::refuse(const QString& why)
{
    m_ui.showMessage(why, Icon::Critical);
    return ExitStatus::BadUsage;
}

QString WindowlessRun::gameFolder()
{
    QString game = m_line.game.isEmpty() ? PackageFolder::defaultGameFolder() : m_line.game;
    if (game.trimmed().isEmpty()) {
        refuse(u"No game folder was given, and none was found. Give the folder of Rail "
               u"Simulator with --game FOLDER."_s);
        return {};
    }
    if (const QString problem = InstallOperation::gameFolderProblem(game); !problem.isEmpty()) {
        refuse(problem);
        return {};
    }
    return game;
}

ExitStatus WindowlessRun::install()
{
    const QString game = gameFolder();
    if (game.isEmpty())
        return ExitStatus::BadUsage;
    const QString given = m_line.package.isEmpty() ? m_programFolder : m_line.package;
    // An archive is unpacked beside the game, on its own file system, so that its files can
    // be moved into place; the game does not look into this folder. A run that leaves the
    // game alone takes the folder away again, once the unpacked files (destroyed first,
    // being declared later) are gone.
    const HostPath unpackParent = OwnFolder::in(HostPath::fromProgramPath(game));
    const bool unpackParentExisted = QFileInfo::exists(unpackParent.toString());
    const auto removeEmptyUnpackParent = qScopeGuard([&] {
        if (!unpackParentExisted)
            QDir().rmdir(unpackParent.toString());
    });
    PackageSource source(given);
    if (!source.isArchive() && !QFileInfo(given).isDir())
        return refuse(u"The package "_s + QDir::toNativeSeparators(given) +
                      u" is neither a folder nor a zip archive."_s);
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
    if (!PackageFolder::holdsPackage(source.folder()))
        return refuse(u"The folder "_s + source.folder() +
                      u" holds no package: no Veltrane.xxx, no Scenario.zzz and no \"Rail "
                      u"Simulator\" folder."_s);

    AppState state;
    InstallOperation operation(state, m_ui, source.folder());
    operation.setPackageName(source.name());
    operation.setPackageMovable(source.movable());
    operation.setLogCopy(m_line.logCopy);
    return statusOf(operation.run(PackageFolder::kindOf(source.folder()), game));
}

ExitStatus WindowlessRun::undo()
{
    const QString text = gameFolder();
    if (text.isEmpty())
        return ExitStatus::BadUsage;
    const HostPath game = HostPath::fromProgramPath(text);
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

} // namespace veltrane
