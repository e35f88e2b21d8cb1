// Saving and loading a large snapshot: the in-memory file written once, against one
// IniWrite / IniRead file access per entry. Prints figures; never fails on time.
//
//   bench_snapshot [settings=10000] [per-entry settings=300]

#include "config/Ini.h"
#include "snapshot/Snapshot.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <ctime>

using namespace kolva;

namespace {

struct Setting {
    QString group, rowKey, type, value;
};

QList<Setting> MakeSettings(int count) {
    static const char* const types[] = {"integer", "double", "combo", "string", "long"};
    QList<Setting> out;
    out.reserve(count);
    for (int i = 0; i < count; ++i) {
        const QString group = QString::number(1 + i / 40);
        const QString type = QString::fromLatin1(types[i % 5]);
        QString value = type == u"double"   ? QStringLiteral("%1.25").arg(i)
                        : type == u"string" ? QStringLiteral("Ayar metni %1").arg(i)
                                            : QString::number(i % 1000);
        out.append({group, group + u'_' + QString::number(100 + i), type, value});
    }
    return out;
}

double Ms(const QElapsedTimer& t) {
    return double(t.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? std::atoi(argv[1]) : 10000;
    const int perEntryCount = argc > 2 ? std::atoi(argv[2]) : 300;
    QTemporaryDir dir;
    const QList<Setting> settings = MakeSettings(count);

    const QString file = dir.filePath("snapshot.ini");
    QElapsedTimer t;
    const std::clock_t cpuStart = std::clock();
    t.start();
    {
        TSnapshotWriter writer(file, QStringLiteral("RX-B2"));
        for (const Setting& s : settings)
            writer.Add(s.group, s.rowKey, s.value);
        writer.Commit();
    }
    const double saveMs = Ms(t);

    t.restart();
    int mismatches = 0;
    {
        TSnapshotReader reader(file);
        if (reader.DeviceName() != u"RX-B2") ++mismatches;
        for (const Setting& s : settings)
            if (reader.Value(s.group, s.rowKey, s.type) != s.value) ++mismatches;
        reader.Commit();
    }
    const double loadMs = Ms(t);
    const double cpuMs = double(std::clock() - cpuStart) * 1000.0 / CLOCKS_PER_SEC;

    std::printf("snapshot of %d settings (%lld bytes), file held in memory:\n", count,
                QFile(file).size());
    std::printf("  save %.1f ms, load %.1f ms, together %.1f ms (CPU %.1f ms)\n", saveMs, loadMs,
                saveMs + loadMs, cpuMs);

    // One file access per entry, as IniWrite / IniRead give on their own.
    const QList<Setting> few = MakeSettings(perEntryCount);
    const QString slow = dir.filePath("per-entry.ini");
    t.restart();
    IniWrite("DEVICE", "device_name", "RX-B2", slow);
    for (const Setting& s : few)
        IniWrite("Group_" + s.group, "Setting_" + s.rowKey, s.value, slow);
    const double slowSaveMs = Ms(t);
    t.restart();
    IniRead("DEVICE", "device_name", "RX-B2", slow);
    for (const Setting& s : few)
        if (IniRead("Group_" + s.group, "Setting_" + s.rowKey, "", slow) != s.value) ++mismatches;
    const double slowLoadMs = Ms(t);
    std::printf("one IniWrite / IniRead per entry, %d settings:\n", perEntryCount);
    std::printf("  save %.1f ms, load %.1f ms, together %.1f ms\n", slowSaveMs, slowLoadMs,
                slowSaveMs + slowLoadMs);
    std::printf("mismatches: %d\n", mismatches);
    return mismatches == 0 ? 0 : 1;
}
