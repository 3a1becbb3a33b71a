// SPDX-License-Identifier: MIT
#include "about/regvalue.h"
#include "about/sysinfo.h"
#include "fakeplatform.h"

#include <QTest>
#include <QWidget>

using namespace ponpira;
using namespace Qt::StringLiterals;
using FakeValue = FakePlatform::Value;

Q_DECLARE_METATYPE(FakePlatform::Value)

namespace {

QByteArray z(const QByteArray& text) {
    return text + '\0';
}

// In the tables, a value of type 0 is one that is not there at all.
const FakeValue absent{0, {}};

} // namespace

class TestSysInfo : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void getKeyValue_data() {
        QTest::addColumn<FakeValue>("value");
        QTest::addColumn<bool>("result");
        QTest::addColumn<QString>("keyVal");
        QTest::newRow("text") << FakeValue{regSz, z("C:\\ツール")} << true << "C:\\ツール";
        QTest::newRow("only the last zero goes")
            << FakeValue{regSz, "ab\0\0"_ba} << true << u"ab\0"_s;
        QTest::newRow("number") << FakeValue{regDword, "\x10\0\0\x02"_ba} << true << "&h02000010";
        QTest::newRow("number with a zero top byte")
            << FakeValue{regDword, "\x01\0\0\0"_ba} << true << "&h000001";
        QTest::newRow("another type keeps the text")
            << FakeValue{regBinary, "xyz"} << true << "before";
        QTest::newRow("1025 bytes count as missing")
            << FakeValue{regSz, z(QByteArray(1024, 'a'))} << false << "";
        QTest::newRow("no such value") << absent << false << "";
    }
    // A failure empties the text; the key is opened for reading only (the fake refuses more)
    // and closed either way.
    void getKeyValue() {
        QFETCH(FakeValue, value);
        QFETCH(bool, result);
        QFETCH(QString, keyVal);
        FakePlatform platform;
        platform.registry[u"K"_s];
        if (value.type != absent.type)
            platform.registry[u"K"_s][u"V"_s] = value;
        QString text = QStringLiteral("before");
        QCOMPARE(sysinfo::getKeyValue(platform, hkeyLocalMachine, u"K"_s, u"V"_s, text), result);
        QCOMPARE(text, keyVal);
        QCOMPARE(platform.openKeys, 0);
        // A successful read cannot report more bytes than the buffer holds.
        const unsigned char buffer[4] = {'a', 'b', 'c', 0};
        QVERIFY(keepValueBytes(errorSuccess, regSz, buffer, 5).use == RegValueUse::Failed);
    }

    void launcher_data() {
        QTest::addColumn<FakeValue>("first");
        QTest::addColumn<FakeValue>("second");
        QTest::addColumn<QString>("fileThere"); // what the file search finds
        QTest::addColumn<bool>("startWorks");
        QTest::addColumn<QStringList>("started");
        const FakeValue tools{regSz, z("C:\\Tools")};
        const QString exe = QStringLiteral("C:\\Tools\\MSINFO32.EXE");
        const QString firstPath = QStringLiteral("C:\\Program Files\\x\\msinfo32.exe");
        const FakeValue first{regSz, z(firstPath.toUtf8())};
        QTest::newRow("first value started unchecked")
            << first << tools << "" << true << QStringList{firstPath};
        QTest::newRow("first value, start fails")
            << first << tools << exe << false << QStringList{firstPath};
        QTest::newRow("second value, file there")
            << absent << tools << exe << true << QStringList{exe};
        QTest::newRow("second value, file missing")
            << absent << tools << "" << true << QStringList{};
        QTest::newRow("first value too long") << FakeValue{regSz, z(QByteArray(1100, 'p'))} << tools
                                              << exe << true << QStringList{exe};
        QTest::newRow("second value of another type: root of the drive")
            << absent << FakeValue{regBinary, "\x01"} << "\\MSINFO32.EXE" << true
            << QStringList{"\\MSINFO32.EXE"};
        QTest::newRow("no data: the error ends it")
            << FakeValue{regSz, {}} << tools << exe << true << QStringList{};
        QTest::newRow("nothing recorded") << absent << absent << "" << true << QStringList{};
    }
    // The first value is started as it is; the second only if the file search finds the tool.
    // Every way that does not end in a started tool shows the one message.
    void launcher() {
        QFETCH(FakeValue, first);
        QFETCH(FakeValue, second);
        QFETCH(QString, fileThere);
        QFETCH(bool, startWorks);
        QFETCH(QStringList, started);
        FakePlatform platform;
        platform.registry[u"SOFTWARE\\Microsoft\\Shared Tools\\MSINFO"_s];
        if (first.type != absent.type)
            platform.registry[u"SOFTWARE\\Microsoft\\Shared Tools\\MSINFO"_s][u"PATH"_s] = first;
        if (second.type != absent.type)
            platform.registry[u"SOFTWARE\\Microsoft\\Shared Tools Location"_s][u"MSINFO"_s] =
                second;
        platform.existingFiles.insert(fileThere);
        platform.startSucceeds = startWorks;
        QWidget parent;
        sysinfo::startSysInfo(platform, &parent);
        QCOMPARE(platform.started, started);
        const bool toolRuns = !started.isEmpty() && startWorks;
        QCOMPARE(platform.messages.size(), toolRuns ? 0 : 1);
        if (!toolRuns)
            QCOMPARE(platform.messages[0].prompt, u"現時点ではｼｽﾃﾑ情報を使用できません"_s);
        QCOMPARE(platform.openKeys, 0);
    }
};

QTEST_MAIN(TestSysInfo)
#include "test_sysinfo.moc"
