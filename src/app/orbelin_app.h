// The application object: shows the main window and ends the program when it closes.
#pragma once

#include <QStringList>

class COrbelinApp
{
  public:
    // Runs the main window modally with the files named on the command line; returns the program's
    // exit code.
    int InitInstance(const QStringList& files = {});
};
