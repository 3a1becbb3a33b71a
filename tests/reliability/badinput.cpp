// SPDX-License-Identifier: MIT
// Whatever reaches the result window's boxes, "送信" opens a URL from which the board reads back
// every entry as typed, or says in a message why it cannot (a control character, which the board
// would refuse, among them); the boxes keep what was typed either way.
#include "board/form.h"
#include "gamehelpers.h"
#include "submit/form2.h"

#include <QLineEdit>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QUrl>

class TestBadInput : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    // Boxes filled past their limit (with lone surrogate halves, then with ASCII to escape), then
    // mixes that fit. The pieces: what could end a value or start a key, several scripts, odd
    // code points, control characters and (last) the halves of a surrogate pair on their own.
    void anyInputIsSentExactlyOrRefusedWithAMessage() {
        QStringList pieces = {"&=",     "#?",   "%41+ ", "\t\r\n", "Ünï",  "たろう",
                              "漢字𠮷", "ｶﾀｶﾅ", "😀",     "한국어", "مرحبا"};
        for (const char16_t c : {0x3000, 0xFEFF, 0xFFFE, 0x00, 0x7F, 0x85, 0xD800, 0xDC00})
            pieces << QString(QChar(c));
        Game g;
        g.choose("short");
        g.click(12);
        g.tick("Timer1", 10);
        QRandomGenerator random(8);
        int refused = 0;
        for (int round = 0; round < 202; ++round) {
            const bool full = round < 2;
            const int kinds = round == 1 ? 4 : pieces.size() - (round % 2 ? 2 : 5) * (round > 0);
            g.platform = FakePlatform();
            g.choose("send");
            ponpira::Form2* form = g.windows.loadedForm2();
            const auto box = [form](int n) {
                return form->findChild<QLineEdit*>(QStringLiteral("Text%1").arg(n));
            };
            QStringList typed;
            for (int n = 1; n <= 5; ++n) {
                QString text;
                for (int length = full ? 40000 : random.bounded(16); text.size() < length;)
                    text += pieces[random.bounded(kinds)];
                typed << text.left(32767);
                box(n)->setText(text);
            }
            QTest::mouseClick(form->findChild<QPushButton*>("Command1"), Qt::LeftButton);
            for (int n = 1; n <= 5; ++n)
                QCOMPARE(box(n)->text(), typed[n - 1]);
            if (full) {
                QCOMPARE(g.platform.opened.size(), 0);
                QCOMPARE(g.platform.messages.size(), 1); // and the window stays open
                QVERIFY(g.platform.messages[0].prompt.contains(round ? "長すぎる" : "壊れた文字"));
                QVERIFY(form->isVisible());
                continue;
            }
            static const QRegularExpression control(
                QStringLiteral("[\\x{0}-\\x{8}\\x{b}\\x{c}\\x{e}-\\x{1f}\\x{7f}-\\x{9f}]"));
            if (typed.join(QString()).contains(control)) {
                QCOMPARE(g.platform.opened.size(), 0);
                QVERIFY(g.platform.messages[0].prompt.contains("制御文字"));
                ++refused;
                continue;
            }
            QCOMPARE(g.platform.opened.size(), 1);
            const QByteArray sent = QUrl(g.platform.opened[0].url, QUrl::TolerantMode).toEncoded();
            const board::Form got = board::parseForm(sent.mid(sent.indexOf('?') + 1).toStdString());
            // Compared as bytes: QString::fromUtf8 would drop a leading U+FEFF.
            QCOMPARE(got.error, board::FormError::None);
            const char* keys[] = {"name", "email", "url", "comment", "pwd"};
            for (int n = 0; n < 5; ++n)
                QCOMPARE(QByteArray::fromStdString(got.get(keys[n])),
                         (n == 3 ? "私は10秒で12回クリックできました。" : "") + typed[n].toUtf8());
        }
        QVERIFY(refused > 50 && refused < 150); // both ways were taken often
    }
};

QTEST_MAIN(TestBadInput)
#include "badinput.moc"
