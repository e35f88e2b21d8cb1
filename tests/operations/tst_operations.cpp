// The grid build, the operation guard and the command list, without a device.

#include "OpsRig.h"

#include <QSignalSpy>

using namespace kolva;
using namespace kolva::test;

namespace {

const QString kBusy = QString::fromUtf16(kBusyText);
const QString kBuilding = QStringLiteral("Ayar Listesi Oluşturuluyor");
const QString kBuilt = QStringLiteral("Ayar Listesi Oluşturma işlemi tamamlandı.");

QStringList SampleModels() {
    return {QStringLiteral("RX-B2"),  QStringLiteral("RX-M3"), QStringLiteral("RX-N4"),
            QStringLiteral("RX-A10"), QStringLiteral("RX-E5"), QStringLiteral("RX-Z9")};
}

QString Dec(const QString& text) {
    return QString(text).replace(u'.', DecimalSeparator());
}

} // namespace

class TestOperations : public QObject {
    Q_OBJECT

    TOpsEnv env;

private Q_SLOTS:
    void initTestCase() {
        QString why;
        QVERIFY2(env.Init(&why), qPrintable(why));
    }
    void init() { env.Configure(QStringLiteral("/nonexistent/ttyKOLVA")); }

    // Every sample model: one editor row per catalogue setting row, with its name, tag,
    // caption, editor, value and editability; categories per group; the command list.
    void buildEveryModel_data() {
        QTest::addColumn<QString>("model");
        for (const QString& m : SampleModels())
            QTest::newRow(qPrintable(m)) << m;
    }
    void buildEveryModel() {
        QFETCH(QString, model);
        TRig rig(*env.fm, model);
        rig.ops.mnNewClick();

        const QList<TCatRow> rows = env.Rows(model);
        QVERIFY(!rows.isEmpty());
        QCOMPARE(rig.grid.ModelName(), model);
        QCOMPARE(rig.grid.EditorRowCount(), rows.size());
        QStringList captions, expectedCaptions;
        for (TGridRow* c : rig.grid.Categories())
            captions << c->Caption;
        int group = -1;
        for (const TCatRow& r : rows) {
            if (r.group != group) expectedCaptions << r.groupCaption;
            group = r.group;
            TGridRow* row = rig.Row(r.Name());
            QVERIFY2(row, qPrintable(r.Name()));
            QCOMPARE(row->Caption, r.caption);
            QCOMPARE(row->Tag, r.reg);
            QCOMPARE(row->Parent()->Caption, r.groupCaption);
            QCOMPARE(row->Editable, r.readonly.toInt() != 1);
            QCOMPARE(row->HeaderStyle, THeaderStyle::styleRowHeader);
            const TEditorKind kind = r.type == u"combo"    ? TEditorKind::Combo
                                     : r.type == u"double" ? TEditorKind::SpinFloat
                                     : (r.type == u"integer" || r.type == u"signedint")
                                         ? TEditorKind::SpinInt
                                         : TEditorKind::Text;
            QCOMPARE(row->Editor, kind);
            QCOMPARE(row->ValueText(), kind == TEditorKind::SpinFloat ? Dec(r.def) : r.def);
        }
        QCOMPARE(captions, expectedCaptions);

        QList<int> ids;
        for (const TCatRow& c : env.Rows(model, true))
            ids << c.id;
        QList<int> listed;
        for (const TCommandEntry& e : rig.ops.Commands().Entries())
            listed << e.id;
        QCOMPARE(listed, ids);
        QCOMPARE(rig.ops.Commands().CurrentValue(), ids.last());

        QVERIFY(rig.Released());
        QCOMPARE(rig.host.progressPos, 0);
        QCOMPARE(rig.Status(), kBuilt);
        QVERIFY(rig.Logged(kBuilding));
        QVERIFY(rig.host.errors.isEmpty());
    }

    // Editors, bounds, hints and choices of single rows.
    void rowDetails_data() {
        QTest::addColumn<QString>("model");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("editor");
        QTest::addColumn<QString>("hint");
        QTest::addColumn<double>("lower");
        QTest::addColumn<double>("upper");
        QTest::addColumn<int>("decimals");
        QTest::addColumn<QString>("display");
        QTest::addColumn<QStringList>("choices");
        const int spin = int(TEditorKind::SpinInt), flt = int(TEditorKind::SpinFloat),
                  combo = int(TEditorKind::Combo), text = int(TEditorKind::Text);
        const QStringList none;
        QTest::newRow("integer: hint with limits")
            << "RX-B2"
            << "row_1_5109" << spin << "Ekran arka ışığının parlaklığı\r\nMinimum: 10 Maksimum: 100"
            << 10.0 << 100.0 << 0 << "80" << none;
        QTest::newRow("signedint: hint unchanged")
            << "RX-B2"
            << "row_2_5006" << spin << "Akım ölçümüne eklenen ofset (mA)" << -1000.0 << 1000.0 << 0
            << "0" << none;
        QTest::newRow("double: decimals in format and hint")
            << "RX-E5"
            << "row_2_312" << flt
            << "Gerilim ölçümünün çarpanı\r\nMinimum: 0 Maksimum: 2 Ondalık: 3" << 0.0 << 2.0 << 3
            << Dec("1.000") << none;
        QTest::newRow("integer without bounds: register range")
            << "TEST-SPIN"
            << "row_1_10" << spin << "\r\nMinimum: 0 Maksimum: 0" << 0.0 << 65535.0 << 0 << "7"
            << none;
        QTest::newRow("signedint without bounds: register range")
            << "TEST-SPIN"
            << "row_1_11" << spin << "" << -32768.0 << 32767.0 << 0 << "-7" << none;
        QTest::newRow("combo in angle brackets")
            << "RX-B2"
            << "row_1_5108" << combo << "Menü ve mesajların dili" << 0.0 << 0.0 << 0 << "0. Türkçe"
            << QStringList{"0. Türkçe", "1. English"};
        QTest::newRow("combo: trailing ; and blank choice")
            << "RX-M3"
            << "row_4_134" << combo << "Alarm rölesinin kullanımı" << 0.0 << 0.0 << 0 << "0. Kapalı"
            << QStringList{"0. Kapalı", "1. Açık"};
        QTest::newRow("combo: ':' inside the text")
            << "RX-N4"
            << "row_1_4011" << combo << "Açılışta gösterilen ekran" << 0.0 << 0.0 << 0
            << "0. Mod: Normal"
            << QStringList{"0. Mod: Normal", "1. Mod: Ayrıntılı", "2. Mod: Grafik"};
        QTest::newRow("combo: a choice without ':'")
            << "RX-N4"
            << "row_4_4062" << combo << "Alarm rölesinin kullanımı" << 0.0 << 0.0 << 0 << "1. Açık"
            << QStringList{"0. Kapalı", "1. Açık"};
        QTest::newRow("string") << "RX-B2"
                                << "row_1_5100" << text << "Ekranda ve raporlarda görünen cihaz adı"
                                << 0.0 << 0.0 << 0 << "KOLVA RX-B2" << none;
        QTest::newRow("long: text editor")
            << "RX-B2"
            << "row_2_5008" << text << "Aktif enerji sayacının başlangıç değeri" << 0.0 << 0.0 << 0
            << "0" << none;
    }
    void rowDetails() {
        QFETCH(QString, model);
        QFETCH(QString, name);
        QFETCH(int, editor);
        QFETCH(QString, hint);
        QFETCH(double, lower);
        QFETCH(double, upper);
        QFETCH(int, decimals);
        QFETCH(QString, display);
        QFETCH(QStringList, choices);
        TRig rig(*env.fm, model);
        rig.ops.mnNewClick();
        TGridRow* row = rig.Row(name);
        QVERIFY(row);
        QCOMPARE(int(row->Editor), editor);
        QCOMPARE(row->Hint, hint);
        QCOMPARE(row->DisplayText(), display);
        if (editor == int(TEditorKind::SpinInt) || editor == int(TEditorKind::SpinFloat)) {
            QCOMPARE(row->LowerBound(), lower);
            QCOMPARE(row->UpperBound(), upper);
        }
        if (editor == int(TEditorKind::SpinFloat)) {
            QCOMPARE(row->Decimals, decimals);
            QCOMPARE(row->Step, 0.1);
            QCOMPARE(row->LargeStep, 1.0);
        }
        if (editor == int(TEditorKind::SpinInt)) {
            QCOMPARE(row->Step, 1.0);
            QCOMPARE(row->LargeStep, 10.0);
        }
        QStringList descriptions;
        for (const TChoice& c : row->Choices)
            descriptions << c.description;
        QCOMPARE(descriptions, choices);
    }

    void readOnlyRows() {
        TRig rig(*env.fm, QStringLiteral("RX-B2"));
        rig.ops.mnNewClick();
        QVERIFY(!rig.Row(QStringLiteral("row_6_5050"))->Editable); // readonly 1
        QVERIFY(rig.Row(QStringLiteral("row_3_5023"))->Editable);  // readonly NULL
        QVERIFY(!rig.Edit(QStringLiteral("row_6_5050"), QStringLiteral("5")));
    }

    // Rows arrive in id order; the ids 0..3 of the first category keep them in place.
    void rowOrderFollowsIds() {
        TRig rig(*env.fm, QStringLiteral("RX-B2"));
        rig.ops.mnNewClick();
        TGridRow* first = rig.grid.Categories().first();
        QStringList names;
        for (int i = 0; i < first->ChildCount(); ++i)
            names << first->Child(i)->Name;
        QCOMPARE(names, (QStringList{"row_1_5100", "row_1_5108", "row_1_5109", "row_1_5110"}));
    }

    void collapseOption_data() {
        QTest::addColumn<QString>("option");
        QTest::addColumn<bool>("collapsed");
        QTest::newRow("1") << "1" << true;
        QTest::newRow("0") << "0" << false;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("other text") << "evet" << false;
    }
    void collapseOption() {
        QFETCH(QString, option);
        QFETCH(bool, collapsed);
        IniWrite(QStringLiteral("AYAR"), QStringLiteral("chcollapse"), option);
        TRig rig(*env.fm, QStringLiteral("RX-Z9"));
        rig.ops.mnNewClick();
        const QList<TGridRow*> categories = rig.grid.Categories();
        QVERIFY(!categories.isEmpty());
        for (TGridRow* c : categories)
            QCOMPARE(c->Collapsed, collapsed);
    }

    // Ctrl held as a build starts inverts the alarm filter; without Ctrl it stays.
    void alarmGroupToggle() {
        TRig rig(*env.fm, QStringLiteral("RX-M3"));
        const QString alarmRow = QStringLiteral("row_4_130"); // group "ALARM AYARLARI"
        rig.host.ctrl = true;
        rig.ops.mnNewClick();
        QVERIFY(rig.state.HideAlarmGroups());
        QVERIFY(!rig.Row(alarmRow));
        QVERIFY(rig.Row(QStringLiteral("row_3_120")));
        rig.host.ctrl = false;
        rig.ops.mnNewClick();
        QVERIFY(!rig.Row(alarmRow));
        rig.host.ctrl = true;
        rig.ops.mnNewClick();
        QVERIFY(!rig.state.HideAlarmGroups());
        QVERIFY(rig.Row(alarmRow));

        // A group without caption is left out too.
        rig.ops.SetDeviceText(QStringLiteral("RX-N4"));
        rig.ops.mnNewClick();
        QVERIFY(rig.state.HideAlarmGroups());
        QVERIFY(!rig.Row(QStringLiteral("row_6_4100")));
        QVERIFY(!rig.Row(QStringLiteral("row_4_4060")));
        QVERIFY(rig.Row(QStringLiteral("row_5_4080")));
    }

    // 120 rows: events are processed once after clearing, then after rows 50 and 100 only.
    void eventsEveryFiftyRows() {
        TRig rig(*env.fm, QStringLiteral("BENCH-120"));
        QCOMPARE(env.Rows(QStringLiteral("BENCH-120")).size(), 120);
        rig.ops.mnNewClick();
        QCOMPARE(rig.grid.EditorRowCount(), 120);
        QCOMPARE(rig.host.processEventsAtPos, (QList<int>{0, 50, 100}));
        QCOMPARE(rig.host.progressMax, 120);
    }

    // Iptal during a build: the rows so far stay, the command list keeps its content, the
    // closing message still comes and the guard is released.
    void cancelDuringBuild() {
        TRig rig(*env.fm, QStringLiteral("RX-B2"));
        rig.ops.mnNewClick();
        const QList<TCommandEntry> before = rig.ops.Commands().Entries();
        const int chosen = rig.ops.Commands().CurrentValue();
        QVERIFY(!before.isEmpty());

        rig.ops.SetDeviceText(QStringLiteral("BENCH-120"));
        rig.host.onProcessEvents = [&] {
            if (rig.host.progressPos == 50) rig.ops.mnCancelClick();
        };
        QSignalSpy busy(&rig.state, &TOperationState::BusyChanged);
        QSignalSpy cancel(&rig.state, &TOperationState::CancelEnabledChanged);
        rig.ops.mnNewClick();
        QCOMPARE(rig.grid.EditorRowCount(), 50);
        QCOMPARE(rig.grid.ModelName(), QStringLiteral("BENCH-120"));
        QCOMPARE(rig.ops.Commands().Entries().size(), before.size());
        QCOMPARE(rig.ops.Commands().CurrentValue(), chosen);
        QCOMPARE(rig.Status(), kBuilt);
        QVERIFY(rig.Released());
        QVERIFY(rig.ops.LastResult().cancelled);
        QCOMPARE(busy.size(), 2); // raised, released
        QCOMPARE(cancel.size(), 2);
        QCOMPARE(cancel.at(0).at(0).toBool(), true);
    }

    // A repeated row key: the later row is skipped with an error line, the build goes on.
    void duplicateKeySkipped() {
        TRig rig(*env.fm, QStringLiteral("TEST-DUP"));
        rig.ops.mnNewClick();
        QCOMPARE(rig.grid.EditorRowCount(), 3);
        QCOMPARE(rig.Row(QStringLiteral("row_1_10"))->Caption, QStringLiteral("Bir"));
        QCOMPARE(rig.Row(QStringLiteral("row_1_10"))->ValueText(), QStringLiteral("1"));
        QVERIFY(rig.Row(QStringLiteral("row_1_12")));
        bool logged = false;
        for (const QString& line : rig.log.Lines())
            logged |= line.contains(QStringLiteral("Bir Tekrar")) &&
                      line.contains(TLog::LevelLabel(TLog::lvERROR));
        QVERIFY(logged);
        QCOMPARE(rig.Status(), kBuilt);
        QVERIFY(rig.host.errors.isEmpty());
    }

    // A row that cannot be converted ends the build with a message naming it; the rows
    // before it stay and the guard is released.
    void conversionErrorEndsBuild() {
        TRig rig(*env.fm, QStringLiteral("RX-B2"));
        rig.ops.mnNewClick();
        const int commands = rig.ops.Commands().Count();
        rig.ops.SetDeviceText(QStringLiteral("TEST-BAD"));
        rig.ops.mnNewClick();
        QCOMPARE(rig.host.errors.size(), 1);
        QVERIFY2(rig.host.errors[0].contains(QStringLiteral("Bozuk Ayar")),
                 qPrintable(rig.host.errors[0]));
        QCOMPARE(rig.grid.EditorRowCount(), 2);
        QVERIFY(!rig.Row(QStringLiteral("row_1_13")));
        QVERIFY(rig.Released());
        QVERIFY(rig.ops.LastResult().failed);
        QCOMPARE(rig.ops.Commands().Count(), commands);
        // The guard is free for the next command.
        rig.ops.SetDeviceText(QStringLiteral("RX-Z9"));
        rig.ops.mnNewClick();
        QCOMPARE(rig.Status(), kBuilt);
    }

    // Errors that escape an operation: released guard, closed link, one error box.
    void escapedErrorsRelease_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("configIsFolder");
        QTest::addColumn<QString>("errorPart");
        QTest::newRow("write: address not a number") << "write"
                                                     << "abc" << false << "abc";
        QTest::newRow("write: address out of range") << "writeAll"
                                                     << "300" << false << "300";
        QTest::newRow("read: configuration cannot be written") << "read"
                                                               << "1" << true << ".ini";
        QTest::newRow("command: register not a number") << "command"
                                                        << "1" << false << "x12";
    }
    void escapedErrorsRelease() {
        QFETCH(QString, command);
        QFETCH(QString, address);
        QFETCH(bool, configIsFolder);
        QFETCH(QString, errorPart);
        const bool cmd = command == u"command";
        TRig rig(*env.fm, cmd ? QStringLiteral("TEST-SPIN") : QStringLiteral("RX-Z9"), address);
        rig.ops.mnNewClick();
        if (configIsFolder) {
            QFile::remove(paths::ConfigFile());
            QVERIFY(QDir().mkpath(paths::ConfigFile()));
        }
        if (command == u"read") rig.ops.mnReadClick();
        if (command == u"write") rig.ops.mnWriteClick();
        if (command == u"writeAll") rig.ops.mnWriteAllClick();
        if (cmd) {
            QVERIFY(rig.ops.Commands().CurrentValue() > 0);
            rig.ops.mnRunCommandClick();
        }
        if (configIsFolder) QDir(paths::ConfigFile()).removeRecursively();
        QCOMPARE(rig.host.errors.size(), 1);
        QVERIFY2(rig.host.errors[0].contains(errorPart), qPrintable(rig.host.errors[0]));
        QVERIFY(rig.Released());
        QVERIFY(!rig.Logged(QStringLiteral("CONNECT")));
        QVERIFY(rig.ops.LastResult().failed);
    }

    // While Busy, every guarded command shows the busy text and changes nothing.
    void busyRefusal_data() {
        QTest::addColumn<QString>("command");
        for (const char* c : {"new", "read", "write", "writeAll", "command"})
            QTest::newRow(c) << QString::fromLatin1(c);
    }
    void busyRefusal() {
        QFETCH(QString, command);
        TRig rig(*env.fm, QStringLiteral("RX-Z9"));
        rig.ops.Commands().BeginUpdate();
        rig.ops.Commands().Add(5016, QStringLiteral("Komut"));
        rig.ops.Commands().EndUpdate();
        rig.ops.Commands().SetCurrentValue(5016);
        rig.state.SetBusy(true);
        QFile::remove(paths::ConfigFile());
        if (command == u"new") rig.ops.mnNewClick();
        if (command == u"read") rig.ops.mnReadClick();
        if (command == u"write") rig.ops.mnWriteClick();
        if (command == u"writeAll") rig.ops.mnWriteAllClick();
        if (command == u"command") rig.ops.mnRunCommandClick();
        QCOMPARE(rig.Status(), kBusy);
        QCOMPARE(rig.StatusTexts().size(), 1);
        QVERIFY(rig.state.Busy());
        QVERIFY(rig.host.confirms.isEmpty());
        QCOMPARE(rig.grid.EditorRowCount(), 0);
        QVERIFY(!QFile::exists(paths::ConfigFile()));
    }

    // User edits mark a row changed: italic header, negated tag; again leaves it so.
    void editsMarkRows() {
        TRig rig(*env.fm, QStringLiteral("RX-B2"));
        rig.ops.mnNewClick();
        const QString name = QStringLiteral("row_1_5109");
        QVERIFY(rig.Edit(name, 55));
        TGridRow* row = rig.Row(name);
        QCOMPARE(row->Tag, -5109);
        QCOMPARE(row->HeaderStyle, THeaderStyle::styleRowHeaderChanged);
        QVERIFY(rig.Edit(name, 56));
        QCOMPARE(row->Tag, -5109);
        rig.ops.EditValueChanged(row);
        QCOMPARE(row->Tag, -5109);
        // A new build clears marks and edited values.
        rig.ops.mnNewClick();
        row = rig.Row(name);
        QCOMPARE(row->Tag, 5109);
        QCOMPARE(row->ValueText(), QStringLiteral("80"));
    }

    // Writing needs a grid built for the selected model.
    void writeNeedsGridOfModel_data() {
        QTest::addColumn<bool>("build");
        QTest::newRow("no grid") << false;
        QTest::newRow("grid of another model") << true;
    }
    void writeNeedsGridOfModel() {
        QFETCH(bool, build);
        TRig rig(*env.fm, QStringLiteral("RX-Z9"));
        if (build) rig.ops.mnNewClick();
        rig.ops.SetDeviceText(QStringLiteral("RX-E5"));
        rig.ops.mnWriteAllClick();
        QCOMPARE(rig.host.messages,
                 QStringList{QStringLiteral("Öncelikle cihaz için ayarları listeletip, "
                                            "değişiklikleri yapmanız gerekmektedir.")});
        QVERIFY(!rig.Logged(QStringLiteral("CONNECT")));
        QVERIFY(rig.Released());
        // The handler stored the selection before the write refused.
        QCOMPARE(IniRead(QStringLiteral("AYAR"), QStringLiteral("Device"), QString()),
                 QStringLiteral("RX-E5"));
    }

    void confirmationNo_data() {
        QTest::addColumn<bool>("all");
        QTest::newRow("Yaz") << true;
        QTest::newRow("Degisiklikleri Yaz") << false;
    }
    void confirmationNo() {
        QFETCH(bool, all);
        TRig rig(*env.fm, QStringLiteral("RX-Z9"));
        rig.ops.mnNewClick();
        QFile::remove(paths::ConfigFile());
        rig.host.confirmAnswers = {false};
        all ? rig.ops.mnWriteClick() : rig.ops.mnWriteAllClick();
        QCOMPARE(rig.host.confirms,
                 QStringList{all ? QStringLiteral("Tüm ayarların cihaza gönderilmesini "
                                                  "istiyormusunuz?")
                                 : QStringLiteral("Yapılan değişikliklerin cihaza "
                                                  "gönderilmesini istiyormusunuz?")});
        QVERIFY(!QFile::exists(paths::ConfigFile()));
        QVERIFY(rig.Released());
    }

    void commandListWithoutCommands() {
        TRig rig(*env.fm, QStringLiteral("TEST-DUP"));
        rig.ops.mnNewClick();
        QCOMPARE(rig.ops.Commands().Count(), 0);
        QCOMPARE(rig.ops.Commands().CurrentValue(), 0);
        rig.ops.mnRunCommandClick(); // does nothing
        QCOMPARE(rig.Status(), kBuilt);
        QVERIFY(rig.host.errors.isEmpty());
    }

    void saveCommand_data() {
        QTest::addColumn<QString>("model");
        QTest::addColumn<int>("reg");
        QTest::addColumn<QString>("logLine");
        const QString one = QStringLiteral("Save Settings Command (1)");
        const QString other = QStringLiteral("Save Settings Command (65001)");
        QTest::newRow("RX-B2") << "RX-B2" << 5007 << "";
        QTest::newRow("RX-B2 only exactly") << "RX-B2S" << 65001 << other;
        QTest::newRow("RX-N4") << "RX-N4" << 5201 << "";
        QTest::newRow("contains RX-A1") << "RX-A10" << 5201 << "";
        QTest::newRow("RX-M3") << "RX-M3" << 1 << one;
        QTest::newRow("RX-E5") << "RX-E5" << 1 << one;
        QTest::newRow("contains RX-L2") << "X-RX-L2" << 1 << one;
        QTest::newRow("outside the table") << "RX-Z9" << 65001 << other;
    }
    void saveCommand() {
        QFETCH(QString, model);
        QFETCH(int, reg);
        QFETCH(QString, logLine);
        const TSaveCommand save = SaveCommandFor(model);
        QCOMPARE(save.reg, reg);
        QCOMPARE(save.logLine, logLine);
    }

    // The configuration's last model and address come back, the model list is the
    // catalogue's.
    void selectorsRestored() {
        IniWrite(QStringLiteral("AYAR"), QStringLiteral("Device"), QStringLiteral("RX-E5"));
        IniWrite(QStringLiteral("AYAR"), QStringLiteral("Address"), QStringLiteral("17"));
        TRig rig(*env.fm, QString());
        QSignalSpy changed(&rig.ops, &TDeviceOperations::DeviceTextChanged);
        rig.ops.RestoreSelection();
        rig.ops.FillModelList();
        QCOMPARE(rig.ops.DeviceText(), QStringLiteral("RX-E5"));
        QCOMPARE(rig.ops.AddressText(), QStringLiteral("17"));
        QCOMPARE(changed.size(), 1);
        QVERIFY(rig.ops.ModelList().contains(QStringLiteral("RX-B2")));
        QVERIFY(rig.ops.ModelList().contains(QStringLiteral("BENCH-120")));
    }
};

QTEST_MAIN(TestOperations)
#include "tst_operations.moc"
