// libFuzzer entry for snapshot and INI parsing.
#include "FuzzSnapshot.h"

#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static QTemporaryDir dir;
    const QString failure = kolva::fuzz::CheckSnapshotBytes(
        QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)), dir.path());
    if (!failure.isEmpty()) {
        std::fprintf(stderr, "%s\n", failure.toUtf8().constData());
        std::abort();
    }
    return 0;
}
