// The snapshot file format on its own: what a save writes, what a load reads and writes back.
#include "config/Ini.h"
#include "config/Text.h"
#include "snapshot/Snapshot.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using namespace kolva;

namespace {

struct Entry {
    QString group, rowKey, value;
};

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return f.readAll();
}

void WriteAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), bytes.size());
}

} // namespace

Q_DECLARE_METATYPE(Entry)

class TstSnapshotFile : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    QString Path(const QString& name) const { return dir_.filePath(name); }

private slots:
    void init() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    void cleanupTestCase() { QLocale::setDefault(QLocale::system()); }

    void exactBytes() {
        // DEVICE first, then one section per group in the order given, keys in that order.
        TSnapshotWriter writer(Path("small.ini"), QStringLiteral("RX-B2"));
        writer.Add("1", "1_100", "5");
        writer.Add("1", "1_101", "1.5");
        writer.Add("2", "2_7", "Ölçüm");
        writer.Add("2", "2_9", "");
        writer.Commit();
        QCOMPARE(ReadAll(Path("small.ini")),
                 QByteArray("[DEVICE]\r\ndevice_name=RX-B2\r\n"
                            "[Group_1]\r\nSetting_1_100=5\r\nSetting_1_101=1.5\r\n"
                            "[Group_2]\r\nSetting_2_7=\xD6l\xE7\xFCm\r\nSetting_2_9=\r\n"));
    }

    void sameAsEntryByEntry_data() {
        QTest::addColumn<QString>("device");
        QTest::addColumn<QList<Entry>>("entries");
        QTest::newRow("plain") << "RX-B2"
                               << QList<Entry>{{"1", "1_100", "12"}, {"1", "1_101", "-3"}};
        QTest::newRow("groups out of order keep query order")
            << "K-7" << QList<Entry>{{"3", "3_1", "a"}, {"1", "1_5", "b"}, {"3", "3_2", "c"}};
        QTest::newRow("blanks and quotes")
            << "M"
            << QList<Entry>{
                   {"1", "1_1", "  padded "}, {"1", "1_2", "\"quoted\""}, {"1", "1_3", "a=b;c"}};
        QTest::newRow("text beyond Windows-1254")
            << "M" << QList<Entry>{{"1", "1_1", "şğı"}, {"1", "1_2", QString::fromUtf8("温度")}};
        QTest::newRow("model with quotes and SQL")
            << "X' OR '1'='1\"; DROP TABLE settings;--" << QList<Entry>{{"1", "1_1", "1"}};
    }
    void sameAsEntryByEntry() {
        // A save in memory gives the file that one IniWrite per entry gives.
        QFETCH(QString, device);
        QFETCH(QList<Entry>, entries);
        const QString reference = Path("ref.ini"), fast = Path("fast.ini");
        QFile::remove(reference);
        IniWrite("DEVICE", "device_name", device, reference);
        TSnapshotWriter writer(fast, device);
        for (const Entry& e : entries) {
            IniWrite("Group_" + e.group, "Setting_" + e.rowKey, e.value, reference);
            writer.Add(e.group, e.rowKey, e.value);
        }
        writer.Commit();
        QCOMPARE(ReadAll(fast), ReadAll(reference));

        // and reads back unchanged, leaving the file as it was
        TSnapshotReader reader(fast);
        QCOMPARE(reader.DeviceName(), device);
        for (const Entry& e : entries)
            QCOMPARE(reader.Value(e.group, e.rowKey, "string"), e.value);
        QVERIFY(!reader.Modified());
        QVERIFY(reader.Commit());
        QCOMPARE(ReadAll(fast), ReadAll(reference));
    }

    void saveOverFileKeepsNothingOld() {
        const QString file = Path("over.ini");
        WriteAll(file, "; old comment\r\n[DEVICE]\r\ndevice_name=OLD\r\nextra=1\r\n"
                       "[Group_1]\r\nSetting_1_100=9\r\nSetting_1_999=7\r\n[Other]\r\nx=y\r\n");
        TSnapshotWriter writer(file, "RX-B2");
        writer.Add("1", "1_100", "4");
        writer.Commit();
        QCOMPARE(ReadAll(file),
                 QByteArray("[DEVICE]\r\ndevice_name=RX-B2\r\n[Group_1]\r\nSetting_1_100=4\r\n"));
        QVERIFY(QDir(dir_.path()).entryList({"over.ini.*"}, QDir::Files | QDir::Hidden).isEmpty());
    }

    void missingDeviceEntry_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QByteArray>("after");
        QTest::newRow("no section") << QByteArray("[Group_1]\r\nSetting_1_1=5\r\n")
                                    << QByteArray("[Group_1]\r\nSetting_1_1=5\r\n"
                                                  "[DEVICE]\r\ndevice_name=RX-B2\r\n");
        QTest::newRow("empty value") << QByteArray("[DEVICE]\r\ndevice_name=\r\n")
                                     << QByteArray("[DEVICE]\r\ndevice_name=RX-B2\r\n");
        QTest::newRow("empty file")
            << QByteArray() << QByteArray("[DEVICE]\r\ndevice_name=RX-B2\r\n");
    }
    void missingDeviceEntry() {
        QFETCH(QByteArray, content);
        QFETCH(QByteArray, after);
        const QString file = Path("nodevice.ini");
        WriteAll(file, content);
        TSnapshotReader reader(file);
        QCOMPARE(reader.DeviceName(), QStringLiteral("RX-B2"));
        QVERIFY(reader.Commit());
        QCOMPARE(ReadAll(file), after);
    }

    void loadedValue_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("loaded");
        QTest::newRow("letters in integer") << "en_US"
                                            << "integer"
                                            << "abc"
                                            << "0";
        QTest::newRow("letters in combo") << "en_US"
                                          << "combo"
                                          << "x1"
                                          << "0";
        QTest::newRow("empty long") << "en_US"
                                    << "long"
                                    << ""
                                    << "0";
        QTest::newRow("empty text stays empty") << "en_US"
                                                << "string"
                                                << ""
                                                << "";
        QTest::newRow("letters in stringswap") << "en_US"
                                               << "stringswap"
                                               << "abc"
                                               << "abc";
        QTest::newRow("signed") << "en_US"
                                << "signedint"
                                << "-12"
                                << "-12";
        QTest::newRow("decimal, own separator") << "tr_TR"
                                                << "double"
                                                << "1,5"
                                                << "1,5";
        QTest::newRow("decimal, other locale's separator") << "tr_TR"
                                                           << "double"
                                                           << "1.5"
                                                           << "0";
        QTest::newRow("decimal, point locale") << "en_US"
                                               << "double"
                                               << "1.5"
                                               << "1.5";
        QTest::newRow("unknown type counts as numeric") << "en_US"
                                                        << "weird"
                                                        << "z"
                                                        << "0";
    }
    void loadedValue() {
        QFETCH(QString, locale);
        QFETCH(QString, type);
        QFETCH(QString, entry);
        QFETCH(QString, loaded);
        QLocale::setDefault(QLocale(locale));
        const QString file = Path("values.ini");
        QFile::remove(file);
        TSnapshotWriter writer(file, "RX-B2");
        writer.Add("1", "1_1", entry);
        writer.Commit();
        TSnapshotReader reader(file);
        QCOMPARE(reader.Value("1", "1_1", type), loaded);
        QCOMPARE(reader.Value("1", "1_2", type), snapshot::LoadedValue(type, QString()));
        // the missing entry is written back empty; the present one is untouched
        QVERIFY(reader.Commit());
        bool found = false;
        QCOMPARE(TSnapshotReader(file).Entry("1", "1_2", &found), QString());
        QVERIFY(found);
        QCOMPARE(TSnapshotReader(file).Entry("1", "1_1"), entry);
    }

    void codePages_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("windows-1254") << QByteArray(
            "[DEVICE]\r\ndevice_name=RX-B2\r\n[Group_1]\r\nSetting_1_1=\xD6l\xE7\xFCm "
            "\xFE\xF0\xFD\r\n");
        QTest::newRow("utf-8") << QString("[DEVICE]\ndevice_name=RX-B2\n[Group_1]\n"
                                          "Setting_1_1=Ölçüm şğı\n")
                                      .toUtf8();
        QTest::newRow("utf-8 with BOM")
            << "\xEF\xBB\xBF" + QString("[DEVICE]\r\ndevice_name=RX-B2\r\n"
                                        "[Group_1]\r\nSetting_1_1=Ölçüm şğı\r\n")
                                    .toUtf8();
    }
    void codePages() {
        QFETCH(QByteArray, content);
        const QString file = Path("cp.ini");
        WriteAll(file, content);
        TSnapshotReader reader(file);
        QCOMPARE(reader.DeviceName(), QStringLiteral("RX-B2"));
        QCOMPARE(reader.Value("1", "1_1", "string"), QStringLiteral("Ölçüm şğı"));
        QVERIFY(reader.Commit());
        QCOMPARE(ReadAll(file), content);
    }

    void readOnlyFileOpens() {
        const QString file = Path("ro.ini");
        const QByteArray content("[DEVICE]\r\ndevice_name=K-7\r\n[Group_1]\r\nSetting_1_1=3\r\n");
        WriteAll(file, content);
        QVERIFY(
            QFile::setPermissions(file, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        TSnapshotReader reader(file);
        QVERIFY(reader.ReadOnly());
        QCOMPARE(reader.DeviceName(), QStringLiteral("K-7"));
        QCOMPARE(reader.Value("1", "1_1", "integer"), QStringLiteral("3"));
        QCOMPARE(reader.Value("1", "1_2", "integer"), QStringLiteral("0"));
        QVERIFY(reader.Modified());
        QVERIFY(reader.Commit()); // skipped, not an error
        QCOMPARE(ReadAll(file), content);

        // a save over it is refused and changes nothing
        TSnapshotWriter writer(file, "RX-B2");
        QVERIFY_THROWS_EXCEPTION(SnapshotError, writer.Commit());
        QCOMPARE(ReadAll(file), content);
        QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner);
    }

    void notASnapshot_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("binary") << QByteArray("\x7f"
                                              "ELF\x02\x01\x01\0\0\0\0",
                                              11);
        QTest::newRow("absurd line")
            << "[DEVICE]\r\ndevice_name=" + QByteArray(200000, 'A') + "\r\n";
    }
    void notASnapshot() {
        QFETCH(QByteArray, content);
        const QString file = Path("bad.ini");
        WriteAll(file, content);
        try {
            TSnapshotReader reader(file);
            QFAIL("no error");
        } catch (const SnapshotError& e) {
            QVERIFY(e.text().contains(QDir::toNativeSeparators(file)));
        }
        QCOMPARE(ReadAll(file), content);
    }

    void missingFile() {
        QVERIFY_THROWS_EXCEPTION(SnapshotError, TSnapshotReader(Path("absent.ini")));
        QVERIFY(!QFile::exists(Path("absent.ini")));
    }

    void unwritableTargetKeepsOldFile() {
        // A folder in place of the file, or a folder that does not exist.
        QDir(dir_.path()).mkpath("adir.ini");
        TSnapshotWriter a(Path("adir.ini"), "RX-B2");
        QVERIFY_THROWS_EXCEPTION(SnapshotError, a.Commit());
        TSnapshotWriter b(Path("nofolder/x.ini"), "RX-B2");
        QVERIFY_THROWS_EXCEPTION(SnapshotError, b.Commit());
    }

    void killedSaveLeavesOldFile() {
        const QString file = Path("killed.ini");
        const QByteArray old("[DEVICE]\r\ndevice_name=OLD\r\n[Group_1]\r\nSetting_1_1=1\r\n");
        WriteAll(file, old);
        QProcess child;
        child.start(QStringLiteral(SNAPSHOT_CRASH_HELPER), {file, "65536"});
        QVERIFY(child.waitForFinished(60000));
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);
        QCOMPARE(ReadAll(file), old);
        TSnapshotReader reader(file);
        QCOMPARE(reader.DeviceName(), QStringLiteral("OLD"));
    }
};

QTEST_GUILESS_MAIN(TstSnapshotFile)
#include "tst_snapshotfile.moc"
