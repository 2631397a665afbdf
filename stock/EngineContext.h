#pragma once

#include <QString>

namespace veltrane {

struct AppState;
class UserInterface;
class WorkReport;

// What the install flows and the stock makers work with: the program-wide state, the way to
// the user, the program's (the package's) folder in the program's path form, and the report
// of what was done and what failed.
struct EngineContext {
    AppState& state;
    UserInterface& ui;
    QString packageFolder;
    // Where the install's working files go (Scenarios.xml, Tempfiles): the package folder, or
    // a folder of the install's own when the package folder may not be written to.
    QString workFolder;
    WorkReport& report;
};

} // namespace veltrane
