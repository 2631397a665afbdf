#include "ScenarioListSplice.h"

#include "EmptyRecordList.h"
#include "KeyOccurrences.h"
#include "LiveText.h"
#include "ScenarioRecordText.h"

#include <QStringMatcher>
#include <algorithm>
#include <optional>

using namespace Qt::StringLiterals;

namespace veltrane {

namespace {

const QString kRecordOpen = u"<cScenarioProperties"_s;
const QString kRecordClose = u"</cScenarioProperties>"_s;
const QString kListClose = u"</Record"_s;
const QString kLineEnd = u"\r\n"_s;

ScenarioListSplice::Result problem(const QString& what)
{
    return {QString(), what, {}, {}};
}

// A key shown in a message: long or odd keys would make it unreadable.
QString shownKey(const QString& key)
{
    QString shown = key.left(80);
    for (QChar& c : shown) {
        if (c.unicode() < 0x20)
            c = u' ';
    }
    return u'"' + shown + (key.size() > 80 ? u"...\""_s : u"\""_s);
}

// Each UTF-16 unit folded on its own, so positions in a folded copy are positions in the
// text.
char16_t foldedUnit(QChar c)
{
    const char16_t u = c.unicode();
    if (u < 0x80)
        return u >= u'A' && u <= u'Z' ? char16_t(u + 0x20) : u;
    return c.isSurrogate() ? u : char16_t(QChar::toCaseFolded(u));
}

QString folded(QStringView text)
{
    QString out(text.size(), Qt::Uninitialized);
    QChar* to = out.data();
    for (const QChar c : text)
        *to++ = QChar(foldedUnit(c));
    return out;
}

ScenarioListSplice::Result noListClose()
{
    return problem(u"It has no closing </Record> tag, so the end of its list of scenarios "
                   u"cannot be found."_s);
}

ScenarioListSplice::Result nothingBeforeListClose()
{
    return problem(u"Nothing stands before its closing </Record> tag."_s);
}

ScenarioListSplice::Result outsideEveryRecord(const QString& key)
{
    return problem(u"The scenario key "_s + shownKey(key) +
                   u" occurs outside every scenario record, so no record can be removed for "
                   u"it."_s);
}

// One byte per character, folded as above, for the quick searches: a character beyond
// Latin-1 becomes 0, which no key searched for this way holds (searchableAsBytes).
QByteArray foldedBytes(QStringView text)
{
    QByteArray out(text.size(), Qt::Uninitialized);
    char* to = out.data();
    for (const QChar c : text) {
        const char16_t unit = foldedUnit(c);
        *to++ = unit < 0x100 ? char(unit) : '\0';
    }
    return out;
}

bool searchableAsBytes(const QString& foldedKey)
{
    return std::all_of(foldedKey.cbegin(), foldedKey.cend(),
                       [](QChar c) { return c.unicode() != 0 && c.unicode() < 0x100; });
}

using ScenarioListSplice::ForeignRecord;
using ScenarioListSplice::Removable;
using ScenarioListSplice::RemovedRecord;

// A record's place, from its opening tag to past its closing one; start is -1 for none.
struct Span {
    qsizetype start = -1;
    qsizetype stop = -1;
};

// Whether the record, which opens at start in the list as given, may go for key: its scenario
// is one of the keys', or it is removable. One that may not is noted in kept, once.
bool mayRemove(QStringView record, qsizetype start, const QString& key, const QStringList& keys,
               const Removable& removable, QList<ForeignRecord>& kept)
{
    if (removable.contains(start) || ScenarioRecordText::isOwnedBy(record, keys))
        return true;
    if (std::none_of(kept.cbegin(), kept.cend(),
                     [&](const ForeignRecord& other) { return other.start == start; })) {
        kept.append(
            {start, key, ScenarioRecordText::id(record), ScenarioRecordText::englishName(record)});
    }
    return false;
}

ScenarioListSplice::RemovedRecord removedRecord(QStringView record)
{
    return {ScenarioRecordText::id(record), ScenarioRecordText::englishName(record)};
}

// Stretches taken out of the list, in its own places: in order, never overlapping.
using Stretches = QList<std::pair<qsizetype, qsizetype>>;

// The place in the list as given of a place in the list with the stretches taken out.
qsizetype placeInList(const Stretches& removed, qsizetype place)
{
    for (const auto& [begin, end] : removed) {
        if (begin > place)
            break;
        place += end - begin;
    }
    return place;
}

// Notes [begin, end) of the shortened list as taken out; it may enclose stretches before.
void noteRemoval(Stretches& removed, qsizetype begin, qsizetype end)
{
    const qsizetype from = placeInList(removed, begin);
    const qsizetype to = placeInList(removed, end - 1) + 1;
    auto first =
        std::lower_bound(removed.begin(), removed.end(), from,
                         [](const auto& stretch, qsizetype at) { return stretch.first < at; });
    auto last = first;
    while (last != removed.end() && last->first < to)
        ++last;
    removed.insert(removed.erase(first, last), {from, to});
}

// The plain way; without removable every record reached goes.
ScenarioListSplice::Result removePlain(const QString& list, const QStringList& keys,
                                       const Removable* removable)
{
    // Searched in a folded copy that shrinks with the text: a plain search is many times
    // quicker than a case-insensitive one over a long list.
    QString text = list;
    QString lower = folded(list);
    const QString openTag = folded(kRecordOpen);
    const QStringMatcher close(folded(kRecordClose));
    const auto around = [&](qsizetype at) {
        // The last opening tag that lies wholly before the occurrence's first character ends.
        const qsizetype searchFrom = at + 1 - openTag.size();
        const qsizetype start = searchFrom < 0 ? -1 : lower.lastIndexOf(openTag, searchFrom);
        const qsizetype end = close.indexIn(lower, at);
        // The record that opens at start must still be open where the occurrence stands.
        if (start < 0 || end < 0 || close.indexIn(lower, start) != end)
            return Span{};
        return Span{start, end + kRecordClose.size()};
    };
    const auto textOf = [&](Span record) {
        return QStringView(text).sliced(record.start, record.stop - record.start);
    };
    const auto ownFrom = [&](const QStringMatcher& key, qsizetype from) {
        for (qsizetype at = key.indexIn(lower, from); at >= 0;) {
            const Span record = around(at);
            if (record.start >= 0 && ScenarioRecordText::isOwnedBy(textOf(record), keys))
                return record;
            at = key.indexIn(lower, record.start < 0 ? at + 1 : record.stop);
        }
        return Span{};
    };

    Stretches removed;
    QList<ForeignRecord> kept;
    QList<RemovedRecord> removedRecords;
    for (const QString& key : keys) {
        if (key.isEmpty())
            continue;
        const QStringMatcher matcher(folded(key));
        const qsizetype at = matcher.indexIn(lower);
        if (at < 0)
            continue;
        Span record = around(at);
        if (record.start < 0)
            return outsideEveryRecord(key);
        if (removable && !mayRemove(textOf(record), placeInList(removed, record.start), key, keys,
                                    *removable, kept)) {
            record = ownFrom(matcher, record.stop);
            if (record.start < 0)
                continue;
        }
        noteRemoval(removed, record.start, record.stop);
        removedRecords.append(removedRecord(textOf(record)));
        text.remove(record.start, record.stop - record.start);
        lower.remove(record.start, record.stop - record.start);
    }
    return {text, QString(), kept, removedRecords};
}

} // namespace

ScenarioListSplice::Result ScenarioListSplice::removeRecordsOneByOne(const QString& list,
                                                                     const QStringList& keys)
{
    return removePlain(list, keys, nullptr);
}

ScenarioListSplice::Result ScenarioListSplice::removeRecordsOneByOne(const QString& list,
                                                                     const QStringList& keys,
                                                                     const Removable& removable)
{
    return removePlain(list, keys, &removable);
}

namespace {

// Whether a tag or a later key forms where the removal that holds position joined the text:
// the plain way would find it there and the quick one would not.
bool joinMatters(const LiveText& live, qsizetype position, qsizetype longest,
                 const QList<QByteArray>& names)
{
    qsizetype joinOffset = 0;
    const QByteArray window = live.windowAround(position, longest - 1, &joinOffset);
    return std::any_of(names.cbegin(), names.cend(), [&](const QByteArray& name) {
        if (name.isEmpty())
            return false;
        const qsizetype from = qMax<qsizetype>(0, joinOffset - name.size() + 1);
        const qsizetype found = window.indexOf(name, from);
        return found >= 0 && found < joinOffset;
    });
}

// The searches of the plain way, made in the unchanged text with the removed records
// skipped: no copy of the list per key. Nothing when live holds the removals; otherwise the
// finished result: a problem, or what the plain way gives where this one cannot follow it.
std::optional<ScenarioListSplice::Result> removeLive(const QString& list, const QStringList& keys,
                                                     const QByteArray& lower, LiveText& live,
                                                     const Removable* removable,
                                                     QList<ForeignRecord>& kept,
                                                     QList<RemovedRecord>& removedRecords)
{
    const QByteArray openTag = foldedBytes(kRecordOpen);
    const QByteArray closeTag = foldedBytes(kRecordClose);
    const QByteArray listClose = foldedBytes(kListClose);
    const QByteArrayMatcher close(closeTag);
    QList<QByteArray> foldedKeys;
    qsizetype longest = qMax(openTag.size(), qMax(closeTag.size(), listClose.size()));
    for (const QString& key : keys) {
        if (!searchableAsBytes(folded(key)))
            return removePlain(list, keys, removable);
        foldedKeys.append(foldedBytes(key));
        longest = qMax(longest, key.size());
    }
    const auto around = [&](qsizetype at) {
        const qsizetype searchFrom = at + 1 - openTag.size();
        const qsizetype start = searchFrom < 0 ? -1 : live.lastStartingBy(openTag, searchFrom);
        const qsizetype end = live.firstFrom(close, at);
        if (start < 0 || end < 0 || live.firstFrom(close, start) != end)
            return Span{};
        return Span{start, end + closeTag.size()};
    };
    const auto textOf = [&](Span record) {
        QString text;
        live.appendKept(text, list, record.start, record.stop);
        return text;
    };
    const auto ownFrom = [&](const QByteArrayMatcher& key, qsizetype from) {
        for (qsizetype at = live.firstFrom(key, from); at >= 0;) {
            const Span record = around(at);
            if (record.start >= 0 && ScenarioRecordText::isOwnedBy(textOf(record), keys))
                return record;
            at = live.firstFrom(key, record.start < 0 ? at + 1 : record.stop);
        }
        return Span{};
    };

    const KeyOccurrences occurrences(lower, foldedKeys);
    for (qsizetype i = 0; i < foldedKeys.size(); ++i) {
        const QByteArray& key = foldedKeys[i];
        if (key.isEmpty())
            continue;
        const qsizetype at = occurrences.listed(i) ? live.firstKept(occurrences.of(i), key.size())
                                                   : live.firstFrom(QByteArrayMatcher(key), 0);
        if (at < 0)
            continue;
        Span record = around(at);
        if (record.start < 0)
            return outsideEveryRecord(keys[i]);
        if (removable &&
            !mayRemove(textOf(record), record.start, keys[i], keys, *removable, kept)) {
            record = ownFrom(QByteArrayMatcher(key), record.stop);
            if (record.start < 0)
                continue;
        }
        removedRecords.append(removedRecord(textOf(record)));
        live.remove(record.start, record.stop);
        // A name that forms only where the removal joined the text: left to the plain way.
        const QList<QByteArray> names =
            QList<QByteArray>{openTag, closeTag, listClose} + foldedKeys.mid(i + 1);
        if (joinMatters(live, record.start, longest, names))
            return removePlain(list, keys, removable);
    }
    return std::nullopt;
}

ScenarioListSplice::Result removeQuickly(const QString& list, const QStringList& keys,
                                         const Removable* removable)
{
    const QByteArray lower = foldedBytes(list);
    LiveText live(lower);
    QList<ForeignRecord> kept;
    QList<RemovedRecord> removedRecords;
    if (auto finished = removeLive(list, keys, lower, live, removable, kept, removedRecords))
        return *finished;
    QString text;
    text.reserve(list.size() - live.removedLength());
    live.appendKept(text, list, 0, list.size());
    return {text, QString(), kept, removedRecords};
}

// A successful result lists the records kept and removed on the way; a problem lists none.
ScenarioListSplice::Result withKept(ScenarioListSplice::Result result,
                                    const QList<ForeignRecord>& kept,
                                    const QList<RemovedRecord>& removed)
{
    if (result.ok()) {
        result.kept = kept;
        result.removed = removed;
    }
    return result;
}

ScenarioListSplice::Result editQuickly(const QString& list, const QStringList& keys,
                                       const QString& record, const Removable* removable)
{
    using ScenarioListSplice::insertRecord;
    const QByteArray lower = foldedBytes(list);
    LiveText live(lower);
    QList<ForeignRecord> keptRecords;
    QList<RemovedRecord> removedRecords;
    if (auto removed = removeLive(list, keys, lower, live, removable, keptRecords, removedRecords))
        return removed->ok()
                   ? withKept(insertRecord(removed->text, record), removed->kept, removed->removed)
                   : *removed;

    // The insertion of insertRecord, on the kept characters.
    const qsizetype listEnd = live.lastStartingBy(foldedBytes(kListClose), lower.size() - 1);
    if (listEnd < 0) {
        // No list to insert into as it stands: insertRecord opens an empty one or says so.
        QString kept;
        kept.reserve(list.size() - live.removedLength());
        live.appendKept(kept, list, 0, list.size());
        return withKept(insertRecord(kept, record), keptRecords, removedRecords);
    }
    const qsizetype lastTagEnd = listEnd > 0 ? live.lastStartingBy(">", listEnd - 1) : -1;
    if (lastTagEnd < 0)
        return nothingBeforeListClose();
    const QList<qsizetype> following = live.keptFrom(lastTagEnd + 1, 2);
    qsizetype headEnd = lastTagEnd + 1;
    for (const qsizetype at : following) {
        if (at < listEnd)
            headEnd = at + 1;
    }
    qsizetype restStart = lastTagEnd + 1;
    if (following.size() == 2 && list[following[0]] == u'\r' && list[following[1]] == u'\n' &&
        record.endsWith(kLineEnd))
        restStart = following[1] + 1;

    QString text;
    text.reserve(list.size() - live.removedLength() + record.size() + 2);
    live.appendKept(text, list, 0, headEnd);
    text.append(record);
    live.appendKept(text, list, restStart, list.size());
    return {text, QString(), keptRecords, removedRecords};
}

} // namespace

ScenarioListSplice::Result ScenarioListSplice::removeRecords(const QString& list,
                                                             const QStringList& keys)
{
    return removeQuickly(list, keys, nullptr);
}

ScenarioListSplice::Result ScenarioListSplice::removeRecords(const QString& list,
                                                             const QStringList& keys,
                                                             const Removable& removable)
{
    return removeQuickly(list, keys, &removable);
}

ScenarioListSplice::Result ScenarioListSplice::edit(const QString& list, const QStringList& keys,
                                                    const QString& record)
{
    return editQuickly(list, keys, record, nullptr);
}

ScenarioListSplice::Result ScenarioListSplice::edit(const QString& list, const QStringList& keys,
                                                    const QString& record,
                                                    const Removable& removable)
{
    return editQuickly(list, keys, record, &removable);
}

ScenarioListSplice::Result ScenarioListSplice::insertRecord(const QString& list,
                                                            const QString& record)
{
    if (const auto opened = EmptyRecordList::opened(list))
        return insertRecord(*opened, record);
    const qsizetype listEnd = list.lastIndexOf(kListClose, -1, Qt::CaseInsensitive);
    if (listEnd < 0)
        return noListClose();
    const qsizetype lastTagEnd = listEnd > 0 ? list.lastIndexOf(u'>', listEnd - 1) : -1;
    if (lastTagEnd < 0)
        return nothingBeforeListClose();
    // The head takes the line end after the last ">"; never part of the closing tag itself.
    const qsizetype headSize = qMin(lastTagEnd + 3, listEnd);
    QStringView rest = QStringView(list).mid(lastTagEnd + 1);
    if (rest.startsWith(kLineEnd) && record.endsWith(kLineEnd))
        rest = rest.mid(2);
    QString text;
    text.reserve(headSize + record.size() + rest.size());
    text.append(QStringView(list).left(headSize));
    text.append(record);
    text.append(rest);
    return {text, QString(), {}, {}};
}

} // namespace veltrane
