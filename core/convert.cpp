// SPDX-License-Identifier: MIT
#include "app/convert.h"

#include <QRegularExpression>
#include <cmath>

namespace ponpira {

QString toText(Int16 value) {
    return QString::number(value.value());
}

Int16 toInt16(const QString& text) {
    const QString t = text.trimmed();
    // Only ASCII digits: QString::toInt would also take "0x1f" or full-width forms in some
    // locales, and the labels this reads only ever hold what toText wrote.
    static const QRegularExpression integer(QStringLiteral("^[+-]?[0-9]+$"));
    if (!integer.match(t).hasMatch())
        throw ConversionError(text);
    bool ok = false;
    const qlonglong value = t.toLongLong(&ok);
    if (!ok || value < Int16::min || value > Int16::max)
        throw OverflowError();
    return Int16(static_cast<int>(value));
}

double toDouble(const QString& text) {
    const QString t = text.trimmed();
    static const QRegularExpression number(
        QStringLiteral("^[+-]?([0-9]+\\.?[0-9]*|\\.[0-9]+)([eE][+-]?[0-9]+)?$"));
    if (!number.match(t).hasMatch())
        throw ConversionError(text);
    // Qt reports a number too small for a double as a failure too, with the value 0 that it
    // rounds to; only a number too large for a double is out of range.
    const double value = t.toDouble();
    if (!std::isfinite(value))
        throw OverflowError();
    return value;
}

} // namespace ponpira
