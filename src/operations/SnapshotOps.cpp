#include "operations/SnapshotOps.h"

#include "operations/CatalogueRows.h"
#include "operations/Operations.h"

#include "config/Host.h"
#include "editor/SettingsGrid.h"
#include "link/Log.h"
#include "snapshot/Snapshot.h"

#include <QFileInfo>

namespace kolva {

namespace {

QString RowKey(const catalogue_rows::TSettingRow& s) {
    return QString::number(s.group) + u'_' + QString::number(s.reg);
}

void Skip(TDeviceOperations& ops, const QString& message) {
    ops.log().Log(QStringLiteral("SNAPSHOT"), message, TLog::lvERROR);
}

} // namespace

void mnSaveClick(TDeviceOperations& ops, const std::function<QString()>& askFile) {
    if (ops.RefuseIfBusy()) return;
    TOperationState& state = ops.state();
    state.SetCancelRequested(false);
    const QString file = askFile ? askFile() : QString();
    if (file.isEmpty()) return;

    ops.RunGuarded([&](TOperationScope& scope) {
        scope.Raise();
        ops.log().Bilgi(QString::fromUtf16(snapshot_texts::kSaving));
        const QString model = ops.DeviceText();
        // The file is built in memory and replaces the old one in one step at the end, also
        // after Iptal (then with the settings done so far).
        TSnapshotWriter writer(file, model);
        ops.ToggleAlarmGroupsOnCtrl();

        int skipped = 0;
        catalogue_rows::TCursor rows(ops.fm(), catalogue_rows::qkGrid, model,
                                     state.HideAlarmGroups());
        if (rows.Open()) {
            ops.ProgressStart(rows.RecordCount());
            for (; !rows.Eof() && !state.CancelRequested(); rows.Next()) {
                const catalogue_rows::TSettingRow s = rows.Row();
                ops.ProgressStep();
                if (!s.regOk) {
                    ++skipped;
                    Skip(ops, QStringLiteral("%1 dosyaya yazılmadı: register '%2' bir tam sayı "
                                             "değil")
                                  .arg(s.caption, s.regText));
                    continue;
                }
                const QString key = RowKey(s);
                const TGridRow* row = ops.grid().FindRow(u"row_" + key);
                if (!row) {
                    ++skipped;
                    Skip(ops, QStringLiteral("%1 dosyaya yazılmadı: listede row_%2 satırı yok")
                                  .arg(s.caption, key));
                    continue;
                }
                writer.Add(QString::number(s.group), key, row->ValueText());
            }
        }
        writer.Commit();
        if (skipped > 0)
            Skip(ops,
                 QStringLiteral("%1 ayar listede olmadığı için dosyaya yazılmadı.").arg(skipped));
        ops.log().Bilgi(QString::fromUtf16(snapshot_texts::kSaved));
        scope.Release();
    });
}

void mnOpenClick(TDeviceOperations& ops, const std::function<QString()>& askFile) {
    if (ops.RefuseIfBusy()) return;
    TOperationState& state = ops.state();
    state.SetCancelRequested(false);
    const QString file = askFile ? askFile() : QString();
    if (file.isEmpty() || !QFileInfo(file).isFile()) return;

    ops.RunGuarded([&](TOperationScope& scope) {
        scope.Raise();
        TSnapshotReader reader(file);
        const QString model = reader.DeviceName();

        // A model the catalogue does not list has no settings to load: say so instead of
        // emptying the grid.
        if (!catalogue_rows::Models(ops.fm()).contains(model)) {
            QString error;
            if (!reader.Commit(&error))
                ops.log().Log(QStringLiteral("SNAPSHOT"), error, TLog::lvWARNING);
            const QString text =
                QStringLiteral("Dosyadaki cihaz modeli (%1) katalogda bulunamadı; dosyadan ayar "
                               "yüklenmedi.")
                    .arg(model);
            ops.log().Log(QStringLiteral("SNAPSHOT"), text, TLog::lvERROR);
            ops.log().Bilgi(text);
            ops.host().ShowMessage(text);
            scope.Release();
            return;
        }

        if (model != ops.grid().ModelName()) {
            ops.SetDeviceText(model);
            ops.CihazAyarGrid(model);
        }
        ops.log().Bilgi(QString::fromUtf16(snapshot_texts::kLoading));
        ops.ToggleAlarmGroupsOnCtrl();

        int skipped = 0;
        catalogue_rows::TCursor rows(ops.fm(), catalogue_rows::qkGrid, model,
                                     state.HideAlarmGroups());
        if (rows.Open()) {
            ops.ProgressStart(rows.RecordCount());
            for (; !rows.Eof() && !state.CancelRequested(); rows.Next()) {
                const catalogue_rows::TSettingRow s = rows.Row();
                ops.ProgressStep();
                if (!s.regOk) {
                    ++skipped;
                    Skip(ops, QStringLiteral("%1 dosyadan okunmadı: register '%2' bir tam sayı "
                                             "değil")
                                  .arg(s.caption, s.regText));
                    continue;
                }
                const QString key = RowKey(s);
                const QString value = reader.Value(QString::number(s.group), key, s.type);
                TGridRow* row = ops.grid().FindRow(u"row_" + key);
                if (!row) {
                    ++skipped;
                    Skip(ops, QStringLiteral("%1 dosyadan okunmadı: listede row_%2 satırı yok")
                                  .arg(s.caption, key));
                    continue;
                }
                ops.grid().SetValue(row, value);
            }
        }
        // Entries found missing are written back, as every read of an INI entry does;
        // a read-only file is left as it is.
        QString error;
        if (!reader.Commit(&error))
            ops.log().Log(QStringLiteral("SNAPSHOT"), error, TLog::lvWARNING);
        if (skipped > 0)
            Skip(ops,
                 QStringLiteral("%1 ayar listede olmadığı için dosyadan okunmadı.").arg(skipped));
        ops.log().Bilgi(QString::fromUtf16(snapshot_texts::kLoaded));
        scope.Release();
    });
}

} // namespace kolva
