#include "dxf/handle_seed.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string_view>
#include <system_error>
#include <vector>

// Once more handles were used than the fixed seed allows, a reader would hand out handles that
// already exist. The header is written before the entities are known, so the finished file gets
// the true seed afterwards, in place of the placeholder written first. The header is short and
// fixed, so the group is found near the start. A seed as long as its placeholder is simply written
// over it; otherwise everything after it moves in place, a block at a time (from the end when the
// seed is longer, from the front when it is shorter), so that a drawing of any size needs neither
// its own size in memory nor a second copy on disk.
bool PatchHandleSeed(const std::string& path, const std::string& placeholder, const std::string& seed)
{
    std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
    if (!file)
        return false;
    char headBuffer[512];
    file.read(headBuffer, sizeof headBuffer);
    const std::string_view head(headBuffer, static_cast<std::size_t>(file.gcount()));
    file.clear();
    // "$HANDSEED", its line end, the code line "  5" and its line end, then the value: found the same
    // way whether lines end in LF or CR LF.
    const std::size_t variable = head.find("$HANDSEED");
    if (variable == std::string_view::npos)
        return false;
    const std::size_t value = head.find(placeholder, variable);
    if (value == std::string_view::npos || value - variable > 20)
        return false;
    const auto tailStart = static_cast<std::streamoff>(value + placeholder.size());
    const auto shift =
        static_cast<std::streamoff>(seed.size()) - static_cast<std::streamoff>(placeholder.size());

    file.seekg(0, std::ios::end);
    const std::streamoff end = file.tellg();
    if (end < tailStart)
        return false;
    std::vector<char> block(std::size_t{1} << 20);
    const auto blockSize = static_cast<std::streamoff>(block.size());
    const auto move = [&](std::streamoff from, std::streamoff count)
    {
        file.seekg(from);
        file.read(block.data(), count);
        file.seekp(from + shift);
        file.write(block.data(), count);
    };
    // From the end when the rest moves towards the end of the file, from the front when it moves
    // towards the start, so that no byte is overwritten before it has moved.
    if (shift > 0)
    {
        for (std::streamoff stop = end; file && stop > tailStart;)
        {
            const std::streamoff count = std::min(blockSize, stop - tailStart);
            stop -= count;
            move(stop, count);
        }
    }
    else if (shift < 0)
    {
        for (std::streamoff from = tailStart; file && from < end;)
        {
            const std::streamoff count = std::min(blockSize, end - from);
            move(from, count);
            from += count;
        }
    }
    file.seekp(static_cast<std::streamoff>(value));
    file.write(seed.data(), static_cast<std::streamsize>(seed.size()));
    file.close();
    if (file.fail())
        return false;
    if (shift < 0)
    {
        std::error_code ec;
        std::filesystem::resize_file(path, static_cast<std::uintmax_t>(end + shift), ec);
        return !ec;
    }
    return true;
}
