#include "cli/cli.h"
#include "platform/signal_cleanup.h"

#include <clocale>
#include <iostream>
#include <unistd.h>

int main(int argc, char** argv)
{
    // Numbers are read and written without the locale; keep the C library in "C" all the same.
    std::setlocale(LC_ALL, "C");
    // An interrupted run leaves no temporary file, and a file-size limit is reported as a write error.
    orbelin::InstallSignalCleanup();
    std::vector<std::string> args(argv + 1, argv + argc);
    return RunCli(args, std::cout, std::cerr, isatty(STDERR_FILENO) != 0);
}
