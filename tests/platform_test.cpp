// The platform layer's file buffer and heap preparation: they change how memory is obtained, never
// what a conversion reads.
#include "platform/byte_buffer.h"
#include "platform/heap.h"
#include "support/test_support.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <utility>
#include <vector>

using namespace testing_support;

namespace
{

std::string Pattern(std::size_t size)
{
    std::string text(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        text[i] = static_cast<char>((i * 131 + i / 4099) & 0xFF);
    return text;
}

// Small files come from the heap, large ones from a mapping of their own; both read exactly.
TEST(CByteBufferTest, ReadsFilesOfEverySize)
{
    for (const std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{8191}, std::size_t{1} << 20,
                                   (std::size_t{3} << 20) + 17})
    {
        const std::filesystem::path path = ScratchDir() / ("bytes-" + std::to_string(size));
        const std::string text = Pattern(size);
        WriteFile(path, text);
        orbelin::CByteBuffer buffer;
        ASSERT_TRUE(buffer.ReadFile(path.string())) << size;
        EXPECT_TRUE(buffer.View() == text) << size;
        std::filesystem::remove(path);
    }
}

TEST(CByteBufferTest, RefusesWhatIsNoFile)
{
    orbelin::CByteBuffer buffer;
    buffer.Assign("left over");
    EXPECT_FALSE(buffer.ReadFile((ScratchDir() / "missing.svg").string()));
    EXPECT_TRUE(buffer.View().empty());
    EXPECT_FALSE(buffer.ReadFile(ScratchDir().string()));
    EXPECT_TRUE(buffer.View().empty());
}

TEST(CByteBufferTest, AssignsAndMoves)
{
    for (const std::size_t size : {std::size_t{0}, std::size_t{5}, std::size_t{2} << 20})
    {
        const std::string text = Pattern(size);
        orbelin::CByteBuffer first;
        first.Assign(text);
        orbelin::CByteBuffer second(std::move(first));
        EXPECT_TRUE(first.View().empty());
        EXPECT_TRUE(second.View() == text);
        orbelin::CByteBuffer third;
        third.Assign("replaced");
        third = std::move(second);
        EXPECT_TRUE(third.View() == text);
    }
}

// Whatever the heap preparation does, allocations before, during and after it behave as ever,
// including when guards follow each other.
TEST(CLargePageHeapTest, HeapServesAsBefore)
{
    std::vector<std::string> kept;
    for (int round = 0; round < 2; ++round)
    {
        const orbelin::CLargePageHeap heap(std::size_t{64} << 20);
        std::vector<std::string> strings;
        for (int i = 0; i < 20000; ++i)
            strings.push_back(Pattern(static_cast<std::size_t>(i % 700)));
        void* large = std::malloc(std::size_t{40} << 20);
        ASSERT_NE(large, nullptr);
        std::memset(large, 0x5A, std::size_t{40} << 20);
        std::free(large);
        for (int i = 0; i < 20000; i += 997)
            EXPECT_EQ(strings[static_cast<std::size_t>(i)], Pattern(static_cast<std::size_t>(i % 700)));
        kept.push_back(strings.back());
    }
    EXPECT_EQ(kept[0], kept[1]);
    const orbelin::CLargePageHeap small(1000); // too small to be worth anything: no change
    EXPECT_EQ(Pattern(10).size(), 10u);
}

} // namespace
