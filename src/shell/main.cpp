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

// Developer aids for unattended runs (the demo script, headless machines), read only here:
//   KOLVA_DEMO_READ=1         clicks "Oku" once the window is up;
//   KOLVA_SCREENSHOT=<png>    saves a picture of the main window shortly before the end
//                             (after 2 s without KOLVA_RUN_SECONDS);
//   KOLVA_RUN_SECONDS=<n>     closes the window after n seconds.
void ArmDeveloperAids(kolva::TfMain& window) {
    if (qEnvironmentVariableIntValue("KOLVA_DEMO_READ") == 1)
        QTimer::singleShot(500, &window, [&window] { window.mnReadClick(); });
    const QString shot = qEnvironmentVariable("KOLVA_SCREENSHOT");
    bool ok = false;
    const int seconds = qEnvironmentVariableIntValue("KOLVA_RUN_SECONDS", &ok);
    const bool timed = ok && seconds > 0;
    if (!shot.isEmpty()) {
        const int delay = timed ? qMax(500, seconds * 1000 - 1000) : 2000;
        QTimer::singleShot(delay, &window, [&window, shot] {
            if (!window.grab().save(shot)) qWarning("kolva-ayar: cannot save %s", qPrintable(shot));
        });
    }
    if (timed) QTimer::singleShot(seconds * 1000, &window, [&window] { window.close(); });
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kolva-ayar"));
    // The application's title goes to the taskbar through the desktop entry; a display name
    // would make Qt append it to every window's caption.
    QGuiApplication::setDesktopFileName(QStringLiteral("kolva-ayar"));
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
