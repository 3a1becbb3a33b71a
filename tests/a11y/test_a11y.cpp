// SPDX-License-Identifier: MIT
#include "gamehelpers.h"

#include <QAccessible>
#include <QApplication>

namespace {

// Lists the elements a screen reader speaks that have no name: those shown, and the menus that
// a menu item opens (its child).
void walk(QAccessibleInterface* iface, QStringList& nameless, int depth = 0) {
    if (!iface || depth > 12)
        return;
    static const QSet<QAccessible::Role> speaking = {
        QAccessible::Window,     QAccessible::Dialog,     QAccessible::AlertMessage,
        QAccessible::PushButton, QAccessible::StaticText, QAccessible::EditableText,
        QAccessible::MenuItem,   QAccessible::PopupMenu,  QAccessible::Graphic};
    const bool reachable = !iface->state().invisible || iface->role() == QAccessible::PopupMenu;
    if (reachable && speaking.contains(iface->role()) &&
        iface->text(QAccessible::Name).trimmed().isEmpty())
        nameless << iface->object()->objectName();
    for (int i = 0; i < iface->childCount() && i < 100; ++i)
        walk(iface->child(i), nameless, depth + 1);
}

QString nameOf(QObject* object) {
    return QAccessible::queryAccessibleInterface(object)->text(QAccessible::Name);
}

} // namespace

class TestAccessibility : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    // Everything shown in the three windows has a name, and the game's numbers and cues reach a
    // screen reader as names that change, each number with what it counts.
    void namesAScreenReaderReads() {
        Game g;
        g.play(QStringLiteral("short c2 t7 send about"));
        QStringList nameless;
        for (QWidget* top : QApplication::topLevelWidgets())
            if (top->isVisible())
                walk(QAccessible::queryAccessibleInterface(top), nameless);
        QCOMPARE(nameless, QStringList());
        QCOMPARE(nameOf(g.button()), QStringLiteral("３秒前"));
        QCOMPARE(nameOf(g.find<QLabel>("Label3")), QStringLiteral("クリック回数 2"));
        QCOMPARE(nameOf(g.find<QLabel>("Label1")), QStringLiteral("経過秒数 7"));
    }
};

QTEST_MAIN(TestAccessibility)
#include "test_a11y.moc"
