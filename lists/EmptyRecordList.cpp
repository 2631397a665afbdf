#include "EmptyRecordList.h"

using namespace Qt::StringLiterals;

namespace veltrane {

std::optional<QString> EmptyRecordList::opened(const QString& list)
{
    constexpr auto kCase = Qt::CaseInsensitive;
    const QString selfClosing = u"<Record/>"_s;
    if (list.lastIndexOf(u"</Record"_s, -1, kCase) >= 0)
        return std::nullopt;
    const qsizetype at = list.indexOf(selfClosing, 0, kCase);
    // Two of them leave open which one is the list.
    if (at < 0 || list.indexOf(selfClosing, at + 1, kCase) >= 0)
        return std::nullopt;
    qsizetype lineStart = at;
    while (lineStart > 0 && (list[lineStart - 1] == u'\t' || list[lineStart - 1] == u' '))
        --lineStart;
    const bool startsLine = lineStart == 0 || list[lineStart - 1] == u'\n';
    const QStringView indentation =
        startsLine ? QStringView(list).mid(lineStart, at - lineStart) : QStringView();
    // The name keeps its letter case, as the rest of the list keeps its own.
    const QStringView name = QStringView(list).mid(at + 1, selfClosing.size() - 3);
    QString text;
    text.reserve(list.size() + indentation.size() + name.size() + 5);
    text.append(QStringView(list).left(at));
    text.append(u'<').append(name).append(u">\r\n"_s);
    text.append(indentation);
    text.append(u"</"_s).append(name).append(u'>');
    text.append(QStringView(list).mid(at + selfClosing.size()));
    return text;
}

} // namespace veltrane
