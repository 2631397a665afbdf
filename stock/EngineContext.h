#pragma once

#include <QString>

namespace veltrane {

struct AppState;
class UserInterface;

// What the install flows and the stock makers work with: the program-wide state, the way to
// the user, and the program's (the package's) folder in the program's path form.
struct EngineContext {
    AppState& state;
    UserInterface& ui;
    QString programFolder;
};

} // namespace veltrane
