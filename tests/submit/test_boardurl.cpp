#include "submit/boardurl.h"

#include <QTest>
#include <QUrl>
#include <QUrlQuery>

using namespace ponpira;

namespace {

BoardPost makePost(PostCase postCase, const char* name, const char* email, const char* seconds,
                   const char* clicks, const char* comment, const char* homePage,
                   const char* password) {
    return {postCase,
            QString::fromUtf8(name),
            QString::fromUtf8(email),
            QString::fromUtf8(seconds),
            QString::fromUtf8(clicks),
            QString::fromUtf8(comment),
            QString::fromUtf8(homePage),
            QString::fromUtf8(password)};
}

// Every character that could end a value, start a key or be lost on the way, in one text.
const char* const hostile = "a&b=c#d?e+f%g;h i\r\nj/k:l@m'\"<>[]{}|\\^`!$()*,\ttab\x7f";

} // namespace

class TestBoardUrl : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void composes_data() {
        QTest::addColumn<BoardPost>("post");
        QTest::addColumn<QString>("tail"); // everything after "http://" and the host
        QTest::newRow("the worked example")
            << makePost(PostCase::Normal, "たろう", "", "10", "85", "がんばった", "", "")
            << QStringLiteral("/home/velmora/cgi-bin/aska/aska.cgi?mode=regist&name=たろう&email="
                              "&sub=結果&comment=私は10秒で85回クリックできました。がんばった"
                              "&url=&pwd=&cook=on");
        QTest::newRow("demo goes to the demo board")
            << makePost(PostCase::Demo, "x", "e", "10", "125", "c", "u", "p")
            << QStringLiteral("/home/velmora/cgi-bin/aska/demoaska.cgi?mode=regist&name=x&email=e"
                              "&sub=結果&comment=私は10秒で125回クリックできました。c&url=u&pwd=p"
                              "&cook=on");
        QTest::newRow("trick admits it")
            << makePost(PostCase::Trick, "", "", "10", "201", "", "", "")
            << QStringLiteral("/home/velmora/cgi-bin/aska/aska.cgi?mode=regist&name=&email="
                              "&sub=結果&comment=私は裏技を使って10秒で201回クリックできました。"
                              "&url=&pwd=&cook=on");
        QTest::newRow("player text cannot add or end a key")
            << makePost(PostCase::Normal, "A&B", "a+b@c.jp", "5", "9", "&pwd=x#", "http://h/?q=1",
                        "p w%")
            << QStringLiteral(
                   "/home/velmora/cgi-bin/aska/aska.cgi?mode=regist&name=A%26B"
                   "&email=a%2Bb%40c.jp&sub=結果&comment=私は5秒で9回クリックできました。"
                   "%26pwd%3Dx%23&url=http%3A%2F%2Fh%2F%3Fq%3D1&pwd=p%20w%25&cook=on");
        QTest::newRow("non-ASCII stays as typed")
            << makePost(PostCase::Normal, "𠮷野ｶﾀｶﾅ", "", "1", "2", "😀　＆", "", "")
            << QStringLiteral("/home/velmora/cgi-bin/aska/aska.cgi?mode=regist&name=𠮷野ｶﾀｶﾅ"
                              "&email=&sub=結果&comment=私は1秒で2回クリックできました。😀　＆"
                              "&url=&pwd=&cook=on");
    }
    // The pieces in the board's order, the fixed texts and numbers as they are.
    void composes() {
        QFETCH(BoardPost, post);
        QFETCH(QString, tail);
        QCOMPARE(boardUrl(boardHost(), post), QStringLiteral("http://") + boardHost() + tail);
        QCOMPARE(boardUrl(QStringLiteral("board.example:80"), post),
                 QStringLiteral("http://board.example:80") + tail);
    }

    // Letters, digits and "-._~" pass; every other ASCII character becomes %XX.
    void escapesEveryAsciiCharacterButTheUnreserved() {
        const QByteArray unreserved =
            "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-._~";
        for (int c = 0; c < 0x80; ++c) {
            const QString in{QChar(char16_t(c))};
            const QString expected =
                unreserved.contains(char(c))
                    ? in
                    : QStringLiteral("%%1").arg(c, 2, 16, QChar(u'0')).toUpper();
            QCOMPARE(escapeEntry(in), expected);
        }
    }

    void survivesTheBrowsersEncoding_data() {
        QTest::addColumn<QString>("text");
        QTest::newRow("hostile ASCII") << QString::fromUtf8(hostile);
        QTest::newRow("Japanese") << QStringLiteral("たろう＆はなこ　全角");
        QTest::newRow("outside code page 932") << QStringLiteral("𠮷😀👍🏽🇯🇵");
        QTest::newRow("mixed") << QStringLiteral("𠮷&=😀 %41+") + QString::fromUtf8(hostile);
        QTest::newRow("empty") << QString();
    }
    // What the browser sends (the URL as Qt's opener encodes it) decodes, field by field, to
    // exactly what was typed, and its size is what the length check counts.
    void survivesTheBrowsersEncoding() {
        QFETCH(QString, text);
        const BoardPost post{PostCase::Normal,     text + u'1', text + u'2', QStringLiteral("10"),
                             QStringLiteral("85"), text + u'4', text + u'3', text + u'5'};
        const QString url = boardUrl(boardHost(), post);
        const QUrl sent(url, QUrl::TolerantMode);
        QVERIFY2(sent.isValid(), qPrintable(sent.errorString()));
        const QByteArray encoded = sent.toEncoded();
        QCOMPARE(encodedUrlBytes(url), encoded.size());
        for (const char byte : encoded)
            QVERIFY(static_cast<unsigned char>(byte) > 0x20 &&
                    static_cast<unsigned char>(byte) < 0x7f);

        const QUrlQuery query(QUrl::fromEncoded(encoded));
        const QList<QPair<QString, QString>> items = query.queryItems(QUrl::FullyDecoded);
        QStringList keys;
        for (const auto& item : items)
            keys << item.first;
        QCOMPARE(keys,
                 QStringList({"mode", "name", "email", "sub", "comment", "url", "pwd", "cook"}));
        QCOMPARE(items[1].second, text + u'1');
        QCOMPARE(items[2].second, text + u'2');
        QCOMPARE(items[4].second,
                 QStringLiteral("私は10秒で85回クリックできました。") + text + u'4');
        QCOMPARE(items[5].second, text + u'3');
        QCOMPARE(items[6].second, text + u'5');
    }

    void countsBytesAsSent() {
        QCOMPARE(encodedUrlBytes(QStringLiteral("http://h/?a=b%26")), 16);
        QCOMPARE(encodedUrlBytes(QStringLiteral("あ")), 9);  // %E3%81%82
        QCOMPARE(encodedUrlBytes(QStringLiteral("𠮷")), 12); // %F0%A0%AE%B7
        QCOMPARE(encodedUrlBytes(QString()), 0);
    }

    void hostIsTheBuildOption() { QCOMPARE(boardHost(), QStringLiteral(PONPIRA_BOARD_HOST)); }
};

QTEST_GUILESS_MAIN(TestBoardUrl)
#include "test_boardurl.moc"
