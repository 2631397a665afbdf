#include "UndoOperation.h"

#include "GameLock.h"
#include "InstallHistory.h"
#include "InstallTransaction.h"
#include "Inventory.h"
#include "JournalCheck.h"
#include "JournalReplay.h"
#include "TextFileWriter.h"
#include "util/InstallLog.h"
#include "util/LoggedUserInterface.h"
#include "util/UserInterface.h"
#include "util/Version.h"

#include <QScopeGuard>

using namespace Qt::StringLiterals;

namespace veltrane {

namespace {

using Icon = UserInterface::Icon;
// At most this many files are named in a message; the rest are counted.
constexpr qsizetype kNamed = 10;

QString listed(const QStringList& items)
{
    QStringList shown = items.mid(0, kNamed);
    if (items.size() > kNamed)
        shown.append(u"and "_s + QString::number(items.size() - kNamed) + u" more"_s);
    return shown.join(u"\r\n"_s);
}

QString told(const QString& what, const JournalReplay::Result& result)
{
    const auto count = [](int n, const QString& one, const QString& many) {
        return QString::number(n) + u' ' + (n == 1 ? one : many);
    };
    QString text = what + u": "_s +
                   count(result.restored, u"file or folder was put back, "_s,
                         u"files and folders were put back, "_s) +
                   count(result.removed, u"that it had added was removed."_s,
                         u"that it had added were removed."_s);
    if (!result.kept.isEmpty())
        text += u"\r\n\r\nThese had changed since and were kept as they are:\r\n"_s +
                listed(result.kept);
    if (!result.failed.isEmpty())
        text += u"\r\n\r\nThese could not be put back; the journal is kept, so that the undo can "
                u"be tried again:\r\n"_s +
                listed(result.failed);
    if (!result.beyondReach.isEmpty())
        text += u"\r\n\r\nThe package's batch file changed or removed these files in Wine's "
                u"command interpreter; they cannot be put back:\r\n"_s +
                listed(result.beyondReach);
    if (result.wineRan)
        text += u"\r\n\r\nThe package's batch file ran in Wine's command interpreter: what it "
                u"changed outside the game folder cannot be undone."_s;
    return text;
}

// The log of one undo, begun with the program's version and the game folder.
void startLog(InstallLog& log, const HostPath& game, const QString& what)
{
    log.setGameFolder(game);
    log.write(u"veltrane"_s, u"version "_s + QString::fromLatin1(kVersionText));
    log.write(u"undo"_s, what + u" in "_s + game.display());
}

} // namespace

bool UndoOperation::replayable(const InstallHistory::Install& install, const HostPath& game,
                               UserInterface& ui)
{
    const Expected<void> whole = JournalCheck::check(install, game);
    if (whole)
        return true;
    const Expected<HostPath> aside = JournalCheck::setAside(install, game);
    ui.showMessage(whole.message() +
                       (aside ? u"\r\nIt has been set aside in "_s + aside->display()
                              : u"\r\nIt has been removed"_s) +
                       u" and will never be replayed. Nothing has been changed."_s,
                   Icon::Exclamation);
    return false;
}

bool UndoOperation::mayTakeBack(const QList<InstallHistory::Install>& installs,
                                const HostPath& game, UserInterface& ui)
{
    for (const InstallHistory::Install& install : installs) {
        if (!install.undoable) {
            ui.showMessage(u"The install "_s + InstallHistory::describe(install) +
                               u" can no longer be undone: the copies it kept of the files it "
                               u"replaced were dropped to keep within the disk space set aside "
                               u"for them. Nothing has been changed."_s,
                           Icon::Exclamation);
            return false;
        }
        if (!replayable(install, game, ui))
            return false;
    }
    return true;
}

bool UndoOperation::lock(GameLock& own)
{
    if (m_heldLock)
        return true;
    if (const Expected<void> locked = own.take(); !locked) {
        m_ui.showMessage(locked.message(), Icon::Exclamation);
        return false;
    }
    return true;
}

UndoOperation::Outcome UndoOperation::takeBack(const QList<InstallHistory::Install>& installs,
                                               const HostPath& game, UserInterface& ui,
                                               InstallLog& log, Inventory& inventory)
{
    ui.setBusy(true);
    InstallTransaction transaction(log, {game});
    QStringList texts;
    bool whole = true;
    for (const InstallHistory::Install& install : installs) {
        // Nobody changed the files of an install cut short since: it is taken back as it is.
        const JournalReplay::Result result =
            JournalReplay(ui, transaction.files(), game).undo(install, install.finished);
        whole = whole && result.failed.isEmpty() && result.kept.isEmpty() &&
                result.beyondReach.isEmpty();
        texts.append(told(
            u"The install "_s + InstallHistory::describe(install) + u" has been undone"_s, result));
        if (!result.failed.isEmpty())
            break; // an older install cannot be undone over what this one left
        if (const Expected<void> marked = inventory.markTakenBack(install.journal.fileName());
            !marked)
            log.write(u"inventory"_s, marked.message());
    }
    ui.setBusy(false);
    ui.showMessage(texts.join(u"\r\n\r\n"_s), whole ? Icon::Information : Icon::Exclamation);
    log.write(u"outcome"_s, whole ? u"undone"_s : u"partly undone"_s);
    return whole ? Outcome::Undone : Outcome::Partly;
}

UndoOperation::Outcome UndoOperation::offerRollback(const HostPath& game)
{
    if (!InstallHistory(game).interrupted())
        return Outcome::Nothing;
    // Only while this program holds the game is an install without its end one cut short.
    GameLock ownLock(game);
    if (!m_heldLock && !ownLock.take())
        return Outcome::Nothing;
    const std::optional<InstallHistory::Install> interrupted = InstallHistory(game).interrupted();
    if (!interrupted)
        return Outcome::Nothing;
    InstallLog log(u"undo"_s, m_logCopy);
    m_logPath = log.path();
    const auto copyLog = qScopeGuard([&log] { static_cast<void>(writeLogCopy(log)); });
    startLog(log, game, u"rollback of "_s + InstallHistory::describe(*interrupted));
    // What the user is shown and answers goes to the log as well.
    LoggedUserInterface ui(m_ui, log);
    if (!mayTakeBack({*interrupted}, game, ui)) {
        log.write(u"outcome"_s, u"refused"_s);
        return Outcome::Refused;
    }
    if (!ui.askYesNo(u"An install into the game folder "_s + game.display() +
                     u" did not finish: "_s + InstallHistory::describe(*interrupted) +
                     u".\r\nThe program was ended before it was done. Put every file back as "
                     u"it was before that install?"_s)) {
        log.write(u"outcome"_s, u"declined"_s);
        return Outcome::Declined;
    }
    Inventory inventory = Inventory::open(game, ui);
    ui.setBusy(true);
    InstallTransaction transaction(log, {game});
    const JournalReplay::Result result =
        JournalReplay(ui, transaction.files(), game).undo(*interrupted, false);
    ui.setBusy(false);
    if (result.failed.isEmpty())
        static_cast<void>(inventory.markTakenBack(interrupted->journal.fileName()));
    const bool whole =
        result.failed.isEmpty() && result.kept.isEmpty() && result.beyondReach.isEmpty();
    ui.showMessage(told(u"The install that did not finish has been taken back"_s, result),
                   whole ? Icon::Information : Icon::Exclamation);
    log.write(u"outcome"_s, whole ? u"undone"_s : u"partly undone"_s);
    return whole ? Outcome::Undone : Outcome::Partly;
}

UndoOperation::Outcome UndoOperation::undo(const HostPath& game, int index)
{
    if (index < 0 || index >= InstallHistory(game).installs().size())
        return Outcome::Nothing;
    GameLock ownLock(game);
    if (!lock(ownLock))
        return Outcome::Refused;
    const QList<InstallHistory::Install> installs = InstallHistory(game).installs();
    if (index < 0 || index >= installs.size())
        return Outcome::Nothing;
    InstallLog log(u"undo"_s, m_logCopy);
    m_logPath = log.path();
    const auto copyLog = qScopeGuard([&log] { static_cast<void>(writeLogCopy(log)); });
    startLog(log, game, InstallHistory::describe(installs[index]));
    LoggedUserInterface ui(m_ui, log);
    if (!mayTakeBack(installs.mid(0, index + 1), game, ui)) {
        log.write(u"outcome"_s, u"refused"_s);
        return Outcome::Refused;
    }
    QString question = u"Undo the install "_s + InstallHistory::describe(installs[index]) +
                       u"?\r\nEvery file it replaced or removed is put back as it was before it, "
                       u"and what it added is removed."_s;
    if (index > 0) {
        QStringList newer;
        for (int i = 0; i < index; ++i)
            newer.append(InstallHistory::describe(installs[i]));
        question += index == 1 ? u"\r\n\r\nThe install made after it is undone first:\r\n"_s
                               : u"\r\n\r\nThe "_s + QString::number(index) +
                                     u" installs made after it are undone first, the newest "
                                     u"first:\r\n"_s;
        question += listed(newer);
    }
    if (!ui.askYesNo(question)) {
        log.write(u"outcome"_s, u"declined"_s);
        return Outcome::Declined;
    }
    Inventory inventory = Inventory::open(game, ui);
    return takeBack(installs.mid(0, index + 1), game, ui, log, inventory);
}

UndoOperation::Outcome UndoOperation::uninstall(const HostPath& game, int id)
{
    GameLock ownLock(game);
    if (!lock(ownLock))
        return Outcome::Refused;
    InstallLog log(u"undo"_s, m_logCopy);
    const auto copyLog = qScopeGuard([&log] { static_cast<void>(writeLogCopy(log)); });
    startLog(log, game, u"install "_s + QString::number(id));
    LoggedUserInterface ui(m_ui, log);
    const auto refuse = [&](const QString& why) {
        ui.showMessage(why + u" Nothing has been changed."_s, Icon::Exclamation);
        log.write(u"outcome"_s, u"refused"_s);
        return Outcome::Refused;
    };
    Inventory inventory = Inventory::open(game, ui);
    const std::optional<InstallRecord> target = inventory.install(id);
    if (!target)
        return refuse(u"The game folder "_s + game.display() + u" has no install numbered "_s +
                      QString::number(id) + u"; veltrane --list names its installs."_s);
    if (target->state == InstallRecord::State::TakenBack)
        return refuse(u"The install "_s + QString::number(id) + u", "_s + target->package +
                      u", has been taken back already."_s);
    const QList<InstallRecord> over = inventory.installsOver(id);
    QList<InstallHistory::Install> installs;
    for (const InstallRecord& install : over + QList<InstallRecord>{*target}) {
        const auto journal = InstallHistory(game).install(install.journal);
        if (!journal)
            return refuse(u"The journal of the install "_s + QString::number(install.id) +
                          u" cannot be read."_s);
        installs.append(*journal);
    }
    if (!mayTakeBack(installs, game, ui)) {
        log.write(u"outcome"_s, u"refused"_s);
        return Outcome::Refused;
    }
    if (!over.isEmpty()) {
        QStringList later;
        for (const InstallHistory::Install& install : installs.mid(0, over.size()))
            later.append(QString::number(install.id) + u": "_s + InstallHistory::describe(install));
        const bool yes =
            ui.askYesNo(u"Take back the install "_s + QString::number(id) + u": "_s +
                        InstallHistory::describe(installs.last()) +
                        u"?\r\n\r\nLater installs changed files "_s +
                        u"it changed too; they must be taken back first, the newest first:\r\n"_s +
                        listed(later));
        if (!yes) {
            log.write(u"outcome"_s, u"declined"_s);
            return Outcome::Declined;
        }
    }
    return takeBack(installs, game, ui, log, inventory);
}

} // namespace veltrane
