#pragma once

#include <QString>

namespace veltrane {

class UserInterface;

// The two folder operations of the install: merging a folder tree into another and
// deleting a tree.
class FolderOperations {
public:
    explicit FolderOperations(UserInterface& ui) : m_ui(ui) {}

    // Copies the contents of Source into Dest, creating Dest (one level) and missing
    // folders; existing folders are merged whatever their letter case, existing files are
    // replaced when OverWrite is true. A failure throws FileError and abandons the rest;
    // a file its owner may not write fails with permission denied. Symbolic links that
    // lead out of Source are not followed.
    void CopyDir(const QString& Source, const QString& Dest, bool OverWrite);

    // Deletes the folder with everything in it; any failure is ignored.
    void DelAll(const QString& DirtoDelete);

private:
    UserInterface& m_ui;
};

} // namespace veltrane
