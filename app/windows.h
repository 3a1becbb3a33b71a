// SPDX-License-Identifier: MIT
#pragma once

#include "app/windowset.h"

#include <QObject>
#include <QPointer>
#include <functional>

namespace ponpira {

class Form1;

// The program's three windows, each created on first reference and at most once. Closing a
// window with its close box unloads it like Unload does; closing the main window ends the
// program, since nothing would be left to reach the other windows from.
class Windows : public QObject, public WindowSet {
    Q_OBJECT

  public:
    // quit is what ending the program does once every window is gone; by default it leaves
    // the application's event loops.
    explicit Windows(Platform& platform, std::function<void()> quit = {});
    ~Windows() override;

    Form1& form1();
    Form2& form2() override;
    frmAbout& aboutWindow() override;
    QString form1Label5Caption() override;
    void unload(QWidget* window) override;
    void end() override;

    // For callers that must not load a window by looking at it.
    Form1* loadedForm1() const;
    Form2* loadedForm2() const;
    frmAbout* loadedAbout() const;
    bool hasEnded() const { return ended_; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    template <typename W> W& load(QPointer<W>& slot);

    Platform& platform_;
    std::function<void()> quit_;
    QPointer<Form1> form1_;
    QPointer<Form2> form2_;
    QPointer<frmAbout> about_;
    bool ended_ = false;
};

} // namespace ponpira
