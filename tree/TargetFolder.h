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
    explicit TargetFolder(HostPath path);

    // The entry that stands for name here: an existing one of any letter case, the exact name
    // first; otherwise name as written, which later names then match.
    HostPath entryFor(const QString& name);

private:
    void remember(const QString& name);

    HostPath m_path;
    QHash<QString, QString> m_names;
};

} // namespace veltrane
