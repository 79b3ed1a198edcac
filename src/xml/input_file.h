// The open input file as the reader sees it: bytes exactly as stored, a position, windows.
#pragma once

#include "platform/byte_buffer.h"

#include <memory>
#include <string>
#include <string_view>

// The whole file is read once; a window is then a view into that buffer, so moving the reader's
// position costs an offset rather than a file read, while the reader keeps its window rules.
class CInputFile
{
public:
    static constexpr std::size_t kWindowSize = 8192;

    // False when the file cannot be opened or read; Error() then tells why.
    bool Open(const std::string& path);
    // Reads standard input to its end.
    bool OpenStandardInput();
    // The errno value of the last failed Open, 0 when none.
    int Error() const { return m_error; }
    // Takes the bytes from memory (tests, fuzzing).
    void OpenText(std::string text);

    std::size_t GetPosition() const { return m_position; }
    std::size_t GetLength() const { return m_text.size(); }
    // Absolute seek from the start; clamped to the end.
    void Seek(std::size_t position) { m_position = position < GetLength() ? position : GetLength(); }
    // The next up to kWindowSize bytes from the current position (empty at the end). The position
    // does not move: the reader seeks to just after what it consumed.
    std::string_view Window() const;
    // The whole file, for the raw-text pre-pass.
    std::string_view Text() const { return m_text; }
    // Shares the bytes of Text(): they stay valid while the returned owner lives, even after this
    // file is opened again or destroyed.
    std::shared_ptr<const void> TextOwner() const { return m_data; }

private:
    std::shared_ptr<orbelin::CByteBuffer> m_data = std::make_shared<orbelin::CByteBuffer>();
    std::string_view m_text;
    std::size_t m_position = 0;
    int m_error = 0;
};
