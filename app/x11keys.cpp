// SPDX-License-Identifier: MIT
#include "app/x11keys.h"

#include <QGuiApplication>

#if __has_include(<X11/XKBlib.h>)
#include <X11/XKBlib.h>
#define PONPIRA_HAVE_XKB 1
#endif

namespace ponpira {

bool askForRealKeyReleases() {
#ifdef PONPIRA_HAVE_XKB
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->display())
        return false;
    Bool supported = False;
    return XkbSetDetectableAutoRepeat(x11->display(), True, &supported) && supported;
#else
    return false;
#endif
}

} // namespace ponpira
