#include "FreeFormatReader.h"

namespace veltrane {

namespace {

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}

bool isLineEnd(QChar c)
{
    return c == u'\r' || c == u'\n';
}

} // namespace

QStringList FreeFormatReader::items(const QString& text)
{
    QStringList items;
    const qsizetype size = text.size();
    qsizetype at = 0;
    while (at < size) {
        while (at < size && isBlank(text[at]))
            ++at;
        if (at >= size)
            break;
        QString item;
        if (text[at] == u'"') {
            const qsizetype close = text.indexOf(u'"', at + 1);
            const qsizetype end = close < 0 ? size : close;
            item = text.mid(at + 1, end - at - 1);
            at = close < 0 ? size : close + 1;
            // Whatever follows the closing quote up to the separator is dropped.
            while (at < size && text[at] != u',' && !isLineEnd(text[at]))
                ++at;
        } else {
            const qsizetype start = at;
            while (at < size && text[at] != u',' && !isLineEnd(text[at]))
                ++at;
            item = text.mid(start, at - start);
        }
        // One separator ends the item: a comma, or a line end (CR LF counts once).
        if (at < size && text[at] == u',') {
            ++at;
        } else if (at < size && isLineEnd(text[at])) {
            const bool crlf = text[at] == u'\r' && at + 1 < size && text[at + 1] == u'\n';
            at += crlf ? 2 : 1;
        }
        items.append(item);
    }
    return items;
}

} // namespace veltrane
