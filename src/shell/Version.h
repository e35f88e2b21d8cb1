#pragma once
// The program's version text "major.minor.release".

#include <QString>

namespace kolva {

// On Windows the file's version resource (major.minor.release of its file version);
// elsewhere, where files carry no version resource, the version this program was built
// with, for a file that exists. "?.?.?" when there is none or the file cannot be read.
QString GetFileVersionText(const QString& fileName);

} // namespace kolva
