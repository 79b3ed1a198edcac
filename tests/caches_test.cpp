// Results that are remembered for speed must be exactly what a fresh computation gives, whatever the
// order in which the inputs come.
#include "svg/style.h"

#include <cstdint>
#include <gtest/gtest.h>
#include <vector>

namespace
{

TEST(NearestAciMemoTest, SameIndexInAnyOrder)
{
    std::uint32_t state = 12345;
    const auto next = [&state]
    {
        state = state * 1664525u + 1013904223u;
        return state;
    };
    std::vector<int> colours;
    for (int i = 0; i < 4000; ++i)
        colours.push_back(static_cast<int>(next() & 0xFFFFFFu));
    // The high byte is not part of the colour: it must neither change the index nor spoil the memory.
    colours.push_back(static_cast<int>(0xFF000000u | 0x123456u));
    colours.push_back(0x123456);

    std::vector<int> first;
    for (int rgb : colours)
        first.push_back(NearestAci(rgb));
    // Backwards, and each twice in a row, so remembered and fresh results meet in every slot.
    for (std::size_t i = colours.size(); i-- > 0;)
    {
        EXPECT_EQ(NearestAci(colours[i]), first[i]) << std::hex << colours[i];
        EXPECT_EQ(NearestAci(colours[i]), first[i]) << std::hex << colours[i];
    }
    EXPECT_EQ(first[first.size() - 2], first.back());
    EXPECT_EQ(NearestAci(0x000000), 0);
    EXPECT_EQ(NearestAci(0x0000FF), 1); // red is in the low byte
}

} // namespace
