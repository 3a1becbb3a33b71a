// SPDX-License-Identifier: MIT
#include "app/guard.h"

#include "app/appinfo.h"
#include "app/errors.h"
#include "app/timer.h"
#include "platform/platform.h"

#include <QPointer>
#include <QWidget>
#include <exception>

namespace ponpira {

void runHandler(Platform& platform, QWidget* window, const std::function<void()>& handler,
                Timer* tickingTimer) {
    QString message;
    try {
        handler();
        return;
    } catch (const Error& e) {
        message = e.message();
    } catch (const std::bad_alloc&) {
        message = QStringLiteral("メモリが足りません。");
    } catch (const std::exception&) {
        message = QStringLiteral("予期しないエラーが発生しました。");
    }
    if (tickingTimer)
        tickingTimer->setEnabled(false);
    // The handler may have ended the program or unloaded its own window before it failed.
    QPointer<QWidget> parent(window);
    try {
        platform.messageBox(parent, message, AppInfo::Title());
    } catch (...) {
        // Nothing sensible is left to tell the player; keep the event loop alive.
    }
}

} // namespace ponpira
