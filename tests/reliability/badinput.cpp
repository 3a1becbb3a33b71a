// Whatever reaches the result window's text boxes, "送信" either opens a URL from which the board
// reads back every entry exactly as typed, or says in a message why it cannot. The boxes keep
// what was typed either way, and the window stays open when nothing was sent.
#include "board/form.h"
#include "gamehelpers.h"
#include "submit/form2.h"

#include <QLineEdit>
#include <QRandomGenerator>
#include <QUrl>
#include <algorithm>

namespace {

// What a player or a paste can bring: several scripts, what could end a value or start a key,
// control characters, and (last) the halves of a surrogate pair on their own.
const QString pieces[] = {
    QStringLiteral("たろう"), QStringLiteral("漢字𠮷"), QStringLiteral("ｶﾀｶﾅ"),
    QStringLiteral("😀"),      QStringLiteral("한국어"), QStringLiteral("مرحبا"),
    QStringLiteral("Ünï"),    QStringLiteral("&="),     QStringLiteral("#?"),
    QStringLiteral("%41+ "),  QStringLiteral("\t\r\n"), QString(QChar(0)),
    QString(QChar(0x7F)),     QString(QChar(0x85)),     QString(QChar(0x3000)),
    QString(QChar(0xFEFF)),   QString(QChar(0xFFFE)),   QString(QChar(0xD800)),
    QString(QChar(0xDC00)),
};
constexpr int kinds = std::size(pieces);

QString mix(QRandomGenerator& random, int length, int kindsUsed) {
    QString text;
    while (text.size() < length)
        text += pieces[random.bounded(kindsUsed)];
    return text;
}

bool hasControl(const QString& text) {
    for (const QChar ch : text)
        if (const char16_t c = ch.unicode();
            (c < u' ' && c != u'\t' && c != u'\n' && c != u'\r') || (c >= 0x7F && c <= 0x9F))
            return true;
    return false;
}

struct Window : Game {
    Window() {
        choose("short");
        click(12);
        tick("Timer1", 10);
        platform.messages.clear(); // the game's own result box
    }
    ponpira::Form2* show() {
        choose("send");
        return windows.loadedForm2();
    }
    QLineEdit* box(int n) {
        return windows.loadedForm2()->findChild<QLineEdit*>(QStringLiteral("Text%1").arg(n));
    }
    // What the boxes hold after the texts were put in: at most 32767 characters each.
    QStringList fill(const QStringList& texts) {
        for (int n = 1; n <= 5; ++n)
            box(n)->setText(texts[n - 1]);
        return this->texts();
    }
    QStringList texts() {
        QStringList now;
        for (int n = 1; n <= 5; ++n)
            now << box(n)->text();
        return now;
    }
    void send() {
        QTest::mouseClick(windows.loadedForm2()->findChild<QPushButton*>("Command1"),
                          Qt::LeftButton);
    }
};

} // namespace

class TestBadInput : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    // Every box at its longest: a message says why nothing was sent, and nothing is lost.
    void fullBoxesGiveAMessage_data() {
        QTest::addColumn<int>("kindsUsed");
        QTest::addColumn<QString>("message");
        QTest::newRow("with broken surrogates") << kinds << QStringLiteral("壊れた文字");
        QTest::newRow("ASCII that must be escaped") << 11 << QStringLiteral("長すぎる");
    }
    void fullBoxesGiveAMessage() {
        QFETCH(int, kindsUsed);
        QFETCH(QString, message);
        QRandomGenerator random(kindsUsed);
        Window w;
        ponpira::Form2* form = w.show();
        QStringList typed;
        for (int n = 0; n < 5; ++n)
            typed << mix(random, 40000, kindsUsed);
        const QStringList kept = w.fill(typed);
        for (const QString& text : kept)
            QCOMPARE(text.size(), 32767);
        w.send();
        QCOMPARE(w.platform.opened.size(), 0);
        QCOMPARE(w.platform.messages.size(), 1);
        QVERIFY(w.platform.messages[0].prompt.contains(message));
        QVERIFY(form->isVisible());
        QCOMPARE(w.texts(), kept);
    }

    // Mixes that fit: the board reads every entry back as typed, or refuses the post as a
    // whole for a control character; the boxes keep their text for the next post.
    void sendableMixesArriveExactly() {
        QRandomGenerator random(8);
        Window w;
        int refused = 0;
        for (int round = 0; round < 200; ++round) {
            w.show();
            QStringList typed;
            for (int n = 0; n < 5; ++n)
                typed << mix(random, random.bounded(16), kinds - 2);
            const QStringList kept = w.fill(typed);
            QCOMPARE(kept, typed);
            w.send();
            QCOMPARE(w.platform.messages.size(), 0);
            QCOMPARE(w.platform.opened.size(), 1);
            const QByteArray sent =
                QUrl(w.platform.opened.takeFirst().url, QUrl::TolerantMode).toEncoded();
            const board::Form got = board::parseForm(sent.mid(sent.indexOf('?') + 1).toStdString());
            QCOMPARE(w.texts(), typed);
            if (std::any_of(typed.begin(), typed.end(), hasControl)) {
                QCOMPARE(got.error, board::FormError::ControlChar);
                ++refused;
                continue;
            }
            QCOMPARE(got.error, board::FormError::None);
            // Compared as bytes: QString::fromUtf8 would drop a leading U+FEFF.
            const auto field = [&](const char* key) {
                return QByteArray::fromStdString(got.get(key));
            };
            QCOMPARE(field("name"), typed[0].toUtf8());
            QCOMPARE(field("email"), typed[1].toUtf8());
            QCOMPARE(field("url"), typed[2].toUtf8());
            QVERIFY(field("comment").endsWith(typed[3].toUtf8()));
            QCOMPARE(field("pwd"), typed[4].toUtf8());
        }
        // Both ways were taken.
        QVERIFY(refused > 0 && refused < 200);
    }
};

QTEST_MAIN(TestBadInput)
#include "badinput.moc"
