// kolva-catalogue: the maker's tool for the settings catalogue.
//
//   kolva-catalogue build SOURCE.csv OUT.sqlite [--password P] [--without-writecmd]
//   kolva-catalogue dump DB
//   kolva-catalogue generate N OUT [--password P]   (OUT *.csv: CSV source, else a catalogue)

#include "catalogue/Catalogue.h"

#include <QCoreApplication>
#include <QFile>
#include <QTextStream>

using namespace kolva;

namespace {

int Usage() {
    QTextStream(stderr)
        << "usage:\n"
           "  kolva-catalogue build SOURCE.csv OUT.sqlite [--password P] [--without-writecmd]\n"
           "  kolva-catalogue dump DB\n"
           "  kolva-catalogue generate N OUT [--password P]\n";
    return 2;
}

QString Option(QStringList& args, const QString& name, bool* present = nullptr) {
    const qsizetype at = args.indexOf(name);
    if (present) *present = at >= 0;
    if (at < 0) return QString();
    QString value;
    if (at + 1 < args.size() && !present) value = args.takeAt(at + 1);
    args.removeAt(at);
    return value;
}

QString Cell(const QString& text) {
    if (text.contains(u',') || text.contains(u'"') || text.contains(u'\n') || text.contains(u'\r'))
        return u'"' + QString(text).replace(u'"', QStringLiteral("\"\"")) + u'"';
    return text;
}

QString Opt(const std::optional<int>& v) {
    return v ? QString::number(*v) : QString();
}

int Dump(const QString& db) {
    QString error;
    const QList<TCatalogueRow> rows = ReadAllRows(db, &error);
    if (!error.isEmpty()) {
        QTextStream(stderr) << "kolva-catalogue: " << error << "\n";
        return 1;
    }
    QTextStream out(stdout);
    out.setEncoding(QStringConverter::Utf8);
    out << CsvColumns().join(u',') << "\n";
    for (const TCatalogueRow& r : rows) {
        const QStringList cells = {QString::number(r.id),
                                   Cell(r.device),
                                   QString::number(r.command),
                                   QString::number(r.group),
                                   Cell(r.groupCaption),
                                   Cell(r.caption),
                                   QString::number(r.registerNo),
                                   Cell(r.type),
                                   QString::number(r.min),
                                   QString::number(r.max),
                                   QString::number(r.decimal),
                                   Opt(r.readonly),
                                   Cell(r.hint),
                                   Cell(r.defaultValue),
                                   Cell(r.combo),
                                   Opt(r.writecmd)};
        out << cells.join(u',') << "\n";
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    if (args.isEmpty()) return Usage();
    const QString command = args.takeFirst();
    const QString password = Option(args, QStringLiteral("--password"));
    bool withoutWritecmd = false;
    Option(args, QStringLiteral("--without-writecmd"), &withoutWritecmd);

    if (command == QLatin1String("dump") && args.size() == 1) return Dump(args[0]);

    QByteArray csv;
    QString out;
    if (command == QLatin1String("build") && args.size() == 2) {
        QFile source(args[0]);
        if (!source.open(QIODevice::ReadOnly)) {
            QTextStream(stderr) << "kolva-catalogue: cannot read " << args[0] << "\n";
            return 1;
        }
        csv = source.readAll();
        out = args[1];
    } else if (command == QLatin1String("generate") && args.size() == 2) {
        bool ok = false;
        const int n = args[0].toInt(&ok);
        if (!ok || n < 1 || n > 30000) {
            QTextStream(stderr) << "kolva-catalogue: N must be 1..30000\n";
            return 2;
        }
        csv = GenerateBenchCsv(n);
        out = args[1];
        if (out.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive)) {
            QFile file(out);
            if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
                file.write(csv) != csv.size()) {
                QTextStream(stderr) << "kolva-catalogue: cannot write " << out << "\n";
                return 1;
            }
            return 0;
        }
    } else
        return Usage();

    QString error;
    if (!BuildCatalogue(csv, out, password, !withoutWritecmd, &error)) {
        QTextStream(stderr) << "kolva-catalogue: " << args[0] << ": " << error << "\n";
        return 1;
    }
    return 0;
}
