#include "app/orbelin_app.h"

#include <QApplication>
#include <QStringList>
#include <clocale>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    // QApplication has just taken the desktop's locale for the whole C library; numbers in the DXF
    // must not follow a comma-decimal locale.
    std::setlocale(LC_NUMERIC, "C");
    QApplication::setOrganizationName(QStringLiteral("Local AppWizard-Generated Applications"));
    QApplication::setApplicationName(QStringLiteral("Orbelin"));

    // Files named on the command line, as "Open with" on a desktop hands them over.
    COrbelinApp app;
    return app.InitInstance(QApplication::arguments().mid(1));
}
