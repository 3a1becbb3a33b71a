#include "app/controls.h"

#include <QLabel>
#include <QPushButton>

namespace ponpira {

QLabel* makeLabel(QWidget* parent, const QString& name, const QString& caption, QRect rect,
                  bool wrap) {
    auto* label = new QLabel(caption, parent);
    label->setObjectName(name);
    label->setGeometry(rect);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setWordWrap(wrap);
    label->setTextFormat(Qt::PlainText);
    label->setAutoFillBackground(true);
    label->setFocusPolicy(Qt::NoFocus);
    return label;
}

QPushButton* makeButton(QWidget* parent, const QString& name, const QString& caption, QRect rect) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setGeometry(rect);
    button->setFocusPolicy(Qt::StrongFocus);
    return button;
}

} // namespace ponpira
