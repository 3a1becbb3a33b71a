// SPDX-License-Identifier: MIT
#pragma once

#include "core/appinfo.h"

#include <QString>

namespace ponpira {

// The program's title, as the windows show it.
inline QString appTitle() {
    return QString::fromStdU16String(AppInfo::Title());
}

// The folder that holds the executable, without a trailing separator.
QString appFolder();

} // namespace ponpira
