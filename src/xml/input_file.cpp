#include "xml/input_file.h"

bool CInputFile::Open(const std::string& path)
{
    m_position = 0;
    return m_data.ReadFile(path);
}

void CInputFile::OpenText(std::string text)
{
    m_data.Assign(text);
    m_position = 0;
}

std::string_view CInputFile::Window() const
{
    std::string_view rest = m_data.View();
    rest.remove_prefix(m_position);
    return rest.substr(0, kWindowSize);
}
