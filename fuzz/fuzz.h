// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <algorithm>
#include <cstdio>
#include <cstdlib>

// What the fuzz targets share. A property that does not hold stops the run, naming itself.
#define CHECK(ok)                                                                                  \
    ((ok) ? void() : (std::fprintf(stderr, "broken: %s (line %d)\n", #ok, __LINE__), std::abort()))

// The characters the board refuses to store: the C0 and C1 controls but tab, LF and CR.
inline bool hasControl(const QString& text) {
    return std::any_of(text.begin(), text.end(), [](QChar c) {
        return c.category() == QChar::Other_Control && c != u'\t' && c != u'\n' && c != u'\r';
    });
}
