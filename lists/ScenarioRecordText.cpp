#include "ScenarioRecordText.h"

#include <algorithm>

using namespace Qt::StringLiterals;

namespace veltrane {

namespace {

// Where the first tag that opens with `opening` ("<ID", "</ID") and names no longer element
// ("<IDs") starts at or after from, or -1.
qsizetype findTag(QStringView text, const QString& opening, qsizetype from)
{
    for (qsizetype at = text.indexOf(opening, from, Qt::CaseInsensitive); at >= 0;
         at = text.indexOf(opening, at + 1, Qt::CaseInsensitive)) {
        const qsizetype after = at + opening.size();
        if (after == text.size())
            return -1;
        const QChar next = text[after];
        if (next == u'>' || next == u'/' || next.isSpace())
            return at;
    }
    return -1;
}

// What the first element of that name holds; empty when there is none, it is empty or it is
// not closed.
QStringView elementContent(QStringView text, const QString& name)
{
    const qsizetype open = findTag(text, u'<' + name, 0);
    const qsizetype tagEnd = open < 0 ? -1 : text.indexOf(u'>', open);
    if (tagEnd < 0 || text[tagEnd - 1] == u'/')
        return {};
    const qsizetype close = findTag(text, u"</"_s + name, tagEnd + 1);
    return close < 0 ? QStringView() : text.sliced(tagEnd + 1, close - tagEnd - 1);
}

} // namespace

QString ScenarioRecordText::id(QStringView record)
{
    return elementContent(elementContent(record, u"ID"_s), u"DevString"_s).trimmed().toString();
}

QString ScenarioRecordText::englishName(QStringView record)
{
    return elementContent(elementContent(record, u"DisplayName"_s), u"English"_s)
        .trimmed()
        .toString();
}

bool ScenarioRecordText::isOwnedBy(QStringView record, const QStringList& keys)
{
    const QString own = id(record);
    return !own.isEmpty() && std::any_of(keys.cbegin(), keys.cend(), [&](const QString& key) {
        return QStringView(key).trimmed().compare(own, Qt::CaseInsensitive) == 0;
    });
}

} // namespace veltrane
