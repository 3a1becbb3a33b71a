// SPDX-License-Identifier: MIT
#include "core/guard.h"

#include "core/appinfo.h"
#include "core/controls.h"
#include "core/errors.h"
#include "core/platform.h"

#include <exception>
#include <new>

namespace ponpira {

void runHandler(Platform& platform, const std::function<void*()>& window,
                const std::function<void()>& handler, core::Timer* tickingTimer) {
    std::u16string message;
    try {
        handler();
        return;
    } catch (const Error& e) {
        message = e.message();
    } catch (const std::bad_alloc&) {
        message = u"メモリが足りません。";
    } catch (const std::exception&) {
        message = u"予期しないエラーが発生しました。";
    }
    if (tickingTimer)
        tickingTimer->setEnabled(false);
    try {
        platform.messageBox(window ? window() : nullptr, message, AppInfo::Title());
    } catch (...) {
        // Nothing sensible is left to tell the player; keep the event loop alive.
    }
}

} // namespace ponpira
