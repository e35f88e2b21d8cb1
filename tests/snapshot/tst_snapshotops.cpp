// "Kaydet" and "Aç" on the core: grid, catalogue, guard and snapshot file together.
#include "CoreFixture.h"

#include "operations/SnapshotOps.h"
#include "snapshot/Snapshot.h"

#include <QFile>
#include <QLocale>
#include <QSignalSpy>
#include <QtTest>

using namespace kolva;
using kolva::test::Core;

namespace {

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void WriteAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

auto Pick(const QString& file) {
    return [file] { return file; };
}

QString Status(const Core& core) {
    return core.log.StatusText();
}

} // namespace

class TstSnapshotOps : public QObject {
    Q_OBJECT
private slots:
    void init() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    void cleanupTestCase() { QLocale::setDefault(QLocale::system()); }

    void saveWritesGridValuesInQueryOrder_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QByteArray>("decimal");
        QTest::newRow("point") << "en_US" << QByteArray("2.25");
        QTest::newRow("comma") << "tr_TR" << QByteArray("2,25");
    }
    void saveWritesGridValuesInQueryOrder() {
        QFETCH(QString, locale);
        QFETCH(QByteArray, decimal);
        QLocale::setDefault(QLocale(locale));
        Core core;
        core.Build("T-1");
        core.grid.SetValue(core.Row("1_100"), 42);
        core.grid.SetValue(core.Row("1_101"), 2.25);
        core.grid.SetValue(core.Row("2_200"), 2);
        core.grid.SetValue(core.Row("2_201"), QStringLiteral("Çığ"));
        const QString file = core.File("t1.ini");
        mnSaveClick(*core.ops, Pick(file));
        QCOMPARE(ReadAll(file), "[DEVICE]\r\ndevice_name=T-1\r\n"
                                "[Group_1]\r\nSetting_1_100=42\r\nSetting_1_101=" +
                                    decimal +
                                    "\r\n"
                                    "[Group_2]\r\nSetting_2_200=2\r\nSetting_2_201=\xC7\xFD\xF0\r\n"
                                    "[Group_3]\r\nSetting_3_300=7\r\n");
        QCOMPARE(Status(core), QStringLiteral("Dosyaya ayar kayıt işlemi tamamlandı."));
        QVERIFY(core.log.Lines().filter("Ayarlar dosyaya kaydediliyor.").size() == 1);
        QVERIFY(!core.state.Busy());
        QVERIFY(!core.state.CancelEnabled());
        QCOMPARE(core.host.progressPos, 5);
        QVERIFY(core.host.errors.isEmpty());
    }

    void saveThenOpenRestoresValuesAndKeepsFile() {
        Core core;
        core.Build("T-1");
        core.grid.SetValue(core.Row("1_100"), 42);
        core.grid.SetValue(core.Row("2_201"), QString());
        const QString file = core.File("round.ini");
        mnSaveClick(*core.ops, Pick(file));
        const QByteArray saved = ReadAll(file);

        core.grid.SetValue(core.Row("1_100"), 1);
        core.grid.SetValue(core.Row("2_201"), QStringLiteral("x"));
        core.grid.EditValueChanged(core.Row("1_100"));
        QSignalSpy rebuilt(&core.grid, &QAbstractItemModel::modelReset);
        mnOpenClick(*core.ops, Pick(file));
        QCOMPARE(rebuilt.count(), 0);
        QCOMPARE(core.Row("1_100")->ValueText(), QStringLiteral("42"));
        QCOMPARE(core.Row("1_101")->ValueText(), QStringLiteral("2"));
        QCOMPARE(core.Row("2_200")->ValueText(), QStringLiteral("1"));
        QCOMPARE(core.Row("2_201")->ValueText(), QString());
        QVERIFY(core.Row("1_100")->Tag < 0); // loading leaves the changed marks alone
        QCOMPARE(ReadAll(file), saved);
        QCOMPARE(Status(core), QStringLiteral("Dosyadan ayar okuma işi tamamlandı."));
        QVERIFY(core.log.Lines().filter("Ayarlar dosyadan okunuyor.").size() == 1);
        QVERIFY(!core.state.Busy());
    }

    void saveOverFileKeepsNothingOld() {
        Core core;
        core.Build("RX-B2");
        const QString file = core.File("over.ini");
        WriteAll(file, "[DEVICE]\r\ndevice_name=T-1\r\n[Group_9]\r\nSetting_9_1=5\r\n");
        mnSaveClick(*core.ops, Pick(file));
        TSnapshotReader reader(file);
        QCOMPARE(reader.Ini().Sections(), (QStringList{"DEVICE", "Group_1"}));
        QCOMPARE(reader.Ini().Keys("Group_1"), (QStringList{"Setting_1_5100", "Setting_1_5108"}));
    }

    void openSwitchesModel_data() {
        QTest::addColumn<QString>("gridModel");
        QTest::addColumn<QString>("selector");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("expectedModel");
        QTest::addColumn<bool>("rebuild");
        const QByteArray rx = "[DEVICE]\r\ndevice_name=RX-B2\r\n[Group_1]\r\nSetting_1_5100=Pano "
                              "3\r\nSetting_1_5108=1\r\n";
        QTest::newRow("file of another model") << "T-1"
                                               << "T-1" << rx << "RX-B2" << true;
        QTest::newRow("grid's model, selector moved on") << "RX-B2"
                                                         << "T-1" << rx << "T-1" << false;
        QTest::newRow("no DEVICE section opens as RX-B2")
            << "T-1"
            << "T-1" << QByteArray("[Group_1]\r\nSetting_1_5100=Pano 3\r\nSetting_1_5108=1\r\n")
            << "RX-B2" << true;
        QTest::newRow("empty grid") << ""
                                    << "T-1" << rx << "RX-B2" << true;
    }
    void openSwitchesModel() {
        QFETCH(QString, gridModel);
        QFETCH(QString, selector);
        QFETCH(QByteArray, content);
        QFETCH(QString, expectedModel);
        QFETCH(bool, rebuild);
        Core core;
        if (!gridModel.isEmpty()) core.Build(gridModel);
        core.ops->SetDeviceText(selector);
        const QString file = core.File("switch.ini");
        WriteAll(file, content);
        QSignalSpy resets(&core.grid, &QAbstractItemModel::modelReset);
        mnOpenClick(*core.ops, Pick(file));
        QCOMPARE(resets.count() > 0, rebuild);
        QCOMPARE(core.grid.ModelName(), QStringLiteral("RX-B2"));
        QCOMPARE(core.ops->DeviceText(), expectedModel);
        QCOMPARE(core.Row("1_5100")->ValueText(), QStringLiteral("Pano 3"));
        QCOMPARE(core.Row("1_5108")->ValueText(), QStringLiteral("1"));
        TSnapshotReader after(core.File("switch.ini"));
        bool found = false;
        QCOMPARE(after.Entry("DEVICE", "device_name"), QString()); // section name is not a group
        QCOMPARE(after.Ini().Read("DEVICE", "device_name", &found), QStringLiteral("RX-B2"));
        QVERIFY(found);
    }

    void openAppliesValueRules() {
        // Letters in a numeric entry load as 0, an empty text entry as empty text, and every
        // missing entry is written back empty.
        Core core;
        core.Build("T-1");
        const QString file = core.File("rules.ini");
        WriteAll(file, "[DEVICE]\r\ndevice_name=T-1\r\n[Group_1]\r\nSetting_1_100=abc\r\n"
                       "Setting_1_101=1,5\r\n[Group_2]\r\nSetting_2_201=\r\n");
        mnOpenClick(*core.ops, Pick(file));
        QCOMPARE(core.Row("1_100")->ValueText(), QStringLiteral("0"));
        QCOMPARE(core.Row("1_101")->ValueText(), QStringLiteral("0"));
        QCOMPARE(core.Row("2_200")->ValueText(), QStringLiteral("0"));
        QCOMPARE(core.Row("2_201")->ValueText(), QString());
        QCOMPARE(core.Row("3_300")->ValueText(), QStringLiteral("0"));
        QCOMPARE(ReadAll(file),
                 QByteArray("[DEVICE]\r\ndevice_name=T-1\r\n[Group_1]\r\nSetting_1_100=abc\r\n"
                            "Setting_1_101=1,5\r\n[Group_2]\r\nSetting_2_201=\r\n"
                            "Setting_2_200=\r\n[Group_3]\r\nSetting_3_300=\r\n"));
    }

    void openReadOnlyFile() {
        Core core;
        core.Build("T-1");
        const QString file = core.File("ro.ini");
        const QByteArray content(
            "[DEVICE]\r\ndevice_name=T-1\r\n[Group_1]\r\nSetting_1_100=77\r\n");
        WriteAll(file, content);
        QFile::setPermissions(file, QFile::ReadOwner | QFile::ReadGroup);
        mnOpenClick(*core.ops, Pick(file));
        QCOMPARE(core.Row("1_100")->ValueText(), QStringLiteral("77"));
        QVERIFY(core.host.errors.isEmpty());
        QCOMPARE(ReadAll(file), content);
        QCOMPARE(Status(core), QStringLiteral("Dosyadan ayar okuma işi tamamlandı."));
        QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner);
    }

    void openRefusesUnknownModel_data() {
        QTest::addColumn<QString>("model");
        QTest::newRow("misspelled") << "T-2";
        QTest::newRow("quotes and SQL") << "T-1' OR '1'='1\"; DROP TABLE settings;--";
    }
    void openRefusesUnknownModel() {
        QFETCH(QString, model);
        Core core;
        core.Build("T-1");
        core.grid.SetValue(core.Row("1_100"), 9);
        const QString file = core.File("unknown.ini");
        {
            TSnapshotWriter writer(file, model);
            writer.Add("1", "1_100", "1");
            writer.Commit();
        }
        const QByteArray before = ReadAll(file);
        QSignalSpy resets(&core.grid, &QAbstractItemModel::modelReset);
        mnOpenClick(*core.ops, Pick(file));
        QCOMPARE(resets.count(), 0);
        QCOMPARE(core.grid.ModelName(), QStringLiteral("T-1"));
        QCOMPARE(core.ops->DeviceText(), QStringLiteral("T-1"));
        QCOMPARE(core.Row("1_100")->ValueText(), QStringLiteral("9"));
        QCOMPARE(core.host.messages.size(), 1);
        QVERIFY(core.host.messages.first().contains(model));
        QCOMPARE(Status(core), core.host.messages.first());
        QCOMPARE(ReadAll(file), before);
        QVERIFY(!core.state.Busy());
        QCOMPARE(core.ops->ModelList(), (QStringList{"BIG", "RX-B2", "T-1"}));
    }

    void badFilesGiveAMessage_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("binary") << QByteArray("\x7f"
                                              "ELF\x02\x01\x01\0\0\0",
                                              10);
        QTest::newRow("absurd line") << "[DEVICE]\r\ndevice_name=" + QByteArray(100000, 'x');
    }
    void badFilesGiveAMessage() {
        QFETCH(QByteArray, content);
        Core core;
        core.Build("T-1");
        const QString file = core.File("bad.ini");
        WriteAll(file, content);
        mnOpenClick(*core.ops, Pick(file));
        QCOMPARE(core.host.errors.size(), 1);
        QVERIFY(core.host.errors.first().contains("bad.ini"));
        QVERIFY(!core.state.Busy());
        QVERIFY(!core.state.CancelEnabled());
        QCOMPARE(ReadAll(file), content);
        QCOMPARE(core.grid.ModelName(), QStringLiteral("T-1"));
    }

    void saveToReadOnlyTargetKeepsIt() {
        Core core;
        core.Build("T-1");
        const QString file = core.File("locked.ini");
        const QByteArray content("[DEVICE]\r\ndevice_name=RX-B2\r\n");
        WriteAll(file, content);
        QFile::setPermissions(file, QFile::ReadOwner);
        mnSaveClick(*core.ops, Pick(file));
        QCOMPARE(core.host.errors.size(), 1);
        QVERIFY(core.host.errors.first().startsWith("Unable to write to"));
        QCOMPARE(ReadAll(file), content);
        QVERIFY(!core.state.Busy());
        QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner);
    }

    void guardEntry_data() {
        QTest::addColumn<bool>("save");
        QTest::newRow("Kaydet") << true;
        QTest::newRow("Aç") << false;
    }
    void guardEntry() {
        QFETCH(bool, save);
        Core core;
        core.Build("T-1");
        const QString file = core.File("guard.ini");
        WriteAll(file, "[DEVICE]\r\ndevice_name=T-1\r\n");
        auto run = [&](const std::function<QString()>& ask) {
            save ? mnSaveClick(*core.ops, ask) : mnOpenClick(*core.ops, ask);
        };

        // Busy: the busy text, and no dialog
        core.state.SetBusy(true);
        core.state.SetCancelRequested(true);
        int asked = 0;
        run([&] {
            ++asked;
            return file;
        });
        QCOMPARE(asked, 0);
        QCOMPARE(Status(core), QString::fromUtf16(kBusyText));
        QVERIFY(core.state.CancelRequested());
        core.state.SetBusy(false);

        // The dialog is shown with CancelRequested cleared and the guard not yet taken;
        // cancelling it does nothing else.
        const QByteArray before = ReadAll(file);
        run([&] {
            [&] {
                QVERIFY(!core.state.CancelRequested());
                QVERIFY(!core.state.Busy());
            }();
            return QString();
        });
        QVERIFY(!core.state.Busy());
        QCOMPARE(ReadAll(file), before);
        QCOMPARE(Status(core), QString::fromUtf16(kBusyText));
    }

    void openOfMissingFileDoesNothing() {
        Core core;
        core.Build("T-1");
        mnOpenClick(*core.ops, Pick(core.File("absent.ini")));
        QVERIFY(!QFile::exists(core.File("absent.ini")));
        QCOMPARE(core.host.progressPos, 0);
        QVERIFY(core.host.errors.isEmpty());
    }

    void iptalDuringSaveKeepsRowsSoFar() {
        Core core;
        core.Build("BIG");
        core.host.progressPos = 0;
        core.host.onProcessEvents = [&] {
            if (core.state.Busy()) core.state.mnCancelClick();
        };
        const QString file = core.File("cancel.ini");
        mnSaveClick(*core.ops, Pick(file));
        TSnapshotReader reader(file);
        QCOMPARE(reader.DeviceName(), QStringLiteral("BIG"));
        QCOMPARE(reader.Ini().Keys("Group_1").size(), 50);
        QCOMPARE(core.host.processEventsAtPos.last(), 50);
        QCOMPARE(Status(core), QStringLiteral("Dosyaya ayar kayıt işlemi tamamlandı."));
        QVERIFY(!core.state.Busy());
    }

    void ctrlTogglesAlarmGroups() {
        Core core;
        core.Build("T-1");
        core.host.ctrl = true;
        const QString file = core.File("ctrl.ini");
        mnSaveClick(*core.ops, Pick(file));
        QVERIFY(core.state.HideAlarmGroups());
        QVERIFY(!TSnapshotReader(file).Ini().HasSection("Group_3"));
        // Aç on a file of the grid's model toggles it back, and the alarm group loads again
        core.grid.SetValue(core.Row("3_300"), 55);
        WriteAll(file, "[DEVICE]\r\ndevice_name=T-1\r\n[Group_3]\r\nSetting_3_300=12\r\n");
        mnOpenClick(*core.ops, Pick(file));
        QVERIFY(!core.state.HideAlarmGroups());
        QCOMPARE(core.Row("3_300")->ValueText(), QStringLiteral("12"));
    }

    void saveSkipsSettingsWithoutGridRow() {
        // The selector shows another model than the grid: nothing of the grid belongs to it.
        Core core;
        core.Build("T-1");
        core.ops->SetDeviceText("RX-B2");
        const QString file = core.File("mismatch.ini");
        mnSaveClick(*core.ops, Pick(file));
        QCOMPARE(ReadAll(file), QByteArray("[DEVICE]\r\ndevice_name=RX-B2\r\n"));
        QCOMPARE(core.log.Lines().filter("ERROR").filter("row_1_5100").size(), 1);
        QCOMPARE(Status(core), QStringLiteral("Dosyaya ayar kayıt işlemi tamamlandı."));
    }
};

QTEST_GUILESS_MAIN(TstSnapshotOps)
#include "tst_snapshotops.moc"
