#pragma once

#include "InstallStep.h"

#include <QList>

namespace veltrane {

struct EngineContext;

// The route branch: confirmation, backup and rewrite of the game's route list.
class RouteInstaller {
public:
    explicit RouteInstaller(EngineContext& context) : m_context(context) {}

    QList<InstallStep> steps();

private:
    QString listPath() const;
    QString backupPath() const;
    InstallStep::Result stopWith(const QString& file, const QString& problem);
    InstallStep::Result replaceList();

    EngineContext& m_context;
    QString m_marker;
    QString m_identifier;
    QString m_newList;
};

} // namespace veltrane
