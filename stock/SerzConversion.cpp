#include "SerzConversion.h"

#include "EngineContext.h"
#include "journal/FileChanges.h"
#include "platform/ProgramLauncher.h"
#include "platform/Wine.h"
#include "serz/BinaryDecoder.h"
#include "util/TextFile.h"
#include "util/UserInterface.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <filesystem>

using namespace Qt::StringLiterals;

namespace veltrane {

namespace {

#ifdef Q_OS_WIN
const QString kNativeSerializer = u"veltrane-serz.exe"_s;
#else
const QString kNativeSerializer = u"veltrane-serz"_s;
#endif

// Under Wine the game's tool sees only what a drive of the prefix holds.
bool reachable(const Program& program, const QList<HostPath>& paths)
{
    if (!program.needsWine)
        return true;
    return std::all_of(paths.begin(), paths.end(),
                       [](const HostPath& path) { return Wine::toWindowsPath(path).has_value(); });
}

std::optional<Program> serializer(const HostPath& packageFolder, const HostPath& input,
                                  const HostPath& output)
{
    if (auto game = ProgramSearch::find(u"serz.exe"_s, packageFolder);
        game && reachable(*game, {packageFolder, input, output}))
        return game;
    const HostPath beside =
        HostPath::fromHost(QCoreApplication::applicationDirPath()).child(kNativeSerializer);
    if (QFileInfo(beside.toString()).isExecutable())
        return Program{beside, false};
    return ProgramSearch::findOnPath(kNativeSerializer);
}

// A time limit that no sound run reaches: minutes, more for a long list. A serialiser that
// hangs must not keep the install, and the list it converts, waiting for ever.
qint64 timeLimit(const HostPath& input)
{
    constexpr qint64 kBase = qint64(5) * 60 * 1000;
    constexpr qint64 kPerMegabyte = qint64(60) * 1000;
    constexpr qint64 kMegabyte = qint64(1024) * 1024;
    return kBase + QFileInfo(input.toString()).size() / kMegabyte * kPerMegabyte;
}

ProcessResult convert(EngineContext& context, const HostPath& input, const QString& kind,
                      const HostPath& output)
{
    const HostPath& folder = context.packageFolder;
    RunOptions options;
    options.window = WindowStyle::Hidden;
    options.timeLimit = timeLimit(input);
    options.endOnClose = true;
    options.keepErrorOutput = true;
    options.log = context.files.installLog();
    ProcessResult result;
    if (const auto program = serializer(folder, input, output)) {
        // Wine's own messages and the game's tool's belong in the log, not on the console.
        options.logOutput = program->needsWine;
        result = ProgramLauncher::run(
            *program, {ProgramArgument::file(input), ProgramArgument::file(output, kind + u':')},
            folder, options, context.ui);
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

bool SerzConversion::readsBack(const HostPath& bin)
{
    QFile file(bin.toString());
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = file.readAll();
    return file.error() == QFileDevice::NoError && serz::BinaryDecoder::decode(bytes).has_value();
}

HostPath SerzConversion::workFolder(const HostPath& workingFolder)
{
    return workingFolder.mappedChild(u"Tempfiles"_s);
}

HostPath SerzConversion::workFile(const HostPath& workingFolder, const QString& fileName)
{
    return workFolder(workingFolder).mappedChild(fileName);
}

void SerzConversion::prepareWorkFolder(FileChanges& files, const HostPath& workingFolder)
{
    const HostPath folder = workFolder(workingFolder);
    // The serialiser writes into it, unchecked: it must be a folder of the package, never a
    // link that leads elsewhere.
    std::error_code error;
    const auto status = std::filesystem::symlink_status(folder.fs(), error);
    if (std::filesystem::is_directory(status))
        return;
    if (std::filesystem::exists(status))
        files.removeFile(folder);
    files.makeFolder(folder);
}

} // namespace veltrane
