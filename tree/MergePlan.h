#pragma once

#include "util/FileError.h"
#include "util/HostPath.h"

#include <QList>
#include <QString>
#include <optional>

namespace veltrane {

// What merging a tree into a folder will do, worked out in one walk of the tree and of the
// folders it lands in, changing nothing: every folder and file of the tree with the name it
// takes in the target (existing names matched without regard to letter case) and what stands
// there now. Links are followed only where they stay inside the tree and do not lead back
// into a folder on the way. FolderCopy and FolderMove carry a plan out as it stands, so what
// it names is what they do.
class MergePlan {
public:
    enum class Existing { Nothing, File, Folder, Other };

    struct Entry {
        enum class Kind {
            Folder,
            File,
            Link,    // a link of the tree itself, followed or not; a move removes it
            Failure, // a folder or entry the walk could not read
        };
        Kind kind = Kind::File;
        HostPath source;      // as the walk reached it
        HostPath destination; // empty for a link or a failure
        // The destination below the target, "/" separated, with the target's letters.
        QString relative;
        // The folder entry it lies in; -1 for the tree's top.
        qsizetype parent = -1;
        // What stands at the destination now.
        Existing existing = Existing::Nothing;
        // Reached through a link: the bytes are copied, never moved away from the link.
        bool throughLink = false;
        qint64 size = 0; // of a file
        std::optional<FileError> failure;
    };

    // The plan for merging source's contents into target. A source that is no folder, or a
    // link that leads out of its own folder, gives a plan with a refusal and nothing else.
    static MergePlan of(const HostPath& source, const HostPath& target);

    // The source's real folder, from which links are judged.
    const HostPath& source() const { return m_source; }
    const HostPath& target() const { return m_target; }
    const std::optional<FileError>& refusal() const { return m_refusal; }
    const QList<Entry>& entries() const { return m_entries; }
    qint64 fileCount() const { return m_files; }
    // The bytes of all its files.
    qint64 byteCount() const { return m_bytes; }

private:
    friend class MergeWalk;

    HostPath m_source;
    HostPath m_target;
    std::optional<FileError> m_refusal;
    QList<Entry> m_entries;
    qint64 m_files = 0;
    qint64 m_bytes = 0;
};

} // namespace veltrane
