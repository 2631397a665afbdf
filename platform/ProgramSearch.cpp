#include "ProgramSearch.h"

#include "Wine.h"

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

QList<HostPath> pathFolders()
{
    QList<HostPath> folders;
    for (const QString& folder :
         qEnvironmentVariable("PATH").split(QDir::listSeparator(), Qt::SkipEmptyParts))
        folders.append(HostPath::fromHost(folder));
    return folders;
}

std::optional<Program> usable(const HostPath& path)
{
    const QFileInfo info(path.toString());
    if (!info.isFile())
        return std::nullopt;
#ifdef Q_OS_WIN
    return Program{path, false};
#else
    if (ProgramSearch::isWindowsProgram(path)) {
        if (!Wine::isInstalled())
            return std::nullopt;
        return Program{path, true};
    }
    // A batch file is read by an interpreter and needs no execute permission.
    const QString suffix = info.suffix().toLower();
    if (!info.isExecutable() && suffix != u"bat"_s && suffix != u"cmd"_s)
        return std::nullopt;
    return Program{path, false};
#endif
}

std::optional<Program> findIn(const HostPath& folder, const QStringList& names)
{
    if (folder.isEmpty() || !QFileInfo(folder.toString()).isDir())
        return std::nullopt;
    for (const QString& name : names) {
        const QString entry = folder.matchEntry(name);
        if (entry.isEmpty())
            continue;
        if (auto program = usable(folder.child(entry)))
            return program;
    }
    return std::nullopt;
}

} // namespace

bool ProgramSearch::isWindowsProgram(const HostPath& path)
{
    QFile file(path.toString());
    return file.open(QIODevice::ReadOnly) && file.read(2) == "MZ";
}

std::optional<Program> ProgramSearch::find(const QString& name, const HostPath& currentFolder)
{
    if (name.isEmpty())
        return std::nullopt;
    const QStringList names = candidateNames(name);

    // A name with a folder in it is looked up there only.
    if (name.contains(u'\\') || name.contains(u'/')) {
        for (const QString& candidate : names) {
            HostPath path = HostPath::fromProgramPath(candidate);
            if (path.fs().is_relative())
                path = HostPath::fromFs(currentFolder.fs() / path.fs());
            if (auto program = usable(path))
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
    for (const HostPath& folder : pathFolders()) {
        if (auto program = findIn(folder, names))
            return program;
    }
    return std::nullopt;
}

std::optional<Program> ProgramSearch::findOnPath(const QString& name)
{
    for (const HostPath& folder : pathFolders()) {
        if (auto program = findIn(folder, {name}))
            return program;
    }
    return std::nullopt;
}

} // namespace veltrane
