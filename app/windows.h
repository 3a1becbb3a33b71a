// SPDX-License-Identifier: MIT
#pragma once

#include "app/windowset.h"
#include "core/platform.h"

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
    void unload(QWidget* window) override;
    void end() override;
    core::WindowSet& rules() override { return rules_; }

    // For callers that must not load a window by looking at it.
    Form1* loadedForm1() const;
    Form2* loadedForm2() const;
    frmAbout* loadedAbout() const;
    bool hasEnded() const { return ended_; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // The set as the windows' rules see it: their rules and their core::Window.
    class Rules : public core::WindowSet {
      public:
        explicit Rules(Windows& windows) : windows_(windows) {}
        core::Form2& form2() override;
        core::frmAbout& aboutWindow() override;
        std::u16string form1Label5Caption() override;
        void show(core::Window& window) override;
        void unload(core::Window& window) override;
        void end() override { windows_.end(); }

      private:
        Windows& windows_;
    };

    template <typename W> W& load(QPointer<W>& slot);

    Rules rules_{*this};

    Platform& platform_;
    std::function<void()> quit_;
    QPointer<Form1> form1_;
    QPointer<Form2> form2_;
    QPointer<frmAbout> about_;
    bool ended_ = false;
};

} // namespace ponpira
