#include "gamehelpers.h"

#include <QAccessible>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>

using namespace ponpira;

namespace {

// Roles a screen reader speaks by name: each must have one. Containers, lines and the menu
// bars themselves may stay nameless.
bool needsName(QAccessible::Role role) {
    switch (role) {
    case QAccessible::Window:
    case QAccessible::Dialog:
    case QAccessible::AlertMessage:
    case QAccessible::PushButton:
    case QAccessible::StaticText:
    case QAccessible::EditableText:
    case QAccessible::MenuItem:
    case QAccessible::PopupMenu:
    case QAccessible::Graphic:
        return true;
    default:
        return false;
    }
}

// Every visible element under iface that needs a name and has none, as "objectName (role)".
void collectNameless(QAccessibleInterface* iface, QStringList& nameless, int depth = 0) {
    if (!iface || depth > 12 || iface->state().invisible)
        return;
    if (needsName(iface->role()) && iface->text(QAccessible::Name).trimmed().isEmpty())
        nameless << QStringLiteral("%1 (%2)").arg(iface->object()->objectName()).arg(iface->role());
    for (int i = 0; i < iface->childCount() && i < 100; ++i)
        collectNameless(iface->child(i), nameless, depth + 1);
}

QString nameOf(QObject* object) {
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(object);
    return iface ? iface->text(QAccessible::Name) : QStringLiteral("<no interface>");
}

// The menu item for an action as a screen reader finds it: a child of a menu bar or a menu.
QString menuItemName(QWidget* window, QAction* action) {
    QList<QWidget*> holders;
    for (QMenuBar* bar : window->findChildren<QMenuBar*>())
        holders << bar;
    for (QMenu* menu : window->findChildren<QMenu*>())
        holders << menu;
    for (QWidget* holder : holders) {
        QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(holder);
        for (int i = 0; iface && i < iface->childCount(); ++i) {
            if (iface->child(i)->object() == action)
                return iface->child(i)->text(QAccessible::Name);
        }
    }
    return QStringLiteral("<not in any menu>");
}

} // namespace

class TestAccessibility : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    // What a screen reader says for each window, control and menu item: the caption where
    // there is one, else a short Japanese text; the numbers say what they count.
    void namesOfEveryWindow_data() {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("object");
        QTest::addColumn<QString>("name");
        const QList<std::array<const char*, 3>> rows = {
            {"Form1", "Form1", "ポンピラ"},
            {"Form1", "Command1", "タイムを選択してからこのボタンをマウスで連打してください"},
            {"Form1", "Label1", "経過秒数"},
            {"Form1", "Label2", "秒"},
            {"Form1", "Label3", "クリック回数"},
            {"Form1", "Label4", "回"},
            {"Form1", "time", "タイム"},
            {"Form1", "short", "１０秒"},
            {"Form1", "regular", "２０秒"},
            {"Form1", "long", "３０秒"},
            {"Form1", "reset", "リセット"},
            {"Form1", "demo", "DEMO"},
            {"Form1", "send", "結果送信"},
            {"Form1", "about", "バージョン情報"},
            {"Form1", "end", "終了"},
            {"Form2", "Form2", "結果送信"},
            {"Form2", "Label11", "下の内容で結果を送信します。空欄をうめてください。"},
            {"Form2", "Label6", "0"},
            {"Form2", "Label7", "0"},
            {"Form2", "Text1", "お名前"},
            {"Form2", "Text2", "E-mail（任意）"},
            {"Form2", "Text3", "URL（任意）"},
            {"Form2", "Text4", "コメント"},
            {"Form2", "Text5", "削除用パスワード"},
            {"Form2", "Command1", "送信"},
            {"Form2", "Command2", "キャンセル"},
            {"frmAbout", "frmAbout", "ポンピラのﾊﾞｰｼﾞｮﾝ情報"},
            {"frmAbout", "picIcon", "ポンピラのアイコン"},
            {"frmAbout", "lblTitle", "ポンピラ"},
            {"frmAbout", "cmdOK", "OK"},
            {"frmAbout", "cmdSysInfo", "ｼｽﾃﾑ情報(S)..."},
        };
        for (const auto& [window, object, name] : rows)
            QTest::addRow("%s.%s", window, object)
                << QString::fromUtf8(window) << QString::fromUtf8(object)
                << QString::fromUtf8(name);
    }
    void namesOfEveryWindow() {
        QFETCH(QString, window);
        QFETCH(QString, object);
        QFETCH(QString, name);
        Game g;
        g.choose("send");
        g.choose("about");
        QWidget* top = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (w->objectName() == window && w->isVisible())
                top = w;
        }
        QVERIFY2(top, qPrintable(window + QStringLiteral(" is not shown")));

        if (auto* action = top->findChild<QAction*>(object))
            QCOMPARE(menuItemName(top, action), name);
        else if (object == window)
            QCOMPARE(nameOf(top), name);
        else if (auto* widget = top->findChild<QWidget*>(object))
            QCOMPARE(nameOf(widget), name);
        else
            QFAIL("no such control");

        // And nothing that a screen reader speaks is left without a name.
        QStringList nameless;
        collectNameless(QAccessible::queryAccessibleInterface(top), nameless);
        QCOMPARE(nameless, QStringList());
    }

    // During a game the number labels' names carry the numbers, and the button's its cue. The
    // events that announce the changes are read over the accessibility bus by atspi_check.py,
    // since the offscreen platform delivers none.
    void namesFollowTheGame() {
        Game g;
        g.choose("short");
        g.click(2);
        g.tick("Timer1", 7);
        QCOMPARE(nameOf(g.find<QLabel>("Label3")), QStringLiteral("クリック回数 2"));
        QCOMPARE(nameOf(g.find<QLabel>("Label1")), QStringLiteral("経過秒数 7"));
        QCOMPARE(nameOf(g.button()), QStringLiteral("３秒前"));
    }
};

QTEST_MAIN(TestAccessibility)
#include "test_a11y.moc"
