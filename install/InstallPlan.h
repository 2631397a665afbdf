#pragma once

#include "lists/ScenarioListSplice.h"
#include "tree/MergePlan.h"
#include "util/PackageKind.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace veltrane {

// What an install will do, worked out before it changes anything (InstallPlanner): the files
// the package's "Rail Simulator" tree adds to the game and those it replaces, with the
// package each replaced one came with; the records of the route or scenario lists it adds,
// replaces or removes and the questions it asks about them; the rolling stock it finds, makes
// or reports missing; its batch file and who runs it; and the space it needs. The install
// copies the files this plan names; text() is the plan as the command line prints it, and
// the members are what a view of it shows.
struct InstallPlan {
    // A file of the package's tree, by its place in the game.
    struct File {
        enum class State {
            Add,
            Replace,
            Blocked, // a folder (or something else that is no file) has its name in the game
        };
        // Relative to the game folder, "/" separated, with the letters the game will show.
        QString path;
        State state = State::Add;
        // The package that brought the file replaced; empty for one of the game's own.
        QString owner;
        qint64 size = 0;
    };

    // A record of a list, as the list or the package names it.
    struct Record {
        QString name;
        QString id;
    };

    // The route's record in Content\Routes.xml.
    struct RouteList {
        enum class Change {
            Add,     // as the last record
            Replace, // the record of the same route identifier
            Ask,     // the record of another route holds the identifier: Yes replaces it, No
                     // adds the route as its own
        };
        QString list; // the list file, as the user is shown it
        Record route; // the package's
        Change change = Change::Add;
        Record other; // the record replaced (Replace), or asked about (Ask)
        // The list is missing and its backup Routes.xml.bak is offered back first.
        bool backupOffered = false;
    };

    // The scenario's record in its route's serialised scenario list.
    struct ScenarioList {
        QString routeFolder; // as Scenario.yyy names it
        QString list;        // the route's Scenarios.bin, as the user is shown it
        Record scenario;     // the package's, from Scenario.zzz
        // The records the keys remove: earlier copies of this scenario.
        QList<ScenarioListSplice::ForeignRecord> removed;
        // Records of other scenarios that a key reaches: each goes only after a Yes.
        QList<ScenarioListSplice::ForeignRecord> asked;
        // The name the old list is kept under; empty when all fifty are taken and none is.
        QString backup;
        // The list is missing and its newest backup is offered back first.
        bool backupOffered = false;
    };

    // A line of the scenario's required rolling stock (Scenario.qqq).
    struct Stock {
        enum class State {
            Present,
            Made,    // as a variant of a blueprint of the game
            Missing, // listed in the report of missing stock
        };
        QString path; // as the line names it, below the game's Assets folder
        State state = State::Missing;
        QString base;      // Made: the blueprint it is made from, below Assets
        bool crew = false; // Made: a crew and load variant; else a number and lamp one
        // Made: the question whether to make missing stock comes with this line; a No leaves
        // it and every later one missing until a Yes.
        bool asksFirst = false;
    };

    // The batch file RS-Install.bat at the game's top, run once the files are copied and then
    // removed.
    struct Batch {
        enum class By {
            Ours,         // our interpreter runs every line, confined to the game and package
            WineAfterAsk, // Wine's cmd, after a question naming the lines ours cannot run
            Windows,      // the system's cmd
            Nobody,       // not run: why says why
        };
        QString path;            // relative to the game: the name it has there
        bool fromPackage = true; // else one an earlier install left in the game
        QStringList lines;
        By by = By::Ours;
        // The lines that keep ours from running the file, each as "Line N: text" and why.
        QStringList refused;
        QString why;
    };

    // The bytes the install writes to the game's file system against those free there. A
    // replaced file is kept aside by a second name (no bytes); an unpacked archive's files
    // are moved, which takes no bytes on the same file system.
    struct Space {
        qint64 fileBytes = 0; // of the files the package adds or replaces
        qint64 listBytes = 0; // of the lists written anew
        // The files arrive by renames on the game's file system: an unpacked archive's.
        bool moved = false;
        qint64 needed = 0;
        qint64 available = -1; // -1 when the file system does not say
        bool enough() const { return available < 0 || needed <= available; }
    };

    PackageKind kind = PackageKind::Assets;
    QString packageName;
    QString game;    // as the user is shown it
    QString package; // likewise

    // The merge of the package's tree into the game, as the copy step carries it out;
    // nothing when the package brings no "Rail Simulator" folder.
    std::optional<MergePlan> merge;
    QList<File> files;
    // The folders the copy makes, relative to the game, each before those below it.
    QStringList madeFolders;
    // What keeps the copy from files of the tree: a tree that cannot be used, a folder that
    // cannot be read.
    QStringList copyProblems;

    std::optional<RouteList> route;
    std::optional<ScenarioList> scenario;
    QList<Stock> stock;
    std::optional<Batch> batch;
    Space space;

    // Why the route or scenario branch would end the install before it changes anything;
    // empty when it goes through. The lists and stock are not worked out past it.
    QString stop;

    // The plan as the command line prints it: one line per file ("add PATH",
    // "replace PATH (from PACKAGE)"), then the folders, the lists, the stock, the batch file
    // and the space.
    QString text() const;
    // The parts of text() past the files, for a view that shows the files as a tree.
    enum class Part { Lists, Stock, Batch, Space };
    QString partText(Part part) const;
};

} // namespace veltrane
