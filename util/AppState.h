#pragma once

#include <QString>

namespace veltrane {

// What the whole program shares while it runs; the main window owns it and hands it on.
struct AppState {
    // The game's root folder, without a trailing "\".
    QString GamePath;
    // The user agreed to have missing rolling stock made; never reset in one run.
    bool ProduceConsent = false;
    // File name, without ".bin", of the blueprint being made.
    QString VariantName;
};

} // namespace veltrane
