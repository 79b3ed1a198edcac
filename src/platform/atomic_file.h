#pragma once

#include <string>

namespace orbelin
{

// Written beside the target and renamed over it only when complete, so a failed run never
// leaves a half-written drawing over a good one.
class CAtomicFile
{
public:
    explicit CAtomicFile(std::string target);
    ~CAtomicFile(); // removes the temporary unless committed
    CAtomicFile(const CAtomicFile&) = delete;
    CAtomicFile& operator=(const CAtomicFile&) = delete;

    // False when the temporary could not be created (the folder is missing or not writable).
    bool Create();
    // Renames the temporary over the target; false leaves the old target untouched.
    bool Commit();
    const std::string& TempPath() const { return m_temp; }
    const std::string& Target() const { return m_target; }

private:
    std::string m_target;
    std::string m_temp;
    bool m_created = false;
    bool m_committed = false;
};

} // namespace orbelin
