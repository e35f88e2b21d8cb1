// INI store rules, file locations and the configuration key table.

#include "config/ConfigKeys.h"
#include "config/Ini.h"
#include "config/Paths.h"
#include "config/Text.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace kolva;

namespace {

QByteArray ReadBytes(const QString& fileName) {
    QFile f(fileName);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void WriteBytes(const QString& fileName, const QByteArray& bytes) {
    QFile f(fileName);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

} // namespace

class TestConfig : public QObject {
    Q_OBJECT

    QTemporaryDir tmp;
    QString File(const QString& name) const { return tmp.filePath(name); }

private slots:
    void init() {
        QVERIFY(tmp.isValid());
        paths::SetDataDirOverride(tmp.path());
        paths::SetExecutableOverride(tmp.filePath(QStringLiteral("kolva-ayar")));
        QFile::remove(paths::ConfigFile());
    }
    void cleanup() {
        paths::SetDataDirOverride({});
        paths::SetExecutableOverride({});
        paths::SetCatalogueOverride({});
    }

    // The keys of a fresh configuration appear in the order of first access.
    void firstStartOrder() {
        using namespace keys;
        QCOMPARE(IniRead(kAyar, Device.key, Device.def), QStringLiteral("RX-B2"));
        QCOMPARE(IniRead(kAyar, Address.key, Address.def), QStringLiteral("1"));
        for (const Key& k : kRtuKeys)
            IniRead(k.Section(), k.Name(), k.Default());
        IniRead(kAyar, chcollapse.key, chcollapse.def);
        QCOMPARE(ReadBytes(paths::ConfigFile()),
                 QByteArray("[AYAR]\r\nDevice=RX-B2\r\nAddress=1\r\nchcollapse=0\r\n"
                            "[RTU]\r\ncomport=COM1\r\nbaudrate=9600\r\ndatabits=8\r\n"
                            "stopbit=1\r\nparity=none\r\ntimeout=500\r\n"));
        // A later connect finds the dialog's value and keeps it.
        QCOMPARE(IniRead(kRtu, timeoutConnect.key, timeoutConnect.def), QStringLiteral("500"));
    }

    // Edits on an existing file: (file before, operation, file after).
    void rules_data() {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value"); // IniWrite value, or the IniRead default
        QTest::addColumn<bool>("read");
        QTest::addColumn<QString>("result"); // what IniRead returns
        QTest::addColumn<QByteArray>("after");

        const QByteArray base = "; comment\r\n[RTU]\r\ntimeout=\r\nbaudrate=9600\r\n\r\n"
                                "[AYAR]\r\nDevice=RX-M3\r\n";
        QTest::newRow("empty value gets the default")
            << base << "RTU"
            << "timeout"
            << "1500" << true << "1500"
            << QByteArray("; comment\r\n[RTU]\r\ntimeout=1500\r\nbaudrate=9600\r\n\r\n"
                          "[AYAR]\r\nDevice=RX-M3\r\n");
        QTest::newRow("missing key, empty default leaves key=")
            << base << "AYAR"
            << "Yeni"
            << "" << true << "" << QByteArray(base + "Yeni=\r\n");
        QTest::newRow("present value is returned, file unchanged")
            << base << "rtu"
            << "BAUDRATE"
            << "19200" << true << "9600" << base;
        QTest::newRow("names without regard to case, replaced in place")
            << base << "ayar"
            << "device"
            << "RX-N4" << false << "RX-N4"
            << QByteArray("; comment\r\n[RTU]\r\ntimeout=\r\nbaudrate=9600\r\n\r\n"
                          "[AYAR]\r\nDevice=RX-N4\r\n");
        QTest::newRow("new key after the section's last entry")
            << base << "RTU"
            << "parity"
            << "even" << false << "even"
            << QByteArray("; comment\r\n[RTU]\r\ntimeout=\r\nbaudrate=9600\r\nparity=even\r\n"
                          "\r\n[AYAR]\r\nDevice=RX-M3\r\n");
        QTest::newRow("new section at the end")
            << base << "DEVICE"
            << "Model"
            << "RX-B2" << false << "RX-B2" << QByteArray(base + "[DEVICE]\r\nModel=RX-B2\r\n");
        QTest::newRow("LF file keeps LF") << QByteArray("[A]\nx=1\n") << "A"
                                          << "y"
                                          << "2" << false << "2" << QByteArray("[A]\nx=1\ny=2\n");
        QTest::newRow("blanks around names and values")
            << QByteArray("[ A ]\r\n  x =  1  \r\n") << "a"
            << "X"
            << "" << true << "1" << QByteArray("[ A ]\r\n  x =  1  \r\n");
        QTest::newRow("value with outer blanks is quoted")
            << QByteArray() << "A"
            << "s"
            << " ab " << false << " ab " << QByteArray("[A]\r\ns=\" ab \"\r\n");
        QTest::newRow("quoted value keeps its quotes")
            << QByteArray() << "A"
            << "s"
            << "\"q\"" << false << "\"q\"" << QByteArray("[A]\r\ns=\"\"q\"\"\r\n");
        QTest::newRow("line breaks in a value become blanks")
            << QByteArray() << "A"
            << "s"
            << "a\r\nb" << false << "a  b" << QByteArray("[A]\r\ns=a  b\r\n");
        QTest::newRow("value containing = and ;")
            << QByteArray() << "A"
            << "s"
            << "a=b;c" << false << "a=b;c" << QByteArray("[A]\r\ns=a=b;c\r\n");
        QTest::newRow("commented key is not a key")
            << QByteArray("[A]\r\n;x=1\r\n") << "A"
            << "x"
            << "2" << true << "2" << QByteArray("[A]\r\n;x=1\r\nx=2\r\n");
        QTest::newRow("first of duplicate sections wins")
            << QByteArray("[A]\r\nx=1\r\n[B]\r\n[a]\r\nx=9\r\n") << "A"
            << "x"
            << "" << true << "1" << QByteArray("[A]\r\nx=1\r\n[B]\r\n[a]\r\nx=9\r\n");
    }
    void rules() {
        QFETCH(QByteArray, before);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, value);
        QFETCH(bool, read);
        QFETCH(QString, result);
        QFETCH(QByteArray, after);
        const QString f = File(QStringLiteral("rules.ini"));
        QFile::remove(f);
        if (!before.isEmpty()) WriteBytes(f, before);
        if (read)
            QCOMPARE(IniRead(section, key, value, f), result);
        else {
            IniWrite(section, key, value, f);
            QCOMPARE(IniRead(section, key, QStringLiteral("unused"), f), result);
        }
        QCOMPARE(ReadBytes(f), after);
    }

    // Windows-1254 and UTF-8 files are read as such and written back in their own encoding.
    void encodings_data() {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QString>("existing"); // value of [A] x
        QTest::addColumn<QByteArray>("after"); // after writing y=Işık
        const QString isik = QStringLiteral("Işık");
        const QByteArray cpIsik = ToCp1254(isik);
        QTest::newRow("windows-1254")
            << QByteArray("[A]\r\nx=Ş\xFD\r\n").replace("Ş", "\xDE") << QStringLiteral("Şı")
            << QByteArray("[A]\r\nx=\xDE\xFD\r\ny=" + cpIsik + "\r\n");
        QTest::newRow("utf-8") << QByteArray("[A]\r\nx=Şı\r\n") << QStringLiteral("Şı")
                               << QByteArray("[A]\r\nx=Şı\r\ny=Işık\r\n");
        QTest::newRow("utf-8 with BOM")
            << QByteArray("\xEF\xBB\xBF[A]\r\nx=ab\r\n") << QStringLiteral("ab")
            << QByteArray("\xEF\xBB\xBF[A]\r\nx=ab\r\ny=Işık\r\n");
        QTest::newRow("new file") << QByteArray() << QString()
                                  << QByteArray("[A]\r\ny=" + cpIsik + "\r\n");
    }
    void encodings() {
        QFETCH(QByteArray, before);
        QFETCH(QString, existing);
        QFETCH(QByteArray, after);
        const QString f = File(QStringLiteral("enc.ini"));
        QFile::remove(f);
        if (!before.isEmpty()) WriteBytes(f, before);
        TIniFile ini(f);
        QCOMPARE(ini.Read(QStringLiteral("A"), QStringLiteral("x")), existing);
        IniWrite(QStringLiteral("A"), QStringLiteral("y"), QStringLiteral("Işık"), f);
        QCOMPARE(ReadBytes(f), after);
        QCOMPARE(IniRead(QStringLiteral("a"), QStringLiteral("Y"), QString(), f),
                 QStringLiteral("Işık"));
    }

    // Text Windows-1254 cannot hold switches the file to UTF-8 rather than losing it.
    void unrepresentableText() {
        const QString f = File(QStringLiteral("wide.ini"));
        QFile::remove(f);
        const QString text = QStringLiteral("Ωμέγα 中");
        IniWrite(QStringLiteral("A"), QStringLiteral("x"), text, f);
        QCOMPARE(IniRead(QStringLiteral("A"), QStringLiteral("x"), QString(), f), text);
    }

    // Entry-by-entry writes and one in-memory pass give the same bytes.
    void batchEqualsSingleWrites() {
        const QByteArray start = "; kept\n[DEVICE]\nModel=RX-B2\n\n[1]\nold=1\n";
        const QList<std::array<QString, 3>> edits = {
            {"DEVICE", "Model", "RX-M3"}, {"1", "1_100", "5"},
            {"2", "2_200", " x "},        {"1", "OLD", ""},
            {"3", "3_1", "Çağrı"},        {"device", "Address", "7"}};
        const QString a = File(QStringLiteral("a.ini")), b = File(QStringLiteral("b.ini"));
        WriteBytes(a, start);
        WriteBytes(b, start);
        for (const auto& e : edits)
            IniWrite(e[0], e[1], e[2], a);
        TIniFile ini(b);
        for (const auto& e : edits)
            ini.Write(e[0], e[1], e[2]);
        QVERIFY(ini.Modified());
        ini.Save();
        QVERIFY(!ini.Modified());
        QCOMPARE(ReadBytes(b), ReadBytes(a));
        QCOMPARE(ini.Sections(), QStringList({"DEVICE", "1", "2", "3"}));
        QCOMPARE(ini.Keys(QStringLiteral("device")), QStringList({"Model", "Address"}));
    }

    // Nothing is cached: a change made behind the store's back is seen at the next read.
    void noCache() {
        const QString f = File(QStringLiteral("c.ini"));
        IniWrite(QStringLiteral("A"), QStringLiteral("x"), QStringLiteral("1"), f);
        WriteBytes(f, "[A]\r\nx=2\r\n");
        QCOMPARE(IniRead(QStringLiteral("A"), QStringLiteral("x"), QString(), f),
                 QStringLiteral("2"));
    }

    void unwritable_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("folder missing") << QStringLiteral("nope/x.ini");
        QTest::newRow("a folder") << QStringLiteral("dir.ini");
    }
    void unwritable() {
        QFETCH(QString, name);
        QDir(tmp.path()).mkpath(QStringLiteral("dir.ini"));
        const QString f = File(name);
        const QString expected =
            QStringLiteral("Unable to write to %1").arg(QDir::toNativeSeparators(f));
        try {
            IniWrite(QStringLiteral("A"), QStringLiteral("x"), QStringLiteral("1"), f);
            QFAIL("no error");
        } catch (const IniError& e) {
            if (name.startsWith(u'n'))
                QCOMPARE(e.text(), expected);
            else
                QVERIFY(!e.text().isEmpty());
        }
        if (name.startsWith(u'n')) {
            // IniRead fails the same way when it has to write its default back.
            QVERIFY_THROWS_EXCEPTION(IniError, IniRead(QStringLiteral("A"), QStringLiteral("x"),
                                                       QStringLiteral("d"), f));
        }
    }

    void notText_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("NUL bytes") << QByteArray("[A]\r\nx=1\0\0\xFF", 11);
        QTest::newRow("UTF-16") << QByteArray("\xFF\xFE[\0A\0]\0", 8);
        QTest::newRow("huge line")
            << QByteArray("[A]\r\nx=") + QByteArray(TIniFile::kMaxLineLength + 1, 'a');
    }
    void notText() {
        QFETCH(QByteArray, bytes);
        const QString f = File(QStringLiteral("bin.ini"));
        WriteBytes(f, bytes);
        QVERIFY_THROWS_EXCEPTION(IniError,
                                 IniRead(QStringLiteral("A"), QStringLiteral("x"), QString(), f));
        QCOMPARE(ReadBytes(f), bytes); // nothing written over it
    }

    // Lines the store does not understand, in any byte, survive a write elsewhere in the file.
    void foreignBytesKept() {
        QByteArray odd = "; ";
        for (int b = 1; b < 256; ++b)
            if (b != '\n' && b != '\r') odd.append(char(b));
        const QByteArray before = odd + "\r\n[A]\r\nx=1\r\n";
        const QString f = File(QStringLiteral("odd.ini"));
        WriteBytes(f, before);
        IniWrite(QStringLiteral("A"), QStringLiteral("x"), QStringLiteral("2"), f);
        QCOMPARE(ReadBytes(f), odd + "\r\n[A]\r\nx=2\r\n");
    }

    void configFileName_data() {
        QTest::addColumn<QString>("exe");
        QTest::addColumn<QString>("ini");
        QTest::newRow("no extension") << "/opt/kolva-ayar"
                                      << "kolva-ayar.ini";
        QTest::newRow("extension replaced") << "/opt/app.exe"
                                            << "app.ini";
        QTest::newRow("dotted folder") << "/opt/v1.2/kolva-ayar"
                                       << "kolva-ayar.ini";
        QTest::newRow("dotted name") << "/opt/v1.2/kolva.ayar.exe"
                                     << "kolva.ayar.ini";
    }
    void configFileName() {
        QFETCH(QString, exe);
        QFETCH(QString, ini);
        paths::SetExecutableOverride(exe);
        QCOMPARE(QFileInfo(paths::ConfigFile()).fileName(), ini);
        QCOMPARE(QFileInfo(paths::ConfigFile()).absolutePath(), QDir(tmp.path()).absolutePath());
    }

    // Portable when the program's folder is writable, else the user's configuration folder.
    void dataFolder() {
        paths::SetDataDirOverride({});
        const QString dotted = File(QStringLiteral("v1.0"));
        QDir().mkpath(dotted);
        paths::SetExecutableOverride(dotted + QStringLiteral("/kolva-ayar"));
        QCOMPARE(paths::ConfigFile(), dotted + QStringLiteral("/kolva-ayar.ini"));
        QCOMPARE(paths::PasswordFile(), dotted + QStringLiteral("/DB"));
        QCOMPARE(paths::LogTxtFile(), dotted + QStringLiteral("/Log.TXT"));

        QStandardPaths::setTestModeEnabled(true);
        paths::SetExecutableOverride(File(QStringLiteral("missing/bin/kolva-ayar")));
        const QString user = paths::UserConfigDir();
        QCOMPARE(paths::DataDir(), user);
        QVERIFY(QFileInfo(user).isDir());
        QCOMPARE(paths::ConfigFile(), user + QStringLiteral("/kolva-ayar.ini"));
        QCOMPARE(paths::PasswordFile(), user + QStringLiteral("/DB"));

        // An installed program keeps its files in the user's folder even where it could
        // write beside itself (run as root); one with its catalogue beside it is portable.
        const QString bin = File(QStringLiteral("installed/bin"));
        QDir().mkpath(bin);
        QDir().mkpath(File(QStringLiteral("installed/share/kolva-ayar")));
        WriteBytes(File(QStringLiteral("installed/share/kolva-ayar/db.sqlite")), "x");
        paths::SetExecutableOverride(bin + QStringLiteral("/kolva-ayar"));
        QCOMPARE(paths::DataDir(), user);
        WriteBytes(bin + QStringLiteral("/db.sqlite"), "x");
        QCOMPARE(paths::DataDir(), bin);
        QStandardPaths::setTestModeEnabled(false);
    }

    void catalogueFile() {
        const QString bin = File(QStringLiteral("prefix/bin"));
        const QString share = File(QStringLiteral("prefix/share/kolva-ayar"));
        QDir().mkpath(bin);
        QDir().mkpath(share);
        paths::SetExecutableOverride(bin + QStringLiteral("/kolva-ayar"));
        QCOMPARE(paths::CatalogueFile(),
                 bin + QStringLiteral("/db.sqlite")); // neither: named beside
        WriteBytes(share + QStringLiteral("/db.sqlite"), "x");
        QCOMPARE(paths::CatalogueFile(), share + QStringLiteral("/db.sqlite"));
        WriteBytes(bin + QStringLiteral("/db.sqlite"), "x");
        QCOMPARE(paths::CatalogueFile(), bin + QStringLiteral("/db.sqlite"));
        paths::SetCatalogueOverride(QStringLiteral("/else/where.sqlite"));
        QCOMPARE(paths::CatalogueFile(), QStringLiteral("/else/where.sqlite"));
    }
};

QTEST_GUILESS_MAIN(TestConfig)
#include "tst_config.moc"
