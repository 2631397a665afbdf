#include "PackageFolder.h"

#include "platform/GameLocator.h"
#include "util/HostPath.h"
#include "util/TextFile.h"

#include <QDir>

using namespace Qt::StringLiterals;

namespace veltrane {

namespace {

const QString kDefaultGamePath = u"c:\\program files\\Rail Simulator"_s;

bool has(const QString& folder, const QString& name)
{
    return fileExists(HostPath::fromProgramPath(folder + u'\\' + name));
}

} // namespace

PackageKind PackageFolder::kindOf(const QString& folder)
{
    if (has(folder, u"Veltrane.xxx"_s))
        return PackageKind::Route;
    if (has(folder, u"Scenario.zzz"_s))
        return PackageKind::Scenario;
    return PackageKind::Assets;
}

bool PackageFolder::holdsPackage(const QString& folder)
{
    static const QStringList kMarkers{u"Veltrane.xxx"_s, u"Scenario.zzz"_s, u"Scenario.yyy"_s,
                                      u"Scenario.qqq"_s};
    for (const QString& marker : kMarkers) {
        if (has(folder, marker))
            return true;
    }
    return folderExists(HostPath::fromProgramPath(folder + u"\\Rail Simulator"_s));
}

QString PackageFolder::defaultGameFolder()
{
    if (has(kDefaultGamePath, u"RailSim.exe"_s))
        return kDefaultGamePath;
#ifdef Q_OS_WIN
    return {};
#else
    return GameLocator(QDir::homePath(), QProcessEnvironment::systemEnvironment()).find();
#endif
}

} // namespace veltrane
