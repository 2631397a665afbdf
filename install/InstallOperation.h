#pragma once

#include "InstallPlan.h"
#include "InstallPlanner.h"
#include "InstallRequest.h"
#include "InstallStep.h"
#include "util/Expected.h"

#include <QList>
#include <QString>
#include <optional>

namespace veltrane {

struct AppState;
struct EngineContext;
class GameLock;
class InstallLog;
class InstallTransaction;
class Inventory;
class UserInterface;
class WorkReport;

// The whole install behind the install button: the branch of the package's kind, then the
// steps every kind shares, under one error trap. A permission-denied failure offers to make
// the game folder writable; any other failure skips the failed step. Every failure is kept,
// and the last message tells the truth: success only when nothing failed.
class InstallOperation {
public:
    enum class Outcome {
        Completed,  // everything was done and the final message shown; the program ends
        Incomplete, // some steps failed; the last message names them; the window stays open
        Ended,      // stopped early; the window stays open
        Refused,    // nothing was done: the folders or the package may not be used, or another
                    // program is changing the game
        Cancelled,  // the user stopped it, and what it had done was taken back
    };

    InstallOperation(AppState& state, UserInterface& ui, InstallRequest request);

    // The request's game folder text becomes GamePath.
    Outcome run();
    // The install log of the last run, in the user's state folder; empty when none was made.
    const QString& logPath() const { return m_logPath; }

    // The plan the last run made and carried out; nothing when it was refused before.
    const std::optional<InstallPlan>& plan() const { return m_plan; }

    // Whether the install can start in this game folder with this package.
    Expected<void> checkFolders() const;

private:
    Outcome runInGame(UserInterface& ui, InstallLog& log);
    Outcome runLocked(UserInterface& ui, InstallLog& log, GameLock& lock);
    Outcome runSteps(EngineContext& context, InstallLog& log);
    // Puts back what a cancelled install changed, from its journal, and says so.
    void takeBackCancelled(UserInterface& ui, InstallLog& log, Inventory& inventory,
                           bool changedAnything);
    // The package folder when it may be written to, else a new folder in the user's cache.
    Expected<HostPath> chooseWorkFolder() const;
    // The read-only offer; false when the user declines and the install must end.
    bool recoverReadOnly(UserInterface& ui);
    QList<InstallStep> completionSteps(EngineContext& context);

    AppState& m_state;
    UserInterface& m_ui;
    InstallRequest m_request;
    QString m_logPath;
    std::optional<InstallPlan> m_plan;
};

} // namespace veltrane
