// The command-line program: arguments, exit codes and what goes to which stream, run as a shell runs it.
#include "support/test_support.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/wait.h>
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
CliRun Cli(const std::vector<std::string>& args, bool terminal = false)
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

INSTANTIATE_TEST_SUITE_P(Arguments, CliUsage,
                         ::testing::Values(UsageCase{"NoArguments", {}},
                                           UsageCase{"OnlyOptions", {"--no-fill"}},
                                           UsageCase{"UnknownLongOption", {"--bogus", "in.svg"}},
                                           UsageCase{"UnknownShortOption", {"-x", "in.svg"}},
                                           UsageCase{"ThreePaths", {"a.svg", "b.dxf", "c.dxf"}}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(CliInfo, HelpAndVersionOnStdout)
{
    CliRun run = Cli({"--help"});
    EXPECT_EQ(run.code, 0);
    EXPECT_TRUE(Contains(run.out, "Usage: orbelin-convert [--fill | --no-fill] INPUT.svg [OUTPUT.dxf]"));
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
    std::vector<std::string> args = {(folder / c.input).string()};
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
                      FailureCase{"DefaultOutputIsInput", "in.dxf", "", "must not be the input file"}),
    [](const auto& row) { return std::string(row.param.name); });

} // namespace
