#include "partial_output.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include "platform/file_beside.h"

namespace wqas {

namespace {

constexpr char kMark[] = ".wqas-";
constexpr char kPart[] = ".part";

struct Split {
    std::string folder; // with its trailing '/', or empty for the current folder
    std::string name;   // the file name
    std::string ext;    // the file name's extension with its dot, or empty
};

Split split(const std::string &path)
{
    Split s;
    const auto slash = path.find_last_of('/');
    s.folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    s.name = slash == std::string::npos ? path : path.substr(slash + 1);
    // As the encoder reads it: everything from the name's last dot, also when
    // that dot is its first character (".avi" is an AVI file).
    const auto dot = s.name.find_last_of('.');
    if (dot != std::string::npos)
        s.ext = s.name.substr(dot);
    return s;
}

std::string partialFileName(const Split &s, long pid)
{
    return vidmora::platform::besideName(s.name, kMark + std::to_string(pid) + kPart, s.ext);
}

} // namespace

std::string partialOutputPath(const std::string &output, long pid)
{
    const Split s = split(output);
    return s.folder + partialFileName(s, pid);
}

long partialOutputOwner(const std::string &output, const std::string &fileName)
{
    const Split s = split(output);
    if (fileName == s.name)
        return 0; // the output itself is never its own leftover
    // The process id follows a mark; rebuilding the name from it decides.
    const std::string mark = kMark;
    for (auto at = fileName.find(mark); at != std::string::npos; at = fileName.find(mark, at + 1)) {
        const std::size_t digitsStart = at + mark.size();
        std::size_t digitsEnd = digitsStart;
        while (digitsEnd < fileName.size() && fileName[digitsEnd] >= '0' && fileName[digitsEnd] <= '9')
            ++digitsEnd;
        if (digitsEnd == digitsStart || digitsEnd - digitsStart > 9)
            continue;
        const long pid = std::strtol(fileName.substr(digitsStart, digitsEnd - digitsStart).c_str(), nullptr, 10);
        if (pid > 0 && partialFileName(s, pid) == fileName)
            return pid;
    }
    return 0;
}

bool converterRunning(long pid)
{
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%ld/stat", pid);
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    char buffer[512];
    const ssize_t n = ::read(fd, buffer, sizeof buffer - 1);
    ::close(fd);
    if (n <= 0)
        return false;
    buffer[n] = '\0';
    // "pid (name) state ...": the name may hold blanks and parentheses.
    const char *open = std::strchr(buffer, '(');
    const char *close = std::strrchr(buffer, ')');
    if (!open || !close || close < open || close[1] != ' ')
        return false;
    const std::string name(open + 1, close);
    const char state = close[2];
    if (state == 'Z' || state == 'X' || state == 'x')
        return false;
    return name == "wqas.pga";
}

int removeLeftoverPartials(const vidmora::platform::BesideFolder &folder, const std::string &output)
{
    if (!folder.isOpen())
        return 0;
    const int listing = ::openat(folder.fd(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR *dir = listing >= 0 ? ::fdopendir(listing) : nullptr;
    if (!dir) {
        if (listing >= 0)
            ::close(listing);
        return 0;
    }
    int removed = 0;
    while (const dirent *e = ::readdir(dir)) {
        const std::string name = e->d_name;
        if (name.empty() || name[0] != '.')
            continue;
        const long owner = partialOutputOwner(output, name);
        if (owner == 0 || converterRunning(owner))
            continue;
        if (::unlinkat(folder.fd(), name.c_str(), 0) == 0)
            ++removed;
    }
    ::closedir(dir);
    return removed;
}

int removeLeftoverPartials(const std::string &output)
{
    return removeLeftoverPartials(vidmora::platform::BesideFolder(output), output);
}

} // namespace wqas
