#pragma once

class QIcon;

namespace ponpira {

// Maps the Windows faces the windows ask for to installed faces, so that Japanese renders and
// the digits keep their weight on systems without them. Safe to call more than once.
void installFontSubstitutions();

// The program's icon with every size it ships.
QIcon appIcon();

} // namespace ponpira
