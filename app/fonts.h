// SPDX-License-Identifier: MIT
#pragma once

class QIcon;
class QString;

namespace ponpira {

// Maps the Windows faces the windows ask for to installed faces, so that Japanese renders and
// the digits keep their weight on systems without them. Safe to call more than once.
void installFontSubstitutions();

// The face that a request for face gets: face itself when it is installed, else the first
// installed face of its substitutes, else face (the font system's own fallback then decides).
// Asking for it directly draws the same letters and spares the font system a futile search for
// the missing face, which cost more than half the start-up's own work.
QString installedFace(const QString& face);

// The program's icon with every size it ships.
QIcon appIcon();

} // namespace ponpira
