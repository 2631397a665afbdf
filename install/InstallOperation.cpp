#include "InstallOperation.h"

#include "BatchFileRunner.h"
#include "FolderCopy.h"
#include "FreeFormatReader.h"
#include "RouteInstaller.h"
#include "ScenarioInstaller.h"
#include "platform/AttributeClearer.h"
#include "stock/EngineContext.h"
#include "util/AppState.h"
#include "util/FileError.h"
#include "util/FileOps.h"
#include "util/TextFile.h"
#include "util/UserInterface.h"

#include <QScopeGuard>

using namespace Qt::StringLiterals;

namespace veltrane {

namespace {
using Result = InstallStep::Result;
using Icon = UserInterface::Icon;

const RunOptions kNormalWindow{true, WindowStyle::NormalFocus};
} // namespace

InstallOperation::InstallOperation(AppState& state, UserInterface& ui, QString programFolder)
    : m_state(state), m_ui(ui), m_programFolder(std::move(programFolder))
{
}

InstallOperation::Outcome InstallOperation::run(PackageKind kind, const QString& gameFolderText)
{
    UserInterface& ui = m_ui;
    ui.setBusy(true);
    // However the install ends, the pointer is the default one again.
    const auto restorePointer = qScopeGuard([&ui] { ui.setBusy(false); });
    m_state.GamePath = gameFolderText;

    EngineContext context{m_state, ui, m_programFolder};
    RouteInstaller route(context);
    ScenarioInstaller scenario(context);
    QList<InstallStep> steps;
    if (kind == PackageKind::Route)
        steps = route.steps();
    else if (kind == PackageKind::Scenario)
        steps = scenario.steps();
    steps += completionSteps();

    for (const InstallStep& step : std::as_const(steps)) {
        // A close of the window waits for the end of a step; nothing is cut in half.
        if (ui.closeRequested())
            return Outcome::Ended;
        try {
            if (step.run() == Result::EndInstall)
                return Outcome::Ended;
        } catch (const FileError& error) {
            if (!handleFailure(error.permissionDenied()))
                return Outcome::Ended;
        } catch (const std::exception&) {
            if (!handleFailure(false))
                return Outcome::Ended;
        }
    }
    return Outcome::Completed;
}

bool InstallOperation::handleFailure(bool permissionDenied)
{
    if (!permissionDenied)
        return true;
    const bool yes = m_ui.askYesNo(
        u"Some folders/files in your copy of Rail Simulator are Read Only and cannot be "
        u"overwritten.\r\nDo you wish them to be changed to Read/Write. Once completed run "
        u"this Setup again to finish\r\ninstallation."_s);
    if (!yes)
        return false;
    AttributeClearer::makeWritable(HostPath::fromProgramPath(m_state.GamePath), kNormalWindow,
                                   m_ui);
    m_ui.setBusy(false);
    m_ui.showMessage(u"All files are now Read/Write"_s, Icon::Exclamation);
    return true;
}

QList<InstallStep> InstallOperation::completionSteps()
{
    const QString gamePath = m_state.GamePath;
    UserInterface& ui = m_ui;
    const QString programFolder = m_programFolder;
    QList<InstallStep> steps;

    steps.append({u"read the asset setup"_s, [programFolder, &ui] {
                      // Read when present; nothing uses its first item yet.
                      const HostPath path =
                          HostPath::fromProgramPath(programFolder + u"\\AssetSetup.ggg"_s);
                      if (fileExists(path)) {
                          QString text;
                          readTextFile(ui, path, text);
                          [[maybe_unused]] const QString first =
                              FreeFormatReader::items(text).value(0);
                      }
                      return Result::Next;
                  }});

    steps.append({u"copy the package"_s, [programFolder, gamePath, &ui] {
                      FolderCopy(ui).copyFolder(
                          HostPath::fromProgramPath(programFolder + u"\\Rail Simulator"_s),
                          HostPath::fromProgramPath(gamePath), true);
                      return Result::Next;
                  }});

    // Batch files run by our own interpreter may touch the game and the package only.
    const std::vector<HostPath> roots{HostPath::fromProgramPath(gamePath),
                                      HostPath::fromProgramPath(programFolder)};

    steps.append({u"run the package's batch file"_s, [gamePath, roots, &ui] {
                      const HostPath batch =
                          HostPath::fromProgramPath(gamePath + u"\\RS-Install.bat"_s);
                      if (!fileExists(batch))
                          return Result::Next;
                      BatchFileRunner(ui, roots).run(batch, gamePath, kNormalWindow);
                      ui.processEvents();
                      FileOps::removeFile(batch);
                      ui.processEvents();
                      return Result::Next;
                  }});

    steps.append({u"write del_blueprints.bat"_s, [gamePath] {
                      FileOps::writeWhole(
                          HostPath::fromProgramPath(gamePath + u"\\Assets\\del_blueprints.bat"_s),
                          "DEL Blueprints.PAK /S\r\n");
                      return Result::Next;
                  }});

    steps.append({u"clear the blueprint caches"_s, [gamePath, roots, &ui] {
                      const QString assets = gamePath + u"\\Assets"_s;
                      ui.processEvents();
                      const HostPath assetsHost = HostPath::fromProgramPath(assets);
                      if (!folderExists(assetsHost))
                          throw FileError(FileError::Kind::Other, u"Path not found"_s);
                      const HostPath batch = assetsHost.mappedChild(u"del_blueprints.bat"_s);
                      BatchFileRunner(ui, roots).run(batch, assets, kNormalWindow);
                      ui.processEvents();
                      FileOps::removeFile(batch);
                      ui.processEvents();
                      return Result::Next;
                  }});

    steps.append({u"report success"_s, [&ui] {
                      ui.showMessage(u"Your package has been installed."_s, Icon::Information);
                      return Result::Next;
                  }});
    return steps;
}

} // namespace veltrane
