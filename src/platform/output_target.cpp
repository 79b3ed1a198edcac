#include "platform/output_target.h"

#include "platform/signal_cleanup.h"

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <vector>

namespace orbelin
{

const char* const kTemporaryPrefix = ".orbelin-";

namespace
{

// As many links as the system itself follows before it gives up with ELOOP.
constexpr int kMostLinks = 40;
// How long a pipe without a reader is given to get one: a reader started just after the
// conversion still finds the drawing, and nobody waits forever.
constexpr auto kReaderWait = std::chrono::seconds(5);
constexpr auto kReaderPoll = std::chrono::milliseconds(20);

std::string FolderPart(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return {};
    return path.substr(0, slash + 1);
}

// Follows symbolic links as open() would, so that the file a link names gets the drawing and the
// link stays a link. exists is false when the last name does not exist (a new file, or a dangling
// link whose file is to be created). Only for regular files and new names: a link in /proc may
// name a pipe by a text that is no path.
int Resolve(const std::string& path, std::string& resolved, struct stat& info, bool& exists)
{
    std::string current = path;
    for (int hops = 0; hops <= kMostLinks; ++hops)
    {
        if (::lstat(current.c_str(), &info) != 0)
        {
            if (errno != ENOENT)
                return errno;
            exists = false;
            resolved = current;
            return 0;
        }
        if (!S_ISLNK(info.st_mode))
        {
            exists = true;
            resolved = current;
            return 0;
        }
        std::vector<char> buffer(PATH_MAX);
        const ssize_t length = ::readlink(current.c_str(), buffer.data(), buffer.size());
        if (length < 0)
            return errno;
        std::string next(buffer.data(), static_cast<std::size_t>(length));
        if (next.empty())
            return ENOENT;
        current = next[0] == '/' ? next : FolderPart(current) + next;
    }
    return ELOOP;
}

// Nobody may write a file without write permission bits, not even root: such a file was protected
// on purpose.
int WriteRefusal(const std::string& path, const struct stat& info)
{
    if ((info.st_mode & 0222) == 0)
        return EACCES;
    if (::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0)
        return errno;
    return 0;
}

std::string TemporaryName()
{
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937_64 random{
        std::random_device{}() ^ static_cast<std::uint64_t>(::getpid()) << 32 ^
        static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count())};
    std::string name = kTemporaryPrefix;
    for (std::size_t i = 0; i < kTemporaryRandomLength; ++i)
        name += kLetters[random() % (sizeof kLetters - 1)];
    return name;
}

std::string SystemTemporaryFolder()
{
    const char* folder = std::getenv("TMPDIR");
    std::string path = folder != nullptr && *folder != '\0' ? folder : "/tmp";
    if (path.back() != '/')
        path += '/';
    return path;
}

bool WriteAll(int fd, const char* data, std::size_t size, off_t offset)
{
    while (size > 0)
    {
        const ssize_t written = ::pwrite(fd, data, size, offset);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
        {
            if (written == 0)
                errno = EIO;
            return false;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
        offset += written;
    }
    return true;
}

} // namespace

COutputTarget::COutputTarget(std::string path) : m_path(std::move(path)) {}

COutputTarget::~COutputTarget()
{
    if (!m_temp.empty() && !m_committed)
        ::unlink(m_temp.c_str());
    UnregisterTemporary(m_slot);
    if (m_stream >= 0)
        ::close(m_stream);
}

bool COutputTarget::Fail(int error)
{
    m_error = error != 0 ? error : EIO;
    return false;
}

int COutputTarget::TakeStream()
{
    const int fd = m_stream;
    m_stream = -1;
    return fd;
}

bool COutputTarget::CreateTemporary(const std::string& folder)
{
    // Replacing a file: private until it has the old file's owner and mode. A new file: the
    // permissions any new file gets (0666 less the umask, applied by the system itself).
    const bool replacing = m_kind == OutputKind::Replace && ::access(m_resolved.c_str(), F_OK) == 0;
    const mode_t mode = m_kind == OutputKind::Replace && !replacing ? 0666 : 0600;
    for (int attempt = 0; attempt < 100; ++attempt)
    {
        const std::string candidate = folder + TemporaryName();
        // Registered before it exists, so that no moment is left in which a signal would miss it.
        const int slot = RegisterTemporary(candidate.c_str());
        const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd < 0)
        {
            const int error = errno;
            UnregisterTemporary(slot);
            if (error == EEXIST)
                continue;
            return Fail(error);
        }
        if (replacing)
        {
            struct stat old = {};
            if (::stat(m_resolved.c_str(), &old) == 0)
            {
                // The owner first: changing it may clear the set-id bits that the mode then restores.
                // A user may not give a file away; the drawing is then theirs, as any file they write.
                if (::fchown(fd, old.st_uid, old.st_gid) != 0)
                    (void)::fchown(fd, static_cast<uid_t>(-1), old.st_gid);
                ::fchmod(fd, old.st_mode & 07777);
            }
        }
        ::close(fd);
        m_temp = candidate;
        m_slot = slot;
        return true;
    }
    return Fail(EEXIST);
}

bool COutputTarget::Prepare()
{
    m_error = 0;
    if (m_path == "-")
    {
        m_kind = OutputKind::Stream;
        m_stream = ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
        return m_stream >= 0 || Fail(errno);
    }
    struct stat info = {};
    bool exists = ::stat(m_path.c_str(), &info) == 0;
    if (!exists && errno != ENOENT)
        return Fail(errno);
    if (exists && !S_ISREG(info.st_mode))
        m_resolved = m_path; // opened as named: /dev/stdout may lead to a pipe that has no path
    else if (const int error = Resolve(m_path, m_resolved, info, exists))
        return Fail(error);
    const std::string folder = FolderPart(m_resolved);
    if (!exists)
    {
        m_kind = OutputKind::Replace;
        return CreateTemporary(folder);
    }
    if (S_ISDIR(info.st_mode))
        return Fail(EISDIR);
    if (!S_ISREG(info.st_mode))
    {
        // A device or a pipe is written in place: renaming over it would replace the node itself.
        m_kind = OutputKind::Stream;
        const bool pipe = S_ISFIFO(info.st_mode);
        const int flags = O_WRONLY | O_CLOEXEC | O_NOCTTY | (pipe ? O_NONBLOCK : 0);
        const auto giveUp = std::chrono::steady_clock::now() + kReaderWait;
        for (;;)
        {
            m_stream = ::open(m_resolved.c_str(), flags);
            if (m_stream >= 0 || errno != ENXIO || !pipe || std::chrono::steady_clock::now() >= giveUp)
                break;
            std::this_thread::sleep_for(kReaderPoll);
        }
        if (m_stream < 0)
            return Fail(errno);
        if (pipe)
            ::fcntl(m_stream, F_SETFL, ::fcntl(m_stream, F_GETFL) & ~O_NONBLOCK);
        return true;
    }
    if (const int error = WriteRefusal(m_resolved, info))
        return Fail(error);
    if (info.st_nlink > 1)
    {
        m_kind = OutputKind::CopyInPlace;
        return CreateTemporary(folder) || CreateTemporary(SystemTemporaryFolder());
    }
    m_kind = OutputKind::Replace;
    if (CreateTemporary(folder))
        return true;
    // The file may be written but its folder takes no new names: the drawing is copied in instead.
    m_kind = OutputKind::CopyInPlace;
    const int folderError = m_error;
    if (CreateTemporary(SystemTemporaryFolder()))
    {
        m_error = 0;
        return true;
    }
    return Fail(folderError);
}

bool COutputTarget::CopyIntoTarget()
{
    // Interrupted half-way, the file would hold part of each drawing.
    const CSignalsDeferred uninterrupted;
    const int in = ::open(m_temp.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return Fail(errno);
    const int out = ::open(m_resolved.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
    if (out < 0)
    {
        const int error = errno;
        ::close(in);
        return Fail(error);
    }
    struct stat source = {};
    struct stat target = {};
    bool ok = ::fstat(in, &source) == 0 && ::fstat(out, &target) == 0;
    int error = ok ? 0 : errno;
    // The room is taken before anything is overwritten; a file system that cannot reserve it
    // (EOPNOTSUPP) is written as it comes.
    if (ok && source.st_size > target.st_size && ::fallocate(out, 0, 0, source.st_size) != 0 &&
        errno != EOPNOTSUPP && errno != ENOSYS)
    {
        ok = false;
        error = errno;
    }
    std::vector<char> block(std::size_t{1} << 20);
    off_t offset = 0;
    while (ok)
    {
        const ssize_t got = ::pread(in, block.data(), block.size(), offset);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
        {
            ok = false;
            error = errno;
            break;
        }
        if (got == 0)
            break;
        if (!WriteAll(out, block.data(), static_cast<std::size_t>(got), offset))
        {
            ok = false;
            error = errno;
            break;
        }
        offset += got;
    }
    if (ok && ::ftruncate(out, offset) != 0)
    {
        ok = false;
        error = errno;
    }
    ::close(in);
    if (::close(out) != 0 && ok)
    {
        ok = false;
        error = errno;
    }
    return ok || Fail(error);
}

bool COutputTarget::Commit()
{
    if (m_committed)
        return true;
    if (m_kind == OutputKind::Stream)
    {
        m_committed = true;
        return true;
    }
    if (m_temp.empty())
        return Fail(ENOENT);
    if (m_kind == OutputKind::Replace)
    {
        if (::rename(m_temp.c_str(), m_resolved.c_str()) != 0)
            return Fail(errno);
    }
    else
    {
        if (!CopyIntoTarget())
            return false;
        ::unlink(m_temp.c_str());
    }
    m_committed = true;
    UnregisterTemporary(m_slot);
    m_slot = -1;
    return true;
}

std::string ReasonText(int error)
{
    if (error == 0)
        return {};
    return std::generic_category().message(error);
}

} // namespace orbelin
