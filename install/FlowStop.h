#pragma once

#include "InstallStep.h"
#include "util/Expected.h"
#include "util/HostPath.h"

#include <QString>

namespace veltrane {

class UserInterface;

// How a flow stops before it has changed anything, because one of the files it needs cannot
// be used: a message that names the file and what is wrong with it.
class FlowStop {
public:
    // what: "route" or "scenario"; unchanged: the closing sentence, what stays as it was.
    FlowStop(UserInterface& ui, QString what, QString unchanged);

    InstallStep::Result stop(const HostPath& file, const QString& problem) const;
    // The file's whole text; the failure once the reason it cannot be read has been reported.
    Expected<QString> read(const HostPath& file) const;

private:
    UserInterface& m_ui;
    QString m_what;
    QString m_unchanged;
};

} // namespace veltrane
