#include "shell/Version.h"

#include <QFileInfo>

#ifdef Q_OS_WIN
#include <windows.h>

#include <vector>
#endif

namespace kolva {

namespace {
const QString kUnknown = QStringLiteral("?.?.?");
}

#ifdef Q_OS_WIN

QString GetFileVersionText(const QString& fileName) {
    const std::wstring path = fileName.toStdWString();
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &handle);
    if (size == 0) return kUnknown;
    std::vector<BYTE> buffer(size);
    if (!GetFileVersionInfoW(path.c_str(), 0, size, buffer.data())) return kUnknown;
    VS_FIXEDFILEINFO* info = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(buffer.data(), L"\\", reinterpret_cast<void**>(&info), &length) || !info ||
        length < sizeof(VS_FIXEDFILEINFO))
        return QString();
    return QStringLiteral("%1.%2.%3")
        .arg(HIWORD(info->dwFileVersionMS))
        .arg(LOWORD(info->dwFileVersionMS))
        .arg(HIWORD(info->dwFileVersionLS));
}

#else

QString GetFileVersionText(const QString& fileName) {
#ifdef KOLVA_VERSION_TEXT
    const QFileInfo file(fileName);
    if (fileName.isEmpty() || !file.isFile() || !file.isReadable()) return kUnknown;
    // Keep the first three numbers, as the version resource would show them.
    const QStringList parts = QStringLiteral(KOLVA_VERSION_TEXT).split(QLatin1Char('.'));
    if (parts.size() < 3) return kUnknown;
    return parts.mid(0, 3).join(QLatin1Char('.'));
#else
    Q_UNUSED(fileName);
    return kUnknown;
#endif
}

#endif

} // namespace kolva
