#pragma once

#include <QWidget>

class QLabel;

namespace ponpira {

class Platform;
class WindowSet;

// The result entry window.
class Form2 : public QWidget {
    Q_OBJECT

  public:
    Form2(WindowSet& windows, Platform& platform, QWidget* parent = nullptr);

    // The values of the last game, written by the main window's "結果送信".
    QLabel* Label6 = nullptr;
    QLabel* Label7 = nullptr;
    QLabel* Label13 = nullptr;

  private:
    WindowSet& windows_;
    Platform& platform_;
};

} // namespace ponpira
