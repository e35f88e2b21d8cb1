// TComPort over a real pseudo-terminal: open and close, delivery modes, port names,
// the terminator text, and a device that vanishes.

#include "PtyPeer.h"
#include "link/ComPort.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using kolva::EComError;
using kolva::TComPort;
using kolva::test::PtyPeer;

class TestLinkPort : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void openFailureThenSuccess() {
        PtyPeer peer;
        QVERIFY(peer.IsValid());
        TComPort port;
        int opened = 0;
        port.OnPortOpen = [&](TComPort* sender) {
            QCOMPARE(sender, &port);
            ++opened;
        };
        port.Port = QStringLiteral("/nonexistent/ttyKOLVA");
        try {
            port.Open();
            QFAIL("Open of a missing port did not raise");
        } catch (const EComError& e) {
            QVERIFY2(e.text().startsWith(
                         QLatin1String("TCOMPORT : cannot open /nonexistent/ttyKOLVA\r")),
                     qPrintable(e.text()));
            // The system's own reason follows the carriage return.
            QVERIFY(e.text().size() >
                    QStringLiteral("TCOMPORT : cannot open /nonexistent/ttyKOLVA\r").size());
        }
        QVERIFY(!port.IsOpen());
        QCOMPARE(opened, 0);

        port.Port = peer.Path();
        port.Open();
        QVERIFY(port.IsOpen());
        QCOMPARE(opened, 1);
    }

    void openAndCloseOnce() {
        PtyPeer peer;
        TComPort port;
        int opened = 0, closed = 0;
        port.OnPortOpen = [&](TComPort*) { ++opened; };
        port.OnPortClose = [&](TComPort*) { ++closed; };
        port.Close();
        QCOMPARE(closed, 0);
        port.Port = peer.Path();
        port.Baud = 38400;
        port.Open();
        port.Open();
        QCOMPARE(opened, 1);
        port.Close();
        port.Close();
        QCOMPARE(closed, 1);
        QVERIFY(!port.IsOpen());
        // A closed port can be opened again.
        port.Open();
        QCOMPARE(opened, 2);
    }

    void portNames_data() {
        QTest::addColumn<QString>("form");
        QTest::newRow("full path") << "full";
        QTest::newRow("name under /dev") << "bare";
        QTest::newRow("symlink") << "link";
    }
    void portNames() {
        QFETCH(QString, form);
        PtyPeer peer;
        QTemporaryDir dir;
        QString name = peer.Path();
        if (form == QLatin1String("bare")) {
            name = peer.Path().mid(5); // "pts/N"
            QCOMPARE(TComPort::DevicePath(name), peer.Path());
        } else if (form == QLatin1String("link")) {
            name = dir.filePath(QStringLiteral("ttyKOLVA"));
            QVERIFY(QFile::link(peer.Path(), name));
        }
        TComPort port;
        port.Port = name;
        port.Open();
        QVERIFY(port.IsOpen());
        port.Write("\x01\x02");
        QVERIFY(PtyPeer::WaitFor([&] { return peer.received.size() == 2; }));
    }

    void writeWhenClosedIsDropped() {
        PtyPeer peer;
        TComPort port;
        port.Port = peer.Path();
        port.Write("lost");
        port.Open();
        port.Write("kept");
        QVERIFY(PtyPeer::WaitFor([&] { return peer.received.size() >= 4; }));
        port.Close();
        port.Write("lost");
        QCoreApplication::processEvents();
        QCOMPARE(peer.received, QByteArray("kept"));
    }

    void rawModeDeliversEveryChunk() {
        PtyPeer peer;
        TComPort port;
        port.Port = peer.Path();
        port.ReceiveMode = kolva::rmRAW;
        QList<QByteArray> chunks;
        port.ReceiveCallBack = [&](const QByteArray& data) {
            if (!data.isEmpty()) chunks << data;
        };
        port.Open();
        peer.Write("\x01\x03\x02");
        QVERIFY(PtyPeer::WaitFor([&] { return chunks.size() == 1; }));
        peer.Write(QByteArray("\x00\x05\x78\x47", 4));
        QVERIFY(PtyPeer::WaitFor([&] { return chunks.size() == 2; }));
        QCOMPARE(chunks.at(0), QByteArray("\x01\x03\x02"));
        QCOMPARE(chunks.at(1), QByteArray("\x00\x05\x78\x47", 4));
    }

    void termModeDeliversOneMessagePerChunk() {
        PtyPeer peer;
        TComPort port;
        port.Port = peer.Path();
        QCOMPARE(port.ReceiveMode, kolva::rmTERM);
        QList<QByteArray> messages;
        port.ReceiveCallBack = [&](const QByteArray& data) { messages << data; };
        port.Open();
        peer.Write("A\r\nB\r\n");
        QVERIFY(PtyPeer::WaitFor([&] { return messages.size() == 1; }));
        QCOMPARE(messages.at(0), QByteArray("A\r\n"));
        // The second message waits for the next chunk.
        peer.Write("C");
        QVERIFY(PtyPeer::WaitFor([&] { return messages.size() == 2; }));
        QCOMPARE(messages.at(1), QByteArray("B\r\n"));
        peer.Write("\r\n");
        QVERIFY(PtyPeer::WaitFor([&] { return messages.size() == 3; }));
        QCOMPARE(messages.at(2), QByteArray("C\r\n"));
    }

    void noDeliveryAfterClose() {
        PtyPeer peer;
        TComPort port;
        port.Port = peer.Path();
        port.ReceiveMode = kolva::rmRAW;
        int calls = 0;
        port.ReceiveCallBack = [&](const QByteArray&) { ++calls; };
        port.Open();
        peer.Write("x");
        port.Close();
        QTest::qWait(50);
        QCOMPARE(calls, 0);
    }

    void vanishingDeviceClosesThePort() {
        auto peer = std::make_unique<PtyPeer>();
        TComPort port;
        port.Port = peer->Path();
        int closed = 0, errors = 0;
        port.OnPortClose = [&](TComPort*) { ++closed; };
        port.OnError = [&](TComPort*) { ++errors; };
        port.Open();
        peer->Hangup();
        QVERIFY(PtyPeer::WaitFor([&] { return !port.IsOpen(); }));
        QCOMPARE(closed, 1);
        QVERIFY(errors >= 1);
        port.Write("nobody");
        port.Close();
        QCOMPARE(closed, 1);
    }

    void terminator_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("error");
        const QString illegal = QStringLiteral("Illegal terminator string.\r"
                                               "format : #<asciicode>#<asciicode>#<...>\r"
                                               "example: #13#10");
        const QString empty = QStringLiteral("Terminator string cannot be empty!");
        QTest::newRow("CR LF") << "#13#10" << QByteArray("\r\n") << "";
        QTest::newRow("one byte") << "#65" << QByteArray("A") << "";
        QTest::newRow("first character dropped") << "13#10" << QByteArray("\x03\x0A") << "";
        QTest::newRow("low 8 bits") << "#321" << QByteArray("A") << "";
        QTest::newRow("not a number") << "#13#x" << QByteArray("\r\n") << illegal;
        QTest::newRow("empty part") << "#13##10" << QByteArray("\r\n") << illegal;
        QTest::newRow("hash alone") << "#" << QByteArray() << empty;
        QTest::newRow("nothing") << "" << QByteArray() << empty;
    }
    void terminator() {
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, error);
        TComPort port;
        port.SetTerminator(QStringLiteral("#65#66")); // something else first
        QString raised;
        try {
            port.SetTerminator(text);
        } catch (const EComError& e) {
            raised = e.text();
        }
        QCOMPARE(raised, error);
        QCOMPARE(port.TerminatorBytes(), bytes);
        if (error.isEmpty()) {
            // Reads back in the "#code" form and parses to the same bytes.
            TComPort again;
            again.SetTerminator(port.Terminator());
            QCOMPARE(again.TerminatorBytes(), bytes);
        }
    }

    void terminatorReadsBack() {
        TComPort port;
        QCOMPARE(port.Terminator(), QStringLiteral("#13#10"));
        port.SetTerminator(QStringLiteral("#3#255"));
        QCOMPARE(port.Terminator(), QStringLiteral("#3#255"));
    }

    void constructorValues() {
        TComPort port;
        QCOMPARE(port.Port, QStringLiteral("COM1"));
        QCOMPARE(port.Baud, 9600);
        QCOMPARE(int(port.DataBits), 8);
        QCOMPARE(port.Parity, kolva::ptNONE);
        QCOMPARE(port.StopBits, kolva::sbONE);
        QCOMPARE(port.WinQSizeIn, 8192);
        QCOMPARE(port.WinQSizeOut, 8192);
        QVERIFY(!port.IsOpen());
    }
};

QTEST_GUILESS_MAIN(TestLinkPort)
#include "tst_link_port.moc"
