#pragma once

#include "util/HostPath.h"

#include <QList>
#include <QString>
#include <string>
#include <unordered_map>

namespace veltrane {

// Every entry below a folder with its size and time of change, links not followed, taken in
// one walk without reading any file: two of them, taken before and after a program that
// changes files out of our reach (Wine's cmd), tell what it made, changed and removed.
class TreeListing {
public:
    // The listing of root's tree, less a first-level entry of that name (the program's own
    // folder of the game). A folder that cannot be read is listed without its entries.
    static TreeListing of(const HostPath& root, const QString& skipped = {});

    struct Change {
        QString path; // relative to the root, "/" separated
        bool folder = false;
    };
    struct Difference {
        QList<Change> made; // sorted, so that a folder comes before what it holds
        QList<Change> changed;
        QList<Change> removed;
    };
    // What became of this listing's entries in later, a listing of the same root.
    Difference changesTo(const TreeListing& later) const;

    qsizetype size() const { return qsizetype(m_entries.size()); }

private:
    struct Entry {
        qint64 size = 0;
        qint64 changed = 0; // nanoseconds
        bool folder = false;
    };
    std::unordered_map<std::string, Entry> m_entries; // by the relative path's native bytes
};

} // namespace veltrane
