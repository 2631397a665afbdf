#pragma once

#include "FlowStop.h"
#include "InstallStep.h"
#include "util/HostPath.h"

#include <QList>
#include <QString>

namespace veltrane {

struct EngineContext;

// The route branch: confirmation, backup and rewrite of the game's route list.
class RouteInstaller {
public:
    explicit RouteInstaller(EngineContext& context);

    QList<InstallStep> steps();

private:
    InstallStep::Result findList();
    InstallStep::Result readMarker();
    InstallStep::Result confirm();
    InstallStep::Result editList();
    InstallStep::Result removeOldBackup();
    InstallStep::Result replaceList();

    EngineContext& m_context;
    FlowStop m_stop;
    HostPath m_markerPath;
    HostPath m_listPath;
    HostPath m_backupPath;
    QString m_marker;
    QString m_identifier;
    QString m_newList;
};

} // namespace veltrane
