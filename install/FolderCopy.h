#pragma once

#include "util/HostPath.h"

namespace veltrane {

class UserInterface;

// The two folder operations of the install: merging a folder tree into another and
// deleting a tree.
class FolderCopy {
public:
    explicit FolderCopy(UserInterface& ui) : m_ui(ui) {}

    // Copies the contents of source into destination, creating destination (one level) and
    // missing folders; existing folders are merged whatever their letter case, existing
    // files are replaced when overwrite is true. A failure throws FileError and abandons the
    // rest; a file its owner may not write fails with permission denied. Symbolic links
    // that lead out of source are not followed.
    void copyFolder(const HostPath& source, const HostPath& destination, bool overwrite);

    // Deletes the folder with everything in it; any failure is ignored.
    void removeFolder(const HostPath& folder);

private:
    UserInterface& m_ui;
};

} // namespace veltrane
