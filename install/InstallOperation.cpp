#include "InstallOperation.h"

#include "FolderOperations.h"
#include "FreeFormatReader.h"
#include "RouteInstaller.h"
#include "ScenarioInstaller.h"
#include "platform/EngineContext.h"
#include "platform/Shell.h"
#include "util/AppState.h"
#include "util/FileError.h"
#include "util/FileOps.h"
#include "util/MyFile.h"
#include "util/ProcessRunner.h"
#include "util/UserInterface.h"

#include <QScopeGuard>

using namespace Qt::StringLiterals;

namespace veltrane {

namespace {
using Result = InstallStep::Result;
using Icon = UserInterface::Icon;
} // namespace

InstallOperation::InstallOperation(AppState& state, UserInterface& ui, QString programFolder)
    : m_state(state), m_ui(ui), m_programFolder(std::move(programFolder))
{
}

InstallOperation::Outcome InstallOperation::run(qint16 packageKind, const QString& gameFolderText)
{
    UserInterface& ui = m_ui;
    ui.setBusy(true);
    // However the install ends, the pointer is the default one again.
    const auto restorePointer = qScopeGuard([&ui] { ui.setBusy(false); });
    m_state.GamePath = gameFolderText;

    // Batch files run by our own interpreter may touch the game and the package only.
    Shell shell(ui, {m_state.GamePath, m_programFolder});
    EngineContext context{m_state, ui, shell, m_programFolder};
    FolderOperations folders(ui);
    RouteInstaller route(context);
    ScenarioInstaller scenario(context);
    QList<InstallStep> steps;
    if (packageKind == 1)
        steps = route.steps();
    else if (packageKind == 2)
        steps = scenario.steps();
    steps += completionSteps(context, folders);

    for (const InstallStep& step : steps) {
        // A close of the window waits for the end of a step; nothing is cut in half.
        if (ui.closeRequested())
            return Outcome::Ended;
        try {
            if (step.run() == Result::EndInstall)
                return Outcome::Ended;
        } catch (const FileError& error) {
            if (!handleFailure(context, error.permissionDenied()))
                return Outcome::Ended;
        } catch (const std::exception&) {
            if (!handleFailure(context, false))
                return Outcome::Ended;
        }
    }
    return Outcome::Completed;
}

bool InstallOperation::handleFailure(EngineContext& context, bool permissionDenied)
{
    if (!permissionDenied)
        return true;
    UserInterface& ui = context.ui;
    const bool yes = ui.askYesNo(
        u"Some folders/files in your copy of Rail Simulator are Read Only and cannot be "
        u"overwritten.\r\nDo you wish them to be changed to Read/Write. Once completed run "
        u"this Setup again to finish\r\ninstallation."_s);
    if (!yes)
        return false;
    context.shell.ShellAndWait(u"ATTRIB -h -r -s \""_s + context.state.GamePath +
                                   u"\\*.*\" /s /d"_s,
                               true, ProcessRunner::NormalFocus, context.state.GamePath);
    ui.setBusy(false);
    ui.showMessage(u"All files are now Read/Write"_s, Icon::Exclamation);
    return true;
}

QList<InstallStep> InstallOperation::completionSteps(EngineContext& c, FolderOperations& folders)
{
    QList<InstallStep> steps;

    steps.append({u"read the asset setup"_s, [&c] {
                      // Read when present; nothing uses its first item yet.
                      const QString path = c.programFolder + u"\\AssetSetup.ggg"_s;
                      if (MyFile::FileExists(path)) {
                          QString text;
                          MyFile::ReadUniFile(c.ui, path, text);
                          [[maybe_unused]] const QString first =
                              FreeFormatReader::items(text).value(0);
                      }
                      return Result::Next;
                  }});

    steps.append({u"copy the package"_s, [&c, &folders] {
                      folders.CopyDir(c.programFolder + u"\\Rail Simulator"_s, c.state.GamePath,
                                      true);
                      return Result::Next;
                  }});

    steps.append({u"run the package's batch file"_s, [&c] {
                      const QString batch = c.state.GamePath + u"\\RS-Install.bat"_s;
                      if (!MyFile::FileExists(batch))
                          return Result::Next;
                      c.shell.ShellAndWait(u'"' + batch + u'"', true, ProcessRunner::NormalFocus,
                                           c.state.GamePath);
                      c.ui.processEvents();
                      FileOps::removeFile(batch);
                      c.ui.processEvents();
                      return Result::Next;
                  }});

    steps.append({u"write del_blueprints.bat"_s, [&c] {
                      FileOps::writeWhole(c.state.GamePath + u"\\Assets\\del_blueprints.bat"_s,
                                          "DEL Blueprints.PAK /S\r\n");
                      return Result::Next;
                  }});

    steps.append({u"clear the blueprint caches"_s, [&c] {
                      const QString assets = c.state.GamePath + u"\\Assets"_s;
                      c.ui.processEvents();
                      if (!MyFile::DirExists(assets))
                          throw FileError(FileError::Kind::Other, u"Path not found"_s);
                      c.shell.ShellAndWait(u"del_blueprints.bat"_s, true,
                                           ProcessRunner::NormalFocus, assets);
                      c.ui.processEvents();
                      FileOps::removeFile(assets + u"\\del_blueprints.bat"_s);
                      c.ui.processEvents();
                      return Result::Next;
                  }});

    steps.append({u"report success"_s, [&c] {
                      c.ui.showMessage(u"Your package has been installed."_s, Icon::Information);
                      return Result::Next;
                  }});
    return steps;
}

} // namespace veltrane
