// orbelin-convert ended half-way: by a signal while it writes a large drawing, or by a file-size
// limit. The old target must survive whole and no temporary file may stay behind.
#include "platform/output_target.h"
#include "support/test_support.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace testing_support;
namespace fs = std::filesystem;

namespace
{

const char* const kOld = "the previous drawing";

fs::path Folder(const std::string& name)
{
    const fs::path folder = ScratchDir() / ("interrupt-" + name);
    fs::remove_all(folder);
    fs::create_directories(folder);
    return folder;
}

// Some tens of megabytes of curves: the output is many times larger, so the conversion is still
// writing when the test strikes.
const fs::path& LargeDrawing()
{
    static const fs::path path = []
    {
        const fs::path file = ScratchDir() / "large.svg";
        std::string svg = "<svg width=\"1000\" height=\"1000\">\n";
        svg.reserve(std::size_t{40} << 20);
        std::string piece;
        for (int i = 0; svg.size() < (std::size_t{40} << 20); ++i)
        {
            piece = "<path style=\"stroke:#000000;fill:none\" d=\"M" + std::to_string(i % 997) + " 3";
            for (int k = 0; k < 20; ++k)
                piece += " C" + std::to_string(k) + " 40 " + std::to_string(k + 7) + " 90 " +
                         std::to_string(k * 3) + " 17";
            svg += piece + "\"/>\n";
        }
        svg += "</svg>\n";
        WriteFile(file, svg);
        return file;
    }();
    return path;
}

std::vector<fs::path> Temporaries(const fs::path& folder)
{
    std::vector<fs::path> found;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().filename().string().rfind(orbelin::kTemporaryPrefix, 0) == 0)
            found.push_back(entry.path());
    return found;
}

// Starts the real program with stderr into a file; limit, when not 0, caps the file size it may write.
pid_t Start(const std::vector<std::string>& args, const fs::path& errPath, rlim_t limit = 0)
{
    std::vector<std::string> copies = args;
    std::vector<char*> argv;
    std::string program = ORBELIN_CONVERT_EXE;
    argv.push_back(program.data());
    for (std::string& arg : copies)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0)
    {
        const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(err, STDERR_FILENO);
        if (limit != 0)
        {
            rlimit small{limit, limit};
            setrlimit(RLIMIT_FSIZE, &small);
        }
        // The test runner may have set dispositions of its own; the program starts as from a shell.
        signal(SIGINT, SIG_DFL);
        signal(SIGTERM, SIG_DFL);
        signal(SIGHUP, SIG_DFL);
        signal(SIGXFSZ, SIG_DFL);
        execv(argv[0], argv.data());
        _exit(127);
    }
    return pid;
}

struct SignalCase
{
    const char* name;
    int signal;
};

class InterruptedConversion : public ::testing::TestWithParam<SignalCase>
{
};

TEST_P(InterruptedConversion, LeavesTheTargetAsItWas)
{
    const fs::path folder = Folder(GetParam().name);
    const fs::path target = folder / "out.dxf";
    WriteFile(target, kOld);
    const pid_t child = Start({LargeDrawing().string(), target.string()}, folder.parent_path() / "err.txt");
    ASSERT_GT(child, 0);

    // Struck once the temporary file has its first bytes: the drawing is then being written.
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    bool writing = false;
    while (!writing && std::chrono::steady_clock::now() < giveUp)
    {
        for (const fs::path& temporary : Temporaries(folder))
        {
            std::error_code ec;
            writing = writing || fs::file_size(temporary, ec) > 0;
        }
        if (!writing)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_TRUE(writing) << "the conversion never started writing";
    kill(child, GetParam().signal);
    int status = 0;
    waitpid(child, &status, 0);

    ASSERT_TRUE(WIFSIGNALED(status)) << "ended before the signal came, with status " << WEXITSTATUS(status);
    EXPECT_EQ(WTERMSIG(status), GetParam().signal);
    EXPECT_EQ(ReadFile(target), kOld);
    EXPECT_TRUE(Temporaries(folder).empty());
}

INSTANTIATE_TEST_SUITE_P(Signals, InterruptedConversion,
                         ::testing::Values(SignalCase{"Interrupt", SIGINT}, SignalCase{"Terminate", SIGTERM},
                                           SignalCase{"HangUp", SIGHUP}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(FileSizeLimit, IsAnOrdinaryWriteError)
{
    const fs::path folder = Folder("limit");
    const fs::path input = folder / "in.svg";
    std::string svg = "<svg height=\"10\">";
    for (int i = 0; i < 2000; ++i)
        svg += "<line x1=\"0\" y1=\"0\" x2=\"" + std::to_string(i) + "\" y2=\"5\"/>";
    WriteFile(input, svg + "</svg>");
    const fs::path target = folder / "out.dxf";
    WriteFile(target, kOld);
    const fs::path errPath = folder.parent_path() / "limit-err.txt";
    const pid_t child = Start({input.string(), target.string()}, errPath, 16384);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_EQ(ReadFile(errPath),
              "orbelin-convert: Failed to write file(" + target.string() + "): File too large\n");
    EXPECT_EQ(ReadFile(target), kOld);
    EXPECT_TRUE(Temporaries(folder).empty());
}

} // namespace
