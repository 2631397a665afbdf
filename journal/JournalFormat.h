#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

namespace veltrane {

// How a change journal is written: one record a line, its kind's word first, its fields
// separated by TABs and percent-encoded, so that any file name fits; paths relative to the
// game folder with "/". The journal of each install lies in a folder of its own below the
// game's journals' folder, with the files kept aside in a folder "aside" beside the record.
namespace JournalFormat {

// The game's folder of journals, inside the program's own folder of the game: not under
// Assets or Content, where the game reads.
inline const QString kJournalsFolder = QStringLiteral("installs");
inline const QString kRecordFile = QStringLiteral("journal");
inline const QString kAsideFolder = QStringLiteral("aside");

// What a record says. The header comes first; then one record before each change, and
// after it what the change left.
enum class Record {
    Magic,   // the journal's own mark and version
    Game,    // the game folder
    Package, // the package as the user knows it
    Kind,    // route, scenario or assets
    Started, // the time the install began
    Id,      // the install's number, the same in the inventory and on the command line
    // What the inventory needs besides the changes:
    Title,      // the name the package's marker gives (a route's, a scenario's English name)
    ListRecord, // list path, "added", "replaced" or "removed", the record's id, its name
    Owner,      // path, the number of the install whose file a change replaced (empty: the
                // game's own file)
    // Changes, each made after its record reached the file:
    Create,       // path
    Replace,      // path, the number of the old file kept aside
    Rename,       // from, to, the number of what to held before (empty when nothing)
    MakeFolder,   // path
    RemoveFolder, // path
    Remove,       // path, the number of the file or tree kept aside (empty when not kept)
    Dropped,      // path: a blueprint cache removed for good; the game makes it again
    Note,         // a change made outside the journal's reach; with a path, the file it
                  // changed or removed, which an undo cannot put back
    // After a change:
    Done, // path, what the change left there (its signature; empty when it left nothing)
    End,  // the outcome and the time the install ended
    // After an undo:
    TakenBack, // the time the install was taken back; its kept copies are gone
};

struct Entry {
    Record record;
    QStringList fields; // after the word of the record's kind
};

// The mark and version a journal starts with.
inline constexpr int kVersion = 1;

// Whether a record names a change of the game's files.
bool isChange(Record record);

QByteArray line(Record record, const QStringList& fields);
// The record of a whole line; nothing for a line cut short or of an unknown kind.
std::optional<Entry> parse(QByteArrayView line);

} // namespace JournalFormat

} // namespace veltrane
