// Edits a scenario list: the quick one-pass edit must give exactly what the plain way gives,
// one key after the other and then the insertion, problems included, both with every record
// removable and with the records of other scenarios removable only where the answers say so.
// The input is the keys (one per line), a NUL byte, the record, a NUL byte and the list; the
// record's length chooses which records are removable.
#include "fuzz/FuzzRequire.h"
#include "lists/ScenarioListSplice.h"

#include <QByteArray>
#include <QSet>
#include <QString>
#include <QStringList>
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

using namespace veltrane;
using Result = ScenarioListSplice::Result;

namespace {

bool sameRecords(const QList<ScenarioListSplice::ForeignRecord>& a,
                 const QList<ScenarioListSplice::ForeignRecord>& b)
{
    return std::equal(a.cbegin(), a.cend(), b.cbegin(), b.cend(), [](const auto& x, const auto& y) {
        return x.start == y.start && x.key == y.key && x.id == y.id && x.name == y.name;
    });
}

bool same(const Result& a, const Result& b)
{
    return a.problem == b.problem && a.text == b.text && sameRecords(a.kept, b.kept) &&
           sameRecords(a.removed, b.removed);
}

// What may be said of every record the edit kept for the keys.
void checkKept(const Result& result, const QStringList& keys,
               const ScenarioListSplice::Removable& removable, qsizetype listSize)
{
    QSet<qsizetype> starts;
    for (const auto& record : result.kept) {
        REQUIRE(record.start >= 0 && record.start < listSize);
        REQUIRE(!removable.contains(record.start));
        REQUIRE(!starts.contains(record.start));
        starts.insert(record.start);
        REQUIRE(!record.key.isEmpty() && keys.contains(record.key));
        // A record of one of the keys' own scenarios is never kept.
        REQUIRE(record.id.isEmpty() ||
                std::none_of(keys.cbegin(), keys.cend(), [&](const QString& k) {
                    return k.trimmed().compare(record.id, Qt::CaseInsensitive) == 0;
                }));
    }
}

// The removable records the record's length picks among the list's opening tags.
ScenarioListSplice::Removable picked(const QString& list, qsizetype choice)
{
    ScenarioListSplice::Removable removable;
    const QString open = QStringLiteral("<cScenarioProperties");
    int n = 0;
    for (qsizetype at = list.indexOf(open, 0, Qt::CaseInsensitive); at >= 0;
         at = list.indexOf(open, at + 1, Qt::CaseInsensitive)) {
        if ((choice >> (n++ % 8)) & 1)
            removable.insert(at);
    }
    return removable;
}

// The installer's questions, answered Yes for the records that opens at an even place: each
// record is asked about once, and every Yes but the last costs one more edit.
void answerInTurn(const QString& list, const QStringList& keys, const QString& record)
{
    ScenarioListSplice::Removable removable;
    QSet<qsizetype> declined;
    for (qsizetype pass = 0;; ++pass) {
        REQUIRE(pass <= keys.size());
        const Result edited = ScenarioListSplice::edit(list, keys, record, removable);
        checkKept(edited, keys, removable, list.size());
        bool again = false;
        for (const auto& kept : edited.kept) {
            if (declined.contains(kept.start))
                continue;
            if (kept.start % 2 == 0) {
                removable.insert(kept.start);
                again = true;
                break;
            }
            declined.insert(kept.start);
        }
        if (!again)
            return;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QList<QByteArray> parts =
        QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)).split('\0');
    if (parts.size() < 3)
        return 0;
    // Latin-1 with a few wider characters, as the game's ANSI text decodes.
    const auto text = [](const QByteArray& bytes) {
        QString out = QString::fromLatin1(bytes);
        out.replace(QChar(0x80), QChar(0x20AC)).replace(QChar(0x9F), QChar(0x0178));
        return out;
    };
    const QStringList keys = text(parts[0]).split(QChar(u'\n'));
    const QString record = text(parts[1]);
    const QString list = text(parts.mid(2).join('\0'));

    const auto plain = ScenarioListSplice::removeRecordsOneByOne(list, keys);
    const auto quick = ScenarioListSplice::removeRecords(list, keys);
    REQUIRE(same(quick, plain));
    REQUIRE(plain.ok() || plain.text.isEmpty());
    REQUIRE(plain.kept.isEmpty());

    auto inserted = plain.ok() ? ScenarioListSplice::insertRecord(plain.text, record) : plain;
    if (inserted.ok())
        inserted.removed = plain.removed;
    const auto edited = ScenarioListSplice::edit(list, keys, record);
    REQUIRE(same(edited, inserted));
    REQUIRE(!edited.ok() || edited.text.contains(record));

    // Every place removable: the same as no answers at all.
    ScenarioListSplice::Removable everywhere;
    for (qsizetype at = 0; at < list.size(); ++at)
        everywhere.insert(at);
    REQUIRE(same(ScenarioListSplice::edit(list, keys, record, everywhere), edited));

    const auto removable = picked(list, parts[1].size());
    const auto guardedPlain = ScenarioListSplice::removeRecordsOneByOne(list, keys, removable);
    REQUIRE(same(ScenarioListSplice::removeRecords(list, keys, removable), guardedPlain));
    checkKept(guardedPlain, keys, removable, list.size());
    const auto guardedEdit = ScenarioListSplice::edit(list, keys, record, removable);
    auto guardedInserted = guardedPlain.ok()
                               ? ScenarioListSplice::insertRecord(guardedPlain.text, record)
                               : guardedPlain;
    if (guardedInserted.ok()) {
        guardedInserted.kept = guardedPlain.kept;
        guardedInserted.removed = guardedPlain.removed;
    }
    REQUIRE(same(guardedEdit, guardedInserted));

    answerInTurn(list, keys, record);
    return 0;
}
