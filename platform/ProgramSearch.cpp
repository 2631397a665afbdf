#include "ProgramSearch.h"

#include "Wine.h"
#include "util/HostPath.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace veltrane {

namespace {

QStringList candidateNames(const QString& name)
{
    QStringList names{name};
#ifdef Q_OS_WIN
    if (QFileInfo(name).suffix().isEmpty()) {
        const QString extensions = qEnvironmentVariable("PATHEXT", u".COM;.EXE;.BAT;.CMD"_s);
        for (const QString& extension : extensions.split(u';', Qt::SkipEmptyParts))
            names.append(name + extension);
    }
#else
    if (name.endsWith(u".exe"_s, Qt::CaseInsensitive))
        names.append(name.chopped(4));
#endif
    return names;
}

QStringList pathFolders()
{
    return qEnvironmentVariable("PATH").split(QDir::listSeparator(), Qt::SkipEmptyParts);
}

std::optional<ProgramSearch::Program> usable(const QString& hostPath)
{
    const QFileInfo info(hostPath);
    if (!info.isFile())
        return std::nullopt;
#ifdef Q_OS_WIN
    return ProgramSearch::Program{hostPath, false};
#else
    if (ProgramSearch::isWindowsProgram(hostPath)) {
        if (!Wine::isInstalled())
            return std::nullopt;
        return ProgramSearch::Program{hostPath, true};
    }
    // A batch file is read by an interpreter and needs no execute permission.
    const QString suffix = info.suffix().toLower();
    if (!info.isExecutable() && suffix != u"bat"_s && suffix != u"cmd"_s)
        return std::nullopt;
    return ProgramSearch::Program{hostPath, false};
#endif
}

std::optional<ProgramSearch::Program> findIn(const QString& folder, const QStringList& names)
{
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        return std::nullopt;
    for (const QString& name : names) {
        const QString entry = HostPath::matchEntry(folder, name);
        if (entry.isEmpty())
            continue;
        if (auto program = usable(QDir(folder).filePath(entry)))
            return program;
    }
    return std::nullopt;
}

} // namespace

bool ProgramSearch::isWindowsProgram(const QString& hostPath)
{
    QFile file(hostPath);
    return file.open(QIODevice::ReadOnly) && file.read(2) == "MZ";
}

std::optional<ProgramSearch::Program> ProgramSearch::find(const QString& name,
                                                          const QString& currentFolder)
{
    if (name.isEmpty())
        return std::nullopt;
    const QStringList names = candidateNames(name);

    // A name with a folder in it is looked up there only.
    if (name.contains(u'\\') || name.contains(u'/')) {
        for (const QString& candidate : names) {
            QString host = HostPath::toHost(candidate);
            if (QFileInfo(host).isRelative())
                host = QDir(currentFolder).filePath(host);
            if (auto program = usable(host))
                return program;
        }
        return std::nullopt;
    }

    if (auto program = findIn(currentFolder, names))
        return program;
#ifndef Q_OS_WIN
    if (Wine::isInstalled()) {
        if (auto program = findIn(Wine::systemFolder(), names))
            return program;
    }
#endif
    for (const QString& folder : pathFolders()) {
        if (auto program = findIn(folder, names))
            return program;
    }
    return std::nullopt;
}

std::optional<ProgramSearch::Program> ProgramSearch::findOnPath(const QString& name)
{
    for (const QString& folder : pathFolders()) {
        if (auto program = findIn(folder, {name}))
            return program;
    }
    return std::nullopt;
}

} // namespace veltrane
