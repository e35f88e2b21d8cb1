// bench_link: N single-register reads (function 03) over a pty against kolva-sim, timed per
// request, for this program's exchange (TLink) and for a libmodbus client doing the same
// reads against the same simulator; then the same with the simulator's wire-time emulation
// at 9600 and 19200 baud, compared with the wire-time bound N * (15*11/B + 2*38.5/B).
//
//   bench_link [--count N] [--skip-wire]
//
// Needs kolva-sim beside it (or in $KOLVA_BIN_DIR). Prints a Markdown table.

#include "SimProcess.h"
#include "config/Host.h"
#include "link/Link.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <modbus/modbus.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

using namespace kolva;

namespace {

class NullHost : public Host {
public:
    void ShowMessage(const QString&) override {}
    void ShowError(const QString&) override {}
    bool Confirm(const QString&) override { return false; }
    bool WarningOkCancel(const QString&) override { return false; }
    bool CtrlDown() override { return false; }
    void ProcessEvents() override { QCoreApplication::processEvents(); }
    void Sleep(int) override {}
    void SetProgressMax(int) override {}
    void SetProgressPos(int) override {}
    int ProgressPos() const override { return 0; }
};

double CpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

struct Result {
    QString client;
    long baud = 0; // 0: no wire emulation
    int requests = 0;
    int failures = 0;
    double medianMs = 0, p99Ms = 0, wallS = 0, cpuS = 0;
};

Result Summarise(const QString& client, long baud, std::vector<double> ms, int failures,
                 double wallS, double cpuS) {
    Result r;
    r.client = client;
    r.baud = baud;
    r.requests = int(ms.size());
    r.failures = failures;
    std::sort(ms.begin(), ms.end());
    if (!ms.empty()) {
        r.medianMs = ms[ms.size() / 2];
        r.p99Ms = ms[std::min(ms.size() - 1, size_t(double(ms.size()) * 0.99))];
    }
    r.wallS = wallS;
    r.cpuS = cpuS;
    return r;
}

bool StartSim(test::SimProcess& sim, long baud) {
    QStringList args{"--address", "1"};
    if (baud > 0) args << "--baud" << QString::number(baud);
    if (!sim.start(args)) {
        std::fprintf(stderr, "kolva-sim: %s\n", qPrintable(sim.errorString()));
        return false;
    }
    return true;
}

// Latencies and CPU of one client, gathered over several rounds.
struct Samples {
    std::vector<double> ms;
    int failures = 0;
    double wallS = 0, cpuS = 0;
};

// `count` reads by this program's exchange on `path`.
void RoundLink(const QString& path, long baud, bool logging, int count, int first, Samples& out) {
    NullHost host;
    TLog log;
    log.chLog = logging;
    log.chLogAll = logging;
    TLink link(log, host);
    link.CP1->Port = path;
    link.CP1->Baud = baud > 0 ? baud : 38400;
    link.CP1->Open();
    link.TimeoutMs = 1000;
    QElapsedTimer wall, one;
    const double cpu0 = CpuSeconds();
    wall.start();
    for (int i = 0; i < count; ++i) {
        one.start();
        if (!link.ReadRegisters(1, 1 + (first + i) % 100, 1, fnReadHolding)) ++out.failures;
        out.ms.push_back(double(one.nsecsElapsed()) / 1e6);
    }
    out.wallS += double(wall.nsecsElapsed()) / 1e9;
    out.cpuS += CpuSeconds() - cpu0;
    link.CP1->Close();
}

// The same reads by libmodbus on `path`.
void RoundLibmodbus(const QString& path, long baud, int count, int first, Samples& out) {
    const QByteArray device = path.toLocal8Bit();
    modbus_t* ctx = modbus_new_rtu(device.constData(), baud > 0 ? int(baud) : 38400, 'N', 8, 1);
    if (!ctx || modbus_set_slave(ctx, 1) != 0 || modbus_connect(ctx) != 0) {
        std::fprintf(stderr, "libmodbus: %s\n", modbus_strerror(errno));
        if (ctx) modbus_free(ctx);
        out.failures += count;
        return;
    }
    modbus_set_response_timeout(ctx, 1, 0);
    uint16_t value = 0;
    QElapsedTimer wall, one;
    const double cpu0 = CpuSeconds();
    wall.start();
    for (int i = 0; i < count; ++i) {
        one.start();
        if (modbus_read_registers(ctx, (first + i) % 100, 1, &value) != 1) ++out.failures;
        out.ms.push_back(double(one.nsecsElapsed()) / 1e6);
    }
    out.wallS += double(wall.nsecsElapsed()) / 1e9;
    out.cpuS += CpuSeconds() - cpu0;
    modbus_close(ctx);
    modbus_free(ctx);
}

// Every client does `count` reads against one simulator, in `rounds` alternating rounds so
// that changes in the machine's load fall on all of them alike.
QList<Result> Compare(long baud, int count, int rounds, bool withLogging) {
    test::SimProcess sim;
    if (!StartSim(sim, baud)) return {};
    Samples link, linkLog, modbus;
    const int perRound = qMax(1, count / rounds);
    for (int round = 0; round < rounds; ++round) {
        const int first = round * perRound;
        if (round % 2 == 0) {
            RoundLink(sim.ptyPath(), baud, false, perRound, first, link);
            RoundLibmodbus(sim.ptyPath(), baud, perRound, first, modbus);
        } else {
            RoundLibmodbus(sim.ptyPath(), baud, perRound, first, modbus);
            RoundLink(sim.ptyPath(), baud, false, perRound, first, link);
        }
        if (withLogging) RoundLink(sim.ptyPath(), baud, true, perRound, first, linkLog);
    }
    QList<Result> results;
    results << Summarise(QStringLiteral("TLink"), baud, link.ms, link.failures, link.wallS,
                         link.cpuS)
            << Summarise(QStringLiteral("libmodbus"), baud, modbus.ms, modbus.failures,
                         modbus.wallS, modbus.cpuS);
    if (withLogging)
        results << Summarise(QStringLiteral("TLink, log on"), baud, linkLog.ms, linkLog.failures,
                             linkLog.wallS, linkLog.cpuS);
    return results;
}

void Print(const Result& r) {
    std::printf("| %-14s | %6s | %5d | %3d | %8.3f | %8.3f | %8.2f | %7.3f | %5.2f%% |",
                qPrintable(r.client), r.baud > 0 ? qPrintable(QString::number(r.baud)) : "-",
                r.requests, r.failures, r.medianMs, r.p99Ms, r.wallS, r.cpuS,
                r.wallS > 0 ? 100.0 * r.cpuS / r.wallS : 0.0);
    if (r.baud > 0) {
        const double bound =
            r.requests * (15.0 * 11.0 / double(r.baud) + 2.0 * 38.5 / double(r.baud));
        std::printf(" %7.2f | %5.3f |\n", bound, r.wallS > 0 ? bound / r.wallS : 0.0);
    } else {
        std::printf("       - |     - |\n");
    }
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    int count = 2000;
    bool wire = true;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--count") && i + 1 < args.size())
            count = args[++i].toInt();
        else if (args[i] == QLatin1String("--skip-wire"))
            wire = false;
    }
    std::printf("| client | baud | reads | fail | median ms | p99 ms | wall s | CPU s | "
                "CPU/wall | bound s | bound/wall |\n");
    std::printf("|---|---|---|---|---|---|---|---|---|---|---|\n");
    QList<Result> all = Compare(0, count, 10, true);
    if (wire)
        for (long baud : {9600L, 19200L})
            all += Compare(baud, count, 4, false);
    for (const Result& r : all)
        Print(r);
    if (all.size() >= 2 && all[1].medianMs > 0)
        std::printf("\nTLink / libmodbus median latency without wire time: %.3f\n",
                    all[0].medianMs / all[1].medianMs);
    return 0;
}
