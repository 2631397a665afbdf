#include "SerzConversion.h"

#include "Shell.h"
#include "util/FileOps.h"
#include "util/MyFile.h"
#include "util/ProcessRunner.h"
#include "util/UserInterface.h"

using namespace Qt::StringLiterals;

namespace veltrane {

namespace {

QString command(const QString& input, const QString& kind, const QString& output)
{
    return u"serz.exe \""_s + input + u"\" "_s + kind + u":\""_s + output + u'"';
}

} // namespace

QString SerzConversion::toXmlCommand(const QString& binPath, const QString& xmlPath)
{
    return command(binPath, u"xml"_s, xmlPath);
}

QString SerzConversion::toBinCommand(const QString& xmlPath, const QString& binPath)
{
    return command(xmlPath, u"bin"_s, binPath);
}

void SerzConversion::run(Shell& shell, UserInterface& ui, const QString& command,
                         const QString& programFolder)
{
    shell.ShellAndWait(command, true, ProcessRunner::Hidden, programFolder);
    ui.processEvents();
}

QString SerzConversion::workFolder(const QString& programFolder)
{
    return programFolder + u"\\Tempfiles"_s;
}

QString SerzConversion::workFile(const QString& programFolder, const QString& fileName)
{
    return workFolder(programFolder) + u'\\' + fileName;
}

void SerzConversion::prepareWorkFolder(const QString& programFolder)
{
    if (!MyFile::DirExists(workFolder(programFolder)))
        FileOps::makeFolder(workFolder(programFolder));
}

} // namespace veltrane
