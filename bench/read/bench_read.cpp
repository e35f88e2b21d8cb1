// bench_read: "Oku" of a whole generated model (200 settings, all seven types) against
// kolva-sim over a pty, through TDeviceOperations (catalogue walk, deciphering, exchange,
// decoding, grid update, log lines), side by side with a libmodbus client reading the same
// registers with one request per setting. Then the same at 9600 and 19200 baud with the
// simulator's wire-time emulation, compared with the wire-time bound: per setting
// (8 request bytes + 5 + 2*count reply bytes + one 3.5-character gap) * 11 bits / baud,
// the time the simulator itself holds each reply for.
//
//   bench_read [--settings N] [--runs R] [--skip-wire]
//
// Needs kolva-sim and kolva-catalogue beside it (or in $KOLVA_BIN_DIR). Prints Markdown.

#include "SimProcess.h"
#include "catalogue/Module.h"
#include "config/Host.h"
#include "config/Ini.h"
#include "config/Paths.h"
#include "editor/SettingsGrid.h"
#include "link/Codecs.h"
#include "link/Link.h"
#include "link/Log.h"
#include "operations/CatalogueRows.h"
#include "operations/Operations.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
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
    void ShowMessage(const QString& text) override {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
    }
    void ShowError(const QString& text) override {
        std::fprintf(stderr, "error: %s\n", qPrintable(text));
    }
    bool Confirm(const QString&) override { return true; }
    bool WarningOkCancel(const QString&) override { return true; }
    bool CtrlDown() override { return false; }
    void ProcessEvents() override { QCoreApplication::processEvents(); }
    // The closing pause of one time-out is left out of the figures.
    void Sleep(int) override {}
    void SetProgressMax(int) override {}
    void SetProgressPos(int pos) override { pos_ = pos; }
    int ProgressPos() const override { return pos_; }

private:
    int pos_ = 0;
};

double CpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

struct Setting {
    int reg = 0;
    int count = 1;
};

struct Result {
    QString client;
    long baud = 0;
    int settings = 0;
    int failures = 0;
    double wallS = 0, cpuS = 0;
    double boundS = 0;
};

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

bool StartSim(test::SimProcess& sim, const QString& catalogue, const QString& model, long baud) {
    QStringList args{"--catalogue", catalogue, "--model", model};
    if (baud > 0) args << "--baud" << QString::number(baud);
    if (!sim.start(args)) {
        std::fprintf(stderr, "kolva-sim: %s\n", qPrintable(sim.errorString()));
        return false;
    }
    return true;
}

double Bound(const std::vector<Setting>& settings, long baud) {
    if (baud <= 0) return 0;
    double bytes = 0;
    for (const Setting& s : settings)
        bytes += 8 + 5 + 2 * s.count + 3.5;
    return bytes * 11.0 / double(baud);
}

Result RunOperations(Tfm& fm, const QString& catalogue, const QString& model,
                     const std::vector<Setting>& settings, long baud, int runs) {
    Result r;
    r.client = QStringLiteral("TDeviceOperations");
    r.baud = baud;
    r.settings = int(settings.size());
    test::SimProcess sim;
    if (!StartSim(sim, catalogue, model, baud)) return r;
    IniWrite(QStringLiteral("RTU"), QStringLiteral("comport"), sim.ptyPath());
    IniWrite(QStringLiteral("RTU"), QStringLiteral("baudrate"),
             QString::number(baud > 0 ? baud : 38400));
    IniWrite(QStringLiteral("RTU"), QStringLiteral("timeout"), QStringLiteral("1000"));
    NullHost host;
    fm.host = &host;
    TLog log;
    TLink link(log, host);
    TSettingsGrid grid;
    TOperationState state;
    TDeviceOperations ops(host, log, link, fm, grid, state);
    ops.SetDeviceText(model);
    ops.SetAddressText(QStringLiteral("1"));
    ops.mnNewClick(); // the grid is built once, outside the timing
    std::vector<double> wall, cpu;
    for (int i = 0; i < runs; ++i) {
        log.Clear();
        QElapsedTimer t;
        const double c0 = CpuSeconds();
        t.start();
        ops.mnReadClick();
        wall.push_back(double(t.nsecsElapsed()) / 1e9);
        cpu.push_back(CpuSeconds() - c0);
        r.failures = std::max(r.failures, ops.LastResult().errors);
        if (ops.LastResult().failed || !ops.LastResult().started)
            std::fprintf(stderr, "read did not run: %s\n", qPrintable(log.StatusText()));
    }
    r.wallS = Median(wall);
    r.cpuS = Median(cpu);
    r.boundS = Bound(settings, baud);
    return r;
}

Result RunLibmodbus(const QString& catalogue, const QString& model,
                    const std::vector<Setting>& settings, long baud, int runs) {
    Result r;
    r.client = QStringLiteral("libmodbus");
    r.baud = baud;
    r.settings = int(settings.size());
    test::SimProcess sim;
    if (!StartSim(sim, catalogue, model, baud)) return r;
    const QByteArray path = sim.ptyPath().toLocal8Bit();
    modbus_t* ctx = modbus_new_rtu(path.constData(), baud > 0 ? int(baud) : 38400, 'N', 8, 1);
    if (!ctx || modbus_set_slave(ctx, 1) != 0 || modbus_connect(ctx) != 0) {
        std::fprintf(stderr, "libmodbus: %s\n", modbus_strerror(errno));
        if (ctx) modbus_free(ctx);
        return r;
    }
    modbus_set_response_timeout(ctx, 1, 0);
    uint16_t buf[128];
    std::vector<double> wall, cpu;
    for (int i = 0; i < runs; ++i) {
        int failures = 0;
        QElapsedTimer t;
        const double c0 = CpuSeconds();
        t.start();
        for (const Setting& s : settings)
            if (modbus_read_registers(ctx, s.reg - 1, s.count, buf) != s.count) ++failures;
        wall.push_back(double(t.nsecsElapsed()) / 1e9);
        cpu.push_back(CpuSeconds() - c0);
        r.failures = std::max(r.failures, failures);
    }
    modbus_close(ctx);
    modbus_free(ctx);
    r.wallS = Median(wall);
    r.cpuS = Median(cpu);
    r.boundS = Bound(settings, baud);
    return r;
}

void Print(const Result& r) {
    std::printf("| %s | %s | %d | %d | %.3f | %.3f | %.3f |", qPrintable(r.client),
                r.baud > 0 ? qPrintable(QString::number(r.baud)) : "pty", r.settings, r.failures,
                r.wallS, r.settings ? 1000.0 * r.wallS / r.settings : 0.0, r.cpuS);
    if (r.baud > 0)
        std::printf(" %.3f | %.2f |\n", r.boundS, r.boundS > 0 ? r.wallS / r.boundS : 0.0);
    else
        std::printf(" - | - |\n");
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    int count = 200;
    int runs = 5;
    bool wire = true;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--settings") && i + 1 < args.size())
            count = args[++i].toInt();
        else if (args[i] == QLatin1String("--runs") && i + 1 < args.size())
            runs = std::max(1, args[++i].toInt());
        else if (args[i] == QLatin1String("--skip-wire"))
            wire = false;
    }

    QTemporaryDir dir;
    paths::SetDataDirOverride(dir.path());
    const QString catalogue = dir.filePath(QStringLiteral("bench.sqlite"));
    QString bin = qEnvironmentVariable("KOLVA_BIN_DIR");
    if (bin.isEmpty()) bin = QCoreApplication::applicationDirPath();
    QProcess tool;
    tool.start(bin + QStringLiteral("/kolva-catalogue"),
               {QStringLiteral("generate"), QString::number(count), catalogue});
    if (!tool.waitForFinished(60000) || tool.exitCode() != 0) {
        std::fprintf(stderr, "kolva-catalogue generate failed\n");
        return 1;
    }
    const QString model = QStringLiteral("BENCH-%1").arg(count);
    Tfm fm;
    fm.DBBaglan(catalogue);

    std::vector<Setting> settings;
    catalogue_rows::TCursor rows(fm, catalogue_rows::qkRead, model, false);
    if (rows.Open())
        for (; !rows.Eof(); rows.Next()) {
            const catalogue_rows::TSettingRow s = rows.Row();
            settings.push_back({s.reg, RegisterCount(s.type, s.max)});
        }
    int registers = 0;
    for (const Setting& s : settings)
        registers += s.count;
    std::printf("Model %s: %zu settings, %d registers; median of %d runs "
                "(wire-emulated: 1 run)\n\n",
                qPrintable(model), settings.size(), registers, runs);
    std::printf("| client | line | settings | failed | wall s | ms/setting | CPU s | "
                "bound s | wall/bound |\n");
    std::printf("|---|---|---|---|---|---|---|---|---|\n");
    Print(RunOperations(fm, catalogue, model, settings, 0, runs));
    Print(RunLibmodbus(catalogue, model, settings, 0, runs));
    if (wire) {
        for (long baud : {9600L, 19200L}) {
            Print(RunOperations(fm, catalogue, model, settings, baud, 1));
            Print(RunLibmodbus(catalogue, model, settings, baud, 1));
        }
    }
    return 0;
}
