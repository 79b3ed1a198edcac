// The platform layer's file buffer and arena: they change how memory is obtained, never what a
// conversion reads.
#include "platform/arena.h"
#include "platform/byte_buffer.h"
#include "support/test_support.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <memory_resource>
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

struct ArenaCase
{
    const char* name;
    std::size_t expected; // the first block's size
    std::size_t pieces;
    std::size_t largest;   // pieces take 1 to largest bytes
    std::size_t alignment; // at most
};

class CArenaTest : public ::testing::TestWithParam<ArenaCase>
{
};

// Every piece is aligned, keeps its bytes while later pieces are handed out (across small heap
// blocks, mapped blocks and pieces larger than any block), and no two overlap.
TEST_P(CArenaTest, PiecesAreAlignedAndKeepTheirBytes)
{
    const ArenaCase& c = GetParam();
    orbelin::CArena arena(c.expected);
    struct Piece
    {
        unsigned char* at;
        std::size_t size;
    };
    std::vector<Piece> pieces;
    for (std::size_t i = 0; i < c.pieces; ++i)
    {
        const std::size_t size = 1 + (i * 7919) % c.largest;
        const std::size_t alignment = std::size_t{1} << (i % 8);
        if (alignment > c.alignment)
            continue;
        auto* const at = static_cast<unsigned char*>(arena.allocate(size, alignment));
        ASSERT_EQ(reinterpret_cast<std::uintptr_t>(at) % alignment, 0u) << i;
        std::memset(at, static_cast<int>(i & 0xFF), size);
        pieces.push_back(Piece{at, size});
    }
    for (std::size_t i = 0; i < pieces.size(); ++i)
    {
        const Piece& piece = pieces[i];
        const auto fill = static_cast<unsigned char>(piece.at[0]);
        for (std::size_t k = 0; k < piece.size; k += 97)
            ASSERT_EQ(piece.at[k], fill) << "piece " << i << " overwritten at " << k;
        ASSERT_EQ(piece.at[piece.size - 1], fill) << "piece " << i;
    }
    EXPECT_GE(arena.Reserved(), pieces.empty() ? 0 : pieces.back().size);
}

INSTANTIATE_TEST_SUITE_P(Sizes, CArenaTest,
                         ::testing::Values(ArenaCase{"SmallFromTheHeap", 0, 20000, 64, 128},
                                           ArenaCase{"LargeMapped", std::size_t{8} << 20, 200000, 200, 64},
                                           ArenaCase{"PiecesLargerThanBlocks", 0, 40, std::size_t{5} << 20,
                                                     16},
                                           ArenaCase{"OnePieceFillsTheFirstBlock", 4096, 3, 4096, 8}),
                         [](const ::testing::TestParamInfo<ArenaCase>& row)
                         { return std::string(row.param.name); });

// The file's text that a tree views lives as long as the arena, and is kept once however many
// elements ask for it.
TEST(CArenaTest, KeepsOwnersUntilItGoes)
{
    auto owner = std::make_shared<std::string>("text");
    const std::weak_ptr<std::string> watch = owner;
    {
        orbelin::CArena arena;
        arena.Keep(owner);
        arena.Keep(owner);
        arena.Keep(nullptr);
        EXPECT_EQ(owner.use_count(), 2);
        owner.reset();
        EXPECT_FALSE(watch.expired());
    }
    EXPECT_TRUE(watch.expired());
}

// Containers over the arena grow as over the heap.
TEST(CArenaTest, ServesContainers)
{
    orbelin::CArena arena(std::size_t{4} << 20);
    std::pmr::vector<std::pmr::string> strings(&arena);
    for (int i = 0; i < 20000; ++i)
        strings.emplace_back(Pattern(static_cast<std::size_t>(i % 700)));
    for (int i = 0; i < 20000; i += 997)
        EXPECT_EQ(std::string(strings[static_cast<std::size_t>(i)]),
                  Pattern(static_cast<std::size_t>(i % 700)));
}

} // namespace
