#pragma once

#include "util/HostPath.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace veltrane {

// The installs made into one game folder, as their journals tell them, newest first. Every
// journal is kept: one of an install taken back stays, marked so, for the inventory.
class InstallHistory {
public:
    struct Install {
        HostPath journal; // its folder
        int id = 0;       // its number; 0 in a journal of an earlier version
        QString package;
        QString kind;
        QDateTime started;
        bool finished = false;
        bool takenBack = false;
        // Its kept copies are there; they go when they no longer fit the budget.
        bool undoable = false;
    };

    explicit InstallHistory(HostPath gameRoot);

    // The installs still in the game (not taken back).
    QList<Install> installs() const;
    // The newest install, when it never finished: the program was killed, the power lost.
    std::optional<Install> interrupted() const;
    // The install of the journal of that folder name, taken back or not.
    std::optional<Install> install(const QString& journalName) const;
    // The names of every journal's folder, the oldest first.
    QStringList journalNames() const;

    // The folder for the journal of a new install.
    HostPath newJournal() const;
    // The folder that holds the journals.
    HostPath journals() const;

    // "Riverside (route), 7 December 2026 18:04" for questions and messages.
    static QString describe(const Install& install);

private:
    HostPath m_root;
};

} // namespace veltrane
