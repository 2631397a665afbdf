#pragma once

#include "InstallStep.h"
#include "util/LoggedUserInterface.h"
#include "util/PackageKind.h"

#include <QList>
#include <QString>

namespace veltrane {

struct AppState;
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
    };

    InstallOperation(AppState& state, UserInterface& ui, QString packageFolder);

    // gameFolderText is the text of the path box, which becomes GamePath.
    Outcome run(PackageKind kind, const QString& gameFolderText);

    // The package as the user knows it, for the journal and the log: by default the package
    // folder's name; the archive's for a package unpacked from one.
    void setPackageName(const QString& name) { m_packageName = name; }
    // A second copy of the install log; empty for none.
    void setLogCopy(const QString& path) { m_logCopy = path; }
    // The package's files are ours to take apart (an unpacked archive): they are moved into
    // the game instead of copied.
    void setPackageMovable(bool movable) { m_packageMovable = movable; }

    // Why the text names no game folder; empty when it does.
    static QString gameFolderProblem(const QString& gameFolderText);

private:
    Outcome runSteps(PackageKind kind);
    // Why the install cannot start in this game folder with this package; empty when it can.
    QString folderProblem(PackageKind kind) const;
    // The package folder when it may be written to, else a new folder in the user's cache;
    // empty when neither can be had.
    QString chooseWorkFolder() const;
    // The read-only offer; false when the user declines and the install must end.
    bool recoverReadOnly();
    QList<InstallStep> completionSteps(WorkReport& report);

    AppState& m_state;
    // What the user is shown and answers goes to the install log as well.
    LoggedUserInterface m_ui;
    QString m_packageFolder;
    QString m_packageName;
    QString m_logCopy;
    bool m_packageMovable = false;
    QString m_workFolder;
};

} // namespace veltrane
