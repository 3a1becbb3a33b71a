// SPDX-License-Identifier: MIT
#include "gamehelpers.h"

#include <QAccessible>
#include <QApplication>

namespace {

// Walks the accessibility tree as a screen reader does, menus included (a menu item's child is
// its submenu): "window/object/name" for every element, and the shown ones that speak but
// have no name.
void walk(QAccessibleInterface* iface, const QString& window, QStringList& names,
          QStringList& nameless, int depth = 0) {
    if (!iface || depth > 12)
        return;
    const QString name = iface->text(QAccessible::Name);
    names << window + '/' + iface->object()->objectName() + '/' + name;
    static const QSet<QAccessible::Role> speaking = {
        QAccessible::Window,     QAccessible::Dialog,     QAccessible::AlertMessage,
        QAccessible::PushButton, QAccessible::StaticText, QAccessible::EditableText,
        QAccessible::MenuItem,   QAccessible::PopupMenu,  QAccessible::Graphic};
    if (!iface->state().invisible && speaking.contains(iface->role()) && name.trimmed().isEmpty())
        nameless << window + '/' + iface->object()->objectName();
    for (int i = 0; i < iface->childCount() && i < 100; ++i)
        walk(iface->child(i), window, names, nameless, depth + 1);
}

QString nameOf(QObject* object) {
    return QAccessible::queryAccessibleInterface(object)->text(QAccessible::Name);
}

} // namespace

class TestAccessibility : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    // Every window, control and menu item of the three windows has a name: its caption, or a
    // short Japanese text where there is none; the number labels say what they count.
    void everyWindowHasItsNames() {
        const QStringList expected =
            QStringLiteral(
                "Form1/Form1/ポンピラ Form1/Label1/経過秒数 Form1/Label2/秒 Form1/Label4/回 "
                "Form1/Label3/クリック回数 Form1/time/タイム Form1/short/１０秒 Form1/end/終了 "
                "Form1/regular/２０秒 Form1/long/３０秒 Form1/reset/リセット Form1/demo/DEMO "
                "Form1/send/結果送信 Form1/about/バージョン情報 "
                "Form1/Command1/タイムを選択してからこのボタンをマウスで連打してください "
                "Form2/Form2/結果送信 "
                "Form2/Label11/下の内容で結果を送信します。空欄をうめてください。 "
                "Form2/Label6/0 Form2/Label7/0 Form2/Text1/お名前 Form2/Text2/E-mail（任意） "
                "Form2/Text3/URL（任意） Form2/Text4/コメント Form2/Text5/削除用パスワード "
                "Form2/Command1/送信 Form2/Command2/キャンセル frmAbout/lblTitle/ポンピラ "
                "frmAbout/frmAbout/ポンピラのﾊﾞｰｼﾞｮﾝ情報 frmAbout/picIcon/ポンピラのアイコン "
                "frmAbout/cmdOK/OK frmAbout/cmdSysInfo/ｼｽﾃﾑ情報(S)...")
                .split(' ');
        Game g;
        g.choose("send");
        g.choose("about");
        QStringList names, nameless;
        for (QWidget* top : QApplication::topLevelWidgets())
            if (top->isVisible())
                walk(QAccessible::queryAccessibleInterface(top), top->objectName(), names,
                     nameless);
        for (const QString& name : expected)
            QVERIFY2(names.contains(name), qPrintable(name));
        QCOMPARE(nameless, QStringList());
    }

    // A cue or a number that changes during a game changes the name a screen reader reads.
    // (The offscreen platform sends no change events: atspi_check.py hears one over the bus.)
    void namesFollowTheGame() {
        Game g;
        g.choose("short");
        g.click(2);
        g.tick("Timer1", 7);
        QCOMPARE(nameOf(g.button()), QStringLiteral("３秒前"));
        QCOMPARE(nameOf(g.find<QLabel>("Label3")), QStringLiteral("クリック回数 2"));
        QCOMPARE(nameOf(g.find<QLabel>("Label1")), QStringLiteral("経過秒数 7"));
    }
};

QTEST_MAIN(TestAccessibility)
#include "test_a11y.moc"
