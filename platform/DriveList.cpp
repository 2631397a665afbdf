#include "DriveList.h"

#include "util/HostPath.h"
#include "util/WindowsPath.h"

#include <QDir>
#include <QFileInfo>

#ifdef Q_OS_WIN
#include <QStorageInfo>
#endif

using namespace Qt::StringLiterals;

namespace veltrane {

bool Drive::isReady() const
{
    return QFileInfo(hostRoot).isDir();
}

QString DriveList::rootName()
{
    return u"/"_s;
}

QList<Drive> DriveList::drives()
{
    QList<Drive> drives;
#ifdef Q_OS_WIN
    for (const QFileInfo& root : QDir::drives()) {
        const QString name = root.path().left(2).toLower();
        const QString hostRoot = name + u'\\';
        const QStorageInfo volume(hostRoot);
        const QString volumeName = volume.isReady() ? volume.name() : QString();
        drives.append(
            {name, hostRoot, volumeName.isEmpty() ? name : name + u" ["_s + volumeName + u']'});
    }
#else
    // Wine's drive letters are the "x:" entries of dosdevices; "x::" entries are raw devices.
    const QDir devices(HostPath::winePrefix().toString() + u"/dosdevices"_s);
    QStringList entries =
        devices.entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot);
    entries.sort(Qt::CaseInsensitive);
    for (const QString& entry : std::as_const(entries)) {
        if (entry.size() != 2 || !WindowsPath::startsWithDrive(entry))
            continue;
        const QString name = entry.toLower();
        // Sorted without regard to case, "C:" and "c:" are neighbours: one drive.
        if (!drives.isEmpty() && drives.last().name == name)
            continue;
        const QString folder = HostPath::driveFolder(entry[0]).toString();
        const QString target = QFileInfo(folder).symLinkTarget();
        drives.append({name, folder, name + u" ["_s + (target.isEmpty() ? folder : target) + u']'});
    }
    drives.append({rootName(), rootName(), rootName()});
#endif
    return drives;
}

} // namespace veltrane
