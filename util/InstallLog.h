#pragma once

#include "HostPath.h"

#include <QFile>
#include <QString>

namespace veltrane {

// The plain-text record of one install or undo, for the user and for whoever helps them: the
// program's version, the folders, each step and its outcome, each file changed in the game
// folder, each list replaced, each program run, each question with its answer and the final
// outcome. One file per run in the user's state folder, the newest kKept kept; a second copy
// where the user asked for one. Every line reaches the file at once, so that the log of a
// program that was killed ends where it stopped.
//
// The install or undo hands it to whatever adds lines: its file changes, the list
// replacement, the programs it runs, its questions and messages.
class InstallLog {
public:
    static constexpr int kKept = 50;

    // kind: "install" or "undo". extraCopy: a second file the user named, written whole by
    // the one who ends the run; empty for none.
    InstallLog(const QString& kind, QString extraCopy = {});
    ~InstallLog();
    InstallLog(const InstallLog&) = delete;
    InstallLog& operator=(const InstallLog&) = delete;

    // On Linux $XDG_STATE_HOME/veltrane, by default ~/.local/state/veltrane.
    static QString folder();

    // The file in the state folder; empty when it could not be made.
    QString path() const { return m_path; }
    // Why the log could not be written, for the final message; empty when it was.
    QString problem() const { return m_problem; }
    // The second copy the user asked for, and what it is to hold; kept for it only.
    const QString& copyPath() const { return m_copyPath; }
    const QByteArray& copyText() const { return m_copyText; }

    // Changes under this folder are logged file by file.
    void setGameFolder(const HostPath& game) { m_game = game; }
    const HostPath& gameFolder() const { return m_game; }

    void write(const QString& topic, const QString& text);
    // A change of a file, when it lies in the game folder; a note goes in brackets after it.
    void fileChanged(const QString& what, const HostPath& path, const QString& note = {});

private:
    QFile m_file;
    QString m_copyPath;
    QByteArray m_copyText;
    QString m_path;
    QString m_problem;
    HostPath m_game;
};

} // namespace veltrane
