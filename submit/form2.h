// SPDX-License-Identifier: MIT
#pragma once

#include "core/form2.h"
#include "core/platform.h"

#include <QHash>
#include <QWidget>
#include <memory>

class QLabel;
class QLineEdit;
class QPushButton;

namespace ponpira {

class WindowSet;

// The result entry window: the player fills in the post and sends it to the board. The
// widgets sit here at their places, with their input modes, tab order and names for a screen
// reader; "送信" and "キャンセル" go to the window's rules.
class Form2 : public QWidget {
    Q_OBJECT

  public:
    Form2(WindowSet& windows, Platform& platform, QWidget* parent = nullptr);
    ~Form2() override;

    core::Form2& rules() { return *rules_; }

    // The values of the last game, written by the main window's "結果送信".
    QLabel* Label6 = nullptr;
    QLabel* Label7 = nullptr;
    QLabel* Label13 = nullptr;

  private:
    struct Bindings;

    void buildControls();
    QLineEdit* makeTextBox(const QString& name, QRect rect, ImeMode mode);

    WindowSet& windows_;
    Platform& platform_;
    std::unique_ptr<Bindings> bindings_;
    std::unique_ptr<core::Form2> rules_;

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
