#pragma once

#include <QRect>

namespace platform::ui {

// The old layouts are in twips: 15 twips are one pixel at 96 dpi. Qt's high-DPI scaling takes
// care of other resolutions, so device-independent pixels are all we convert to.
constexpr int twipsPerPixel = 15;
constexpr int px(int twips) { return (twips + twipsPerPixel / 2) / twipsPerPixel; }
inline QRect twipsRect(int left, int top, int width, int height)
{
    return QRect(px(left), px(top), px(width), px(height));
}

} // namespace platform::ui
