#include "Cli.h"

#include "ConsoleHost.h"

#include "catalogue/Module.h"
#include "config/ConfigKeys.h"
#include "config/Convert.h"
#include "config/Ini.h"
#include "config/Paths.h"
#include "editor/SettingsGrid.h"
#include "link/Link.h"
#include "link/Log.h"
#include "operations/CatalogueRows.h"
#include "operations/OperationState.h"
#include "operations/Operations.h"
#include "operations/SnapshotOps.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QTemporaryDir>

#include <cfloat>
#include <cmath>
#include <memory>
#include <optional>

namespace kolva::cli {

// ---------------------------------------------------------------------------------------
// Pure helpers

bool ParseAddressList(const QString& text, QList<int>* addresses, QString* error) {
    addresses->clear();
    auto bad = [&](const QString& why) {
        *error = QStringLiteral("Geçersiz adres listesi '%1': %2").arg(text, why);
        addresses->clear();
        return false;
    };
    auto number = [](const QString& piece, int* v) {
        for (QChar c : piece)
            if (!c.isDigit() || c.unicode() > 127) return false;
        bool ok = false;
        *v = piece.toInt(&ok);
        return ok && !piece.isEmpty();
    };
    if (text.trimmed().isEmpty()) return bad(QStringLiteral("boş"));
    for (const QString& raw : text.split(u',')) {
        const QString piece = raw.trimmed();
        int lo = 0, hi = 0;
        const qsizetype dash = piece.indexOf(u'-');
        if (dash < 0) {
            if (!number(piece, &lo)) return bad(u"'" + piece + u"' bir adres değil");
            hi = lo;
        } else if (!number(piece.left(dash).trimmed(), &lo) ||
                   !number(piece.mid(dash + 1).trimmed(), &hi) || hi < lo) {
            return bad(u"'" + piece + u"' bir adres aralığı değil");
        }
        if (lo < 1 || hi > 255) return bad(QStringLiteral("adresler 1 ile 255 arasında olmalı"));
        for (int a = lo; a <= hi; ++a)
            if (!addresses->contains(a)) addresses->append(a);
    }
    return true;
}

bool SameValue(const QString& type, int decimals, const QString& fileValue,
               const QString& deviceValue) {
    if (type.contains(QStringLiteral("string"))) {
        // A snapshot file holds CR, LF and NUL as blanks.
        QString device = deviceValue;
        for (QChar& c : device)
            if (c == u'\r' || c == u'\n' || c == u'\0') c = u' ';
        return fileValue == device;
    }
    double a = 0, b = 0;
    if (!TryStrToFloat(fileValue, &a) || !TryStrToFloat(deviceValue, &b))
        return fileValue == deviceValue;
    if (type != u"double") return a == b;
    const double unit = std::pow(10.0, -std::clamp(decimals, 0, 15));
    const double tolerance = unit / 2 + std::max(std::fabs(a), std::fabs(b)) * FLT_EPSILON;
    return std::fabs(a - b) <= tolerance;
}

// ---------------------------------------------------------------------------------------
// Program

namespace {

// One field of an output line: control characters (a value read from a device may hold
// any) and the backslash are written as escapes, so every setting stays on one line.
QString Field(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (QChar c : text) {
        if (c == u'\\')
            out += QStringLiteral("\\\\");
        else if (c == u'\t')
            out += QStringLiteral("\\t");
        else if (c == u'\r')
            out += QStringLiteral("\\r");
        else if (c == u'\n')
            out += QStringLiteral("\\n");
        else if (c.unicode() < 32 || c.unicode() == 127)
            out += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return out;
}

QString Line(const QStringList& fields) {
    QStringList escaped;
    for (const QString& f : fields)
        escaped << Field(f);
    return escaped.join(u'\t');
}

const char* const kUsage =
    "Kullanım: kolva-ayar-cli KOMUT [SEÇENEKLER]\n"
    "\n"
    "Komutlar:\n"
    "  models                                 katalogdaki cihaz modelleri\n"
    "  settings MODEL                         modelin ayarları (katalog sırasıyla)\n"
    "  read --model M --address N [--out F]   cihazdan tüm ayarları okur (\"Oku\")\n"
    "  write FILE --address LISTE [--verify]  dosyadaki ayarları yazar (\"Aç\" + \"Yaz\")\n"
    "  diff FILE --address N                  dosya ile cihaz arasındaki farklar\n"
    "  command --model M --address N KOMUT    komut gönderir (\"Komut Gönder\")\n"
    "\n"
    "Her komut için: kolva-ayar-cli KOMUT --help\n";

struct TSpec {
    QString name;
    QString summary;
    QStringList positional; // names of the positional arguments
    bool device = false;    // opens the serial line
    bool model = false;     // --model
    bool address = false;   // --address
    bool out = false;       // --out
    bool verify = false;    // --verify
};

QList<TSpec> Specs() {
    return {
        {"models", "Katalogdaki cihaz modellerini satır satır yazar.", {}},
        {"settings",
         "Modelin ayarlarını katalog sırasıyla yazar: grup, satır anahtarı, başlık, tip, min, "
         "max, ondalık, salt okunur, varsayılan (sekme ile ayrılmış).",
         {"MODEL"}},
        {"read",
         "Cihazdan her ayarı \"Oku\" gibi okur ve her ayar için bir satır yazar: satır anahtarı, "
         "başlık, değer. --out ile okunanları \"Kaydet\" gibi dosyaya kaydeder.",
         {},
         true,
         true,
         true,
         true},
        {"write",
         "Dosyayı \"Aç\" gibi yükler ve LISTE'deki her adrese \"Yaz\" gibi yazar (ardından "
         "kaydetme komutu). --verify yazılan her ayarı geri okur ve farkları bildirir.",
         {"FILE"},
         true,
         false,
         true,
         false,
         true},
        {"diff",
         "Cihazı okur ve değeri dosyadakinden farklı olan ayarları yazar: satır anahtarı, "
         "başlık, dosyadaki değer, cihazdaki değer.",
         {"FILE"},
         true,
         false,
         true},
        {"command",
         "Modelin komut listesinden id'si veya başlığı verilen komutu gönderir.",
         {"KOMUT"},
         true,
         true,
         true},
    };
}

// The assembled core, as the window assembles it.
struct TCore {
    TConsoleHost host;
    TLog log;
    TLink link;
    Tfm fm;
    TSettingsGrid grid;
    TOperationState state;
    TDeviceOperations ops;

    explicit TCore(bool yes)
        : host(yes), link(log, host), fm(&host), ops(host, log, link, fm, grid, state) {}
};

class TRun {
public:
    explicit TRun(const QStringList& args) : args_(args) {}
    int Exec();

private:
    int Usage(const QString& message) {
        ErrLine(u"kolva-ayar-cli: " + message);
        return kExitUsage;
    }
    int Prepare();
    bool OpenCatalogue();
    bool CheckModel(const QString& model);
    bool CheckAddress(const QString& text);
    // True when the last device operation failed to open the port or raised an error.
    bool LinkFailed(int messagesBefore) const;

    int Models();
    int Settings();
    int Read();
    int Write();
    int Diff();
    int Command();

    struct TExpected {
        QString key, caption, type, value;
        int decimals = 0;
    };
    // The grid's values of the rows of `kind` for the grid's model.
    QList<TExpected> GridValues(catalogue_rows::TQueryKind kind);
    // Compares the grid (just read from the device) with `expected`; prints each difference
    // with `prefix` and returns their number.
    int Compare(const QList<TExpected>& expected, const QString& prefix);
    bool OpenFile(const QString& file);
    void Restore(const QList<TExpected>& values);

    QStringList args_;
    TSpec spec_;
    QCommandLineParser parser_;
    std::unique_ptr<QTemporaryDir> work_;
    std::unique_ptr<TCore> core_;
};

int TRun::Exec() {
    if (args_.size() < 2) {
        std::fputs(kUsage, stderr);
        return kExitUsage;
    }
    const QString name = args_.at(1);
    if (name == u"--help" || name == u"-h" || name == u"help") {
        std::fputs(kUsage, stdout);
        return kExitOk;
    }
    bool found = false;
    for (const TSpec& s : Specs())
        if (s.name == name) {
            spec_ = s;
            found = true;
        }
    if (!found) return Usage(u"bilinmeyen komut '" + name + u"' (kolva-ayar-cli --help)");

    parser_.setApplicationDescription(spec_.summary);
    parser_.addHelpOption();
    for (const QString& p : spec_.positional)
        parser_.addPositionalArgument(p, QString());
    parser_.addOption({"config-dir", "Yapılandırma, DB ve Log dosyalarının klasörü.", "DIR"});
    parser_.addOption({"catalogue", "Katalog dosyası (db.sqlite).", "PATH"});
    if (spec_.model) parser_.addOption({"model", "Cihaz modeli.", "MODEL"});
    if (spec_.address)
        parser_.addOption(
            {"address",
             spec_.name == u"write" ? "Cihaz adresleri, ör. 1,4,10-12." : "Cihaz adresi (1..255).",
             spec_.name == u"write" ? "LISTE" : "N"});
    if (spec_.out) parser_.addOption({"out", "Okunanları bu dosyaya kaydeder.", "FILE"});
    if (spec_.verify) parser_.addOption({"verify", "Yazılanları geri okuyup karşılaştırır."});
    if (spec_.device) {
        parser_.addOption({"port", "Seri port (ör. /dev/ttyUSB0, COM3).", "PORT"});
        parser_.addOption({"baud", "Hız (bit/s).", "BAUD"});
        parser_.addOption({"data-bits", "Veri bitleri.", "N"});
        parser_.addOption({"parity", "Parite: none, odd, even.", "P"});
        parser_.addOption({"stop-bits", "Dur bitleri: 1, 1.5, 2.", "S"});
        parser_.addOption({"timeout", "Cevap zaman aşımı (ms).", "MS"});
        parser_.addOption({"log", "Haberleşme kayıtlarını stderr'e yazar."});
        parser_.addOption({"yes", "Onay sorularını Evet olarak cevaplar."});
    }
    QStringList parseArgs = args_.mid(2);
    parseArgs.prepend(QStringLiteral("kolva-ayar-cli ") + spec_.name);
    if (!parser_.parse(parseArgs)) return Usage(parser_.errorText());
    if (parser_.isSet(QStringLiteral("help"))) {
        // The first line names the program as it is called, with the sub-command.
        QString help = parser_.helpText();
        help = help.mid(help.indexOf(u'\n') + 1);
        QString usage = u"Kullanım: kolva-ayar-cli " + spec_.name + u" [seçenekler]";
        for (const QString& p : spec_.positional)
            usage += u' ' + p;
        std::fputs((usage + u'\n' + help).toUtf8().constData(), stdout);
        return kExitOk;
    }
    if (parser_.positionalArguments().size() != spec_.positional.size())
        return Usage(QStringLiteral("'%1' için %2 bekleniyor (kolva-ayar-cli %1 --help)")
                         .arg(spec_.name, spec_.positional.isEmpty()
                                              ? QStringLiteral("argüman verilmemesi")
                                              : spec_.positional.join(u' ')));

    if (const int status = Prepare(); status != kExitOk) return status;
    if (spec_.name == u"models") return Models();
    if (spec_.name == u"settings") return Settings();
    if (spec_.name == u"read") return Read();
    if (spec_.name == u"write") return Write();
    if (spec_.name == u"diff") return Diff();
    return Command();
}

// The files: the window's configuration file and password file (or those of --config-dir)
// are copied into a private folder and the line options are applied to the copy, so the
// operations read exactly what the window would, with the overrides, and the user's files
// are never rewritten.
int TRun::Prepare() {
    const QString program = QDir(QCoreApplication::applicationDirPath())
                                .filePath(QStringLiteral("kolva-ayar")
#ifdef Q_OS_WIN
                                          + QStringLiteral(".exe")
#endif
                                );
    paths::SetExecutableOverride(program);
    if (parser_.isSet(QStringLiteral("config-dir"))) {
        const QString dir = parser_.value(QStringLiteral("config-dir"));
        if (!QFileInfo(dir).isDir()) return Usage(u"klasör bulunamadı: " + dir);
        paths::SetDataDirOverride(QFileInfo(dir).absoluteFilePath());
    }
    if (parser_.isSet(QStringLiteral("catalogue")))
        paths::SetCatalogueOverride(
            QFileInfo(parser_.value(QStringLiteral("catalogue"))).absoluteFilePath());

    const QString config = paths::ConfigFile();
    const QString password = paths::PasswordFile();
    work_ = std::make_unique<QTemporaryDir>();
    if (!work_->isValid()) return Usage(QStringLiteral("geçici klasör oluşturulamadı"));
    paths::SetDataDirOverride(work_->path());
    for (const QString& file : {config, password})
        if (QFileInfo(file).isFile() &&
            !QFile::copy(file, QDir(work_->path()).filePath(QFileInfo(file).fileName())))
            return Usage(u"dosya okunamadı: " + QDir::toNativeSeparators(file));

    if (spec_.device) {
        struct Override {
            const char* option;
            keys::Key key;
        };
        const Override overrides[] = {{"port", keys::comport},       {"baud", keys::baudrate},
                                      {"data-bits", keys::databits}, {"parity", keys::parity},
                                      {"stop-bits", keys::stopbit},  {"timeout", keys::timeout}};
        for (const Override& o : overrides) {
            const QString option = QString::fromLatin1(o.option);
            if (!parser_.isSet(option)) continue;
            const QString value = parser_.value(option);
            int v = 0;
            const bool whole = TryStrToInt(value, &v);
            if ((option == u"baud" && (!whole || v <= 0)) ||
                (option == u"data-bits" && (!whole || v < 5 || v > 8)) ||
                (option == u"timeout" && (!whole || v <= 0)) ||
                (option == u"parity" && value != u"none" && value != u"odd" && value != u"even") ||
                (option == u"stop-bits" && value != u"1" && value != u"1.5" && value != u"2") ||
                (option == u"port" && value.isEmpty()))
                return Usage(QStringLiteral("geçersiz --%1 değeri '%2'").arg(option, value));
            IniWrite(o.key.Section(), o.key.Name(), value);
        }
    }

    core_ = std::make_unique<TCore>(spec_.device && parser_.isSet(QStringLiteral("yes")));
    if (spec_.device && parser_.isSet(QStringLiteral("log"))) {
        core_->log.chLog = true;
        core_->log.chLogAll = true;
        QObject::connect(&core_->log, &TLog::LineAdded, [](const QString& line) { ErrLine(line); });
    }
    return OpenCatalogue() ? kExitOk : kExitUsage;
}

bool TRun::OpenCatalogue() {
    const QString path = paths::CatalogueFile();
    if (!QFileInfo(path).isFile()) {
        ErrLine(u"kolva-ayar-cli: katalog bulunamadı: " + QDir::toNativeSeparators(path));
        return false;
    }
    try {
        // The companion never changes the catalogue (no migration: a missing writecmd
        // column reads as NULL).
        core_->fm.DBBaglan(path, true);
    } catch (const Error& e) {
        ErrLine(u"kolva-ayar-cli: " + e.text());
        return false;
    }
    core_->ops.FillModelList();
    return true;
}

bool TRun::CheckModel(const QString& model) {
    if (model.isEmpty()) {
        Usage(QStringLiteral("--model gerekli"));
        return false;
    }
    if (!core_->ops.ModelList().contains(model)) {
        Usage(u"model katalogda yok: " + model);
        return false;
    }
    return true;
}

bool TRun::CheckAddress(const QString& text) {
    int v = 0;
    if (text.isEmpty()) {
        Usage(QStringLiteral("--address gerekli"));
        return false;
    }
    QList<int> list;
    QString error;
    if (!ParseAddressList(text, &list, &error) || list.size() != 1 || !TryStrToInt(text, &v)) {
        Usage(u"geçersiz adres '" + text + u"' (1..255)");
        return false;
    }
    return true;
}

bool TRun::LinkFailed(int messagesBefore) const {
    const TRunResult& r = core_->ops.LastResult();
    if (r.failed) return true;
    for (int i = messagesBefore; i < core_->host.Messages().size(); ++i)
        if (core_->host.Messages().at(i) == TLink::OpenFailedMessage()) return true;
    return r.message == u"Bağlantı Sağlanamadı";
}

int TRun::Models() {
    for (const QString& m : core_->ops.ModelList())
        OutLine(m);
    return kExitOk;
}

int TRun::Settings() {
    const QString model = parser_.positionalArguments().at(0);
    if (!CheckModel(model)) return kExitUsage;
    catalogue_rows::TCursor rows(core_->fm, catalogue_rows::qkGrid, model, false);
    if (rows.Open())
        for (; !rows.Eof(); rows.Next()) {
            const catalogue_rows::TSettingRow s = rows.Row();
            const QString key =
                QString::number(s.group) + u'_' + (s.regOk ? QString::number(s.reg) : s.regText);
            OutLine(Line({QString::number(s.group), key, s.caption, s.type, s.minText, s.maxText,
                          s.decimalText, QString::number(s.readonly), s.def}));
        }
    return kExitOk;
}

QList<TRun::TExpected> TRun::GridValues(catalogue_rows::TQueryKind kind) {
    QList<TExpected> out;
    const QString model = core_->grid.ModelName();
    catalogue_rows::TCursor rows(core_->fm, kind, model, core_->state.HideAlarmGroups());
    if (rows.Open())
        for (; !rows.Eof(); rows.Next()) {
            const catalogue_rows::TSettingRow s = rows.Row();
            if (!s.regOk) continue;
            const QString key = QString::number(s.group) + u'_' + QString::number(s.reg);
            const TGridRow* row = core_->grid.FindRow(u"row_" + key);
            if (!row) continue;
            out.append({key, s.caption, s.type, row->ValueText(), s.decimal});
        }
    return out;
}

void TRun::Restore(const QList<TExpected>& values) {
    for (const TExpected& e : values)
        if (TGridRow* row = core_->grid.FindRow(u"row_" + e.key))
            core_->grid.SetValue(row, e.value);
}

int TRun::Compare(const QList<TExpected>& expected, const QString& prefix) {
    int differences = 0;
    for (const TExpected& e : expected) {
        const TGridRow* row = core_->grid.FindRow(u"row_" + e.key);
        const QString device = row ? row->ValueText() : QString();
        if (SameValue(e.type, e.decimals, e.value, device)) continue;
        ++differences;
        OutLine(prefix + Line({e.key, e.caption, e.value, device}));
    }
    return differences;
}

bool TRun::OpenFile(const QString& file) {
    if (!QFileInfo(file).isFile()) {
        Usage(u"dosya bulunamadı: " + file);
        return false;
    }
    const int before = int(core_->host.Messages().size());
    mnOpenClick(core_->ops, [&] { return QFileInfo(file).absoluteFilePath(); });
    core_->host.EndProgress();
    if (core_->ops.LastResult().failed || core_->host.Messages().size() > before) {
        ErrLine(u"kolva-ayar-cli: dosya yüklenemedi: " + file);
        return false;
    }
    return true;
}

int TRun::Read() {
    const QString model = parser_.value(QStringLiteral("model"));
    const QString address = parser_.value(QStringLiteral("address"));
    if (!CheckModel(model) || !CheckAddress(address)) return kExitUsage;
    TDeviceOperations& ops = core_->ops;
    ops.SetDeviceText(model);
    ops.SetAddressText(address);
    const int before = int(core_->host.Messages().size());
    ops.mnReadClick();
    core_->host.EndProgress();
    if (LinkFailed(before)) return kExitUsage;
    for (const TExpected& e : GridValues(catalogue_rows::qkRead))
        OutLine(Line({e.key, e.caption, e.value}));
    const TRunResult result = ops.LastResult();
    ErrLine(result.message);
    if (parser_.isSet(QStringLiteral("out"))) {
        const QString out = QFileInfo(parser_.value(QStringLiteral("out"))).absoluteFilePath();
        mnSaveClick(ops, [&] { return out; });
        core_->host.EndProgress();
        if (ops.LastResult().failed) return kExitFailed;
    }
    return result.errors > 0 || result.cancelled ? kExitFailed : kExitOk;
}

int TRun::Write() {
    QList<int> addresses;
    QString error;
    const QString list = parser_.value(QStringLiteral("address"));
    if (list.isEmpty()) return Usage(QStringLiteral("--address gerekli"));
    if (!ParseAddressList(list, &addresses, &error)) return Usage(error);
    if (!parser_.isSet(QStringLiteral("yes")) && !TConsoleHost::StdinIsTerminal())
        return Usage(QStringLiteral("onay gerekiyor: terminal yok, --yes verin"));
    if (!OpenFile(parser_.positionalArguments().at(0))) return kExitUsage;

    TDeviceOperations& ops = core_->ops;
    const QList<TExpected> file = GridValues(catalogue_rows::qkGrid);
    const QList<TExpected> written = GridValues(catalogue_rows::qkWrite);
    const bool verify = parser_.isSet(QStringLiteral("verify"));
    int failures = 0;
    for (int address : addresses) {
        Restore(file);
        ops.SetAddressText(QString::number(address));
        const int before = int(core_->host.Messages().size());
        const int declinedBefore = core_->host.Declined();
        ops.mnWriteClick();
        core_->host.EndProgress();
        const TRunResult result = ops.LastResult();
        if (core_->host.Declined() > declinedBefore) {
            ErrLine(QStringLiteral("kolva-ayar-cli: yazma onaylanmadı"));
            return kExitUsage;
        }
        if (LinkFailed(before)) return kExitUsage;
        ErrLine(QStringLiteral("Adres %1: ").arg(address) + result.message);
        failures += result.errors;
        if (result.cancelled) ++failures;
        if (!verify) continue;
        ops.mnReadClick();
        core_->host.EndProgress();
        if (LinkFailed(before)) return kExitUsage;
        const TRunResult check = ops.LastResult();
        failures += check.errors;
        const int differences = Compare(written, QString::number(address) + u'\t');
        failures += differences;
        ErrLine(QStringLiteral("Adres %1: ").arg(address) +
                (differences > 0 ? u"Hata! Doğrulamada farklı değerler bulundu: " +
                                       QString::number(differences) + u" Hata"
                                 : QStringLiteral("OK! Doğrulama tamamlandı.")));
    }
    Restore(file);
    return failures > 0 ? kExitFailed : kExitOk;
}

int TRun::Diff() {
    const QString address = parser_.value(QStringLiteral("address"));
    if (!CheckAddress(address)) return kExitUsage;
    if (!OpenFile(parser_.positionalArguments().at(0))) return kExitUsage;
    TDeviceOperations& ops = core_->ops;
    const QList<TExpected> file = GridValues(catalogue_rows::qkGrid);
    ops.SetAddressText(address);
    const int before = int(core_->host.Messages().size());
    ops.mnReadClick();
    core_->host.EndProgress();
    if (LinkFailed(before)) return kExitUsage;
    const TRunResult result = ops.LastResult();
    const int differences = Compare(file, QString());
    if (result.errors > 0) ErrLine(result.message);
    return differences > 0 || result.errors > 0 || result.cancelled ? kExitFailed : kExitOk;
}

int TRun::Command() {
    const QString model = parser_.value(QStringLiteral("model"));
    const QString address = parser_.value(QStringLiteral("address"));
    if (!CheckModel(model) || !CheckAddress(address)) return kExitUsage;
    TDeviceOperations& ops = core_->ops;
    ops.SetDeviceText(model);
    ops.SetAddressText(address);
    ops.UpdateCommandList(model);
    const QString wanted = parser_.positionalArguments().at(0);
    int id = 0;
    for (const TCommandEntry& e : ops.Commands().Entries())
        if (QString::number(e.id) == wanted.trimmed() ||
            e.caption.compare(wanted.trimmed(), Qt::CaseInsensitive) == 0) {
            id = e.id;
            break;
        }
    if (id == 0) {
        QStringList known;
        for (const TCommandEntry& e : ops.Commands().Entries())
            known << QString::number(e.id) + u" " + e.caption;
        return Usage(u"komut bulunamadı: " + wanted + u" (komutlar: " + known.join(u", ") + u")");
    }
    ops.Commands().SetCurrentValue(id);
    const int before = int(core_->host.Messages().size());
    ops.mnRunCommandClick();
    if (LinkFailed(before)) return kExitUsage;
    const TRunResult result = ops.LastResult();
    ErrLine(result.message);
    return result.errors > 0 ? kExitFailed : kExitOk;
}

} // namespace

int Run(const QStringList& args) {
    return TRun(args).Exec();
}

} // namespace kolva::cli
