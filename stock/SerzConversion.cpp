#include "SerzConversion.h"

#include "EngineContext.h"
#include "platform/ProgramLauncher.h"
#include "util/FileOps.h"
#include "util/TextFile.h"
#include "util/UserInterface.h"

#include <QCoreApplication>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace veltrane {

namespace {

#ifdef Q_OS_WIN
const QString kNativeSerializer = u"veltrane-serz.exe"_s;
#else
const QString kNativeSerializer = u"veltrane-serz"_s;
#endif

std::optional<Program> serializer(const HostPath& programFolder)
{
    if (auto game = ProgramSearch::find(u"serz.exe"_s, programFolder))
        return game;
    const HostPath beside =
        HostPath::fromHost(QCoreApplication::applicationDirPath()).child(kNativeSerializer);
    if (QFileInfo(beside.toString()).isExecutable())
        return Program{beside, false};
    return ProgramSearch::findOnPath(kNativeSerializer);
}

ProcessResult convert(EngineContext& context, const HostPath& input, const QString& kind,
                      const HostPath& output)
{
    const HostPath folder = HostPath::fromProgramPath(context.programFolder);
    ProcessResult result;
    if (const auto program = serializer(folder)) {
        result = ProgramLauncher::run(
            *program, {ProgramArgument::file(input), ProgramArgument::file(output, kind + u':')},
            folder, RunOptions{true, WindowStyle::Hidden}, context.ui);
    }
    context.ui.processEvents();
    return result;
}

} // namespace

ProcessResult SerzConversion::toXml(EngineContext& context, const HostPath& bin,
                                    const HostPath& xml)
{
    return convert(context, bin, u"xml"_s, xml);
}

ProcessResult SerzConversion::toBin(EngineContext& context, const HostPath& xml,
                                    const HostPath& bin)
{
    return convert(context, xml, u"bin"_s, bin);
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
    const HostPath folder = HostPath::fromProgramPath(workFolder(programFolder));
    if (!folderExists(folder))
        FileOps::makeFolder(folder);
}

} // namespace veltrane
