// SPDX-License-Identifier: MIT
#include "submit/form2.h"

#include "app/appinfo.h"
#include "app/controls.h"
#include "app/fonts.h"
#include "app/guard.h"
#include "app/twips.h"
#include "app/windowset.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace ponpira {

namespace {

constexpr int clientWidth = 4875;
constexpr int clientHeight = 6120;

QFont gothic(qreal points) {
    // The installed face asked for directly: the font system then skips its search for the
    // missing one, each time the window is opened.
    QFont font(installedFace(QStringLiteral("ＭＳ Ｐゴシック")));
    font.setPointSizeF(points);
    font.setWeight(QFont::Normal);
    return font;
}

QLabel* makeFontLabel(QWidget* parent, const QString& name, const QString& caption, QRect rect,
                      qreal points) {
    QLabel* label = makeLabel(parent, name, caption, rect, true);
    label->setFont(gothic(points));
    return label;
}

// A one-pixel rule in the window's text colour.
QWidget* makeLine(QWidget* parent, const QString& name, int x1, int x2, int y) {
    auto* line = new QWidget(parent);
    line->setObjectName(name);
    line->setGeometry(px(x1), px(y), px(x2) - px(x1) + 1, 1);
    line->setBackgroundRole(QPalette::WindowText);
    line->setAutoFillBackground(true);
    line->setFocusPolicy(Qt::NoFocus);
    return line;
}

QPushButton* makeFormButton(QWidget* parent, const QString& name, const QString& caption,
                            QRect rect) {
    QPushButton* button = makeButton(parent, name, caption, rect);
    // Neither button answers Enter or Esc on the window's behalf.
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

} // namespace

// The window and the controls that the rules read or change, as the rules see them.
struct Form2::Bindings {
    BoundWindow window;
    BoundControl<QLabel> Label6;
    BoundControl<QLabel> Label7;
    BoundControl<QLabel> Label13;
    BoundControl<QLineEdit> Text1;
    BoundControl<QLineEdit> Text2;
    BoundControl<QLineEdit> Text3;
    BoundControl<QLineEdit> Text4;
    BoundControl<QLineEdit> Text5;
};

Form2::Form2(WindowSet& windows, Platform& platform, QWidget* parent)
    : QWidget(parent, Qt::Window), windows_(windows), platform_(platform) {
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("結果送信"));
    setWindowIcon(appIcon());
    // The proportional face of a Japanese desktop: with the fixed-pitch fallback that a bare
    // system offers, Label11's sentence is too wide for its one-line box and loses its end.
    setFont(gothic(9));
    // The default resizable frame; the controls keep their places when it is resized, and
    // where it opens is the window system's choice.
    resize(px(clientWidth), px(clientHeight));
    buildControls();
}

Form2::~Form2() {
    // The text boxes are destroyed after this class's members, and the focus leaving them on
    // the way must not reach the mode table that is already gone.
    disconnect(imeConnection_);
}

QLineEdit* Form2::makeTextBox(const QString& name, QRect rect, ImeMode mode) {
    auto* box = new QLineEdit(this);
    box->setObjectName(name);
    box->setGeometry(rect);
    box->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    box->setFrame(true);
    imeModes_.insert(box, mode);
    return box;
}

void Form2::buildControls() {
    Label11 = makeLabel(this, QStringLiteral("Label11"),
                        QStringLiteral("下の内容で結果を送信します。空欄をうめてください。"),
                        twipsRect(240, 120, 4455, 255), true);
    Line1 = makeLine(this, QStringLiteral("Line1"), 120, 4800, 480);
    Label1 = makeFontLabel(this, QStringLiteral("Label1"), QStringLiteral("タイム"),
                           twipsRect(120, 720, 975, 375), 12);
    Label6 = makeFontLabel(this, QStringLiteral("Label6"), {}, twipsRect(1800, 600, 1695, 495), 18);
    Label8 = makeFontLabel(this, QStringLiteral("Label8"), QStringLiteral("秒"),
                           twipsRect(3600, 600, 495, 375), 18);
    Label2 = makeFontLabel(this, QStringLiteral("Label2"), QStringLiteral("結果"),
                           twipsRect(120, 1200, 975, 375), 12);
    Label7 =
        makeFontLabel(this, QStringLiteral("Label7"), {}, twipsRect(1800, 1200, 1695, 495), 20.25);
    Label9 = makeFontLabel(this, QStringLiteral("Label9"), QStringLiteral("回"),
                           twipsRect(3600, 1320, 375, 375), 18);
    Label3 = makeFontLabel(this, QStringLiteral("Label3"), QStringLiteral("お名前"),
                           twipsRect(120, 1920, 975, 375), 12);
    Text1 =
        makeTextBox(QStringLiteral("Text1"), twipsRect(1680, 1800, 2055, 495), ImeMode::Hiragana);
    Text1->setFont(gothic(18));
    Label4 = makeFontLabel(this, QStringLiteral("Label4"), QStringLiteral("E-mail（任意）"),
                           twipsRect(120, 2400, 1455, 495), 12);
    Text2 = makeTextBox(QStringLiteral("Text2"), twipsRect(1680, 2400, 2055, 375), ImeMode::Off);
    Label5 = makeFontLabel(this, QStringLiteral("Label5"), QStringLiteral("URL（任意）"),
                           twipsRect(120, 2880, 1335, 375), 12);
    Text3 = makeTextBox(QStringLiteral("Text3"), twipsRect(1680, 2880, 2055, 375), ImeMode::Off);
    Label10 = makeFontLabel(this, QStringLiteral("Label10"), QStringLiteral("コメント"),
                            twipsRect(120, 3360, 1335, 495), 12);
    // Single-line although it is tall enough for three.
    Text4 =
        makeTextBox(QStringLiteral("Text4"), twipsRect(1680, 3360, 2055, 975), ImeMode::Hiragana);
    Label12 = makeFontLabel(this, QStringLiteral("Label12"), QStringLiteral("削除用パスワード"),
                            twipsRect(120, 4680, 1455, 375), 9.75);
    Text5 =
        makeTextBox(QStringLiteral("Text5"), twipsRect(2640, 4680, 1095, 375), ImeMode::Disabled);
    Command1 = makeFormButton(this, QStringLiteral("Command1"), QStringLiteral("送信"),
                              twipsRect(1200, 5280, 1335, 375));
    Command2 = makeFormButton(this, QStringLiteral("Command2"), QStringLiteral("キャンセル"),
                              twipsRect(2760, 5280, 1215, 375));
    // Carries the demo flag; it lies beyond the right edge and is never shown, even when the
    // player widens the window.
    Label13 = makeLabel(this, QStringLiteral("Label13"), {}, twipsRect(4920, 6000, 255, 135));
    Label13->setVisible(false);

    // A screen reader names each box after the caption beside it, and says what the two
    // numbers, read out as they are, count.
    Text1->setAccessibleName(Label3->text());
    Text2->setAccessibleName(Label4->text());
    Text3->setAccessibleName(Label5->text());
    Text4->setAccessibleName(Label10->text());
    Text5->setAccessibleName(Label12->text());
    Label6->setAccessibleDescription(QStringLiteral("経過秒数"));
    Label7->setAccessibleDescription(QStringLiteral("クリック回数"));

    // The e-mail address and the home page are Latin text; the player may still switch the
    // input method on.
    Text2->setInputMethodHints(Qt::ImhPreferLatin);
    Text3->setInputMethodHints(Qt::ImhPreferLatin);
    // Password echo hides the text from input methods, predictions and screen readers. The
    // mask is "*" on every style, shown at once rather than after a delay.
    Text5->setEchoMode(QLineEdit::Password);
    Text5->setStyleSheet(QStringLiteral(
        "QLineEdit { lineedit-password-character: 42; lineedit-password-mask-delay: 0; }"));
    // No input method at all: composition would show the password in clear text.
    Text5->setAttribute(Qt::WA_InputMethodEnabled, false);

    // The password box comes after "送信".
    setTabOrder(Text1, Text2);
    setTabOrder(Text2, Text3);
    setTabOrder(Text3, Text4);
    setTabOrder(Text4, Command1);
    setTabOrder(Command1, Text5);
    setTabOrder(Text5, Command2);
    Text1->setFocus(Qt::OtherFocusReason);

    // A box asks for its input-method mode once Qt's own input context has taken the focus
    // change, so that the mode is not undone by Qt re-enabling the input method after a
    // password box.
    imeConnection_ =
        connect(qApp, &QGuiApplication::focusObjectChanged, this, [this](QObject* object) {
            const auto mode = imeModes_.constFind(object);
            if (mode != imeModes_.constEnd())
                platform_.applyImeMode(static_cast<QWidget*>(object), *mode);
        });

    bindings_.reset(new Bindings{BoundWindow(this), BoundControl(Label6), BoundControl(Label7),
                                 BoundControl(Label13), BoundControl(Text1), BoundControl(Text2),
                                 BoundControl(Text3), BoundControl(Text4), BoundControl(Text5)});
    Bindings& b = *bindings_;
    rules_ = std::make_unique<core::Form2>(windows_.rules(), platform_,
                                           core::Form2Controls{b.window, b.Label6, b.Label7,
                                                               b.Label13, b.Text1, b.Text2, b.Text3,
                                                               b.Text4, b.Text5});
    connectHandler(platform_, Command1, &QPushButton::clicked, this, rules_.get(),
                   &core::Form2::Command1_Click);
    connectHandler(platform_, Command2, &QPushButton::clicked, this, rules_.get(),
                   &core::Form2::Command2_Click);
}

} // namespace ponpira
