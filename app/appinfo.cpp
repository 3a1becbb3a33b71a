// SPDX-License-Identifier: MIT
#include "app/appinfo.h"

#include <QCoreApplication>
#include <QDir>

namespace ponpira {

QString appFolder() {
    QString dir = QDir::toNativeSeparators(QCoreApplication::applicationDirPath());
    while (dir.size() > 1 && (dir.endsWith(u'/') || dir.endsWith(u'\\')))
        dir.chop(1);
    return dir;
}

} // namespace ponpira
