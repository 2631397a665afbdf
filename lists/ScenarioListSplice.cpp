#include "ScenarioListSplice.h"

#include "EmptyRecordList.h"
#include "KeyOccurrences.h"
#include "LiveText.h"

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
    return {QString(), what};
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

} // namespace

ScenarioListSplice::Result ScenarioListSplice::removeRecordsOneByOne(const QString& list,
                                                                     const QStringList& keys)
{
    // Searched in a folded copy that shrinks with the text: a plain search is many times
    // quicker than a case-insensitive one over a long list.
    QString text = list;
    QString lower = folded(list);
    const QString openTag = folded(kRecordOpen);
    const QStringMatcher close(folded(kRecordClose));
    for (const QString& key : keys) {
        if (key.isEmpty())
            continue;
        const qsizetype at = QStringMatcher(folded(key)).indexIn(lower);
        if (at < 0)
            continue;
        // The last opening tag that lies wholly before the key's first character ends.
        const qsizetype searchFrom = at + 1 - openTag.size();
        const qsizetype start = searchFrom < 0 ? -1 : lower.lastIndexOf(openTag, searchFrom);
        const qsizetype end = close.indexIn(lower, at);
        // The record that opens at start must still be open where the key stands.
        if (start < 0 || end < 0 || close.indexIn(lower, start) != end)
            return outsideEveryRecord(key);
        const qsizetype stop = end + kRecordClose.size();
        text.remove(start, stop - start);
        lower.remove(start, stop - start);
    }
    return {text, QString()};
}

namespace {

// The searches of the plain way, made in the unchanged text with the removed records
// skipped: no copy of the list per key. Nothing when live holds the removals; otherwise the
// finished result: a problem, or what the plain way gives where this one cannot follow it.
std::optional<ScenarioListSplice::Result> removeLive(const QString& list, const QStringList& keys,
                                                     const QByteArray& lower, LiveText& live)
{
    const QByteArray openTag = foldedBytes(kRecordOpen);
    const QByteArray closeTag = foldedBytes(kRecordClose);
    const QByteArray listClose = foldedBytes(kListClose);
    const QByteArrayMatcher close(closeTag);
    QList<QByteArray> foldedKeys;
    qsizetype longest = qMax(openTag.size(), qMax(closeTag.size(), listClose.size()));
    for (const QString& key : keys) {
        if (!searchableAsBytes(folded(key)))
            return ScenarioListSplice::removeRecordsOneByOne(list, keys);
        foldedKeys.append(foldedBytes(key));
        longest = qMax(longest, key.size());
    }

    const KeyOccurrences occurrences(lower, foldedKeys);
    for (qsizetype i = 0; i < foldedKeys.size(); ++i) {
        const QByteArray& key = foldedKeys[i];
        if (key.isEmpty())
            continue;
        const qsizetype at = occurrences.listed(i) ? live.firstKept(occurrences.of(i), key.size())
                                                   : live.firstFrom(QByteArrayMatcher(key), 0);
        if (at < 0)
            continue;
        const qsizetype searchFrom = at + 1 - openTag.size();
        const qsizetype start = searchFrom < 0 ? -1 : live.lastStartingBy(openTag, searchFrom);
        const qsizetype end = live.firstFrom(close, at);
        if (start < 0 || end < 0 || live.firstFrom(close, start) != end)
            return outsideEveryRecord(keys[i]);
        live.remove(start, end + closeTag.size());

        // A name that forms only where the removal joined the text would be found by the
        // plain way and not here; that rare case is left to the plain way.
        qsizetype joinOffset = 0;
        const QByteArray window = live.windowAround(start, longest - 1, &joinOffset);
        const auto formsAcross = [&](const QByteArray& name) {
            if (name.isEmpty())
                return false;
            const qsizetype from = qMax<qsizetype>(0, joinOffset - name.size() + 1);
            const qsizetype found = window.indexOf(name, from);
            return found >= 0 && found < joinOffset;
        };
        bool joinMatters = formsAcross(openTag) || formsAcross(closeTag) || formsAcross(listClose);
        for (qsizetype j = i + 1; j < foldedKeys.size() && !joinMatters; ++j)
            joinMatters = formsAcross(foldedKeys[j]);
        if (joinMatters)
            return ScenarioListSplice::removeRecordsOneByOne(list, keys);
    }
    return std::nullopt;
}

} // namespace

ScenarioListSplice::Result ScenarioListSplice::removeRecords(const QString& list,
                                                             const QStringList& keys)
{
    const QByteArray lower = foldedBytes(list);
    LiveText live(lower);
    if (auto finished = removeLive(list, keys, lower, live))
        return *finished;
    QString text;
    text.reserve(list.size() - live.removedLength());
    live.appendKept(text, list, 0, list.size());
    return {text, QString()};
}

ScenarioListSplice::Result ScenarioListSplice::edit(const QString& list, const QStringList& keys,
                                                    const QString& record)
{
    const QByteArray lower = foldedBytes(list);
    LiveText live(lower);
    if (auto removed = removeLive(list, keys, lower, live))
        return removed->ok() ? insertRecord(removed->text, record) : *removed;

    // The insertion of insertRecord, on the kept characters.
    const qsizetype listEnd = live.lastStartingBy(foldedBytes(kListClose), lower.size() - 1);
    if (listEnd < 0) {
        // No list to insert into as it stands: insertRecord opens an empty one or says so.
        QString kept;
        kept.reserve(list.size() - live.removedLength());
        live.appendKept(kept, list, 0, list.size());
        return insertRecord(kept, record);
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
    return {text, QString()};
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
    return {text, QString()};
}

} // namespace veltrane
