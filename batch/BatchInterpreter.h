#pragma once

#include "BatchLine.h"
#include "util/HostPath.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace veltrane {

class FileChanges;
class FolderGuard;
class UserInterface;

// Runs a batch file without a Windows command interpreter, for the common commands only. The
// whole file is read and checked before its first line runs: a line it cannot run, or one
// that would touch a path outside the allowed folders, stops the whole file, and the user is
// told which lines and why.
//
// Once running, a failed operation does not stop the file (cmd.exe goes on with the next
// line as well); what failed is shown in one message at the end. Only a failed CD ends
// the run, as later lines would otherwise work in another folder than the author meant.
class BatchInterpreter {
public:
    // A line that keeps a file from running.
    struct Refusal {
        int line = 0;
        QString text; // "Line N: text" and, indented on a second line, why
        // The line would change something outside the allowed folders; otherwise our
        // interpreter cannot run it.
        bool outside = false;
    };
    // A batch file read whole and checked, before any of its lines has run.
    struct Script {
        QString shown; // the file as the user reads its path
        QList<BatchLine> lines;
        QString batchFolder;
        QString workingFolder;
        QList<Refusal> refused;

        bool leavesFolders() const;
        // The refusals of lines our interpreter cannot run.
        QStringList unsupported() const;
    };

    // allowedRoots: the folders that the file may touch; files: the install's, through which
    // every change is made and where what ECHO prints is logged.
    BatchInterpreter(UserInterface& ui, FileChanges& files, std::vector<HostPath> allowedRoots);

    // Why a file is run here rather than by Windows' command interpreter ("Without Wine,"),
    // and what would have it run there, for the message when a file is refused.
    void explainRefusal(QString why, QString remedy);

    // batchPath and workingFolder in the program's own path form. Returns false when the
    // file was not run (unreadable, or refused; the user has been told), and tells the user
    // what failed while it ran.
    bool runFile(const QString& batchPath, const QString& workingFolder);

    // The file read and checked; nothing when it cannot be read (the user has been told).
    std::optional<Script> read(const QString& batchPath, const QString& workingFolder);
    // The file's bytes read and checked as if they lay at batchFile, both in the program's
    // own path form, without looking for the file: what a file would do once it is there.
    Script scriptOf(const QByteArray& bytes, const QString& batchFile,
                    const QString& workingFolder) const;
    // Tells the user why the script is not run, naming the lines that keep it from running.
    void tellRefusal(const Script& script) const;
    // Runs a script that nothing refused; returns its exit status as cmd's would be. What
    // failed is in failures() afterwards; the user is not told here.
    int run(const Script& script);

    // The lines that keep a file from running. CD lines are followed, so each line is judged
    // in the folder it would run in.
    QList<Refusal> check(const QList<BatchLine>& lines, const QString& batchFolder,
                         const QString& workingFolder) const;

    // What failed while the last file ran, each as "Line N: text" and, indented on a second
    // line, why.
    const QStringList& failures() const { return m_failures; }
    // How many failed; failures() holds the first BatchExecutor::kMaxFailures.
    int failureCount() const { return m_failureCount; }

private:
    static QString checkLine(const BatchLine& line, const FolderGuard& guard,
                             const QString& batchFolder, const QString& current,
                             QStringList& foldersAfter, bool& outside);

    UserInterface& m_ui;
    FileChanges& m_files;
    std::vector<HostPath> m_allowedRoots;
    QString m_why;
    QString m_remedy;
    QStringList m_failures;
    int m_failureCount = 0;
    int m_stoppedAt = 0;
};

} // namespace veltrane
