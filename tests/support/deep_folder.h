#pragma once

#include <algorithm>
#include <cerrno>
#include <string>

#include <limits.h>
#include <sys/stat.h>

namespace vidmora::test {

// A file path of exactly `length` bytes under `base`: folders of 255-byte
// names nested inside one another (made here), and a file name that makes up
// the rest, of at least 64 bytes. Paths near the system's limit (PATH_MAX) are
// where a temporary name beside a file no longer fits as a full path. Empty
// when the folders cannot be made.
inline std::string deepFilePath(const std::string &base, std::size_t length, char fill = 'f')
{
    constexpr std::size_t kName = 255;
    constexpr std::size_t kShortestFileName = 64;
    if (base.size() + 1 + kShortestFileName > length)
        return {};
    std::string folder = base;
    // What is left for the file name; a folder takes it in part while it is too long.
    while (length - folder.size() - 1 > kName) {
        const std::size_t left = length - folder.size() - 1;
        folder += '/' + std::string(std::min(kName, left - 1 - kShortestFileName), 'd');
        if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
            return {};
    }
    return folder + '/' + std::string(length - folder.size() - 1, fill);
}

} // namespace vidmora::test
