#include "Inventory.h"

#include "InstallHistory.h"
#include "JournalFormat.h"
#include "JournalSummary.h"
#include "KeptCopies.h"
#include "util/OwnFolder.h"
#include "util/UserInterface.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QSet>
#include <algorithm>
#include <filesystem>

using namespace Qt::StringLiterals;

namespace veltrane {

const QString Inventory::kFileName = u"inventory.sqlite"_s;

namespace {

using State = InstallRecord::State;
using Change = InstallRecord::Change;

// "Velt": the mark of this program's database, and the version of its tables.
constexpr qint64 kApplicationId = 0x56656C74;
constexpr qint64 kSchemaVersion = 1;
// The most files of the installs in the game whose owners an install reads into memory.
constexpr qint64 kOwnersInMemory = 200000;

constexpr const char* kSchema = R"sql(
PRAGMA application_id = 1449487476;
PRAGMA user_version = 1;
CREATE TABLE installs(
    id INTEGER PRIMARY KEY,
    journal TEXT NOT NULL UNIQUE,
    package TEXT NOT NULL,
    display_name TEXT NOT NULL,
    kind TEXT NOT NULL,
    started TEXT NOT NULL,
    ended TEXT,
    outcome TEXT,
    state TEXT NOT NULL,
    undoable INTEGER NOT NULL,
    file_count INTEGER NOT NULL,
    kept_bytes INTEGER NOT NULL
);
CREATE TABLE files(
    install INTEGER NOT NULL,
    path TEXT NOT NULL,
    path_key TEXT NOT NULL,
    change TEXT NOT NULL,
    previous_owner INTEGER,
    PRIMARY KEY(install, path)
) WITHOUT ROWID;
CREATE INDEX files_by_path ON files(path_key, install);
CREATE TABLE list_records(
    install INTEGER NOT NULL,
    position INTEGER NOT NULL,
    list TEXT NOT NULL,
    change TEXT NOT NULL,
    record_id TEXT NOT NULL,
    name TEXT NOT NULL,
    PRIMARY KEY(install, position)
);
)sql";

constexpr const char* kInstallColumns =
    "i.id, i.journal, i.package, i.display_name, i.kind, i.started, i.ended, i.outcome, "
    "i.state, i.undoable, i.file_count, i.kept_bytes";

QByteArray selectInstalls(const char* rest)
{
    return QByteArray("SELECT ") + kInstallColumns + " FROM installs i " + rest;
}

QString timeText(const QDateTime& time)
{
    return time.isValid() ? time.toUTC().toString(Qt::ISODateWithMs) : QString();
}

QDateTime timeOf(const QString& text)
{
    return QDateTime::fromString(text, Qt::ISODateWithMs).toUTC();
}

State stateOf(const QString& name)
{
    for (const State state : {State::Installed, State::TakenBack, State::CutShort}) {
        if (InstallRecord::stateName(state) == name)
            return state;
    }
    return State::CutShort;
}

InstallRecord recordAt(const SqlDatabase::Query& query)
{
    InstallRecord install;
    install.id = int(query.number(0));
    install.journal = query.text(1);
    install.package = query.text(2);
    install.displayName = query.text(3);
    install.kind = query.text(4);
    install.started = timeOf(query.text(5));
    install.ended = query.isNull(6) ? QDateTime() : timeOf(query.text(6));
    install.outcome = query.text(7);
    install.state = stateOf(query.text(8));
    install.undoable = query.number(9) != 0;
    install.fileCount = int(query.number(10));
    install.keptBytes = query.number(11);
    return install;
}

QList<InstallRecord> recordsOf(SqlDatabase::Query& query)
{
    QList<InstallRecord> found;
    while (query.next())
        found.append(recordAt(query));
    return found;
}

// "install 4, Riverside (route) of 7 Dec 2026 18:04" for messages.
QString described(const InstallRecord& install)
{
    return u"install "_s + QString::number(install.id) + u", "_s + install.package + u" ("_s +
           install.kind + u") of "_s +
           QLocale().toString(install.started.toLocalTime(), QLocale::ShortFormat);
}

bool asideKept(const HostPath& journal)
{
    std::error_code error;
    return std::filesystem::is_directory(journal.child(JournalFormat::kAsideFolder).fs(), error);
}

} // namespace

Inventory::Inventory(HostPath game, Access access) : m_game(std::move(game)), m_access(access) {}

Inventory::~Inventory() = default;
Inventory::Inventory(Inventory&&) noexcept = default;
Inventory& Inventory::operator=(Inventory&&) noexcept = default;

QString Inventory::path() const
{
    return OwnFolder::in(m_game).child(kFileName).toString();
}

Inventory Inventory::open(const HostPath& game, UserInterface& ui, Access access)
{
    Inventory inventory(game, access);
    QString told;
    const bool existed = QFileInfo::exists(inventory.path());
    if (existed) {
        if (const QString problem = inventory.openExisting(); !problem.isEmpty())
            told = inventory.setAside(problem);
    }
    if (!inventory.m_db.isOpen())
        inventory.openEmpty();
    const QStringList corrections = inventory.reconcile();
    // Made again from the journals, the inventory holds what they tell: that is no news.
    if (told.isEmpty() && !existed && !corrections.isEmpty())
        told = u"The inventory of installed packages "_s +
               QDir::toNativeSeparators(inventory.path()) +
               u" was missing. It has been made again from the journals of the installs."_s;
    else if (told.isEmpty())
        told = corrections.join(u"\r\n"_s);
    if (!told.isEmpty())
        ui.showMessage(told, UserInterface::Icon::Exclamation);
    return inventory;
}

QString Inventory::openExisting()
{
    const bool readOnly = m_access == Access::ReadOnly;
    if (!m_db.openFile(path(), readOnly))
        return m_db.errorText();
    SqlDatabase::Query marks(m_db.handle(), "PRAGMA application_id");
    if (!marks.next())
        return m_db.errorText();
    const qint64 application = marks.number(0);
    SqlDatabase::Query version(m_db.handle(), "PRAGMA user_version");
    SqlDatabase::Query tables(m_db.handle(),
                              "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name IN "
                              "('installs', 'files', 'list_records')");
    if (!version.next() || !tables.next())
        return m_db.errorText();
    if (application != kApplicationId || version.number(0) != kSchemaVersion ||
        tables.number(0) != 3)
        return u"it is not an inventory of this version of Veltrane"_s;
    // Every row is read once here: a damaged table shows now, not halfway through an install.
    SqlDatabase::Query rows(m_db.handle(),
                            "SELECT count(*), sum(length(journal) + length(state)) FROM installs");
    if (!rows.next())
        return m_db.errorText();
    m_onDisk = true;
    return {};
}

QString Inventory::setAside(const QString& problem)
{
    m_ownerQuery.reset();
    m_db.close();
    m_onDisk = false;
    const QString file = QDir::toNativeSeparators(path());
    const QString opening = u"The inventory of installed packages "_s + file +
                            u" cannot be used: "_s + problem + u".\r\n"_s;
    if (m_access == Access::ReadOnly)
        return opening + u"What is installed is shown from the journals of the installs; the "
                         u"next install or undo sets the file aside and makes it again."_s;
    const QString aside =
        path() + u".damaged-"_s + QDateTime::currentDateTimeUtc().toString(u"yyyyMMdd-HHmmss"_s);
    std::error_code error;
    std::filesystem::rename(QFile::encodeName(path()).toStdString(),
                            QFile::encodeName(aside).toStdString(), error);
    if (error)
        return opening + u"It could not be set aside ("_s +
               QString::fromLocal8Bit(error.message()) +
               u"); what is installed is known from the journals of the installs for now."_s;
    // A rollback journal of SQLite's belongs to the file it was made for.
    std::filesystem::rename(QFile::encodeName(path() + u"-journal"_s).toStdString(),
                            QFile::encodeName(aside + u"-journal"_s).toStdString(), error);
    return opening + u"It has been set aside as "_s + QDir::toNativeSeparators(aside) +
           u" and made again from the journals of the installs. Nothing else has changed."_s;
}

void Inventory::openEmpty()
{
    m_ownerQuery.reset();
    m_db.openInMemory();
    m_db.exec(kSchema);
    m_onDisk = false;
}

bool Inventory::makeChangeable()
{
    if (m_access == Access::ReadWrite || !m_onDisk)
        return true;
    SqlDatabase memory;
    if (!memory.openInMemory() || !memory.copyFrom(m_db))
        return false;
    m_ownerQuery.reset();
    m_db = std::move(memory);
    m_onDisk = false;
    return true;
}

Expected<void> Inventory::persist()
{
    if (m_onDisk)
        return {};
    if (m_access == Access::ReadOnly)
        return failure(u"the inventory was opened for reading only"_s);
    // Written whole under a passing name, then given its own: a kill leaves the old file.
    const QString part = path() + u".new"_s;
    QFile::remove(part);
    if (!m_db.copyTo(part))
        return failure(u"the inventory "_s + QDir::toNativeSeparators(path()) +
                       u" cannot be written: "_s + m_db.errorText());
    std::error_code error;
    std::filesystem::rename(QFile::encodeName(part).toStdString(),
                            QFile::encodeName(path()).toStdString(), error);
    SqlDatabase file;
    if (error || !file.openFile(path(), false)) {
        QFile::remove(part);
        return failure(u"the inventory "_s + QDir::toNativeSeparators(path()) +
                       u" cannot be written: "_s +
                       (error ? QString::fromLocal8Bit(error.message()) : file.errorText()));
    }
    m_ownerQuery.reset();
    m_db = std::move(file);
    m_onDisk = true;
    return {};
}

QStringList Inventory::reconcile()
{
    const InstallHistory history(m_game);
    // A folder of journals that cannot be read tells nothing: the rows stay as they are.
    const QFileInfo folder(history.journals().toString());
    if (folder.exists() && !QDir(folder.filePath()).isReadable())
        return {};
    QHash<QString, InstallRecord> rows;
    for (const InstallRecord& row : installs())
        rows.insert(row.journal, row);
    QStringList told;
    QList<JournalSummary> unknown;
    QList<InstallRecord> changed;
    for (const QString& name : history.journalNames()) {
        const auto row = rows.constFind(name);
        if (row == rows.cend()) {
            if (auto summary = JournalSummary::read(history.journals().child(name)))
                unknown.append(*summary);
            continue;
        }
        InstallRecord known = *row;
        rows.erase(row);
        // Taken back is the last a journal tells.
        const auto journal = known.state == State::TakenBack ? std::nullopt : history.install(name);
        if (!journal)
            continue;
        const State state = journal->takenBack  ? State::TakenBack
                            : journal->finished ? State::Installed
                                                : State::CutShort;
        const bool undoable = journal->undoable && state != State::TakenBack;
        if (state == known.state && undoable == known.undoable)
            continue;
        told.append(u"The inventory listed "_s + described(known) + u" as "_s +
                    InstallRecord::stateName(known.state) +
                    (known.undoable ? QString() : u", no longer undoable,"_s) +
                    u" where its journal tells "_s + InstallRecord::stateName(state) +
                    (undoable ? QString() : u", no longer undoable"_s) +
                    u"; it now says what the journal tells."_s);
        known.state = state;
        known.undoable = undoable;
        changed.append(known);
    }
    for (const InstallRecord& gone : std::as_const(rows))
        told.append(u"The inventory listed "_s + described(gone) +
                    u", whose journal is gone; it is no longer listed."_s);
    if (!unknown.isEmpty() || !changed.isEmpty() || !rows.isEmpty())
        told += putRight(rows.values(), changed, unknown);
    return told;
}

QStringList Inventory::putRight(const QList<InstallRecord>& gone,
                                const QList<InstallRecord>& changed, QList<JournalSummary>& unknown)
{
    if (!makeChangeable() || !m_db.exec("BEGIN IMMEDIATE"))
        return {};
    bool done = true;
    for (const InstallRecord& row : gone)
        done = remove(row.id) && done;
    for (const InstallRecord& row : changed) {
        SqlDatabase::Query query(m_db.handle(),
                                 "UPDATE installs SET state = ?1, undoable = ?2, kept_bytes = "
                                 "CASE WHEN ?2 THEN kept_bytes ELSE 0 END WHERE id = ?3");
        done = query.bind(1, InstallRecord::stateName(row.state))
                   .bind(2, int(row.undoable))
                   .bind(3, row.id)
                   .run() &&
               done;
    }
    // An install of this version that ended has its row: one without is news.
    QSet<QString> news;
    for (const JournalSummary& summary : std::as_const(unknown)) {
        if (summary.install().state != State::CutShort && summary.install().id > 0)
            news.insert(summary.install().journal);
    }
    numberJournals(unknown);
    QStringList told;
    const HostPath journals = InstallHistory(m_game).journals();
    for (JournalSummary& summary : unknown) {
        InstallRecord& install = summary.install();
        const HostPath journal = journals.child(install.journal);
        install.undoable = install.state != State::TakenBack && asideKept(journal);
        install.keptBytes = install.undoable ? KeptCopies::sizeOf(journal) : 0;
        done = store(summary) && done;
        if (news.contains(install.journal))
            told.append(u"The inventory did not list "_s + described(install) +
                        u", which its journal records; it has been added."_s);
    }
    if (!m_db.exec(done ? "COMMIT" : "ROLLBACK"))
        m_db.exec("ROLLBACK");
    if (m_access == Access::ReadWrite)
        static_cast<void>(persist());
    return told;
}

void Inventory::numberJournals(QList<JournalSummary>& journals) const
{
    // A journal of an earlier version holds no number: such journals are numbered in the
    // order they were made, from 1, past the numbers in use, so that the same journals get
    // the same numbers each time the inventory is made again.
    QSet<int> used;
    SqlDatabase::Query ids(m_db.handle(), "SELECT id FROM installs");
    while (ids.next())
        used.insert(int(ids.number(0)));
    for (JournalSummary& journal : journals) {
        int& id = journal.install().id;
        if (id > 0 && !used.contains(id))
            used.insert(id);
        else
            id = 0;
    }
    int next = 1;
    for (JournalSummary& journal : journals) {
        int& id = journal.install().id;
        if (id > 0)
            continue;
        while (used.contains(next))
            ++next;
        id = next;
        used.insert(id);
    }
}

bool Inventory::remove(int id)
{
    bool done = true;
    for (const char* sql :
         {"DELETE FROM files WHERE install = ?1", "DELETE FROM list_records WHERE install = ?1",
          "DELETE FROM installs WHERE id = ?1"}) {
        SqlDatabase::Query query(m_db.handle(), sql);
        done = query.bind(1, id).run() && done;
    }
    return done;
}

bool Inventory::store(const JournalSummary& summary)
{
    const InstallRecord& install = summary.install();
    const QList<InstallRecord::File> files = summary.files();
    SqlDatabase::Query same(m_db.handle(), "SELECT id FROM installs WHERE journal = ?1");
    same.bind(1, install.journal);
    bool done = remove(install.id) && (!same.next() || remove(int(same.number(0))));
    SqlDatabase::Query row(m_db.handle(), "INSERT INTO installs VALUES "
                                          "(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12)");
    row.bind(1, install.id)
        .bind(2, install.journal)
        .bind(3, install.package)
        .bind(4, install.displayName)
        .bind(5, install.kind)
        .bind(6, timeText(install.started))
        .bind(7, install.ended.isValid() ? QVariant(timeText(install.ended)) : QVariant())
        .bind(8, install.outcome)
        .bind(9, InstallRecord::stateName(install.state))
        .bind(10, int(install.undoable))
        .bind(11, qint64(files.size()))
        .bind(12, install.keptBytes);
    done = row.run() && done;
    SqlDatabase::Query file(m_db.handle(), "INSERT INTO files VALUES (?1, ?2, ?3, ?4, ?5)");
    for (const InstallRecord::File& changed : files) {
        file.reset();
        file.bind(1, install.id)
            .bind(2, changed.path)
            .bind(3, changed.path.toCaseFolded())
            .bind(4, InstallRecord::changeName(changed.change))
            .bind(5, changed.previousOwner > 0 ? QVariant(changed.previousOwner) : QVariant());
        done = file.run() && done;
    }
    SqlDatabase::Query list(m_db.handle(),
                            "INSERT INTO list_records VALUES (?1, ?2, ?3, ?4, ?5, ?6)");
    int position = 0;
    for (const InstallRecord::ListChange& record : summary.listChanges()) {
        list.reset();
        list.bind(1, install.id)
            .bind(2, ++position)
            .bind(3, record.list)
            .bind(4, record.change)
            .bind(5, record.recordId)
            .bind(6, record.name);
        done = list.run() && done;
    }
    return done;
}

QList<InstallRecord> Inventory::installs() const
{
    SqlDatabase::Query query(m_db.handle(), selectInstalls("ORDER BY i.id DESC").constData());
    return recordsOf(query);
}

std::optional<InstallRecord> Inventory::install(int id) const
{
    SqlDatabase::Query query(m_db.handle(), selectInstalls("WHERE i.id = ?1").constData());
    query.bind(1, id);
    const QList<InstallRecord> found = recordsOf(query);
    return found.isEmpty() ? std::nullopt : std::optional(found.first());
}

std::optional<InstallRecord> Inventory::installOfJournal(const QString& journalName) const
{
    SqlDatabase::Query query(m_db.handle(), selectInstalls("WHERE i.journal = ?1").constData());
    query.bind(1, journalName);
    const QList<InstallRecord> found = recordsOf(query);
    return found.isEmpty() ? std::nullopt : std::optional(found.first());
}

QList<InstallRecord::File> Inventory::files(int id) const
{
    SqlDatabase::Query query(m_db.handle(),
                             "SELECT path, change, previous_owner FROM files WHERE install = ?1 "
                             "ORDER BY path");
    query.bind(1, id);
    QList<InstallRecord::File> found;
    while (query.next()) {
        const QString change = query.text(1);
        found.append({query.text(0),
                      change == u"added"_s      ? Change::Added
                      : change == u"replaced"_s ? Change::Replaced
                                                : Change::Removed,
                      int(query.number(2))});
    }
    return found;
}

QList<InstallRecord::ListChange> Inventory::records(int id) const
{
    SqlDatabase::Query query(m_db.handle(),
                             "SELECT list, change, record_id, name FROM list_records WHERE "
                             "install = ?1 ORDER BY position");
    query.bind(1, id);
    QList<InstallRecord::ListChange> found;
    while (query.next())
        found.append({query.text(0), query.text(1), query.text(2), query.text(3)});
    return found;
}

std::optional<InstallRecord> Inventory::ownerOf(const QString& relativePath) const
{
    // Asked once for each file an install replaces: prepared once.
    if (!m_ownerQuery)
        m_ownerQuery = std::make_unique<SqlDatabase::Query>(
            m_db.handle(), (QByteArray("SELECT ") + kInstallColumns +
                            ", f.change FROM files f JOIN installs i ON i.id = f.install WHERE "
                            "f.path_key = ?1 AND i.state <> 'taken back' ORDER BY i.id DESC "
                            "LIMIT 1")
                               .constData());
    SqlDatabase::Query& query = *m_ownerQuery;
    query.reset();
    query.bind(1, QString(relativePath).replace(u'\\', u'/').toCaseFolded());
    if (!query.next() || query.text(12) == u"removed"_s)
        return std::nullopt;
    return recordAt(query);
}

QList<InstallRecord> Inventory::installsOver(int id) const
{
    QList<int> chain{id};
    QList<InstallRecord> over;
    SqlDatabase::Query later(m_db.handle(),
                             selectInstalls("WHERE i.id > ?1 AND i.state <> 'taken back' "
                                            "ORDER BY i.id")
                                 .constData());
    later.bind(1, id);
    for (const InstallRecord& install : recordsOf(later)) {
        QStringList members;
        for (const int member : std::as_const(chain))
            members.append(QString::number(member));
        const QByteArray sql = "SELECT EXISTS(SELECT 1 FROM files w JOIN files s ON s.path_key = "
                               "w.path_key WHERE w.install = ?1 AND s.install IN (" +
                               members.join(u',').toLatin1() + "))";
        SqlDatabase::Query touches(m_db.handle(), sql.constData());
        if (touches.bind(1, install.id).next() && touches.number(0) != 0) {
            chain.append(install.id);
            over.prepend(install);
        }
    }
    return over;
}

int Inventory::nextId() const
{
    SqlDatabase::Query query(m_db.handle(), "SELECT coalesce(max(id), 0) + 1 FROM installs");
    return query.next() ? int(query.number(0)) : 1;
}

ChangeJournal::OwnerLookup Inventory::ownerLookup() const
{
    // An install asks for every file it replaces: up to so many files of the installs still in
    // the game are read once into memory, where each answer takes a hash lookup, not a query.
    SqlDatabase::Query count(m_db.handle(),
                             "SELECT count(*) FROM files f JOIN installs i ON i.id = f.install "
                             "WHERE i.state <> 'taken back'");
    if (!count.next() || count.number(0) > kOwnersInMemory) {
        return [this](const QString& relativePath) {
            const std::optional<InstallRecord> owner = ownerOf(relativePath);
            return owner ? ChangeJournal::Owner{owner->id, owner->package} : ChangeJournal::Owner{};
        };
    }
    // The last install to change a file is its owner; one that removed it leaves none.
    SqlDatabase::Query files(m_db.handle(),
                             "SELECT f.path_key, f.install, f.change, i.package FROM files f JOIN "
                             "installs i ON i.id = f.install WHERE i.state <> 'taken back' "
                             "ORDER BY f.install");
    QHash<QString, ChangeJournal::Owner> owners;
    while (files.next()) {
        if (files.text(2) == u"removed"_s)
            owners.remove(files.text(0));
        else
            owners.insert(files.text(0), {int(files.number(1)), files.text(3)});
    }
    return [owners = std::move(owners)](const QString& relativePath) {
        return owners.value(QString(relativePath).replace(u'\\', u'/').toCaseFolded());
    };
}

Expected<void> Inventory::recordEnd(ChangeJournal& journal, const QString& outcome)
{
    const QDateTime ended = QDateTime::currentDateTimeUtc();
    JournalSummary summary = journal.summary();
    summary.add({JournalFormat::Record::End, {outcome, timeText(ended)}});
    InstallRecord& install = summary.install();
    if (install.id <= 0)
        install.id = nextId();
    install.undoable = true;
    install.keptBytes = KeptCopies::sizeOf(journal.folder());
    const Expected<void> ready = persist();
    const bool begun = ready && m_db.exec("BEGIN IMMEDIATE");
    const bool stored = begun && store(summary);
    try {
        journal.finish(outcome, ended);
    } catch (const FileError& error) {
        if (begun)
            m_db.exec("ROLLBACK");
        return failure(error.description());
    }
    if (stored && m_db.exec("COMMIT"))
        return {};
    if (begun)
        m_db.exec("ROLLBACK");
    return failure(u"The install could not be written to the inventory of installed packages: "_s +
                   (ready ? m_db.errorText() : ready.message()) +
                   u". Its journal is kept; the next start adds it."_s);
}

Expected<void> Inventory::update(const char* sql, const QVariant& key)
{
    if (Expected<void> ready = persist(); !ready)
        return ready;
    SqlDatabase::Query query(m_db.handle(), sql);
    if (!query.bind(1, key).run())
        return failure(u"The inventory of installed packages could not be changed: "_s +
                       m_db.errorText());
    return {};
}

Expected<void> Inventory::markTakenBack(const QString& journalName)
{
    return update("UPDATE installs SET state = 'taken back', undoable = 0, kept_bytes = 0 "
                  "WHERE journal = ?1",
                  journalName);
}

Expected<void> Inventory::markNotUndoable(int id)
{
    return update("UPDATE installs SET undoable = 0, kept_bytes = 0 WHERE id = ?1", id);
}

} // namespace veltrane
