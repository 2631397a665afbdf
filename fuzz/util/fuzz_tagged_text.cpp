// Runs a chain of GetDetail and PutDetail calls over one document. The input is the
// document, then NUL-separated steps: "g<tag>" reads, "p<tag>=<value>" writes, "@<n>" moves
// the position; a capital "G" or "P" starts again at position 1.
#include "fuzz/FuzzRequire.h"
#include "util/TaggedText.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

using namespace Qt::StringLiterals;
using namespace veltrane;

namespace {

// A successful read leaves the position on the element's closing tag and returns text that
// stands right before it.
void checkRead(const QString& text, qint32 position, const QString& tag, const QString& value)
{
    REQUIRE(position >= 1 && position <= text.size());
    const qsizetype close = position - 1;
    REQUIRE(QStringView(text).mid(close).startsWith(u"</"_s + tag, Qt::CaseInsensitive));
    REQUIRE(close >= value.size());
    REQUIRE(QStringView(text).mid(close - value.size(), value.size()) == value);
}

void get(const QString& text, qint32& position, const QString& tag, QString& value)
{
    const qint32 before = position;
    const QString oldValue = value;
    try {
        TaggedText::readValue(text, position, tag, value);
    } catch (const std::invalid_argument&) {
        REQUIRE(position == before && value == oldValue);
        return;
    }
    REQUIRE(before >= 1);
    if (position == 0) {
        REQUIRE(value == oldValue);
        return;
    }
    checkRead(text, position, tag, value);
}

void put(QString& text, qint32& position, const QString& tag, const QString& response)
{
    const QString original = text;
    const qint32 start = position;
    TaggedText::replaceValue(text, position, tag, response);
    if (position == 0) {
        REQUIRE(text == original);
        return;
    }
    REQUIRE(start >= 1);

    // The same element read back from where the write started holds what was written, as
    // long as the written text cannot itself look like a closing tag, and the tag name does
    // not reach past its own ">" into the value the write replaced.
    if (response.contains(u'<') || tag.contains(u'>'))
        return;
    qint32 again = start;
    QString value;
    TaggedText::readValue(text, again, tag, value);
    REQUIRE(value == response);
    REQUIRE(again - position == qint32(text.size() - original.size()));

    // The position left by the write is where the same read finds the closing tag in the
    // untouched document.
    qint32 before = start;
    QString oldValue;
    TaggedText::readValue(original, before, tag, oldValue);
    REQUIRE(before == position);
    REQUIRE(text ==
            original.left(before - 1 - oldValue.size()) + response + original.mid(before - 1));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QList<QByteArray> pieces =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size)).split('\0');
    QString text = QString::fromUtf8(pieces.first());
    qint32 position = 1;
    QString value;
    for (qsizetype i = 1; i < pieces.size() && i <= 64; ++i) {
        const QString step = QString::fromUtf8(pieces[i]);
        if (step.isEmpty())
            continue;
        const QChar kind = step[0];
        const QString rest = step.mid(1);
        if (kind == u'@') {
            bool ok = false;
            const int to = rest.toInt(&ok);
            if (ok)
                position = to;
            continue;
        }
        if (kind == u'G' || kind == u'P')
            position = 1;
        if (kind.toLower() == u'g') {
            get(text, position, rest, value);
        } else if (kind.toLower() == u'p') {
            const qsizetype equals = rest.indexOf(u'=');
            put(text, position, rest.left(equals), equals < 0 ? QString() : rest.mid(equals + 1));
        }
    }
    return 0;
}
