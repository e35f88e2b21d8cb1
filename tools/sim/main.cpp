// kolva-sim: one simulated KOLVA device on a pseudo-terminal (see docs/kolva-sim.md).

#include "CatalogueDefaults.h"
#include "SimOptions.h"
#include "Simulator.h"

#include <QCoreApplication>

#include <cstdio>
#include <sys/stat.h>

using namespace kolva::sim;

int main(int argc, char** argv) {
    installSignalHandlers();

    Options options;
    std::string error;
    const int parsed = parseOptions(argc, argv, &options, &error);
    if (parsed == 1) {
        std::fputs(usageText(), stdout);
        return 0;
    }
    if (parsed < 0) {
        std::fprintf(stderr, "kolva-sim: %s\n", error.c_str());
        return 2;
    }

    // The catalogue reader needs an application object for its SQL driver.
    QCoreApplication app(argc, argv);

    Simulator sim(options);
    auto& regs = sim.registers();
    if (!options.catalogue.empty() && !loadCatalogueDefaults(options, &regs, &error)) {
        std::fprintf(stderr, "kolva-sim: %s\n", error.c_str());
        return 1;
    }
    if (!options.mapFile.empty() && !loadRegisterFile(options.mapFile, &regs, &error)) {
        std::fprintf(stderr, "kolva-sim: %s\n", error.c_str());
        return 1;
    }
    sim.markBaseline();
    struct stat st {};
    if (!options.stateFile.empty() && ::stat(options.stateFile.c_str(), &st) == 0 &&
        !loadRegisterFile(options.stateFile, &regs, &error)) {
        std::fprintf(stderr, "kolva-sim: %s\n", error.c_str());
        return 1;
    }

    if (!sim.open(&error)) {
        std::fprintf(stderr, "kolva-sim: %s\n", error.c_str());
        return 1;
    }
    std::printf("PTY %s\n", sim.ttyPath().c_str());
    std::fflush(stdout);

    const int rc = sim.run();
    sim.dump();
    return rc;
}
