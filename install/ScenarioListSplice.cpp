#include "ScenarioListSplice.h"

#include <QStringMatcher>

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

// Each UTF-16 unit folded on its own, so positions in the copy are positions in the text.
QString folded(QStringView text)
{
    QString out(text.size(), Qt::Uninitialized);
    QChar* to = out.data();
    for (const QChar c : text)
        *to++ = c.isSurrogate() ? c : QChar(QChar::toCaseFolded(c.unicode()));
    return out;
}

} // namespace

ScenarioListSplice::Result ScenarioListSplice::removeRecords(const QString& list,
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
        if (start < 0 || end < 0 || close.indexIn(lower, start) != end) {
            return problem(u"The scenario key "_s + shownKey(key) +
                           u" occurs outside every scenario record, so no record can be "
                           u"removed for it."_s);
        }
        const qsizetype stop = end + kRecordClose.size();
        text.remove(start, stop - start);
        lower.remove(start, stop - start);
    }
    return {text, QString()};
}

ScenarioListSplice::Result ScenarioListSplice::insertRecord(const QString& list,
                                                            const QString& record)
{
    const qsizetype listEnd = list.lastIndexOf(kListClose, -1, Qt::CaseInsensitive);
    if (listEnd < 0)
        return problem(u"It has no closing </Record> tag, so the end of its list of "
                       u"scenarios cannot be found."_s);
    const qsizetype lastTagEnd = listEnd > 0 ? list.lastIndexOf(u'>', listEnd - 1) : -1;
    if (lastTagEnd < 0)
        return problem(u"Nothing stands before its closing </Record> tag."_s);
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
