#pragma once

#include "util/HostPath.h"
#include "util/PathGuard.h"

#include <QByteArray>
#include <QString>

namespace veltrane {

class ChangeJournal;
class InstallLog;
class InstallTransaction;

// Every change the program makes to a file goes through here, so that each failure is
// classified once (FileError: permission denied, or any other) and named by its path. Made
// for an install or undo, it also refuses every change outside the transaction's folders,
// has its journal keep each change under the game folder before it is made, and logs it. A
// file is never replaced by writing into it: the new one is made complete under a passing
// name beside it and then takes the name, so that a full disk or a kill leaves the old file
// or the new one, never part of either.
class FileChanges {
public:
    // Neither confined, journaled nor logged: for the helpers' own tests and the tools.
    FileChanges() = default;
    explicit FileChanges(InstallTransaction& transaction) : m_transaction(&transaction) {}

    // Replaces an existing target as a whole; a target its owner may not write fails with
    // permission denied, as the read-only attribute makes it fail on Windows. A source that
    // cannot be read fails as any other failure: making the game writable would not help it.
    // The source's permissions are carried over.
    void copyFile(const HostPath& from, const HostPath& to);
    // Makes to a second name of from's content without replacing anything: a hard link where
    // the file system has them, a copy elsewhere. Fails when to exists.
    void linkOrCopy(const HostPath& from, const HostPath& to);
    // Replaces an existing target.
    void renameFile(const HostPath& from, const HostPath& to);
    // Puts the file from in to's place, after which from is gone. An existing target is
    // replaced as copyFile() replaces it: a read-only one fails with permission denied, and
    // the target is the old file or the new one at every moment. On one file system this is a
    // rename; across file systems a copy takes to's name and from is then removed.
    void moveFile(const HostPath& from, const HostPath& to);
    // A file, or a symbolic link itself; never a folder.
    void removeFile(const HostPath& path);
    // An empty folder, or a file.
    void removeEntry(const HostPath& path);
    // One level; the parent must exist. An existing folder is no error.
    void makeFolder(const HostPath& path);
    // Deletes a folder with everything in it.
    void removeTree(const HostPath& path);
    // Replaces the file by a complete new one, or leaves it as it was.
    void writeWhole(const HostPath& path, const QByteArray& bytes);

    // A file that another program (the serialiser) is about to make at path: kept in the
    // journal as made by the install, so that taking the install back removes it.
    void expectCreated(const HostPath& path);
    // A change made where this helper cannot follow it (a program run by Wine), for the
    // journal and the log.
    void noteOutsideChange(const QString& what);
    // What such a program (by: "Wine's cmd") did under the game folder, found after it ended:
    // a file or folder it made, which an undo removes, and a file it changed or removed
    // (how: "changed", "removed"), which an undo puts back only when this install kept it.
    void madeOutside(const HostPath& path, bool folder, const QString& by);
    void changedOutside(const HostPath& path, const QString& how, const QString& by);
    // The name the package's marker gives the route or scenario, for the journal and the log.
    void recordDisplayName(const QString& name);
    // A record of one of the game's lists (the route list, a route's scenario list) that the
    // install added, replaced or removed (change: "added", "replaced", "removed"), after the
    // list was replaced: for the journal and the log.
    void recordListChange(const HostPath& list, const QString& change, const QString& recordId,
                          const QString& name);
    // A line in the transaction's log; nothing outside a transaction.
    void log(const QString& topic, const QString& text) const;
    // The transaction's log; none outside one.
    InstallLog* installLog() const;

    // Throws when there is no such file.
    static qint64 fileSize(const HostPath& path);
    // A name beside path, for a file that takes path's name once it is complete; free but for
    // a chance the caller rules out by creating it exclusively.
    static HostPath passingName(const HostPath& path);

private:
    void checkBoundary(const HostPath& path, PathGuard::LastName last) const;
    // The journal that keeps this change, when one is kept.
    ChangeJournal* journalFor(const HostPath& path) const;
    void forgetFolders() const;
    void forgetFoldersThrough(const HostPath& path) const;
    void logged(const QString& what, const HostPath& path) const;
    // Whose file a replaced one was, when the journal asked: for the log.
    QString ownerNote(const HostPath& path) const;

    InstallTransaction* m_transaction = nullptr;
};

} // namespace veltrane
