#include "Cli.h"

#include <QCoreApplication>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kolva-ayar-cli"));
    return kolva::cli::Run(QCoreApplication::arguments());
}
