// Runs the reply fuzz entry over a few thousand pseudo-random inputs (fixed seed), so the
// ordinary suite keeps the fuzz target's promises checked.

#include "FuzzReply.h"

#include <QTest>

#include <random>
#include <vector>

class TestFuzzReplyReplay : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void replay_data() {
        QTest::addColumn<int>("mode"); // bit 0 of the input's mode byte
        QTest::newRow("arbitrary bytes") << 0;
        QTest::newRow("correct reply with flipped bits") << 1;
    }
    void replay() {
        QFETCH(int, mode);
        std::mt19937 random(20261211u + unsigned(mode));
        std::vector<std::uint8_t> input;
        for (int run = 0; run < 2500; ++run) {
            input.resize(6 + random() % 300);
            for (auto& b : input)
                b = std::uint8_t(random());
            // Mostly small counts and chunks, so that complete replies are common.
            input[4] = std::uint8_t(random() % (run % 4 == 0 ? 256 : 4));
            input[5] = std::uint8_t((input[5] & ~1u) | unsigned(mode));
            for (std::size_t i = 6; i < input.size(); i += 1 + input[i])
                input[i] %= 9;
            kolva::fuzz::FuzzReplyInput(input.data(), input.size());
        }
    }
};

QTEST_GUILESS_MAIN(TestFuzzReplyReplay)
#include "tst_fuzz_reply.moc"
