// SPDX-License-Identifier: MIT
#pragma once

#include <QRect>
#include <QtMath>

namespace ponpira {

// Positions and sizes are kept in twips as the windows were laid out; 15 twips make one
// logical pixel (96 dpi), and Qt's high-DPI scaling takes it from there.
constexpr int twipsPerPixel = 15;

constexpr int px(int twips) {
    // Round half away from zero so that -120 twips gives -8 px like 120 gives 8.
    return twips >= 0 ? (twips + twipsPerPixel / 2) / twipsPerPixel
                      : -((-twips + twipsPerPixel / 2) / twipsPerPixel);
}

constexpr QRect twipsRect(int left, int top, int width, int height) {
    return QRect(px(left), px(top), px(width), px(height));
}

} // namespace ponpira
