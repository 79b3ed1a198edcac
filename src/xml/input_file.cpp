#include "xml/input_file.h"

#include <filesystem>
#include <fstream>
#include <iterator>

bool CInputFile::Open(const std::string& path)
{
    // A folder opens as a stream on Linux but has no bytes to give; it is not an input file.
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec))
        return false;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    if (size < 0)
        return false;
    in.seekg(0, std::ios::beg);
    std::string data(static_cast<std::size_t>(size), '\0');
    if (size > 0 && !in.read(data.data(), size))
        return false;
    m_data = std::move(data);
    m_position = 0;
    return true;
}

void CInputFile::OpenText(std::string text)
{
    m_data = std::move(text);
    m_position = 0;
}

std::string_view CInputFile::Window() const
{
    std::string_view rest(m_data);
    rest.remove_prefix(m_position);
    return rest.substr(0, kWindowSize);
}
