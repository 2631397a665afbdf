#pragma once

#include <QString>

namespace veltrane {

struct AppState;
class Shell;
class UserInterface;

// What the install flows and the stock makers work with: the program-wide state, the way to
// the user, the way to run tools, and the program's (the package's) folder.
struct EngineContext {
    AppState& state;
    UserInterface& ui;
    Shell& shell;
    QString programFolder;
};

} // namespace veltrane
