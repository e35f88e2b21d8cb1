// Building a large settings grid while the grid view is shown and repaints.
//
// Three measurements on a generated model of N settings (every setting type, 25 settings a
// category, every 7th category an alarm group):
//   model   rows added through the model API exactly as a build adds them (category row,
//           editor row, name, fields, RowChanged; events every 50 rows), no view;
//   view    the same with the grid view shown (offscreen) and repainting every 50 rows;
//   build   "Yeni": the real grid build from a generated catalogue (query, decryption,
//           conversions) with the view shown.
// Each is run several times; the best and the median are printed, with the process's peak
// resident memory (getrusage ru_maxrss). Prints figures; never fails on time.
//
//   bench_grid [settings=10000] [runs=5]

#include "catalogue/Catalogue.h"
#include "catalogue/Module.h"
#include "config/Host.h"
#include "config/Ini.h"
#include "config/Paths.h"
#include "editor/SettingsGrid.h"
#include "link/Link.h"
#include "link/Log.h"
#include "operations/OperationState.h"
#include "operations/Operations.h"
#include "shell/grid/GridView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <sys/resource.h>
#include <unistd.h>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include <algorithm>
#include <cstdio>
#include <functional>

using namespace kolva;

namespace {

class BenchHost : public Host {
public:
    double eventsMs = 0; // time spent letting the window lay out and repaint
    void ShowMessage(const QString&) override {}
    void ShowError(const QString& text) override {
        std::fprintf(stderr, "error: %s\n", qPrintable(text));
    }
    bool Confirm(const QString&) override { return true; }
    bool WarningOkCancel(const QString&) override { return true; }
    bool CtrlDown() override { return false; }
    void ProcessEvents() override {
        QElapsedTimer t;
        t.start();
        QApplication::processEvents();
        eventsMs += double(t.nsecsElapsed()) / 1e6;
    }
    void Sleep(int) override {}
    void SetProgressMax(int max) override { max_ = max; }
    void SetProgressPos(int pos) override { pos_ = pos; }
    int ProgressPos() const override { return pos_; }

private:
    int max_ = 0, pos_ = 0;
};

double CpuMs() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

// Resident memory now (Linux; 0 elsewhere).
long RssKb() {
    long pages = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(f);
    }
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// Heap bytes in use (glibc; 0 elsewhere): shows what the grid itself holds, which the RSS
// figures hide when the allocator reuses memory freed by the catalogue generation.
double HeapMb() {
#if defined(__GLIBC__)
    return double(mallinfo2().uordblks) / (1024.0 * 1024.0);
#else
    return 0;
#endif
}

long PeakRssKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// The model-API driver: the same calls, in the same order, as the grid build makes.
void BuildThroughModel(TSettingsGrid& grid, Host& host, int count) {
    static const TEditorKind kinds[] = {
        TEditorKind::SpinInt, TEditorKind::SpinInt, TEditorKind::Text, TEditorKind::SpinFloat,
        TEditorKind::Text,    TEditorKind::Text,    TEditorKind::Combo};
    const QList<TChoice> choices = {{0, QStringLiteral("0. Kapalı")},
                                    {1, QStringLiteral("1. Açık")},
                                    {2, QStringLiteral("2. Otomatik")}};
    grid.SetModelName(QStringLiteral("BENCH"));
    grid.Clear();
    host.ProcessEvents();
    grid.SetEnabled(false);
    TGridRow* category = nullptr;
    for (int i = 0; i < count; ++i) {
        if ((i + 1) % 50 == 0) host.ProcessEvents();
        const int group = i / 25 + 1;
        if (i % 25 == 0) category = grid.AddCategory(QStringLiteral("Grup %1").arg(group), false);
        TGridRow* row = grid.AddEditorRow(category);
        grid.AddName(row, QStringLiteral("row_%1_%2").arg(group).arg(100 + i));
        row->Tag = 100 + i;
        row->Caption = QStringLiteral("Ayar %1").arg(i + 1);
        row->Hint = QStringLiteral("Ölçüm ayarı %1\r\nMinimum: 0 Maksimum: 65535").arg(i + 1);
        row->Editor = kinds[i % 7];
        row->Max = 65535;
        switch (row->Editor) {
        case TEditorKind::SpinInt:
            row->TypeMax = 65535;
            row->Value = 0;
            break;
        case TEditorKind::SpinFloat:
            row->Decimals = 2;
            row->Step = 0.1;
            row->LargeStep = 1.0;
            row->Value = 1.0;
            break;
        case TEditorKind::Combo:
            row->Choices = choices;
            row->Value = 0;
            break;
        case TEditorKind::Text:
            row->Max = 8;
            row->Value = QStringLiteral("ABC");
            break;
        }
        grid.RowChanged(row);
    }
    grid.SetEnabled(true);
}

struct Figures {
    QList<double> ms, cpu, events;
    int rows = 0;
    long peakKb = 0, rssKb = 0;
    double heapMb = 0;
};

void Print(const char* name, Figures f) {
    std::sort(f.ms.begin(), f.ms.end());
    std::sort(f.cpu.begin(), f.cpu.end());
    std::sort(f.events.begin(), f.events.end());
    const qsizetype mid = f.ms.size() / 2;
    std::printf(
        "  %-28s %6d rows  wall best %7.1f / median %7.1f ms  CPU best %7.1f / median "
        "%7.1f ms  in events (median) %6.1f ms  heap %.1f MB  RSS now %.1f MB, peak %.1f MB\n",
        name, f.rows, f.ms.front(), f.ms.at(mid), f.cpu.front(), f.cpu.at(mid), f.events.at(mid),
        f.heapMb, f.rssKb / 1024.0, f.peakKb / 1024.0);
}

Figures Measure(int runs, TSettingsGrid& grid, BenchHost& host, const std::function<void()>& run) {
    Figures f;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        const double cpu = CpuMs();
        host.eventsMs = 0;
        t.start();
        run();
        // the view lays out and paints what the build added last
        QApplication::processEvents();
        f.ms << double(t.nsecsElapsed()) / 1e6;
        f.cpu << CpuMs() - cpu;
        f.events << host.eventsMs;
    }
    f.rows = grid.EditorRowCount();
    f.peakKb = PeakRssKb();
    f.rssKb = RssKb();
    f.heapMb = HeapMb();
    return f;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int count = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10000;
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;

    QTemporaryDir dir;
    paths::SetDataDirOverride(dir.path());
    const QString catalogue = dir.filePath(QStringLiteral("db.sqlite"));
    QString error;
    if (!BuildCatalogue(GenerateBenchCsv(count), catalogue, QString(), true, &error)) {
        std::fprintf(stderr, "catalogue: %s\n", qPrintable(error));
        return 1;
    }
    const long startKb = PeakRssKb();

    BenchHost host;
    TLog log;
    TLink link(log, host);
    Tfm fm(&host);
    fm.DBBaglan(catalogue);
    TOperationState state;
    TSettingsGrid grid;
    TDeviceOperations ops(host, log, link, fm, grid, state);
    ops.SetDeviceText(QStringLiteral("BENCH-%1").arg(count));

    std::printf("grid build of %d settings, %d runs each (Qt %s, platform %s)\n", count, runs,
                qVersion(), qPrintable(QGuiApplication::platformName()));
    std::printf("  before any grid: heap %.1f MB  RSS now %.1f MB, peak %.1f MB (catalogue "
                "generation)\n",
                HeapMb(), RssKb() / 1024.0, startKb / 1024.0);

    std::printf("  (%d event rounds a build)\n", count / 50 + 1);
    std::printf(" without a view:\n");
    Print("model API driver",
          Measure(runs, grid, host, [&] { BuildThroughModel(grid, host, count); }));
    Print("build (Yeni)", Measure(runs, grid, host, [&] { ops.mnNewClick(); }));

    TGridView view;
    view.SetGrid(&grid);
    view.resize(1008, 561);
    view.show();
    QApplication::processEvents();
    std::printf(" with the grid view shown, %dx%d:\n", view.width(), view.height());
    Print("model API driver",
          Measure(runs, grid, host, [&] { BuildThroughModel(grid, host, count); }));
    Print("build (Yeni)", Measure(runs, grid, host, [&] { ops.mnNewClick(); }));
    if (grid.EditorRowCount() != count)
        std::printf("  warning: the build made %d rows\n", grid.EditorRowCount());

    // what a read or a load does to the built grid: one value per row, events every 50 rows
    const auto setValues = [&] {
        for (int i = 0; i < count; ++i) {
            if ((i + 1) % 50 == 0) host.ProcessEvents();
            const TGridRow* shown = grid.TopLevelRow(i / 25)->Child(i % 25);
            if (TGridRow* row = grid.FindRow(shown->Name)) grid.SetValue(row, QString::number(i));
        }
    };
    Print("values set (read/load)", Measure(runs, grid, host, setValues));

    IniWrite(QStringLiteral("AYAR"), QStringLiteral("chcollapse"), QStringLiteral("1"));
    Print("build, categories collapsed", Measure(runs, grid, host, [&] { ops.mnNewClick(); }));
    Print("values set, collapsed", Measure(runs, grid, host, setValues));

    return 0;
}
