#include "operations/Operations.h"

#include "operations/CatalogueRows.h"

#include "config/ConfigKeys.h"
#include "config/Convert.h"
#include "config/Host.h"
#include "config/Ini.h"
#include "editor/SettingsGrid.h"
#include "link/Codecs.h"
#include "link/Link.h"
#include "link/Log.h"

#include <cfloat>
#include <cmath>
#include <exception>

namespace kolva {

namespace {

const QString kRxM3 = QStringLiteral("RX-M3");
const QString kRxB2 = QStringLiteral("RX-B2");

bool IsTextType(const QString& type) {
    return type == u"string" || type == u"stringswap";
}

bool IsKnownType(const QString& type) {
    return type == u"integer" || type == u"signedint" || type == u"long" || type == u"double" ||
           type == u"string" || type == u"stringswap" || type == u"combo";
}

// Whole number with the platform's rules, but no trailing blank (a choice value "1 " is bad).
bool ChoiceValue(const QString& text, int* value) {
    if (!text.isEmpty() && text.back().isSpace()) return false;
    return TryStrToInt(text, value);
}

// Removes every character of code 32 or below from both ends.
QString TrimControl(const QString& text) {
    qsizetype begin = 0, end = text.size();
    while (begin < end && text[begin].unicode() <= 32)
        ++begin;
    while (end > begin && text[end - 1].unicode() <= 32)
        --end;
    return text.mid(begin, end - begin);
}

// Fixed-point text with `decimals` places and the locale's decimal separator, no grouping.
QString FixedText(double value, int decimals) {
    decimals = std::clamp(decimals, 0, 30);
    QString text = QString::number(value, 'f', decimals);
    const QChar sep = DecimalSeparator();
    if (sep != u'.') text.replace(u'.', sep);
    return text;
}

// The row key: group, "_", register.
QString RowKey(int group, int reg) {
    return QString::number(group) + u'_' + QString::number(reg);
}

} // namespace

// ---------------------------------------------------------------------------------------
// Guard

TOperationScope::TOperationScope(TDeviceOperations& ops) : ops_(ops) {}

TOperationScope::~TOperationScope() {
    ops_.ReleaseGuard();
}

void TOperationScope::Raise(bool enableCancel) {
    ops_.state_.SetBusy(true);
    ops_.last_.started = true;
    if (enableCancel) ops_.state_.SetCancelEnabled(true);
}

void TOperationScope::Release() {
    ops_.state_.SetCancelEnabled(false);
    ops_.state_.SetBusy(false);
}

TDeviceOperations::TDeviceOperations(Host& host, TLog& log, TLink& link, Tfm& fm,
                                     TSettingsGrid& grid, TOperationState& state, QObject* parent)
    : QObject(parent), host_(host), log_(log), link_(link), fm_(fm), grid_(grid), state_(state) {}

TDeviceOperations::~TDeviceOperations() = default;

void TDeviceOperations::Bilgi(const QString& text) {
    log_.Bilgi(text);
}

void TDeviceOperations::Log(const QString& tag, const QString& message, quint8 level) {
    log_.Log(tag, message, level);
}

void TDeviceOperations::ReleaseGuard() {
    // Every step is harmless when already done, so the normal end and an escaping error
    // share it. Closing the link must not throw out of a destructor.
    try {
        if (link_.Connected) link_.Baglan(false);
    } catch (...) {
    }
    grid_.SetEnabled(true);
    state_.SetCancelEnabled(false);
    state_.SetBusy(false);
}

bool TDeviceOperations::RefuseIfBusy() {
    if (!state_.Busy()) return false;
    Bilgi(QString::fromUtf16(kBusyText));
    return true;
}

bool TDeviceOperations::RunGuarded(const std::function<void(TOperationScope&)>& op) {
    last_ = TRunResult();
    QString error;
    try {
        TOperationScope scope(*this);
        op(scope);
        return true;
    } catch (const Error& e) {
        error = e.text();
    } catch (const std::exception& e) {
        error = QString::fromLocal8Bit(e.what());
    } catch (...) {
        error = QStringLiteral("Bilinmeyen bir hata oluştu.");
    }
    last_.failed = true;
    last_.message = error;
    Log(QStringLiteral("Hata"), error, TLog::lvERROR);
    host_.ShowError(error);
    return false;
}

void TDeviceOperations::ProgressStart(int rows) {
    host_.SetProgressMax(rows);
    host_.SetProgressPos(0);
}

void TDeviceOperations::ProgressStep() {
    const int pos = host_.ProgressPos() + 1;
    host_.SetProgressPos(pos);
    if (pos % 50 == 0) host_.ProcessEvents();
}

void TDeviceOperations::ToggleAlarmGroupsOnCtrl() {
    if (host_.CtrlDown()) state_.SetHideAlarmGroups(!state_.HideAlarmGroups());
}

void TDeviceOperations::mnCancelClick() {
    state_.mnCancelClick();
}

// ---------------------------------------------------------------------------------------
// Selectors

void TDeviceOperations::SetDeviceText(const QString& model) {
    if (deviceText_ == model) return;
    deviceText_ = model;
    Q_EMIT DeviceTextChanged(model);
}

void TDeviceOperations::SetAddressText(const QString& address) {
    if (addressText_ == address) return;
    addressText_ = address;
    Q_EMIT AddressTextChanged(address);
}

void TDeviceOperations::FillModelList() {
    models_ = catalogue_rows::Models(fm_);
    Q_EMIT ModelListChanged(models_);
}

void TDeviceOperations::RestoreSelection() {
    SetDeviceText(IniRead(keys::Device.Section(), keys::Device.Name(), keys::Device.Default()));
    SetAddressText(IniRead(keys::Address.Section(), keys::Address.Name(), keys::Address.Default()));
}

void TDeviceOperations::StoreSelection() {
    IniWrite(keys::Device.Section(), keys::Device.Name(), deviceText_);
    IniWrite(keys::Address.Section(), keys::Address.Name(), addressText_);
}

quint8 TDeviceOperations::AddressByte() const {
    int address = 0;
    if (!TryStrToInt(addressText_, &address))
        throw EConvertError(QStringLiteral("'%1' is not a valid integer value").arg(addressText_));
    // A bus address is one byte; anything else would reach another device.
    if (address < 1 || address > 255)
        throw EConvertError(
            QStringLiteral("Geçersiz cihaz adresi: %1 (1 ile 255 arası olmalı)").arg(addressText_));
    return quint8(address);
}

bool TDeviceOperations::Connect() {
    if (!link_.Connected) link_.Baglan(true);
    if (link_.Connected) return true;
    Bilgi(QStringLiteral("Bağlantı Sağlanamadı"));
    last_.message = QStringLiteral("Bağlantı Sağlanamadı");
    return false;
}

// ---------------------------------------------------------------------------------------
// Grid build

void TDeviceOperations::mnNewClick() {
    if (RefuseIfBusy()) return;
    RunGuarded([this](TOperationScope& scope) {
        state_.SetCancelRequested(false);
        scope.Raise();
        CihazAyarGrid(deviceText_);
        scope.Release();
        last_.cancelled = state_.CancelRequested();
    });
}

void TDeviceOperations::EditValueChanged(TGridRow* row) {
    if (row) grid_.EditValueChanged(row);
}

void TDeviceOperations::CihazAyarGrid(const QString& model) {
    Bilgi(QStringLiteral("Ayar Listesi Oluşturuluyor"));
    grid_.SetModelName(model);
    grid_.Clear();
    host_.ProcessEvents();
    grid_.SetEnabled(false);
    // The grid takes input again however the build ends.
    struct EnableAgain {
        TSettingsGrid& grid;
        ~EnableAgain() { grid.SetEnabled(true); }
    } enableAgain{grid_};

    const bool collapse = IniRead(keys::chcollapse.Section(), keys::chcollapse.Name(),
                                  keys::chcollapse.Default()) == u"1";
    ToggleAlarmGroupsOnCtrl();

    catalogue_rows::TCursor rows(fm_, catalogue_rows::qkGrid, model, state_.HideAlarmGroups());
    if (rows.Open()) {
        ProgressStart(rows.RecordCount());
        int previousGroup = -1;
        TGridRow* category = nullptr;
        while (!rows.Eof() && !state_.CancelRequested()) {
            const catalogue_rows::TSettingRow s = rows.Row();
            ProgressStep();
            auto fail = [&](const QString& detail) {
                throw Error(QStringLiteral("Ayar listesi oluşturulamadı: \"%1\" ayarı "
                                           "(id %2) katalogda hatalı: %3")
                                .arg(s.caption, QString::number(s.id), detail));
            };
            if (!s.regOk) fail(QStringLiteral("register '%1' bir tam sayı değil").arg(s.regText));

            // Everything the row needs is converted before the row is added, so a bad
            // catalogue row leaves no half-built row behind.
            QVariant value;
            QList<TChoice> choices;
            TEditorKind editor = TEditorKind::Text;
            if (s.type == u"combo") {
                editor = TEditorKind::Combo;
                int v = 0;
                if (!TryStrToInt(s.def, &v))
                    fail(QStringLiteral("default '%1' bir tam sayı değil").arg(s.def));
                value = v;
                const QStringList pieces =
                    catalogue_rows::SplitList(s.combo.trimmed(), QStringLiteral(";"));
                for (const QString& piece : pieces) {
                    if (piece.trimmed().isEmpty() || !piece.contains(u':')) continue;
                    const QString valueText =
                        catalogue_rows::ExtractBetween(piece, QString(), QStringLiteral(":"));
                    int choice = 0;
                    if (!ChoiceValue(valueText, &choice))
                        fail(QStringLiteral("seçenek değeri '%1' bir tam sayı değil")
                                 .arg(valueText));
                    choices << TChoice{choice, QString::number(choice) + u". " +
                                                   catalogue_rows::ExtractBetween(
                                                       piece, QStringLiteral(":"), QString())};
                }
            } else if (s.type == u"integer" || s.type == u"signedint") {
                editor = TEditorKind::SpinInt;
                int v = 0;
                if (!TryStrToInt(s.def, &v))
                    fail(QStringLiteral("default '%1' bir tam sayı değil").arg(s.def));
                value = v;
            } else if (s.type == u"double") {
                editor = TEditorKind::SpinFloat;
                double v = 0;
                if (!TryStrToFloat(s.def, &v))
                    fail(QStringLiteral("default '%1' bir sayı değil").arg(s.def));
                value = v;
            } else {
                value = s.def;
            }

            const int group = s.group;
            if (group != previousGroup) {
                previousGroup = group;
                category = grid_.AddCategory(s.groupCaption, collapse);
            }
            const QString name = u"row_" + RowKey(group, s.reg);
            if (grid_.FindRow(name)) {
                Log(QStringLiteral("Ayar Listesi"),
                    QStringLiteral("%1 ayarı atlandı: %2 satırı zaten var (id %3)")
                        .arg(s.caption, name, QString::number(s.id)),
                    TLog::lvERROR);
                rows.Next();
                continue;
            }
            TGridRow* row = grid_.AddEditorRow(category);
            const int count = category ? category->ChildCount() : 0;
            if (category && s.id >= 0 && s.id < count && s.id != row->Index())
                grid_.MoveRow(row, s.id);
            grid_.AddName(row, name);
            row->Tag = s.reg;
            row->Caption = s.caption;
            row->Hint = s.hint;
            if (s.type == u"integer")
                row->Hint += u"\r\nMinimum: " + s.minText + u" Maksimum: " + s.maxText;
            else if (s.type == u"double")
                row->Hint += u"\r\nMinimum: " + s.minText + u" Maksimum: " + s.maxText +
                             u" Ondalık: " + s.decimalText;
            row->HeaderStyle = THeaderStyle::styleRowHeader;
            if (s.readonly == 1) row->Editable = false;
            row->Editor = editor;
            row->Min = s.min;
            row->Max = s.max;
            switch (editor) {
            case TEditorKind::Combo:
                row->Choices = choices;
                break;
            case TEditorKind::SpinInt:
                row->Step = 1;
                row->LargeStep = 10;
                // Without usable bounds the editor keeps to what the register can hold.
                if (s.type == u"integer") {
                    row->TypeMin = 0;
                    row->TypeMax = 65535;
                } else {
                    row->TypeMin = -32768;
                    row->TypeMax = 32767;
                }
                break;
            case TEditorKind::SpinFloat:
                row->Step = 0.1;
                row->LargeStep = 1.0;
                row->Decimals = s.decimal;
                break;
            case TEditorKind::Text:
                row->Min = 0;
                break;
            }
            row->Value = value;
            grid_.RowChanged(row);
            rows.Next();
        }
    }

    grid_.SetEnabled(true);
    if (!state_.CancelRequested()) UpdateCommandList(model);
    host_.SetProgressPos(0);
    Bilgi(QStringLiteral("Ayar Listesi Oluşturma işlemi tamamlandı."));
}

// ---------------------------------------------------------------------------------------
// Commands

void TDeviceOperations::UpdateCommandList(const QString& model) {
    commands_.BeginUpdate();
    int lastId = 0;
    catalogue_rows::TCursor rows(fm_, catalogue_rows::qkCommands, model, false);
    if (rows.Open()) {
        host_.SetProgressMax(rows.RecordCount());
        host_.SetProgressPos(0);
        while (!rows.Eof() && !state_.CancelRequested()) {
            const int id = rows.Id();
            lastId = id;
            commands_.Add(id, rows.Caption());
            rows.Next();
        }
    }
    commands_.EndUpdate();
    commands_.SetCurrentValue(lastId);
}

void TDeviceOperations::mnRunCommandClick() {
    const int id = commands_.CurrentValue();
    if (id <= 0) return;
    if (RefuseIfBusy()) return;
    RunGuarded([this, id](TOperationScope& scope) {
        const int reg = StrToInt(catalogue_rows::CommandRegisterText(fm_, id));
        const int value = catalogue_rows::CommandValue(fm_, id);
        const quint8 address = AddressByte();
        if (value < 0 || value > 65535)
            throw Error(
                QStringLiteral("Komut değeri %1 bir registera sığmıyor (0..65535).").arg(value));
        InttoByteArray(link_.RegisterData, 0, value);
        scope.Raise(false);
        link_.Baglan(true);
        const bool ok = link_.WriteRegisters(address, reg, 1, fnWriteSingle);
        last_.message = ok ? QStringLiteral("OK") : QStringLiteral("İşlem Başarısız");
        last_.errors = ok ? 0 : 1;
        Bilgi(last_.message);
        link_.Baglan(false);
        scope.Release();
    });
}

// ---------------------------------------------------------------------------------------
// Read

void TDeviceOperations::mnReadClick() {
    if (RefuseIfBusy()) return;
    RunGuarded([this](TOperationScope& scope) {
        StoreSelection();
        state_.SetCancelRequested(false);
        if (!Connect()) return;
        scope.Raise(false);
        Bilgi(QStringLiteral("Ayarlar cihazdan okunuyor."));
        ReadAll();
        scope.Release();
    });
}

void TDeviceOperations::ReadAll() {
    const QString model = deviceText_;
    if (grid_.ModelName() != model) CihazAyarGrid(model);
    const quint8 address = AddressByte();
    int errors = 0;
    state_.SetCancelEnabled(true);

    auto skip = [&](const QString& message) {
        ++errors;
        Log(QStringLiteral("READ ERROR"), message, TLog::lvERROR);
    };

    catalogue_rows::TCursor rows(fm_, catalogue_rows::qkRead, model, state_.HideAlarmGroups());
    if (rows.Open()) {
        ProgressStart(rows.RecordCount());
        for (; !rows.Eof() && !state_.CancelRequested(); rows.Next()) {
            const catalogue_rows::TSettingRow s = rows.Row();
            ProgressStep();
            if (!s.regOk) {
                skip(QStringLiteral("%1 okunamadı: register '%2' bir tam sayı değil")
                         .arg(s.caption, s.regText));
                continue;
            }
            const QString key = RowKey(s.group, s.reg);
            if (!IsKnownType(s.type)) {
                skip(QStringLiteral("%1 okunamadı: bilinmeyen ayar tipi '%2'")
                         .arg(s.caption, s.type));
                continue;
            }
            const int count = RegisterCount(s.type, s.max);
            if (count < 1 || count > kMaxReadCount) {
                skip(QStringLiteral("%1 okunamadı: uzunluk %2 geçersiz")
                         .arg(s.caption, QString::number(s.max)));
                continue;
            }
            TGridRow* row = grid_.FindRow(u"row_" + key);
            if (!row) {
                skip(QStringLiteral("%1 okunamadı: listede row_%2 satırı yok").arg(s.caption, key));
                continue;
            }
            Log(QStringLiteral("AYAR OKU"),
                u"Okunacak olan ayar: " + s.caption + u"  (Grup_Register: " + key + u")",
                TLog::lvNORMAL);
            QString value;
            bool numeric = true;
            if (link_.ReadRegisters(address, s.reg, count, fnReadHolding)) {
                const QByteArray& data = link_.RegisterData;
                if (s.type == u"integer" || s.type == u"combo") {
                    value = QString::number(ByteArrayToInt(data, 0));
                } else if (s.type == u"signedint") {
                    value = QString::number(ByteArrayToSignedInt(data, 0));
                } else if (s.type == u"long") {
                    value = QString::number(ByteArraytoLong(data, 0, 0));
                } else if (s.type == u"double") {
                    const double v = ByteArrayToFloat(data, 0);
                    if (std::isfinite(v))
                        value = FixedText(v, s.decimal);
                    else {
                        value = QString::number(v);
                        numeric = false;
                    }
                } else if (s.type == u"string") {
                    value = TrimControl(ByteArrayToString(data, 0, s.max));
                } else {
                    value = ByteArrayToStringSwap(data, 0, s.max);
                }
                Log(QStringLiteral("AYAR OKU"), u"Okunan değer:  " + value, TLog::lvNORMAL);
            } else {
                ++errors;
                Bilgi(u"Hata! " + s.caption + u" okunurken hata oluştu.");
                Log(QStringLiteral("READ ERROR"), s.caption + u" okunurken hata oluştu.",
                    TLog::lvERROR);
            }
            if (!IsTextType(s.type) && (!numeric || !catalogue_rows::IsFloat(value)))
                value = QStringLiteral("0");
            grid_.SetValue(row, value);
            if (model == kRxM3) host_.Sleep(50);
        }
    }

    last_.cancelled = state_.CancelRequested();
    host_.Sleep(link_.TimeoutMs);
    link_.Baglan(false);
    state_.SetCancelEnabled(false);
    state_.SetBusy(false);
    last_.errors = errors;
    last_.message = errors > 0 ? u"Hata! Ayar okuma işleminde hatalar oluştu: " +
                                     QString::number(errors) + u" Hata"
                               : QStringLiteral("OK! Ayar okuma işlemi tamamlandı.");
    Bilgi(last_.message);
}

// ---------------------------------------------------------------------------------------
// Write

void TDeviceOperations::mnWriteClick() {
    if (RefuseIfBusy()) return;
    if (!host_.Confirm(QStringLiteral("Tüm ayarların cihaza gönderilmesini istiyormusunuz?")))
        return;
    RunGuarded([this](TOperationScope& scope) {
        StoreSelection();
        state_.SetCancelEnabled(true);
        state_.SetBusy(true);
        AyarKaydet(false);
        scope.Release();
    });
}

void TDeviceOperations::mnWriteAllClick() {
    if (RefuseIfBusy()) return;
    if (!host_.Confirm(
            QStringLiteral("Yapılan değişikliklerin cihaza gönderilmesini istiyormusunuz?")))
        return;
    RunGuarded([this](TOperationScope& scope) {
        StoreSelection();
        state_.SetCancelEnabled(true);
        AyarKaydet(true);
        scope.Release();
    });
}

namespace {

// The value of a setting as register bytes, or the reason it cannot be sent. Nothing is cut
// or wrapped: a value the register cannot hold is refused.
bool EncodeValue(const QString& type, const QString& text, int max, QByteArray& data,
                 QString* why) {
    data.clear();
    if (type == u"integer" || type == u"combo" || type == u"signedint") {
        int v = 0;
        if (!TryStrToInt(text, &v)) {
            *why = QStringLiteral("tam sayı değil");
            return false;
        }
        const bool isSigned = type == u"signedint";
        const int lo = isSigned ? -32768 : 0, hi = isSigned ? 32767 : 65535;
        if (v < lo || v > hi) {
            *why = QStringLiteral("%1..%2 aralığının dışında").arg(lo).arg(hi);
            return false;
        }
        if (isSigned)
            SignedInttoByteArray(data, 0, v);
        else
            InttoByteArray(data, 0, v);
        return true;
    }
    if (type == u"long") {
        int v = 0;
        if (!TryStrToInt(text, &v)) {
            *why = QStringLiteral("32 bit tam sayı değil");
            return false;
        }
        LongtoByteArray(data, qint32(v), 0, 0);
        return true;
    }
    if (type == u"double") {
        double v = 0;
        if (!TryStrToFloat(text, &v) || !std::isfinite(v) || std::fabs(v) > FLT_MAX) {
            *why = QStringLiteral("tek duyarlıklı bir sayı değil");
            return false;
        }
        FloattoByteArray(data, 0, float(v));
        return true;
    }
    if (IsTextType(type)) {
        if (text.size() > max) {
            *why = QStringLiteral("%1 karakterden uzun").arg(max);
            return false;
        }
        if (type == u"string")
            StringtoByteArray(data, 0, text, max);
        else
            StringtoByteArraySwap(data, 0, text, max);
        return true;
    }
    *why = QStringLiteral("bilinmeyen ayar tipi '%1'").arg(type);
    return false;
}

} // namespace

void TDeviceOperations::AyarKaydet(bool onlyChanged) {
    state_.SetCancelRequested(false);
    const QString model = deviceText_;
    if (grid_.ModelName() != model) {
        host_.ShowMessage(QStringLiteral("Öncelikle cihaz için ayarları listeletip, "
                                         "değişiklikleri yapmanız gerekmektedir."));
        return;
    }
    const quint8 address = AddressByte();
    if (!Connect()) return;
    state_.SetBusy(true);
    last_.started = true;
    Bilgi(QStringLiteral("Ayarlar cihaza kaydediliyor."));
    int errors = 0;
    ToggleAlarmGroupsOnCtrl();

    auto refuse = [&](const QString& message) {
        ++errors;
        Log(QStringLiteral("WRITE ERROR"), message, TLog::lvERROR);
    };

    catalogue_rows::TCursor rows(fm_, catalogue_rows::qkWrite, model, state_.HideAlarmGroups());
    if (rows.Open()) {
        ProgressStart(rows.RecordCount());
        for (; !rows.Eof() && !state_.CancelRequested(); rows.Next()) {
            const catalogue_rows::TSettingRow s = rows.Row();
            ProgressStep();
            if (!s.regOk) {
                refuse(QStringLiteral("%1 kaydedilmedi: register '%2' bir tam sayı değil")
                           .arg(s.caption, s.regText));
                continue;
            }
            const QString key = RowKey(s.group, s.reg);
            TGridRow* row = grid_.FindRow(u"row_" + key);
            if (!row) {
                // A setting the grid does not show cannot have been changed.
                if (onlyChanged) continue;
                refuse(QStringLiteral("%1 kaydedilmedi: listede row_%2 satırı yok")
                           .arg(s.caption, key));
                continue;
            }
            const QString value = row->ValueText();
            if (onlyChanged && row->Tag > 0) continue;
            if (!IsKnownType(s.type)) {
                refuse(QStringLiteral("%1 kaydedilmedi: bilinmeyen ayar tipi '%2'")
                           .arg(s.caption, s.type));
                continue;
            }
            const int count = RegisterCount(s.type, s.max);
            if (count < 1 || count > kMaxWriteCount) {
                refuse(QStringLiteral("%1 kaydedilmedi: uzunluk %2 geçersiz")
                           .arg(s.caption, QString::number(s.max)));
                continue;
            }
            Log(QStringLiteral("AYAR YAZ"),
                u"Yazılacak olan ayar: " + s.caption + u"  (" + key + u")", TLog::lvNORMAL);

            if (IsTextType(s.type)) {
                QString warning, logLine;
                if (s.min == s.max && value.size() != s.max) {
                    warning = u"Ayar sabit olarak " + s.maxText +
                              u" karakter uzunluğunda isteniyor. İstediğiniz değer farklı "
                              u"olduğu için kaydedilmeyecek!\r\nGrup: " +
                              s.groupCaption + u"\r\nAyar: " + s.caption;
                    logLine = s.caption + u" ayarı istenen uzunluktan farklı olduğu için "
                                          u"kaydedilmedi";
                } else if (model == kRxB2 &&
                           (s.caption.contains(u"Şifre") || s.caption.contains(u"şifre")) &&
                           !catalogue_rows::IsFloat(value)) {
                    warning = u"Şifre ayarları sayısal olmak zorundadır.\r\nGrup: " +
                              s.groupCaption + u"\r\nAyar: " + s.caption;
                    logLine = s.caption + u" şifre ayarı sayısal değer olmadığı için "
                                          u"kaydedilmedi.";
                }
                if (!warning.isEmpty()) {
                    const bool ok = host_.WarningOkCancel(warning);
                    Log(QStringLiteral("Hata"), logLine, TLog::lvERROR);
                    if (ok) continue;
                    state_.SetCancelRequested(true);
                    break;
                }
            }

            QByteArray data;
            QString why;
            if (!EncodeValue(s.type, value, s.max, data, &why)) {
                refuse(s.caption + u" kaydedilmedi: değer '" + value + u"' " + why);
                continue;
            }

            quint8 function = fnWriteMultiple;
            if (s.writecmd == 6) function = fnWriteSingle;
            if (model == kRxM3) function = fnWriteSingle;
            if (IsTextType(s.type)) function = fnWriteMultiple;

            bool ok = false;
            if (function == fnWriteSingle && count == 2) {
                // Function 06 carries one register: the two halves go one after the other.
                link_.RegisterData = data.left(2);
                ok = link_.WriteRegisters(address, s.reg, 1, fnWriteSingle);
                if (ok) {
                    link_.RegisterData = data.mid(2, 2);
                    ok = link_.WriteRegisters(address, s.reg + 1, 1, fnWriteSingle);
                }
            } else {
                link_.RegisterData = data;
                ok = link_.WriteRegisters(address, s.reg, count, function);
            }
            if (ok) {
                grid_.SetHeaderStyle(row, THeaderStyle::styleRowHeader);
                grid_.SetTag(row, s.reg);
            } else {
                ++errors;
                Bilgi(u"Hata! " + s.caption + u" kaydedilirken hata oluştu.");
                Log(QStringLiteral("WRITE ERROR"), s.caption + u" kaydedilirken hata oluştu.",
                    TLog::lvERROR);
            }
            if (model == kRxM3) host_.Sleep(60);
        }
    }

    last_.cancelled = state_.CancelRequested();
    if (!state_.CancelRequested()) {
        const TSaveCommand save = SaveCommandFor(model);
        if (!save.logLine.isEmpty()) Log(QStringLiteral("Save"), save.logLine, TLog::lvNORMAL);
        InttoByteArray(link_.RegisterData, 0, 1);
        link_.WriteRegisters(address, save.reg, 1, fnWriteSingle);
    }
    host_.Sleep(link_.TimeoutMs);
    link_.Baglan(false);
    state_.SetBusy(false);
    last_.errors = errors;
    last_.message = errors > 0 ? u"Hata! Ayar kaydetme işleminde hatalar oluştu: " +
                                     QString::number(errors) + u" Hata"
                               : QStringLiteral("OK! Ayar kaydetme işlemi tamamlandı.");
    Bilgi(last_.message);
}

} // namespace kolva
