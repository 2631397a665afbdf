#pragma once

#include <QRect>

namespace veltrane {

// Window layouts are drawn in twips; 15 twips make one pixel at 96 dots per inch, and Qt
// scales pixels on high-density screens.
constexpr int twips(int value)
{
    return value / 15;
}

constexpr QRect twipsRect(int left, int top, int width, int height)
{
    return QRect(twips(left), twips(top), twips(width), twips(height));
}

} // namespace veltrane
