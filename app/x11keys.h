// SPDX-License-Identifier: MIT
#pragma once

namespace ponpira {

// On X, asks the server to send a held key's repeats to this program as presses alone, without
// the release before each; Qt can tell those releases from real ones only by luck. True when the
// server does so from now on, so that every release that arrives is real.
bool askForRealKeyReleases();

} // namespace ponpira
