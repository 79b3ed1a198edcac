#include "app/orbelin_app.h"
#include "platform/signal_cleanup.h"

#include <QApplication>
#include <QStringList>
#include <clocale>
#include <csignal>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    // QApplication has just taken the desktop's locale for the whole C library; numbers in the DXF
    // must not follow a comma-decimal locale.
    std::setlocale(LC_NUMERIC, "C");
    // Logging out or a force-quit sends SIGHUP or SIGTERM: the temporary file of a running conversion
    // goes with the window. A pipe whose reader went away is a write error, not the window's end.
    orbelin::InstallSignalCleanup();
    std::signal(SIGPIPE, SIG_IGN);
    QApplication::setOrganizationName(QStringLiteral("Local AppWizard-Generated Applications"));
    QApplication::setApplicationName(QStringLiteral("Orbelin"));

    // Files named on the command line, as "Open with" on a desktop hands them over.
    COrbelinApp app;
    return app.InitInstance(QApplication::arguments().mid(1));
}
