// What a conversion does to the thing its output path names: a new file, an old one with its mode,
// links and hard links, devices and pipes, folders that take no new names; and the registry of
// temporary files that a signal removes.
#include "conversion/conversion.h"
#include "platform/output_target.h"
#include "platform/signal_cleanup.h"
#include "support/test_support.h"

#include <csignal>
#include <functional>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace testing_support;
namespace fs = std::filesystem;

namespace
{

const char* const kSvg = R"(<svg width="100" height="100"><line x1="0" y1="0" x2="10" y2="10"/></svg>)";
const char* const kOld = "the previous drawing";

fs::path Folder(const std::string& name)
{
    const fs::path folder = ScratchDir() / ("target-" + name);
    fs::remove_all(folder);
    fs::create_directories(folder);
    return folder;
}

// The bytes every regular target must end up with.
const std::string& Expected()
{
    static const std::string dxf = ConvertSvgText(kSvg);
    return dxf;
}

ConversionResult Convert(const fs::path& input, const std::string& output)
{
    ConversionRequest request;
    request.inputPath = input.string();
    request.outputPath = output;
    return RunConversion(request);
}

bool TemporaryLeft(const fs::path& folder)
{
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().filename().string().rfind(orbelin::kTemporaryPrefix, 0) == 0)
            return true;
    return false;
}

mode_t Mode(const fs::path& path)
{
    struct stat info = {};
    lstat(path.c_str(), &info);
    return info.st_mode;
}

struct TargetCase
{
    const char* name;
    // Prepares the folder; returns the output path to convert to.
    std::function<std::string(const fs::path& folder)> setup;
    bool converts;
    // Checks what the folder holds afterwards.
    std::function<void(const fs::path& folder, const ConversionResult& result)> check;
    bool needsRoot = false;
};

class OutputTargets : public ::testing::TestWithParam<TargetCase>
{
};

TEST_P(OutputTargets, KeepWhatThePathNamed)
{
    const TargetCase& c = GetParam();
    if (c.needsRoot && geteuid() != 0)
        GTEST_SKIP() << "needs root to make device nodes";
    const fs::path folder = Folder(c.name);
    const fs::path input = ScratchDir() / (std::string(c.name) + ".svg");
    WriteFile(input, kSvg);
    const std::string output = c.setup(folder);
    const ConversionResult result = Convert(input, output);
    EXPECT_EQ(result.ok(), c.converts) << result.message << ": " << result.reason;
    if (!c.converts)
    {
        EXPECT_EQ(result.message, "Failed to write file(" + output + ")");
    }
    c.check(folder, result);
    EXPECT_FALSE(TemporaryLeft(folder));
}

std::string WithOld(const fs::path& path, mode_t mode)
{
    WriteFile(path, kOld);
    chmod(path.c_str(), mode);
    return path.string();
}

// Reads what a pipe receives while the conversion writes into it.
struct PipeReader
{
    std::string received;
    std::thread thread;
    explicit PipeReader(const fs::path& fifo) : thread([this, fifo] { received = ReadFile(fifo); }) {}
};

std::unique_ptr<PipeReader> g_reader;

INSTANTIATE_TEST_SUITE_P(
    Kinds, OutputTargets,
    ::testing::Values(
        TargetCase{"NewFileFollowsUmask",
                   [](const fs::path& folder)
                   {
                       umask(027);
                       return (folder / "new.dxf").string();
                   },
                   true,
                   [](const fs::path& folder, const ConversionResult&)
                   {
                       umask(022);
                       EXPECT_EQ(Mode(folder / "new.dxf") & 07777, 0666u & ~027u);
                       EXPECT_EQ(ReadFile(folder / "new.dxf"), Expected());
                   }},
        TargetCase{"PrivateFileStaysPrivate",
                   [](const fs::path& folder) { return WithOld(folder / "out.dxf", 0600); }, true,
                   [](const fs::path& folder, const ConversionResult&)
                   {
                       EXPECT_EQ(Mode(folder / "out.dxf") & 07777, 0600u);
                       EXPECT_EQ(ReadFile(folder / "out.dxf"), Expected());
                   }},
        TargetCase{"WriteProtectedFileRefused",
                   [](const fs::path& folder) { return WithOld(folder / "out.dxf", 0444); }, false,
                   [](const fs::path& folder, const ConversionResult& result)
                   {
                       EXPECT_EQ(result.reason, "Permission denied");
                       EXPECT_EQ(Mode(folder / "out.dxf") & 07777, 0444u);
                       EXPECT_EQ(ReadFile(folder / "out.dxf"), kOld);
                   }},
        TargetCase{"LinkStaysLink",
                   [](const fs::path& folder)
                   {
                       fs::create_directories(folder / "real");
                       WithOld(folder / "real" / "file.dxf", 0644);
                       fs::create_symlink("real/file.dxf", folder / "link.dxf");
                       return (folder / "link.dxf").string();
                   },
                   true,
                   [](const fs::path& folder, const ConversionResult&)
                   {
                       EXPECT_TRUE(fs::is_symlink(folder / "link.dxf"));
                       EXPECT_EQ(ReadFile(folder / "real" / "file.dxf"), Expected());
                       EXPECT_FALSE(TemporaryLeft(folder / "real"));
                   }},
        TargetCase{"DanglingLinkCreatesItsFile",
                   [](const fs::path& folder)
                   {
                       fs::create_symlink("made.dxf", folder / "link.dxf");
                       return (folder / "link.dxf").string();
                   },
                   true,
                   [](const fs::path& folder, const ConversionResult&)
                   {
                       EXPECT_TRUE(fs::is_symlink(folder / "link.dxf"));
                       EXPECT_EQ(ReadFile(folder / "made.dxf"), Expected());
                   }},
        TargetCase{"HardLinksShareTheDrawing",
                   [](const fs::path& folder)
                   {
                       WithOld(folder / "one.dxf", 0644);
                       fs::create_hard_link(folder / "one.dxf", folder / "two.dxf");
                       return (folder / "one.dxf").string();
                   },
                   true,
                   [](const fs::path& folder, const ConversionResult&)
                   {
                       EXPECT_EQ(fs::hard_link_count(folder / "one.dxf"), 2u);
                       EXPECT_EQ(ReadFile(folder / "two.dxf"), Expected());
                       EXPECT_TRUE(fs::equivalent(folder / "one.dxf", folder / "two.dxf"));
                   }},
        TargetCase{
            "LongestNameFits",
            [](const fs::path& folder) { return (folder / (std::string(251, 'n') + ".dxf")).string(); }, true,
            [](const fs::path& folder, const ConversionResult&)
            { EXPECT_EQ(ReadFile(folder / (std::string(251, 'n') + ".dxf")), Expected()); }},
        TargetCase{"FolderIsRefused",
                   [](const fs::path& folder)
                   {
                       fs::create_directories(folder / "out.dxf");
                       return (folder / "out.dxf").string();
                   },
                   false,
                   [](const fs::path& folder, const ConversionResult& result)
                   {
                       EXPECT_EQ(result.reason, "Is a directory");
                       EXPECT_TRUE(fs::is_directory(folder / "out.dxf"));
                   }},
        TargetCase{"MissingFolderNamesTheReason",
                   [](const fs::path& folder) { return (folder / "absent" / "out.dxf").string(); }, false,
                   [](const fs::path&, const ConversionResult& result)
                   { EXPECT_EQ(result.reason, "No such file or directory"); }},
        TargetCase{"PipeGetsTheDrawingInPlace",
                   [](const fs::path& folder)
                   {
                       mkfifo((folder / "pipe").c_str(), 0644);
                       g_reader = std::make_unique<PipeReader>(folder / "pipe");
                       return (folder / "pipe").string();
                   },
                   true,
                   [](const fs::path& folder, const ConversionResult&)
                   {
                       g_reader->thread.join();
                       EXPECT_EQ(g_reader->received, Expected());
                       EXPECT_TRUE(S_ISFIFO(Mode(folder / "pipe")));
                       g_reader.reset();
                   }},
        TargetCase{"NullDeviceStaysADevice",
                   [](const fs::path& folder)
                   {
                       mknod((folder / "null").c_str(), S_IFCHR | 0666, makedev(1, 3));
                       return (folder / "null").string();
                   },
                   true,
                   [](const fs::path& folder, const ConversionResult&)
                   { EXPECT_TRUE(S_ISCHR(Mode(folder / "null"))); },
                   true},
        TargetCase{"FullDeviceReportsTheWriteError",
                   [](const fs::path& folder)
                   {
                       mknod((folder / "full").c_str(), S_IFCHR | 0666, makedev(1, 7));
                       return (folder / "full").string();
                   },
                   false,
                   [](const fs::path& folder, const ConversionResult& result)
                   {
                       EXPECT_EQ(result.reason, "No space left on device");
                       EXPECT_TRUE(S_ISCHR(Mode(folder / "full")));
                   },
                   true}),
    [](const auto& row) { return std::string(row.param.name); });

// A folder that takes no new names, holding a file its user may write: the drawing is copied in.
// Root passes every permission check, so the conversion runs in a child as an ordinary user.
TEST(OutputTargetsAsUser, FileInUnwritableFolderIsFilledInPlace)
{
    const fs::path folder = Folder("locked");
    const fs::path input = folder / "in.svg";
    WriteFile(input, kSvg);
    const fs::path output = folder / "out.dxf";
    WithOld(output, 0666);
    const std::string expected = Expected();
    const passwd* nobody = getpwnam("nobody");
    if (geteuid() == 0 && nobody == nullptr)
        GTEST_SKIP() << "running as root without a user 'nobody' to switch to";
    if (geteuid() == 0)
    {
        ASSERT_EQ(chown(output.c_str(), nobody->pw_uid, nobody->pw_gid), 0);
    }
    ASSERT_EQ(chmod(folder.c_str(), 0555), 0);

    const pid_t child = fork();
    if (child == 0)
    {
        if (geteuid() == 0 && (setgid(nobody->pw_gid) != 0 || setuid(nobody->pw_uid) != 0))
            _exit(3);
        const ConversionResult result = Convert(input, output.string());
        _exit(result.ok() ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    chmod(folder.c_str(), 0755);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(ReadFile(output), expected);
    EXPECT_FALSE(TemporaryLeft(folder));
}

// The registry is fixed storage; a full one refuses rather than growing, and a freed slot is reused.
TEST(TemporaryRegistry, SlotsAreLimitedAndReused)
{
    std::vector<int> slots;
    for (int slot = orbelin::RegisterTemporary("/nonexistent/a"); slot >= 0;
         slot = orbelin::RegisterTemporary("/nonexistent/a"))
        slots.push_back(slot);
    EXPECT_GE(slots.size(), 8u);
    EXPECT_EQ(orbelin::RegisterTemporary(std::string(5000, 'x').c_str()), -1);
    orbelin::UnregisterTemporary(slots[3]);
    EXPECT_EQ(orbelin::RegisterTemporary("/nonexistent/b"), slots[3]);
    for (int slot : slots)
        orbelin::UnregisterTemporary(slot);
    orbelin::UnregisterTemporary(-1);
}

struct SignalCase
{
    const char* name;
    int signal;
};

class TemporaryCleanup : public ::testing::TestWithParam<SignalCase>
{
};

// The handler removes the registered files and the process still ends by the signal itself.
TEST_P(TemporaryCleanup, RemovedBeforeTheSignalEndsTheProcess)
{
    const fs::path folder = Folder(GetParam().name);
    const fs::path kept = folder / "kept";
    const fs::path removed = folder / "removed";
    const pid_t child = fork();
    if (child == 0)
    {
        orbelin::InstallSignalCleanup();
        WriteFile(kept, "x");
        WriteFile(removed, "x");
        const int slot = orbelin::RegisterTemporary(kept.c_str());
        orbelin::RegisterTemporary(removed.c_str());
        orbelin::UnregisterTemporary(slot);
        raise(GetParam().signal);
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), GetParam().signal);
    EXPECT_TRUE(fs::exists(kept));
    EXPECT_FALSE(fs::exists(removed));
}

INSTANTIATE_TEST_SUITE_P(Signals, TemporaryCleanup,
                         ::testing::Values(SignalCase{"Interrupt", SIGINT}, SignalCase{"Terminate", SIGTERM},
                                           SignalCase{"HangUp", SIGHUP}),
                         [](const auto& row) { return std::string(row.param.name); });

// A signal during a deferred step waits for its end, and then ends the process all the same.
TEST(TemporaryCleanup, DeferredStepFinishesFirst)
{
    const fs::path folder = Folder("deferred");
    const fs::path temporary = folder / "temporary";
    const fs::path finished = folder / "finished";
    const pid_t child = fork();
    if (child == 0)
    {
        orbelin::InstallSignalCleanup();
        WriteFile(temporary, "x");
        orbelin::RegisterTemporary(temporary.c_str());
        {
            const orbelin::CSignalsDeferred deferred;
            {
                const orbelin::CSignalsDeferred nested;
                raise(SIGTERM);
            }
            WriteFile(finished, "x");
        }
        WriteFile(folder / "too-far", "x");
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGTERM);
    EXPECT_TRUE(fs::exists(finished));
    EXPECT_FALSE(fs::exists(temporary));
    EXPECT_FALSE(fs::exists(folder / "too-far"));
}

TEST(TemporaryCleanup, FileSizeLimitSignalIsIgnored)
{
    const pid_t child = fork();
    if (child == 0)
    {
        orbelin::InstallSignalCleanup();
        raise(SIGXFSZ);
        _exit(7);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 7);
}

// A batch runs conversions on several threads at once; each must write what it writes alone. The
// large drawing is above the size from which a conversion prepares the heap.
TEST(ConcurrentConversions, SameBytesAsOneAtATime)
{
    const fs::path folder = Folder("concurrent");
    std::string large = "<svg width=\"1000\" height=\"1000\">";
    for (int i = 0; large.size() < (std::size_t{5} << 20); ++i)
        large += "<g id=\"g" + std::to_string(i % 50) +
                 "\" style=\"stroke-dasharray:" + std::to_string(i % 7 + 1) + " 2\"><path d=\"M" +
                 std::to_string(i % 300) + " 4 Q 20 30 40 " + std::to_string(i % 90) +
                 " T 80 10\" style=\"fill:#" + std::to_string(100000 + i % 800000) + "\"/></g>";
    large += "</svg>";
    const std::vector<std::string> drawings = {large, kSvg, large, kSvg, large, kSvg};
    std::vector<std::string> alone;
    for (std::size_t i = 0; i < drawings.size(); ++i)
    {
        WriteFile(folder / ("in" + std::to_string(i) + ".svg"), drawings[i]);
        alone.push_back(i < 2 ? ConvertSvgText(drawings[i]) : alone[i - 2]);
    }
    std::vector<std::thread> threads;
    std::vector<ConversionResult> results(drawings.size());
    for (std::size_t i = 0; i < drawings.size(); ++i)
        threads.emplace_back(
            [&, i]
            {
                results[i] = Convert(folder / ("in" + std::to_string(i) + ".svg"),
                                     (folder / ("out" + std::to_string(i) + ".dxf")).string());
            });
    for (std::thread& thread : threads)
        thread.join();
    for (std::size_t i = 0; i < drawings.size(); ++i)
    {
        EXPECT_TRUE(results[i].ok()) << i << ": " << results[i].message;
        EXPECT_TRUE(ReadFile(folder / ("out" + std::to_string(i) + ".dxf")) == alone[i]) << i;
    }
    EXPECT_FALSE(TemporaryLeft(folder));
}

} // namespace
