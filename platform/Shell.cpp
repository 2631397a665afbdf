#include "Shell.h"

#include "AttributeClearer.h"
#include "BatchInterpreter.h"
#include "ProgramSearch.h"
#include "Wine.h"
#include "util/HostPath.h"
#include "util/ProcessRunner.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>

using namespace Qt::StringLiterals;

namespace veltrane {

namespace {

#ifdef Q_OS_WIN
const QString kNativeSerializer = u"veltrane-serz.exe"_s;
#else
const QString kNativeSerializer = u"veltrane-serz"_s;
#endif

bool isBatchFile(const QString& name)
{
    const QString suffix = QFileInfo(name).suffix();
    return suffix.compare(u"bat"_s, Qt::CaseInsensitive) == 0 ||
           suffix.compare(u"cmd"_s, Qt::CaseInsensitive) == 0;
}

bool looksLikeWindowsPath(const QString& argument)
{
    static const QRegularExpression drive(u"^[A-Za-z]:[\\\\/]"_s);
    return argument.contains(u'\\') || drive.match(argument).hasMatch();
}

// The serialiser's output argument carries its kind: xml:"path" or bin:"path".
QString kindPrefix(const QString& argument)
{
    static const QRegularExpression kind(u"^(xml|bin):"_s,
                                         QRegularExpression::CaseInsensitiveOption);
    const auto match = kind.match(argument);
    return match.hasMatch() ? match.captured(0) : QString();
}

// Paths reach a program in the form it understands.
QStringList translateArguments(const QStringList& arguments, bool forWine)
{
    QStringList translated;
    for (const QString& argument : arguments) {
        const QString prefix = kindPrefix(argument);
        const QString value = argument.mid(prefix.size());
        if (!looksLikeWindowsPath(value)) {
            translated.append(argument);
            continue;
        }
        const QString host = HostPath::toHost(value);
        translated.append(prefix + (forWine ? Wine::toWindowsPath(host) : host));
    }
    return translated;
}

QString hostFolder(const QString& currentFolder)
{
    return currentFolder.isEmpty() ? QDir::currentPath() : HostPath::toHost(currentFolder);
}

} // namespace

Shell::Shell(UserInterface& ui, QStringList allowedRoots)
    : m_ui(ui), m_allowedRoots(std::move(allowedRoots))
{
}

QStringList Shell::splitCommand(const QString& commandLine)
{
    return QProcess::splitCommand(commandLine);
}

qint64 Shell::ShellAndWait(const QString& commandLine, bool pump, int windowStyle,
                           const QString& currentFolder)
{
    QStringList arguments = splitCommand(commandLine);
    if (arguments.isEmpty())
        return 0;
    const QString name = arguments.takeFirst();
    const QString folder = hostFolder(currentFolder);
    if (!QFileInfo(folder).isDir())
        return 0;

#ifndef Q_OS_WIN
    if (name.compare(u"attrib"_s, Qt::CaseInsensitive) == 0 ||
        name.compare(u"attrib.exe"_s, Qt::CaseInsensitive) == 0)
        return runAttrib(arguments, pump, windowStyle, currentFolder);
#endif

    std::optional<ProgramSearch::Program> program = ProgramSearch::find(name, folder);
    if (!program && name.compare(u"serz.exe"_s, Qt::CaseInsensitive) == 0) {
        // Without the game's own tool, our native converter does the same work.
        const QString beside =
            QDir(QCoreApplication::applicationDirPath()).filePath(kNativeSerializer);
        if (QFileInfo(beside).isExecutable())
            program = ProgramSearch::Program{beside, false};
        else
            program = ProgramSearch::findOnPath(kNativeSerializer);
    }
    if (!program)
        return 0;

    if (isBatchFile(program->path))
        return runBatch(program->path, arguments, pump, windowStyle, currentFolder);

    UserInterface* pumpTo = pump ? &m_ui : nullptr;
    if (program->needsWine) {
        QStringList wineArguments{program->path};
        wineArguments += translateArguments(arguments, true);
        return ProcessRunner::run(Wine::program(), wineArguments, folder, windowStyle, pumpTo);
    }
    return ProcessRunner::run(program->path, translateArguments(arguments, false), folder,
                              windowStyle, pumpTo);
}

qint64 Shell::runBatch(const QString& batchHostPath, const QStringList& arguments, bool pump,
                       int windowStyle, const QString& currentFolder)
{
    UserInterface* pumpTo = pump ? &m_ui : nullptr;
    const QString folder = hostFolder(currentFolder);
#ifdef Q_OS_WIN
    QStringList cmdArguments{u"/c"_s, batchHostPath};
    cmdArguments += arguments;
    return ProcessRunner::run(u"cmd.exe"_s, cmdArguments, folder, windowStyle, pumpTo);
#else
    if (Wine::isInstalled()) {
        QStringList wineArguments{u"cmd"_s, u"/c"_s, Wine::toWindowsPath(batchHostPath)};
        wineArguments += translateArguments(arguments, true);
        return ProcessRunner::run(Wine::program(), wineArguments, folder, windowStyle, pumpTo);
    }
    Q_UNUSED(windowStyle);
    BatchInterpreter interpreter(m_ui, m_allowedRoots);
    if (!interpreter.runFile(batchHostPath, currentFolder.isEmpty() ? folder : currentFolder))
        return 0;
    ProcessRunner::waitStep(pumpTo);
    return QCoreApplication::applicationPid();
#endif
}

qint64 Shell::runAttrib(const QStringList& arguments, bool pump, int /*windowStyle*/,
                        const QString& currentFolder)
{
    // Only the form the install uses: ATTRIB -h -r -s "<folder>\*.*" /s /d.
    QString target;
    for (const QString& argument : arguments) {
        if (!argument.startsWith(u'-') && !argument.startsWith(u'/') && !argument.startsWith(u'+'))
            target = argument;
        else if (argument.startsWith(u'/') && looksLikeWindowsPath(argument))
            target = argument;
    }
    if (target.isEmpty())
        return 0;
    target.replace(u'/', u'\\');
    if (target.endsWith(u"\\*.*"_s) || target.endsWith(u"\\*"_s))
        target.truncate(target.lastIndexOf(u'\\'));
    QString host = HostPath::toHost(target);
    if (QFileInfo(host).isRelative())
        host = QDir(hostFolder(currentFolder)).filePath(host);
    if (!QFileInfo(host).isDir())
        return 0;
    AttributeClearer::makeWritable(host);
    ProcessRunner::waitStep(pump ? &m_ui : nullptr);
    return QCoreApplication::applicationPid();
}

} // namespace veltrane
