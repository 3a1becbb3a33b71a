// SPDX-License-Identifier: MIT
#pragma once

#include <QtGlobal>

namespace ponpira {

// One square image of the program's icon, side x side pixels in QImage's premultiplied ARGB32
// order. The build writes them from the icon's PNG files (iconpixels_tool).
struct IconPixels {
    int side;
    const quint32* pixels;
};

// Every size, smallest first, ended by an entry with no pixels.
extern const IconPixels iconPixels[];

} // namespace ponpira
