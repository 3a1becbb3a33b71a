// SPDX-License-Identifier: MIT
#pragma once

#include "app/int16.h"
#include "platform/platform.h"

#include <QHash>
#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;

namespace ponpira {

class WindowSet;

// The result entry window: the player fills in the post and sends it to the board. It is
// hidden, never closed, by its own buttons, so what the player typed is there again the next
// time "結果送信" shows it.
class Form2 : public QWidget {
    Q_OBJECT

  public:
    Form2(WindowSet& windows, Platform& platform, QWidget* parent = nullptr);
    ~Form2() override;

    // "送信": posts the shown result to the board and hides the window.
    void Command1_Click();
    // "キャンセル": hides the window, keeping everything typed.
    void Command2_Click();

    // The values of the last game, written by the main window's "結果送信".
    QLabel* Label6 = nullptr;
    QLabel* Label7 = nullptr;
    QLabel* Label13 = nullptr;

  private:
    void buildControls();
    QLineEdit* makeTextBox(const QString& name, QRect rect, ImeMode mode);

    WindowSet& windows_;
    Platform& platform_;

    // The chosen game length, read afresh at every "送信".
    Int16 limitSeconds;

    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label8 = nullptr;
    QLabel* Label9 = nullptr;
    QLabel* Label10 = nullptr;
    QLabel* Label11 = nullptr;
    QLabel* Label12 = nullptr;
    QWidget* Line1 = nullptr;
    QLineEdit* Text1 = nullptr;
    QLineEdit* Text2 = nullptr;
    QLineEdit* Text3 = nullptr;
    QLineEdit* Text4 = nullptr;
    QLineEdit* Text5 = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;

    // The input-method mode each text box asks for when it takes the focus.
    QHash<QObject*, ImeMode> imeModes_;
    QMetaObject::Connection imeConnection_;
};

} // namespace ponpira
