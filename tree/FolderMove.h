#pragma once

#include "util/HostPath.h"

#include <QString>

namespace veltrane {

class FileChanges;
class MergePlan;
class UserInterface;
class WorkReport;

// Merges a tree that is ours to take apart, such as an unpacked package archive, into the
// game folder by moving its files instead of copying them: the game ends up as
// FolderCopy::copyFolder() would leave it, and where both trees share a file system no byte
// is copied.
class FolderMove {
public:
    // With a report, a file or folder that cannot be moved is reported under step and the
    // move goes on with the rest; without one, the first failure ends it.
    FolderMove(UserInterface& ui, FileChanges& files, WorkReport* report = nullptr,
               QString step = {});

    // Moves the files of source into destination, creating destination (one level) and
    // missing folders; existing folders are merged whatever their letter case, existing files
    // are replaced when overwrite is true, each as FileChanges::moveFile() replaces it. What a
    // symbolic link in source leads to is copied where FolderCopy would follow it, and the links of
    // source are removed. Permission denied throws
    // FileError and abandons the rest. The folders of source stay behind, emptied of what was
    // moved. Returns the number of files moved.
    qint64 moveFolder(const HostPath& source, const HostPath& destination, bool overwrite);
    // The same for a plan made beforehand, without walking the tree again.
    qint64 movePlanned(const MergePlan& plan, bool overwrite);

private:
    UserInterface& m_ui;
    FileChanges& m_files;
    WorkReport* m_report;
    QString m_step;
};

} // namespace veltrane
