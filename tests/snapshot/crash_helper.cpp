// Writes a large snapshot over a file while the file size limit is far below its size, so
// the process is killed (SIGXFSZ) in the middle of writing. The caller checks what is left.
#include "snapshot/Snapshot.h"

#include <QCoreApplication>
#include <QString>

#include <cstdio>
#include <sys/resource.h>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc < 3) return 2;
    const QString target = QString::fromLocal8Bit(argv[1]);
    const rlim_t limit = rlim_t(std::atol(argv[2]));
    kolva::TSnapshotWriter writer(target, QStringLiteral("RX-B2"));
    for (int i = 0; i < 10000; ++i)
        writer.Add(QString::number(i / 100), QStringLiteral("%1_%2").arg(i / 100).arg(i),
                   QStringLiteral("value %1").arg(i));
    rlimit rl{limit, limit};
    if (setrlimit(RLIMIT_FSIZE, &rl) != 0) return 3;
    writer.Commit();
    return 0;
}
