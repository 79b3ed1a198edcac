#include "xml/input_file.h"

#include <unistd.h>

bool CInputFile::Open(const std::string& path)
{
    m_position = 0;
    // A fresh buffer: a tree read from the last one may still view it.
    m_data = std::make_shared<orbelin::CByteBuffer>();
    m_error = 0;
    const bool read = m_data->ReadFile(path, &m_error);
    m_text = m_data->View();
    return read;
}

bool CInputFile::OpenStandardInput()
{
    m_position = 0;
    m_data = std::make_shared<orbelin::CByteBuffer>();
    m_error = 0;
    const bool read = m_data->ReadStream(STDIN_FILENO, &m_error);
    m_text = m_data->View();
    return read;
}

void CInputFile::OpenText(std::string text)
{
    m_data = std::make_shared<orbelin::CByteBuffer>();
    m_data->Assign(text);
    m_text = m_data->View();
    m_position = 0;
}

std::string_view CInputFile::Window() const
{
    std::string_view rest = m_text;
    rest.remove_prefix(m_position);
    return rest.substr(0, kWindowSize);
}
