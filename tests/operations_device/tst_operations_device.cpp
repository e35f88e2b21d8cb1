// Reading, writing and device commands end to end: catalogue, grid model, link and kolva-sim
// over a pty. Expected register contents and grid texts are worked out here from the
// catalogue and the device's register layout, independently of the program's codecs.

#include "../operations/OpsRig.h"
#include "SimProcess.h"

#include <QSignalSpy>

using namespace kolva;
using namespace kolva::test;

namespace {

const QString kBusy = QString::fromUtf16(kBusyText);
const QString kReadOk = QStringLiteral("OK! Ayar okuma işlemi tamamlandı.");
const QString kWriteOk = QStringLiteral("OK! Ayar kaydetme işlemi tamamlandı.");

QStringList SampleModels() {
    return {QStringLiteral("RX-B2"),  QStringLiteral("RX-M3"), QStringLiteral("RX-N4"),
            QStringLiteral("RX-A10"), QStringLiteral("RX-E5"), QStringLiteral("RX-Z9")};
}

int StoreRegister(const QString& model) {
    if (model == u"RX-B2") return 5007;
    if (model.contains(u"RX-N4") || model.contains(u"RX-A1")) return 5201;
    if (model == u"RX-M3" || model == u"RX-E5") return 1;
    return 65001;
}

// The function code the device must see for a setting.
int Function(const QString& model, const TCatRow& r) {
    int fn = 16;
    if (r.writecmd == 6) fn = 6;
    if (model == u"RX-M3") fn = 6;
    if (r.type == u"string" || r.type == u"stringswap") fn = 16;
    return fn;
}

// Journal lines of one setting written with `regs`.
QStringList WriteLines(const QString& model, const TCatRow& r, const QList<quint16>& regs) {
    QStringList lines;
    if (Function(model, r) == 6) {
        for (int i = 0; i < regs.size(); ++i)
            lines << QStringLiteral("6 %1 %2").arg(r.reg + i).arg(regs[i]);
    } else {
        QString line = QStringLiteral("16 %1").arg(r.reg);
        for (quint16 v : regs)
            line += QStringLiteral(" %1").arg(v);
        lines << line;
    }
    return lines;
}

// A distinct value per setting, by type, for the device to hold.
QVariant DeviceValue(const TCatRow& r, int k) {
    if (r.type == u"signedint") return -100 - k;
    if (r.type == u"long") return (k % 2 ? -1 : 1) * (70000 + 65536 * k);
    if (r.type == u"double") return 12.5 + k;
    if (r.type == u"string" || r.type == u"stringswap") return QStringLiteral("S%1 ").arg(k);
    return 1000 + k;
}

QString MapFile(const QString& dir, const QMap<int, quint16>& regs) {
    const QString path = QDir(dir).filePath(QStringLiteral("map.txt"));
    QFile f(path);
    f.open(QIODevice::WriteOnly | QIODevice::Truncate);
    for (auto it = regs.begin(); it != regs.end(); ++it)
        f.write(QStringLiteral("%1 %2\n").arg(it.key()).arg(it.value()).toLatin1());
    return path;
}

QList<quint16> Regs(const QMap<int, quint16>& dump, const TCatRow& r) {
    QList<quint16> regs;
    for (int i = 0; i < r.Count(); ++i)
        regs << dump.value(r.reg + i, 0);
    return regs;
}

} // namespace

class TestOperationsDevice : public QObject {
    Q_OBJECT

    TOpsEnv env;
    QTemporaryDir scratch;

    // Starts kolva-sim for `model` (catalogue defaults, then `regs`) and points the
    // configuration at it.
    bool StartSim(SimProcess& sim, const QString& model, const QMap<int, quint16>& regs = {},
                  const QStringList& extra = {}) {
        QStringList args{QStringLiteral("--catalogue"), env.catalogue, QStringLiteral("--model"),
                         model};
        if (!regs.isEmpty()) args << QStringLiteral("--map") << MapFile(scratch.path(), regs);
        args << extra;
        if (!sim.start(args)) {
            qWarning() << sim.errorString();
            return false;
        }
        env.Configure(sim.ptyPath());
        return true;
    }

    // Calls `action` once when a log line containing `part` is added.
    static void OnLine(TRig& rig, const QString& part, std::function<void()> action) {
        auto done = std::make_shared<bool>(false);
        QObject::connect(&rig.log, &TLog::LineAdded, &rig.log, [=](const QString& line) {
            if (!*done && line.contains(part)) {
                *done = true;
                action();
            }
        });
    }

private Q_SLOTS:
    void initTestCase() {
        QString why;
        QVERIFY2(env.Init(&why), qPrintable(why));
        QVERIFY(scratch.isValid());
    }

    // Every setting of every sample model read from the device: each grid value is what
    // the device holds, decoded by the setting's type.
    void readEveryModel_data() {
        QTest::addColumn<QString>("model");
        for (const QString& m : SampleModels())
            QTest::newRow(qPrintable(m)) << m;
    }
    void readEveryModel() {
        QFETCH(QString, model);
        const QList<TCatRow> rows = env.Rows(model);
        QMap<int, quint16> regs;
        for (int k = 0; k < rows.size(); ++k) {
            const QList<quint16> v = Encode(rows[k], DeviceValue(rows[k], k));
            for (int i = 0; i < v.size(); ++i)
                regs[rows[k].reg + i] = v[i];
        }
        SimProcess sim;
        QVERIFY(StartSim(sim, model, regs));
        TRig rig(*env.fm, model, QStringLiteral("1"));
        rig.ops.mnReadClick();

        QCOMPARE(rig.Status(), kReadOk);
        QCOMPARE(rig.grid.ModelName(), model); // built by the read
        const QMap<int, quint16> held = sim.dumpRegisters();
        QVERIFY(!held.isEmpty());
        for (const TCatRow& r : rows) {
            TGridRow* row = rig.Row(r.Name());
            QVERIFY2(row, qPrintable(r.Name()));
            QCOMPARE(row->ValueText(), Decode(r, Regs(held, r)));
            QCOMPARE(row->Tag, r.reg); // reading leaves the marks alone
        }
        QVERIFY(rig.Released());
        QCOMPARE(rig.ops.LastResult().errors, 0);
        QList<int> sleeps;
        if (model == u"RX-M3") sleeps.fill(50, rows.size());
        sleeps << 100; // one reply time-out before closing
        QCOMPARE(rig.host.sleeps, sleeps);
        QCOMPARE(IniRead(QStringLiteral("AYAR"), QStringLiteral("Device"), QString()), model);
        QCOMPARE(IniRead(QStringLiteral("AYAR"), QStringLiteral("Address"), QString()),
                 QStringLiteral("1"));
    }

    // Single values worked out by hand.
    void readValues_data() {
        QTest::addColumn<QString>("model");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QList<int>>("regs"); // register, value, register, value, ...
        QTest::addColumn<QString>("expected");
        const QString sep = DecimalSeparator();
        QTest::newRow("double 12.5 with 2 decimals")
            << "RX-M3"
            << "row_2_111" << QList<int>{111, 0x0000, 112, 0x4148}
            << QStringLiteral("12") + sep + QStringLiteral("50");
        QTest::newRow("double NaN shows 0")
            << "RX-B2"
            << "row_2_5001" << QList<int>{5001, 0, 5002, 0x7FC0} << "0";
        QTest::newRow("signedint negative") << "RX-B2"
                                            << "row_2_5006" << QList<int>{5006, 0xFF85} << "-123";
        QTest::newRow("integer 65535") << "RX-B2"
                                       << "row_1_5109" << QList<int>{5109, 0xFFFF} << "65535";
        QTest::newRow("long low word first")
            << "RX-B2"
            << "row_2_5008" << QList<int>{5008, 0x5678, 5009, 0x1234} << "305419896";
        QTest::newRow("long negative")
            << "RX-B2"
            << "row_2_5008" << QList<int>{5008, 0xFFFE, 5009, 0xFFFF} << "-2";
        QTest::newRow("string trimmed of blanks and NULs")
            << "RX-B2"
            << "row_1_5100"
            << QList<int>{5100, 'A' << 8 | ' ', 5101, ' ' << 8 | 'B', 5102, 0x0900, 5103, 0, 5104,
                          0,    5105,           0,    5106,           0,    5107,   0}
            << "AB";
        QTest::newRow("stringswap keeps blanks and NULs")
            << "RX-B2"
            << "row_7_5060" << QList<int>{5060, ' ' << 8 | 'A', 5061, 'B' << 8 | ' ', 5062, 0, 5063,
                                          0,    5064,           0,    5065,           0}
            << QStringLiteral(" AB ") + QString(8, QChar(0));
        QTest::newRow("string in Windows-1254")
            << "RX-B2"
            << "row_1_5100" << QList<int>{5100, 0xDDDE, 5101, 0, 5102, 0, 5103, 0,
                                          5104, 0,      5105, 0, 5106, 0, 5107, 0}
            << "Şİ";
    }
    void readValues() {
        QFETCH(QString, model);
        QFETCH(QString, name);
        QFETCH(QList<int>, regs);
        QFETCH(QString, expected);
        QMap<int, quint16> map;
        for (int i = 0; i + 1 < regs.size(); i += 2)
            map[regs[i]] = quint16(regs[i + 1]);
        SimProcess sim;
        QVERIFY(StartSim(sim, model, map));
        TRig rig(*env.fm, model);
        rig.ops.mnReadClick();
        QCOMPARE(rig.Status(), kReadOk);
        QCOMPARE(rig.Row(name)->ValueText(), expected);
    }

    // A register that never answers, or answers with an exception: counted, reported,
    // shown as "0" (numbers) or empty text (texts); the read goes on.
    void readFailures_data() {
        QTest::addColumn<QStringList>("fault");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("shown");
        QTest::newRow("no reply, number") << QStringList{"--no-reply", "5109"} << "row_1_5109"
                                          << "Ekran Parlaklığı (%)"
                                          << "0";
        QTest::newRow("no reply, text") << QStringList{"--no-reply", "5103"} << "row_1_5100"
                                        << "Cihaz Adı"
                                        << "";
        QTest::newRow("exception reply") << QStringList{"--exception", "5045:2"} << "row_5_5045"
                                         << "Alarm Gecikmesi (sn)"
                                         << "0";
    }
    void readFailures() {
        QFETCH(QStringList, fault);
        QFETCH(QString, name);
        QFETCH(QString, caption);
        QFETCH(QString, shown);
        SimProcess sim;
        QVERIFY(StartSim(sim, QStringLiteral("RX-B2"), {}, fault));
        TRig rig(*env.fm, QStringLiteral("RX-B2"));
        rig.ops.mnReadClick();
        QCOMPARE(rig.Row(name)->ValueText(), shown);
        QCOMPARE(rig.Status(), QStringLiteral("Hata! Ayar okuma işleminde hatalar oluştu: 1 Hata"));
        QVERIFY(rig.Logged(QStringLiteral("Hata! ") + caption +
                           QStringLiteral(" okunurken hata oluştu.")));
        QVERIFY(rig.Logged(QStringLiteral("READ ERROR")));
        QCOMPARE(rig.ops.LastResult().errors, 1);
        // Every other setting was read.
        QCOMPARE(rig.Row(QStringLiteral("row_2_5000"))->ValueText(), QStringLiteral("5"));
        QVERIFY(rig.Released());
    }

    // Iptal during a read: the setting under way is finished, no other is read, the link
    // is closed and the guard released; a cancelled read without failures reports OK.
    void cancelMidRead() {
        SimProcess sim;
        QVERIFY(StartSim(sim, QStringLiteral("RX-B2"), {}, {QStringLiteral("--journal-reads")}));
        TRig rig(*env.fm, QStringLiteral("RX-B2"));
        OnLine(rig, QStringLiteral("Okunacak olan ayar: Nominal Frekans"),
               [&] { rig.ops.mnCancelClick(); });
        rig.ops.mnReadClick();
        const QStringList journal = sim.journalLines();
        QVERIFY(!journal.isEmpty());
        QCOMPARE(journal.last(), QStringLiteral("3 5004 1"));
        QCOMPARE(journal.size(), 8); // the 8th setting in catalogue order
        QCOMPARE(rig.Status(), kReadOk);
        QVERIFY(rig.ops.LastResult().cancelled);
        QVERIFY(rig.Released());
    }

    // Other commands while a read runs are refused with the busy text; the read goes on.
    void busyWhileReading() {
        SimProcess sim;
        QVERIFY(StartSim(sim, QStringLiteral("RX-B2")));
        TRig rig(*env.fm, QStringLiteral("RX-B2"));
        OnLine(rig, QStringLiteral("Okunacak olan ayar: Nominal Frekans"), [&] {
            rig.ops.mnWriteClick();
            rig.ops.mnWriteAllClick();
            rig.ops.mnNewClick();
            rig.ops.mnReadClick();
            rig.ops.mnRunCommandClick();
        });
        rig.ops.mnReadClick();
        int refusals = 0;
        for (const QString& line : rig.log.Lines())
            refusals += line.contains(kBusy);
        QCOMPARE(refusals, 5);
        QVERIFY(rig.host.confirms.isEmpty());
        QCOMPARE(rig.Status(), kReadOk);
        QCOMPARE(rig.grid.EditorRowCount(), env.Rows(QStringLiteral("RX-B2")).size());
        QVERIFY(sim.journalLines().isEmpty()); // nothing was written
    }

    // The port cannot be opened: the configuration keys are written all the same, the
    // guard is never raised, "Bağlantı Sağlanamadı" is shown.
    void connectFails_data() {
        QTest::addColumn<bool>("read");
        QTest::newRow("Oku") << true;
        QTest::newRow("Degisiklikleri Yaz") << false;
    }
    void connectFails() {
        QFETCH(bool, read);
        env.Configure(scratch.filePath(QStringLiteral("no-such-tty")));
        TRig rig(*env.fm, QStringLiteral("RX-Z9"), QStringLiteral("7"));
        if (!read) rig.ops.mnNewClick();
        QSignalSpy busy(&rig.state, &TOperationState::BusyChanged);
        read ? rig.ops.mnReadClick() : rig.ops.mnWriteAllClick();
        QCOMPARE(rig.Status(), QStringLiteral("Bağlantı Sağlanamadı"));
        QCOMPARE(busy.size(), 0);
        QCOMPARE(IniRead(QStringLiteral("AYAR"), QStringLiteral("Device"), QString()),
                 QStringLiteral("RX-Z9"));
        QCOMPARE(IniRead(QStringLiteral("AYAR"), QStringLiteral("Address"), QString()),
                 QStringLiteral("7"));
        QCOMPARE(rig.host.messages.size(), 1); // the port error
        QVERIFY(rig.Released());
    }

    // "Degisiklikleri Yaz": exactly the edited settings, each with its function code, then
    // the model's store command; marks cleared; a second run sends only the store command.
    void writeChanged_data() {
        QTest::addColumn<QString>("model");
        for (const QString& m : SampleModels())
            QTest::newRow(qPrintable(m)) << m;
    }
    void writeChanged() {
        QFETCH(QString, model);
        SimProcess sim;
        QVERIFY(StartSim(sim, model));
        TRig rig(*env.fm, model);
        rig.ops.mnNewClick();

        // The first writable setting of every type gets a new value.
        QStringList expected;
        QList<TCatRow> edited;
        QSet<QString> types;
        for (const TCatRow& r : env.Rows(model)) {
            if (!r.Writable() || types.contains(r.type)) continue;
            types.insert(r.type);
            TGridRow* row = rig.Row(r.Name());
            QVariant value;
            if (r.type == u"integer" || r.type == u"signedint")
                value = int(row->LowerBound()) + 1;
            else if (r.type == u"combo")
                value = row->Choices.first().value == row->Value.toInt()
                            ? row->Choices.last().value
                            : row->Choices.first().value;
            else if (r.type == u"double")
                value = (row->LowerBound() + row->UpperBound()) / 2 + 0.25;
            else if (r.type == u"long")
                value = QStringLiteral("-123456");
            else
                value = r.min == r.max ? QStringLiteral("1234567890").left(r.max)
                                       : QStringLiteral("Yeni Ad").left(r.max);
            QVERIFY2(rig.Edit(r.Name(), value), qPrintable(r.Name()));
            QVariant sent = value;
            if (r.type == u"long") sent = -123456;
            expected << WriteLines(model, r, Encode(r, sent));
            edited << r;
        }
        QVERIFY(types.size() >= 5);
        expected << QStringLiteral("6 %1 1").arg(StoreRegister(model));

        rig.ops.mnWriteAllClick();
        QCOMPARE(sim.journalLines(), expected);
        QCOMPARE(rig.Status(), kWriteOk);
        QVERIFY(rig.Released());
        const QMap<int, quint16> held = sim.dumpRegisters();
        for (const TCatRow& r : edited) {
            TGridRow* row = rig.Row(r.Name());
            QCOMPARE(row->Tag, r.reg);
            QCOMPARE(row->HeaderStyle, THeaderStyle::styleRowHeader);
            QCOMPARE(Regs(held, r), Encode(r, r.type == u"long" ? QVariant(-123456) : row->Value));
        }
        QList<int> sleeps;
        if (model == u"RX-M3") sleeps.fill(60, edited.size());
        sleeps << 100;
        QCOMPARE(rig.host.sleeps, sleeps);

        rig.ops.mnWriteAllClick();
        expected << QStringLiteral("6 %1 1").arg(StoreRegister(model));
        QCOMPARE(sim.journalLines(), expected);
    }

    // "Yaz" after a read: every writable setting (readonly = 0) once, in catalogue order,
    // never a read-only one (1 or NULL), then the store command; the device keeps its values.
    void writeAll_data() {
        QTest::addColumn<QString>("model");
        for (const QString& m : SampleModels())
            QTest::newRow(qPrintable(m)) << m;
    }
    void writeAll() {
        QFETCH(QString, model);
        const QList<TCatRow> rows = env.Rows(model);
        QMap<int, quint16> regs;
        for (int k = 0; k < rows.size(); ++k) {
            if (rows[k].type == u"string" || rows[k].type == u"stringswap") continue;
            const QList<quint16> v = Encode(rows[k], DeviceValue(rows[k], k));
            for (int i = 0; i < v.size(); ++i)
                regs[rows[k].reg + i] = v[i];
        }
        SimProcess sim;
        QVERIFY(StartSim(sim, model, regs));
        TRig rig(*env.fm, model);
        rig.ops.mnReadClick();
        QCOMPARE(rig.Status(), kReadOk);
        const QMap<int, quint16> before = sim.dumpRegisters();
        rig.ops.mnWriteClick();
        QCOMPARE(rig.Status(), kWriteOk);

        QStringList expected;
        for (const TCatRow& r : rows)
            if (r.Writable()) expected << WriteLines(model, r, Regs(before, r));
        expected << QStringLiteral("6 %1 1").arg(StoreRegister(model));
        QCOMPARE(sim.journalLines(), expected);
        QVERIFY(rig.Released());
        QCOMPARE(rig.host.confirms.size(), 1);
    }

    // Ctrl held as "Yaz" starts hides the alarm groups for this write and later ones.
    void writeWithCtrl() {
        SimProcess sim;
        QVERIFY(StartSim(sim, QStringLiteral("RX-B2")));
        TRig rig(*env.fm, QStringLiteral("RX-B2"));
        rig.ops.mnNewClick();
        QVERIFY(rig.Row(QStringLiteral("row_5_5040")));
        const QMap<int, quint16> held = sim.dumpRegisters();
        rig.host.ctrl = true;
        rig.ops.mnWriteClick();
        QVERIFY(rig.state.HideAlarmGroups());
        QStringList expected;
        for (const TCatRow& r : env.Rows(QStringLiteral("RX-B2")))
            if (r.Writable() && !r.groupCaption.contains(u"Alarm"))
                expected << WriteLines(QStringLiteral("RX-B2"), r, Regs(held, r));
        expected << QStringLiteral("6 5007 1");
        QCOMPARE(sim.journalLines(), expected);
        QCOMPARE(rig.Status(), kWriteOk);
    }

    // Values a register cannot hold are refused and counted, never cut; the row stays
    // marked and nothing of it is sent.
    void writeRefused_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QVariant>("value");
        QTest::newRow("integer 70000") << "row_1_5109" << QVariant(70000);
        QTest::newRow("integer text") << "row_1_5109" << QVariant(QStringLiteral("abc"));
        QTest::newRow("integer empty") << "row_1_5109" << QVariant(QString());
        QTest::newRow("signedint 40000") << "row_2_5006" << QVariant(40000);
        QTest::newRow("combo -1") << "row_1_5108" << QVariant(-1);
        QTest::newRow("double beyond single precision") << "row_2_5001" << QVariant(1e39);
        QTest::newRow("long beyond 32 bits")
            << "row_2_5008" << QVariant(QStringLiteral("4294967296"));
        QTest::newRow("string longer than max")
            << "row_1_5100" << QVariant(QStringLiteral("12345678901234567"));
    }
    void writeRefused() {
        QFETCH(QString, name);
        QFETCH(QVariant, value);
        SimProcess sim;
        QVERIFY(StartSim(sim, QStringLiteral("RX-B2")));
        TRig rig(*env.fm, QStringLiteral("RX-B2"));
        rig.ops.mnNewClick();
        TGridRow* row = rig.Row(name);
        rig.grid.SetValue(row, value); // as a loaded settings file may bring it
        rig.ops.EditValueChanged(row);
        QVERIFY(rig.Edit(QStringLiteral("row_5_5045"), 7));
        rig.ops.mnWriteAllClick();
        QCOMPARE(sim.journalLines(), (QStringList{"16 5045 7", "6 5007 1"}));
        QCOMPARE(rig.Status(),
                 QStringLiteral("Hata! Ayar kaydetme işleminde hatalar oluştu: 1 Hata"));
        QVERIFY(row->Tag < 0);
        QVERIFY(rig.Logged(row->Caption));
        QVERIFY(rig.Released());
    }

    // The fixed-length and numeric-password rules of text settings.
    void textRules_data() {
        QTest::addColumn<QString>("model");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("warning");
        QTest::addColumn<QStringList>("journal");
        const QString fixed4 =
            QStringLiteral("Ayar sabit olarak 4 karakter uzunluğunda isteniyor. İstediğiniz "
                           "değer farklı olduğu için kaydedilmeyecek!\r\nGrup: Güvenlik\r\nAyar: "
                           "Kullanıcı Şifre");
        QTest::newRow("fixed length, OK skips")
            << "RX-B2"
            << "row_4_5030"
            << "12" << true << fixed4 << QStringList{"16 5045 7", "6 5007 1"};
        QTest::newRow("fixed length, Cancel ends without store")
            << "RX-B2"
            << "row_4_5030"
            << "12" << false << fixed4 << QStringList{};
        QTest::newRow("password not a number")
            << "RX-B2"
            << "row_4_5030"
            << "abcd" << true
            << QStringLiteral("Şifre ayarları sayısal olmak zorundadır.\r\nGrup: "
                              "Güvenlik\r\nAyar: Kullanıcı Şifre")
            << QStringList{"16 5045 7", "6 5007 1"};
        QTest::newRow("password, lower-case şifre")
            << "RX-B2"
            << "row_4_5032"
            << "abcdef" << true
            << QStringLiteral("Şifre ayarları sayısal olmak zorundadır.\r\nGrup: "
                              "Güvenlik\r\nAyar: Yönetici şifre")
            << QStringList{"16 5045 7", "6 5007 1"};
        QTest::newRow("numeric password written")
            << "RX-B2"
            << "row_4_5030"
            << "4321" << true << QString()
            << QStringList{QStringLiteral("16 5030 %1 %2").arg('3' << 8 | '4').arg('1' << 8 | '2'),
                           "16 5045 7", "6 5007 1"};
        QTest::newRow("fixed length stringswap")
            << "RX-A10"
            << "row_1_3006"
            << "TR01" << true
            << QStringLiteral("Ayar sabit olarak 6 karakter uzunluğunda isteniyor. İstediğiniz "
                              "değer farklı olduğu için kaydedilmeyecek!\r\nGrup: Genel "
                              "Ayarlar\r\nAyar: Tesis Kodu")
            << QStringList{"16 3062 7", "6 5201 1"};
    }
    void textRules() {
        QFETCH(QString, model);
        QFETCH(QString, name);
        QFETCH(QString, value);
        QFETCH(bool, ok);
        QFETCH(QString, warning);
        QFETCH(QStringList, journal);
        SimProcess sim;
        QVERIFY(StartSim(sim, model));
        TRig rig(*env.fm, model);
        rig.ops.mnNewClick();
        QVERIFY(rig.Edit(name, value));
        // A later setting, to see whether the run goes on.
        QVERIFY(rig.Edit(
            model == u"RX-B2" ? QStringLiteral("row_5_5045") : QStringLiteral("row_4_3062"), 7));
        rig.host.warningAnswers = {ok};
        rig.ops.mnWriteAllClick();
        QCOMPARE(rig.host.warnings, warning.isEmpty() ? QStringList() : QStringList{warning});
        QCOMPARE(sim.journalLines(), journal);
        QCOMPARE(rig.Status(), kWriteOk); // a rejected setting is not an error
        if (!warning.isEmpty()) {
            QVERIFY(rig.Logged(QStringLiteral("Hata")));
            QVERIFY(rig.Row(name)->Tag < 0);
        }
        QVERIFY(rig.Released());
    }

    // A failed write is counted and the row stays marked; a two-register setting sent with
    // function 06 succeeds only when both halves do.
    void writeFailures_data() {
        QTest::addColumn<QString>("model");
        QTest::addColumn<QString>("noReply");
        QTest::addColumn<QString>("failing");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QStringList>("journal");
        QTest::newRow("single register")
            << "RX-B2"
            << "5109"
            << "row_1_5109" << QVariant(50)
            << QStringList{"16 5109 50", "16 5109 50", "16 5109 50", "16 5045 7", "6 5007 1"};
        QTest::newRow("second half of a double over 06")
            << "RX-M3"
            << "112"
            << "row_2_111" << QVariant(2.5)
            << QStringList{"6 111 0",     "6 112 16416", "6 112 16416",
                           "6 112 16416", "6 135 7",     "6 1 1"};
    }
    void writeFailures() {
        QFETCH(QString, model);
        QFETCH(QString, noReply);
        QFETCH(QString, failing);
        QFETCH(QVariant, value);
        QFETCH(QStringList, journal);
        SimProcess sim;
        QVERIFY(StartSim(sim, model, {}, {QStringLiteral("--no-reply"), noReply}));
        TRig rig(*env.fm, model);
        rig.ops.mnNewClick();
        QVERIFY(rig.Edit(failing, value));
        const QString other =
            model == u"RX-B2" ? QStringLiteral("row_5_5045") : QStringLiteral("row_4_135");
        QVERIFY(rig.Edit(other, 7));
        rig.ops.mnWriteAllClick();
        QCOMPARE(sim.journalLines(), journal);
        QCOMPARE(rig.Status(),
                 QStringLiteral("Hata! Ayar kaydetme işleminde hatalar oluştu: 1 Hata"));
        QVERIFY(rig.Row(failing)->Tag < 0);
        QVERIFY(rig.Row(other)->Tag > 0);
        QVERIFY(rig.Logged(QStringLiteral("Hata! ") + rig.Row(failing)->Caption +
                           QStringLiteral(" kaydedilirken hata oluştu.")));
        QVERIFY(rig.Released());
    }

    // Iptal during "Yaz": no further setting, no store command.
    void cancelMidWrite() {
        SimProcess sim;
        QVERIFY(StartSim(sim, QStringLiteral("RX-B2")));
        TRig rig(*env.fm, QStringLiteral("RX-B2"));
        rig.ops.mnNewClick();
        OnLine(rig, QStringLiteral("Yazılacak olan ayar: Nominal Frekans"),
               [&] { rig.ops.mnCancelClick(); });
        rig.ops.mnWriteClick();
        const QStringList journal = sim.journalLines();
        QVERIFY(!journal.isEmpty());
        QCOMPARE(journal.last(), QStringLiteral("16 5004 0"));
        QCOMPARE(rig.Status(), kWriteOk);
        QVERIFY(rig.ops.LastResult().cancelled);
        QVERIFY(rig.Released());
    }

    // A catalogue row without a grid row (the alarm filter changed since the build) is
    // skipped and counted.
    void readRowMissingFromGrid() {
        SimProcess sim;
        QVERIFY(StartSim(sim, QStringLiteral("RX-B2"), {}, {QStringLiteral("--journal-reads")}));
        TRig rig(*env.fm, QStringLiteral("RX-B2"));
        rig.host.ctrl = true;
        rig.ops.mnNewClick(); // alarm groups hidden
        rig.host.ctrl = false;
        rig.state.SetHideAlarmGroups(false);
        rig.ops.mnReadClick();
        QCOMPARE(rig.Status(), QStringLiteral("Hata! Ayar okuma işleminde hatalar oluştu: 4 Hata"));
        for (const QString& line : sim.journalLines())
            QVERIFY(!line.startsWith("3 504"));
        QVERIFY(rig.Released());
    }

    // Writing with the alarm groups back in the query: "Yaz" counts the settings the grid
    // lacks; "Degisiklikleri Yaz" passes over them, since they cannot have been changed.
    void writeRowsMissingFromGrid() {
        SimProcess sim;
        QVERIFY(StartSim(sim, QStringLiteral("RX-B2")));
        TRig rig(*env.fm, QStringLiteral("RX-B2"));
        rig.host.ctrl = true;
        rig.ops.mnNewClick(); // alarm groups hidden
        rig.host.ctrl = false;
        rig.state.SetHideAlarmGroups(false);
        rig.ops.mnWriteAllClick();
        QCOMPARE(rig.Status(), kWriteOk);
        rig.ops.mnWriteClick();
        QVERIFY(rig.Status().startsWith(QStringLiteral("Hata! Ayar kaydetme")));
        QVERIFY(rig.Released());
    }

    // "Komut Gönder": the command's default to its register with function 06.
    void runCommand_data() {
        QTest::addColumn<int>("id");
        QTest::addColumn<QStringList>("fault");
        QTest::addColumn<QString>("frame");
        QTest::addColumn<QString>("status");
        QTest::newRow("last command chosen after the build") << 0 << QStringList{} << "6 5203 1"
                                                             << "OK";
        QTest::newRow("value 165") << 902 << QStringList{} << "6 5202 165"
                                   << "OK";
        QTest::newRow("no reply") << 0 << QStringList{"--no-reply", "5203"} << "6 5203 1"
                                  << QString::fromUtf8("İşlem Başarısız");
    }
    void runCommand() {
        QFETCH(int, id);
        QFETCH(QStringList, fault);
        QFETCH(QString, frame);
        QFETCH(QString, status);
        SimProcess sim;
        QVERIFY(StartSim(sim, QStringLiteral("RX-B2"), {}, fault));
        TRig rig(*env.fm, QStringLiteral("RX-B2"));
        rig.ops.mnNewClick();
        QCOMPARE(rig.ops.Commands().CurrentValue(), 903);
        if (id) rig.ops.Commands().SetCurrentValue(id);
        QSignalSpy busy(&rig.state, &TOperationState::BusyChanged);
        QSignalSpy cancel(&rig.state, &TOperationState::CancelEnabledChanged);
        rig.ops.mnRunCommandClick();
        QVERIFY(!sim.journalLines().isEmpty());
        QCOMPARE(sim.journalLines().first(), frame);
        QCOMPARE(rig.Status(), status);
        QCOMPARE(busy.size(), 2);
        QCOMPARE(cancel.size(), 0);
        QVERIFY(rig.host.sleeps.isEmpty());
        QVERIFY(rig.Released());
    }
};

QTEST_MAIN(TestOperationsDevice)
#include "tst_operations_device.moc"
