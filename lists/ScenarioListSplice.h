#pragma once

#include <QString>
#include <QStringList>

namespace veltrane {

// The text work of a scenario install on the XML form of a route's scenario list. Tag and
// key searches ignore letter case. A text that does not have the expected shape yields a
// problem instead of a damaged list.
namespace ScenarioListSplice {

struct Result {
    QString text;    // the new list
    QString problem; // empty on success; otherwise what is wrong with the input
    bool ok() const { return problem.isEmpty(); }
};

// For each key in turn, the record that holds its first occurrence is cut out, keeping
// the indentation before it and the line end after it. Empty keys and keys that occur
// nowhere remove nothing; a key that occurs outside every record is a problem.
Result removeRecords(const QString& list, const QStringList& keys);
// The same, one key after the other over the whole shortened text: plain and slow, the
// yardstick for the quick one.
Result removeRecordsOneByOne(const QString& list, const QStringList& keys);

// Puts the record after the last record of the list, on a line of its own; an empty
// list's "<Record/>" is opened for it.
Result insertRecord(const QString& list, const QString& record);

// Both: the earlier records removed and the new one put in, with one copy of the list.
Result edit(const QString& list, const QStringList& keys, const QString& record);

} // namespace ScenarioListSplice

} // namespace veltrane
