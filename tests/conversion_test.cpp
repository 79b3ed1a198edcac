// One whole conversion through the driver: progress, messages, what a failure leaves behind,
// and that nothing of one conversion reaches the next.
#include "conversion/conversion.h"
#include "platform/text.h"
#include "support/test_support.h"

#include <algorithm>
#include <atomic>
#include <clocale>
#include <csignal>
#include <functional>
#include <gtest/gtest.h>
#include <sys/resource.h>

using namespace testing_support;
namespace fs = std::filesystem;

namespace
{

struct Outcome
{
    ConversionResult result;
    std::vector<int> progress;
    std::vector<std::string> messages;
};

Outcome Convert(const std::string& input, const std::string& output, bool fill = true, bool exact = false)
{
    Outcome run;
    ConversionRequest request;
    request.inputPath = input;
    request.outputPath = output;
    request.fillOption = fill;
    request.exactSvg = exact;
    run.result = RunConversion(
        request, [&run](int percent) { run.progress.push_back(percent); },
        [&run](const std::string& text) { run.messages.push_back(text); });
    return run;
}

// A fresh folder for one test, so that leftovers can be counted.
fs::path Folder(const std::string& name)
{
    const fs::path folder = ScratchDir() / name;
    fs::remove_all(folder);
    fs::create_directories(folder);
    return folder;
}

std::string WriteSvg(const fs::path& path, const std::string& svg)
{
    WriteFile(path, svg);
    return path.string();
}

std::size_t FileCount(const fs::path& folder)
{
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

const char* const kSimpleSvg = R"(<svg width="100" height="100"><line x1="0" y1="0" x2="10" y2="10"/></svg>)";

struct ProgressCase
{
    const char* name;
    const char* children;
    std::vector<int> expected;
};

class ConversionProgress : public ::testing::TestWithParam<ProgressCase>
{
};

TEST_P(ConversionProgress, ClimbsThroughTheWalk)
{
    const ProgressCase& c = GetParam();
    const fs::path folder = Folder(std::string("progress-") + c.name);
    const std::string svg = std::string(R"(<svg height="10">)") + c.children + "</svg>";
    const Outcome run = Convert(WriteSvg(folder / "in.svg", svg), (folder / "out.dxf").string());
    ASSERT_TRUE(run.result.ok()) << run.result.message;
    EXPECT_EQ(run.progress, c.expected);
    EXPECT_TRUE(run.messages.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Children, ConversionProgress,
    ::testing::Values(ProgressCase{"None", "", {0, 5, 12, 15, 100}},
                      ProgressCase{"Three", "<g/><line/><g><g/></g>", {0, 5, 12, 15, 41, 68, 95, 100}},
                      ProgressCase{"Four", "<g/><desc/><g/><g/>", {0, 5, 12, 15, 35, 55, 75, 95, 100}}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(ConversionMessages, MissingPaths)
{
    Outcome run = Convert("", "out.dxf");
    EXPECT_EQ(run.result.status, ConversionStatus::MissingInput);
    EXPECT_EQ(run.result.message, "Select svg file.");
    EXPECT_EQ(run.messages, std::vector<std::string>{"Select svg file."});
    EXPECT_TRUE(run.progress.empty());

    run = Convert("in.svg", "");
    EXPECT_EQ(run.result.status, ConversionStatus::MissingOutput);
    EXPECT_EQ(run.result.message, "Input dxf file.");
    EXPECT_TRUE(run.progress.empty());
}

// A use that reaches itself is left out with a notice, once per element it names, and the
// conversion still succeeds; the default reading says nothing of it.
struct UseNoticeCase
{
    const char* name;
    std::string body;
    std::vector<std::string> notices;
    std::size_t entities;
};
class ConversionUseNotices : public ::testing::TestWithParam<UseNoticeCase>
{
};

TEST_P(ConversionUseNotices, SaidOnceAndDrawnWithoutIt)
{
    const UseNoticeCase& c = GetParam();
    const fs::path folder = Folder(std::string("use-notice-") + c.name);
    const std::string input = WriteSvg(
        folder / "in.svg",
        R"(<svg xmlns:xlink="http://www.w3.org/1999/xlink" width="100" height="100">)" + c.body + "</svg>");
    const Outcome run = Convert(input, (folder / "out.dxf").string(), true, true);
    ASSERT_TRUE(run.result.ok()) << run.result.message;
    EXPECT_EQ(run.result.notices, c.notices);
    EXPECT_EQ(run.messages, c.notices);
    EXPECT_EQ(run.result.entities, c.entities);
}

std::string UseChain(int length)
{
    std::string body = R"(<rect id="u0" width="5" height="5"/>)";
    for (int i = 1; i <= length; ++i)
        body += "<use id=\"u" + std::to_string(i) + "\" href=\"#u" + std::to_string(i - 1) + "\"/>";
    return "<defs>" + body + "</defs><use href=\"#u" + std::to_string(length) + "\"/>";
}

// Ten uses of a group of ten uses of ... levels deep: the copies multiply to 10^levels.
std::string UseTree(int levels)
{
    std::string body = R"(<g id="t0"/>)";
    for (int i = 1; i <= levels; ++i)
    {
        body += "<g id=\"t" + std::to_string(i) + "\">";
        for (int k = 0; k < 10; ++k)
            body += "<use href=\"#t" + std::to_string(i - 1) + "\"/>";
        body += "</g>";
    }
    return "<defs>" + body + "</defs><use href=\"#t" + std::to_string(levels) + "\"/>";
}

const char* const kSelf = "The use of #a is not drawn: it contains itself.";
INSTANTIATE_TEST_SUITE_P(
    Exact, ConversionUseNotices,
    ::testing::Values(
        UseNoticeCase{"Plain", R"(<defs><rect id="r" width="5" height="5"/></defs><use href="#r"/>)", {}, 1},
        UseNoticeCase{"ItsOwnTarget", R"(<use id="a" href="#a"/><rect width="5" height="5"/>)", {kSelf}, 1},
        UseNoticeCase{"InsideWhatItNames",
                      R"(<g id="a"><rect width="5" height="5"/><use xlink:href="#a"/></g>)",
                      {kSelf},
                      1},
        // a draws b, which names a again: the inner a is left out, once however often it is met.
        UseNoticeCase{"ThroughAnother",
                      R"(<defs><g id="a"><rect width="5" height="5"/><use href="#b"/></g>)"
                      R"(<g id="b"><use href="#a"/></g></defs><use href="#a"/><use href="#a" x="10"/>)",
                      {kSelf},
                      2},
        // The use in the drawing and those of the chain: 32 open at once are drawn, 33 are not.
        UseNoticeCase{"ChainWithinTheBound", UseChain(31), {}, 1},
        UseNoticeCase{"ChainBeyondTheBound",
                      UseChain(32),
                      {"The use of #u0 is not drawn: it is nested too deep in other uses."},
                      0},
        // A million copies and more are not made, and said once: the run ends in time. The use
        // in the drawing and nine copies of #t5 of 111111 uses each make the million; the tenth
        // is the first left out.
        UseNoticeCase{"CopiesMultiply",
                      UseTree(6),
                      {"The use of #t5 is not drawn: the drawing's uses make too many copies."},
                      0}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST(ConversionMessages, UnreadableInputWritesNothing)
{
    const fs::path folder = Folder("unreadable");
    const std::string input = (folder / "missing.svg").string();
    const Outcome run = Convert(input, (folder / "out.dxf").string());
    EXPECT_EQ(run.result.status, ConversionStatus::UnreadableInput);
    EXPECT_EQ(run.result.message, "Failed to read file(" + input + ")");
    EXPECT_EQ(run.messages.size(), 1u);
    EXPECT_TRUE(run.progress.empty());
    EXPECT_EQ(FileCount(folder), 0u);
}

TEST(ConversionMessages, FolderAsInputIsUnreadable)
{
    const fs::path folder = Folder("input-folder");
    fs::create_directories(folder / "in.svg");
    const Outcome run = Convert((folder / "in.svg").string(), (folder / "out.dxf").string());
    EXPECT_EQ(run.result.status, ConversionStatus::UnreadableInput);
    EXPECT_EQ(FileCount(folder), 1u);
}

TEST(ConversionMessages, MissingOutputFolder)
{
    const fs::path folder = Folder("no-folder");
    const std::string output = (folder / "absent" / "out.dxf").string();
    const Outcome run = Convert(WriteSvg(folder / "in.svg", kSimpleSvg), output);
    EXPECT_EQ(run.result.status, ConversionStatus::UnwritableOutput);
    EXPECT_EQ(run.result.message, "Failed to write file(" + output + ")");
    EXPECT_EQ(run.progress, (std::vector<int>{0, 5, 12, 15}));
    EXPECT_EQ(FileCount(folder), 1u);
}

TEST(ConversionMessages, OutputThatIsAFolderStaysAFolder)
{
    const fs::path folder = Folder("output-folder");
    fs::create_directories(folder / "out.dxf" / "inside");
    const Outcome run = Convert(WriteSvg(folder / "in.svg", kSimpleSvg), (folder / "out.dxf").string());
    EXPECT_EQ(run.result.status, ConversionStatus::UnwritableOutput);
    EXPECT_TRUE(fs::is_directory(folder / "out.dxf" / "inside"));
    EXPECT_EQ(FileCount(folder), 2u) << "no temporary file left behind";
}

// A full disk, imitated by a file-size limit: the writes fail after the file was opened.
TEST(ConversionMessages, WriteErrorLeavesExistingOutputUntouched)
{
    const fs::path folder = Folder("disk-full");
    const std::string input = WriteSvg(folder / "in.svg", kSimpleSvg);
    const fs::path output = folder / "out.dxf";
    WriteFile(output, "the previous drawing");

    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const Outcome run = Convert(input, output.string());
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_EQ(run.result.status, ConversionStatus::UnwritableOutput);
    EXPECT_EQ(run.result.message, "Failed to write file(" + output.string() + ")");
    EXPECT_EQ(ReadFile(output), "the previous drawing");
    EXPECT_EQ(FileCount(folder), 2u) << "no temporary file left behind";
}

TEST(ConversionMessages, OutputNamingTheInputIsRefused)
{
    const fs::path folder = Folder("same-file");
    const std::string input = WriteSvg(folder / "drawing.svg", kSimpleSvg);
    for (const std::string& output : {input, (folder / "." / "drawing.svg").string()})
    {
        const Outcome run = Convert(input, output);
        EXPECT_EQ(run.result.status, ConversionStatus::OutputIsInput) << output;
        EXPECT_EQ(run.result.message, orbelin::FormatMessage(kMsgOutputIsInput, output));
        EXPECT_TRUE(run.progress.empty());
        EXPECT_EQ(ReadFile(input), kSimpleSvg);
    }
    EXPECT_EQ(FileCount(folder), 1u);
}

TEST(ConversionResultFolder, CutAfterLastSeparator)
{
    const fs::path folder = Folder("result-folder");
    const std::string output = (folder / "out.dxf").string();
    const Outcome run = Convert(WriteSvg(folder / "in.svg", kSimpleSvg), output);
    ASSERT_TRUE(run.result.ok());
    EXPECT_EQ(run.result.outputFolder, folder.string() + "/");
    EXPECT_EQ(Convert("", "x").result.outputFolder, "");
    EXPECT_EQ(Convert("nowhere/in.svg", R"(C:\drawings\out.dxf)").result.outputFolder, R"(C:\drawings\)");
    EXPECT_EQ(Convert("nowhere/in.svg", "out.dxf").result.outputFolder, "out.dxf");
}

TEST(ConversionSequence, NothingCarriesIntoTheNextConversion)
{
    const fs::path folder = Folder("sequence");
    const std::string first = WriteSvg(folder / "first.svg", R"(<svg height="100">
  <g id="walls" style="stroke-dasharray:4 2">
    <path d="M0 0 L10 10" style="stroke:#ff0000;stroke-dasharray:4 2"/>
    <text x="1" y="1" style="font-family:Arial;font-size:3">A</text>
  </g>
</svg>)");
    const std::string second = WriteSvg(folder / "second.svg", kSimpleSvg);
    ASSERT_TRUE(Convert(first, (folder / "first.dxf").string()).result.ok());
    ASSERT_TRUE(Convert(second, (folder / "second.dxf").string()).result.ok());
    const std::string dxf = ReadFile(folder / "second.dxf");
    EXPECT_NE(ReadFile(folder / "first.dxf").find("Dash1"), std::string::npos)
        << "the first drawing has them";
    EXPECT_EQ(dxf.find("Dash1"), std::string::npos);
    EXPECT_EQ(dxf.find("Style-Arial"), std::string::npos);
    EXPECT_EQ(dxf.find("walls"), std::string::npos);
    const auto entities = Entities(dxf);
    ASSERT_EQ(entities.size(), 1u);
    EXPECT_EQ(GroupValue(entities[0], 8), "0");
    EXPECT_EQ(GroupValue(entities[0], 62), "0");
}

TEST(ConversionOptions, FillOptionDecidesHatches)
{
    const fs::path folder = Folder("fill");
    const std::string input = WriteSvg(
        folder / "in.svg", R"(<svg height="100"><path d="M0 0 L50 0 L50 50 Z" style="fill:#00ff00"/></svg>)");
    const auto countHatches = [](const std::string& dxf)
    {
        int hatches = 0;
        for (const auto& entity : Entities(dxf))
            hatches += entity.front().value == "HATCH" ? 1 : 0;
        return hatches;
    };
    ASSERT_TRUE(Convert(input, (folder / "on.dxf").string(), true).result.ok());
    ASSERT_TRUE(Convert(input, (folder / "off.dxf").string(), false).result.ok());
    EXPECT_EQ(countHatches(ReadFile(folder / "on.dxf")), 1);
    EXPECT_EQ(countHatches(ReadFile(folder / "off.dxf")), 0);
}

fs::path ExampleSvg()
{
    return DataDir().parent_path().parent_path() / "examples" / "example.svg";
}

TEST(ConversionWhole, ExampleReadsBackWithDxflib)
{
    const fs::path folder = Folder("example");
    const Outcome run = Convert(ExampleSvg().string(), (folder / "example.dxf").string());
    ASSERT_TRUE(run.result.ok()) << run.result.message;
    EXPECT_EQ(CheckWithDxflib(folder / "example.dxf"), "");
    std::vector<std::string> types;
    for (const auto& entity : Entities(ReadFile(folder / "example.dxf")))
        types.push_back(entity.front().value);
    for (const char* type : {"LWPOLYLINE", "LINE", "CIRCLE", "ELLIPSE", "TEXT", "HATCH"})
        EXPECT_NE(std::find(types.begin(), types.end(), type), types.end()) << type;
}

// The C library formats numbers by LC_NUMERIC; the output must not notice.
TEST(ConversionWhole, SameBytesUnderCommaLocale)
{
    const fs::path folder = Folder("locale");
    ASSERT_TRUE(Convert(ExampleSvg().string(), (folder / "c.dxf").string()).result.ok());
    const std::string previous = std::setlocale(LC_ALL, nullptr);
    if (!std::setlocale(LC_ALL, "de_DE.UTF-8") && !std::setlocale(LC_ALL, "de_DE.utf8"))
        GTEST_SKIP() << "no German locale installed";
    const Outcome run = Convert(ExampleSvg().string(), (folder / "de.dxf").string());
    std::setlocale(LC_ALL, previous.c_str());
    ASSERT_TRUE(run.result.ok());
    EXPECT_EQ(FirstDifference(ReadFile(folder / "c.dxf"), ReadFile(folder / "de.dxf")), "");
}

// A drawing whose only top-level element is one group of `count` lines: a walk by top-level
// elements would stand still over all of it.
std::string OneGroupOfLines(int count)
{
    std::string svg = R"(<svg width="1000" height="1000"><g id="all">)";
    for (int i = 0; i < count; ++i)
        svg += "<line x1=\"" + std::to_string(i % 997) + "\" y1=\"0\" x2=\"10\" y2=\"" + std::to_string(i) +
               "\"/>";
    return svg + "</g></svg>";
}

struct CancelCase
{
    const char* name;
    int atPercent;     // the detailed progress value at which the flag is set; -1: before the run
    bool outputExists; // an earlier drawing lies where the output goes
};

class ConversionCancel : public ::testing::TestWithParam<CancelCase>
{
};

TEST_P(ConversionCancel, LeavesNoFileAndTheOldOneAsItWas)
{
    const CancelCase& c = GetParam();
    const fs::path folder = Folder(std::string("cancel-") + c.name);
    const std::string input = WriteSvg(folder / "in.svg", OneGroupOfLines(3000));
    const fs::path output = folder / "out.dxf";
    if (c.outputExists)
        WriteFile(output, "earlier work");
    std::atomic<bool> cancel{c.atPercent < 0};
    ConversionRequest request;
    request.inputPath = input;
    request.outputPath = output.string();
    request.cancel = &cancel;
    request.detailedProgress = true;
    std::vector<int> progress;
    std::vector<std::string> messages;
    const ConversionResult result = RunConversion(
        request,
        [&](int percent)
        {
            progress.push_back(percent);
            if (c.atPercent >= 0 && percent >= c.atPercent)
                cancel = true;
        },
        [&](const std::string& text) { messages.push_back(text); });

    EXPECT_EQ(result.status, ConversionStatus::Cancelled);
    EXPECT_FALSE(result.ok());
    EXPECT_EQ(result.message, "");
    EXPECT_TRUE(messages.empty());
    ASSERT_FALSE(progress.empty());
    EXPECT_LT(progress.back(), 100);
    if (c.atPercent >= 0)
    {
        EXPECT_LE(progress.back(), c.atPercent + 1) << "the walk stops at the next element";
    }
    // No temporary beside it, and an earlier drawing keeps every byte.
    EXPECT_EQ(FileCount(folder), c.outputExists ? 2u : 1u);
    if (c.outputExists)
    {
        EXPECT_EQ(ReadFile(output), "earlier work");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Stages, ConversionCancel,
    ::testing::Values(CancelCase{"BeforeTheRun", -1, false}, CancelCase{"BeforeTheRunOverOldFile", -1, true},
                      CancelCase{"WhenTheWalkStarts", 15, false}, CancelCase{"MidWalk", 40, false},
                      CancelCase{"MidWalkOverOldFile", 40, true}, CancelCase{"AfterTheWalk", 97, true}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(ConversionCancel, UnsetFlagChangesNothing)
{
    const fs::path folder = Folder("cancel-unset");
    const std::string input = WriteSvg(folder / "in.svg", OneGroupOfLines(50));
    const Outcome plain = Convert(input, (folder / "plain.dxf").string());
    std::atomic<bool> cancel{false};
    ConversionRequest request;
    request.inputPath = input;
    request.outputPath = (folder / "flag.dxf").string();
    request.cancel = &cancel;
    ASSERT_TRUE(RunConversion(request).ok());
    EXPECT_EQ(FirstDifference(ReadFile(folder / "plain.dxf"), ReadFile(folder / "flag.dxf")), "");
}

TEST(ConversionDetailedProgress, MovesThroughOneTopLevelGroup)
{
    const fs::path folder = Folder("detailed");
    const std::string input = WriteSvg(folder / "in.svg", OneGroupOfLines(400));
    const Outcome fixed = Convert(input, (folder / "fixed.dxf").string());
    EXPECT_EQ(fixed.progress, (std::vector<int>{0, 5, 12, 15, 95, 100}));

    ConversionRequest request;
    request.inputPath = input;
    request.outputPath = (folder / "detailed.dxf").string();
    request.detailedProgress = true;
    std::vector<int> values;
    ASSERT_TRUE(RunConversion(request, [&values](int percent) { values.push_back(percent); }).ok());
    ASSERT_FALSE(values.empty());
    EXPECT_EQ(values.front(), 0);
    EXPECT_EQ(values.back(), 100);
    EXPECT_TRUE(std::adjacent_find(values.begin(), values.end(), std::greater_equal<int>()) == values.end())
        << "each value once, rising";
    // Every percent of the walk is reached, the walk's start and end among them.
    for (int percent = 15; percent <= 95; ++percent)
        EXPECT_NE(std::find(values.begin(), values.end(), percent), values.end()) << percent;
    EXPECT_EQ(FirstDifference(ReadFile(folder / "fixed.dxf"), ReadFile(folder / "detailed.dxf")), "");
}

struct EntityCountCase
{
    const char* name;
    const char* svg;
};

class ConversionEntityCount : public ::testing::TestWithParam<EntityCountCase>
{
};

TEST_P(ConversionEntityCount, MatchesTheEntitiesSection)
{
    const EntityCountCase& c = GetParam();
    const fs::path folder = Folder(std::string("count-") + c.name);
    const std::string input = c.svg ? WriteSvg(folder / "in.svg", c.svg) : ExampleSvg().string();
    const Outcome run = Convert(input, (folder / "out.dxf").string());
    ASSERT_TRUE(run.result.ok()) << run.result.message;
    EXPECT_EQ(run.result.entities, Entities(ReadFile(folder / "out.dxf")).size());
}

INSTANTIATE_TEST_SUITE_P(
    Drawings, ConversionEntityCount,
    ::testing::Values(
        EntityCountCase{"Empty", "<svg width=\"10\" height=\"10\"/>"}, EntityCountCase{"OneLine", kSimpleSvg},
        EntityCountCase{
            "FilledPathAndText",
            R"(<svg height="100"><path d="M0 0 L50 0 L50 50 Z M60 0 L70 0 L70 9 Z" style="fill:#00ff00;stroke:#000"/>)"
            R"(<text x="1" y="9" font-size="3">A</text><rect x="1" y="1" width="5" height="5" rx="1"/></svg>)"},
        EntityCountCase{"Example", nullptr}),
    [](const auto& param) { return std::string(param.param.name); });

} // namespace
