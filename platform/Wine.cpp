#include "Wine.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

using namespace Qt::StringLiterals;

namespace veltrane {

HostPath Wine::program()
{
#ifdef Q_OS_WIN
    return {};
#else
    const QString found = QStandardPaths::findExecutable(u"wine"_s);
    return found.isEmpty() ? HostPath() : HostPath::fromHost(found);
#endif
}

HostPath Wine::systemFolder()
{
    return HostPath::fromProgramPath(u"C:\\windows\\system32"_s);
}

QString Wine::toWindowsPath(const HostPath& path)
{
    const QString absolute = QDir::cleanPath(QFileInfo(path.toString()).absoluteFilePath());
    const QString prefix = HostPath::winePrefix().toString();
    const auto windowsForm = [](QChar drive, QString rest) {
        rest.replace(u'/', u'\\');
        if (!rest.startsWith(u'\\'))
            rest.prepend(u'\\');
        return QString(drive.toUpper()) + u':' + rest;
    };

    const QString dosdevices = prefix + u"/dosdevices/"_s;
    if (absolute.startsWith(dosdevices) && absolute.size() >= dosdevices.size() + 2 &&
        absolute[dosdevices.size() + 1] == u':' && absolute[dosdevices.size()].isLetter()) {
        const QString rest = absolute.mid(dosdevices.size() + 2);
        if (rest.isEmpty() || rest.startsWith(u'/'))
            return windowsForm(absolute[dosdevices.size()], rest);
    }
    const QString driveC = prefix + u"/drive_c"_s;
    if (absolute == driveC || absolute.startsWith(driveC + u'/'))
        return windowsForm(u'C', absolute.mid(driveC.size()));
    return windowsForm(u'Z', absolute);
}

} // namespace veltrane
