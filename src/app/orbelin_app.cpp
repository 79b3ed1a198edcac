#include "app/orbelin_app.h"

#include "app/orbelin_dlg.h"

#include <QPushButton>
#include <QSemaphore>
#include <QTimer>
#include <atomic>

namespace
{

// For the maintainers' screenshots: ORBELIN_SCREENSHOT names a PNG to save once the window is up,
// after which the window closes; ORBELIN_SCREENSHOT_PROGRESS shows the bar at that value. With
// ORBELIN_SCREENSHOT_RUN naming a drawing, that drawing is converted and the picture is taken
// during the run, once the bar reaches the value (40 by default); the run is then stopped.
void ArrangeScreenshot(COrbelinDlg& dialog, const QString& screenshot)
{
    bool haveProgress = false;
    const int progress = qEnvironmentVariableIntValue("ORBELIN_SCREENSHOT_PROGRESS", &haveProgress);
    const QString drawing = qEnvironmentVariable("ORBELIN_SCREENSHOT_RUN");
    if (drawing.isEmpty())
    {
        QTimer::singleShot(500, &dialog,
                           [&dialog, screenshot, haveProgress, progress]
                           {
                               if (haveProgress)
                                   dialog.ShowProgress(progress);
                               dialog.grab().save(screenshot, "PNG");
                               dialog.reject();
                           });
        return;
    }

    // The run waits on its own thread while the picture is taken, so the bar shows the value.
    static QSemaphore taken;
    static std::atomic<bool> waiting{false};
    const int at = haveProgress ? progress : 40;
    dialog.SetProgressHook(
        [&dialog, screenshot, at](int percent)
        {
            if (percent < at || waiting.exchange(true))
                return;
            QMetaObject::invokeMethod(
                &dialog,
                [&dialog, screenshot, percent]
                {
                    dialog.ShowProgress(percent);
                    dialog.grab().save(screenshot, "PNG");
                    dialog.CancelConversion();
                    taken.release();
                },
                Qt::QueuedConnection);
            taken.acquire();
        });
    QObject::connect(&dialog, &COrbelinDlg::ConversionFinished, &dialog, &COrbelinDlg::reject,
                     Qt::QueuedConnection);
    QTimer::singleShot(500, &dialog,
                       [&dialog, drawing]
                       {
                           // As if the drawing were dropped on the window: the output goes beside it.
                           dialog.OpenFiles({drawing});
                           dialog.findChild<QPushButton*>(QStringLiteral("convert"))->click();
                       });
}

} // namespace

int COrbelinApp::InitInstance(const QStringList& files)
{
    COrbelinDlg dialog;

    const QString screenshot = qEnvironmentVariable("ORBELIN_SCREENSHOT");
    if (!screenshot.isEmpty())
        ArrangeScreenshot(dialog, screenshot);
    else if (!files.isEmpty())
        QTimer::singleShot(0, &dialog, [&dialog, files] { dialog.OpenFiles(files); });

    dialog.exec();
    // The dialog's end saves the fill option; nothing else keeps the program alive.
    return 0;
}
