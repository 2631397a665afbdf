#pragma once

#include <QDateTime>
#include <QString>

namespace veltrane {

// One install as the inventory holds it, with the kinds of what it changed: made from its
// journal, so that the inventory can always be made again from the journals.
struct InstallRecord {
    enum class State {
        Installed, // its journal ended: it finished, or stopped early on a failure or a No
        TakenBack, // undone; its journal stays, without its kept copies
        CutShort,  // its journal has no end: the program was killed, the power lost
    };
    // What an install left at a path, against what was there before it.
    enum class Change {
        Added,    // nothing was there
        Replaced, // the file there before is kept aside
        Removed,  // the file there before is kept aside, nothing is there now
    };
    struct File {
        QString path; // relative to the game folder, with "/"
        Change change = Change::Added;
        // The install whose file was there before; 0 for the game's own file (or one put
        // there by hand, or by an install that has been taken back since).
        int previousOwner = 0;
    };
    // A record of the route list or of a route's scenario list.
    struct ListChange {
        QString list;   // the list's path, relative to the game folder
        QString change; // "added", "replaced" or "removed"
        QString recordId;
        QString name;
    };

    int id = 0;
    QString journal;     // the name of its journal's folder
    QString package;     // as the user chose it: the archive's or the folder's name
    QString displayName; // the marker's English name; empty for assets
    QString kind;        // "route", "scenario", "assets"
    QDateTime started;   // UTC
    QDateTime ended;     // UTC; invalid when cut short
    QString outcome;     // "completed", "incomplete", "ended"; empty when cut short
    State state = State::CutShort;
    // Its kept copies are there: it can be taken back.
    bool undoable = false;
    int fileCount = 0;
    // What its kept copies hold on the disk (see KeptCopies).
    qint64 keptBytes = 0;

    // "installed", "taken back", "cut short".
    static QString stateName(State state);
    // Its state's name, with ", not undoable" when its kept copies are gone.
    QString stateText() const;
    static QString changeName(Change change);
};

} // namespace veltrane
