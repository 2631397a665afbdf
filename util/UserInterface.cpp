#include "UserInterface.h"

#include <QStringList>

using namespace Qt::StringLiterals;

namespace veltrane {

namespace {
constexpr qsizetype kLongestLine = 300;
constexpr qsizetype kMostLines = 40;
} // namespace

UserInterface::~UserInterface() = default;

QString fittedForMessage(const QString& text)
{
    if (text.size() <= kLongestLine)
        return text;
    QString fitted;
    qsizetype start = 0;
    for (qsizetype lines = 0; start < text.size(); ++lines) {
        if (lines == kMostLines)
            return fitted + u"..."_s;
        qsizetype end = text.indexOf(u'\n', start);
        end = end < 0 ? text.size() : end + 1; // the line end stays as it was
        const qsizetype length = end - start;
        if (length > kLongestLine + 2) {
            fitted += QStringView(text).mid(start, kLongestLine);
            fitted += u"..."_s;
            if (text[end - 1] == u'\n')
                fitted += u"\r\n"_s;
        } else {
            fitted += QStringView(text).mid(start, length);
        }
        start = end;
    }
    return fitted;
}

QString oneLine(const QString& text)
{
    QString line = text.trimmed();
    line.replace(u"\r\n"_s, u" | "_s).replace(u'\n', u" | "_s).replace(u'\r', u' ');
    return line;
}

} // namespace veltrane
