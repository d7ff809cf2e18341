#include "platform/file_beside.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vidmora::platform {
namespace {

constexpr std::size_t kNameMax = 255; // bytes in one file name
constexpr int kAttempts = 16;         // fresh names tried before the folder is taken as full

// `text` cut to at most `size` bytes, never inside a UTF-8 character.
std::string cutAt(std::string text, std::size_t size)
{
    if (text.size() <= size)
        return text;
    while (size > 0 && (static_cast<unsigned char>(text[size]) & 0xC0) == 0x80)
        --size;
    text.resize(size);
    return text;
}

std::size_t roomLeft(std::size_t used) { return used < kNameMax - 1 ? kNameMax - 1 - used : 0; }

struct Split {
    std::string folder; // with its trailing '/', or empty for the current folder
    std::string name;
};

Split split(const std::string &path)
{
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return {std::string(), path};
    return {path.substr(0, slash + 1), path.substr(slash + 1)};
}

// Where a link at `path` leads; `path` itself when it is no link. A link to
// nowhere yet leads where it points, so the new file appears there.
std::string followLink(const std::string &path)
{
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
        return path;
    if (char *real = ::realpath(path.c_str(), nullptr)) {
        std::string resolved = real;
        std::free(real);
        return resolved;
    }
    char buffer[PATH_MAX];
    const ssize_t n = ::readlink(path.c_str(), buffer, sizeof buffer);
    if (n <= 0 || std::size_t(n) >= sizeof buffer)
        return path;
    const std::string to(buffer, std::size_t(n));
    return to[0] == '/' ? to : split(path).folder + to;
}

// The mode a file created now gets; read, not set, as another thread may be
// creating files meanwhile.
mode_t defaultMode()
{
    mode_t mask = 022;
    if (std::FILE *status = std::fopen("/proc/self/status", "re")) {
        char line[256];
        while (std::fgets(line, sizeof line, status)) {
            if (std::strncmp(line, "Umask:", 6) == 0) {
                mask = mode_t(std::strtoul(line + 6, nullptr, 8));
                break;
            }
        }
        std::fclose(status);
    }
    return 0666 & ~mask;
}

std::string freshMark()
{
    thread_local std::mt19937_64 random{std::random_device{}()};
    static constexpr char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    std::string mark = ".part-";
    for (std::uint64_t n = random() & 0xFFFFFFFFu;; n /= 36) {
        mark += kDigits[n % 36];
        if (n < 36)
            break;
    }
    return mark;
}

} // namespace

bool isFileName(const std::string &path)
{
    return !path.empty() && path.find('\0') == std::string::npos;
}

std::string besideName(const std::string &name, const std::string &mark, const std::string &extension)
{
    // The name before the mark is shortened first, and an extension too long
    // to fit beside the mark after it.
    std::string ext = cutAt(extension, roomLeft(mark.size()));
    std::string stem = cutAt(name, roomLeft(mark.size() + ext.size()));
    std::string result = "." + stem + mark + ext;
    // A name already of this very form must not be taken for its own
    // temporary file: one byte less tells them apart.
    if (result == name) {
        if (!stem.empty())
            stem = cutAt(stem, stem.size() - 1);
        else
            ext = cutAt(ext, ext.size() - 1);
        result = "." + stem + mark + ext;
    }
    return result;
}

BesideFolder::BesideFolder(const std::string &path)
    : m_fd(AT_FDCWD)
{
    const Split s = split(path);
    m_folder = s.folder;
    m_name = s.name;
    if (s.folder.empty()) {
        m_open = true;
        return;
    }
    if (!isFileName(s.folder)) {
        errno = EINVAL;
        return;
    }
    // Only a handle on the folder: no read or write leave is needed for it.
    m_fd = ::open(s.folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    m_open = m_fd >= 0;
}

BesideFolder::~BesideFolder()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

namespace {

bool renameBetween(int fromFolder, const std::string &from, int toFolder, const std::string &to, Replace replace)
{
    if (!isFileName(from) || !isFileName(to)) {
        errno = EINVAL;
        return false;
    }
    if (replace == Replace::Existing)
        return ::renameat(fromFolder, from.c_str(), toFolder, to.c_str()) == 0;
    if (::renameat2(fromFolder, from.c_str(), toFolder, to.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // A file system that cannot refuse a replacement in the same step.
    struct stat st {};
    if (::fstatat(toFolder, to.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
        errno = EEXIST;
        return false;
    }
    return ::renameat(fromFolder, from.c_str(), toFolder, to.c_str()) == 0;
}

bool fitsPathLimit(const std::string &path)
{
    if (path.size() < PATH_MAX)
        return true;
    errno = ENAMETOOLONG;
    return false;
}

} // namespace

bool commitBeside(const std::string &temporary, const std::string &target, Replace replace)
{
    if (!isFileName(temporary) || !isFileName(target)) {
        errno = EINVAL;
        return false;
    }
    if (!fitsPathLimit(target))
        return false;
    const BesideFolder from(temporary), to(target);
    if (!from.isOpen() || !to.isOpen())
        return false;
    return renameBetween(from.fd(), from.fileName(), to.fd(), to.fileName(), replace);
}

bool commitBeside(const BesideFolder &folder, const std::string &temporaryName, const std::string &targetName,
                  Replace replace)
{
    if (!folder.isOpen()) {
        errno = EBADF;
        return false;
    }
    return renameBetween(folder.fd(), temporaryName, folder.fd(), targetName, replace);
}

bool abandonBeside(const BesideFolder &folder, const std::string &temporaryName)
{
    return folder.isOpen() && isFileName(temporaryName)
           && (::unlinkat(folder.fd(), temporaryName.c_str(), 0) == 0 || errno == ENOENT);
}

bool abandonBeside(const std::string &temporary)
{
    if (!isFileName(temporary))
        return false;
    const BesideFolder folder(temporary);
    // A folder that is not there holds no temporary file.
    return folder.isOpen() ? abandonBeside(folder, folder.fileName()) : errno == ENOENT;
}

FileBeside::FileBeside(std::string target, Existing existing)
    : m_target(std::move(target))
    , m_existing(existing)
{
}

FileBeside::~FileBeside() { abandon(); }

bool FileBeside::open()
{
    if (isOpen() || !isFileName(m_target) || !fitsPathLimit(m_target))
        return false;
    // Replacing a link would cut it: the file it leads to is the target.
    m_target = followLink(m_target);
    if (!fitsPathLimit(m_target))
        return false;
    struct stat st {};
    m_keepMode = -1;
    if (::stat(m_target.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) {
            errno = EISDIR;
            return false;
        }
        if (m_existing == Existing::WritableOnly && ::access(m_target.c_str(), W_OK) != 0)
            return false;
        m_keepMode = int(st.st_mode & 07777);
    }
    auto folder = std::make_unique<BesideFolder>(m_target);
    if (!folder->isOpen())
        return false;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        const std::string name = besideName(folder->fileName(), freshMark());
        // Only its owner may read it until it is in place with its final mode.
        m_fd = ::openat(folder->fd(), name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (m_fd >= 0) {
            m_temporary = folder->folder() + name;
            m_temporaryName = name;
            m_folder = std::move(folder);
            m_failed = false;
            return true;
        }
        if (errno != EEXIST)
            return false; // the folder cannot take a file (a name taken by chance is tried again)
    }
    return false;
}

bool FileBeside::write(const char *data, std::size_t size)
{
    if (!isOpen())
        return false;
    while (!m_failed && size > 0) {
        const ssize_t n = ::write(m_fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            m_failed = true; // a full disk, or a file grown past what this process may write
            break;
        }
        data += n;
        size -= std::size_t(n);
    }
    return !m_failed;
}

bool FileBeside::commit()
{
    if (!isOpen())
        return false;
    bool ok = !m_failed;
    if (ok)
        ::fchmod(m_fd, m_keepMode >= 0 ? mode_t(m_keepMode) : defaultMode());
    ok = ::close(m_fd) == 0 && ok; // a late write error shows at the close
    m_fd = -1;
    ok = ok && commitBeside(*m_folder, m_temporaryName, m_folder->fileName(), Replace::Existing);
    if (!ok) {
        const int why = errno;
        abandonBeside(*m_folder, m_temporaryName);
        errno = why;
    }
    m_folder.reset();
    return ok;
}

void FileBeside::abandon()
{
    if (!isOpen())
        return;
    ::close(m_fd);
    m_fd = -1;
    abandonBeside(*m_folder, m_temporaryName);
    m_folder.reset();
}

} // namespace vidmora::platform
