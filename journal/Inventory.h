#pragma once

#include "ChangeJournal.h"
#include "InstallRecord.h"
#include "SqlDatabase.h"
#include "util/Expected.h"
#include "util/HostPath.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

namespace veltrane {

class JournalSummary;
class UserInterface;

// What is installed in one game: every install with the files it added, replaced or removed
// and the list records it changed, in an SQLite database in the program's folder of the game.
// It holds nothing the journals do not: an install's row is written in the same step as its
// journal's end, and on every open the rows are checked against the journals and put right.
// A database that cannot be read, or is not this program's, is set aside and made again
// from the journals; that never stops an install.
class Inventory {
public:
    enum class Access {
        // The caller holds the game's lock: what is put right is written.
        ReadWrite,
        // Nothing is written, not even the program's folder: what is put right, or made from
        // the journals, stays in memory.
        ReadOnly,
    };

    // The inventory of the game, checked against its journals; the user is told what was
    // put right.
    static Inventory open(const HostPath& game, UserInterface& ui,
                          Access access = Access::ReadWrite);

    ~Inventory();
    Inventory(Inventory&&) noexcept;
    Inventory& operator=(Inventory&&) noexcept;

    // Newest first.
    QList<InstallRecord> installs() const;
    std::optional<InstallRecord> install(int id) const;
    std::optional<InstallRecord> installOfJournal(const QString& journalName) const;
    QList<InstallRecord::File> files(int id) const;
    QList<InstallRecord::ListChange> records(int id) const;
    // The install still in the game whose change left the file at the path (relative to the
    // game, "/"-separated, letter case ignored) as it is now; nothing for the game's own file.
    std::optional<InstallRecord> ownerOf(const QString& relativePath) const;
    // The later installs still in the game that changed a file this one changed, or one that
    // such an install changed: they are taken back before it, newest first.
    QList<InstallRecord> installsOver(int id) const;
    // The number of the next install.
    int nextId() const;
    // ownerOf() for a journal, as the inventory is now: for the files an install replaces.
    // It may use this inventory as long as it lives.
    ChangeJournal::OwnerLookup ownerLookup() const;

    // Writes the install's row and ends its journal, in one step: the row is kept only when
    // the journal's end is written. A failure of the database leaves the journal ended; the
    // next open adds the row.
    Expected<void> recordEnd(ChangeJournal& journal, const QString& outcome);
    // The install of that journal was taken back.
    Expected<void> markTakenBack(const QString& journalName);
    // The install's kept copies are gone.
    Expected<void> markNotUndoable(int id);

    // "inventory.sqlite", in the program's folder of the game.
    static const QString kFileName;

private:
    Inventory(HostPath game, Access access);

    QString path() const;
    // The problem of the database on the disk, empty when it is this program's and whole.
    QString openExisting();
    // Moves the file that could not be used out of the way; what the user is told.
    QString setAside(const QString& problem);
    void openEmpty();
    // Puts right what the database and the journals disagree on; what the user is told.
    QStringList reconcile();
    // Removes the rows whose journals are gone, corrects the changed ones, adds the journals
    // it did not list; what the user is told of those.
    QStringList putRight(const QList<InstallRecord>& gone, const QList<InstallRecord>& changed,
                         QList<JournalSummary>& unknown);
    void numberJournals(QList<JournalSummary>& journals) const;
    // The database in memory, where a reader may change it.
    bool makeChangeable();
    // The database in memory written to its file, which it is from then on.
    Expected<void> persist();
    bool store(const JournalSummary& summary);
    bool remove(int id);
    Expected<void> update(const char* sql, const QVariant& key);

    HostPath m_game;
    Access m_access;
    SqlDatabase m_db;
    bool m_onDisk = false;
    // Goes before the database it was prepared for.
    mutable std::unique_ptr<SqlDatabase::Query> m_ownerQuery;
};

} // namespace veltrane
