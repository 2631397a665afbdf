#pragma once

namespace veltrane {

// Whether a window can be shown at all: on Linux a display server must be named (X11 or
// Wayland), unless Qt is told to draw elsewhere (QT_QPA_PLATFORM, as the tests do). Checked
// before Qt's GUI starts, which would otherwise abort the program.
namespace Display {

bool available();

} // namespace Display

} // namespace veltrane
