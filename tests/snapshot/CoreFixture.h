#pragma once
// The program's core without a window, on a small catalogue built for the test, with every
// file in a private temporary folder.

#include "FakeHost.h"

#include "catalogue/Catalogue.h"
#include "catalogue/Module.h"
#include "config/Paths.h"
#include "editor/SettingsGrid.h"
#include "link/Link.h"
#include "link/Log.h"
#include "operations/OperationState.h"
#include "operations/Operations.h"

#include <QTemporaryDir>

#include <memory>

namespace kolva::test {

// Model T-1: group 1 "Genel" (integer 100, double 101 with 2 decimals), group 2
// "Haberleşme" (combo 200, string 201), group 3 "Alarm Ayarları" (integer 300), one command.
// Model RX-B2: two settings. Model BIG: 120 integer settings in group 1.
inline QByteArray SmallCatalogueCsv() {
    QByteArray csv =
        "id,device,command,group,group_caption,caption,register,type,min,max,decimal,readonly,"
        "hint,default,combo,writecmd\n"
        "1,T-1,0,1,Genel,Sayı,100,integer,0,1000,,0,,5,,\n"
        "2,T-1,0,1,Genel,Oran,101,double,0,100,2,0,,2,,\n"
        "3,T-1,0,2,Haberleşme,Hız,200,combo,0,65535,,0,,1,0:a;1:b;2:c,\n"
        "4,T-1,0,2,Haberleşme,Ad,201,string,0,8,,0,,KOLVA,,\n"
        "5,T-1,0,3,Alarm Ayarları,Limit,300,integer,0,100,,0,,7,,\n"
        "6,T-1,1,1,Genel,Sıfırla,900,integer,0,65535,,0,,1,,\n"
        "10,RX-B2,0,1,Genel,Cihaz Adı,5100,string,0,16,,0,,KOLVA,,\n"
        "11,RX-B2,0,1,Genel,Dil,5108,combo,0,65535,,0,,0,0:TR;1:EN,\n";
    for (int i = 0; i < 120; ++i)
        csv += QByteArray::number(1000 + i) + ",BIG,0,1,Genel,Ayar " + QByteArray::number(i) + "," +
               QByteArray::number(10 + i) + ",integer,0,1000,,0,,0,,\n";
    return csv;
}

struct Core {
    QTemporaryDir dir;
    FakeHost host;
    TLog log;
    std::unique_ptr<TLink> link;
    std::unique_ptr<Tfm> fm;
    TSettingsGrid grid;
    TOperationState state;
    std::unique_ptr<TDeviceOperations> ops;

    explicit Core(const QByteArray& csv = SmallCatalogueCsv()) {
        host.realSleep = false;
        paths::SetDataDirOverride(dir.path());
        const QString db = dir.filePath(QStringLiteral("db.sqlite"));
        QString error;
        if (!BuildCatalogue(csv, db, QString(), true, &error))
            qFatal("catalogue not built: %s", qPrintable(error));
        link = std::make_unique<TLink>(log, host);
        fm = std::make_unique<Tfm>(&host);
        fm->DBBaglan(db);
        ops = std::make_unique<TDeviceOperations>(host, log, *link, *fm, grid, state);
        ops->FillModelList();
    }
    ~Core() { paths::SetDataDirOverride(QString()); }

    QString File(const QString& name) const { return dir.filePath(name); }
    // Builds the grid for `model` as "Yeni" does.
    void Build(const QString& model) {
        ops->SetDeviceText(model);
        ops->mnNewClick();
    }
    TGridRow* Row(const QString& key) const { return grid.FindRow(u"row_" + key); }
};

} // namespace kolva::test
