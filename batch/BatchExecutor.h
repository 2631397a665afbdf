#pragma once

#include "BatchLine.h"
#include "util/HostPath.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <filesystem>
#include <optional>

namespace veltrane {

class FileChanges;
class FolderGuard;
class UserInterface;

// Runs the lines of a batch file that has been checked whole. Like cmd.exe it goes on with
// the next line when an operation fails, and gathers what failed for one message at the end
// (there is no console window to show it in). A failed CD is the exception: the lines after
// it would work in another folder than the author meant, so the run stops there. Every file
// it touches is checked against the guard again as it goes, and the window gets to process
// its messages between files.
class BatchExecutor {
public:
    BatchExecutor(UserInterface& ui, FileChanges& files, const FolderGuard& guard,
                  QString batchFolder, QString currentFolder);

    // False when the run ends with this line: EXIT, or a CD that failed.
    bool run(const BatchLine& line);

    // "Line 4: DEL x.txt" and, indented on a second line, why; at most kMaxFailures.
    const QStringList& failures() const { return m_failures; }
    int failureCount() const { return m_failureCount; }
    // The line at which a failure stopped the run; 0 when none did.
    int stoppedAt() const { return m_stoppedAt; }
    // What cmd's ERRORLEVEL would be: the code EXIT gave, else 1 when the last command that
    // ran failed, else 0.
    int exitStatus() const { return m_exitStatus; }
    const QString& currentFolder() const { return m_current; }

    static constexpr int kMaxFailures = 100;

    // One per command, named in the command table.
    bool changeFolder(const BatchLine& line);
    bool del(const BatchLine& line);
    bool copy(const BatchLine& line);
    bool xcopy(const BatchLine& line);
    bool move(const BatchLine& line);
    bool rename(const BatchLine& line);
    bool makeFolders(const BatchLine& line);
    bool removeFolders(const BatchLine& line);
    bool exit(const BatchLine& line);
    bool echo(const BatchLine& line);

private:
    enum class Kind {
        Missing,
        File,   // also a symbolic link that does not lead to a folder
        Folder, // a real folder, not a link to one
        Other   // a link to a folder, a device, a pipe: never entered nor removed by a pattern
    };
    // A path of the file with its host path, mapped once.
    struct Entry {
        QString path; // program form
        HostPath host;
        QString name; // as on disk
        Kind kind = Kind::Missing;
    };

    bool conditionsHold(const BatchLine& line);
    QString expand(const BatchWord& word) const;
    QString resolve(const QString& expanded);
    // Where COPY and XCOPY write: their second word, or the current folder.
    struct CopyTarget {
        QString path;
        bool folderWritten = false; // written with a trailing separator: a folder is meant
    };
    // Empty where the second word cannot be resolved (the failure is recorded).
    std::optional<CopyTarget> copyTarget(const BatchLine& line);
    Entry entryOf(const QString& path) const;
    // The entry of that name in folder, mapped from there on.
    Entry entryIn(const Entry& folder, const QString& name) const;
    static Entry classified(const QString& path, const HostPath& host);
    QList<Entry> entries(const Entry& folder) const;
    QList<Entry> matchingFiles(const QString& path) const;
    // What a walk found: a folder to enter, or a file to delete.
    struct Found {
        std::filesystem::path path;
        QString name;
        bool admitted = false; // inside the folders that the file may change

        static bool byName(const Found& a, const Found& b)
        {
            return a.name.compare(b.name, Qt::CaseInsensitive) < 0;
        }
    };

    // What XCOPY copies from: the folder it starts in and the names it takes there.
    struct XcopySource {
        Entry base;
        QString pattern;
        bool several = true; // a folder or a wildcard, not one named file
    };
    // The files and the empty folders XCOPY copies, each by its names below the source folder.
    struct XcopyList {
        struct Item {
            Entry entry;
            QStringList relative;
        };
        QList<Item> files;
        QList<QStringList> emptyFolders;
    };
    // Empty when nothing of that name is there (the failure is recorded).
    std::optional<XcopySource> xcopySource(const QString& source);
    XcopyList xcopyList(const XcopySource& source, bool below, bool emptyFolders) const;
    // Whether the copies go into the target as a folder; empty when they cannot go there.
    std::optional<bool> xcopyIntoFolder(const BatchLine& line, const XcopySource& source,
                                        const CopyTarget& target, const XcopyList& list);
    void xcopyFiles(const BatchLine& line, const XcopyList& list, const QString& target,
                    bool intoFolder);

    void deleteMatching(const Entry& folder, const QString& pattern, bool recursive, bool force);
    void deleteOne(const HostPath& file, bool admitted, bool force);
    bool copyOne(const Entry& from, const HostPath& target, bool ask, bool overwriteReadOnly);
    void moveOne(const Entry& item, const QString& to, bool ask);
    // Makes the folder and those above it; its host path, or nothing after a failure.
    std::optional<HostPath> makePath(const QString& path);
    void fail(const QString& reason);

    UserInterface& m_ui;
    FileChanges& m_files;
    const FolderGuard& m_guard;
    QString m_batchFolder;
    QString m_current;
    const BatchLine* m_line = nullptr;
    QStringList m_failures;
    int m_failureCount = 0;
    int m_stoppedAt = 0;
    int m_exitStatus = 0;
    // Set by a command that leaves the exit status as it decides (ECHO, EXIT).
    bool m_statusDecided = false;
};

} // namespace veltrane
