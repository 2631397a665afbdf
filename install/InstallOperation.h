#pragma once

#include "InstallStep.h"
#include "util/PackageKind.h"

#include <QList>
#include <QString>

namespace veltrane {

struct AppState;
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

    // gameFolderText is the text of the path box, which becomes GamePath.
    Outcome run(PackageKind kind, const QString& gameFolderText);

private:
    QList<InstallStep> completionSteps();
    // The trap; returns false when the install must end.
    bool handleFailure(bool permissionDenied);

    AppState& m_state;
    UserInterface& m_ui;
    QString m_programFolder;
};

} // namespace veltrane
