// The application object: shows the main window and ends the program when it closes.
#pragma once

class COrbelinApp
{
  public:
    // Runs the main window modally; returns the program's exit code.
    int InitInstance();
};
