// kolva-ayar: the KOLVA settings wizard.

#include "shell/Main.h"
#include "catalogue/Module.h"
#include "config/Host.h"
#include "shell/About.h"
#include "shell/Settings.h"
#include "shell/Skin.h"

#include <QApplication>
#include <QDir>
#include <QScreen>
#include <QTimer>

namespace {

// Developer aids for unattended runs (demo script, headless machines): KOLVA_SCREENSHOT=<png>
// saves a picture of the main window shortly after start; KOLVA_RUN_SECONDS=<n> ends the
// program after n seconds.
void ArmDeveloperAids(kolva::TfMain& window) {
    const QString shot = qEnvironmentVariable("KOLVA_SCREENSHOT");
    bool ok = false;
    const int seconds = qEnvironmentVariableIntValue("KOLVA_RUN_SECONDS", &ok);
    if (!shot.isEmpty()) {
        const int delay = ok && seconds > 0 ? qMax(500, seconds * 1000 - 1000) : 2000;
        QTimer::singleShot(delay, &window, [&window, shot] { window.grab().save(shot); });
    }
    if (ok && seconds > 0)
        QTimer::singleShot(seconds * 1000, &window, [&window] { window.close(); });
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kolva-ayar"));
    QApplication::setApplicationDisplayName(QStringLiteral("KOLVA Ayar Sihirbazı"));
    kolva::ApplySkin(app);

    // Created once, in this order, living until the end of the run.
    kolva::Tfm fm;
    kolva::TfMain fMain(fm);
    kolva::TfAbout fAbout(&fMain);
    kolva::TfSettings fSettings(&fMain.host(), &fMain);
    fMain.SetDialogs(&fAbout, &fSettings);

    fMain.show();
    ArmDeveloperAids(fMain);
    return app.exec();
}
