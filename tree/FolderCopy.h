#pragma once

#include "util/HostPath.h"

#include <QString>

namespace veltrane {

class FileChanges;
class MergePlan;
class UserInterface;
class WorkReport;

// The two folder operations of the install: merging a folder tree into another and
// deleting a tree.
class FolderCopy {
public:
    // With a report, a file or folder that cannot be copied is reported under step and the
    // copy goes on with the rest; without one, the first failure ends the copy.
    FolderCopy(UserInterface& ui, FileChanges& files, WorkReport* report = nullptr,
               QString step = {});

    // Copies the contents of source into destination, creating destination (one level) and
    // missing folders; existing folders are merged whatever their letter case, existing
    // files are replaced when overwrite is true. Permission denied throws FileError and
    // abandons the rest. Symbolic links that lead out of source are not followed, and source
    // must itself be a real folder of its parent, not a link out of it. Returns the number
    // of files copied.
    qint64 copyFolder(const HostPath& source, const HostPath& destination, bool overwrite);
    // The same for a plan made beforehand: its files are copied where it names them, without
    // walking the tree again, and its refusal is thrown.
    qint64 copyPlanned(const MergePlan& plan, bool overwrite);

    // Deletes the folder with everything in it; any failure is ignored.
    void removeFolder(const HostPath& folder);

private:
    UserInterface& m_ui;
    FileChanges& m_files;
    WorkReport* m_report;
    QString m_step;
};

} // namespace veltrane
