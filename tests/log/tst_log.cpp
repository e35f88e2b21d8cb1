#include "config/Text.h"
#include "link/Log.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using kolva::TLog;

class TestLog : public QObject {
    Q_OBJECT
    static void fixClock(TLog& log) {
        log.SetClock([] { return QTime(9, 5, 7); });
    }

private Q_SLOTS:
    void lineFormat_data() {
        QTest::addColumn<QString>("tag");
        QTest::addColumn<int>("level");
        QTest::addColumn<QString>("expected");
        QTest::newRow("send") << "SEND" << 3 << "09:05:07 SYSTEM      SEND              01 03 ";
        QTest::newRow("normal") << "BILGI" << 0 << "09:05:07 NORMAL      BILGI             01 03 ";
        QTest::newRow("warning") << "X" << 1 << "09:05:07 WARNING     X                 01 03 ";
        QTest::newRow("error") << "Hata" << 2 << "09:05:07 ERROR       Hata              01 03 ";
        QTest::newRow("unknown level is normal")
            << "T" << 7 << "09:05:07 NORMAL      T                 01 03 ";
        QTest::newRow("long tag runs into message")
            << "ABCDEFGHIJKLMNOPQRST" << 0 << "09:05:07 NORMAL      ABCDEFGHIJKLMNOPQRST01 03 ";
    }
    void lineFormat() {
        QFETCH(QString, tag);
        QFETCH(int, level);
        QFETCH(QString, expected);
        TLog log;
        fixClock(log);
        log.chLogAll = true;
        log.Log(tag, QStringLiteral("01 03 "), quint8(level));
        QCOMPARE(log.Lines(), QStringList{expected});
    }

    void switches_data() {
        QTest::addColumn<bool>("chLog");
        QTest::addColumn<bool>("chLogAll");
        QTest::addColumn<int>("level");
        QTest::addColumn<bool>("shown");
        QTest::newRow("off hides normal") << false << true << 0 << false;
        QTest::newRow("off hides system") << false << true << 3 << false;
        QTest::newRow("on shows error") << true << false << 2 << true;
        QTest::newRow("system needs both") << true << false << 3 << false;
        QTest::newRow("system with both") << true << true << 3 << true;
    }
    void switches() {
        QFETCH(bool, chLog);
        QFETCH(bool, chLogAll);
        QFETCH(int, level);
        QFETCH(bool, shown);
        TLog log;
        log.chLog = chLog;
        log.chLogAll = chLogAll;
        log.Log(QStringLiteral("T"), QStringLiteral("m"), quint8(level));
        QCOMPARE(log.Lines().size(), shown ? 1 : 0);
    }

    void bilgiUpdatesStatusEvenWhenLogOff() {
        TLog log;
        QSignalSpy spy(&log, &TLog::StatusChanged);
        log.chLog = false;
        log.Bilgi(QStringLiteral("OK! Ayar okuma işlemi tamamlandı."));
        QCOMPARE(log.StatusText(), QStringLiteral("OK! Ayar okuma işlemi tamamlandı."));
        QCOMPARE(spy.count(), 1);
        QVERIFY(log.Lines().isEmpty());
        log.chLog = true;
        log.Bilgi(QStringLiteral("x"));
        QCOMPARE(log.Lines().size(), 1);
        QVERIFY(log.Lines().first().contains(QStringLiteral("NORMAL      BILGI             x")));
    }

    void overflowEmptiesBeforeAppending() {
        TLog log;
        for (int i = 0; i < TLog::MaxLines + 1; ++i)
            log.Log(QStringLiteral("T"), QString::number(i), 0);
        QCOMPARE(log.Lines().size(), TLog::MaxLines + 1);
        // A dropped level-3 line still empties an overfull log.
        log.Log(QStringLiteral("SEND"), QStringLiteral("x"), 3);
        QCOMPARE(log.Lines().size(), 0);
        for (int i = 0; i < TLog::MaxLines + 1; ++i)
            log.Log(QStringLiteral("T"), QString::number(i), 0);
        log.Log(QStringLiteral("T"), QStringLiteral("last"), 0);
        QCOMPARE(log.Lines().size(), 1);
        QVERIFY(log.Lines().first().endsWith(QStringLiteral("last")));
        // Exactly 10000 lines are kept.
        TLog full;
        for (int i = 0; i < TLog::MaxLines; ++i)
            full.Log(QStringLiteral("T"), QString(), 0);
        full.Log(QStringLiteral("T"), QString(), 0);
        QCOMPARE(full.Lines().size(), TLog::MaxLines + 1);
    }

    void saveWritesCrLfWindows1254() {
        QTemporaryDir dir;
        TLog log;
        fixClock(log);
        log.Log(QStringLiteral("Hata"), QStringLiteral("Şifre ğüı"), 2);
        log.Log(QStringLiteral("BILGI"), QStringLiteral("ok"), 0);
        const QString path = dir.filePath(QStringLiteral("Log.TXT"));
        QVERIFY(log.SaveToFile(path));
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        QCOMPARE(bytes, kolva::ToCp1254(log.Lines().join(QStringLiteral("\r\n")) +
                                        QStringLiteral("\r\n")));
        QVERIFY(bytes.contains("\xDE"
                               "ifre"));
        QString error;
        QVERIFY(!log.SaveToFile(dir.filePath(QStringLiteral("missing/dir/x.txt")), &error));
        QVERIFY(!error.isEmpty());
        QCOMPARE(log.Lines().size(), 2);
    }
};

QTEST_GUILESS_MAIN(TestLog)
#include "tst_log.moc"
