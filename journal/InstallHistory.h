#pragma once

#include "util/HostPath.h"

#include <QDateTime>
#include <QList>
#include <QString>

namespace veltrane {

// The installs made into one game folder, as their journals tell them, newest first.
class InstallHistory {
public:
    struct Install {
        HostPath journal; // its folder
        QString package;
        QString kind;
        QDateTime started;
        bool finished = false;
    };

    // The ten newest keep their journals.
    static constexpr int kKept = 10;

    explicit InstallHistory(HostPath gameRoot);

    QList<Install> installs() const;
    // The newest install, when it never finished: the program was killed, the power lost.
    std::optional<Install> interrupted() const;

    // The folder for the journal of a new install.
    HostPath newJournal() const;
    // Drops the journals beyond the newest kKept.
    void prune() const;

    // "Riverside (route), 7 December 2026 18:04" for questions and messages.
    static QString describe(const Install& install);

private:
    HostPath m_root;
};

} // namespace veltrane
