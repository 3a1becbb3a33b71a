// SPDX-License-Identifier: MIT
#pragma once

#include "app/int16.h"

#include <QString>

namespace ponpira {

// What the running program says about itself; the version matches the executable's version
// resource (1.2.0.2).
struct AppInfo {
    static QString Title() { return QStringLiteral("ポンピラ"); }
    static constexpr Int16 Major{1};
    static constexpr Int16 Minor{2};
    static constexpr Int16 Revision{2};
    // The folder that holds the executable, without a trailing separator.
    static QString Path();
};

} // namespace ponpira
