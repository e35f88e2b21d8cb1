// kolva-ayar-cli: its argument rules, and whole runs against simulated devices on ptys.
#include "Cli.h"
#include "SimProcess.h"

#include "FakeHost.h"

#include "catalogue/Catalogue.h"
#include "catalogue/Module.h"
#include "config/Ini.h"
#include "config/Paths.h"
#include "editor/SettingsGrid.h"
#include "link/Link.h"
#include "link/Log.h"
#include "operations/OperationState.h"
#include "operations/Operations.h"
#include "operations/SnapshotOps.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

using namespace kolva;
using kolva::test::SimProcess;

namespace {

QString BinDir() {
    const QString dir = qEnvironmentVariable("KOLVA_BIN_DIR");
    return dir.isEmpty() ? QCoreApplication::applicationDirPath() : dir;
}

QString Catalogue() {
    return QDir(BinDir()).filePath("db.sqlite");
}

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

struct Result {
    int code = -1;
    QString out, err;
};

} // namespace

class TstCli : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;

    QString Path(const QString& name) const { return dir_.filePath(name); }

    // Runs the companion with its own configuration folder and the built catalogue.
    Result Cli(QStringList args, const QByteArray& stdinText = QByteArray()) {
        args << "--config-dir" << dir_.path();
        if (!args.contains("--catalogue")) args << "--catalogue" << Catalogue();
        QProcess p;
        p.setProgram(QDir(BinDir()).filePath("kolva-ayar-cli"));
        p.setArguments(args);
        p.start();
        p.write(stdinText);
        p.closeWriteChannel();
        if (!p.waitForFinished(120000)) p.kill();
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
                QString::fromUtf8(p.readAllStandardOutput()),
                QString::fromUtf8(p.readAllStandardError())};
    }

    static QStringList Line(const SimProcess& sim) {
        return {"--port", sim.ptyPath(), "--timeout", "200"};
    }

    static bool StartSim(SimProcess& sim, int address, const QStringList& extra = {}) {
        const bool ok = sim.start(QStringList{"--catalogue", Catalogue(), "--model", "RX-B2",
                                              "--address", QString::number(address)} +
                                  extra);
        if (!ok) qWarning("%s", qPrintable(sim.errorString()));
        return ok;
    }

private slots:
    void addressList_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QList<int>>("addresses");
        QTest::addColumn<bool>("ok");
        QTest::newRow("single") << "7" << QList<int>{7} << true;
        QTest::newRow("list and range") << "1,4,10-12" << QList<int>{1, 4, 10, 11, 12} << true;
        QTest::newRow("blanks, duplicates") << " 3 , 2-3 " << QList<int>{3, 2} << true;
        QTest::newRow("edges") << "1,255" << QList<int>{1, 255} << true;
        QTest::newRow("zero") << "0" << QList<int>{} << false;
        QTest::newRow("too large") << "250-256" << QList<int>{} << false;
        QTest::newRow("reversed range") << "5-3" << QList<int>{} << false;
        QTest::newRow("letters") << "1,a" << QList<int>{} << false;
        QTest::newRow("empty piece") << "1,,2" << QList<int>{} << false;
        QTest::newRow("signed") << "-1" << QList<int>{} << false;
        QTest::newRow("empty") << "" << QList<int>{} << false;
    }
    void addressList() {
        QFETCH(QString, text);
        QFETCH(QList<int>, addresses);
        QFETCH(bool, ok);
        QList<int> got;
        QString error;
        QCOMPARE(cli::ParseAddressList(text, &got, &error), ok);
        QCOMPARE(got, addresses);
        QCOMPARE(error.isEmpty(), ok);
    }

    void sameValue_data() {
        QTest::addColumn<QString>("type");
        QTest::addColumn<int>("decimals");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("device");
        QTest::addColumn<bool>("same");
        QTest::newRow("integer") << "integer" << 0 << "80"
                                 << "80" << true;
        QTest::newRow("integer differs") << "integer" << 0 << "55"
                                         << "80" << false;
        QTest::newRow("double, places") << "double" << 1 << "1.5"
                                        << "1.50" << true;
        QTest::newRow("double, single precision") << "double" << 2 << "0.1"
                                                  << "0.10" << true;
        QTest::newRow("double differs") << "double" << 1 << "1.5"
                                        << "1.6" << false;
        QTest::newRow("text exact") << "string" << 0 << "0000"
                                    << "0000" << true;
        QTest::newRow("text case") << "string" << 0 << "abc"
                                   << "ABC" << false;
        QTest::newRow("text NUL as blank")
            << "stringswap" << 0 << "  " << QString(2, QChar(0)) << true;
        QTest::newRow("number vs letters") << "combo" << 0 << "1"
                                           << "x" << false;
    }
    void sameValue() {
        QFETCH(QString, type);
        QFETCH(int, decimals);
        QFETCH(QString, file);
        QFETCH(QString, device);
        QFETCH(bool, same);
        QCOMPARE(cli::SameValue(type, decimals, file, device), same);
    }

    void helpForEveryCommand_data() {
        QTest::addColumn<QString>("command");
        for (const char* c : {"models", "settings", "read", "write", "diff", "command"})
            QTest::newRow(c) << c;
    }
    void helpForEveryCommand() {
        QFETCH(QString, command);
        const Result r = Cli({command, "--help"});
        QCOMPARE(r.code, 0);
        QVERIFY(r.out.contains("kolva-ayar-cli " + command));
        QVERIFY(r.out.contains("--config-dir"));
    }

    void usageErrors_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("message");
        QTest::newRow("unknown command") << QStringList{"frobnicate"} << "bilinmeyen komut";
        QTest::newRow("unknown option") << QStringList{"models", "--bogus"} << "bogus";
        QTest::newRow("missing model") << QStringList{"settings", "RX-XX"} << "model katalogda yok";
        QTest::newRow("no address")
            << QStringList{"read", "--model", "RX-B2"} << "--address gerekli";
        QTest::newRow("address out of range")
            << QStringList{"read", "--model", "RX-B2", "--address", "256"} << "geçersiz adres";
        QTest::newRow("bad address list")
            << QStringList{"write", "x.ini", "--address", "1,abc", "--yes"}
            << "Geçersiz adres listesi";
        QTest::newRow("missing catalogue")
            << QStringList{"models", "--catalogue", "/nonexistent/db.sqlite"}
            << "katalog bulunamadı";
        QTest::newRow("bad parity")
            << QStringList{"read", "--model", "RX-B2", "--address", "1", "--parity", "EVEN"}
            << "geçersiz --parity";
        QTest::newRow("bad stop bits")
            << QStringList{"read", "--model", "RX-B2", "--address", "1", "--stop-bits", "1,5"}
            << "geçersiz --stop-bits";
        QTest::newRow("port cannot be opened")
            << QStringList{"read", "--model", "RX-B2",           "--address",
                           "1",    "--port",  "/nonexistent/tty"}
            << "COM Port Açıklamadı";
        QTest::newRow("missing file")
            << QStringList{"diff", "/nonexistent/a.ini", "--address", "1"} << "dosya bulunamadı";
        QTest::newRow("unknown command row")
            << QStringList{"command", "--model", "RX-B2", "--address", "1", "Uçuş"}
            << "komut bulunamadı";
        QTest::newRow("extra argument") << QStringList{"models", "RX-B2"} << "argüman";
    }
    void usageErrors() {
        QFETCH(QStringList, args);
        QFETCH(QString, message);
        const Result r = Cli(args);
        QCOMPARE(r.code, 2);
        QVERIFY2(r.err.contains(message), qPrintable(r.err));
        QVERIFY(r.out.isEmpty());
    }

    void writeWithoutTerminalNeedsYes() {
        QFile f(Path("confirm.ini"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("[DEVICE]\r\ndevice_name=RX-B2\r\n");
        f.close();
        const Result r = Cli({"write", Path("confirm.ini"), "--address", "1"});
        QCOMPARE(r.code, 2);
        QVERIFY(r.err.contains("--yes"));

        // A file naming a model the catalogue does not list loads nothing and writes nothing.
        IniWrite("DEVICE", "device_name", "RX-QQ", Path("confirm.ini"));
        const Result unknown = Cli({"write", Path("confirm.ini"), "--address", "1", "--yes",
                                    "--port", "/nonexistent/tty"});
        QCOMPARE(unknown.code, 2);
        QVERIFY(unknown.err.contains("RX-QQ"));
        QVERIFY(!unknown.err.contains("COM Port"));
    }

    void writeAsksOnTheTerminal_data() {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<int>("code");
        QTest::newRow("no") << QByteArray("h\n") << 2;
        QTest::newRow("yes") << QByteArray("evet\n") << 0;
    }
    void writeAsksOnTheTerminal() {
        // script(1) gives the companion a terminal on stdin.
        QFETCH(QByteArray, answer);
        QFETCH(int, code);
        const QString script = QStandardPaths::findExecutable("script");
        if (script.isEmpty()) QSKIP("script(1) is not installed");
        SimProcess sim;
        QVERIFY(StartSim(sim, 1));
        QCOMPARE(Cli(QStringList{"read", "--model", "RX-B2", "--address", "1", "--out",
                                 Path("ask.ini")} +
                     Line(sim))
                     .code,
                 0);
        IniWrite("Group_1", "Setting_1_5109", "66", Path("ask.ini"));
        QStringList args{QDir(BinDir()).filePath("kolva-ayar-cli"),
                         "write",
                         Path("ask.ini"),
                         "--address",
                         "1",
                         "--config-dir",
                         dir_.path(),
                         "--catalogue",
                         Catalogue()};
        args += Line(sim);
        QProcess p;
        p.start(script, {"-qec", args.join(' '), "/dev/null"});
        QVERIFY(p.waitForStarted());
        QTest::qWait(500);
        p.write(answer);
        p.closeWriteChannel();
        QVERIFY(p.waitForFinished(60000));
        const QString output = QString::fromUtf8(p.readAll());
        QVERIFY2(p.exitCode() == code, qPrintable(output));
        QVERIFY(output.contains("Tüm ayarların cihaza gönderilmesini istiyormusunuz?"));
        QCOMPARE(sim.dumpRegisters().value(5109), quint16(code == 0 ? 66 : 80));
    }

    void catalogueListings() {
        const Result models = Cli({"models"});
        QCOMPARE(models.code, 0);
        QCOMPARE(models.out.split('\n', Qt::SkipEmptyParts), ReadModels(Catalogue()));

        const Result settings = Cli({"settings", "RX-B2"});
        QCOMPARE(settings.code, 0);
        QStringList expected;
        for (const TCatalogueRow& row : ReadModelRows(Catalogue(), "RX-B2"))
            if (row.command == 0)
                expected << QString::number(row.group) + '\t' + QString::number(row.group) + '_' +
                                QString::number(row.registerNo) + '\t' + row.caption + '\t' +
                                row.type;
        QStringList got;
        for (const QString& line : settings.out.split('\n', Qt::SkipEmptyParts))
            got << line.section('\t', 0, 3);
        QCOMPARE(got, expected);
    }

    void readWriteDiffAcrossThreeDevices() {
        SimProcess source;
        QVERIFY(StartSim(source, 5));
        const Result read = Cli(
            QStringList{"read", "--model", "RX-B2", "--address", "5", "--out", Path("snap.ini")} +
            Line(source));
        QCOMPARE(read.code, 0);
        QVERIFY(read.err.contains("OK! Ayar okuma işlemi tamamlandı."));
        QVERIFY(read.out.contains("1_5109\tEkran Parlaklığı (%)\t80\n"));

        // A different value in the file, written to three fresh devices (one pty each: a pty
        // carries one device), then nothing differs.
        IniWrite("Group_1", "Setting_1_5109", "55", Path("snap.ini"));
        const QByteArray file = ReadAll(Path("snap.ini"));
        SimProcess sims[3];
        for (int i = 0; i < 3; ++i) {
            QVERIFY(StartSim(sims[i], i + 1));
            const Result write = Cli(QStringList{"write", Path("snap.ini"), "--address",
                                                 QString::number(i + 1), "--yes"} +
                                     Line(sims[i]));
            QVERIFY2(write.code == 0, qPrintable(write.err));
            QVERIFY(write.err.contains(QStringLiteral("Adres %1: OK! Ayar kaydetme işlemi "
                                                      "tamamlandı.")
                                           .arg(i + 1)));
            QCOMPARE(sims[i].dumpRegisters().value(5109), quint16(55));
            const Result diff =
                Cli(QStringList{"diff", Path("snap.ini"), "--address", QString::number(i + 1)} +
                    Line(sims[i]));
            QVERIFY2(diff.code == 0, qPrintable(diff.out + diff.err));
            QCOMPARE(diff.out, QString());
        }
        QCOMPARE(ReadAll(Path("snap.ini")), file);

        // The source device still holds 80: diff names the setting with both values.
        const Result diff =
            Cli(QStringList{"diff", Path("snap.ini"), "--address", "5"} + Line(source));
        QCOMPARE(diff.code, 1);
        QCOMPARE(diff.out, QStringLiteral("1_5109\tEkran Parlaklığı (%)\t55\t80\n"));
    }

    void verifyCatchesIgnoredWrite() {
        SimProcess sim;
        QVERIFY(StartSim(sim, 1, {"--ignore-writes", "5109"}));
        const Result read = Cli(
            QStringList{"read", "--model", "RX-B2", "--address", "1", "--out", Path("verify.ini")} +
            Line(sim));
        QCOMPARE(read.code, 0);
        IniWrite("Group_1", "Setting_1_5109", "55", Path("verify.ini"));
        IniWrite("Group_1", "Setting_1_5110", "120", Path("verify.ini"));
        const Result write =
            Cli(QStringList{"write", Path("verify.ini"), "--address", "1", "--yes", "--verify"} +
                Line(sim));
        QCOMPARE(write.code, 1);
        QCOMPARE(write.out, QStringLiteral("1\t1_5109\tEkran Parlaklığı (%)\t55\t80\n"));
        QVERIFY(write.err.contains("Hata! Doğrulamada farklı değerler bulundu: 1 Hata"));
        QCOMPARE(sim.dumpRegisters().value(5110), quint16(120));
    }

    void failedSettingsAndAddresses() {
        SimProcess sim;
        QVERIFY(StartSim(sim, 1, {"--no-reply", "5109"}));
        const Result read = Cli(QStringList{"read", "--model", "RX-B2", "--address", "1", "--out",
                                            Path("partial.ini")} +
                                Line(sim));
        QCOMPARE(read.code, 1);
        QVERIFY(read.err.contains("Hata! Ayar okuma işleminde hatalar oluştu: 1 Hata"));

        const Result write =
            Cli(QStringList{"write", Path("partial.ini"), "--address", "1", "--yes"} + Line(sim));
        QCOMPARE(write.code, 1);
        QVERIFY(
            write.err.contains("Adres 1: Hata! Ayar kaydetme işleminde hatalar oluştu: 1 Hata"));

        // No device answers at 2 and 3: every setting fails at each address of the list.
        const Result none = Cli({"write", Path("partial.ini"), "--address", "2-3", "--yes",
                                 "--port", sim.ptyPath(), "--timeout", "20"});
        QCOMPARE(none.code, 1);
        QVERIFY(none.err.contains("Adres 2: Hata! Ayar kaydetme işleminde hatalar oluştu: "));
        QVERIFY(none.err.contains("Adres 3: Hata! Ayar kaydetme işleminde hatalar oluştu: "));
    }

    void commandAndLog() {
        SimProcess sim;
        QVERIFY(StartSim(sim, 1));
        const Result r = Cli(QStringList{"command", "--model", "RX-B2", "--address", "1", "--log",
                                         "alarmları temizle"} +
                             Line(sim));
        QCOMPARE(r.code, 0);
        QVERIFY(r.err.contains("SEND"));
        QVERIFY(r.err.contains("CONNECT"));
        QCOMPARE(sim.journalLines().size(), 1);
        QVERIFY(sim.journalLines().first().startsWith("6 "));
    }

    void readOutMatchesTheWindowsSave() {
        // The window's way: "Oku" then "Kaydet" on the core, against the same device.
        SimProcess sim;
        QVERIFY(StartSim(sim, 9));
        QTemporaryDir data;
        paths::SetDataDirOverride(data.path());
        IniWrite("RTU", "comport", sim.ptyPath());
        IniWrite("RTU", "timeout", "200");
        test::FakeHost host;
        host.realSleep = false;
        TLog log;
        TLink link(log, host);
        Tfm fm(&host);
        fm.DBBaglan(Catalogue(), true);
        TSettingsGrid grid;
        TOperationState state;
        TDeviceOperations ops(host, log, link, fm, grid, state);
        ops.SetDeviceText("RX-B2");
        ops.SetAddressText("9");
        ops.mnReadClick();
        QCOMPARE(ops.LastResult().errors, 0);
        mnSaveClick(ops, [&] { return Path("window.ini"); });
        paths::SetDataDirOverride(QString());

        const QByteArray config = "[RTU]\r\ncomport=/nonexistent\r\n";
        QFile f(Path("kolva-ayar.ini"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(config);
        f.close();
        const Result read = Cli(
            QStringList{"read", "--model", "RX-B2", "--address", "9", "--out", Path("cli.ini")} +
            Line(sim));
        QCOMPARE(read.code, 0);
        QCOMPARE(ReadAll(Path("cli.ini")), ReadAll(Path("window.ini")));
        // the user's configuration is read, never rewritten
        QCOMPARE(ReadAll(Path("kolva-ayar.ini")), config);
        QFile::remove(Path("kolva-ayar.ini"));
    }
};

QTEST_GUILESS_MAIN(TstCli)
#include "tst_cli.moc"
