#pragma once

#include "InstallStep.h"

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
    explicit ScenarioInstaller(EngineContext& context) : m_context(context) {}

    QList<InstallStep> steps();

    // The scenario keys of the last install, in file order.
    QStringList ScenarioIds;
    // The required blueprint being checked, relative to the game's Assets folder.
    QString StockPath;

    // Checks each required blueprint of the lines, hands the absent ones to the missing-stock
    // engine, and returns the missing-items text: the paths it did not make, each ending in
    // CR LF, in the order of the lines.
    QString checkRequiredStock(const QStringList& requirementLines);

private:
    QString markerPath(const QString& name) const;
    QString routePath() const;
    QString listPath() const;
    QString workingCopy() const;
    InstallStep::Result stopWith(const QString& file, const QString& problem);
    InstallStep::Result readMarkers();
    InstallStep::Result convertToXml();
    InstallStep::Result editList();
    InstallStep::Result replaceList();
    // A free name in the route folder for the list while no backup can be made.
    QString passingName() const;
    // aside: where the earlier list lies, a backup or a passing name.
    InstallStep::Result putBackAfterFailedConversion(const QString& aside, bool isBackup);
    InstallStep::Result reportMissingStock();

    EngineContext& m_context;
    QString m_routeFolder;
    QString m_record;
    QStringList m_requiredStock;
    QString m_newList;
};

} // namespace veltrane
