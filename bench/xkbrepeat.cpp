// SPDX-License-Identifier: MIT
#include <X11/XKBlib.h>

// Asks the server to send a held key's repeats on this connection as presses alone. True when
// the server does so from now on.
bool setDetectableAutoRepeat(void* display) {
    Bool supported = False;
    return XkbSetDetectableAutoRepeat(static_cast<Display*>(display), True, &supported) &&
           supported;
}
