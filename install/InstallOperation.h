#pragma once

#include "InstallStep.h"

#include <QList>
#include <QString>

namespace veltrane {

struct AppState;
struct EngineContext;
class FolderOperations;
class UserInterface;

// The whole install behind the install button: the branch of the package's kind, then the
// steps every kind shares, under one error trap. A permission-denied failure offers to make
// the game folder writable; any other failure skips the failed step.
class InstallOperation {
public:
    enum class Outcome {
        Completed, // the final message was shown; the program ends
        Ended,     // stopped early; the window stays open
    };

    InstallOperation(AppState& state, UserInterface& ui, QString programFolder);

    // Runs everything for a package of the given kind (1 route, 2 scenario, 3 assets);
    // gameFolderText is the text of the path box, which becomes GamePath.
    Outcome run(qint16 packageKind, const QString& gameFolderText);

private:
    static QList<InstallStep> completionSteps(EngineContext& context, FolderOperations& folders);
    // The trap; returns false when the install must end.
    static bool handleFailure(EngineContext& context, bool permissionDenied);

    AppState& m_state;
    UserInterface& m_ui;
    QString m_programFolder;
};

} // namespace veltrane
