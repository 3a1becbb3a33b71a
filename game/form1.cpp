// SPDX-License-Identifier: MIT
#include "game/form1.h"

#include "app/appinfo.h"
#include "app/controls.h"
#include "app/fonts.h"
#include "app/guard.h"
#include "app/timer.h"
#include "app/twips.h"
#include "app/windowset.h"
#include "game/menurows.h"
#include "game/wrapbutton.h"

#include <QAccessibleWidget>
#include <QAction>
#include <QLabel>
#include <QLayout>
#include <QMenu>

namespace ponpira {

namespace {

// The client area: 5190 x 3090 twips, its top-left corner at (5550, 4305) on the screen.
constexpr int clientWidth = 5190;
constexpr int clientHeight = 3090;
constexpr int clientLeft = 5550;
constexpr int clientTop = 4305;

QFont labelFont(const QString& face, qreal points, int weight) {
    QFont font(installedFace(face));
    font.setPointSizeF(points);
    font.setWeight(QFont::Weight(weight));
    return font;
}

// What a number label counts, for a screen reader: on screen the digits speak for themselves.
const char* const countsProperty = "ponpiraCounts";

// A number label is read as what it counts, then the number: 「クリック回数 42」. A label
// without a fixed accessible name reports each new text as a name change, so the count reaches
// a screen reader as it goes up.
class CounterAccessible : public QAccessibleWidget {
  public:
    explicit CounterAccessible(QLabel* label) : QAccessibleWidget(label, QAccessible::StaticText) {}

    QString text(QAccessible::Text t) const override {
        if (t != QAccessible::Name)
            return QAccessibleWidget::text(t);
        const auto* label = static_cast<const QLabel*>(widget());
        const QString what = label->property(countsProperty).toString();
        return label->text().isEmpty() ? what : what + u' ' + label->text();
    }
};

QAccessibleInterface* counterAccessible(const QString&, QObject* object) {
    auto* label = qobject_cast<QLabel*>(object);
    if (label && label->property(countsProperty).isValid())
        return new CounterAccessible(label);
    return nullptr;
}

} // namespace

// The window and the controls that the rules change, as the rules see them.
struct Form1::Bindings {
    BoundWindow window;
    BoundControl<WrapButton> Command1;
    BoundControl<QLabel> Label1;
    BoundControl<QLabel> Label3;
    BoundControl<QLabel> Label5;
};

Form1::~Form1() = default;

Form1::Form1(WindowSet& windows, Platform& platform, QWidget* parent)
    : QMainWindow(parent), windows_(windows), platform_(platform) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(appTitle());
    setWindowIcon(appIcon());
    // Before any control exists, so that no interface is made for a number label without it.
    static const bool countersReadable = [] {
        QAccessible::installFactory(counterAccessible);
        return true;
    }();
    Q_UNUSED(countersReadable);
    // Fixed single border: a title bar with the system menu and close box, nothing to resize.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);

    buildControls();
    buildMenu();

    layout()->setSizeConstraint(QLayout::SetFixedSize);
    // The client area's corner goes to the given place; the menu sits above it.
    move(px(clientLeft), px(clientTop) - menu->sizeHint().height());
}

void Form1::buildControls() {
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    client->setFixedSize(px(clientWidth), px(clientHeight));
    setCentralWidget(client);

    Command1 = new WrapButton(
        QStringLiteral("タイムを選択してからこのボタンをマウスで連打してください"), client);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setGeometry(twipsRect(120, 1320, 4935, 1695));
    Command1->setEnabled(false);
    Command1->setAutoDefault(false);
    Command1->setFocusPolicy(Qt::StrongFocus);

    Label1 = makeLabel(client, QStringLiteral("Label1"), {}, twipsRect(240, 240, 1095, 615));
    Label1->setFont(labelFont(QStringLiteral("Arial"), 24, 700));
    Label1->setProperty(countsProperty, QStringLiteral("経過秒数"));
    Label2 = makeLabel(client, QStringLiteral("Label2"), QStringLiteral("秒"),
                       twipsRect(1440, 360, 495, 495));
    Label2->setFont(labelFont(QStringLiteral("ＭＳ Ｐゴシック"), 24, 400));
    // Starts 120 twips above the client area: the top of its big digits is cut off.
    Label3 = makeLabel(client, QStringLiteral("Label3"), {}, twipsRect(2280, -120, 2055, 1095));
    Label3->setFont(labelFont(QStringLiteral("Arial Black"), 48, 700));
    Label3->setProperty(countsProperty, QStringLiteral("クリック回数"));
    Label4 = makeLabel(client, QStringLiteral("Label4"), QStringLiteral("回"),
                       twipsRect(4440, 600, 615, 615));
    Label4->setFont(labelFont(QStringLiteral("ＭＳ Ｐゴシック"), 26.25, 400));
    // Carries the time limit for the result window; it lies right of the client area and is
    // never shown.
    Label5 = makeLabel(client, QStringLiteral("Label5"), {}, twipsRect(5280, 360, 135, 135));
    Label5->setVisible(false);

    for (QWidget* w : {static_cast<QWidget*>(Label1), static_cast<QWidget*>(Label2),
                       static_cast<QWidget*>(Label3), static_cast<QWidget*>(Label4),
                       static_cast<QWidget*>(Label5)})
        w->setFocusPolicy(Qt::NoFocus);

    // The seconds must add up to the time that went by, even after a flood of clicks.
    Timer1 = new Timer(QStringLiteral("Timer1"), 1000, this, Timer::Missed::CatchUp);
    Timer2 = new Timer(QStringLiteral("Timer2"), 80, this);

    bindings_.reset(new Bindings{BoundWindow(this), BoundControl(Command1), BoundControl(Label1),
                                 BoundControl(Label3), BoundControl(Label5)});
    rules_ = std::make_unique<core::Form1>(
        windows_.rules(), platform_,
        core::Form1Controls{bindings_->window, bindings_->Command1, bindings_->Label1,
                            bindings_->Label3, bindings_->Label5, *Timer1, *Timer2});

    core::Form1* rules = rules_.get();
    connectHandler(platform_, Command1, &QPushButton::clicked, this, rules,
                   &core::Form1::Command1_Click);
    connectHandler(platform_, Timer1, &Timer::tick, this, rules, &core::Form1::Timer1_Timer,
                   Timer1);
    connectHandler(platform_, Timer2, &Timer::tick, this, rules, &core::Form1::Timer2_Timer,
                   Timer2);
}

void Form1::buildMenu() {
    auto item = [this](const QString& caption, const QString& name,
                       void (core::Form1::*handler)()) {
        auto* action = new QAction(caption, this);
        action->setObjectName(name);
        connectHandler(platform_, action, &QAction::triggered, this, rules_.get(), handler);
        return action;
    };
    timeMenu = new QMenu(QStringLiteral("タイム"), this);
    timeMenu->setObjectName(QStringLiteral("time"));
    // Qt names a popup after its window title; a screen reader opening it should hear タイム.
    timeMenu->setAccessibleName(timeMenu->title());
    timeMenu->menuAction()->setObjectName(QStringLiteral("time"));
    short_ = item(QStringLiteral("１０秒"), QStringLiteral("short"), &core::Form1::short_Click);
    regular =
        item(QStringLiteral("２０秒"), QStringLiteral("regular"), &core::Form1::regular_Click);
    long_ = item(QStringLiteral("３０秒"), QStringLiteral("long"), &core::Form1::long_Click);
    timeMenu->addActions({short_, regular, long_});
    reset = item(QStringLiteral("リセット"), QStringLiteral("reset"), &core::Form1::reset_Click);
    demo = item(QStringLiteral("DEMO"), QStringLiteral("demo"), &core::Form1::demo_Click);
    send = item(QStringLiteral("結果送信"), QStringLiteral("send"), &core::Form1::send_Click);
    about =
        item(QStringLiteral("バージョン情報"), QStringLiteral("about"), &core::Form1::about_Click);
    end = item(QStringLiteral("終了"), QStringLiteral("end"), &core::Form1::end_Click);

    menu = new MenuRows(this);
    menu->layOut({timeMenu->menuAction(), reset, demo, send, about, end}, px(clientWidth));
    setMenuWidget(menu);
}

} // namespace ponpira
