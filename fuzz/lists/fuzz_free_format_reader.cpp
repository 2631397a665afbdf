// Reads arbitrary text as a free-format list file.
#include "fuzz/FuzzRequire.h"
#include "lists/FreeFormatReader.h"
#include "util/Windows1252.h"

#include <QByteArray>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

using namespace Qt::StringLiterals;
using namespace veltrane;

namespace {

// The plain reading of a list without quotes: split at commas and line ends, leading
// blanks dropped, and a blank tail after the last separator is no item.
QStringList unquotedItems(QString text)
{
    text.replace(u"\r\n"_s, u"\n"_s);
    text.replace(u'\r', u'\n');
    QStringList pieces = text.split(QRegularExpression(u"[,\\n]"_s));
    static const QRegularExpression blanks(u"^[ \\t]*"_s);
    for (QString& piece : pieces)
        piece.remove(blanks);
    if (pieces.last().isEmpty())
        pieces.removeLast();
    return pieces;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString text = Windows1252::decode(bytes);
    const QStringList items = FreeFormatReader::items(text);

    const qsizetype separators = text.count(u',') + text.count(u'\n') + text.count(u'\r');
    REQUIRE(items.size() <= separators + 1);
    qsizetype characters = 0;
    for (const QString& item : items)
        characters += item.size();
    REQUIRE(characters <= text.size());

    if (!text.contains(u'"'))
        REQUIRE(items == unquotedItems(text));

    // Quoting an item that has no quote of its own reads back the same item.
    if (!items.isEmpty() && !items.first().contains(u'"')) {
        const QStringList quoted = FreeFormatReader::items(u'"' + items.first() + u"\",tail"_s);
        REQUIRE(quoted.size() == 2 && quoted.first() == items.first());
    }
    return 0;
}
