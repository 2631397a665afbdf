#include "serz/Printable.h"

#include <QStringDecoder>

using namespace Qt::StringLiterals;

namespace veltrane::serz {

QString printable(QByteArrayView bytes, bool quoted)
{
    constexpr qsizetype kLimit = 60;
    const bool shortened = bytes.size() > kLimit;
    if (shortened)
        bytes = bytes.first(kLimit);
    QString out;
    out.reserve(bytes.size() + 2);
    if (quoted)
        out += u'"';
    qsizetype i = 0;
    while (i < bytes.size()) {
        const uchar c = uchar(bytes[i]);
        if (c >= 0x20 && c < 0x7F) {
            out += QLatin1Char(char(c));
            ++i;
            continue;
        }
        int length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 ? 2 : 0;
        if (c >= 0x80 && length > 0 && i + length <= bytes.size()) {
            QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
            const QString decoded = decoder(bytes.sliced(i, length));
            if (!decoder.hasError() && decoded.size() <= 2 && !decoded.contains(QChar(0xFFFD))) {
                out += decoded;
                i += length;
                continue;
            }
        }
        out += u"\\x%1"_s.arg(c, 2, 16, QLatin1Char('0'));
        ++i;
    }
    if (quoted)
        out += u'"';
    if (shortened)
        out += u"..."_s;
    return out;
}

} // namespace veltrane::serz
