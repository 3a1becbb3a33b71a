#include "about/regvalue.h"
#include "about/sysinfo.h"
#include "app/errors.h"
#include "fakeplatform.h"
#include "platform/qt/qtplatform.h"

#include <QTest>
#include <QWidget>

using namespace ponpira;
using FakeValue = FakePlatform::Value;

Q_DECLARE_METATYPE(ponpira::RegValueUse)
Q_DECLARE_METATYPE(FakePlatform::Value)

namespace {

const QString message = QStringLiteral("現時点ではｼｽﾃﾑ情報を使用できません");
const QString firstKey = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO");
const QString secondKey = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools Location");

QByteArray ansiz(const QByteArray& text) {
    return text + '\0';
}

// The portable platform with its message box recorded instead of shown.
class RecordingQtPlatform : public QtPlatform {
  public:
    QStringList prompts;
    QStringList started;
    void messageBox(QWidget*, const QString& prompt, const QString&) override {
        prompts.append(prompt);
    }
    bool startProgram(const QString& path) override {
        started.append(path);
        return false;
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

        const auto ok = errorSuccess;
        QTest::newRow("text with its zero")
            << ok << regSz << ansiz("abc") << 4u << RegValueUse::Text << QByteArray("abc");
        QTest::newRow("text without a zero keeps every byte")
            << ok << regSz << QByteArray("abc") << 3u << RegValueUse::Text << QByteArray("abc");
        QTest::newRow("only the last zero goes") << ok << regSz << QByteArray("ab\0\0", 4) << 4u
                                                 << RegValueUse::Text << QByteArray("ab\0", 3);
        QTest::newRow("a lone zero is empty text")
            << ok << regSz << QByteArray(1, '\0') << 1u << RegValueUse::Text << QByteArray();
        QTest::newRow("bytes past the size are not data")
            << ok << regSz << QByteArray("abcdef") << 3u << RegValueUse::Text << QByteArray("abc");
        QTest::newRow("a full buffer without a zero")
            << ok << regSz << QByteArray(1024, 'x') << 1024u << RegValueUse::Text
            << QByteArray(1024, 'x');
        QTest::newRow("no data at all")
            << ok << regSz << QByteArray() << 0u << RegValueUse::NoData << QByteArray();
        QTest::newRow("no data, whatever the type")
            << ok << regBinary << QByteArray() << 0u << RegValueUse::NoData << QByteArray();
        QTest::newRow("number") << ok << regDword << QByteArray("\x78\x56\x34\x12", 4) << 4u
                                << RegValueUse::Number << QByteArray("\x78\x56\x34\x12", 4);
        QTest::newRow("number whose top byte is zero")
            << ok << regDword << QByteArray("\x01\0\0\0", 4) << 4u << RegValueUse::Number
            << QByteArray("\x01\0\0", 3);
        QTest::newRow("expandable text is another type")
            << ok << regExpandSz << ansiz("%x%") << 4u << RegValueUse::Keep << QByteArray("%x%");
        QTest::newRow("binary") << ok << regBinary << QByteArray("AB") << 2u << RegValueUse::Keep
                                << QByteArray("AB");
        QTest::newRow("missing value") << errorFileNotFound << regSz << QByteArray() << 0u
                                       << RegValueUse::Failed << QByteArray();
        QTest::newRow("longer than the buffer") << errorMoreData << regSz << QByteArray() << 1025u
                                                << RegValueUse::Failed << QByteArray();
        QTest::newRow("a size beyond the buffer is never trusted")
            << ok << regSz << QByteArray() << 1025u << RegValueUse::Failed << QByteArray();
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

    void numberText_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("four bytes") << QByteArray("\x78\x56\x34\x12", 4) << "&h12345678";
        QTest::newRow("top zero dropped") << QByteArray("\x01\0\0", 3) << "&h000001";
        QTest::newRow("upper-case digits") << QByteArray("\xAB\x0C", 2) << "&h0CAB";
        QTest::newRow("nothing left") << QByteArray() << "&h";
    }
    // "&h", then the bytes from the last to the first.
    void numberText() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QCOMPARE(QString::fromStdString(ponpira::numberText(bytes.toStdString())), text);
    }

    void getKeyValueByType_data() {
        QTest::addColumn<uint>("type");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<bool>("result");
        QTest::addColumn<QString>("keyVal");
        QTest::newRow("text") << regSz << ansiz("C:\\ツール") << true << "C:\\ツール";
        QTest::newRow("number") << regDword << QByteArray("\x10\0\0\x02", 4) << true
                                << "&h02000010";
        QTest::newRow("other type keeps the text it had")
            << regBinary << QByteArray("xyz") << true << "before";
        QTest::newRow("1024 bytes fit")
            << regSz << QByteArray(1024, 'a') << true << QString(1024, u'a');
        QTest::newRow("1025 bytes count as missing")
            << regSz << ansiz(QByteArray(1024, 'a')) << false << "";
    }
    void getKeyValueByType() {
        QFETCH(uint, type);
        QFETCH(QByteArray, data);
        QFETCH(bool, result);
        QFETCH(QString, keyVal);

        FakePlatform platform;
        platform.registry[QStringLiteral("K")][QStringLiteral("V")] = FakeValue{type, data};
        QString value = QStringLiteral("before");
        QCOMPARE(sysinfo::getKeyValue(platform, hkeyLocalMachine, QStringLiteral("K"),
                                      QStringLiteral("V"), value),
                 result);
        QCOMPARE(value, keyVal);
        QCOMPARE(platform.openKeys, 0);
    }

    // A failed open or read empties the text and leaves no key open.
    void getKeyValueFailures() {
        FakePlatform platform;
        platform.registry[QStringLiteral("K")][QStringLiteral("V")] = FakeValue{regSz, "x"};
        QString value = QStringLiteral("before");
        QVERIFY(!sysinfo::getKeyValue(platform, hkeyLocalMachine, QStringLiteral("Nope"),
                                      QStringLiteral("V"), value));
        QCOMPARE(value, QString());
        QCOMPARE(platform.closeCalls, 0); // nothing was opened, so nothing is closed

        value = QStringLiteral("before");
        QVERIFY(!sysinfo::getKeyValue(platform, hkeyLocalMachine, QStringLiteral("K"),
                                      QStringLiteral("Nope"), value));
        QCOMPARE(value, QString());
        QCOMPARE(platform.openKeys, 0);

        platform.registry[QStringLiteral("K")][QStringLiteral("V")].status = 5;
        QVERIFY(!sysinfo::getKeyValue(platform, hkeyLocalMachine, QStringLiteral("K"),
                                      QStringLiteral("V"), value));
        QCOMPARE(platform.openKeys, 0);
    }

    // A value with no data raises the invalid-argument error, and the key is closed anyway.
    void getKeyValueWithoutDataRaisesAndCloses() {
        FakePlatform platform;
        platform.registry[QStringLiteral("K")][QStringLiteral("V")] = FakeValue{regSz, {}};
        QString value = QStringLiteral("before");
        QVERIFY_THROWS_EXCEPTION(InvalidArgumentError,
                                 sysinfo::getKeyValue(platform, hkeyLocalMachine,
                                                      QStringLiteral("K"), QStringLiteral("V"),
                                                      value));
        QCOMPARE(platform.openKeys, 0);
        QCOMPARE(platform.closeCalls, 1);
    }

    // Keys are opened for reading only, so a user who may not write them still gets the tool.
    void readOnlyKeysAreEnough() {
        FakePlatform platform;
        platform.registry[firstKey][QStringLiteral("PATH")] =
            FakeValue{regSz, ansiz("C:\\Tools\\msinfo32.exe")};
        platform.registry[secondKey][QStringLiteral("MSINFO")] = FakeValue{regSz, "C:\\Tools"};
        platform.keyRights[firstKey] = keyRead;
        platform.keyRights[secondKey] = keyRead;
        sysinfo::startSysInfo(platform, nullptr);
        QCOMPARE(platform.started, QStringList{QStringLiteral("C:\\Tools\\msinfo32.exe")});
        QVERIFY(platform.messages.isEmpty());
        for (const std::uint32_t access : platform.openAccess) {
            QCOMPARE(access, 0x20019u);
            QCOMPARE(access & (keySetValue | keyCreateSubKey | keyCreateLink), 0u);
        }

        // The same for the second lookup.
        FakePlatform narrow;
        narrow.registry[secondKey][QStringLiteral("MSINFO")] = FakeValue{regSz, "C:\\Tools"};
        narrow.keyRights[secondKey] = keyRead;
        narrow.existingFiles.insert(QStringLiteral("C:\\Tools\\MSINFO32.EXE"));
        sysinfo::startSysInfo(narrow, nullptr);
        QCOMPARE(narrow.started, QStringList{QStringLiteral("C:\\Tools\\MSINFO32.EXE")});
    }

    // The first value is started as it stands, without a look at the disk; a start that
    // fails ends in the message.
    void firstValueIsStartedUnchecked() {
        FakePlatform platform;
        QWidget parent;
        const QString path = QStringLiteral("C:\\Program Files\\nowhere\\msinfo32.exe");
        platform.registry[firstKey][QStringLiteral("PATH")] =
            FakeValue{regSz, ansiz(path.toUtf8())};
        platform.registry[secondKey][QStringLiteral("MSINFO")] = FakeValue{regSz, "C:\\Tools"};

        sysinfo::startSysInfo(platform, &parent);
        QCOMPARE(platform.started, QStringList{path});
        QVERIFY(platform.fileQueries.isEmpty());
        QCOMPARE(platform.openRequests, QStringList{firstKey});
        QVERIFY(platform.messages.isEmpty());

        platform.startSucceeds = false;
        sysinfo::startSysInfo(platform, &parent);
        QCOMPARE(platform.started, (QStringList{path, path}));
        QCOMPARE(platform.messages.size(), 1);
        QCOMPARE(platform.messages[0].prompt, message);
        QCOMPARE(platform.messages[0].title, QStringLiteral("ポンピラ"));
        QCOMPARE(platform.messages[0].parent, &parent);
        QCOMPARE(platform.openKeys, 0);
    }

    void secondValue_data() {
        QTest::addColumn<FakeValue>("folder");
        QTest::addColumn<bool>("fileThere");
        QTest::addColumn<QString>("searched");
        QTest::addColumn<bool>("started");
        QTest::newRow("file there")
            << FakeValue{regSz, ansiz("C:\\Tools")} << true << "C:\\Tools\\MSINFO32.EXE" << true;
        QTest::newRow("file missing")
            << FakeValue{regSz, ansiz("C:\\Tools")} << false << "C:\\Tools\\MSINFO32.EXE" << false;
        // No separator handling: a folder that ends in one gives two.
        QTest::newRow("trailing separator") << FakeValue{regSz, ansiz("C:\\Tools\\")} << true
                                            << "C:\\Tools\\\\MSINFO32.EXE" << true;
        // An empty folder, or a value of another type (the text stays as the failed first
        // lookup left it, empty), searches the root of the current drive.
        QTest::newRow("empty folder")
            << FakeValue{regSz, ansiz("")} << true << "\\MSINFO32.EXE" << true;
        QTest::newRow("another type")
            << FakeValue{regBinary, "C:\\Tools"} << false << "\\MSINFO32.EXE" << false;
    }
    // Without the first value, the file search in the second value's folder decides.
    void secondValue() {
        QFETCH(FakeValue, folder);
        QFETCH(bool, fileThere);
        QFETCH(QString, searched);
        QFETCH(bool, started);

        FakePlatform platform;
        platform.registry[secondKey][QStringLiteral("MSINFO")] = folder;
        if (fileThere)
            platform.existingFiles.insert(searched);
        sysinfo::startSysInfo(platform, nullptr);

        QCOMPARE(platform.openRequests, (QStringList{firstKey, secondKey}));
        QCOMPARE(platform.fileQueries, QStringList{searched});
        QCOMPARE(platform.started, started ? QStringList{searched} : QStringList{});
        QCOMPARE(platform.messages.size(), started ? 0 : 1);
        QCOMPARE(platform.openKeys, 0);
    }

    void fallsThroughToTheSecondValue_data() {
        QTest::addColumn<bool>("keyThere");
        QTest::addColumn<FakeValue>("first");
        QTest::newRow("no first key") << false << FakeValue{};
        QTest::newRow("no first value") << true << FakeValue{};
        QTest::newRow("first value too long")
            << true << FakeValue{regSz, ansiz(QByteArray(1100, 'p'))};
        QTest::newRow("first value unreadable") << true << FakeValue{regSz, "p", 5};
    }
    void fallsThroughToTheSecondValue() {
        QFETCH(bool, keyThere);
        QFETCH(FakeValue, first);

        FakePlatform platform;
        if (keyThere) {
            platform.registry[firstKey];
            if (!first.data.isEmpty())
                platform.registry[firstKey][QStringLiteral("PATH")] = first;
        }
        platform.registry[secondKey][QStringLiteral("MSINFO")] = FakeValue{regSz, "C:\\T"};
        platform.existingFiles.insert(QStringLiteral("C:\\T\\MSINFO32.EXE"));
        sysinfo::startSysInfo(platform, nullptr);
        QCOMPARE(platform.started, QStringList{QStringLiteral("C:\\T\\MSINFO32.EXE")});
        QVERIFY(platform.messages.isEmpty());
        QCOMPARE(platform.openKeys, 0);
    }

    // A first value of another type counts as found: the empty path cannot be started.
    void firstValueOfAnotherType() {
        FakePlatform platform;
        platform.startSucceeds = false;
        platform.registry[firstKey][QStringLiteral("PATH")] = FakeValue{regBinary, "\x01\x02"};
        platform.registry[secondKey][QStringLiteral("MSINFO")] = FakeValue{regSz, "C:\\T"};
        sysinfo::startSysInfo(platform, nullptr);
        QCOMPARE(platform.started, QStringList{QString()});
        QCOMPARE(platform.openRequests, QStringList{firstKey});
        QCOMPARE(platform.messages.size(), 1);
    }

    // A value without data is an error that the launcher catches: the message, no second
    // lookup, and the key closed.
    void valueWithoutDataShowsTheMessage() {
        FakePlatform platform;
        platform.registry[firstKey][QStringLiteral("PATH")] = FakeValue{regSz, {}};
        platform.registry[secondKey][QStringLiteral("MSINFO")] = FakeValue{regSz, "C:\\T"};
        platform.existingFiles.insert(QStringLiteral("C:\\T\\MSINFO32.EXE"));
        sysinfo::startSysInfo(platform, nullptr);
        QCOMPARE(platform.messages.size(), 1);
        QCOMPARE(platform.messages[0].prompt, message);
        QVERIFY(platform.started.isEmpty());
        QCOMPARE(platform.openRequests, QStringList{firstKey});
        QCOMPARE(platform.openKeys, 0);
    }

    // Nothing found: one message, nothing searched or started; every press starts afresh.
    void nothingFoundShowsOneMessagePerPress() {
        FakePlatform platform;
        sysinfo::startSysInfo(platform, nullptr);
        sysinfo::startSysInfo(platform, nullptr);
        QCOMPARE(platform.messages.size(), 2);
        QCOMPARE(platform.openRequests, (QStringList{firstKey, secondKey, firstKey, secondKey}));
        QVERIFY(platform.fileQueries.isEmpty());
        QVERIFY(platform.started.isEmpty());
    }

    // Where there is no registry, both lookups fail and the message shows.
    void noRegistryMeansTheMessage() {
        RecordingQtPlatform platform;
        sysinfo::startSysInfo(platform, nullptr);
        QCOMPARE(platform.prompts, QStringList{message});
        QVERIFY(platform.started.isEmpty());
    }
};

QTEST_MAIN(TestSysInfo)
#include "test_sysinfo.moc"
