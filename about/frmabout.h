#pragma once

#include <QDialog>

namespace ponpira {

class Platform;
class WindowSet;

// The About window.
class frmAbout : public QDialog {
    Q_OBJECT

  public:
    frmAbout(WindowSet& windows, Platform& platform, QWidget* parent = nullptr);

  private:
    WindowSet& windows_;
    Platform& platform_;
};

} // namespace ponpira
