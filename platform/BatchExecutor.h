#pragma once

#include "BatchLine.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace veltrane {

class BatchPathGuard;
class UserInterface;

// Runs the lines of a batch file that has been checked whole. Like cmd.exe it goes on with
// the next line when an operation fails, and gathers what failed for one message at the end
// (there is no console window to show it in). A failed CD is the exception: the lines after
// it would work in another folder than the author meant, so the run stops there. Every file
// it touches is checked against the guard again as it goes, and the window gets to process
// its messages between files.
class BatchExecutor {
public:
    BatchExecutor(UserInterface& ui, const BatchPathGuard& guard, QString batchFolder,
                  QString currentFolder);

    // False when the run ends with this line: EXIT, or a CD that failed.
    bool run(const BatchLine& line);

    // "Line 4: DEL x.txt" and, indented on a second line, why; at most kMaxFailures.
    const QStringList& failures() const { return m_failures; }
    int failureCount() const { return m_failureCount; }
    // The line at which a failure stopped the run; 0 when none did.
    int stoppedAt() const { return m_stoppedAt; }
    const QString& currentFolder() const { return m_current; }

    static constexpr int kMaxFailures = 100;

private:
    enum class Kind {
        Missing,
        File,   // also a symbolic link that does not lead to a folder
        Folder, // a real folder, not a link to one
        Other   // a link to a folder, a device, a pipe: never entered nor removed by a pattern
    };
    struct Entry {
        QString path; // program form
        QString host;
        QString name; // as on disk
        Kind kind = Kind::Missing;
    };

    bool conditionsHold(const BatchLine& line);
    bool changeFolder(const BatchLine& line);
    void del(const BatchLine& line);
    void copy(const BatchLine& line);
    void xcopy(const BatchLine& line);
    void move(const BatchLine& line);
    void rename(const BatchLine& line);
    void makeFolders(const BatchLine& line);
    void removeFolders(const BatchLine& line);

    QString expand(const BatchWord& word) const;
    QString resolve(const QString& expanded);
    Entry entryOf(const QString& path) const;
    QList<Entry> entries(const QString& folder) const;
    QList<Entry> matchingFiles(const QString& path) const;
    void deleteMatching(const QString& folder, const QString& pattern, bool recursive, bool force);
    bool copyOne(const QString& from, const QString& to, bool ask, bool overwriteReadOnly);
    void moveOne(const Entry& item, const QString& to, bool ask);
    bool makePath(const QString& path);
    void fail(const QString& reason);

    UserInterface& m_ui;
    const BatchPathGuard& m_guard;
    QString m_batchFolder;
    QString m_current;
    const BatchLine* m_line = nullptr;
    QStringList m_failures;
    int m_failureCount = 0;
    int m_stoppedAt = 0;
};

} // namespace veltrane
