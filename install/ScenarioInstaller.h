#pragma once

#include "FlowStop.h"
#include "InstallStep.h"
#include "lists/ScenarioListSplice.h"
#include "util/HostPath.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace veltrane {

struct EngineContext;

// The scenario branch: the route's scenario list converted to XML, the package's record
// put in place of earlier ones, the list converted back with a numbered backup, and the
// rolling stock the scenario needs checked, made where possible, or reported.
class ScenarioInstaller {
public:
    explicit ScenarioInstaller(EngineContext& context);

    QList<InstallStep> steps();

    // Checks each required blueprint of the lines, hands the absent ones to the missing-stock
    // engine, and returns the missing-items text: the paths it did not make, each ending in
    // CR LF, in the order of the lines.
    QString checkRequiredStock(const QStringList& requirementLines);

private:
    HostPath marker(const QString& name) const;
    InstallStep::Result readMarkers();
    InstallStep::Result findRouteFolder();
    InstallStep::Result convertToXml();
    InstallStep::Result editList();
    InstallStep::Result replaceList();
    // The records the new list removed, replaced and added, for the journal and the log.
    void recordListChanges();
    // Offers to put the newest backup back when the list is missing.
    void restoreFromBackup();
    InstallStep::Result reportMissingStock();
    InstallStep::Result removeWorkFolder();

    EngineContext& m_context;
    FlowStop m_stop;
    QString m_routeFolder;
    HostPath m_routePath;
    // The texts that tell earlier records of this scenario, in file order.
    QStringList m_scenarioKeys;
    QString m_record;
    QStringList m_requiredStock;
    HostPath m_listPath;
    HostPath m_workingCopy;
    QString m_newList;
    QList<ScenarioListSplice::RemovedRecord> m_removedRecords;
};

} // namespace veltrane
