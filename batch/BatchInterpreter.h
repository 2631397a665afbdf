#pragma once

#include "BatchLine.h"
#include "util/HostPath.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <vector>

namespace veltrane {

class FileChanges;
class FolderGuard;
class UserInterface;

// Runs a package's batch file where no Windows command interpreter is at hand, for the
// common commands only. The whole file is read and checked before its first line runs:
// a line it cannot run, or one that would touch a path outside the allowed folders,
// stops the whole file, and the user is told which lines and why.
//
// Once running, a failed operation does not stop the file (cmd.exe goes on with the next
// line as well); what failed is shown in one message at the end. Only a failed CD ends
// the run, as later lines would otherwise work in another folder than the author meant.
class BatchInterpreter {
public:
    // allowedRoots: the folders that the file may touch; files: the install's, through which
    // every change is made.
    BatchInterpreter(UserInterface& ui, FileChanges& files, std::vector<HostPath> allowedRoots);

    // Why a file is run here rather than by Windows' command interpreter ("Without Wine,"),
    // and what would have it run there, for the message when a file is refused.
    void explainRefusal(QString why, QString remedy);

    // batchPath and workingFolder in the program's own path form. Returns false when the
    // file was not run (unreadable, or refused; the user has been told).
    bool runFile(const QString& batchPath, const QString& workingFolder);

    // The lines that keep a file from running, each as "Line N: text" and, indented on a
    // second line, why; empty when every line may run. CD lines are followed, so each line
    // is judged in the folder it would run in.
    QStringList check(const QList<BatchLine>& lines, const QString& batchFolder,
                      const QString& workingFolder) const;

    // What failed while the last file ran, in the form check() uses; shown to the user.
    const QStringList& failures() const { return m_failures; }

private:
    static QString checkLine(const BatchLine& line, const FolderGuard& guard,
                             const QString& batchFolder, const QString& current,
                             QStringList& foldersAfter);

    UserInterface& m_ui;
    FileChanges& m_files;
    std::vector<HostPath> m_allowedRoots;
    QString m_why;
    QString m_remedy;
    QStringList m_failures;
};

} // namespace veltrane
