#include "WineEnvironment.h"

#include "EnvironmentGuard.h"
#include "FileFixture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace veltrane::test {

WineEnvironment::WineEnvironment() : m_dir(qEnvironmentVariable("VELTRANE_WINE_DIR"))
{
    if (m_dir.isEmpty()) {
        m_reason = u"VELTRANE_WINE_DIR is not set; run the Wine tests through CTest"_s;
        return;
    }
    const QString status = QString::fromUtf8(readFile(m_dir + u"/status"_s)).trimmed();
    if (status != u"ready"_s)
        m_reason = status.isEmpty() ? u"the test wine_prefix has not prepared a prefix"_s : status;
}

QString WineEnvironment::prefix() const
{
    return m_dir + u"/prefix"_s;
}

QString WineEnvironment::prefixWithoutZ() const
{
    return m_dir + u"/prefix-without-z"_s;
}

QString WineEnvironment::windowsSerializer() const
{
    const QString path = prefix() + u"/drive_c/windows/system32/Serz.exe"_s;
    return QFileInfo(path).isFile() ? path : QString();
}

QString WineEnvironment::windowsForm(const QString& hostPath) const
{
    const QString path = QDir::cleanPath(hostPath);
    QString form = u"Z:"_s + path;
    for (const QString& driveC : {QDir::cleanPath(prefix() + u"/drive_c"_s),
                                  QFileInfo(prefix() + u"/drive_c"_s).canonicalFilePath()}) {
        if (path.startsWith(driveC + u'/'))
            form = u"C:"_s + path.mid(driveC.size());
    }
    return form.replace(u'/', u'\\');
}

void WineEnvironment::use(EnvironmentGuard& environment, const QString& prefix) const
{
    environment.set("PATH", QFile::encodeName(m_dir + u"/bin"_s));
    environment.set("WINEPREFIX", QFile::encodeName(prefix));
    environment.set("WINEDEBUG", "-all");
    environment.set("WINEDLLOVERRIDES", "mscoree,mshtml=");
    environment.unset("DISPLAY");
    environment.unset("WAYLAND_DISPLAY");
}

} // namespace veltrane::test
