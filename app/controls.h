#pragma once

#include <QRect>
#include <QString>

class QLabel;
class QPushButton;
class QWidget;

namespace ponpira {

// A caption label as the windows were laid out: its design name, a fixed place, text from the
// top-left corner, plain text only and an opaque background. wrap continues a caption wider
// than the label on the next line.
QLabel* makeLabel(QWidget* parent, const QString& name, const QString& caption, QRect rect,
                  bool wrap = false);

// A command button at a fixed place that takes the focus from the keyboard and the mouse.
QPushButton* makeButton(QWidget* parent, const QString& name, const QString& caption, QRect rect);

} // namespace ponpira
