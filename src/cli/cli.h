// The command-line front end, as a function the tests can call.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

// Runs orbelin-convert with the arguments (without the program name); returns the exit code.
// stderrIsTerminal decides whether progress is shown.
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, bool stderrIsTerminal);
