#pragma once

#include "FlowStop.h"
#include "InstallStep.h"
#include "lists/RouteListSplice.h"
#include "util/HostPath.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace veltrane {

struct EngineContext;

// The route branch: confirmation, backup and rewrite of the game's route list, which holds a
// complete list at every moment.
class RouteInstaller {
public:
    explicit RouteInstaller(EngineContext& context);

    QList<InstallStep> steps();

    // The record of another route that holds the identifier's first occurrence: its name,
    // its own identifier that begins with this one. Replacing it waits for the user's Yes.
    static std::optional<RouteListSplice::Record> otherRouteHolding(const QString& list,
                                                                    const QString& identifier);

private:
    InstallStep::Result findList();
    InstallStep::Result readMarker();
    InstallStep::Result confirm();
    InstallStep::Result editList();
    InstallStep::Result replaceList();
    // Offers to put the backup back when the list is missing; true when it is back.
    bool restoreFromBackup();

    EngineContext& m_context;
    FlowStop m_stop;
    HostPath m_markerPath;
    HostPath m_listPath;
    HostPath m_backupPath;
    QString m_marker;
    QString m_identifier;
    QString m_routeName;
    QString m_newList;
    // The records the new list adds, replaces or removes: the change, the id, the name.
    QList<QStringList> m_recordChanges;
};

} // namespace veltrane
