#include "cli/cli.h"

#include "conversion/conversion.h"
#include "platform/paths.h"

#include <new>
#include <ostream>

namespace
{

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

const char* const kUsage = "Usage: orbelin-convert [--fill | --no-fill] INPUT.svg [OUTPUT.dxf]\n"
                           "Converts an SVG drawing into an ASCII DXF drawing (AutoCAD 2000).\n"
                           "\n"
                           "  --fill       write filled shapes as solid hatches (default)\n"
                           "  --no-fill    write outlines only\n"
                           "  --help       show this help and exit\n"
                           "  --version    show the version and exit\n"
                           "\n"
                           "OUTPUT defaults to INPUT with the extension .dxf.\n";

} // namespace

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, bool stderrIsTerminal)
{
    ConversionRequest request;
    std::vector<std::string> paths;
    bool optionsEnded = false;
    for (const std::string& arg : args)
    {
        if (!optionsEnded && arg.size() > 1 && arg[0] == '-')
        {
            if (arg == "--help" || arg == "-h")
            {
                out << kUsage;
                return kExitOk;
            }
            if (arg == "--version")
            {
                out << "orbelin-convert " ORBELIN_VERSION "\n";
                return kExitOk;
            }
            if (arg == "--fill")
                request.fillOption = true;
            else if (arg == "--no-fill")
                request.fillOption = false;
            else if (arg == "--")
                optionsEnded = true;
            else
            {
                err << "orbelin-convert: unknown option " << arg << "\n" << kUsage;
                return kExitUsage;
            }
            continue;
        }
        paths.push_back(arg);
    }
    if (paths.empty() || paths.size() > 2)
    {
        err << (paths.empty() ? "orbelin-convert: no input file\n" : "orbelin-convert: too many arguments\n")
            << kUsage;
        return kExitUsage;
    }
    request.inputPath = paths[0];
    request.outputPath = paths.size() == 2 ? paths[1] : orbelin::ProposeOutputPath(paths[0]);

    // Progress only for a person watching: in a log or a pipe the carriage returns are noise.
    int shown = -1;
    const auto progress = [&](int percent)
    {
        if (!stderrIsTerminal || percent == shown)
            return;
        shown = percent;
        err << "\r" << (percent < 10 ? "  " : percent < 100 ? " " : "") << percent << "%" << std::flush;
    };
    ConversionResult result;
    try
    {
        result = RunConversion(request, progress);
    }
    catch (const std::bad_alloc&)
    {
        // The one failure the core lets through; the half-written output has already been removed.
        result.status = ConversionStatus::UnwritableOutput;
        result.message = "Not enough memory to convert " + request.inputPath;
    }
    if (shown >= 0)
        err << "\n";
    if (!result.ok())
    {
        err << "orbelin-convert: " << result.message << "\n";
        return kExitFailed;
    }
    return kExitOk;
}
