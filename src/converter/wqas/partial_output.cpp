#include "partial_output.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

namespace wqas {

namespace {

constexpr char kMark[] = ".wqas-";
constexpr char kPart[] = ".part";
constexpr std::size_t kNameMax = 255; // bytes in one file name

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
    const auto dot = s.name.find_last_of('.');
    if (dot != std::string::npos && dot > 0)
        s.ext = s.name.substr(dot);
    return s;
}

std::string partialFileName(const Split &s, long pid)
{
    const std::string tail = kMark + std::to_string(pid) + kPart + s.ext;
    std::string stem = s.name;
    // A long name is shortened (at a character boundary) so that the
    // temporary name is still a legal file name.
    const std::size_t room = kNameMax > tail.size() + 1 ? kNameMax - tail.size() - 1 : 0;
    if (stem.size() > room) {
        std::size_t cut = room;
        while (cut > 0 && (static_cast<unsigned char>(stem[cut]) & 0xC0) == 0x80)
            --cut;
        stem.resize(cut);
    }
    return "." + stem + tail;
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
    const std::string suffix = kPart + s.ext;
    if (fileName.size() <= suffix.size() || fileName.compare(fileName.size() - suffix.size(), suffix.size(), suffix) != 0)
        return 0;
    const std::size_t digitsEnd = fileName.size() - suffix.size();
    std::size_t digitsStart = digitsEnd;
    while (digitsStart > 0 && fileName[digitsStart - 1] >= '0' && fileName[digitsStart - 1] <= '9')
        --digitsStart;
    if (digitsStart == digitsEnd || digitsEnd - digitsStart > 9)
        return 0;
    const long pid = std::strtol(fileName.substr(digitsStart, digitsEnd - digitsStart).c_str(), nullptr, 10);
    if (pid <= 0)
        return 0;
    return partialFileName(s, pid) == fileName ? pid : 0;
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

int removeLeftoverPartials(const std::string &output)
{
    const Split s = split(output);
    DIR *dir = ::opendir(s.folder.empty() ? "." : s.folder.c_str());
    if (!dir)
        return 0;
    int removed = 0;
    while (const dirent *e = ::readdir(dir)) {
        const std::string name = e->d_name;
        if (name.empty() || name[0] != '.')
            continue;
        const long owner = partialOutputOwner(output, name);
        if (owner == 0 || converterRunning(owner))
            continue;
        if (::unlink((s.folder + name).c_str()) == 0)
            ++removed;
    }
    ::closedir(dir);
    return removed;
}

} // namespace wqas
