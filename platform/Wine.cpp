#include "Wine.h"

#include "util/HostPath.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

using namespace Qt::StringLiterals;

namespace veltrane {

QString Wine::program()
{
#ifdef Q_OS_WIN
    return {};
#else
    return QStandardPaths::findExecutable(u"wine"_s);
#endif
}

QString Wine::systemFolder()
{
    return HostPath::toHost(u"C:\\windows\\system32"_s);
}

QString Wine::toWindowsPath(const QString& hostPath)
{
    const QString absolute = QDir::cleanPath(QFileInfo(hostPath).absoluteFilePath());
    const QString prefix = HostPath::winePrefix();
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
