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
class UserInterface;

// The scenario branch: the route's scenario list converted to XML, the package's record
// put in place of earlier ones, the list converted back with a numbered backup, and the
// rolling stock the scenario needs checked, made where possible, or reported.
class ScenarioInstaller {
public:
    explicit ScenarioInstaller(EngineContext& context);

    QList<InstallStep> steps();

    // What the three markers of a package say, read and checked as an install reads them;
    // problem names what is wrong with problemFile when they cannot be used.
    struct Markers {
        QString routeFolder;
        QStringList keys;
        QString record;
        QStringList requiredStock; // the lines of Scenario.qqq
        HostPath problemFile;
        QString problem;
    };
    static Markers readMarkers(const HostPath& package, UserInterface& ui);
    // The name the route's Scenarios.bin is kept under by the next install: "Scenarios.bak",
    // then "Scenarios.bak1" to "Scenarios.bak50"; empty when all are taken.
    static QString backupName(const HostPath& routeFolder);
    // The backup the last install made; empty for none.
    static QString newestBackup(const HostPath& routeFolder);
    // A required blueprint's path below the game's Assets folder as Windows reads it; empty
    // when it would leave that folder.
    static QString assetsRelative(const QString& stockPath);

    // Checks each required blueprint of the lines, hands the absent ones to the missing-stock
    // engine, and returns the missing-items text: the paths it did not make, each ending in
    // CR LF, in the order of the lines.
    QString checkRequiredStock(const QStringList& requirementLines);

private:
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
    QList<ScenarioListSplice::ForeignRecord> m_removedRecords;
};

} // namespace veltrane
