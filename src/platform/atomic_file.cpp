#include "platform/atomic_file.h"

#include "platform/paths.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace orbelin
{

CAtomicFile::CAtomicFile(std::string target) : m_target(std::move(target)) {}

CAtomicFile::~CAtomicFile()
{
    if (m_created && !m_committed)
        std::remove(m_temp.c_str());
}

bool CAtomicFile::Create()
{
    // mkstemp gives a name nobody else holds, in the target's own folder so that the final
    // rename stays on one file system and is atomic.
    std::string pattern = m_target + ".XXXXXX";
    int fd = mkstemp(pattern.data());
    if (fd < 0)
        return false;
    // mkstemp makes the file private; a drawing gets the permissions any new file would get.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    close(fd);
    m_temp = pattern;
    m_created = true;
    return true;
}

bool CAtomicFile::Commit()
{
    if (!m_created || m_committed)
        return false;
    if (std::rename(m_temp.c_str(), m_target.c_str()) != 0)
        return false;
    m_committed = true;
    return true;
}

} // namespace orbelin
