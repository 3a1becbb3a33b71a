// SPDX-License-Identifier: MIT
#include "app/windowset.h"

#include <QWidget>

namespace ponpira {

void showWindow(QWidget* window) {
    if (window->isMinimized())
        window->showNormal();
    else
        window->show();
    window->raise();
    window->activateWindow();
}

} // namespace ponpira
