// SPDX-License-Identifier: MIT
#include "submit/boardurl.h"

#include <QTest>

using namespace ponpira;

namespace {

BoardPost makePost(PostCase postCase, const char* clicks, QStringList texts) {
    texts.resize(5); // name, e-mail, comment, home page, password
    return {postCase, texts[0], texts[1], QStringLiteral("10"), QString::fromLatin1(clicks),
            texts[2], texts[3], texts[4]};
}

} // namespace

class TestBoardUrl : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void composes_data() {
        QTest::addColumn<BoardPost>("post");
        QTest::addColumn<QString>("tail"); // everything after "http://" and the host
        QTest::newRow("the worked example")
            << makePost(PostCase::Normal, "85", {"たろう", "", "がんばった"})
            << QStringLiteral("/home/velmora/cgi-bin/aska/aska.cgi?mode=regist&name=たろう&email="
                              "&sub=結果&comment=私は10秒で85回クリックできました。がんばった"
                              "&url=&pwd=&cook=on");
        QTest::newRow("demo, and player text that cannot add or end a key")
            << makePost(PostCase::Demo, "9",
                        {"A&B", "a+b@c.jp", "&pwd=x#", "http://h/?q=1", "p w%"})
            << QStringLiteral(
                   "/home/velmora/cgi-bin/aska/demoaska.cgi?mode=regist&name=A%26B"
                   "&email=a%2Bb%40c.jp&sub=結果&comment=私は10秒で9回クリックできました。"
                   "%26pwd%3Dx%23&url=http%3A%2F%2Fh%2F%3Fq%3D1&pwd=p%20w%25&cook=on");
    }
    void composes() {
        QFETCH(BoardPost, post);
        QFETCH(QString, tail);
        QCOMPARE(boardUrl(QStringLiteral("board.example:80"), post),
                 QStringLiteral("http://board.example:80") + tail);
    }
};

QTEST_GUILESS_MAIN(TestBoardUrl)
#include "test_boardurl.moc"
