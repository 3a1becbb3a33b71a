// SPDX-License-Identifier: MIT
#pragma once

#include <QList>
#include <QWidget>

class QAction;
class QMenuBar;

namespace ponpira {

// A menu bar that wraps its items onto further rows when the fixed window is too narrow for
// them, as the classic Windows menu bar does. QMenuBar instead hides what does not fit behind an
// overflow arrow, which would turn a one-click command into two clicks.
class MenuRows : public QWidget {
    Q_OBJECT

  public:
    explicit MenuRows(QWidget* parent = nullptr);

    // Places actions in order, starting a new row whenever the next one would not fit in width.
    void layOut(const QList<QAction*>& actions, int width);
    const QList<QMenuBar*>& rows() const { return rows_; }

  private:
    QList<QMenuBar*> rows_;
};

} // namespace ponpira
