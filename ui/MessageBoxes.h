#pragma once

#include "util/UserInterface.h"

class QWidget;

namespace veltrane {

// Message boxes of the program: always captioned "Veltrane".
class MessageBoxes {
public:
    static const QString& caption();
    static void showMessage(QWidget* parent, const QString& text, UserInterface::Icon icon);
    // Yes and No with the exclamation icon, Yes the default.
    static bool askYesNo(QWidget* parent, const QString& text);
    // Writes what the user is shown to the standard error, one line each, so that a run can
    // be followed and checked from outside the window.
    static void trace(const char* kind, const QString& text);
};

} // namespace veltrane
