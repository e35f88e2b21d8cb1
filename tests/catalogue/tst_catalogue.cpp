// The catalogue: field cipher, list helpers, the data module's queries on the sample
// catalogue, error reporting, opening and migration, and the maker's build checks.

#include "FakeHost.h"
#include "catalogue/Catalogue.h"
#include "catalogue/Module.h"
#include "config/Ini.h"
#include "config/Paths.h"
#include "config/Text.h"

#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>

using namespace kolva;

namespace {

QByteArray SampleCsv() {
    QFile f(qEnvironmentVariable("KOLVA_SOURCE_DIR") + QStringLiteral("/data/catalogue.csv"));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

const QByteArray kHeader = "id,device,command,group,group_caption,caption,register,type,min,max,"
                           "decimal,readonly,hint,default,combo,writecmd\n";

// The engine's own message for a statement, from a connection of its own.
QString EngineMessage(const QString& dbPath, const QString& sql) {
    QString message;
    {
        QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("probe"));
        db.setDatabaseName(dbPath);
        db.open();
        QSqlQuery q(db);
        if (!q.exec(sql)) message = q.lastError().databaseText();
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("probe"));
    return message;
}

QByteArray Xor(QByteArray a, const QByteArray& b) {
    for (qsizetype i = 0; i < a.size(); ++i)
        a[i] = char(a[i] ^ b[i]);
    return a;
}

bool ContainsAlarm(const TCatalogueRow& r) {
    return !r.groupCaptionNull &&
           r.groupCaption.contains(QLatin1String("alarm"), Qt::CaseInsensitive);
}

} // namespace

class TestCatalogue : public QObject {
    Q_OBJECT

    QTemporaryDir tmp;
    QString sample;     // the sample catalogue, built once
    QStringList models; // its models

    QString Copy(const QString& name) {
        const QString path = tmp.filePath(name);
        QFile::remove(path);
        QFile::copy(sample, path);
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
        return path;
    }
    QString Build(const QString& name, const QByteArray& csv, const QString& password = {},
                  bool withWritecmd = true) {
        const QString path = tmp.filePath(name);
        QString error;
        if (!BuildCatalogue(csv, path, password, withWritecmd, &error))
            qWarning("build failed: %s", qPrintable(error));
        return path;
    }
    QList<qint64> Ids(TQuery& q) {
        QList<qint64> ids;
        for (q.First(); !q.Eof(); q.Next())
            ids << q.FieldInt(QStringLiteral("id"));
        return ids;
    }

private slots:
    void initTestCase() {
        QVERIFY(tmp.isValid());
        paths::SetDataDirOverride(tmp.path());
        const QByteArray csv = SampleCsv();
        QVERIFY2(!csv.isEmpty(), "data/catalogue.csv not found");
        QString error;
        sample = tmp.filePath(QStringLiteral("sample.sqlite"));
        QVERIFY2(BuildCatalogue(csv, sample, QString(), true, &error), qPrintable(error));
        models = ReadModels(sample, &error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
    }
    void init() { QFile::remove(paths::PasswordFile()); }

    // ---- cipher ----

    void rc4Vectors_data() {
        QTest::addColumn<QByteArray>("key");
        QTest::addColumn<int>("offset");
        QTest::addColumn<QByteArray>("stream");
        // RFC 6229 (40- and 128-bit keys) and the classic short-key vectors.
        const QByteArray k40 = QByteArray::fromHex("0102030405");
        const QByteArray k128 = QByteArray::fromHex("0102030405060708090a0b0c0d0e0f10");
        QTest::newRow("40-bit @0")
            << k40 << 0 << QByteArray::fromHex("b2396305f03dc027ccc3524a0a1118a8");
        QTest::newRow("40-bit @16")
            << k40 << 16 << QByteArray::fromHex("6982944f18fc82d589c403a47a0d0919");
        QTest::newRow("40-bit @240")
            << k40 << 240 << QByteArray::fromHex("28cb1132c96ce286421dcaadb8b69eae");
        QTest::newRow("40-bit @4096")
            << k40 << 4096 << QByteArray::fromHex("ff25b58995996707e51fbdf08b34d875");
        QTest::newRow("128-bit @0")
            << k128 << 0 << QByteArray::fromHex("9ac7cc9a609d1ef7b2932899cde41b97");
        QTest::newRow("128-bit @4096")
            << k128 << 4096 << QByteArray::fromHex("a36a4c301ae8ac13610ccbc12256cacc");
        QTest::newRow("Key/Plaintext")
            << QByteArray("Key") << 0
            << Xor(QByteArray::fromHex("bbf316e8d940af0ad3"), "Plaintext");
    }
    void rc4Vectors() {
        QFETCH(QByteArray, key);
        QFETCH(int, offset);
        QFETCH(QByteArray, stream);
        TRc4 rc4(key);
        QByteArray skip(offset, '\0');
        rc4.Apply(skip);
        QByteArray data(stream.size(), '\0');
        rc4.Apply(data);
        QCOMPARE(data.toHex(), stream.toHex());
    }

    void base64Groups_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("three bytes") << "QUJD" << QByteArray("ABC");
        QTest::newRow("fourth =") << "QUI=" << QByteArray("AB");
        QTest::newRow("third =") << "QQ==" << QByteArray("A");
        QTest::newRow("third = rules alone") << "QQ=x" << QByteArray("A");
        QTest::newRow("tail ignored") << "QUJDRA" << QByteArray("ABC");
        QTest::newRow("short") << "QUJ" << QByteArray();
        QTest::newRow("empty") << "" << QByteArray();
        QTest::newRow("all values") << "+/+/" << QByteArray::fromHex("fbffbf");
        QTest::newRow("padding mid-text") << "QQ==QUJD" << QByteArray("AABC");
    }
    void base64Groups() {
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        QCOMPARE(Base64DecodeGroups(text), bytes);
    }

    void decryptField_data() {
        QTest::addColumn<QString>("cipher");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("plain");
        // Enciphered independently (SHA-1 + RC4 + Base64 of the Windows-1254 bytes).
        QTest::newRow("caption") << "5ElPCJ20BkoNvGFcf4q0yOhZ" << CaptionKey(101)
                                 << "Akım Trafosu Oranı";
        QTest::newRow("register") << "/OOQ+A==" << RegisterKey(101) << "5000";
        QTest::newRow("id 0") << "rHSHQmEn3mTP" << CaptionKey(0) << "Cihaz Adı";
        QTest::newRow("Turkish key and text") << "mVvVkyVSi85l6rxS"
                                              << "Şifre"
                                              << "ĞÜŞİÖÇğüşıöç";
        QTest::newRow("empty cipher") << "" << CaptionKey(1) << "";
        QTest::newRow("shorter than a group") << "mVv"
                                              << "Şifre"
                                              << "";
        QTest::newRow("wrong key gives other text") << "/OOQ+A==" << RegisterKey(102) << "\x01";
    }
    void decryptField() {
        QFETCH(QString, cipher);
        QFETCH(QString, key);
        QFETCH(QString, plain);
        if (QTest::currentDataTag() == QByteArray("wrong key gives other text"))
            QVERIFY(DecryptField(cipher, key) != QStringLiteral("5000"));
        else
            QCOMPARE(DecryptField(cipher, key), plain);
    }

    void roundTrip_data() {
        QTest::addColumn<QString>("plain");
        QTest::addColumn<qint64>("id");
        QTest::newRow("register") << "65001" << qint64(7);
        QTest::newRow("Turkish") << "Gerilim Trafosu Oranı (ş/ğ/İ)" << qint64(0);
        QTest::newRow("one char") << "x" << qint64(123456);
        QTest::newRow("long") << QString(500, u'ç') << qint64(42);
        QTest::newRow("empty") << "" << qint64(3);
    }
    void roundTrip() {
        QFETCH(QString, plain);
        QFETCH(qint64, id);
        for (const QString& key : {CaptionKey(id), RegisterKey(id)}) {
            const QString cipher = EncryptField(plain, key);
            QCOMPARE(cipher.isEmpty(), plain.isEmpty());
            QCOMPARE(DecryptField(cipher, key), plain);
        }
        // The two keys of one row differ, and so do the keys of two rows.
        QVERIFY(CaptionKey(id) != RegisterKey(id));
        QVERIFY(CaptionKey(id) != CaptionKey(id + 1));
    }

    // The prefixes are held as Base64 of 4 and 5 bytes.
    void keyPrefixes() {
        QCOMPARE(QString::fromLatin1(kCaptionKeyPrefix).size(), 8);
        QVERIFY(QString::fromLatin1(kCaptionKeyPrefix).endsWith(QLatin1String("==")));
        QCOMPARE(Base64DecodeGroups(QString::fromLatin1(kCaptionKeyPrefix)).size(), 4);
        QCOMPARE(Base64DecodeGroups(QString::fromLatin1(kRegisterKeyPrefix)).size(), 5);
        QCOMPARE(CaptionKey(57).right(2), QStringLiteral("57"));
        QCOMPARE(CaptionKey(57).size(), 6);
        QCOMPARE(RegisterKey(57).size(), 7);
    }

    // ---- helpers ----

    void splitList_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("pieces");
        QTest::newRow("brackets, trailing delimiter")
            << "<0:Kapalı>;<1:Açık>;" << QStringList{"0:Kapalı", "1:Açık", ""};
        QTest::newRow("plain") << "0:Kapalı;1:Açık" << QStringList{"0:Kapalı", "1:Açık"};
        QTest::newRow("empty") << "" << QStringList{};
        QTest::newRow("only brackets and blanks") << " <> " << QStringList{};
        QTest::newRow("outer blanks trimmed, inner kept") << "  a ; b\t\r\n"
                                                          << QStringList{"a ", " b"};
        QTest::newRow("adjacent delimiters") << "a;;b" << QStringList{"a", "", "b"};
        QTest::newRow("lone delimiter") << ";" << QStringList{"", ""};
        QTest::newRow("quoted piece") << "\"x;y\";z" << QStringList{"x;y", "z"};
        QTest::newRow("doubled quote") << "\"a\"\"b\";c" << QStringList{"a\"b", "c"};
        QTest::newRow("quote inside piece is plain") << "a\"b;c" << QStringList{"a\"b", "c"};
        QTest::newRow("unclosed quote") << "\"abc;d" << QStringList{"abc;d"};
        QTest::newRow("colon in text") << "0:Mod: Normal" << QStringList{"0:Mod: Normal"};
    }
    void splitList() {
        QFETCH(QString, text);
        QFETCH(QStringList, pieces);
        QStringList list{QStringLiteral("old")};
        SplitList(u';', text, list);
        QCOMPARE(list, pieces);
    }

    void extractBetween_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("end");
        QTest::addColumn<QString>("result");
        QTest::newRow("value") << "3:Açık"
                               << ""
                               << ":"
                               << "3";
        QTest::newRow("text") << "3:Açık"
                              << ":"
                              << ""
                              << "Açık";
        QTest::newRow("rest after first") << "a:b:c"
                                          << ":"
                                          << ""
                                          << "b:c";
        QTest::newRow("end missing") << "abc"
                                     << ""
                                     << ":"
                                     << "";
        QTest::newRow("start missing, end empty") << "abc"
                                                  << "x"
                                                  << ""
                                                  << "";
        QTest::newRow("both") << "[a]b]"
                              << "["
                              << "]"
                              << "a";
        QTest::newRow("end searched after start") << "]x[y]"
                                                  << "["
                                                  << "]"
                                                  << "y";
        QTest::newRow("both empty") << "abc"
                                    << ""
                                    << ""
                                    << "abc";
    }
    void extractBetween() {
        QFETCH(QString, text);
        QFETCH(QString, start);
        QFETCH(QString, end);
        QFETCH(QString, result);
        QCOMPARE(ExtractBetween(text, start, end), result);
    }

    void isFloat_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("result");
        const QString sep = DecimalSeparator();
        QTest::newRow("empty") << "" << false;
        QTest::newRow("abc") << "abc" << false;
        QTest::newRow("whole") << "12" << true;
        QTest::newRow("negative") << "-3" << true;
        QTest::newRow("decimal") << "12" + sep + "5" << true;
        QTest::newRow("trailing junk") << "12x" << false;
    }
    void isFloat() {
        QFETCH(QString, text);
        QFETCH(bool, result);
        QCOMPARE(IsFloat(text), result);
    }

    void confirm() {
        test::FakeHost host;
        Tfm module(&host);
        host.confirmAnswers = {true, false};
        QVERIFY(Confirm(QStringLiteral("Emin misiniz?")));
        QVERIFY(!Confirm(QStringLiteral("Emin misiniz?")));
        QCOMPARE(host.confirms.size(), 2);
    }

    // ---- the sample catalogue ----

    // The sample exercises every branch the program has for catalogue data.
    void sampleCoversBranches() {
        const QStringList types = {"integer", "signedint",  "long", "double",
                                   "string",  "stringswap", "combo"};
        QVERIFY(models.contains(QStringLiteral("RX-B2")));
        QVERIFY(models.contains(QStringLiteral("RX-M3")));
        QVERIFY(models.contains(QStringLiteral("RX-N4")));
        QVERIFY(models.contains(QStringLiteral("RX-E5")));
        QVERIFY(std::any_of(models.begin(), models.end(),
                            [](const QString& m) { return m.contains(QLatin1String("RX-A1")); }));
        bool alarmUpper = false, nullCaption = false, readonlyNull = false, writecmd6 = false;
        bool password = false, minEqMax = false, brackets = false, noBrackets = false;
        for (const QString& model : models) {
            QString error;
            const QList<TCatalogueRow> rows = ReadModelRows(sample, model, &error);
            QVERIFY2(error.isEmpty(), qPrintable(error));
            QSet<QString> seen;
            int settings = 0, commands = 0;
            for (const TCatalogueRow& r : rows) {
                if (r.command == 1) {
                    ++commands;
                    QVERIFY(!r.caption.isEmpty());
                    continue;
                }
                ++settings;
                seen << r.type;
                alarmUpper |= r.groupCaption.contains(QLatin1String("ALARM"));
                nullCaption |= r.groupCaptionNull;
                readonlyNull |= !r.readonly.has_value();
                writecmd6 |= r.writecmd == 6;
                password |= model == QLatin1String("RX-B2") && r.type == QLatin1String("string") &&
                            r.caption.contains(QStringLiteral("Şifre"));
                minEqMax |= r.type.startsWith(QLatin1String("string")) && r.min == r.max;
                brackets |= r.combo.contains(u'<');
                noBrackets |= r.type == QLatin1String("combo") && !r.combo.contains(u'<');
            }
            QVERIFY2(settings >= 15 && settings <= 40, qPrintable(model));
            QVERIFY2(commands >= 1, qPrintable(model));
            QVERIFY2(seen == QSet<QString>(types.begin(), types.end()), qPrintable(model));
        }
        QVERIFY(alarmUpper && nullCaption && readonlyNull && writecmd6);
        QVERIFY(password && minEqMax && brackets && noBrackets);
    }

    void modelList() {
        test::FakeHost host;
        Tfm module(&host);
        module.DBBaglan(sample);
        QStringList sorted = models;
        sorted.sort();
        QCOMPARE(ModelList(), sorted);
        QVERIFY(host.messages.isEmpty());
    }

    // Queries 3..8 against an independent filter of the rows read by the tool reader.
    void rowQueries_data() {
        QTest::addColumn<QString>("model");
        for (const QString& m : models)
            QTest::newRow(qPrintable(m)) << m;
    }
    void rowQueries() {
        QFETCH(QString, model);
        test::FakeHost host;
        Tfm module(&host);
        module.DBBaglan(sample);
        const QList<TCatalogueRow> rows = ReadModelRows(sample, model);
        auto expect = [&](std::function<bool(const TCatalogueRow&)> keep) {
            QList<qint64> ids;
            for (const TCatalogueRow& r : rows)
                if (keep(r)) ids << r.id;
            return ids;
        };
        auto setting = [](const TCatalogueRow& r) { return r.command == 0; };
        auto shown = [](const TCatalogueRow& r) {
            return r.command == 0 && !ContainsAlarm(r) && !r.groupCaptionNull;
        };
        auto writable = [](const TCatalogueRow& r) { return r.command == 0 && r.readonly == 0; };

        QVERIFY(OpenT4(sql::SettingRows(model, false)));
        const int count = module.t4.RecordCount();
        QCOMPARE(Ids(module.t4), expect(setting));
        QCOMPARE(count, int(expect(setting).size()));

        OpenT4(sql::SettingRows(model, true));
        QCOMPARE(Ids(module.t4), expect(shown));
        QVERIFY(expect(shown).size() < expect(setting).size()); // every model has an alarm group

        OpenT4(sql::WritableRows(model, false));
        QCOMPARE(Ids(module.t4), expect(writable));
        OpenT4(sql::WritableRows(model, true));
        QCOMPARE(Ids(module.t4),
                 expect([&](const TCatalogueRow& r) { return writable(r) && shown(r); }));

        QVERIFY(OpenT4(sql::CommandRows(model)));
        QCOMPARE(Ids(module.t4), expect([](const TCatalogueRow& r) { return r.command == 1; }));

        // Queries 9 and 10: a command's register and value by id.
        for (const TCatalogueRow& r : rows) {
            if (r.command != 1) continue;
            QCOMPARE(DecryptField(SelectText(sql::CommandRegister(r.id)), RegisterKey(r.id)),
                     QString::number(r.registerNo));
            QCOMPARE(SelectInt(sql::CommandDefault(r.id)), r.defaultValue.toInt());
        }
        QVERIFY(host.messages.isEmpty());
    }

    // Rows come ordered by group, then id; the walk reads columns by the component's rules.
    void walkAndColumns() {
        test::FakeHost host;
        Tfm module(&host);
        module.DBBaglan(sample);
        QVERIFY(OpenT4(sql::SettingRows(QStringLiteral("RX-B2"), false)));
        TQuery& q = module.t4;
        QVERIFY(q.Bof());
        int lastGroup = -1;
        qint64 lastId = -1;
        bool sawNullReadonly = false;
        for (q.First(); !q.Eof(); q.Next()) {
            const int group = q.FieldInt(QStringLiteral("group"));
            const qint64 id = q.FieldInt(QStringLiteral("id"));
            QVERIFY(group > lastGroup || (group == lastGroup && id > lastId));
            lastGroup = group;
            lastId = id;
            if (q.FieldIsNull(QStringLiteral("readonly"))) {
                sawNullReadonly = true;
                QCOMPARE(q.FieldInt(QStringLiteral("readonly")), 0);
                QCOMPARE(q.FieldText(QStringLiteral("readonly")), QString());
            }
        }
        QVERIFY(sawNullReadonly);
        q.First();
        QVERIFY_THROWS_EXCEPTION(EConvertError, q.FieldInt(QStringLiteral("device")));
        QVERIFY_THROWS_EXCEPTION(Error, q.FieldText(QStringLiteral("nosuchcolumn")));
        q.Next();
        QCOMPARE(q.RecNo(), 1);
        while (!q.Eof())
            q.Next();
        QVERIFY_THROWS_EXCEPTION(Error, q.FieldText(QStringLiteral("device")));
    }

    // The model text is bound, never pasted into SQL.
    void hostileModelText_data() {
        QTest::addColumn<QString>("model");
        QTest::newRow("quote") << "RX-B2'";
        QTest::newRow("or true") << "x' OR '1'='1";
        QTest::newRow("statement") << "x'; DROP TABLE settings; --";
        QTest::newRow("percent") << "%";
    }
    void hostileModelText() {
        QFETCH(QString, model);
        test::FakeHost host;
        Tfm module(&host);
        module.DBBaglan(Copy(QStringLiteral("hostile.sqlite")));
        QVERIFY(!OpenT4(sql::SettingRows(model, false)));
        QVERIFY(!OpenT4(sql::CommandRows(model)));
        QVERIFY(host.messages.isEmpty());
        QVERIFY(OpenT4(sql::SettingRows(QStringLiteral("RX-B2"), false)));
    }

    void emptyResults() {
        test::FakeHost host;
        Tfm module(&host);
        module.DBBaglan(sample);
        QVERIFY(!OpenT4(sql::SettingRows(QStringLiteral("YOK"), false)));
        QCOMPARE(module.t4.RecordCount(), 0);
        QVERIFY(module.t4.Eof());
        QCOMPARE(SelectInt(sql::CommandDefault(987654)), 0);
        QCOMPARE(SelectText(sql::CommandRegister(987654)), QString());
        QVERIFY(host.messages.isEmpty());
    }

    // A failing statement shows its text (each line + CR LF), a CR and the engine's message.
    void sqlErrors_data() {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<bool>("show");
        QTest::addColumn<int>("helper"); // 0 OpenT4, 1 ExecSQL, 2 SelectInt, 3 SelectText
        const QString one = QStringLiteral("SELECT * FORM settings");
        const QString two = QStringLiteral("SELECT *\nFROM nowhere");
        for (bool show : {true, false}) {
            const char* s = show ? "shown" : "silent";
            QTest::addRow("OpenT4 %s", s) << one << show << 0;
            QTest::addRow("ExecSQL two lines %s", s) << two << show << 1;
            QTest::addRow("SelectInt %s", s) << one << show << 2;
            QTest::addRow("SelectText two lines %s", s) << two << show << 3;
        }
    }
    void sqlErrors() {
        QFETCH(QString, sql);
        QFETCH(bool, show);
        QFETCH(int, helper);
        test::FakeHost host;
        Tfm module(&host);
        module.DBBaglan(sample);
        module.ShowSqlErrors = show;
        switch (helper) {
        case 0:
            QVERIFY(!OpenT4(sql));
            break;
        case 1:
            QVERIFY(!ExecSQL(sql));
            break;
        case 2:
            QCOMPARE(SelectInt(sql), 0);
            break;
        default:
            QCOMPARE(SelectText(sql), QString());
            break;
        }
        if (!show) {
            QVERIFY(host.messages.isEmpty());
            return;
        }
        QString lines;
        for (const QString& line : sql.split(u'\n'))
            lines += line + QStringLiteral("\r\n");
        const QString engine = EngineMessage(sample, sql);
        QVERIFY(!engine.isEmpty());
        QCOMPARE(host.messages, QStringList{lines + u'\r' + engine});
    }

    // ---- opening ----

    void missingCatalogue() {
        test::FakeHost host;
        Tfm module(&host);
        const QString path = tmp.filePath(QStringLiteral("none/db.sqlite"));
        try {
            module.DBBaglan(path);
            QFAIL("opened a missing catalogue");
        } catch (const Error& e) {
            QVERIFY(e.text().contains(QDir::toNativeSeparators(path)));
        }
        QVERIFY(!QFile::exists(path));
        QVERIFY(!module.Connected());
    }

    void notACatalogue() {
        const QString path = tmp.filePath(QStringLiteral("junk.sqlite"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("this is not a database, just some text\n");
        f.close();
        Tfm module;
        QVERIFY_THROWS_EXCEPTION(Error, module.DBBaglan(path));
        QVERIFY(!module.Connected());
    }

    void password_data() {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("given"); // null: no password file
        QTest::addColumn<bool>("opens");
        QTest::newRow("none, no file") << "" << QString() << true;
        QTest::newRow("required, no file") << "gizli" << QString() << false;
        QTest::newRow("right") << "gizli"
                               << "gizli" << true;
        QTest::newRow("wrong") << "gizli"
                               << "GIZLI" << false;
        QTest::newRow("with quotes") << "a\"b'c;d"
                                     << "a\"b'c;d" << true;
        QTest::newRow("Turkish") << "şifreİ"
                                 << "şifreİ" << true;
        QTest::newRow("given but none stored") << ""
                                               << "x" << false;
    }
    void password() {
        QFETCH(QString, stored);
        QFETCH(QString, given);
        QFETCH(bool, opens);
        const QString path = Build(QStringLiteral("pw.sqlite"), SampleCsv(), stored);
        if (!given.isNull())
            IniWrite(QStringLiteral("DB"), QStringLiteral("sifre"), given, paths::PasswordFile());
        Tfm module;
        bool opened = true;
        try {
            module.DBBaglan(path);
        } catch (const Error& e) {
            opened = false;
            QVERIFY(e.text().contains(QDir::toNativeSeparators(path)));
        }
        QCOMPARE(opened, opens);
        QCOMPARE(module.Connected(), opens);
        // The password file now holds the key (an empty one when none was there).
        TIniFile file(paths::PasswordFile());
        bool found = false;
        QCOMPARE(file.Read(QStringLiteral("DB"), QStringLiteral("sifre"), &found),
                 given.isNull() ? QString() : given);
        QVERIFY(found);
    }

    // ---- migration ----

    void migration_data() {
        QTest::addColumn<bool>("withWritecmd");
        QTest::addColumn<bool>("readOnly");
        QTest::addColumn<bool>("added");
        QTest::newRow("lacks the column") << false << false << true;
        QTest::newRow("has the column") << true << false << false;
        QTest::newRow("read-only, lacks the column") << false << true << false;
        QTest::newRow("read-only, has the column") << true << true << false;
    }
    void migration() {
        QFETCH(bool, withWritecmd);
        QFETCH(bool, readOnly);
        QFETCH(bool, added);
        const QString path = Build(QStringLiteral("mig.sqlite"), SampleCsv(), {}, withWritecmd);
        test::FakeHost host;
        Tfm module(&host);
        module.DBBaglan(path, readOnly);
        QCOMPARE(MigrateCatalogue(), added);
        QVERIFY(module.ShowSqlErrors);
        QVERIFY(host.messages.isEmpty());
        QCOMPARE(module.HasWritecmd(), withWritecmd || added);
        // writecmd reads as NULL wherever the column is missing or was just added.
        QVERIFY(OpenT4(sql::WritableRows(QStringLiteral("RX-B2"), false)));
        bool six = false;
        for (module.t4.First(); !module.t4.Eof(); module.t4.Next()) {
            six |= module.t4.FieldInt(QStringLiteral("writecmd")) == 6;
            if (!withWritecmd) QCOMPARE(module.t4.FieldText(QStringLiteral("writecmd")), QString());
        }
        QCOMPARE(six, withWritecmd);
        // A second start finds the column and stays silent.
        if (!readOnly) {
            QVERIFY(!MigrateCatalogue());
            QVERIFY(host.messages.isEmpty());
        }
    }

    // ---- tool reader and build ----

    void readerErrors() {
        QString error;
        QVERIFY(ReadModelRows(tmp.filePath(QStringLiteral("absent.sqlite")),
                              QStringLiteral("RX-B2"), &error)
                    .isEmpty());
        QVERIFY(!error.isEmpty());
        QVERIFY(!QFile::exists(tmp.filePath(QStringLiteral("absent.sqlite"))));

        // A register that does not decipher to a whole number is reported, not guessed.
        const QString path = Copy(QStringLiteral("badreg.sqlite"));
        {
            QSqlDatabase db =
                QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("tamper"));
            db.setDatabaseName(path);
            QVERIFY(db.open());
            QSqlQuery q(db);
            q.prepare(QStringLiteral("UPDATE settings SET \"register\"=? WHERE id=101"));
            q.addBindValue(EncryptField(QStringLiteral("12a"), RegisterKey(101)));
            QVERIFY(q.exec());
            db.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("tamper"));
        error.clear();
        QVERIFY(ReadModelRows(path, QStringLiteral("RX-B2"), &error).isEmpty());
        QVERIFY(error.contains(QLatin1String("12a")));
        QVERIFY(ReadModelRows(path, QStringLiteral("RX-M3"), &error).size() > 0);
    }

    void buildChecks_data() {
        QTest::addColumn<QByteArray>("rows");
        QTest::addColumn<QString>("message"); // part of the error; empty: builds
        QTest::newRow("quoted cells")
            << QByteArray(
                   "1,M,0,1,\"Genel, Ana\",\"Ad \"\"x\"\"\",10,string,0,8,,0,\"iki\nsatır\",,,\n")
            << "";
        QTest::newRow("overlap")
            << QByteArray("1,M,0,1,G,A,10,long,,,,0,,,,\n2,M,0,1,G,B,11,integer,,,,0,,,,\n")
            << "çakışıyor";
        QTest::newRow("string span")
            << QByteArray("1,M,0,1,G,A,10,string,0,5,,0,,,,\n2,M,0,1,G,B,12,integer,,,,0,,,,\n")
            << "çakışıyor";
        QTest::newRow("other model may reuse")
            << QByteArray("1,M,0,1,G,A,10,long,,,,0,,,,\n2,N,0,1,G,B,11,integer,,,,0,,,,\n") << "";
        QTest::newRow("store register")
            << QByteArray("1,RX-B2,0,1,G,A,5006,double,,,,0,,,,\n") << "5007";
        QTest::newRow("command may use it")
            << QByteArray("1,RX-B2,1,9,K,Kaydet,5007,integer,,,,0,,1,,\n") << "";
        QTest::newRow("duplicate id")
            << QByteArray("1,M,0,1,G,A,10,integer,,,,0,,,,\n1,M,0,1,G,B,11,integer,,,,0,,,,\n")
            << "satır 3";
        QTest::newRow("unknown type") << QByteArray("1,M,0,1,G,A,10,text,,,,0,,,,\n") << "text";
        QTest::newRow("bad number") << QByteArray("1,M,0,1,G,A,10,integer,a,,,0,,,,\n") << "min";
        QTest::newRow("register not a number")
            << QByteArray("1,M,0,1,G,A,x,integer,,,,0,,,,\n") << "register";
        QTest::newRow("combo without choices")
            << QByteArray("1,M,0,1,G,A,10,combo,,,,0,,,,\n") << "combo";
        QTest::newRow("unclosed quote")
            << QByteArray("1,M,0,1,\"G,A,10,integer,,,,0,,,,\n") << "tırnak";
    }
    void buildChecks() {
        QFETCH(QByteArray, rows);
        QFETCH(QString, message);
        const QString out = tmp.filePath(QStringLiteral("check.sqlite"));
        QFile::remove(out);
        QString error;
        const bool ok = BuildCatalogue(kHeader + rows, out, {}, true, &error);
        QCOMPARE(ok, message.isEmpty());
        QCOMPARE(QFile::exists(out), ok);
        if (!ok) {
            QVERIFY2(error.contains(message), qPrintable(error));
            return;
        }
        const QList<TCatalogueRow> all = ReadAllRows(out, &error);
        QVERIFY(!all.isEmpty());
        if (QTest::currentDataTag() == QByteArray("quoted cells")) {
            QCOMPARE(all[0].groupCaption, QStringLiteral("Genel, Ana"));
            QCOMPARE(all[0].caption, QStringLiteral("Ad \"x\""));
            QCOMPARE(all[0].hint, QStringLiteral("iki\nsatır"));
            QVERIFY(all[0].groupCaptionNull == false);
            QVERIFY(!all[0].writecmd.has_value());
        }
    }

    // The generated benchmark model builds (so its registers never overlap) and reads back.
    void benchModel() {
        const QString out = Build(QStringLiteral("bench.sqlite"), GenerateBenchCsv(200));
        QString error;
        const QList<TCatalogueRow> rows = ReadModelRows(out, QStringLiteral("BENCH-200"), &error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QCOMPARE(rows.size(), 200);
        QSet<QString> types;
        for (const TCatalogueRow& r : rows)
            types << r.type;
        QCOMPARE(types.size(), 7);
    }
};

QTEST_GUILESS_MAIN(TestCatalogue)
#include "tst_catalogue.moc"
