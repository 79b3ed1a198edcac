// The command-line program: arguments, exit codes and what goes to which stream, run as a shell runs it.
#include "support/test_support.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace testing_support;
namespace fs = std::filesystem;

namespace
{

struct CliRun
{
    int code = -1;
    std::string out;
    std::string err;
};

std::string ReadAll(int fd)
{
    std::string text;
    char buffer[4096];
    for (;;)
    {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0)
            return text; // a pseudo-terminal ends with EIO once the child has closed it
        text.append(buffer, static_cast<std::size_t>(n));
    }
}

// Runs the real program. With terminal set, its stderr is a pseudo-terminal, as in a shell window.
CliRun Cli(const std::vector<std::string>& args, bool terminal = false, const fs::path& stdinPath = {})
{
    static int counter = 0;
    const fs::path outPath = ScratchDir() / ("cli-out-" + std::to_string(counter) + ".txt");
    const fs::path errPath = ScratchDir() / ("cli-err-" + std::to_string(counter++) + ".txt");
    std::vector<char*> argv;
    std::string program = ORBELIN_CONVERT_EXE;
    argv.push_back(program.data());
    std::vector<std::string> copies = args;
    for (std::string& arg : copies)
        argv.push_back(arg.data());
    argv.push_back(nullptr);

    int master = -1, slave = -1;
    if (terminal && openpty(&master, &slave, nullptr, nullptr, nullptr) != 0)
        return {};
    const pid_t pid = fork();
    if (pid == 0)
    {
        const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = terminal ? slave : open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(out, STDOUT_FILENO);
        dup2(err, STDERR_FILENO);
        if (!stdinPath.empty())
            dup2(open(stdinPath.c_str(), O_RDONLY), STDIN_FILENO);
        execv(argv[0], argv.data());
        _exit(127);
    }
    CliRun run;
    if (terminal)
    {
        close(slave);
        run.err = ReadAll(master);
        close(master);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    run.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = ReadFile(outPath);
    if (!terminal)
        run.err = ReadFile(errPath);
    return run;
}

fs::path Folder(const std::string& name)
{
    const fs::path folder = ScratchDir() / ("cli-" + name);
    fs::remove_all(folder);
    fs::create_directories(folder);
    return folder;
}

const char* const kSvg = R"(<svg height="10"><line x1="0" y1="0" x2="5" y2="5"/></svg>)";

bool Contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

struct UsageCase
{
    const char* name;
    std::vector<std::string> args;
};

class CliUsage : public ::testing::TestWithParam<UsageCase>
{
};

TEST_P(CliUsage, ErrorExitsTwoWithUsageOnStderr)
{
    const CliRun run = Cli(GetParam().args);
    EXPECT_EQ(run.code, 2);
    EXPECT_TRUE(run.out.empty());
    EXPECT_TRUE(Contains(run.err, "Usage: orbelin-convert")) << run.err;
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, CliUsage,
    ::testing::Values(UsageCase{"NoArguments", {}}, UsageCase{"OnlyOptions", {"--no-fill"}},
                      UsageCase{"UnknownLongOption", {"--bogus", "in.svg"}},
                      UsageCase{"UnknownShortOption", {"-x", "in.svg"}},
                      UsageCase{"JobsWithoutNumber", {"--jobs", "a.svg", "b.svg", "c.svg"}},
                      UsageCase{"NoJobs", {"--jobs=0", "a.svg"}},
                      UsageCase{"OutputDirWithoutFolder", {"a.svg", "--output-dir"}},
                      UsageCase{"StandardInputAmongSeveral", {"-", "a.svg", "b.svg"}},
                      UsageCase{"UnknownUnit", {"--units=km", "a.svg"}},
                      UsageCase{"EmptyUnit", {"--units=", "a.svg"}},
                      UsageCase{"UnitWithoutValue", {"a.svg", "--units"}},
                      UsageCase{"UnknownTextForm", {"--text=paths", "a.svg"}},
                      UsageCase{"EmptyTextForm", {"--text=", "a.svg"}},
                      UsageCase{"TextFormWithoutValue", {"a.svg", "--text"}}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(CliInfo, HelpAndVersionOnStdout)
{
    CliRun run = Cli({"--help"});
    EXPECT_EQ(run.code, 0);
    EXPECT_TRUE(
        Contains(run.out, "Usage: orbelin-convert [--fill | --no-fill] [--exact] INPUT.svg [OUTPUT.dxf]"));
    EXPECT_TRUE(run.err.empty());

    run = Cli({"in.svg", "--version"});
    EXPECT_EQ(run.code, 0);
    EXPECT_EQ(run.out, std::string("orbelin-convert ") + ORBELIN_VERSION + "\n");
}

TEST(CliConvert, DefaultOutputBesideInput)
{
    const fs::path folder = Folder("default");
    WriteFile(folder / "plan.v2.svg", kSvg);
    const CliRun run = Cli({(folder / "plan.v2.svg").string()});
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_TRUE(run.err.empty()) << "no progress when stderr is not a terminal";
    EXPECT_TRUE(fs::exists(folder / "plan.v2.dxf"));
}

TEST(CliConvert, ProgressOnlyOnTerminal)
{
    const fs::path folder = Folder("progress");
    WriteFile(folder / "in.svg", kSvg);
    const CliRun run = Cli({(folder / "in.svg").string(), (folder / "out.dxf").string()}, true);
    EXPECT_EQ(run.code, 0);
    EXPECT_EQ(run.err, "\r  0%\r  5%\r 12%\r 15%\r 95%\r100%\r\n");
}

TEST(CliConvert, FillOptionReachesTheConversion)
{
    const fs::path folder = Folder("fill");
    WriteFile(folder / "in.svg",
              R"(<svg height="10"><path d="M0 0 L5 0 L5 5 Z" style="fill:#ff0000"/></svg>)");
    ASSERT_EQ(Cli({"--no-fill", (folder / "in.svg").string(), (folder / "off.dxf").string()}).code, 0);
    ASSERT_EQ(Cli({(folder / "in.svg").string(), "--fill", (folder / "on.dxf").string()}).code, 0);
    EXPECT_FALSE(Contains(ReadFile(folder / "off.dxf"), "HATCH"));
    EXPECT_TRUE(Contains(ReadFile(folder / "on.dxf"), "HATCH"));
}

TEST(CliConvert, ExactOptionReachesEveryConversion)
{
    // A hidden group: drawn by the default reading, left out by the exact one, in a batch as well.
    const fs::path folder = Folder("exact");
    const std::string svg =
        R"(<svg height="10"><g display="none"><line x1="0" y1="0" x2="5" y2="5" stroke="red"/></g></svg>)";
    WriteFile(folder / "a.svg", svg);
    WriteFile(folder / "b.svg", svg);
    ASSERT_EQ(Cli({(folder / "a.svg").string(), (folder / "default.dxf").string()}).code, 0);
    EXPECT_TRUE(Contains(ReadFile(folder / "default.dxf"), "\nLINE\n"));
    ASSERT_EQ(Cli({"--exact", "--quiet", (folder / "a.svg").string(), (folder / "b.svg").string()}).code, 0);
    EXPECT_FALSE(Contains(ReadFile(folder / "a.dxf"), "\nLINE\n"));
    EXPECT_FALSE(Contains(ReadFile(folder / "b.dxf"), "\nLINE\n"));
    EXPECT_TRUE(Contains(Cli({"--help"}).out, "--exact"));
}

TEST(CliConvert, NoticesOnStderrUnlessQuiet)
{
    const fs::path folder = Folder("notice");
    WriteFile(folder / "in.svg", R"(<svg height="10"><g id="a"><use href="#a"/></g></svg>)");
    const std::string in = (folder / "in.svg").string();
    const CliRun said = Cli({"--exact", in, (folder / "out.dxf").string()});
    EXPECT_EQ(said.code, 0);
    EXPECT_EQ(said.err, "orbelin-convert: " + in + ": The use of #a is not drawn: it contains itself.\n");
    const CliRun quiet = Cli({"--exact", "--quiet", in, (folder / "out.dxf").string()});
    EXPECT_EQ(quiet.code, 0);
    EXPECT_EQ(quiet.err, "");
}

TEST(CliConvert, UnitsOptionReachesTheConversion)
{
    const fs::path folder = Folder("units");
    WriteFile(folder / "in.svg",
              R"(<svg width="10mm" height="10mm" viewBox="0 0 10 10"><line x2="5"/></svg>)");
    const fs::path in = folder / "in.svg";
    ASSERT_EQ(Cli({"--units=in", in.string(), (folder / "equals.dxf").string()}).code, 0);
    ASSERT_EQ(Cli({"--units", "MM", in.string(), (folder / "apart.dxf").string()}).code, 0);
    ASSERT_EQ(Cli({"--units=none", in.string(), (folder / "none.dxf").string()}).code, 0);
    ASSERT_EQ(Cli({in.string(), (folder / "default.dxf").string()}).code, 0);
    EXPECT_TRUE(Contains(ReadFile(folder / "equals.dxf"), "$INSUNITS\n 70\n1\n"));
    EXPECT_TRUE(Contains(ReadFile(folder / "apart.dxf"), "$INSUNITS\n 70\n4\n"));
    EXPECT_EQ(ReadFile(folder / "none.dxf"), ReadFile(folder / "default.dxf"));
    EXPECT_FALSE(Contains(ReadFile(folder / "default.dxf"), "$INSUNITS"));
}

TEST(CliConvert, TextOptionReachesTheConversion)
{
    const fs::path folder = Folder("text");
    WriteFile(folder / "in.svg", R"(<svg width="40" height="20"><text x="2" y="15" font-size="12">o</text></svg>)");
    const fs::path in = folder / "in.svg";
    ASSERT_EQ(Cli({"--text=outlines", in.string(), (folder / "outlines.dxf").string()}).code, 0);
    ASSERT_EQ(Cli({"--text", "Outlines", "--exact", in.string(), (folder / "exact.dxf").string()}).code, 0);
    ASSERT_EQ(Cli({"--text=entities", in.string(), (folder / "entities.dxf").string()}).code, 0);
    ASSERT_EQ(Cli({in.string(), (folder / "default.dxf").string()}).code, 0);
    for (const char* name : {"outlines.dxf", "exact.dxf"})
    {
        EXPECT_FALSE(Contains(ReadFile(folder / name), "\nTEXT\n")) << name;
        EXPECT_TRUE(Contains(ReadFile(folder / name), "\nLWPOLYLINE\n")) << name;
    }
    EXPECT_EQ(ReadFile(folder / "entities.dxf"), ReadFile(folder / "default.dxf"));
    EXPECT_TRUE(Contains(ReadFile(folder / "default.dxf"), "\nTEXT\n"));
    EXPECT_TRUE(Contains(Cli({"--help"}).out, "--text=FORM"));
}

struct FailureCase
{
    const char* name;
    std::string input;  // relative to the test folder
    std::string output; // relative to the test folder; empty: the default
    std::string message;
};

class CliFailure : public ::testing::TestWithParam<FailureCase>
{
};

TEST_P(CliFailure, ExitsOneWithDriverMessage)
{
    const FailureCase& c = GetParam();
    const fs::path folder = Folder(c.name);
    WriteFile(folder / "in.svg", kSvg);
    WriteFile(folder / "in.dxf", kSvg);
    std::vector<std::string> args = {c.input[0] == '/' ? c.input : (folder / c.input).string()};
    if (!c.output.empty())
        args.push_back((folder / c.output).string());
    const CliRun run = Cli(args);
    EXPECT_EQ(run.code, 1);
    EXPECT_TRUE(run.out.empty());
    EXPECT_TRUE(Contains(run.err, c.message)) << run.err;
    EXPECT_EQ(ReadFile(folder / "in.svg"), kSvg);
    EXPECT_EQ(ReadFile(folder / "in.dxf"), kSvg);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, CliFailure,
    ::testing::Values(FailureCase{"MissingInput", "absent.svg", "out.dxf", "Failed to read file("},
                      FailureCase{"UnwritableOutput", "in.svg", "absent/out.dxf", "Failed to write file("},
                      FailureCase{"OutputIsInput", "in.svg", "in.svg", "must not be the input file"},
                      FailureCase{"DefaultOutputIsInput", "in.dxf", "", "must not be the input file"},
                      FailureCase{"ReasonAfterTheMessage", "absent.svg", "out.dxf",
                                  "absent.svg): No such file or directory\n"},
                      FailureCase{"DeviceAsInput", "/dev/null", "out.dxf",
                                  "Failed to read file(/dev/null): Operation not supported\n"}),
    [](const auto& row) { return std::string(row.param.name); });

// Several inputs: each converted on its own, the failures named, a summary at the end.
struct BatchCase
{
    const char* name;
    std::vector<std::string> args; // "@" stands for the test folder
    int code;
    std::vector<std::string> made; // relative to the test folder
    std::vector<std::string> errParts;
};

class CliBatch : public ::testing::TestWithParam<BatchCase>
{
};

TEST_P(CliBatch, ConvertsEachInput)
{
    const BatchCase& c = GetParam();
    const fs::path folder = Folder(std::string("batch-") + c.name);
    for (const char* name : {"a.svg", "b.svg", "sub/c.svg", "sub/deeper/d.svg"})
    {
        fs::create_directories((folder / name).parent_path());
        WriteFile(folder / name, kSvg);
    }
    WriteFile(folder / "notes.txt", "not a drawing");
    fs::create_directories(folder / "out");
    std::vector<std::string> args;
    for (const std::string& arg : c.args)
        args.push_back(arg[0] == '@' ? folder.string() + arg.substr(1) : arg);
    const CliRun run = Cli(args);
    EXPECT_EQ(run.code, c.code) << run.err;
    EXPECT_TRUE(run.out.empty());
    const std::string expected = ConvertSvgText(kSvg);
    for (const std::string& made : c.made)
        EXPECT_EQ(ReadFile(folder / made), expected) << made;
    for (const std::string& part : c.errParts)
        EXPECT_TRUE(Contains(run.err, part)) << part << " not in: " << run.err;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        EXPECT_NE(entry.path().filename().string().rfind(".orbelin-", 0), 0u) << entry.path();
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, CliBatch,
    ::testing::Values(
        BatchCase{"ThreeInputsOneBroken",
                  {"@/a.svg", "@/missing.svg", "@/b.svg"},
                  1,
                  {"a.dxf", "b.dxf"},
                  {"Failed to read file(", "missing.svg): No such file or directory",
                   "2 of 3 files converted, 1 failed"}},
        BatchCase{"OutputFolder",
                  {"--output-dir", "@/out", "@/a.svg", "@/b.svg"},
                  0,
                  {"out/a.dxf", "out/b.dxf"},
                  {"2 of 2 files converted\n"}},
        BatchCase{"TwoJobs",
                  {"--jobs", "2", "@/a.svg", "@/b.svg", "@/sub/c.svg"},
                  0,
                  {"a.dxf", "b.dxf", "sub/c.dxf"},
                  {"3 of 3 files converted"}},
        BatchCase{"FolderAsInput", {"--jobs=2", "@"}, 0, {"a.dxf", "b.dxf"}, {"2 of 2 files converted"}},
        BatchCase{"FolderRecursive",
                  {"--recursive", "--output-dir", "@/out", "@"},
                  0,
                  {"out/a.dxf", "out/b.dxf", "out/sub/c.dxf", "out/sub/deeper/d.dxf"},
                  {"4 of 4 files converted"}},
        BatchCase{"QuietSummary",
                  {"--quiet", "@/a.svg", "@/b.svg", "@/missing.svg"},
                  1,
                  {"a.dxf", "b.dxf"},
                  {"missing.svg): No such file or directory\n"}}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(CliBatch, QuietPrintsOnlyFailures)
{
    const fs::path folder = Folder("batch-quiet-only");
    WriteFile(folder / "a.svg", kSvg);
    const CliRun run = Cli({"--quiet", (folder / "a.svg").string(), (folder / "missing.svg").string(),
                            "--output-dir", folder.string()});
    EXPECT_EQ(run.code, 1);
    EXPECT_EQ(run.err, "orbelin-convert: Failed to read file(" + (folder / "missing.svg").string() +
                           "): No such file or directory\n");
}

TEST(CliBatch, TwoInputsForOneOutputAreRefused)
{
    const fs::path folder = Folder("batch-clash");
    fs::create_directories(folder / "x");
    WriteFile(folder / "a.svg", kSvg);
    WriteFile(folder / "x" / "a.svg", kSvg);
    const CliRun run = Cli(
        {"--output-dir", folder.string(), (folder / "a.svg").string(), (folder / "x" / "a.svg").string()});
    EXPECT_EQ(run.code, 2);
    EXPECT_TRUE(Contains(run.err, "would both be written to")) << run.err;
    EXPECT_FALSE(fs::exists(folder / "a.dxf"));
}

// '-' both ways: the drawing from standard input, the DXF on standard output and nothing else there.
TEST(CliStreams, StandardInputToStandardOutput)
{
    const fs::path folder = Folder("streams");
    WriteFile(folder / "in.svg", kSvg);
    const std::string expected = ConvertSvgText(kSvg);
    CliRun run = Cli({"-", "-"}, false, folder / "in.svg");
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(run.out, expected);
    EXPECT_TRUE(run.err.empty());

    run = Cli({(folder / "in.svg").string(), "-"});
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(run.out, expected);

    run = Cli({"-", (folder / "out.dxf").string()}, false, folder / "in.svg");
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_TRUE(run.out.empty());
    EXPECT_EQ(ReadFile(folder / "out.dxf"), expected);

    // Named through /proc: the file behind standard output gets the drawing.
    run = Cli({(folder / "in.svg").string(), "/dev/stdout"});
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(run.out, expected);

    // Progress on a terminal goes to standard error, never into the drawing.
    run = Cli({(folder / "in.svg").string(), "-"}, true);
    EXPECT_EQ(run.code, 0);
    EXPECT_EQ(run.out, expected);
    EXPECT_TRUE(Contains(run.err, "100%"));
}

// A named pipe as input is read as a stream; one that nobody writes is given up, not waited on forever.
TEST(CliStreams, NamedPipeAsInput)
{
    const fs::path folder = Folder("fifo-input");
    const fs::path pipe = folder / "in.svg";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0644), 0);
    std::thread writer([&] { WriteFile(pipe, kSvg); });
    CliRun run = Cli({pipe.string(), (folder / "out.dxf").string()});
    writer.join();
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(ReadFile(folder / "out.dxf"), ConvertSvgText(kSvg));

    run = Cli({pipe.string(), (folder / "none.dxf").string()});
    EXPECT_EQ(run.code, 1);
    EXPECT_TRUE(Contains(run.err, "Failed to read file(" + pipe.string() + "): No data available"))
        << run.err;
    EXPECT_FALSE(fs::exists(folder / "none.dxf"));
}

// A stream cannot be corrected afterwards, so the seed written first must already lie above every
// handle the drawing uses, also when there are more than the usual seed allows.
TEST(CliStreams, SeedOfAStreamCoversEveryHandle)
{
    const fs::path folder = Folder("stream-seed");
    std::string svg = "<svg height=\"10\">";
    for (int i = 0; i < 70000; ++i)
        svg += "<line x1=\"0\" y1=\"0\" x2=\"" + std::to_string(i) + "\" y2=\"5\"/>";
    WriteFile(folder / "in.svg", svg + "</svg>");
    const CliRun run = Cli({(folder / "in.svg").string(), "-"});
    ASSERT_EQ(run.code, 0) << run.err;
    unsigned long seed = 0;
    unsigned long largest = 0;
    std::string previous;
    for (const Group& group : ParseGroups(run.out))
    {
        if (group.code == 5 && previous == "$HANDSEED")
            seed = std::stoul(group.value, nullptr, 16);
        else if (group.code == 5)
            largest = std::max(largest, std::stoul(group.value, nullptr, 16));
        previous = group.value;
    }
    EXPECT_GT(largest, 0xFFFFul);
    EXPECT_GT(seed, largest);
}

} // namespace
