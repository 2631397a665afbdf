#include "HostPath.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace veltrane {

namespace {

bool entryExists(const QString& hostPath)
{
    // One lstat; a dangling symbolic link is still a name that is taken.
    std::error_code error;
    return std::filesystem::exists(
        std::filesystem::symlink_status(HostPath::toFs(hostPath), error));
}

} // namespace

QString HostPath::winePrefix()
{
    const QString prefix = qEnvironmentVariable("WINEPREFIX");
    if (!prefix.isEmpty())
        return QDir::cleanPath(prefix);
    return QDir::homePath() + u"/.wine"_s;
}

QString HostPath::driveFolder(QChar letter)
{
    return winePrefix() + u"/dosdevices/"_s + letter.toLower() + u':';
}

QString HostPath::matchEntry(const QString& hostFolder, const QString& name)
{
    const QString folder = hostFolder.isEmpty() ? QStringLiteral(".") : hostFolder;
    const QString sep = folder.endsWith(u'/') ? QString() : QStringLiteral("/");
    if (entryExists(folder + sep + name))
        return name;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        it.next();
        const QString candidate = it.fileName();
        if (candidate.compare(name, Qt::CaseInsensitive) == 0)
            return candidate;
    }
    return {};
}

bool HostPath::startsWithDrive(QStringView path)
{
    return path.size() >= 2 && path[1] == u':' && path[0].unicode() < 0x80 && path[0].isLetter();
}

QString HostPath::toHost(const QString& path)
{
#ifdef Q_OS_WIN
    return path;
#else
    QString rest = path;
    rest.replace(u'\\', u'/');
    QString resolved;
    if (startsWithDrive(rest)) {
        resolved = driveFolder(rest[0]);
        rest = rest.mid(2);
    } else if (rest.startsWith(u'/')) {
        resolved = QStringLiteral("/");
    }
    // Most paths are spelt as they are on disk: one lstat then answers for every name.
    {
        QStringView tail = rest;
        if (tail.startsWith(u'/') && !resolved.isEmpty())
            tail = tail.mid(1);
        QString whole = resolved;
        if (!whole.isEmpty() && !whole.endsWith(u'/'))
            whole += u'/';
        whole += tail;
        if (!tail.isEmpty() && !tail.startsWith(u'/') && !tail.endsWith(u'/') &&
            !tail.contains(u"//"_s) && entryExists(whole))
            return whole;
    }
    const QStringList parts = rest.split(u'/', Qt::SkipEmptyParts);
    bool missing = false;
    for (const QString& part : parts) {
        QString name = part;
        if (!missing && part != u"."_s && part != u".."_s) {
            const QString match = matchEntry(resolved.isEmpty() ? QString() : resolved, part);
            if (match.isEmpty())
                missing = true; // nothing below a missing name can exist
            else
                name = match;
        }
        if (!resolved.isEmpty() && !resolved.endsWith(u'/'))
            resolved += u'/';
        resolved += name;
    }
    if (resolved.isEmpty())
        resolved = path.isEmpty() ? QString() : QStringLiteral(".");
    return resolved;
#endif
}

QString HostPath::display(const QString& path)
{
#ifdef Q_OS_WIN
    return QDir::toNativeSeparators(path);
#else
    return toHost(path);
#endif
}

std::filesystem::path HostPath::toFs(const QString& hostPath)
{
#ifdef Q_OS_WIN
    return std::filesystem::path(hostPath.toStdWString());
#else
    return std::filesystem::path(QFile::encodeName(hostPath).toStdString());
#endif
}

QString HostPath::fromFs(const std::filesystem::path& path)
{
#ifdef Q_OS_WIN
    return QString::fromStdWString(path.wstring());
#else
    return QFile::decodeName(QByteArray::fromStdString(path.native()));
#endif
}

} // namespace veltrane
