#pragma once

#include "util/HostPath.h"

#include <QDeadlineTimer>
#include <QList>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <chrono>
#include <functional>
#include <optional>

namespace veltrane {

// Finds the game where Linux users keep it, for when it is not in the default folder. A game
// folder is one that holds RailSim.exe (any letter case) at most two levels below a Wine
// prefix's drive_c or a Steam library's steamapps/common. The places, in this order:
//   - the Wine prefixes: $WINEPREFIX, then ~/.wine;
//   - Steam's libraries: the installation itself and every "path" of its
//     steamapps/libraryfolders.vdf, for Steam in ~/.steam/steam, in ~/.local/share/Steam and
//     as a Flatpak (~/.var/app/com.valvesoftware.Steam/.local/share/Steam). Proton runs the
//     game from steamapps/common; its prefix in steamapps/compatdata holds no copy of it;
//   - Lutris: the first "prefix:" of every game's settings in ~/.config/lutris/games/*.yml and
//     ~/.local/share/lutris/games/*.yml, then ~/Games/*, where Lutris puts prefixes unless
//     told otherwise;
//   - Bottles: ~/.local/share/bottles/bottles/* and, as a Flatpak,
//     ~/.var/app/com.usebottles.bottles/data/bottles/bottles/*.
// Folders whose names hold "rail" are looked into first, and the folders Wine makes for
// Windows itself not at all. The search opens at most kListingBudget folders and takes at
// most its time budget (kTimeBudget unless told otherwise), so that it never slows the
// program's start; what lies beyond is not found. It reads only regular files, each up to
// kSettingsBytes: a pipe, a device or a socket under a settings file's name is never opened,
// so none can hold it up.
class GameLocator {
public:
    static constexpr int kListingBudget = 50;
    static constexpr std::chrono::milliseconds kTimeBudget{2000};
    // More than any settings file of Steam or Lutris holds.
    static constexpr qint64 kSettingsBytes = 1 << 20;

    // home and environment are the user's; tests give made-up ones, and shorter budgets.
    GameLocator(QString home, const QProcessEnvironment& environment,
                std::chrono::milliseconds timeBudget = kTimeBudget);

    // The first game folder found, as the path box shows it; empty when there is none within
    // the budget. A game in the Wine prefix whose drive C the program maps ($WINEPREFIX, else
    // ~/.wine) is shown the Windows way, "c:\Games\Rail Simulator", as the user knows it from
    // Windows. A game anywhere else is shown as a host path: the program maps "c:" through
    // that one prefix only, so a Windows path into another prefix would lead elsewhere.
    QString find();

    // The folders the last find() opened.
    int listings() const { return m_listings; }

    // Where the last find() looked, in order, for telling the user when the game was not
    // found: each Wine prefix, Steam library, Lutris prefix and bottle it looked into, as a
    // host path, and last "… and the search stopped after 50 folders" (or "after 2
    // seconds", the time budget) when a budget was spent before it had looked everywhere.
    QStringList placesLooked() const;

    // The library folders named in the text of Steam's libraryfolders.vdf: every "path"
    // value, and in the older form every numbered value of "libraryfolders".
    static QStringList steamLibraryPaths(const QByteArray& vdf);

private:
    struct Root {
        HostPath place;           // the prefix or Steam library, as the user knows it
        HostPath folder;          // its drive_c or steamapps/common
        bool windowsForm = false; // drive_c of the prefix the program maps "c:" through
    };
    enum class Spent { Nothing, Listings, Time };
    struct Listing {
        bool holdsGame = false;
        QStringList folders; // names, sorted
        QStringList files;
    };

    // The places of each kind, worked out only when the search reaches them.
    QList<std::function<QList<Root>()>> placesInOrder();
    QList<Root> winePrefixes() const;
    QList<Root> steamLibraries(const HostPath& steam);
    QList<Root> lutrisPrefixes();
    QList<Root> bottles(const HostPath& folder);
    Root prefixRoot(const HostPath& prefix, bool mapped) const;
    // The folder found below root, as the path box shows it; empty when none.
    QString searchBelow(const Root& root);
    // One listing of a folder, counted; none when it is no folder or the budget is spent.
    std::optional<Listing> list(const HostPath& folder);
    // A settings file's first kSettingsBytes; nothing when it is no regular file or the time
    // is spent.
    QByteArray readSettings(const HostPath& path);
    // Whether a budget is spent; the time budget is checked on each call.
    bool spent();

    QString m_home;
    QProcessEnvironment m_environment;
    std::chrono::milliseconds m_timeBudget;
    int m_listings = 0;
    QDeadlineTimer m_deadline;
    Spent m_spent = Spent::Nothing;
    QStringList m_placesLooked;
};

} // namespace veltrane
