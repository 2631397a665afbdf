#include "RouteListSplice.h"

#include "EmptyRecordList.h"

using namespace Qt::StringLiterals;

namespace veltrane {

namespace {

constexpr auto kCase = Qt::CaseInsensitive;
const QString kRecordOpen = u"<cRouteProperties"_s;
const QString kRecordClose = u"</cRouteProperties>"_s;

// Where the indentation of the line that holds position `at` begins, when only blanks
// stand before `at` on that line; otherwise `at` itself.
qsizetype indentationStart(const QString& text, qsizetype at)
{
    qsizetype start = at;
    while (start > 0 && (text[start - 1] == u'\t' || text[start - 1] == u' '))
        --start;
    return (start == 0 || text[start - 1] == u'\n') ? start : at;
}

// Just past the line end that starts at `at`, if one does.
qsizetype pastLineEnd(const QString& text, qsizetype at)
{
    if (text.mid(at, 2) == u"\r\n"_s)
        return at + 2;
    if (at < text.size() && text[at] == u'\n')
        return at + 1;
    return at;
}

// The pieces in one allocation: a route list of thousands of records is copied once, not
// once per "+".
QString joined(std::initializer_list<QStringView> pieces)
{
    qsizetype size = 0;
    for (const QStringView piece : pieces)
        size += piece.size();
    QString text;
    text.reserve(size);
    for (const QStringView piece : pieces)
        text.append(piece);
    return text;
}

// A new route becomes the last record; the closing line keeps a single TAB.
RouteListSplice::Result appended(const QString& list, const QString& marker)
{
    const qsizetype recordEnd = list.lastIndexOf(u"</Record"_s, -1, kCase);
    if (recordEnd < 0)
        return failure(u"It has no closing </Record> tag for its list of routes."_s);
    const qsizetype gt = recordEnd > 0 ? list.lastIndexOf(u'>', recordEnd - 1) : -1;
    if (gt < 0)
        return failure(u"Nothing stands before its closing </Record> tag."_s);
    const qsizetype headEnd = pastLineEnd(list, gt + 1);
    return joined(
        {QStringView(list).left(headEnd), marker, u"\t", QStringView(list).mid(recordEnd)});
}

} // namespace

RouteListSplice::Result RouteListSplice::elementText(const QString& marker, const QString& tag)
{
    const qsizetype open = marker.indexOf(u'<' + tag, 0, kCase);
    if (open < 0)
        return failure(u"It has no <"_s + tag + u"> element."_s);
    const qsizetype close = marker.indexOf(u"</"_s + tag, open, kCase);
    if (close < 0)
        return failure(u"Its <"_s + tag + u"> element is not closed."_s);
    const qsizetype gt = marker.lastIndexOf(u'>', close - 1);
    if (gt < open)
        return failure(u"Its <"_s + tag + u"> element is not closed."_s);
    return marker.mid(gt + 1, close - gt - 1);
}

RouteListSplice::Result RouteListSplice::routeIdentifier(const QString& marker)
{
    Result id = elementText(marker, u"DevString"_s);
    if (id.ok() && id->trimmed().isEmpty())
        return failure(u"Its <DevString> element, the route's identifier, is empty."_s);
    return id;
}

Expected<void> RouteListSplice::checkMarker(const QString& marker)
{
    const QStringView text = QStringView(marker).trimmed();
    for (const QChar c : text) {
        if (c.unicode() < 0x20 && c != u'\t' && c != u'\r' && c != u'\n')
            return failure(u"It holds control characters; it may be damaged."_s);
    }
    const bool opens = text.startsWith(kRecordOpen, kCase) && text.size() > kRecordOpen.size() &&
                       (text[kRecordOpen.size()] == u'>' || text[kRecordOpen.size()].isSpace());
    if (!opens || !text.endsWith(kRecordClose, kCase))
        return failure(u"It is not one complete <cRouteProperties> record: it must begin with "
                       u"<cRouteProperties and end with </cRouteProperties>; it may be "
                       u"damaged or cut short."_s);
    if (text.count(kRecordOpen, kCase) != 1 || text.count(kRecordClose, kCase) != 1 ||
        text.contains(u"</Record"_s, kCase))
        return failure(u"It holds more than one record."_s);
    return {};
}

std::optional<RouteListSplice::Record> RouteListSplice::recordHolding(const QString& list,
                                                                      const QString& identifier)
{
    if (identifier.isEmpty())
        return std::nullopt;
    const qsizetype found = list.indexOf(identifier, 0, kCase);
    if (found < 0)
        return std::nullopt;
    // Its opening tag must end at or before the identifier's first character.
    const qsizetype latestStart = found - kRecordOpen.size() + 1;
    Record record;
    record.start = latestStart < 0 ? -1 : list.lastIndexOf(kRecordOpen, latestStart, kCase);
    record.end = list.indexOf(kRecordClose, found, kCase);
    const qsizetype firstCloseAfterStart =
        record.start < 0 ? -1 : list.indexOf(kRecordClose, record.start, kCase);
    if (record.start < 0 || record.end < 0 || firstCloseAfterStart != record.end) {
        record.start = record.end = -1;
        return record;
    }
    const QString text = list.mid(record.start, record.end + kRecordClose.size() - record.start);
    record.identifier = elementText(text, u"DevString"_s).valueOr({});
    record.name = elementText(text, u"English"_s).valueOr({});
    return record;
}

RouteListSplice::Result RouteListSplice::splice(const QString& list, const QString& marker,
                                                const QString& identifier, Placement placement)
{
    if (identifier.isEmpty())
        return failure(u"The route's identifier is empty."_s);
    const std::optional<Record> record =
        placement == Placement::AsNewRoute ? std::nullopt : recordHolding(list, identifier);
    if (record) {
        if (record->start < 0)
            return failure(u"The route's identifier "_s + identifier +
                           u" occurs outside any <cRouteProperties> record."_s);
        // The record around the identifier's first occurrence gives way to the marker,
        // with the indentation before it and the line end after it.
        const qsizetype cutFrom = indentationStart(list, record->start);
        const qsizetype cutTo = pastLineEnd(list, record->end + kRecordClose.size());
        return joined({QStringView(list).left(cutFrom), marker, QStringView(list).mid(cutTo)});
    }

    if (const auto opened = EmptyRecordList::opened(list))
        return appended(*opened, marker);
    return appended(list, marker);
}

} // namespace veltrane
