#pragma once

#include "JournalFormat.h"
#include "JournalSummary.h"
#include "util/HostPath.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QSet>
#include <QString>
#include <functional>

namespace veltrane {

// The write-ahead record of every change an install makes under the game folder, kept in a
// folder of the game's own that the game does not read. The install's FileChanges hand it
// each change of a path under the game folder before the change is made: a file created,
// a file replaced (the old one kept aside under a second name on the same file system), a
// file or tree removed (moved aside), a folder made or removed, a rename. So an install that
// is killed can be rolled back, and a finished one undone, byte for byte. The game's
// blueprint caches are removed without being kept: the game rebuilds them.
//
// A record reaches the file before its change, so that a killed program leaves it behind; it
// is synced to the disk at the latest a fraction of a second later, and at once before a
// rename (the route and scenario lists change by renames). When a record cannot be kept, the
// journal fails for good and no further change is made.
class ChangeJournal {
public:
    struct Header {
        QString package; // as the user knows it
        QString kind;    // "route", "scenario", "assets"
        int id = 0;      // the install's number in the inventory; 0 for none
    };
    // Whose file a change replaces: the install's number and package, or 0 for the game's own
    // file.
    struct Owner {
        int id = 0;
        QString package;
    };
    using OwnerLookup = std::function<Owner(const QString& relativePath)>;

    // Starts a new journal in folder, which it creates, for changes under gameRoot. Throws
    // FileError (kind Journal) when it cannot.
    ChangeJournal(const HostPath& gameRoot, const HostPath& folder, const Header& header);
    ~ChangeJournal();
    ChangeJournal(const ChangeJournal&) = delete;
    ChangeJournal& operator=(const ChangeJournal&) = delete;

    // Under the game folder, and not the journals' own.
    bool covers(const HostPath& path) const;

    // Each comes before the change it names and throws FileError (kind Journal) when the
    // record cannot be kept.
    void willCreate(const HostPath& path);
    // Keeps the file that path holds now aside by a second name.
    void willReplace(const HostPath& path);
    void willRename(const HostPath& from, const HostPath& to);
    void willMakeFolder(const HostPath& path);
    void willRemoveFolder(const HostPath& path);
    // Removes path by moving it aside, a file or a whole tree; false for a blueprint cache,
    // which the caller removes for good.
    bool removeKeepingAside(const HostPath& path);
    // After a change: what the install left at path, to tell later whether it changed since;
    // its signature when the caller knows it already.
    void changed(const HostPath& path, const QString& knownSignature = {});
    // A change made outside the journal's reach (Wine's cmd running a batch file).
    void note(const QString& what);
    // What a program out of the journal's reach made under the game folder, found after it
    // ended: a file, which an undo removes, or a folder, which it removes when empty.
    void madeOutside(const HostPath& path, bool folder);
    // A file such a program changed or removed (how: "changed", "removed"). An undo puts
    // back what an earlier change of this install kept; any other file it names as beyond it.
    void changedOutside(const HostPath& path, const QString& how);
    // The install ended, the way it did, at that time; a journal without this is one of an
    // install cut short.
    void finish(const QString& outcome, const QDateTime& ended = QDateTime::currentDateTimeUtc());

    // From now on the owner of each file the install replaces or removes is asked once and
    // recorded.
    void setOwnerLookup(OwnerLookup lookup) { m_ownerLookup = std::move(lookup); }
    // The package whose file the install replaced at path, "" for the game's own file;
    // nothing when no owner was asked.
    std::optional<QString> previousOwner(const HostPath& path) const;
    // The name the package's marker gives the route or scenario.
    void title(const QString& displayName);
    // A record of a game's list that the install added, replaced or removed.
    void listChanged(const HostPath& list, const QString& change, const QString& recordId,
                     const QString& name);
    // What the journal tells so far.
    const JournalSummary& summary() const { return m_summary; }

    // Marks the journal in folder as taken back; its kept copies are the caller's to remove.
    // Throws FileError (kind Journal) when the record cannot be written.
    static void markTakenBack(const HostPath& folder);

    const HostPath& folder() const { return m_folder; }
    // Whether any change was recorded: an install that changed nothing leaves nothing to undo.
    bool hasChanges() const { return m_changes > 0; }

    // What tells a file from the one the install left: its size and its time of change (in
    // the system's own ticks); empty when there is no file.
    static QString signatureOf(const HostPath& path);
    static QString signature(qint64 size, qint64 writtenTicks);

private:
    enum class Urgency {
        MayWait, // written with the next record
        Write,   // written now, synced within the interval
        SyncNow,
    };
    void record(JournalFormat::Record kind, const QStringList& fields,
                Urgency urgency = Urgency::Write);
    QString relative(const HostPath& path) const;
    HostPath nextAside();
    // Asks whose file is at path before the install changes it, once.
    void noteOwner(const QString& relativePath);
    [[noreturn]] void fail(const QString& reason);

    HostPath m_root;
    HostPath m_folder;
    QFile m_file;
    QByteArray m_pending;
    int m_asides = 0;
    int m_changes = 0;
    // The paths this install made, which need no keeping when it removes them again.
    QSet<QString> m_created;
    // The paths whose earlier file this install keeps aside, to be put back by an undo.
    QSet<QString> m_replaced;
    bool m_failed = false;
    QElapsedTimer m_sinceSync;
    JournalSummary m_summary;
    OwnerLookup m_ownerLookup;
    // The package whose file was at each path before the install, "" for the game's own.
    QHash<QString, QString> m_owners;
};

} // namespace veltrane
