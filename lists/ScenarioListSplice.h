#pragma once

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

namespace veltrane {

// The text work of a scenario install on the XML form of a route's scenario list. Tag and
// key searches ignore letter case. A text that does not have the expected shape yields a
// problem instead of a damaged list.
namespace ScenarioListSplice {

// A record that a key reaches although its own scenario id is none of the keys: another
// scenario's, which the key names only in passing (its display name, a generic tag, a longer
// id that begins with the key).
struct ForeignRecord {
    qsizetype start = -1; // where its opening tag begins in the list as given
    QString key;          // the key whose first occurrence it holds
    QString id;           // the DevString of its ID element, trimmed; may be empty
    QString name;         // the English element of its DisplayName, trimmed; may be empty
};

// A record the edit cut out: its scenario id and English name, trimmed; either may be empty.
struct RemovedRecord {
    QString id;
    QString name;
};

// The starts, in the list as given, of the records of other scenarios that may be removed.
using Removable = QSet<qsizetype>;

struct Result {
    QString text;    // the new list
    QString problem; // empty on success; otherwise what is wrong with the input
    // Only when removable records are given: the records of other scenarios that the keys
    // reached and that stayed because they are not among them, each once, in the order the
    // keys reached them.
    QList<ForeignRecord> kept;
    // On success, the records cut out, in the order they went.
    QList<RemovedRecord> removed;
    bool ok() const { return problem.isEmpty(); }
};

// For each key in turn, the record that holds its first occurrence is cut out, keeping
// the indentation before it and the line end after it. Empty keys and keys that occur
// nowhere remove nothing; a key that occurs outside every record is a problem.
Result removeRecords(const QString& list, const QStringList& keys);
// The same, except that a record whose scenario id is none of the keys (letter case
// ignored) goes only when its start is removable. Otherwise it stays, is listed as kept, and
// the key goes on to the first later record that holds it and whose id is one of the keys,
// if any: an earlier copy of the package's scenario must not stay beside the new one.
Result removeRecords(const QString& list, const QStringList& keys, const Removable& removable);
// The same two, one key after the other over the whole shortened text: plain and slow, the
// yardstick for the quick ones.
Result removeRecordsOneByOne(const QString& list, const QStringList& keys);
Result removeRecordsOneByOne(const QString& list, const QStringList& keys,
                             const Removable& removable);

// Puts the record after the last record of the list, on a line of its own; an empty
// list's "<Record/>" is opened for it.
Result insertRecord(const QString& list, const QString& record);

// Both: the earlier records removed and the new one put in, with one copy of the list.
Result edit(const QString& list, const QStringList& keys, const QString& record);
Result edit(const QString& list, const QStringList& keys, const QString& record,
            const Removable& removable);

} // namespace ScenarioListSplice

} // namespace veltrane
