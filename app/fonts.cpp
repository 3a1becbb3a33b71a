// SPDX-License-Identifier: MIT
#include "app/fonts.h"

#include "app/iconpixels.h"

#include <QFont>
#include <QFontDatabase>
#include <QIcon>
#include <QImage>
#include <QPixmap>

namespace ponpira {

void installFontSubstitutions() {
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    QFont::insertSubstitutions(QStringLiteral("ＭＳ Ｐゴシック"),
                               {QStringLiteral("MS PGothic"), QStringLiteral("IPAPGothic"),
                                QStringLiteral("VL PGothic"), QStringLiteral("TakaoPGothic"),
                                QStringLiteral("Noto Sans CJK JP"),
                                QStringLiteral("Source Han Sans JP")});
    QFont::insertSubstitutions(QStringLiteral("Arial"),
                               {QStringLiteral("Liberation Sans"), QStringLiteral("Arimo"),
                                QStringLiteral("Helvetica"), QStringLiteral("DejaVu Sans")});
    // No free face matches Arial Black's heavy strokes; a bold, wide sans comes closest.
    QFont::insertSubstitutions(QStringLiteral("Arial Black"),
                               {QStringLiteral("DejaVu Sans"), QStringLiteral("Liberation Sans")});
}

QString installedFace(const QString& face) {
    installFontSubstitutions();
    // Looked up in the list of installed faces: QFontDatabase::hasFamily asks fontconfig to
    // resolve every name it does not find, which costs as much as the search it would spare.
    const QStringList installed = QFontDatabase::families();
    for (const QString& candidate : QStringList{face} + QFont::substitutes(face)) {
        if (installed.contains(candidate, Qt::CaseInsensitive))
            return candidate;
    }
    return face;
}

QIcon appIcon() {
    // Loaded once and shared. Qt's pixmap cache keys the scaled copies by icon, so an icon
    // loaded afresh for every window left one more copy in the cache each time the About
    // window opened. Never freed: pixmaps must not be destroyed after the application object.
    static const QIcon* const icon = [] {
        auto* loaded = new QIcon;
        for (const IconPixels* image = iconPixels; image->pixels; ++image) {
            const int side = image->side;
            loaded->addPixmap(
                QPixmap::fromImage(QImage(reinterpret_cast<const uchar*>(image->pixels), side, side,
                                          side * 4, QImage::Format_ARGB32_Premultiplied)));
        }
        return loaded;
    }();
    return *icon;
}

} // namespace ponpira
