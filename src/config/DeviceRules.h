#pragma once
// Rules of the KOLVA devices that every layer shares: how many registers a setting type
// spans, and which register a model's store command writes.

#include <QString>

namespace kolva {

// Registers a setting of the catalogue type `type` occupies: integer, signedint, combo 1;
// long, double 2; string, stringswap ceil(max/2) (0 for max <= 0); 1 for any other type.
int RegisterCount(const QString& type, int max);

// The store command of a model: the value 1 written with function 06 to `reg` (catalogue
// numbering), and the log line that goes with it (empty when none).
struct TSaveCommand {
    int reg;
    QString logLine;
};
TSaveCommand SaveCommandFor(const QString& model);

} // namespace kolva
