// SPDX-License-Identifier: MIT
#include "floorwindow.h"

#include <QLabel>
#include <QPushButton>

FloorWindow::FloorWindow() {
    setWindowTitle(QStringLiteral("floor"));
    auto* client = new QWidget(this);
    // The game's client area and button, in pixels, so both paint about as much per click.
    client->setFixedSize(346, 206);
    setCentralWidget(client);
    label_ = new QLabel(client);
    label_->setObjectName(QStringLiteral("Label3"));
    label_->setGeometry(152, 0, 137, 73);
    // A short Japanese caption, as the game's button has while it is played: the floor loads a
    // Japanese font as any program in this language must, and repaints as much text per press.
    button_ = new QPushButton(QStringLiteral("連打してね"), client);
    button_->setObjectName(QStringLiteral("Command1"));
    button_->setGeometry(8, 88, 329, 113);
    connect(button_, &QPushButton::clicked, this,
            [this] { label_->setText(QString::number(++count_)); });
}
