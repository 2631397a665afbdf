#include "UndoOperation.h"

#include "GameLock.h"
#include "InstallHistory.h"
#include "InstallTransaction.h"
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
    if (!replayable(*interrupted, game, ui)) {
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
    ui.setBusy(true);
    InstallTransaction transaction(log, {game});
    const JournalReplay::Result result =
        JournalReplay(ui, transaction.files(), game).undo(*interrupted, false);
    ui.setBusy(false);
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
    if (!m_heldLock) {
        if (const Expected<void> locked = ownLock.take(); !locked) {
            m_ui.showMessage(locked.message(), Icon::Exclamation);
            return Outcome::Refused;
        }
    }
    const QList<InstallHistory::Install> installs = InstallHistory(game).installs();
    if (index < 0 || index >= installs.size())
        return Outcome::Nothing;
    InstallLog log(u"undo"_s, m_logCopy);
    m_logPath = log.path();
    const auto copyLog = qScopeGuard([&log] { static_cast<void>(writeLogCopy(log)); });
    startLog(log, game, InstallHistory::describe(installs[index]));
    LoggedUserInterface ui(m_ui, log);
    for (int i = 0; i <= index; ++i) {
        if (!replayable(installs[i], game, ui)) {
            log.write(u"outcome"_s, u"refused"_s);
            return Outcome::Refused;
        }
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

    ui.setBusy(true);
    InstallTransaction transaction(log, {game});
    QStringList texts;
    bool whole = true;
    for (int i = 0; i <= index; ++i) {
        // Nobody changed the files of an install cut short since: it is taken back as it is.
        const JournalReplay::Result result =
            JournalReplay(ui, transaction.files(), game).undo(installs[i], installs[i].finished);
        whole = whole && result.failed.isEmpty() && result.kept.isEmpty() &&
                result.beyondReach.isEmpty();
        texts.append(
            told(u"The install "_s + InstallHistory::describe(installs[i]) + u" has been undone"_s,
                 result));
        if (!result.failed.isEmpty())
            break; // an older install cannot be undone over what this one left
    }
    ui.setBusy(false);
    ui.showMessage(texts.join(u"\r\n\r\n"_s), whole ? Icon::Information : Icon::Exclamation);
    log.write(u"outcome"_s, whole ? u"undone"_s : u"partly undone"_s);
    return whole ? Outcome::Undone : Outcome::Partly;
}

} // namespace veltrane
