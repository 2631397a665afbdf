#pragma once

#include "util/HostPath.h"

#include <QHash>
#include <QString>

namespace veltrane {

// The names in one folder that a tree is merged into, found without regard to letter case,
// so that a package's "Assets\Kuju" lands in the game's "assets/kuju". Kept for the folder
// being filled only, so memory follows the widest folder, not the tree.
class TargetFolder {
public:
    // What stands under a name in the folder as it was listed.
    enum class Existing { Nothing, File, Folder, Other };

    explicit TargetFolder(HostPath path);

    struct Entry {
        HostPath path;
        // Nothing for a name that only an earlier entryFor() brought here.
        Existing existing = Existing::Nothing;
    };

    // The entry that stands for name here: an existing one of any letter case, the exact name
    // first; otherwise name as written, which later names then match.
    Entry entryFor(const QString& name);

private:
    struct Name {
        QString name;
        Existing existing = Existing::Nothing;
    };
    void remember(const QString& name, Existing existing);

    HostPath m_path;
    QHash<QString, Name> m_names;
};

} // namespace veltrane
