#pragma once

#include "util/HostPath.h"

namespace veltrane {

struct AppState;
class FileChanges;
class UserInterface;
class WorkReport;

// What the install flows and the stock makers work with: the program-wide state, the way to
// the user, the install's file changes, the package's folder and the folder of the install's
// working files, and the report of what was done and what failed.
struct EngineContext {
    AppState& state;
    UserInterface& ui;
    FileChanges& files;
    // The game folder, mapped once where the install began.
    HostPath game;
    HostPath packageFolder;
    // Where the install's working files go (Scenarios.xml, Tempfiles): the package folder, or
    // a folder of the install's own when the package folder may not be written to.
    HostPath workFolder;
    WorkReport& report;
};

} // namespace veltrane
