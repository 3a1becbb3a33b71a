// SPDX-License-Identifier: MIT
#include "game/menurows.h"

#include <QMenuBar>
#include <QVBoxLayout>

namespace ponpira {

MenuRows::MenuRows(QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
}

void MenuRows::layOut(const QList<QAction*>& actions, int width) {
    qDeleteAll(rows_);
    rows_.clear();
    auto newRow = [this] {
        auto* row = new QMenuBar(this);
        row->setObjectName(rows_.isEmpty() ? QStringLiteral("menuBar")
                                           : QStringLiteral("menuBar%1").arg(rows_.size() + 1));
        // A native (global) menu bar would take the items out of the window altogether.
        row->setNativeMenuBar(false);
        layout()->addWidget(row);
        rows_.append(row);
        return row;
    };
    QMenuBar* row = nullptr;
    for (QAction* action : actions) {
        if (!row)
            row = newRow();
        row->addAction(action);
        if (row->actions().size() > 1 && row->sizeHint().width() > width) {
            row->removeAction(action);
            row = newRow();
            row->addAction(action);
        }
    }
}

} // namespace ponpira
