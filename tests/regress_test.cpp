// Every input a fuzzer ever failed on (tests/data/regress/<target>-<what>.*) and every seed of the
// fuzz corpora, replayed through the fuzz bodies, so a finding stays fixed in the ordinary builds.
#include "support/fuzz_bodies.h"
#include "support/test_support.h"

#include <algorithm>
#include <cctype>
#include <gtest/gtest.h>

using namespace testing_support;

namespace
{

struct ReplayCase
{
    std::string target;
    std::filesystem::path file;
    std::string name;

    friend void PrintTo(const ReplayCase& c, std::ostream* out) { *out << c.file; }
};

std::string TestName(std::string text)
{
    std::replace_if(
        text.begin(), text.end(), [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
    return text;
}

std::vector<ReplayCase> Cases()
{
    std::vector<ReplayCase> cases;
    const auto regress = DataDir() / "regress";
    if (std::filesystem::exists(regress))
        for (const auto& entry : std::filesystem::directory_iterator(regress))
        {
            const std::string stem = entry.path().filename().string();
            const std::string target = stem.substr(0, stem.find('-'));
            if (entry.is_regular_file() && stem.find('-') != std::string::npos)
                cases.push_back({target, entry.path(), "regress_" + TestName(stem)});
        }
    const auto corpus = DataDir().parent_path() / "fuzz" / "corpus";
    for (const char* target : {"xml", "path", "style", "css", "conversion"})
        if (std::filesystem::exists(corpus / target))
            for (const auto& entry : std::filesystem::directory_iterator(corpus / target))
                cases.push_back(
                    {target, entry.path(),
                     std::string("seed_") + target + "_" + TestName(entry.path().filename().string())});
    std::sort(cases.begin(), cases.end(),
              [](const ReplayCase& a, const ReplayCase& b) { return a.name < b.name; });
    return cases;
}

class ReplayTest : public ::testing::TestWithParam<ReplayCase>
{
};

TEST_P(ReplayTest, IsHandledSafely)
{
    const ReplayCase& c = GetParam();
    EXPECT_EQ(orbelin_fuzz::FuzzByName(c.target, ReadFile(c.file)), "") << c.file;
}

INSTANTIATE_TEST_SUITE_P(Inputs, ReplayTest, ::testing::ValuesIn(Cases()),
                         [](const auto& row) { return row.param.name; });

} // namespace
