#include "HostPath.h"

#include "WindowsPath.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>

using namespace Qt::StringLiterals;

namespace fs = std::filesystem;

namespace veltrane {

namespace {

fs::path fsPathOf(const QString& hostPath)
{
#ifdef Q_OS_WIN
    return fs::path(hostPath.toStdWString());
#else
    return fs::path(QFile::encodeName(hostPath).toStdString());
#endif
}

QString textOf(const fs::path& path)
{
#ifdef Q_OS_WIN
    return QString::fromStdWString(path.native());
#else
    return QFile::decodeName(QByteArray::fromStdString(path.native()));
#endif
}

bool entryExists(const QString& hostPath)
{
    // One lstat; a dangling symbolic link is still a name that is taken.
    std::error_code error;
    return fs::exists(fs::symlink_status(fsPathOf(hostPath), error));
}

QString matchIn(const QString& hostFolder, const QString& name)
{
    const QString folder = hostFolder.isEmpty() ? u"."_s : hostFolder;
    const QString sep = folder.endsWith(u'/') ? QString() : u"/"_s;
    if (entryExists(folder + sep + name))
        return name;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        it.next();
        QString candidate = it.fileName();
        if (candidate.compare(name, Qt::CaseInsensitive) == 0)
            return candidate;
    }
    return {};
}

#ifndef Q_OS_WIN
// rest, "/"-separated, mapped below the host folder resolved (empty for the current folder).
QString mappedBelow(QString resolved, const QString& rest, const QString& path)
{
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
            const QString match = matchIn(resolved, part);
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
        resolved = path.isEmpty() ? QString() : u"."_s;
    return resolved;
}

QString mappedPath(const QString& path)
{
    QString rest = path;
    rest.replace(u'\\', u'/');
    QString resolved;
    if (WindowsPath::startsWithDrive(rest)) {
        resolved = HostPath::driveFolder(rest[0]).toString();
        rest = rest.mid(2);
    } else if (rest.startsWith(u'/')) {
        resolved = u"/"_s;
    }
    return mappedBelow(resolved, rest, path);
}
#endif

} // namespace

HostPath HostPath::fromProgramPath(const QString& programPath)
{
#ifdef Q_OS_WIN
    return HostPath(fsPathOf(programPath));
#else
    return HostPath(fsPathOf(mappedPath(programPath)));
#endif
}

HostPath HostPath::fromHost(const QString& hostPath)
{
    return HostPath(fsPathOf(hostPath));
}

QString HostPath::toString() const
{
    return textOf(m_path);
}

QString HostPath::display() const
{
    return QDir::toNativeSeparators(toString());
}

HostPath HostPath::child(const QString& name) const
{
    return HostPath(m_path / fsPathOf(name));
}

HostPath HostPath::mappedChild(const QString& name) const
{
#ifdef Q_OS_WIN
    return child(name);
#else
    const QString match = matchEntry(name);
    return child(match.isEmpty() ? name : match);
#endif
}

HostPath HostPath::mapped(const QString& relative) const
{
#ifdef Q_OS_WIN
    QString rest = relative;
    while (rest.startsWith(u'\\') || rest.startsWith(u'/'))
        rest.remove(0, 1);
    return rest.isEmpty() ? *this : child(rest);
#else
    QString rest = relative;
    rest.replace(u'\\', u'/');
    while (rest.startsWith(u'/'))
        rest.remove(0, 1);
    if (rest.isEmpty())
        return *this;
    return HostPath(fsPathOf(mappedBelow(toString(), rest, relative)));
#endif
}

HostPath HostPath::parent() const
{
    return HostPath(m_path.parent_path());
}

QString HostPath::fileName() const
{
    return textOf(m_path.filename());
}

QString HostPath::matchEntry(const QString& name) const
{
    return matchIn(toString(), name);
}

HostPath HostPath::winePrefix()
{
    const QString prefix = qEnvironmentVariable("WINEPREFIX");
    if (!prefix.isEmpty())
        return fromHost(QDir::cleanPath(prefix));
    return fromHost(QDir::homePath() + u"/.wine"_s);
}

HostPath HostPath::driveFolder(QChar letter)
{
    return winePrefix().child(u"dosdevices"_s).child(QString(letter.toLower()) + u':');
}

QString shownPath(const QString& programPath)
{
#ifdef Q_OS_WIN
    return QDir::toNativeSeparators(programPath);
#else
    return HostPath::fromProgramPath(programPath).toString();
#endif
}

} // namespace veltrane
