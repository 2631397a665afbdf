#pragma once

#include "InstallRecord.h"
#include "JournalFormat.h"
#include "util/HostPath.h"

#include <QHash>
#include <QList>
#include <optional>

namespace veltrane {

// What one journal tells the inventory: the install's header, how it ended, the files it
// left added, replaced or removed, and the list records it changed. Fed record by record,
// by the journal as it is written and by a reader of a journal on the disk, so that the
// inventory written at an install's end and one made again from the journals agree.
class JournalSummary {
public:
    // Reads the journal in folder; nothing when the folder holds no journal of this program.
    static std::optional<JournalSummary> read(const HostPath& folder);

    void add(const JournalFormat::Entry& entry);

    // The install without what only the disk tells (its journal's name, whether its kept
    // copies are there, their size); id 0 when the journal holds no number.
    const InstallRecord& install() const { return m_install; }
    InstallRecord& install() { return m_install; }
    // In the order the install first changed them; a file it made and removed again is not
    // among them, nor a blueprint cache.
    QList<InstallRecord::File> files() const;
    const QList<InstallRecord::ListChange>& listChanges() const { return m_lists; }

private:
    struct Path {
        QString path;
        bool before = false; // a file was there before the install
        bool now = false;    // one is there after it
        int owner = 0;
    };
    Path& track(const QString& path, bool thereBefore);
    void renamed(const QStringList& fields);

    InstallRecord m_install;
    QList<Path> m_paths;
    QHash<QString, qsizetype> m_index;
    QHash<QString, int> m_owners;
    QList<InstallRecord::ListChange> m_lists;
};

} // namespace veltrane
