#pragma once

// Writing a file beside its target and renaming it into place, so that the
// target holds either what it held before (or stays absent) or the whole new
// content, never a part of it. One set of rules for every writer of the
// programs:
//
// - A path that is empty or holds a NUL is refused: cut at the NUL, the name
//   would be another file than the one asked for.
// - The temporary file is hidden in the target's own folder (a rename never
//   crosses file systems) and its name fits the 255-byte limit whenever the
//   target's does (besideName).
// - Commit renames it over the target; a failed write (a full disk) or a
//   failed rename removes it, and so does abandon. The data is left to the
//   page cache like any other write: a sync would double the time of a large
//   download for no gain the user sees.
// - Files are made, renamed and removed by their name inside the folder, held
//   open: a target whose path is just under the system's limit (PATH_MAX,
//   4,095 bytes) still gets its temporary file, whose own full path would be
//   past that limit. A target path at or past the limit is refused, as the
//   system refuses to open it.
//
// Plain C++ and POSIX: the converter program, which links no Qt, uses the
// naming and the commit too (its encoder writes the temporary file itself).

#include <cstddef>
#include <memory>
#include <string>

namespace vidmora::platform {

// Whether `path` can name a file: not empty, and no NUL in it.
bool isFileName(const std::string &path);

// The temporary name for a file called `name` (without its folder):
// "." + name + mark + extension. The name is shortened first, then the
// extension (never inside a UTF-8 character), so that the result fits 255
// bytes; a name that is already of that very form gets one byte less, so the
// result is never `name` itself.
std::string besideName(const std::string &name, const std::string &mark, const std::string &extension = {});

enum class Replace {
    Existing, // the target is replaced when it is there
    Never,    // a target that is there, or appears meanwhile, is kept
};

// The folder that holds `path`, open for naming files inside it (the current
// folder for a bare name). Its files are reached by name whatever the length
// of the folder's own path, and it stays the folder it was when it is renamed.
class BesideFolder final {
public:
    explicit BesideFolder(const std::string &path);
    ~BesideFolder();
    BesideFolder(const BesideFolder &) = delete;
    BesideFolder &operator=(const BesideFolder &) = delete;

    // False when the folder cannot be opened (it is missing, or no folder).
    bool isOpen() const { return m_open; }
    // For the *at calls: a descriptor of the folder, or AT_FDCWD.
    int fd() const { return m_fd; }
    // The path's folder with its trailing '/' (empty for the current folder).
    const std::string &folder() const { return m_folder; }
    // The path's file name, without its folder.
    const std::string &fileName() const { return m_name; }

private:
    std::string m_folder, m_name;
    int m_fd;
    bool m_open = false;
};

// Renames `temporary` onto `target` (a link at the target is replaced, not
// followed). False with errno telling why (EEXIST for a target kept by
// Replace::Never, ENAMETOOLONG for a target path past the limit); the
// temporary file is then left for the caller to abandon, after it has read
// errno.
bool commitBeside(const std::string &temporary, const std::string &target, Replace replace);
// The same for two files of `folder`, each given by its name in it.
bool commitBeside(const BesideFolder &folder, const std::string &temporaryName, const std::string &targetName,
                  Replace replace);

// Removes the temporary file; whether it is gone.
bool abandonBeside(const std::string &temporary);
bool abandonBeside(const BesideFolder &folder, const std::string &temporaryName);

// A file this process writes under a fresh temporary name beside its target
// (besideName with ".part-" and a random tag: a name taken already is tried
// again, so two writers of one target never share a temporary file).
// A link at the target keeps leading where it did: the file it names is the
// one replaced. A replaced file keeps its mode (the temporary file is only
// ever readable by its owner until then); a new one gets the default mode.
// What is not committed is abandoned when the object goes.
class FileBeside final {
public:
    enum class Existing {
        Replace,       // an existing target is replaced whatever its mode
        WritableOnly,  // an existing target that may not be written is refused
    };

    explicit FileBeside(std::string target, Existing existing = Existing::Replace);
    ~FileBeside();
    FileBeside(const FileBeside &) = delete;
    FileBeside &operator=(const FileBeside &) = delete;

    // Creates the temporary file. False when the target is no file name, is a
    // folder, is refused by `Existing`, or its folder cannot take a new file.
    bool open();
    // False once any write has failed.
    bool write(const char *data, std::size_t size);
    // Puts what was written in the target's place. False when the file was
    // not open, a write or its close failed or the rename did; the temporary
    // file is gone either way.
    bool commit();
    // Removes the temporary file; the target stays as it was.
    void abandon();

    bool isOpen() const { return m_fd >= 0; }
    // Empty until open() has made it.
    const std::string &temporaryPath() const { return m_temporary; }

private:
    std::string m_target;
    std::string m_temporary;
    std::unique_ptr<BesideFolder> m_folder; // the target's, while the temporary file is there
    std::string m_temporaryName;            // its name in that folder
    Existing m_existing;
    int m_keepMode = -1; // the replaced file's mode, or -1 for a new file
    int m_fd = -1;
    bool m_failed = false;
};

} // namespace vidmora::platform
