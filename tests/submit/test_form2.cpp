#include "app/appinfo.h"
#include "app/timer.h"
#include "app/twips.h"
#include "app/windows.h"
#include "fakeplatform.h"
#include "game/form1.h"
#include "submit/boardurl.h"
#include "submit/form2.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QUrl>
#include <QUrlQuery>

using namespace ponpira;

namespace {

template <typename T = QWidget> T* child(QObject* parent, const QString& name) {
    auto* w = parent->findChild<T*>(name);
    if (!w)
        qFatal("no child named %s", qPrintable(name));
    return w;
}

QLineEdit* box(Form2* form, int n) {
    return child<QLineEdit>(form, QStringLiteral("Text%1").arg(n));
}

// Types into Text1..Text5 the way a paste does, keeping line breaks.
void type(Form2* form, const QStringList& texts) {
    for (int i = 0; i < texts.size(); ++i)
        box(form, i + 1)->insert(texts[i]);
}

QStringList typed(Form2* form) {
    QStringList texts;
    for (int i = 1; i <= 5; ++i)
        texts << box(form, i)->text();
    return texts;
}

void press(Form2* form, const char* button) {
    QTest::mouseClick(child<QPushButton>(form, QString::fromLatin1(button)), Qt::LeftButton);
}

const QStringList entries = {QStringLiteral("名前&name=x"), QStringLiteral("a+b@c.jp"),
                             QStringLiteral("http://h/?q=1#f"), QStringLiteral("コメ\nント 100%"),
                             QStringLiteral("p;w=d")};

// The whole program on a fake platform, driven from its menus.
struct Program {
    FakePlatform platform;
    Windows windows{platform, [] {}};
    Form1& form1 = windows.form1();

    Program() { form1.show(); }
    void choose(const char* item) { child<QAction>(&form1, QString::fromLatin1(item))->trigger(); }
    void click(int times) {
        auto* button = child<QPushButton>(&form1, QStringLiteral("Command1"));
        for (int i = 0; i < times; ++i)
            QTest::mouseClick(button, Qt::LeftButton);
    }
    void tick(const char* timer, int times) {
        for (int i = 0; i < times; ++i)
            Q_EMIT child<Timer>(&form1, QString::fromLatin1(timer))->tick();
    }
    Form2* send() {
        choose("send");
        return windows.loadedForm2();
    }
    QStringList values() {
        Form2* f = windows.loadedForm2();
        return {f->Label6->text(), f->Label7->text(), f->Label13->text()};
    }
};

// A window set whose main window label says whatever the test wants.
struct FakeWindows : WindowSet {
    QString label5;
    Form2* form = nullptr;
    Form2& form2() override { return *form; }
    frmAbout& aboutWindow() override { qFatal("not used"); }
    QString form1Label5Caption() override { return label5; }
    void unload(QWidget*) override {}
    void end() override {}
};

struct LoneForm2 {
    FakePlatform platform;
    FakeWindows windows;
    Form2 form{windows, platform};

    LoneForm2() {
        windows.form = &form;
        form.show();
    }
    LoneForm2(const QString& label5, const QString& flag, const QString& clicks) : LoneForm2() {
        windows.label5 = label5;
        form.Label6->setText(QStringLiteral("10"));
        form.Label7->setText(clicks);
        form.Label13->setText(flag);
    }
};

} // namespace

class TestForm2 : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void controls_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QRect>("twips");
        QTest::addColumn<double>("points"); // 0: the toolkit's default font
        auto row = [](const char* name, const char* caption, QRect r, double points) {
            QTest::newRow(name) << QString::fromLatin1(name) << QString::fromUtf8(caption) << r
                                << points;
        };
        row("Label11", "下の内容で結果を送信します。空欄をうめてください。", {240, 120, 4455, 255},
            0);
        row("Label1", "タイム", {120, 720, 975, 375}, 12);
        row("Label6", "", {1800, 600, 1695, 495}, 18);
        row("Label8", "秒", {3600, 600, 495, 375}, 18);
        row("Label2", "結果", {120, 1200, 975, 375}, 12);
        row("Label7", "", {1800, 1200, 1695, 495}, 20.25);
        row("Label9", "回", {3600, 1320, 375, 375}, 18);
        row("Label3", "お名前", {120, 1920, 975, 375}, 12);
        row("Text1", "", {1680, 1800, 2055, 495}, 18);
        row("Label4", "E-mail（任意）", {120, 2400, 1455, 495}, 12);
        row("Text2", "", {1680, 2400, 2055, 375}, 0);
        row("Label5", "URL（任意）", {120, 2880, 1335, 375}, 12);
        row("Text3", "", {1680, 2880, 2055, 375}, 0);
        row("Label10", "コメント", {120, 3360, 1335, 495}, 12);
        row("Text4", "", {1680, 3360, 2055, 975}, 0);
        row("Label12", "削除用パスワード", {120, 4680, 1455, 375}, 9.75);
        row("Text5", "", {2640, 4680, 1095, 375}, 0);
        row("Command1", "送信", {1200, 5280, 1335, 375}, 0);
        row("Command2", "キャンセル", {2760, 5280, 1215, 375}, 0);
        row("Label13", "", {4920, 6000, 255, 135}, 0);
    }
    // Every control at its place, in its font, with its caption.
    void controls() {
        QFETCH(QString, name);
        QFETCH(QString, caption);
        QFETCH(QRect, twips);
        QFETCH(double, points);
        LoneForm2 f;
        QWidget* w = child(&f.form, name);
        QCOMPARE(w->geometry(), twipsRect(twips.x(), twips.y(), twips.width(), twips.height()));
        QString text;
        if (auto* label = qobject_cast<QLabel*>(w))
            text = label->text();
        else if (auto* button = qobject_cast<QPushButton*>(w))
            text = button->text();
        else
            text = qobject_cast<QLineEdit*>(w)->text(); // single-line by kind
        QCOMPARE(text, caption);
        if (points > 0) {
            QCOMPARE(w->font().family(), QStringLiteral("ＭＳ Ｐゴシック"));
            QCOMPARE(w->font().pointSizeF(), points);
            QCOMPARE(w->font().weight(), QFont::Normal);
        } else {
            QVERIFY(!w->testAttribute(Qt::WA_SetFont));
        }
        QCOMPARE(w->isVisible(), name != QStringLiteral("Label13"));
    }

    void window() {
        LoneForm2 f;
        QCOMPARE(f.form.windowTitle(), QStringLiteral("結果送信"));
        QCOMPARE(f.form.size(), QSize(px(4875), px(6120)));
        QCOMPARE(f.form.maximumSize(), QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX));
        QVERIFY(!(f.form.windowFlags() & Qt::CustomizeWindowHint));
        QCOMPARE(child(&f.form, QStringLiteral("Line1"))->geometry(), QRect(8, 32, 313, 1));
        QVERIFY(f.form.Label13->x() >= px(4875));
    }

    // The password shows one "*" per character and takes no input-method text; the address
    // boxes prefer Latin; nothing is forced on the name and comment.
    void textBoxes() {
        LoneForm2 f;
        Form2* form = &f.form;
        box(form, 5)->insert(QStringLiteral("p@ss w0rd"));
        QCOMPARE(box(form, 5)->displayText(), QStringLiteral("*********"));
        QCOMPARE(box(form, 5)->text(), QStringLiteral("p@ss w0rd"));
        QVERIFY(!box(form, 5)->testAttribute(Qt::WA_InputMethodEnabled));
        QVERIFY(box(form, 5)->inputMethodHints() & Qt::ImhHiddenText);
        QCOMPARE(box(form, 2)->inputMethodHints(), Qt::ImhPreferLatin);
        QCOMPARE(box(form, 3)->inputMethodHints(), Qt::ImhPreferLatin);
        QCOMPARE(box(form, 1)->inputMethodHints(), Qt::ImhNone);
        QCOMPARE(box(form, 4)->inputMethodHints(), Qt::ImhNone);
        for (int n : {1, 2, 3, 4})
            QCOMPARE(box(form, n)->echoMode(), QLineEdit::Normal);
    }

    // Text1 has the focus first; Tab walks the boxes with the password after "送信", and each
    // box asks for its input-method mode as it takes the focus.
    void focusOrderAndInputMethods() {
        Program p;
        Form2* form = p.send();
        form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form));
        QCOMPARE(QApplication::focusWidget(), box(form, 1));
        const QStringList order = {"Text2", "Text3",    "Text4", "Command1",
                                   "Text5", "Command2", "Text1"};
        for (const QString& next : order) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget()->objectName(), next);
        }
        const QList<QPair<QWidget*, ImeMode>> expected = {
            {box(form, 1), ImeMode::Hiragana}, {box(form, 2), ImeMode::Off},
            {box(form, 3), ImeMode::Off},      {box(form, 4), ImeMode::Hiragana},
            {box(form, 5), ImeMode::Disabled}, {box(form, 1), ImeMode::Hiragana}};
        // Gaining the window and then the box may ask twice in a row; that changes nothing.
        QList<QPair<QWidget*, ImeMode>> asked;
        for (const auto& request : p.platform.imeRequests)
            if (asked.isEmpty() || asked.last() != request)
                asked << request;
        QCOMPARE(asked, expected);
    }

    // Neither button is default or cancel.
    void enterAndEscDoNothing() {
        Program p;
        p.choose("short");
        Form2* form = p.send();
        type(form, entries);
        for (int n = 1; n <= 5; ++n)
            for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape})
                QTest::keyClick(box(form, n), key);
        QTest::keyClick(form, Qt::Key_Escape);
        QVERIFY(p.platform.opened.isEmpty());
        QVERIFY(p.platform.messages.isEmpty());
        QVERIFY(form->isVisible());
        QCOMPARE(typed(form), entries);
    }

    // The values are copied when "結果送信" is chosen, and only then.
    void valuesAreCopiedOncePerChoice() {
        Program p;
        QCOMPARE(p.send()->isVisible(), true);
        QCOMPARE(p.values(), QStringList({"0", "0", "0"}));
        QCOMPARE(typed(p.windows.loadedForm2()), QStringList({"", "", "", "", ""}));

        p.choose("short");
        p.click(3);
        p.tick("Timer1", 2);
        Form2* form = p.send();
        QCOMPARE(p.values(), QStringList({"2", "3", "0"}));
        type(form, entries);
        p.click(4);
        p.tick("Timer1", 1);
        QCOMPARE(p.values(), QStringList({"2", "3", "0"}));
        QCOMPARE(p.send(), form); // again while open: same window, fresh values, same text
        QCOMPARE(p.values(), QStringList({"3", "7", "0"}));
        QCOMPARE(typed(form), entries);

        p.choose("reset");
        p.choose("demo");
        p.tick("Timer2", 5);
        p.send();
        QCOMPARE(p.values(), QStringList({"0", "5", "1"}));
        p.choose("short");
        p.send();
        QCOMPARE(p.values(), QStringList({"0", "0", "0"}));
    }

    // "キャンセル" and "送信" hide and keep every box; the close box unloads and the next
    // "結果送信" starts empty.
    void whatThePlayerTypedSurvives() {
        Program p;
        p.choose("short");
        Form2* form = p.send();
        type(form, entries);
        press(form, "Command2");
        QVERIFY(!form->isVisible());
        QVERIFY(p.platform.opened.isEmpty());
        QCOMPARE(p.send(), form);
        QCOMPARE(typed(form), entries);
        press(form, "Command1");
        QCOMPARE(p.platform.opened.size(), 1);
        QVERIFY(!form->isVisible());
        QCOMPARE(p.send(), form);
        QCOMPARE(typed(form), entries);

        QPointer<Form2> closed(form);
        form->close();
        QCOMPARE(p.windows.loadedForm2(), nullptr);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(closed.isNull());
        form = p.send();
        QVERIFY(form->isVisible());
        QCOMPARE(typed(form), QStringList({"", "", "", "", ""}));
    }

    void postCases_data() {
        QTest::addColumn<QString>("length");
        QTest::addColumn<int>("clicks");
        QTest::addColumn<int>("ticks");
        QTest::addColumn<QString>("board");
        QTest::addColumn<QString>("sentence");
        auto row = [](const char* name, const char* length, int clicks, int ticks,
                      const char* board, const char* lead, const char* seconds) {
            QTest::newRow(name) << QString::fromLatin1(length) << clicks << ticks
                                << QString::fromLatin1(board)
                                << QStringLiteral("&sub=結果&comment=") + QString::fromUtf8(lead) +
                                       QString::fromLatin1(seconds) + QStringLiteral("秒で") +
                                       QString::number(clicks) +
                                       QStringLiteral("回クリックできました。&url=");
        };
        row("10 s, 200", "short", 200, 0, "/aska.cgi?", "私は", "0");
        row("10 s, 201", "short", 201, 0, "/aska.cgi?", "私は裏技を使って", "0");
        row("30 s, 600", "long", 600, 0, "/aska.cgi?", "私は", "0");
        row("30 s, 601", "long", 601, 0, "/aska.cgi?", "私は裏技を使って", "0");
        row("150 at 5 s of 10", "short", 150, 5, "/aska.cgi?", "私は", "5");
        row("no length, 1 click", "reset", 1, 0, "/aska.cgi?", "私は裏技を使って", "0");
        row("no length, 0 clicks", "reset", 0, 0, "/aska.cgi?", "私は", "0");
        row("demo", "demo", 125, 10, "/demoaska.cgi?", "私は", "10");
    }
    // Demo, trick or normal, against the chosen length rather than the seconds shown.
    void postCases() {
        QFETCH(QString, length);
        QFETCH(int, clicks);
        QFETCH(int, ticks);
        QFETCH(QString, board);
        QFETCH(QString, sentence);
        Program p;
        p.choose(qPrintable(length));
        if (length == QStringLiteral("demo"))
            p.tick("Timer2", clicks);
        else
            p.click(clicks);
        p.tick("Timer1", ticks);
        press(p.send(), "Command1");
        QCOMPARE(p.platform.opened.size(), 1);
        const QString url = p.platform.opened[0].url;
        QVERIFY2(url.contains(board) && url.contains(sentence), qPrintable(url));
        QVERIFY(!p.windows.loadedForm2()->isVisible());
    }

    void postsTheWorkedExample() {
        Program p;
        p.choose("short");
        p.click(85);
        p.tick("Timer1", 10);
        Form2* form = p.send();
        type(form, {QStringLiteral("たろう"), {}, {}, QStringLiteral("がんばった"), {}});
        press(form, "Command1");
        QCOMPARE(p.platform.opened.size(), 1);
        QCOMPARE(p.platform.opened[0].url,
                 QStringLiteral("http://") + boardHost() +
                     QStringLiteral("/home/velmora/cgi-bin/aska/aska.cgi?mode=regist&name=たろう"
                                    "&email=&sub=結果&comment=私は10秒で85回クリックできました。"
                                    "がんばった&url=&pwd=&cook=on"));
        QCOMPARE(p.platform.opened[0].folder, AppInfo::Path());
        QCOMPARE(p.platform.opened[0].window, form);
    }

    // Each box goes to its own key exactly as typed, whatever it holds.
    void eachBoxReachesItsKey() {
        LoneForm2 f(QStringLiteral("10"), QStringLiteral("0"), QStringLiteral("85"));
        const QStringList texts = {QStringLiteral("𠮷&pwd=1"), QStringLiteral("a+b@c#d"),
                                   QStringLiteral("http://h/?a=1&b=2"),
                                   QStringLiteral("😀 100%\r\n;次"), QStringLiteral("=&?")};
        type(&f.form, texts);
        press(&f.form, "Command1");
        QCOMPARE(f.platform.opened.size(), 1);
        const QUrlQuery query(QUrl(f.platform.opened[0].url, QUrl::TolerantMode));
        auto value = [&](const char* key) {
            return query.queryItemValue(QString::fromLatin1(key), QUrl::FullyDecoded);
        };
        QCOMPARE(value("name"), texts[0]);
        QCOMPARE(value("email"), texts[1]);
        QCOMPARE(value("url"), texts[2]);
        QCOMPARE(value("comment"), QStringLiteral("私は10秒で85回クリックできました。") + texts[3]);
        QCOMPARE(value("pwd"), texts[4]);
        QCOMPARE(query.allQueryItemValues(QStringLiteral("pwd")).size(), 1);
    }

    void refusals_data() {
        QTest::addColumn<QString>("label5");
        QTest::addColumn<QString>("flag");
        QTest::addColumn<QString>("clicks");
        QTest::addColumn<bool>("opens");
        QTest::addColumn<QString>("inUrl"); // or in the message
        QTest::newRow("no length chosen") << ""
                                          << "0"
                                          << "1" << false << "時間";
        QTest::newRow("not a number") << "abc"
                                      << "0"
                                      << "1" << false << "時間";
        QTest::newRow("largest limit") << "1638"
                                       << "0"
                                       << "32760" << true << "私は10";
        QTest::newRow("above it") << "1638"
                                  << "0"
                                  << "32761" << true << "裏技";
        QTest::newRow("threshold overflows") << "1639"
                                             << "0"
                                             << "1" << false << "32767";
        QTest::newRow("demo makes no test") << "1639"
                                            << "1"
                                            << "5000" << true << "demoaska";
    }
    // Refused posts say why, open nothing and leave the window and its text as they were.
    void refusals() {
        QFETCH(QString, label5);
        QFETCH(QString, flag);
        QFETCH(QString, clicks);
        QFETCH(bool, opens);
        QFETCH(QString, inUrl);
        LoneForm2 f(label5, flag, clicks);
        type(&f.form, entries);
        press(&f.form, "Command1");
        QCOMPARE(f.platform.opened.size(), opens ? 1 : 0);
        QCOMPARE(f.platform.messages.size(), opens ? 0 : 1);
        QCOMPARE(f.form.isVisible(), !opens);
        QCOMPARE(typed(&f.form), entries);
        const QString said = opens ? f.platform.opened[0].url : f.platform.messages[0].prompt;
        QVERIFY2(said.contains(inUrl), qPrintable(said));
        if (!opens)
            QCOMPARE(f.platform.messages[0].title, QStringLiteral("ポンピラ"));
    }

    // A shell that cannot open the URL is reported, and the player can try again.
    void failedOpenKeepsTheWindow() {
        LoneForm2 f(QStringLiteral("10"), QStringLiteral("0"), QStringLiteral("85"));
        type(&f.form, entries);
        f.platform.openSucceeds = false;
        press(&f.form, "Command1");
        QCOMPARE(f.platform.opened.size(), 1);
        QCOMPARE(f.platform.messages.size(), 1);
        QVERIFY(f.platform.messages[0].prompt.contains(QStringLiteral("ブラウザー")));
        QCOMPARE(f.platform.messages[0].title, QStringLiteral("ポンピラ"));
        QVERIFY(f.form.isVisible());
        QCOMPARE(typed(&f.form), entries);
        f.platform.openSucceeds = true;
        press(&f.form, "Command1");
        QCOMPARE(f.platform.opened.size(), 2);
        QCOMPARE(f.platform.opened[1].url, f.platform.opened[0].url);
        QVERIFY(!f.form.isVisible());
    }

    // A URL of exactly the limit goes out; one byte more is refused with a message.
    void urlLengthLimit() {
        for (const QString& unit : {QStringLiteral("a"), QStringLiteral(" ")}) {
            LoneForm2 f(QStringLiteral("10"), QStringLiteral("0"), QStringLiteral("85"));
            press(&f.form, "Command1");
            QCOMPARE(f.platform.opened.size(), 1);
            const qsizetype room = maxUrlBytes - encodedUrlBytes(f.platform.opened[0].url);
            const qsizetype perUnit = encodedUrlBytes(escapeEntry(unit));
            const qsizetype fits = room / perUnit;
            QVERIFY(fits > 100);
            box(&f.form, 4)->setText(unit.repeated(fits));
            f.form.show();
            press(&f.form, "Command1");
            QCOMPARE(f.platform.opened.size(), 2);
            QVERIFY(encodedUrlBytes(f.platform.opened[1].url) > maxUrlBytes - perUnit);
            box(&f.form, 4)->setText(unit.repeated(fits + 1));
            f.form.show();
            press(&f.form, "Command1");
            QCOMPARE(f.platform.opened.size(), 2);
            QCOMPARE(f.platform.messages.size(), 1);
            QVERIFY(f.platform.messages[0].prompt.contains(QStringLiteral("長すぎる")));
            QVERIFY(f.form.isVisible());
            QCOMPARE(box(&f.form, 4)->text(), unit.repeated(fits + 1));
        }
    }
};

QTEST_MAIN(TestForm2)
#include "test_form2.moc"
