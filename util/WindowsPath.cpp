#include "WindowsPath.h"

using namespace Qt::StringLiterals;

namespace veltrane {

bool WindowsPath::startsWithDrive(QStringView text)
{
    return text.size() >= 2 && text[1] == u':' && text[0].unicode() < 0x80 && text[0].isLetter();
}

WindowsPath WindowsPath::parse(QStringView text)
{
    WindowsPath path;
    if (startsWithDrive(text)) {
        path.root = text.left(2).toString() + u'\\';
        text = text.mid(2);
    } else if (!text.isEmpty() && isSeparator(text[0])) {
        path.root = u"/"_s;
    }
    path.append(text);
    return path;
}

void WindowsPath::append(QStringView relative)
{
    qsizetype start = 0;
    for (qsizetype i = 0; i <= relative.size(); ++i) {
        if (i < relative.size() && !isSeparator(relative[i]))
            continue;
        const QStringView name = relative.mid(start, i - start);
        start = i + 1;
        if (name.isEmpty() || name == u".")
            continue;
        if (name == u"..") {
            if (!names.isEmpty())
                names.removeLast();
            continue;
        }
        names.append(name.toString());
    }
}

QString WindowsPath::toString() const
{
    if (names.isEmpty())
        return root.isEmpty() ? u"."_s : root;
    return root + names.join(separator());
}

WindowsPath WindowsPath::parent() const
{
    WindowsPath up = *this;
    if (!up.names.isEmpty())
        up.names.removeLast();
    return up;
}

WindowsPath WindowsPath::child(const QString& name) const
{
    WindowsPath down = *this;
    down.names.append(name);
    return down;
}

} // namespace veltrane
