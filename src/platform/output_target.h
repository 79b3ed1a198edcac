// The path a drawing is written to, and how the finished drawing gets there without harming what the
// path named before.
#pragma once

#include <string>

namespace orbelin
{

// Temporary files are named kTemporaryPrefix followed by kTemporaryRandomLength letters and digits
// (".orbelin-k3x9q2mz"): hidden, short enough for any folder whose names fit, and recognisable when
// a killed process could not remove one.
extern const char* const kTemporaryPrefix;
constexpr std::size_t kTemporaryRandomLength = 8;

enum class OutputKind
{
    // A temporary file beside the target, renamed over it once complete: the target is either the
    // old drawing or the whole new one, never a mixture.
    Replace,
    // A temporary file first, then copied into the existing file, which keeps its identity: every
    // hard link sees the new drawing, and a folder without room for a temporary file still works.
    CopyInPlace,
    // Written straight into what the path names: standard output, a pipe, a device.
    Stream
};

class COutputTarget
{
public:
    // "-" names standard output.
    explicit COutputTarget(std::string path);
    // Removes the temporary file unless committed.
    ~COutputTarget();
    COutputTarget(const COutputTarget&) = delete;
    COutputTarget& operator=(const COutputTarget&) = delete;

    // Looks at what the path names, refuses what must not be written (a folder, a write-protected
    // file) and prepares the temporary file or opens the stream. False with Error() set.
    bool Prepare();
    OutputKind Kind() const { return m_kind; }
    // Replace and CopyInPlace: the temporary file to write the drawing into.
    const std::string& WorkPath() const { return m_temp; }
    // Stream: the open descriptor, handed over to the caller, who closes it; -1 for the other kinds.
    int TakeStream();
    // Puts the complete drawing in place; false with Error() set. A failed Replace leaves the old
    // target as it was; a CopyInPlace reserves the room first, so that a full disk is found before
    // the first byte of the old drawing is overwritten.
    bool Commit();
    // The errno value of the last failure, 0 when none.
    int Error() const { return m_error; }

private:
    bool Fail(int error);
    bool CreateTemporary(const std::string& folder);
    bool CopyIntoTarget();

    std::string m_path;
    // m_path with its symbolic links followed: the file whose content is replaced.
    std::string m_resolved;
    std::string m_temp;
    OutputKind m_kind = OutputKind::Replace;
    int m_stream = -1;
    int m_slot = -1;
    int m_error = 0;
    bool m_committed = false;
};

// The system's text for an errno value ("Permission denied"); "" for 0.
std::string ReasonText(int error);

} // namespace orbelin
