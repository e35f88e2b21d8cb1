#pragma once
// Setting defaults from the catalogue, encoded into registers the way the program writes them.

#include "SimOptions.h"

#include <QString>

#include <cstdint>
#include <string>
#include <vector>

namespace kolva::sim {

struct SettingDefault {
    QString type;  // catalogue type name
    int reg = 0;   // first register, 1-based
    int max = 0;   // text length for "string" / "stringswap"
    QString value; // the catalogue's default text
};

// Encodes one default into regs (index = register - 1). False with *error when the text does
// not fit the type or the registers run past 65536; regs is then unchanged.
bool encodeDefault(const SettingDefault& setting, std::vector<std::uint16_t>* regs,
                   std::string* error);

// Every setting row of options.model in options.catalogue, encoded over regs.
bool loadCatalogueDefaults(const Options& options, std::vector<std::uint16_t>* regs,
                           std::string* error);

} // namespace kolva::sim
