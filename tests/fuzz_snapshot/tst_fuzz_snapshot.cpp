// Replays the snapshot fuzz entry over a few thousand pseudo-random files: random bytes, and
// snapshot-like text made of sections, entries, comments, quotes, blanks and odd characters
// in both code pages and all line endings.
#include "FuzzSnapshot.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// Every INI load reserves its size limit up front, which the address sanitizer makes slow; a
// sanitized build replays fewer inputs.
#if defined(__SANITIZE_ADDRESS__)
constexpr int kInputs = 100;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr int kInputs = 100;
#else
constexpr int kInputs = 1500;
#endif
#else
constexpr int kInputs = 1500;
#endif

QByteArray RandomBytes(QRandomGenerator& rng) {
    QByteArray out(rng.bounded(0, 400), Qt::Uninitialized);
    for (char& c : out)
        c = char(rng.bounded(256));
    return out;
}

QByteArray Piece(QRandomGenerator& rng) {
    static const char* const pieces[] = {"Group_",
                                         "Setting_",
                                         "DEVICE",
                                         "device_name",
                                         "RX-B2",
                                         "1_100",
                                         "=",
                                         "\"",
                                         " ",
                                         "\t",
                                         ";",
                                         "#",
                                         "[",
                                         "]",
                                         "\xD6\xE7\xFE",
                                         "\xC3\x96l\xC3\xA7\xC3\xBCm",
                                         "\xEF\xBB\xBF",
                                         "\r",
                                         "\n",
                                         "\r\n",
                                         "0",
                                         "1,5",
                                         "1.5",
                                         "-",
                                         "abc",
                                         "'",
                                         "\xE6\xB8\xA9",
                                         "\xFF",
                                         "\x80"};
    return pieces[rng.bounded(int(std::size(pieces)))];
}

QByteArray SnapshotLike(QRandomGenerator& rng) {
    static const char* const eols[] = {"\r\n", "\n", "\r"};
    const QByteArray eol = eols[rng.bounded(3)];
    QByteArray out;
    if (rng.bounded(4) == 0) out += "\xEF\xBB\xBF";
    const int lines = rng.bounded(1, 30);
    for (int i = 0; i < lines; ++i) {
        switch (rng.bounded(6)) {
        case 0:
            out += "[DEVICE]" + eol + "device_name=";
            break;
        case 1:
            out += "[Group_" + QByteArray::number(rng.bounded(5)) + "]";
            break;
        case 2:
            out += "Setting_" + QByteArray::number(rng.bounded(5)) + "_" +
                   QByteArray::number(rng.bounded(200)) + "=";
            break;
        default:
            break;
        }
        const int extra = rng.bounded(0, 6);
        for (int j = 0; j < extra; ++j)
            out += Piece(rng);
        out += eol;
    }
    if (rng.bounded(10) == 0) out.insert(rng.bounded(out.size() + 1), '\0');
    return out;
}

} // namespace

class TstFuzzSnapshot : public QObject {
    Q_OBJECT
private slots:
    void replay_data() {
        QTest::addColumn<bool>("structured");
        QTest::newRow("random bytes") << false;
        QTest::newRow("snapshot-like text") << true;
    }
    void replay() {
        QFETCH(bool, structured);
        QTemporaryDir dir;
        QRandomGenerator rng(structured ? 20261211u : 1211u);
        for (int i = 0; i < kInputs; ++i) {
            const QByteArray input = structured ? SnapshotLike(rng) : RandomBytes(rng);
            const QString failure = kolva::fuzz::CheckSnapshotBytes(input, dir.path());
            if (!failure.isEmpty())
                QFAIL(qPrintable(failure + u" for input " + QString::fromLatin1(input.toHex())));
        }
    }
};

QTEST_GUILESS_MAIN(TstFuzzSnapshot)
#include "tst_fuzz_snapshot.moc"
