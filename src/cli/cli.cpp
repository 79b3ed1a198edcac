#include "cli/cli.h"

#include "conversion/conversion.h"
#include "platform/paths.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <filesystem>
#include <map>
#include <mutex>
#include <new>
#include <ostream>
#include <set>
#include <system_error>
#include <thread>

namespace
{

namespace fs = std::filesystem;

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kMostJobs = 256;

const char* const kUsage =
    "Usage: orbelin-convert [--fill | --no-fill] [--exact] INPUT.svg [OUTPUT.dxf]\n"
    "       orbelin-convert [options] [--output-dir DIR] INPUT...\n"
    "Converts SVG drawings into ASCII DXF drawings (AutoCAD 2000).\n"
    "\n"
    "  --fill             write filled shapes as solid hatches (default)\n"
    "  --no-fill          write outlines only\n"
    "  --exact            read the drawing as browsers do (styles by scope, style sheets, every\n"
    "                     transform, hidden elements left out, units)\n"
    "  --units=UNIT       write the drawing in mm, cm, in or px and declare the unit; the drawing's\n"
    "                     user unit is a CSS pixel (1/96 in) unless its width and height in mm, cm,\n"
    "                     in, pt or pc size its viewBox; px is declared unitless (DXF has no pixel\n"
    "                     unit); none (the default) writes user units without a unit\n"
    "  --text=FORM        entities (the default) writes each text as a TEXT entity; outlines\n"
    "                     writes the outlines of its glyphs in the drawing's font (found by\n"
    "                     fontconfig, else its generic family), as closed polylines and, where the\n"
    "                     text is filled, solid hatches, for cutters and plotters\n"
    "  --curves=HOW       flatten (the default) writes curves as polylines of many points; native\n"
    "                     writes Bezier curves as SPLINEs, circular arcs as polyline bulges and\n"
    "                     elliptical arcs as ELLIPSE arcs, in fills too; a SPLINE or ELLIPSE has no\n"
    "                     width, so a stroke width on such a curve is kept by a polyline of arcs\n"
    "  --output-dir DIR   write each INPUT as DIR/NAME.dxf (the folder must exist)\n"
    "  --jobs N           convert N files at a time (default: the number of processors)\n"
    "  -r, --recursive    a folder as INPUT includes the .svg files of its subfolders\n"
    "  -q, --quiet        no progress display and no summary; only failures are reported\n"
    "  --help             show this help and exit\n"
    "  --version          show the version and exit\n"
    "\n"
    "OUTPUT defaults to INPUT with the extension .dxf. With two paths the second is the output;\n"
    "with more, or with --output-dir, every path is an input, and a folder stands for the .svg\n"
    "files in it. '-' as INPUT reads standard input, '-' as OUTPUT writes standard output.\n"
    "A file is written as a temporary .orbelin-XXXXXXXX beside it and renamed over it when complete;\n"
    "devices and pipes are written in place. See orbelin-convert(1).\n"
    "Exit status: 0 converted, 1 a conversion failed, 2 wrong usage, 128+N ended by signal N.\n";

struct Options
{
    bool fill = true;
    bool exact = false;
    OutputUnits units = OutputUnits::None;
    TextOutput text = TextOutput::Entities;
    CurveOutput curves = CurveOutput::Flatten;
    bool quiet = false;
    bool recursive = false;
    int jobs = 0;
    std::string outputDir;
    std::vector<std::string> paths;
};

struct Job
{
    std::string input;
    std::string output;
    // A folder below the output folder that mirrors one below an input folder, made when needed.
    std::string makeFolder;
};

bool HasSvgExtension(const fs::path& path)
{
    std::string extension = path.extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension == ".svg";
}

bool ParseJobs(const std::string& text, int& jobs)
{
    if (text.empty() || text.size() > 4 ||
        !std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c) != 0; }))
        return false;
    jobs = std::stoi(text);
    return jobs >= 1 && jobs <= kMostJobs;
}

// The output of an input when many are converted: beside it, or in the output folder under the
// path the input has inside the folder given on the command line.
std::string BatchOutput(const Options& options, const fs::path& input, const fs::path& relative)
{
    if (options.outputDir.empty())
        return orbelin::ProposeOutputPath(input.string());
    return orbelin::ProposeOutputPath((fs::path(options.outputDir) / relative).string());
}

// Lists the conversions the arguments ask for; false (with a message) for a usage error.
bool PlanJobs(const Options& options, std::vector<Job>& jobs, std::string& error)
{
    std::error_code ec;
    bool batch = !options.outputDir.empty() || options.paths.size() > 2;
    for (const std::string& path : options.paths)
        batch = batch || (path != kStandardStream && fs::is_directory(path, ec));
    if (!batch)
    {
        const std::string& input = options.paths[0];
        std::string output = options.paths.size() == 2 ? options.paths[1] : "";
        if (output.empty())
            output = input == kStandardStream ? kStandardStream : orbelin::ProposeOutputPath(input);
        jobs.push_back({input, output, ""});
        return true;
    }
    for (const std::string& path : options.paths)
    {
        if (path == kStandardStream)
        {
            error = "'-' cannot be one of several inputs";
            return false;
        }
        if (!fs::is_directory(path, ec))
        {
            jobs.push_back({path, BatchOutput(options, path, fs::path(path).filename()), ""});
            continue;
        }
        // Sorted, so that the order of work and of the messages does not depend on the file system.
        std::vector<fs::path> found;
        const auto collect = [&](const fs::directory_entry& entry)
        {
            std::error_code typeError;
            if (entry.is_regular_file(typeError) && HasSvgExtension(entry.path()))
                found.push_back(entry.path());
        };
        if (options.recursive)
            for (auto it = fs::recursive_directory_iterator(path, ec);
                 !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
                collect(*it);
        else
            for (auto it = fs::directory_iterator(path, ec); !ec && it != fs::directory_iterator();
                 it.increment(ec))
                collect(*it);
        if (ec)
        {
            error = "cannot list " + path + ": " + ec.message();
            return false;
        }
        std::sort(found.begin(), found.end());
        for (const fs::path& input : found)
        {
            const fs::path relative = input.lexically_relative(path);
            const std::string output = BatchOutput(options, input, relative);
            const bool below = !options.outputDir.empty() && relative.has_parent_path();
            jobs.push_back({input.string(), output, below ? fs::path(output).parent_path().string() : ""});
        }
    }
    // Two inputs with one output would overwrite each other's drawing.
    std::map<std::string, std::string> seen;
    for (const Job& job : jobs)
    {
        const auto [at, added] = seen.emplace(fs::path(job.output).lexically_normal().string(), job.input);
        if (!added)
        {
            error = at->second + " and " + job.input + " would both be written to " + job.output;
            return false;
        }
    }
    return true;
}

// One line for a person watching a terminal: the percentage of the whole run.
class CProgressLine
{
public:
    CProgressLine(std::ostream& err, bool shown, std::size_t files)
        : m_err(err), m_shown(shown), m_percents(files)
    {
    }

    void Report(std::size_t file, int percent)
    {
        if (!m_shown)
            return;
        std::lock_guard<std::mutex> lock(m_mutex);
        m_percents[file] = percent;
        long total = 0;
        for (const int value : m_percents)
            total += value;
        const int overall = static_cast<int>(total / static_cast<long>(m_percents.size()));
        if (overall == m_last)
            return;
        m_last = overall;
        m_err << "\r" << (overall < 10 ? "  " : overall < 100 ? " " : "") << overall << "%" << std::flush;
        m_open = true;
    }

    // A message on a line of its own, not after the percentage.
    void Say(const std::string& text)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        EndLine();
        m_err << text << "\n" << std::flush;
    }

    void Finish()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        EndLine();
    }

private:
    void EndLine()
    {
        if (m_open)
            m_err << "\n";
        m_open = false;
        m_last = -1;
    }

    std::ostream& m_err;
    const bool m_shown;
    std::mutex m_mutex;
    std::vector<int> m_percents;
    int m_last = -1;
    bool m_open = false;
};

ConversionResult ConvertOne(const Job& job, const Options& options, const ProgressSink& progress)
{
    ConversionRequest request;
    request.inputPath = job.input;
    request.outputPath = job.output;
    request.fillOption = options.fill;
    request.exactSvg = options.exact;
    request.units = options.units;
    request.text = options.text;
    request.curves = options.curves;
    if (!job.makeFolder.empty())
    {
        // A failure shows as the conversion's own "Failed to write file".
        std::error_code ec;
        fs::create_directories(job.makeFolder, ec);
    }
    try
    {
        return RunConversion(request, progress);
    }
    catch (const std::bad_alloc&)
    {
        // The one failure the core lets through; the half-written output has already been removed.
        ConversionResult result;
        result.status = ConversionStatus::UnwritableOutput;
        result.message = "Not enough memory to convert " + job.input;
        return result;
    }
}

} // namespace

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, bool stderrIsTerminal)
{
    Options options;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i)
    {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-')
        {
            options.paths.push_back(arg);
            continue;
        }
        std::string value;
        const bool takesValue = arg == "--output-dir" || arg == "--jobs" || arg == "--units" ||
                                arg == "--text" || arg == "--curves" || arg.rfind("--output-dir=", 0) == 0 ||
                                arg.rfind("--jobs=", 0) == 0 || arg.rfind("--units=", 0) == 0 ||
                                arg.rfind("--text=", 0) == 0 || arg.rfind("--curves=", 0) == 0;
        std::string name = arg;
        if (takesValue)
        {
            const std::size_t equals = arg.find('=');
            if (equals != std::string::npos)
            {
                name = arg.substr(0, equals);
                value = arg.substr(equals + 1);
            }
            else if (i + 1 < args.size())
                value = args[++i];
            else
            {
                err << "orbelin-convert: " << arg << " needs a value\n" << kUsage;
                return kExitUsage;
            }
        }
        if (name == "--help" || name == "-h")
        {
            out << kUsage;
            return kExitOk;
        }
        if (name == "--version")
        {
            out << "orbelin-convert " ORBELIN_VERSION "\n";
            return kExitOk;
        }
        if (name == "--fill")
            options.fill = true;
        else if (name == "--no-fill")
            options.fill = false;
        else if (name == "--exact")
            options.exact = true;
        else if (name == "--quiet" || name == "-q")
            options.quiet = true;
        else if (name == "--recursive" || name == "-r")
            options.recursive = true;
        else if (name == "--output-dir" && !value.empty())
            options.outputDir = value;
        else if (name == "--jobs" && ParseJobs(value, options.jobs))
            continue;
        else if (name == "--units" && ParseOutputUnits(value, options.units))
            continue;
        else if (name == "--text" && ParseTextOutput(value, options.text))
            continue;
        else if (name == "--curves" && ParseCurveOutput(value, options.curves))
            continue;
        else if (name == "--")
            optionsEnded = true;
        else
        {
            err << "orbelin-convert: " << (takesValue ? "bad value for " + name : "unknown option " + arg)
                << "\n"
                << kUsage;
            return kExitUsage;
        }
    }
    if (options.paths.empty())
    {
        err << "orbelin-convert: no input file\n" << kUsage;
        return kExitUsage;
    }
    std::vector<Job> jobs;
    std::string planError;
    if (!PlanJobs(options, jobs, planError))
    {
        err << "orbelin-convert: " << planError << "\n" << kUsage;
        return kExitUsage;
    }
    const bool batch = jobs.size() != 1 || !options.outputDir.empty() || options.paths.size() > 2;

    // Progress only for a person watching: in a log or a pipe the carriage returns are noise.
    CProgressLine line(err, stderrIsTerminal && !options.quiet, jobs.size());
    std::vector<ConversionResult> results(jobs.size());
    std::atomic<std::size_t> next{0};
    const auto work = [&]
    {
        for (std::size_t i = next++; i < jobs.size(); i = next++)
        {
            results[i] =
                ConvertOne(jobs[i], options, [&line, i](int percent) { line.Report(i, percent); });
            if (!results[i].ok())
                line.Say("orbelin-convert: " + results[i].message +
                         (results[i].reason.empty() ? "" : ": " + results[i].reason));
            else if (!options.quiet)
                for (const std::string& notice : results[i].notices)
                    line.Say("orbelin-convert: " + jobs[i].input + ": " + notice);
        }
    };
    unsigned jobCount =
        options.jobs > 0 ? static_cast<unsigned>(options.jobs) : std::thread::hardware_concurrency();
    jobCount = std::max(1u, std::min<unsigned>(jobCount, static_cast<unsigned>(jobs.size())));
    std::vector<std::thread> workers;
    for (unsigned k = 1; k < jobCount; ++k)
    {
        try
        {
            workers.emplace_back(work);
        }
        catch (const std::system_error&)
        {
            break; // fewer threads: the ones there are take the remaining files
        }
    }
    work();
    for (std::thread& worker : workers)
        worker.join();
    line.Finish();

    const auto failed = static_cast<std::size_t>(
        std::count_if(results.begin(), results.end(), [](const auto& r) { return !r.ok(); }));
    if (batch && !options.quiet)
        err << "orbelin-convert: " << jobs.size() - failed << " of " << jobs.size() << " files converted"
            << (failed > 0 ? ", " + std::to_string(failed) + " failed" : std::string()) << "\n";
    return failed > 0 ? kExitFailed : kExitOk;
}
