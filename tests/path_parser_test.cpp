// Path data cut into steps and argument texts read into numbers.
#include "platform/text.h"
#include "support/test_support.h"
#include "svg/converter.h"

#include <cstdint>
#include <cstring>
#include <gtest/gtest.h>
#include <random>
#include <sstream>
#include <string>
#include <utility>

namespace
{

// One step as the path code sees it: the command it acts on and the numbers its reader gives.
std::string DescribeStep(CConverter& converter, const std::string& command, std::string_view args)
{
    std::ostringstream out;
    out << command;
    double v[7] = {};
    const char letter = command.size() == 1 ? command[0] : '\0';
    int count = 0;
    bool ok = true;
    switch (letter)
    {
    case 'M':
    case 'm':
    case 'L':
    case 'l':
    case 'T':
    case 't':
        converter.ReadNumberPair(args, v[0], v[1]);
        count = 2;
        break;
    case 'H':
    case 'h':
    case 'V':
    case 'v':
        v[0] = orbelin::ReadDouble(args);
        count = 1;
        break;
    case 'S':
    case 's':
    case 'Q':
    case 'q':
        ok = converter.ReadNumbers4(args, v) != 0;
        count = 4;
        break;
    case 'C':
    case 'c':
        ok = converter.ReadNumbers6(args, v) != 0;
        count = 6;
        break;
    case 'A':
    case 'a':
    {
        int largeArc = 0;
        int sweep = 0;
        ok = converter.ReadArcArgs(args, v[0], v[1], v[2], largeArc, sweep, v[5], v[6]) != 0;
        v[3] = largeArc;
        v[4] = sweep;
        count = 7;
        break;
    }
    default:
        out << " skip(" << args << ")";
        break;
    }
    if (!ok)
        out << " fail";
    else
        for (int i = 0; i < count; ++i)
            out << ' ' << v[i];
    return out.str();
}

// Runs the parser over d as the path code does (a blank token repeats the previous command, a
// moveto's repetitions are lines) and lists the steps, each with the closepath flags it raised.
std::string Trace(CConverter& converter, std::string_view d)
{
    std::string trace;
    std::string_view data = d;
    std::string_view args;
    std::string token;
    converter.m_closeSeen = 0;
    converter.m_closeLeading = 0;
    for (std::size_t steps = 0; converter.NextPathCommand(args, token, data) != 0; ++steps)
    {
        if (steps > d.size())
            return trace + "; LOOP";
        std::string command(orbelin::Trim(token));
        const std::string& last = converter.m_lastCommand;
        if (command.empty())
            command = last == "M" ? "L" : last == "m" ? "l" : last;
        trace += (trace.empty() ? "" : "; ") + DescribeStep(converter, command, args);
        trace += converter.m_closeSeen ? " +seen" : "";
        trace += converter.m_closeLeading ? " +lead" : "";
        converter.m_closeSeen = 0;
        converter.m_closeLeading = 0;
        converter.m_lastCommand = command;
    }
    if (converter.m_closeLeading)
        trace += (trace.empty() ? "" : "; ") + std::string("+lead");
    return trace;
}

struct TraceCase
{
    const char* name;
    const char* d;
    const char* steps;
};

class PathTraceTest : public ::testing::TestWithParam<TraceCase>
{
};

TEST_P(PathTraceTest, GivesSteps)
{
    CConverter converter;
    EXPECT_EQ(Trace(converter, GetParam().d), GetParam().steps) << GetParam().d;
}

INSTANTIATE_TEST_SUITE_P(
    Data, PathTraceTest,
    ::testing::Values(
        TraceCase{"Compact", "M10,20L30,40", "M 10 20; L 30 40"},
        TraceCase{"Spaced", "M 10 20 L 30 40", "M 10 20; L 30 40"},
        TraceCase{"SignSeparates", "M10-20", "M 10 -20"},
        TraceCase{"PlusSeparates", "L 1+2 L 3 +4", "L 1 2; L 3 4"},
        TraceCase{"RepeatAfterMoveIsLine", "M 10 20 30 40", "M 10 20; L 30 40"},
        TraceCase{"RepeatAfterMoveByComma", "M10,20,30,40", "M 10 20; L 30 40"},
        TraceCase{"RepeatAfterRelativeMove", "m 1 2 3 4", "m 1 2; l 3 4"},
        TraceCase{"RepeatBySign", "M10 20-30-40", "M 10 20; L -30 -40"},
        TraceCase{"RepeatAfterLineFeed", "M 10 20\n30 40", "M 10 20; L 30 40"},
        TraceCase{"LowerCaseExponent", "L 1e-5 2", "L 1e-05 2"},
        TraceCase{"UpperCaseExponentSplits", "L 1E5 2", "L 1 5; L 2 0"},
        TraceCase{"SecondDotContinues", "L .5.5", "L 0.5 0"},
        TraceCase{"TabBeforeSign", "L 10\t-20", "L 10 0; L -20 0"},
        TraceCase{"CarriageReturnBeforeSign", "L 10\r-20", "L 10 0; L -20 0"},
        TraceCase{"HorizontalVertical", "M0 0H5V6h1v2", "M 0 0; H 5; V 6; h 1; v 2"},
        TraceCase{"Cubic", "M0 0C1 2 3 4 5 6", "M 0 0; C 1 2 3 4 5 6"},
        TraceCase{"CubicLastNumberMissing", "M0 0C1 2 3 4 5", "M 0 0; C 1 2 3 4 5 0"},
        TraceCase{"CubicTooShort", "M0 0C1 2 3 4", "M 0 0; C fail"},
        TraceCase{"CubicPairBeforeClose", "M 0 0 C 10 10z", "M 0 0; L 10 10 +seen; +lead"},
        TraceCase{"RelativeCubicPairBeforeClose", "M 0 0 c 10 10z", "M 0 0; l 10 10 +seen; +lead"},
        TraceCase{"CubicPairBeforeSpacedClose", "M 0 0 C 10 10 z", "M 0 0; C fail +seen"},
        TraceCase{"SmoothLastNumberMissing", "S 1 2 3", "S 1 2 3 0"},
        TraceCase{"SmoothBrokenByClose", "M 0 0 S 1 2 z", "M 0 0; S fail +seen"},
        TraceCase{"SmoothBrokenByCloseThenLine", "M 0 0 S 1 2z L 5 5", "M 0 0; S fail +seen; L 5 5 +lead"},
        TraceCase{"SmoothBrokenBeforeSigns", "M0 0S-1-2z-3-4", "M 0 0; S fail +seen; +lead"},
        TraceCase{"Arc", "M0 0A10 20 30 1 0 40 50", "M 0 0; A 10 20 30 1 0 40 50"},
        TraceCase{"ArcFlagsRunTogether", "M0 0A1 1 0 01 5 5", "M 0 0; A fail"},
        TraceCase{"ArcEndMissingBeforeClose", "M0 0A1 1 0 0 1 5 z", "M 0 0; A fail +seen"},
        TraceCase{"ArcBrokenBeforeSigns", "M0 0A1 1 0 0 1z-5-5", "M 0 0; A fail +seen; +lead"},
        TraceCase{"CloseAfterFirstNumberTakesRest", "M 10z L 20 30", "M 10 0 +seen"},
        TraceCase{"UnknownCommandDropsNumbers", "X 1 2 L 3 4", "X skip(1); X skip(2); L 3 4"},
        TraceCase{"Empty", "", ""}, TraceCase{"NumbersOnly", "10 20 30", "10 skip(20); 10 skip(30)"},
        TraceCase{"TrailingText", "L 1 2 abc", "L 1 2"},
        TraceCase{"CloseThenMove", "M 0 0 L 10 0 z M 5 5", "M 0 0; L 10 0 +seen; M 5 5 +lead"},
        TraceCase{"UpperCloseThenMove", "M 0 0 L 10 0 Z M 5 5", "M 0 0; L 10 0 +seen; M 5 5 +lead"},
        TraceCase{"CloseWithoutBlank", "M 0 0 L 10 0z M 5 5", "M 0 0; L 10 0 +seen; M 5 5 +lead"},
        TraceCase{"CloseInsideToken", "M 0 0 X 1 z M 5 5", "M 0 0; X skip(1); M 5 5"},
        TraceCase{"CloseOnly", "z", "+lead"}),
    [](const auto& row) { return std::string(row.param.name); });

struct NumberEndCase
{
    const char* name;
    const char* text;
    int n;
    long end;
    int closeSeen;
};

class FindNumberEndTest : public ::testing::TestWithParam<NumberEndCase>
{
};

TEST_P(FindNumberEndTest, ReportsEnd)
{
    const NumberEndCase& c = GetParam();
    CConverter converter;
    converter.m_closeSeen = 0;
    EXPECT_EQ(converter.FindNumberEnd(c.text, c.n), c.end);
    EXPECT_EQ(converter.m_closeSeen, c.closeSeen);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, FindNumberEndTest,
    ::testing::Values(NumberEndCase{"First", "10 20", 1, 2, 0}, NumberEndCase{"Second", "10 20", 2, 5, 0},
                      NumberEndCase{"FewerGiveLength", "10 20", 3, 5, 0},
                      NumberEndCase{"SeparatorRunCountsOnce", "1 ,, 2 3", 2, 6, 0},
                      NumberEndCase{"SignAfterDigitSeparates", "10-20", 1, 2, 0},
                      NumberEndCase{"SignAfterBlankBelongs", "10 -20", 2, 6, 0},
                      NumberEndCase{"ExponentSignBelongs", "1e-5 2", 1, 4, 0},
                      NumberEndCase{"AnyFirstCharacterBelongs", "+5 6", 1, 2, 0},
                      NumberEndCase{"TabBeforeSignCountsTwice", "10\t-20", 2, 3, 0},
                      NumberEndCase{"CloseEndsNumber", "10z", 1, 2, 1},
                      NumberEndCase{"CloseAfterBlankStaysInRest", "10 z", 1, 3, 1},
                      NumberEndCase{"CloseBeforeFirstNumberEnds", "10z 5", 2, -1, 1},
                      NumberEndCase{"CloseAfterOneNumber", "1 2z", 4, -2, 1},
                      NumberEndCase{"CloseAfterTwoNumbers", "1 2 3z", 4, -3, 1},
                      NumberEndCase{"CloseInsideRunDoesNotInterrupt", "1 z 2 3", 3, 7, 1}),
    [](const auto& row) { return std::string(row.param.name); });

// Whenever the shortcut for plain numbers takes a text, it must give what the general way gives:
// the same end, the same bits, and no closepath seen. Random texts over the characters that matter.
TEST(PathParserTest, PlainNumbersReadAsTheGeneralWay)
{
    const char alphabet[] = "0123456789.-e ,\tzZ+\nL";
    testing_support::CXorShift next(0x243F6A8885A308D3ull);
    int taken = 0;
    for (int t = 0; t < 300000; ++t)
    {
        std::string text;
        const int length = static_cast<int>(next() % 22);
        for (int i = 0; i < length; ++i)
            text += next() % 3 == 0 ? alphabet[next() % (sizeof alphabet - 1)] : static_cast<char>('0' + next() % 10);
        double value = 0.0;
        std::size_t end = 0;
        if (!ReadPlainNumber(text, value, end))
            continue;
        ++taken;
        CConverter converter;
        converter.m_closeSeen = 0;
        const long general = converter.FindNumberEnd(text, 1);
        ASSERT_EQ(static_cast<long>(end), general) << text;
        const double expected = orbelin::ReadDouble(std::string_view(text).substr(0, end));
        ASSERT_EQ(std::memcmp(&value, &expected, sizeof value), 0) << text;
        ASSERT_EQ(converter.m_closeSeen, 0) << text;
    }
    EXPECT_GT(taken, 50000);
}

// Whenever the numbers of a step are read while the step is cut, the cut and every number must be what
// the general way gives: the scan's end, the readers' bits, and no closepath seen.
TEST(PathParserTest, NumbersReadWhileCuttingMatchTheGeneralWay)
{
    // Numbers of every length and sign, joined by the plain separators and by the ones that are not.
    const char* const separators[] = {" ", ",", "-", " -", ",-", "  ", ", ", "\t", "\n", "z", " z ", "e",
                                      ".", "+", "L", " L", "-.", " ,-"};
    testing_support::CXorShift next(0x13198A2E03707344ull);
    const std::pair<const char*, int> commands[] = {{"H", 1}, {"L", 2}, {"Q", 4}, {"C", 6}};
    int taken[4] = {};
    for (int t = 0; t < 200000; ++t)
    {
        std::string text;
        for (int n = static_cast<int>(next() % 9); n > 0; --n)
        {
            if (next() % 4 == 0)
                text += '-';
            for (int digits = static_cast<int>(next() % 9); digits >= 0; --digits)
                text += static_cast<char>('0' + next() % 10);
            if (next() % 2 == 0)
                text += '.';
            for (int digits = static_cast<int>(next() % 10); digits > 0; --digits)
                text += static_cast<char>('0' + next() % 10);
            text += next() % 3 != 0 ? " " : separators[next() % (sizeof separators / sizeof separators[0])];
        }
        if (next() % 2 == 0 && !text.empty())
            text.pop_back();
        for (int c = 0; c < 4; ++c)
        {
            const auto [letter, count] = commands[c];
            CConverter converter;
            converter.m_closeSeen = 0;
            std::string command = letter;
            std::string_view data = text;
            const std::string_view args = converter.SplitCommandArgs(command, data);
            double fast[6] = {};
            if (!converter.TakePlainArgs(args, fast, count))
                continue;
            ++taken[c];
            ASSERT_EQ(command, letter) << text;
            ASSERT_EQ(converter.m_closeSeen, 0) << text;
            CConverter general;
            general.m_closeSeen = 0;
            ASSERT_EQ(general.FindNumberEnd(text, count), static_cast<long>(args.size())) << letter << text;
            ASSERT_EQ(general.m_closeSeen, 0) << text;
            // A copy is another text, so the readers take the general way.
            const std::string copy(args);
            double slow[6] = {};
            if (count == 1)
                slow[0] = orbelin::ReadDouble(copy);
            else if (count == 2)
                general.ReadNumberPair(copy, slow[0], slow[1]);
            else if (count == 4)
                ASSERT_EQ(general.ReadNumbers4(copy, slow), 1) << text;
            else
                ASSERT_EQ(general.ReadNumbers6(copy, slow), 1) << text;
            ASSERT_EQ(std::memcmp(fast, slow, sizeof(double) * static_cast<std::size_t>(count)), 0)
                << letter << text;
        }
    }
    for (int c = 0; c < 4; ++c)
        EXPECT_GT(taken[c], 1000) << commands[c].first;
}

// Long data: every step must consume data and the whole must be read in one pass.
TEST(PathParserTest, ReadsLongData)
{
    const std::string unit = " L 1 2";
    std::string d = "M0 0";
    while (d.size() < (1u << 20))
        d += unit;
    const std::size_t lines = (d.size() - 4) / unit.size();

    CConverter converter;
    std::string_view data = d;
    std::string_view args;
    std::string command;
    std::size_t steps = 0;
    std::size_t good = 0;
    while (converter.NextPathCommand(args, command, data) != 0)
    {
        ++steps;
        double x = 0;
        double y = 0;
        converter.ReadNumberPair(args, x, y);
        good += orbelin::Trim(command) == "L" && x == 1 && y == 2;
        converter.m_lastCommand = std::string(orbelin::Trim(command));
    }
    EXPECT_EQ(steps, lines + 1);
    EXPECT_EQ(good, lines);

    // Repetition by sign, and broken commands that must still advance.
    const std::pair<std::string, std::string> repeats[] = {{"-1-2", "L -1 -2"}, {"S-1-2z", "S fail"}};
    for (const auto& [unit2, step] : repeats)
    {
        std::string text = "M0 0";
        while (text.size() < (1u << 20))
            text += unit2;
        converter.m_lastCommand.clear();
        const std::string trace = Trace(converter, text);
        EXPECT_EQ(trace.find("LOOP"), std::string::npos);
        std::size_t found = 0;
        for (std::size_t at = trace.find(step); at != std::string::npos; at = trace.find(step, at + 1))
            ++found;
        EXPECT_EQ(found, (text.size() - 4) / unit2.size()) << step;
    }
}

// No data, however malformed, may make a step that leaves the data as it was.
TEST(PathParserTest, EveryStepAdvances)
{
    const std::string alphabet = "MmLlCcSsQqTtAaHhVvZzX0123456789.-e,+ \t\n";
    std::mt19937 random(20240611u);
    std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
    std::uniform_int_distribution<int> length(0, 40);
    CConverter converter;
    for (int round = 0; round < 20000; ++round)
    {
        std::string d;
        for (int i = length(random); i > 0; --i)
            d += alphabet[pick(random)];
        ASSERT_EQ(Trace(converter, d).find("LOOP"), std::string::npos) << d;
    }
}

} // namespace
