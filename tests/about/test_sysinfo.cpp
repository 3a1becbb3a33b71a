#include "about/regvalue.h"
#include "about/sysinfo.h"
#include "app/errors.h"
#include "fakeplatform.h"
#include "platform/qt/qtplatform.h"

#include <QTest>
#include <QWidget>

using namespace ponpira;
using namespace Qt::StringLiterals;
using FakeValue = FakePlatform::Value;

Q_DECLARE_METATYPE(ponpira::RegValueUse)
Q_DECLARE_METATYPE(FakePlatform::Value)

namespace {

const QString message = QStringLiteral("現時点ではｼｽﾃﾑ情報を使用できません");
const QString firstKey = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO");
const QString secondKey = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools Location");
const QString path = QStringLiteral("PATH");
const QString msinfo = QStringLiteral("MSINFO");

QByteArray z(const QByteArray& text) {
    return text + '\0';
}

// In the tables, a value of type 0 is one that is not there at all.
const FakeValue absent{0, {}};

// The portable platform, with its message box recorded instead of shown.
class RecordingQtPlatform : public QtPlatform {
  public:
    QStringList prompts;
    void messageBox(QWidget*, const QString& prompt, const QString&) override {
        prompts.append(prompt);
    }
};

} // namespace

class TestSysInfo : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void byteRules_data() {
        QTest::addColumn<int>("status");
        QTest::addColumn<uint>("type");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<uint>("dataSize");
        QTest::addColumn<RegValueUse>("use");
        QTest::addColumn<QByteArray>("kept");
        const int ok = errorSuccess;
        const auto text = RegValueUse::Text;
        QTest::newRow("text and its zero") << ok << regSz << z("abc") << 4u << text << "abc"_ba;
        QTest::newRow("no zero: every byte stays")
            << ok << regSz << "abc"_ba << 3u << text << "abc"_ba;
        QTest::newRow("only the last zero goes")
            << ok << regSz << "ab\0\0"_ba << 4u << text << "ab\0"_ba;
        QTest::newRow("a lone zero") << ok << regSz << z("") << 1u << text << ""_ba;
        QTest::newRow("bytes past the size")
            << ok << regSz << "abcdef"_ba << 3u << text << "abc"_ba;
        QTest::newRow("a full buffer")
            << ok << regSz << QByteArray(1024, 'x') << 1024u << text << QByteArray(1024, 'x');
        QTest::newRow("no data, whatever the type")
            << ok << regBinary << ""_ba << 0u << RegValueUse::NoData << ""_ba;
        QTest::newRow("number") << ok << regDword << "\x78\x56\x34\x12"_ba << 4u
                                << RegValueUse::Number << "\x78\x56\x34\x12"_ba;
        QTest::newRow("number with a zero top byte")
            << ok << regDword << "\x01\0\0\0"_ba << 4u << RegValueUse::Number << "\x01\0\0"_ba;
        QTest::newRow("another type")
            << ok << regExpandSz << z("%x%") << 4u << RegValueUse::Keep << "%x%"_ba;
        QTest::newRow("missing") << errorFileNotFound << regSz << ""_ba << 0u << RegValueUse::Failed
                                 << ""_ba;
        QTest::newRow("longer than the buffer")
            << errorMoreData << regSz << ""_ba << 1025u << RegValueUse::Failed << ""_ba;
        QTest::newRow("a size past the buffer is never trusted")
            << ok << regSz << ""_ba << 1025u << RegValueUse::Failed << ""_ba;
    }
    // The data are cut to their size, a last zero byte is dropped, and the type decides.
    void byteRules() {
        QFETCH(int, status);
        QFETCH(uint, type);
        QFETCH(QByteArray, data);
        QFETCH(uint, dataSize);
        QFETCH(RegValueUse, use);
        QFETCH(QByteArray, kept);
        std::vector<unsigned char> buffer(regValueBufferSize, 0);
        std::copy(data.begin(), data.end(), buffer.begin());
        const RegValueRead read = keepValueBytes(status, type, buffer, dataSize);
        QCOMPARE(read.use, use);
        QCOMPARE(QByteArray::fromStdString(read.bytes), kept);
    }

    // "&h" and the bytes from the last to the first.
    void numberText() {
        QCOMPARE(ponpira::numberText("\x78\x56\x34\x12"), "&h12345678");
        QCOMPARE(ponpira::numberText(std::string("\x01\0\0", 3)), "&h000001");
        QCOMPARE(ponpira::numberText("\xAB\x0C"), "&h0CAB");
        QCOMPARE(ponpira::numberText(""), "&h");
    }

    void getKeyValue_data() {
        QTest::addColumn<QString>("key");
        QTest::addColumn<FakeValue>("value");
        QTest::addColumn<bool>("result");
        QTest::addColumn<QString>("keyVal");
        const QString k = QStringLiteral("K");
        QTest::newRow("text") << k << FakeValue{regSz, z("C:\\ツール")} << true << "C:\\ツール";
        QTest::newRow("number") << k << FakeValue{regDword, "\x10\0\0\x02"_ba} << true
                                << "&h02000010";
        QTest::newRow("another type keeps the text")
            << k << FakeValue{regBinary, "xyz"} << true << "before";
        QTest::newRow("1024 bytes fit")
            << k << FakeValue{regSz, QByteArray(1024, 'a')} << true << QString(1024, u'a');
        QTest::newRow("1025 bytes count as missing")
            << k << FakeValue{regSz, z(QByteArray(1024, 'a'))} << false << "";
        QTest::newRow("unreadable") << k << FakeValue{regSz, "a", 5} << false << "";
        QTest::newRow("no such value") << k << absent << false << "";
        QTest::newRow("no such key") << "Nope" << FakeValue{regSz, "a"} << false << "";
    }
    // A failure empties the text; no key is left open either way.
    void getKeyValue() {
        QFETCH(QString, key);
        QFETCH(FakeValue, value);
        QFETCH(bool, result);
        QFETCH(QString, keyVal);
        FakePlatform platform;
        platform.registry[QStringLiteral("K")];
        if (value.type != absent.type)
            platform.registry[QStringLiteral("K")][QStringLiteral("V")] = value;
        QString text = QStringLiteral("before");
        QCOMPARE(sysinfo::getKeyValue(platform, hkeyLocalMachine, key, QStringLiteral("V"), text),
                 result);
        QCOMPARE(text, keyVal);
        QCOMPARE(platform.openKeys, 0);
        QCOMPARE(platform.openAccess, QList<std::uint32_t>{0x20019u});
    }

    // No data at all raises the invalid-argument error, and the key is closed anyway.
    void noDataRaisesAndCloses() {
        FakePlatform platform;
        platform.registry[QStringLiteral("K")][QStringLiteral("V")] = FakeValue{regSz, {}};
        QString text;
        QVERIFY_THROWS_EXCEPTION(InvalidArgumentError,
                                 sysinfo::getKeyValue(platform, hkeyLocalMachine,
                                                      QStringLiteral("K"), QStringLiteral("V"),
                                                      text));
        QCOMPARE(platform.openKeys, 0);
        QCOMPARE(platform.closeCalls, 1);
    }

    void launcher_data() {
        QTest::addColumn<FakeValue>("first");
        QTest::addColumn<FakeValue>("second");
        QTest::addColumn<QString>("fileThere"); // what the file search finds
        QTest::addColumn<bool>("startWorks");
        QTest::addColumn<QStringList>("searched");
        QTest::addColumn<QStringList>("started");
        QTest::addColumn<int>("lookups");

        const FakeValue none = absent;
        const FakeValue tools{regSz, z("C:\\Tools")};
        const QString exe = QStringLiteral("C:\\Tools\\MSINFO32.EXE");
        const QString firstPath = QStringLiteral("C:\\Program Files\\x\\msinfo32.exe");
        const FakeValue first{regSz, z(firstPath.toUtf8())};

        QTest::newRow("first value started unchecked")
            << first << tools << "" << true << QStringList{} << QStringList{firstPath} << 1;
        QTest::newRow("first value, start fails")
            << first << tools << exe << false << QStringList{} << QStringList{firstPath} << 1;
        QTest::newRow("second value, file there")
            << none << tools << exe << true << QStringList{exe} << QStringList{exe} << 2;
        QTest::newRow("second value, file missing")
            << none << tools << "" << true << QStringList{exe} << QStringList{} << 2;
        QTest::newRow("separator doubled as recorded")
            << none << FakeValue{regSz, z("C:\\Tools\\")} << "C:\\Tools\\\\MSINFO32.EXE" << true
            << QStringList{"C:\\Tools\\\\MSINFO32.EXE"} << QStringList{"C:\\Tools\\\\MSINFO32.EXE"}
            << 2;
        QTest::newRow("first value too long")
            << FakeValue{regSz, z(QByteArray(1100, 'p'))} << tools << exe << true
            << QStringList{exe} << QStringList{exe} << 2;
        QTest::newRow("first value of another type: empty path")
            << FakeValue{regBinary, "\x01"} << tools << exe << false << QStringList{}
            << QStringList{QString()} << 1;
        QTest::newRow("second value of another type: root of the drive")
            << none << FakeValue{regBinary, "\x01"} << "\\MSINFO32.EXE" << true
            << QStringList{"\\MSINFO32.EXE"} << QStringList{"\\MSINFO32.EXE"} << 2;
        QTest::newRow("no data: the error ends it")
            << FakeValue{regSz, {}} << tools << exe << true << QStringList{} << QStringList{} << 1;
        QTest::newRow("nothing recorded")
            << none << none << "" << true << QStringList{} << QStringList{} << 2;
    }
    // The two lookups in order, the file search for the second only, and one message for
    // every way that does not end in a started tool.
    void launcher() {
        QFETCH(FakeValue, first);
        QFETCH(FakeValue, second);
        QFETCH(QString, fileThere);
        QFETCH(bool, startWorks);
        QFETCH(QStringList, searched);
        QFETCH(QStringList, started);
        QFETCH(int, lookups);

        FakePlatform platform;
        platform.registry[firstKey];
        if (first.type != absent.type)
            platform.registry[firstKey][path] = first;
        if (second.type != absent.type)
            platform.registry[secondKey][msinfo] = second;
        platform.existingFiles.insert(fileThere);
        platform.startSucceeds = startWorks;
        QWidget parent;

        sysinfo::startSysInfo(platform, &parent);
        QCOMPARE(platform.openRequests, (QStringList{firstKey, secondKey}.mid(0, lookups)));
        QCOMPARE(platform.fileQueries, searched);
        QCOMPARE(platform.started, started);
        const bool toolRuns = !started.isEmpty() && startWorks;
        QCOMPARE(platform.messages.size(), toolRuns ? 0 : 1);
        if (!toolRuns) {
            QCOMPARE(platform.messages[0].prompt, message);
            QCOMPARE(platform.messages[0].title, QStringLiteral("ポンピラ"));
            QCOMPARE(platform.messages[0].parent, &parent);
        }
        QCOMPARE(platform.openKeys, 0);

        // Every press starts the whole search afresh.
        sysinfo::startSysInfo(platform, &parent);
        QCOMPARE(platform.openRequests.size(), 2 * lookups);
    }

    // Keys are opened for reading only, so a user who may not write them gets the tool.
    void readOnlyKeysAreEnough() {
        FakePlatform platform;
        platform.registry[firstKey][path] = FakeValue{regSz, z("C:\\msinfo32.exe")};
        platform.keyRights[firstKey] = keyRead;
        sysinfo::startSysInfo(platform, nullptr);
        QCOMPARE(platform.started, QStringList{QStringLiteral("C:\\msinfo32.exe")});
        QVERIFY(platform.messages.isEmpty());
    }

    // Where there is no registry, both lookups fail and the message shows.
    void noRegistryMeansTheMessage() {
        RecordingQtPlatform platform;
        sysinfo::startSysInfo(platform, nullptr);
        QCOMPARE(platform.prompts, QStringList{message});
    }
};

QTEST_MAIN(TestSysInfo)
#include "test_sysinfo.moc"
