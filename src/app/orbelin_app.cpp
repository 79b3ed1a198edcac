#include "app/orbelin_app.h"

#include "app/orbelin_dlg.h"

#include <QTimer>

int COrbelinApp::InitInstance()
{
    COrbelinDlg dialog;

    // For the maintainers' screenshots: ORBELIN_SCREENSHOT names a PNG to save once the window is
    // up, after which the window closes; ORBELIN_SCREENSHOT_PROGRESS shows the bar at that value.
    const QString screenshot = qEnvironmentVariable("ORBELIN_SCREENSHOT");
    if (!screenshot.isEmpty())
    {
        QTimer::singleShot(500, &dialog,
                           [&dialog, screenshot]
                           {
                               bool haveProgress = false;
                               const int progress =
                                   qEnvironmentVariableIntValue("ORBELIN_SCREENSHOT_PROGRESS", &haveProgress);
                               if (haveProgress)
                                   dialog.ShowProgress(progress);
                               dialog.grab().save(screenshot, "PNG");
                               dialog.reject();
                           });
    }

    dialog.exec();
    // The dialog's end saves the fill option; nothing else keeps the program alive.
    return 0;
}
