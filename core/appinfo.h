// SPDX-License-Identifier: MIT
#pragma once

#include "core/int16.h"

#include <string>

namespace ponpira {

// What the running program says about itself; the version matches the executable's version
// resource (1.2.0.2).
struct AppInfo {
    static std::u16string Title() { return u"ポンピラ"; }
    static constexpr Int16 Major{1};
    static constexpr Int16 Minor{2};
    static constexpr Int16 Revision{2};
};

} // namespace ponpira
