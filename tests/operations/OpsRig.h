#pragma once
// Shared fixture of the device-operation suites: a private copy of the sample catalogue (with
// a generated 120-setting model and a few deliberately faulty rows added), a private
// configuration folder, and one complete set of the objects the main window owns.

#include "FakeHost.h"

#include "catalogue/Module.h"
#include "config/Convert.h"
#include "config/Ini.h"
#include "config/Paths.h"
#include "editor/SettingsGrid.h"
#include "link/Link.h"
#include "link/Log.h"
#include "operations/Operations.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <cstring>
#include <memory>

namespace kolva::test {

inline QString BinDir() {
    return qEnvironmentVariable("KOLVA_BIN_DIR");
}

// One catalogue row as the tests see it (deciphered).
struct TCatRow {
    int id = 0;
    int group = 0;
    QString groupCaption, caption, type, def, combo, hint;
    int reg = 0, min = 0, max = 0, decimal = 0;
    QVariant readonly; // null, 0 or 1
    int writecmd = 0;
    QString Name() const { return QStringLiteral("row_%1_%2").arg(group).arg(reg); }
    int Count() const {
        if (type == u"long" || type == u"double") return 2;
        if (type == u"string" || type == u"stringswap") return (max + 1) / 2;
        return 1;
    }
    bool Writable() const { return !readonly.isNull() && readonly.toInt() == 0; }
};

// The catalogue and configuration shared by one test executable.
class TOpsEnv {
public:
    QTemporaryDir dir;
    QString catalogue; // path of the private catalogue
    std::unique_ptr<Tfm> fm;

    // Copies the built sample catalogue, adds BENCH-120 and the faulty TEST-* models.
    bool Init(QString* why) {
        if (!dir.isValid()) return Fail(why, QStringLiteral("no temporary folder"));
        const QString source = QDir(BinDir()).filePath(QStringLiteral("db.sqlite"));
        catalogue = dir.filePath(QStringLiteral("db.sqlite"));
        if (!QFile::copy(source, catalogue)) return Fail(why, QStringLiteral("no ") + source);
        QFile::setPermissions(catalogue, QFile::ReadOwner | QFile::WriteOwner);
        const QString bench = dir.filePath(QStringLiteral("bench.sqlite"));
        QProcess tool;
        tool.start(QDir(BinDir()).filePath(QStringLiteral("kolva-catalogue")),
                   {QStringLiteral("generate"), QStringLiteral("120"), bench});
        if (!tool.waitForFinished(30000) || tool.exitCode() != 0)
            return Fail(why, QStringLiteral("kolva-catalogue generate failed: ") +
                                 QString::fromLocal8Bit(tool.readAllStandardError()));
        paths::SetDataDirOverride(dir.path());
        fm = std::make_unique<Tfm>();
        fm->DBBaglan(catalogue);
        QSqlQuery q(fm->DB());
        if (!q.exec(QStringLiteral("ATTACH DATABASE '%1' AS bench").arg(bench)) ||
            !q.exec(QStringLiteral("INSERT INTO settings SELECT * FROM bench.settings")))
            return Fail(why, q.lastError().text());
        q.exec(QStringLiteral("DETACH DATABASE bench"));
        // TEST-DUP: the third row repeats the first row's key; TEST-BAD: the third row's
        // default is not a number. Neither model has commands.
        struct R {
            int id;
            const char* device;
            int command;
            const char* caption;
            const char* reg;
            const char* type;
            int min, max;
            const char* def;
        };
        const R rows[] = {
            // The third row repeats the first row's key.
            {9001, "TEST-DUP", 0, "Bir", "10", "integer", 0, 100, "1"},
            {9002, "TEST-DUP", 0, "İki", "11", "integer", 0, 100, "2"},
            {9003, "TEST-DUP", 0, "Bir Tekrar", "10", "integer", 0, 100, "3"},
            {9004, "TEST-DUP", 0, "Dört", "12", "integer", 0, 100, "4"},
            // The third row's default is not a number.
            {9101, "TEST-BAD", 0, "Birinci", "10", "integer", 0, 100, "1"},
            {9102, "TEST-BAD", 0, "İkinci", "11", "integer", 0, 100, "2"},
            {9103, "TEST-BAD", 0, "Bozuk Ayar", "12", "integer", 0, 100, "abc"},
            {9104, "TEST-BAD", 0, "Dördüncü", "13", "integer", 0, 100, "4"},
            // Spin editors without usable bounds, and a command whose register is no number.
            {9201, "TEST-SPIN", 0, "Sayı", "10", "integer", 0, 0, "7"},
            {9202, "TEST-SPIN", 0, "İşaretli", "11", "signedint", 5, 5, "-7"},
            {9203, "TEST-SPIN", 0, "Ondalık", "12", "double", 0, 0, "7"},
            {9204, "TEST-SPIN", 1, "Bozuk Komut", "x12", "integer", 0, 0, "1"},
        };
        for (const R& r : rows) {
            QSqlQuery ins(fm->DB());
            ins.prepare(QStringLiteral(
                "INSERT INTO settings (id, device, command, \"group\", group_caption, caption, "
                "\"register\", type, \"min\", \"max\", \"decimal\", readonly, hint, "
                "\"default\", combo, writecmd) VALUES (?, ?, ?, 1, 'Genel', ?, ?, ?, ?, ?, 1, 0, "
                "'', ?, NULL, NULL)"));
            ins.addBindValue(r.id);
            ins.addBindValue(QString::fromUtf8(r.device));
            ins.addBindValue(r.command);
            ins.addBindValue(EncryptField(QString::fromUtf8(r.caption), CaptionKey(r.id)));
            ins.addBindValue(EncryptField(QString::fromUtf8(r.reg), RegisterKey(r.id)));
            ins.addBindValue(QString::fromUtf8(r.type));
            ins.addBindValue(r.min);
            ins.addBindValue(r.max);
            ins.addBindValue(QString::fromUtf8(r.def));
            if (!ins.exec()) return Fail(why, ins.lastError().text());
        }
        return true;
    }

    // A fresh configuration: the serial port `port`, time-out `timeout` ms.
    void Configure(const QString& port, const QString& timeout = QStringLiteral("100")) {
        QFile::remove(paths::ConfigFile());
        IniWrite(QStringLiteral("RTU"), QStringLiteral("comport"), port);
        IniWrite(QStringLiteral("RTU"), QStringLiteral("baudrate"), QStringLiteral("9600"));
        IniWrite(QStringLiteral("RTU"), QStringLiteral("timeout"), timeout);
    }

    // The setting rows of `model` (command = 0) or its command rows, in catalogue order.
    QList<TCatRow> Rows(const QString& model, bool commands = false) const {
        QList<TCatRow> list;
        QSqlQuery q(fm->DB());
        q.prepare(QStringLiteral(
            "SELECT id, \"group\", group_caption, caption, \"register\", type, \"min\", \"max\", "
            "\"decimal\", readonly, \"default\", combo, writecmd, hint FROM settings WHERE device "
            "= ? "
            "AND command = ? ORDER BY \"group\", id"));
        q.addBindValue(model);
        q.addBindValue(commands ? 1 : 0);
        q.exec();
        while (q.next()) {
            TCatRow r;
            r.id = q.value(0).toInt();
            r.group = q.value(1).toInt();
            r.groupCaption = q.value(2).toString();
            r.caption = DecryptField(q.value(3).toString(), CaptionKey(r.id));
            r.reg = DecryptField(q.value(4).toString(), RegisterKey(r.id)).toInt();
            r.type = q.value(5).toString();
            r.min = q.value(6).toInt();
            r.max = q.value(7).toInt();
            r.decimal = q.value(8).toInt();
            r.readonly = q.value(9);
            r.def = q.value(10).toString();
            r.combo = q.value(11).toString();
            r.writecmd = q.value(12).toInt();
            r.hint = q.value(13).toString();
            list << r;
        }
        return list;
    }

private:
    static bool Fail(QString* why, const QString& text) {
        if (why) *why = text;
        return false;
    }
};

// Everything the main window owns, for one test.
struct TRig {
    FakeHost host;
    TLog log;
    TLink link{log, host};
    TSettingsGrid grid;
    TOperationState state;
    TDeviceOperations ops;

    TRig(Tfm& fm, const QString& model, const QString& address = QStringLiteral("1"))
        : ops(host, log, link, fm, grid, state) {
        host.realSleep = false;
        fm.host = &host;
        ops.SetDeviceText(model);
        ops.SetAddressText(address);
    }
    ~TRig() {
        if (link.Connected) link.Baglan(false);
    }

    TGridRow* Row(const QString& name) const { return grid.FindRow(name); }
    // A user edit through the model, as a view would make it.
    bool Edit(const QString& name, const QVariant& value) {
        TGridRow* row = grid.FindRow(name);
        return row && grid.setData(grid.IndexOf(row, 1), value, Qt::EditRole);
    }
    QString Status() const { return log.StatusText(); }
    QStringList StatusTexts() const {
        QStringList list;
        for (const QString& line : log.Lines())
            if (line.contains(QStringLiteral("BILGI"))) list << line;
        return list;
    }
    bool Logged(const QString& part) const {
        for (const QString& line : log.Lines())
            if (line.contains(part)) return true;
        return false;
    }
    // The guard is fully released.
    bool Released() const {
        return !state.Busy() && !state.CancelEnabled() && grid.Enabled() && !link.Connected;
    }
};

// Register contents of a value, laid out as the device holds it (independent of the
// program's codecs): 32-bit values low word first; "string" puts each pair's first
// character in the low byte, "stringswap" in the high byte; texts in Windows-1254.
inline QList<quint16> Encode(const TCatRow& r, const QVariant& value) {
    QList<quint16> regs;
    if (r.type == u"long" || r.type == u"double") {
        quint32 bits = 0;
        if (r.type == u"long") {
            bits = quint32(qint32(value.toLongLong()));
        } else {
            const float f = float(value.toDouble());
            std::memcpy(&bits, &f, 4);
        }
        regs << quint16(bits & 0xFFFF) << quint16(bits >> 16);
    } else if (r.type == u"string" || r.type == u"stringswap") {
        auto enc = QStringEncoder("windows-1254");
        QByteArray bytes = enc.encode(value.toString());
        bytes.resize(r.Count() * 2, '\0');
        for (int i = 0; i < r.Count(); ++i) {
            const quint8 c0 = quint8(bytes[2 * i]), c1 = quint8(bytes[2 * i + 1]);
            regs << (r.type == u"string" ? quint16(c1 << 8 | c0) : quint16(c0 << 8 | c1));
        }
    } else {
        regs << quint16(value.toInt() & 0xFFFF);
    }
    return regs;
}

// The text the grid is to show for registers `regs` read for row `r`.
inline QString Decode(const TCatRow& r, const QList<quint16>& regs) {
    auto at = [&](int i) { return i < regs.size() ? regs[i] : quint16(0); };
    if (r.type == u"integer" || r.type == u"combo") return QString::number(at(0));
    if (r.type == u"signedint") return QString::number(qint16(at(0)));
    const quint32 bits = quint32(at(0)) | quint32(at(1)) << 16;
    if (r.type == u"long") return QString::number(qint32(bits));
    if (r.type == u"double") {
        float f = 0;
        std::memcpy(&f, &bits, 4);
        if (!std::isfinite(f)) return QStringLiteral("0");
        QString text = QString::number(double(f), 'f', r.decimal);
        return text.replace(u'.', DecimalSeparator());
    }
    QByteArray bytes;
    for (int i = 0; i < r.Count(); ++i) {
        const quint16 v = at(i);
        const char hi = char(v >> 8), lo = char(v & 0xFF);
        bytes.append(r.type == u"string" ? lo : hi).append(r.type == u"string" ? hi : lo);
    }
    auto dec = QStringDecoder("windows-1254");
    QString text = dec.decode(bytes);
    if (r.type == u"string") {
        qsizetype b = 0, e = text.size();
        while (b < e && text[b].unicode() <= 32)
            ++b;
        while (e > b && text[e - 1].unicode() <= 32)
            --e;
        text = text.mid(b, e - b);
    }
    return text;
}

} // namespace kolva::test
