// SPDX-License-Identifier: MIT
#include "core/form1.h"

#include "core/convert.h"
#include "core/form2.h"
#include "core/frmabout.h"
#include "core/platform.h"
#include "core/windowset.h"

namespace ponpira::core {

Form1::Form1(WindowSet& windows, Platform& platform, const Form1Controls& controls)
    : windows_(windows), platform_(platform), window_(controls.window), Command1(controls.Command1),
      Label1(controls.Label1), Label3(controls.Label3), Label5(controls.Label5),
      Timer1(controls.Timer1), Timer2(controls.Timer2) {}

std::u16string Form1::label5Caption() const {
    return Label5.text();
}

void Form1::chooseLength(Int16 seconds) {
    clickCount = 0;
    elapsedSeconds = 0;
    timeLimit = seconds;
    demoFlag = 0;
    Label1.setText(toText(timeLimit));
    Label3.setText(u"");
    Label5.setText(toText(timeLimit));
    Command1.setEnabled(true);
}

void Form1::short_Click() {
    chooseLength(10);
}
void Form1::regular_Click() {
    chooseLength(20);
}
void Form1::long_Click() {
    chooseLength(30);
}

void Form1::reset_Click() {
    clickCount = 0;
    elapsedSeconds = 0;
    demoFlag = 0;
    Command1.setText(u"連打しましょう");
    Command1.setEnabled(true);
    Timer1.setEnabled(false);
    Label3.setText(u"");
    Label1.setText(toText(timeLimit));
    Label5.setText(toText(timeLimit));
}

void Form1::Command1_Click() {
    Timer1.setEnabled(true);
    countClick();
}

// One click of the game, by the player or by the demo.
void Form1::countClick() {
    clickCount = clickCount + 1;
    Label3.setText(toText(clickCount));
    if (clickCount == 1) {
        Label1.setText(u"0");
        Command1.setText(u"もっと早く");
    }
}

void Form1::Timer1_Timer() {
    elapsedSeconds = elapsedSeconds + 1;
    Label1.setText(toText(elapsedSeconds));
    if (elapsedSeconds == timeLimit - 10)
        Command1.setText(u"あと１０秒");
    if (elapsedSeconds == timeLimit - 20)
        Command1.setText(u"まだ２０秒もある");
    if (elapsedSeconds == timeLimit - 3) {
        Command1.setText(u"３秒前");
        Command1.setFontSize(32);
    }
    if (elapsedSeconds == timeLimit - 2) {
        Command1.setText(u"２");
        Command1.setFontSize(48);
    }
    if (elapsedSeconds == timeLimit - 1) {
        Command1.setText(u"１");
        Command1.setFontSize(72);
    }
    if (elapsedSeconds == timeLimit) {
        Command1.setFontSize(9);
        Command1.setText(u"リセットしてください。");
    }
    if (elapsedSeconds >= timeLimit) {
        Timer1.setEnabled(false);
        Timer2.setEnabled(false);
        Command1.setEnabled(false);
        const std::u16string prompt = u"あなたは" + toText(elapsedSeconds) + u"秒で" +
                                      toText(clickCount) + u"回クリックすることができました。";
        platform_.messageBox(window_.handle(), prompt, u"結果");
    }
}

void Form1::demo_Click() {
    timeLimit = 10;
    demoFlag = 1;
    Label5.setText(toText(timeLimit));
    Timer1.setEnabled(true);
    Timer2.setEnabled(true);
}

void Form1::Timer2_Timer() {
    countClick();
}

void Form1::send_Click() {
    Form2& form = windows_.form2();
    form.Label6.setText(toText(elapsedSeconds));
    form.Label7.setText(toText(clickCount));
    form.Label13.setText(toText(demoFlag));
    windows_.show(form.window());
}

void Form1::about_Click() {
    windows_.show(windows_.aboutWindow().window());
}

void Form1::end_Click() {
    windows_.end();
}

} // namespace ponpira::core
