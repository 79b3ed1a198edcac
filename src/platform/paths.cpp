#include "platform/paths.h"

#include <filesystem>
#include <system_error>

namespace orbelin
{

std::size_t LastSeparator(std::string_view path)
{
    return path.find_last_of("/\\");
}

std::string ProposeOutputPath(std::string_view inputPath)
{
    const std::size_t separator = LastSeparator(inputPath);
    const std::size_t nameStart = separator == std::string_view::npos ? 0 : separator + 1;
    const std::size_t dot = inputPath.rfind('.');
    std::string out;
    if (dot != std::string_view::npos && dot >= nameStart)
        out = std::string(inputPath.substr(0, dot));
    else
        out = std::string(inputPath);
    return out + ".dxf";
}

std::string FolderOf(std::string_view path)
{
    const std::size_t separator = LastSeparator(path);
    if (separator == std::string_view::npos)
        return std::string(path);
    return std::string(path.substr(0, separator + 1));
}

bool SameFile(const std::string& a, const std::string& b)
{
    if (a == b)
        return true;
    std::error_code ec;
    if (!std::filesystem::exists(a, ec) || !std::filesystem::exists(b, ec))
        return false;
    return std::filesystem::equivalent(a, b, ec);
}

} // namespace orbelin
