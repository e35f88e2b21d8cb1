// The desktop windows: start-up, toolbar, status bar, Terminal page, settings dialog, About
// box and help. Every file goes to a scratch folder; boxes go to a scripted Host.

#include "FakeHost.h"

#include "catalogue/Module.h"
#include "config/Ini.h"
#include "config/Paths.h"
#include "editor/SettingsGrid.h"
#include "link/Link.h"
#include "link/Log.h"
#include "operations/Operations.h"
#include "shell/About.h"
#include "shell/Main.h"
#include "shell/Maker.h"
#include "shell/QtHost.h"
#include "shell/Settings.h"
#include "shell/Skin.h"
#include "shell/Version.h"
#include "shell/grid/GridView.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QWidgetAction>

#include <memory>

using namespace kolva;
using kolva::test::FakeHost;

// Receives the help page address instead of a browser.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public Q_SLOTS:
    void open(const QUrl& url) { urls << url; }
};

class TestShell : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> dir_;
    QString catalogue_;

    QString ScratchFile(const QString& name) const { return dir_->filePath(name); }
    QString ConfigText() const {
        QFile file(paths::ConfigFile());
        return file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readAll()) : QString();
    }
    // Keys of the configuration file in file order, as "SECTION/key".
    QStringList ConfigKeys() const {
        QStringList keys;
        QString section;
        for (QString line : ConfigText().split(QRegularExpression(QStringLiteral("\r?\n")))) {
            line = line.trimmed();
            if (line.startsWith(QLatin1Char('[')))
                section = line.mid(1, line.size() - 2);
            else if (line.contains(QLatin1Char('=')))
                keys << section + QLatin1Char('/') + line.section(QLatin1Char('='), 0, 0);
        }
        return keys;
    }
    void UseCatalogue(bool present) {
        QFile::remove(ScratchFile(QStringLiteral("db.sqlite")));
        if (present) QVERIFY(QFile::copy(catalogue_, ScratchFile(QStringLiteral("db.sqlite"))));
    }
    QString ScreenshotDir() const {
        const QString dir = QDir(qEnvironmentVariable("KOLVA_BIN_DIR"))
                                .absoluteFilePath(QStringLiteral("../screenshots"));
        QDir().mkpath(dir);
        return QDir::cleanPath(dir);
    }
    // Main window over a fresh scratch folder.
    struct Window {
        FakeHost host;
        Tfm fm;
        std::unique_ptr<TfMain> main;
        Window() { main = std::make_unique<TfMain>(fm, &host); }
    };

private Q_SLOTS:
    void initTestCase() {
        ApplySkin(*qApp);
        catalogue_ =
            QDir(qEnvironmentVariable("KOLVA_BIN_DIR")).filePath(QStringLiteral("db.sqlite"));
        QVERIFY2(QFile::exists(catalogue_), qPrintable(catalogue_));
    }

    void init() {
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(dir_->isValid());
        paths::SetExecutableOverride(ScratchFile(QStringLiteral("kolva-ayar")));
        paths::SetDataDirOverride(dir_->path());
        paths::SetCatalogueOverride(ScratchFile(QStringLiteral("db.sqlite")));
        UseCatalogue(true);
    }

    void cleanup() {
        paths::SetExecutableOverride(QString());
        paths::SetDataDirOverride(QString());
        paths::SetCatalogueOverride(QString());
        dir_.reset();
    }

    // --- Start-up --------------------------------------------------------------------------

    void startup_data() {
        QTest::addColumn<QByteArray>("catalogue"); // "copy", "missing", "garbage"
        QTest::addColumn<QString>("storedDevice");
        QTest::newRow("catalogue") << QByteArray("copy") << QString();
        QTest::newRow("stored model restored") << QByteArray("copy") << QStringLiteral("RX-B2");
        QTest::newRow("missing catalogue") << QByteArray("missing") << QString();
        QTest::newRow("not a catalogue") << QByteArray("garbage") << QString();
    }
    void startup() {
        QFETCH(QByteArray, catalogue);
        QFETCH(QString, storedDevice);
        UseCatalogue(catalogue == "copy");
        if (catalogue == "garbage") {
            QFile file(ScratchFile(QStringLiteral("db.sqlite")));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("this is no database\n");
        }
        if (!storedDevice.isEmpty()) {
            IniWrite(QStringLiteral("AYAR"), QStringLiteral("Device"), storedDevice);
            IniWrite(QStringLiteral("AYAR"), QStringLiteral("Address"), QStringLiteral("17"));
        }
        Window w;
        w.main->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.main.get()));
        QCOMPARE(w.main->PC1->currentIndex(), 0);
        QVERIFY(!w.main->state().Busy());

        if (catalogue != "copy") {
            QCOMPARE(w.host.errors.size(), 1);
            QCOMPARE(w.main->mnDevice->count(), 0);
            QVERIFY(!ConfigKeys().contains(QStringLiteral("AYAR/Device")));
            return;
        }
        QVERIFY2(w.host.errors.isEmpty(), qPrintable(w.host.errors.join('\n')));
        const QStringList models = ModelList();
        QVERIFY(!models.isEmpty());
        QCOMPARE(w.main->mnDevice->count(), models.size());
        for (int i = 1; i < w.main->mnDevice->count(); ++i)
            QVERIFY(w.main->mnDevice->itemText(i - 1).compare(w.main->mnDevice->itemText(i),
                                                              Qt::CaseInsensitive) <= 0);
        const QString device =
            IniRead(QStringLiteral("AYAR"), QStringLiteral("Device"), QStringLiteral("?"));
        const QString address =
            IniRead(QStringLiteral("AYAR"), QStringLiteral("Address"), QStringLiteral("?"));
        QCOMPARE(w.main->mnDevice->currentText(), device);
        QCOMPARE(w.main->mnAddress->currentText(), address);
        QCOMPARE(w.main->ops().DeviceText(), device);
        QCOMPARE(w.main->ops().AddressText(), address);
        if (!storedDevice.isEmpty()) QCOMPARE(address, QStringLiteral("17"));
        QCOMPARE(ConfigKeys().mid(0, 2),
                 QStringList({QStringLiteral("AYAR/Device"), QStringLiteral("AYAR/Address")}));
        QVERIFY(w.fm.HasWritecmd());
    }

    void caption() {
        Window w;
        QCOMPARE(w.main->windowTitle(),
                 QStringLiteral("KOLVA Ayar Sihirbazi    V: ") +
                     GetFileVersionText(QCoreApplication::applicationFilePath()));
        QVERIFY(w.main->windowTitle().endsWith(QStringLiteral(KOLVA_VERSION_TEXT)));
        QCOMPARE(GetFileVersionText(ScratchFile(QStringLiteral("no-such-file"))),
                 QStringLiteral("?.?.?"));
        QCOMPARE(w.main->centralWidget()->parentWidget(), w.main.get());
        QCOMPARE(w.main->size(), QSize(1008, 561));
    }

    // --- Toolbar ---------------------------------------------------------------------------

    void toolbar() {
        Window w;
        TfMain& m = *w.main;
        QVERIFY(!m.barMain->isMovable());
        QVERIFY(!m.barMain->isFloatable());

        // Items left to right: actions by caption, widgets by object name or label text.
        QStringList items;
        for (QAction* action : m.barMain->actions()) {
            if (action->isSeparator())
                items << QStringLiteral("|");
            else if (auto* wa = qobject_cast<QWidgetAction*>(action)) {
                QWidget* widget = m.barMain->widgetForAction(wa);
                auto* label = qobject_cast<QLabel*>(widget);
                items << (label ? label->text() : widget->objectName());
            } else if (QWidget* widget = m.barMain->widgetForAction(action);
                       widget && !qobject_cast<QToolButton*>(widget))
                items << widget->objectName();
            else
                items << action->text();
        }
        const QStringList expected = {"Yeni",
                                      "Aç",
                                      "Kaydet",
                                      "|",
                                      "Cihaz:",
                                      "mnDevice",
                                      "Adres:",
                                      "mnAddress",
                                      "Oku",
                                      "Yaz",
                                      "Degisiklikleri Yaz",
                                      "Iptal",
                                      "|",
                                      "mnCommand",
                                      "Komut Gönder",
                                      "|",
                                      "Ayarlar",
                                      "mnProgHelp"};
        QCOMPARE(items, expected);

        const struct {
            QAction* action;
            const char* name;
            const char* hint;
        } hints[] = {
            {m.mnNew, "mnNew", "Yenile, Cihaza göre ayar listesini olusturur"},
            {m.mnOpen, "mnOpen", "Daha önce kaydedilmis ayarlari dosyadan açar"},
            {m.mnSave, "mnSave",
             "Listedeki ayarlari daha sonra kullanilmak üzere dosyaya kaydeder"},
            {m.mnRead, "mnRead", "Cihazdan ayarlarin okunmasini saglar"},
            {m.mnWrite, "mnWrite", "Cihaza tüm ayarlarin kaydedilmesini saglar"},
            {m.mnWriteAll, "mnWriteAll",
             "Sadece degisiklik yapilan ayarlarin cihaz kaydedilmesini saglar"},
            {m.mnCancel, "mnCancel", "Yapilmakta olan islemi durdurmanizi saglar"},
            {m.mnRunCommand, "mnRunCommand", "Komut Gönder"},
            {m.mnProgSettings, "mnProgSettings", "Program ayarlari"},
            {m.mnHelp, "mnHelp", "Yardim"},
            {m.mnAbout, "mnAbout", "Hakkinda"},
        };
        for (const auto& h : hints) {
            QCOMPARE(h.action->objectName(), QString::fromLatin1(h.name));
            QCOMPARE(h.action->toolTip(), QString::fromUtf8(h.hint));
            QCOMPARE(h.action->statusTip(), QString::fromUtf8(h.hint));
            QVERIFY(!h.action->icon().isNull());
        }
        QCOMPARE(m.mnDevice->toolTip(),
                 QStringLiteral("Islem yapacaginiz cihaz türünü seçebilirsiniz."));
        QCOMPARE(m.mnAddress->toolTip(), QStringLiteral("Adres:"));

        QVERIFY(!m.mnCancel->isEnabled());
        QCOMPARE(m.mnDevice->width(), 138);
        QCOMPARE(m.mnDevice->maxVisibleItems(), 20);
        QCOMPARE(m.mnAddress->width(), 60);
        QCOMPARE(m.mnAddress->count(), 255);
        for (int i = 0; i < m.mnAddress->count(); ++i)
            QCOMPARE(m.mnAddress->itemText(i), QString::number(i + 1));
        QCOMPARE(m.mnCommand->width(), 193);

        // The help sub-menu: icon only, Yardim, separator, Hakkinda.
        QCOMPARE(m.mnProgHelp->toolButtonStyle(), Qt::ToolButtonIconOnly);
        QStringList help;
        for (QAction* action : m.mnProgHelp->menu()->actions())
            help << (action->isSeparator() ? QStringLiteral("|") : action->text());
        QCOMPARE(help, QStringList({"Yardim", "|", "Hakkinda"}));
    }

    // The guard state drives Iptal and the grid; Iptal only asks for a stop.
    void guardBinding() {
        Window w;
        TfMain& m = *w.main;
        w.main->state().SetCancelEnabled(true);
        QVERIFY(m.mnCancel->isEnabled());
        m.mnCancel->trigger();
        QVERIFY(m.state().CancelRequested());
        QVERIFY(!m.state().Busy());
        m.state().SetCancelEnabled(false);
        QVERIFY(!m.mnCancel->isEnabled());
        m.gridModel().SetEnabled(false);
        QVERIFY(!m.VG1->isEnabled());
        m.gridModel().SetEnabled(true);
        QVERIFY(m.VG1->isEnabled());
    }

    // Yeni builds the grid of the chosen model and fills the command list.
    void buildGrid() {
        Window w;
        TfMain& m = *w.main;
        m.mnDevice->setEditText(QStringLiteral("RX-B2"));
        QCOMPARE(m.ops().DeviceText(), QStringLiteral("RX-B2"));
        m.mnNew->trigger();
        QVERIFY2(w.host.errors.isEmpty(), qPrintable(w.host.errors.join('\n')));
        QCOMPARE(m.gridModel().ModelName(), QStringLiteral("RX-B2"));
        QVERIFY(m.gridModel().EditorRowCount() > 0);
        QVERIFY(!m.mnCancel->isEnabled());
        QVERIFY(!m.state().Busy());
        QCOMPARE(m.mnCommand->count(), m.ops().Commands().Count());
        if (m.mnCommand->count() > 0) {
            m.mnCommand->setCurrentIndex(m.mnCommand->count() - 1);
            QCOMPARE(m.ops().Commands().CurrentValue(), m.ops().Commands().Entries().last().id);
            QVERIFY(!m.mnCommand->itemIcon(0).isNull());
        }
    }

    // Kaydet and Aç go through their file dialogs to the snapshot operations.
    void snapshotFiles() {
        Window w;
        TfMain& m = *w.main;
        const QString file = ScratchFile(QStringLiteral("ayar.ini"));
        QList<QFileDialog*> asked;
        QString answer = file;
        m.SetFileChooser([&](QFileDialog* dialog) {
            asked << dialog;
            return answer;
        });
        m.mnDevice->setEditText(QStringLiteral("RX-B2"));
        m.mnNew->trigger();
        TGridRow* row = nullptr;
        for (TGridRow* cat : m.gridModel().Categories())
            for (int i = 0; i < cat->ChildCount() && !row; ++i)
                if (cat->Child(i)->Editor == TEditorKind::SpinInt && cat->Child(i)->Editable)
                    row = cat->Child(i);
        QVERIFY(row);
        const QVariant saved = row->Value;
        const QString name = row->Name;
        m.mnSave->trigger();
        QVERIFY2(w.host.errors.isEmpty(), qPrintable(w.host.errors.join('\n')));
        QVERIFY(QFile::exists(file));
        m.gridModel().SetValue(row, saved.toInt() + 1);
        m.mnOpen->trigger();
        QVERIFY2(w.host.errors.isEmpty(), qPrintable(w.host.errors.join('\n')));
        QVERIFY(m.gridModel().FindRow(name));
        QCOMPARE(m.gridModel().FindRow(name)->ValueText(), saved.toString());
        QCOMPARE(asked, QList<QFileDialog*>({m.SD1, m.OD1}));
        QCOMPARE(m.SD1->nameFilters(), QStringList({"Ini Dosyasi (*.ini)"}));
        QCOMPARE(m.OD1->defaultSuffix(), QStringLiteral("ini"));
        QCOMPARE(m.OD1->fileMode(), QFileDialog::ExistingFile);

        // Cancelling the dialog does nothing.
        answer.clear();
        QFile::remove(file);
        m.mnSave->trigger();
        QVERIFY(!QFile::exists(file));
        QVERIFY(w.host.errors.isEmpty());
        QVERIFY(!m.state().Busy());
    }

    // Closing during an operation asks it to stop and closes once it has ended.
    void closeWhileBusy() {
        Window w;
        w.main->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.main.get()));
        w.main->state().SetBusy(true);
        QVERIFY(!w.main->close());
        QVERIFY(w.main->isVisible());
        QVERIFY(w.main->state().CancelRequested());
        w.main->state().SetBusy(false);
        QVERIFY(!w.main->isVisible());
    }

    // --- Status bar ------------------------------------------------------------------------

    void statusBar() {
        Window w;
        TfMain& m = *w.main;
        m.show();
        QVERIFY(QTest::qWaitForWindowExposed(&m));
        QCOMPARE(m.PB1->width(), 100);
        QVERIFY(m.PB1->font().bold());
        QCOMPARE(m.lblDisconnected->text(), QStringLiteral("Disconnected"));
        QCOMPARE(m.lblConnected->text(), QStringLiteral("Connected"));
        QVERIFY(m.lblDisconnected->isVisible());
        QVERIFY(!m.lblConnected->isVisible());
        QCOMPARE(m.lblStatus->text(), MakerWebAddress());

        Q_EMIT m.link().ConnectedChanged(true);
        QVERIFY(!m.lblDisconnected->isVisible());
        QVERIFY(m.lblConnected->isVisible());
        Q_EMIT m.link().ConnectedChanged(false);
        QVERIFY(m.lblDisconnected->isVisible());
        QVERIFY(!m.lblConnected->isVisible());

        m.log().Bilgi(QStringLiteral("Bir durum"));
        QCOMPARE(m.lblStatus->text(), QStringLiteral("Bir durum"));
        m.chLog->setChecked(false);
        m.log().Bilgi(QStringLiteral("Log kapalı"));
        QCOMPARE(m.lblStatus->text(), QStringLiteral("Log kapalı"));
        QVERIFY(m.Memo1->toPlainText().contains(QStringLiteral("Bir durum")));
        QVERIFY(!m.Memo1->toPlainText().contains(QStringLiteral("Log kapalı")));

        // A hint shows in the status panel while it lasts; the status message comes back.
        QStatusTipEvent tip(QStringLiteral("Program ayarlari"));
        QCoreApplication::sendEvent(&m, &tip);
        QCOMPARE(m.lblStatus->text(), QStringLiteral("Program ayarlari"));
        QStatusTipEvent none{QString()};
        QCoreApplication::sendEvent(&m, &none);
        QCOMPARE(m.lblStatus->text(), QStringLiteral("Log kapalı"));
    }

    // The Qt Host's progress: the bar shows the position within its range.
    void progress() {
        QProgressBar bar;
        QtHost host(nullptr, &bar);
        host.SetProgressMax(120);
        host.SetProgressPos(0);
        QCOMPARE(bar.maximum(), 120);
        host.SetProgressPos(60);
        QCOMPARE(bar.value(), 60);
        QCOMPARE(host.ProgressPos(), 60);
        host.SetProgressMax(0);
        QVERIFY(bar.maximum() > bar.minimum()); // never the busy indicator
        QCOMPARE(host.ProgressPos(), 60);
    }

    // --- Terminal --------------------------------------------------------------------------

    void terminal() {
        Window w;
        TfMain& m = *w.main;
        QCOMPARE(m.PC1->tabText(0), QStringLiteral("Cihaz Ayarlari"));
        QCOMPARE(m.PC1->tabText(1), QStringLiteral("Terminal"));
        QVERIFY(m.Memo1->isReadOnly());
        QCOMPARE(m.Memo1->lineWrapMode(), QPlainTextEdit::NoWrap);
        QCOMPARE(m.Memo1->font().pixelSize(), 12);
        QVERIFY(QFontInfo(m.Memo1->font()).fixedPitch());
        QCOMPARE(m.Memo1->palette().color(QPalette::Text), QColor(Qt::green));
        QCOMPARE(m.Memo1->palette().color(QPalette::Base), QColor(Qt::black));

        QStringList menu;
        for (QAction* action : m.PM1->actions())
            menu << (action->isSeparator() ? QStringLiteral("|") : action->text());
        QCOMPARE(menu, QStringList({"Temizle", "Kopyala", "Log.Txt Kaydet", "Kaydet", "|",
                                    "Log Görüntüle", "Temel haberlesme Log'larini göster"}));
        QVERIFY(m.chLog->isCheckable() && m.chLog->isChecked());
        QVERIFY(m.chLogAll->isCheckable() && !m.chLogAll->isChecked());

        m.log().Log(QStringLiteral("TEST"), QStringLiteral("birinci"), TLog::lvNORMAL);
        m.log().Log(QStringLiteral("SEND"), QStringLiteral("01 03"), TLog::lvSYSTEM);
        m.chLogAll->trigger();
        m.log().Log(QStringLiteral("SEND"), QStringLiteral("01 06"), TLog::lvSYSTEM);
        QCOMPARE(m.Memo1->toPlainText().split('\n'), m.log().Lines());
        QCOMPARE(m.log().Lines().size(), 2);

        // Kopyala copies the selection, nothing without one.
        QApplication::clipboard()->setText(QStringLiteral("önceki"));
        m.pmKopyala->trigger();
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("önceki"));
        m.Memo1->selectAll();
        m.pmKopyala->trigger();
        QCOMPARE(QApplication::clipboard()->text(),
                 m.log().Lines().join(QChar(0x2029)).replace(QChar(0x2029), QLatin1Char('\n')));

        // Log.Txt Kaydet replaces the file without asking.
        QFile old(paths::LogTxtFile());
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("eski içerik");
        old.close();
        m.pmKaydetLogTxt->trigger();
        QVERIFY(w.host.errors.isEmpty());
        QFile saved(paths::LogTxtFile());
        QVERIFY(saved.open(QIODevice::ReadOnly));
        const QByteArray bytes = saved.readAll();
        QVERIFY(bytes.endsWith("\r\n"));
        QCOMPARE(bytes.count("\r\n"), 2);
        QVERIFY(bytes.contains("01 06"));

        // A file that cannot be written: an error box, the log unchanged.
        const QStringList before = m.log().Lines();
        QVERIFY(!m.SaveLog(ScratchFile(QStringLiteral("no-such-folder/Log.txt"))));
        QCOMPARE(w.host.errors.size(), 1);
        QCOMPARE(m.log().Lines(), before);

        m.pmTemizle->trigger();
        QVERIFY(m.Memo1->toPlainText().isEmpty());
        QVERIFY(m.log().Lines().isEmpty());
    }

    // The memo follows the log's bound: the call past 10000 lines empties it first.
    void terminalBound() {
        Window w;
        TfMain& m = *w.main;
        for (int i = 0; i <= TLog::MaxLines; ++i)
            m.log().Log(QStringLiteral("T"), QString::number(i), TLog::lvNORMAL);
        QCOMPARE(m.Memo1->blockCount(), TLog::MaxLines + 1);
        m.log().Log(QStringLiteral("T"), QStringLiteral("son"), TLog::lvNORMAL);
        QCOMPARE(m.Memo1->blockCount(), 1);
        QVERIFY(m.Memo1->toPlainText().endsWith(QStringLiteral("son")));
    }

    void saveDialog() {
        Window w;
        QFileDialog* d = w.main->SD2;
        QCOMPARE(d->acceptMode(), QFileDialog::AcceptSave);
        QCOMPARE(d->defaultSuffix(), QStringLiteral("txt"));
        QCOMPARE(d->nameFilters(), QStringList({"Text Dosya (*.txt)"}));
        QVERIFY(!d->testOption(QFileDialog::DontConfirmOverwrite));
    }

    // --- Settings dialog -------------------------------------------------------------------

    void settingsFirstStart() {
        FakeHost host;
        QVERIFY(!QFile::exists(paths::ConfigFile()));
        TfSettings s(&host);
        QVERIFY(host.errors.isEmpty());
        QCOMPARE(s.windowTitle(), QStringLiteral("Ayarlar"));
        QCOMPARE(s.size(), QSize(319, 383));
        QCOMPARE(s.cxcomport->currentText(), QStringLiteral("COM1"));
        QCOMPARE(s.cxcomport->count(), 0);
        QCOMPARE(s.cxbaudrate->currentText(), QStringLiteral("9600"));
        QCOMPARE(s.cxbaudrate->count(), 10);
        QCOMPARE(s.cxdatabits->value(), 8);
        QCOMPARE(s.cxdatabits->minimum(), 4);
        QCOMPARE(s.cxdatabits->maximum(), 16);
        QCOMPARE(s.cxparity->currentText(), QStringLiteral("None"));
        QCOMPARE(s.cxstopbit->currentText(), QStringLiteral("1 Stop"));
        QCOMPARE(s.cxtimeout->value(), 500);
        QCOMPARE(s.cxtimeout->minimum(), 50);
        QCOMPARE(s.cxtimeout->maximum(), 2000);
        QVERIFY(!s.chcollapse->isChecked());
        QCOMPARE(s.lblcollapse->text(),
                 QStringLiteral("Ayar listesindeki gruplar kapalı olarak yüklensin"));
        s.show();
        QTest::mouseClick(s.lblcollapse, Qt::LeftButton);
        QVERIFY(s.chcollapse->isChecked()); // the caption toggles the box
        s.chcollapse->setChecked(false);
        QCOMPARE(s.cxButton1->text(), QStringLiteral("&Tamam"));
        QCOMPARE(ConfigKeys(),
                 QStringList({"RTU/comport", "RTU/baudrate", "RTU/databits", "RTU/stopbit",
                              "RTU/parity", "RTU/timeout", "AYAR/chcollapse"}));
    }

    // The configuration file of a first run: start-up keys, then the dialog's.
    void firstRunConfigOrder() {
        FakeHost host;
        Tfm fm;
        TfMain main(fm, &host);
        TfSettings settings(&host, &main);
        QCOMPARE(ConfigKeys(), QStringList({"AYAR/Device", "AYAR/Address", "AYAR/chcollapse",
                                            "RTU/comport", "RTU/baudrate", "RTU/databits",
                                            "RTU/stopbit", "RTU/parity", "RTU/timeout"}));
    }

    void settingsStore_data() {
        QTest::addColumn<QString>("baud");
        QTest::addColumn<int>("parity");
        QTest::addColumn<int>("stop");
        QTest::addColumn<bool>("collapse");
        QTest::addColumn<QStringList>("stored"); // parity, stopbit, chcollapse
        QTest::newRow("listed rate, even, 2 stop")
            << "19200" << 0 << 2 << true << QStringList({"even", "2", "1"});
        QTest::newRow("typed rate, odd, 1.5 stop")
            << "31250" << 2 << 1 << false << QStringList({"odd", "1.5", "0"});
    }
    void settingsStore() {
        QFETCH(QString, baud);
        QFETCH(int, parity);
        QFETCH(int, stop);
        QFETCH(bool, collapse);
        QFETCH(QStringList, stored);
        FakeHost host;
        TfSettings s(&host);
        s.cxcomport->setEditText(QStringLiteral("/dev/ttyUSB1"));
        s.cxbaudrate->setEditText(baud);
        s.cxdatabits->setValue(7);
        s.cxparity->setCurrentIndex(parity);
        s.cxstopbit->setCurrentIndex(stop);
        s.cxtimeout->setValue(1250);
        s.chcollapse->setChecked(collapse);
        QSignalSpy accepted(&s, &QDialog::accepted);
        s.show();
        QTest::mouseClick(s.cxButton1, Qt::LeftButton);
        QCOMPARE(accepted.size(), 1);
        QCOMPARE(s.result(), int(QDialog::Accepted));
        const auto rtu = [](const char* key) {
            return IniRead(QStringLiteral("RTU"), QString::fromLatin1(key), QStringLiteral("?"));
        };
        QCOMPARE(rtu("comport"), QStringLiteral("/dev/ttyUSB1"));
        QCOMPARE(rtu("baudrate"), baud);
        QCOMPARE(rtu("databits"), QStringLiteral("7"));
        QCOMPARE(rtu("parity"), stored[0]);
        QCOMPARE(rtu("stopbit"), stored[1]);
        QCOMPARE(rtu("timeout"), QStringLiteral("1250"));
        QCOMPARE(IniRead(QStringLiteral("AYAR"), QStringLiteral("chcollapse"), QStringLiteral("?")),
                 stored[2]);
    }

    // Tamam writes all seven entries even when nothing changed (a hand-edited file is
    // brought back to what the dialog shows).
    void settingsStoreUnchanged() {
        FakeHost host;
        TfSettings s(&host);
        IniWrite(QStringLiteral("RTU"), QStringLiteral("baudrate"), QStringLiteral("4800"));
        IniWrite(QStringLiteral("AYAR"), QStringLiteral("chcollapse"), QStringLiteral("x"));
        s.cxButton1Click();
        QCOMPARE(IniRead(QStringLiteral("RTU"), QStringLiteral("baudrate"), QString()),
                 QStringLiteral("9600"));
        QCOMPARE(IniRead(QStringLiteral("AYAR"), QStringLiteral("chcollapse"), QString()),
                 QStringLiteral("0"));
        QCOMPARE(ConfigKeys().size(), 7);
    }

    // The close box stores nothing; the fields keep what the user left.
    void settingsCloseBox() {
        FakeHost host;
        TfSettings s(&host);
        const QString before = ConfigText();
        s.show();
        s.cxbaudrate->setEditText(QStringLiteral("57600"));
        s.reject();
        QCOMPARE(ConfigText(), before);
        QCOMPARE(s.cxbaudrate->currentText(), QStringLiteral("57600"));
    }

    void settingsLoadErrors_data() {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("stopbitLoaded");
        QTest::newRow("databits") << "databits"
                                  << "sekiz" << false;
        QTest::newRow("timeout") << "timeout"
                                 << "1 s" << true;
    }
    void settingsLoadErrors() {
        QFETCH(QString, key);
        QFETCH(QString, value);
        QFETCH(bool, stopbitLoaded);
        IniWrite(QStringLiteral("RTU"), QStringLiteral("comport"), QStringLiteral("COM7"));
        IniWrite(QStringLiteral("RTU"), QStringLiteral("stopbit"), QStringLiteral("2"));
        IniWrite(QStringLiteral("RTU"), key, value);
        FakeHost host;
        TfSettings s(&host);
        QCOMPARE(host.errors,
                 QStringList(QStringLiteral("'%1' is not a valid integer value").arg(value)));
        QCOMPARE(s.cxcomport->currentText(), QStringLiteral("COM7"));
        QCOMPARE(s.cxstopbit->currentText(),
                 stopbitLoaded ? QStringLiteral("2 Stop") : QStringLiteral("1 Stop"));
        QCOMPARE(s.cxtimeout->value(), 1000); // design value, never loaded
        QVERIFY(!s.chcollapse->isChecked());
    }

    // A stored parity or stop bit that is none of the items is kept as it was.
    void settingsUnknownChoice() {
        IniWrite(QStringLiteral("RTU"), QStringLiteral("parity"), QStringLiteral("Even"));
        FakeHost host;
        TfSettings s(&host);
        QCOMPARE(s.cxparity->currentIndex(), -1);
        s.cxButton1Click();
        QCOMPARE(IniRead(QStringLiteral("RTU"), QStringLiteral("parity"), QString()),
                 QStringLiteral("Even"));
    }

    void portScan_data() {
        QTest::addColumn<QStringList>("ports");
        QTest::addColumn<QString>("shown");
        QTest::newRow("two ports") << QStringList({"COM3", "COM1"}) << "COM3";
        QTest::newRow("none") << QStringList() << "COM9";
    }
    void portScan() {
        QFETCH(QStringList, ports);
        QFETCH(QString, shown);
        FakeHost host;
        TfSettings s(&host);
        s.SetPortLister([] { return QStringList({"old"}); });
        s.btnscanClick();
        s.cxcomport->setEditText(QStringLiteral("COM9"));
        s.SetPortLister([ports] { return ports; });
        QTest::mouseClick(s.btnscan, Qt::LeftButton);
        QStringList listed;
        for (int i = 0; i < s.cxcomport->count(); ++i)
            listed << s.cxcomport->itemText(i);
        QCOMPARE(listed, ports);
        QCOMPARE(s.cxcomport->currentText(), shown);
    }

    // The toolbar command opens the dialog modally.
    void settingsFromToolbar() {
        Window w;
        TfSettings s(&w.host, w.main.get());
        TfAbout a(w.main.get());
        w.main->SetDialogs(&a, &s);
        bool wasModal = false;
        QTimer::singleShot(0, &s, [&] {
            wasModal = s.isModal() && s.isVisible();
            s.reject();
        });
        w.main->mnProgSettings->trigger();
        QVERIFY(wasModal);
        QTimer::singleShot(0, &a, [&] {
            wasModal = a.isModal() && a.isVisible();
            QTest::mouseClick(a.cxButton1, Qt::LeftButton);
        });
        w.main->mnAbout->trigger();
        QVERIFY(wasModal);
        QCOMPARE(a.result(), int(QDialog::Accepted));
    }

    // --- About and help --------------------------------------------------------------------

    void about() {
        TfAbout a;
        QCOMPARE(a.windowTitle(), QStringLiteral("KOLVA"));
        QCOMPARE(a.size(), QSize(417, 182));
        QCOMPARE(a.minimumSize(), a.maximumSize());
        QVERIFY(!a.imgLogo->pixmap().isNull());
        QVERIFY(a.imgLogo->pixmap().hasAlphaChannel());
        QCOMPARE(a.lblTitle->text(), QStringLiteral("KOLVA Ayar Programı"));
        QCOMPARE(a.lblWeb->text(), MakerWebAddress());
        QCOMPARE(a.cxButton1->text(), QStringLiteral("&Tamam"));
        a.show();
        a.close();
        QCOMPARE(a.result(), int(QDialog::Rejected));
    }

    void help() {
        Window w;
        UrlCatcher catcher;
        QDesktopServices::setUrlHandler(QStringLiteral("https"), &catcher, "open");
        w.main->mnHelp->trigger();
        QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
        QCOMPARE(catcher.urls.size(), 1);
        QCOMPARE(catcher.urls.first().host(), MakerWebAddress());
        QCOMPARE(catcher.urls.first().path(), QStringLiteral("/yardim/kolva-ayar"));
    }

    // --- Pictures for people to look at ----------------------------------------------------

    void screenshots() {
        const QString out = ScreenshotDir();
        Window w;
        TfMain& m = *w.main;
        m.show();
        QVERIFY(QTest::qWaitForWindowExposed(&m));
        m.mnDevice->setEditText(QStringLiteral("RX-B2"));
        m.mnNew->trigger();
        QVERIFY(m.gridModel().EditorRowCount() > 0);
        m.log().Bilgi(QStringLiteral("OK! Ayar okuma işlemi tamamlandı."));
        Q_EMIT m.link().ConnectedChanged(true);
        QCoreApplication::processEvents();
        QVERIFY(m.grab().save(out + QStringLiteral("/main.png")));

        // A choice editor opened on the first combo row.
        QModelIndex comboIndex;
        for (TGridRow* cat : m.gridModel().Categories())
            for (int i = 0; i < cat->ChildCount() && !comboIndex.isValid(); ++i)
                if (cat->Child(i)->Editor == TEditorKind::Combo && cat->Child(i)->Editable)
                    comboIndex = m.gridModel().IndexOf(cat->Child(i), 1);
        if (comboIndex.isValid()) {
            m.VG1->expand(comboIndex.parent());
            m.VG1->scrollTo(comboIndex);
            m.VG1->setCurrentIndex(comboIndex);
            m.VG1->edit(comboIndex);
            QCoreApplication::processEvents();
            QVERIFY(m.VG1->indexWidget(comboIndex));
            QVERIFY(m.grab().save(out + QStringLiteral("/grid-editor.png")));
        }

        Q_EMIT m.link().ConnectedChanged(false);
        m.chLogAll->setChecked(true);
        m.log().Log(QStringLiteral("CONNECT"), QStringLiteral("/dev/pts/3 Bağlanıldı."),
                    TLog::lvSYSTEM);
        m.log().Log(QStringLiteral("SEND"), QStringLiteral("01 03 00 00 00 01 84 0A"),
                    TLog::lvSYSTEM);
        m.log().Log(QStringLiteral("RECEIVE"), QStringLiteral("01 03 02 00 2A 38 5B"),
                    TLog::lvSYSTEM);
        m.log().Log(QStringLiteral("AYAR OKU"), QStringLiteral("Adres = 42"), TLog::lvNORMAL);
        m.log().Log(QStringLiteral("Hata"), QStringLiteral("Örnek hata satırı"), TLog::lvERROR);
        m.log().Log(QStringLiteral("DISCONNECT"), QStringLiteral("/dev/pts/3 Bağlantı kesildi."),
                    TLog::lvSYSTEM);
        m.PC1->setCurrentIndex(1);
        QCoreApplication::processEvents();
        QVERIFY(m.grab().save(out + QStringLiteral("/terminal.png")));

        TfSettings s(&w.host, &m);
        s.show();
        QVERIFY(QTest::qWaitForWindowExposed(&s));
        QVERIFY(s.grab().save(out + QStringLiteral("/settings.png")));
        TfAbout a(&m);
        a.show();
        QVERIFY(QTest::qWaitForWindowExposed(&a));
        QVERIFY(a.grab().save(out + QStringLiteral("/about.png")));
    }
};

QTEST_MAIN(TestShell)
#include "tst_shell.moc"
