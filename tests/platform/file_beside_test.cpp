// Writing a file beside its target and renaming it into place: the temporary
// name, and what a folder holds after each way a write can end.
#include "platform/file_beside.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <cerrno>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <sstream>
#include <string>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include "deep_folder.h"
#include "file_size_limit.h"
#include "ordinary_user.h"

using vidmora::platform::abandonBeside;
using vidmora::platform::besideName;
using vidmora::platform::commitBeside;
using vidmora::platform::FileBeside;
using vidmora::platform::Replace;

namespace {

bool isUtf8(const std::string &s)
{
    for (std::size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        const std::size_t n = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
        if (n == 0 || i + n > s.size())
            return false;
        for (std::size_t k = 1; k < n; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80)
                return false;
        i += n;
    }
    return true;
}

TEST(FileBeside, TheTemporaryNameIsHiddenNeverTheTargetsAndFitsWhereTheTargetFits)
{
    const std::string cjk = "\xE6\x97\xA5";
    struct Case {
        std::string name, mark, extension;
        std::string expected = {}; // empty: only the rules are checked
    } cases[] = {
        {"clip.flv", ".part-k3", "", ".clip.flv.part-k3"},
        {"Lake Day.avi", ".wqas-4242.part", ".avi", ".Lake Day.avi.wqas-4242.part.avi"},
        {".avi", ".wqas-7.part", ".avi", "..avi.wqas-7.part.avi"},
        {"fis.tmp", ".part-0", "", ".fis.tmp.part-0"},
        {std::string(255, 'a'), ".part-zzzzzz", ""},
        {std::string(250, 'a') + ".avi", ".wqas-123456.part", ".avi"},
        {"a." + std::string(240, 'e'), ".wqas-5.part", "." + std::string(240, 'e')}, // an extension too long to keep
        {std::string(240, '.') + ".part-x", ".part-x", ""},        // already of the form "." + name + mark
        {std::string(241, '.') + ".wqas-5.part.e", ".wqas-5.part", ".e"},
        {"." + std::string(254, 'e'), ".wqas-5.part", "." + std::string(254, 'e')},
        {std::string(200, 'a') + cjk + cjk + cjk + cjk + ".avi", ".wqas-99999.part", ".avi"},
        {std::string(84, 'a') + std::string(57, '\xC3') + ".avi", ".wqas-5.part", ".avi"}, // not UTF-8 at all
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name + " | " + c.mark);
        const std::string name = besideName(c.name, c.mark, c.extension);
        if (!c.expected.empty()) {
            EXPECT_EQ(name, c.expected);
        }
        EXPECT_EQ(name[0], '.') << "hidden";
        EXPECT_NE(name, c.name);
        EXPECT_LE(name.size(), 255u);
        EXPECT_NE(name.find(c.mark), std::string::npos) << "the mark is whole";
        if (c.extension.size() <= 32) {
            EXPECT_EQ(name.substr(name.size() - c.extension.size()), c.extension) << "the extension stays last";
        }
        if (isUtf8(c.name)) {
            EXPECT_TRUE(isUtf8(name)) << "no character is cut";
        }
    }
}

std::string contentOf(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

bool put(const std::string &path, const std::string &bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    return bool(out.flush());
}

// Every entry of `dir`, hidden ones too: a file by its content, a link by
// where it leads, a folder as "<folder>".
std::map<std::string, std::string> entries(const std::string &dir)
{
    std::map<std::string, std::string> found;
    DIR *d = ::opendir(dir.c_str());
    while (d) {
        const dirent *e = ::readdir(d);
        if (!e)
            break;
        const std::string name = e->d_name;
        if (name == "." || name == "..")
            continue;
        const std::string path = dir + "/" + name;
        struct stat st {};
        ::lstat(path.c_str(), &st);
        if (S_ISLNK(st.st_mode)) {
            char to[512];
            const ssize_t n = ::readlink(path.c_str(), to, sizeof to);
            found[name] = "-> " + std::string(to, n > 0 ? std::size_t(n) : 0);
        } else {
            found[name] = S_ISDIR(st.st_mode) ? "<folder>" : contentOf(path);
        }
    }
    if (d)
        ::closedir(d);
    return found;
}

enum class End { Commit, Abandon, Drop };

struct WriteCase {
    const char *what;
    std::function<void(const std::string &dir)> before; // what the folder holds first
    std::string target;                                 // in the folder
    std::string bytes = "payload";
    FileBeside::Existing existing = FileBeside::Existing::Replace;
    std::function<void(const std::string &dir)> meanwhile = {}; // done between open and write
    rlim_t fileLimit = 0; // a write beyond it fails, as on a full disk; 0 for none
    End end = End::Commit;
    bool opens = true, commits = true;
    std::map<std::string, std::string> after; // every entry of the folder at the end
    bool asRoot = true;                       // whether the case holds for the superuser too
};

// A case that permissions decide, run by an ordinary user in a child: the
// folder is made and filled here, the write is done there.
void writeAsOrdinaryUser(const WriteCase &c)
{
    ASSERT_FALSE(c.meanwhile || c.fileLimit) << "not done in the child";
    vidmora::test::OrdinaryUserDir dir;
    ASSERT_TRUE(dir.isValid());
    c.before(dir.path());
    const vidmora::test::ChildOutcome child = vidmora::test::runAsOrdinaryUser([&c, &dir] {
        std::string steps;
        FileBeside file(dir.filePath(c.target), c.existing);
        steps += file.open() ? "opened" : "not opened";
        steps += file.write(c.bytes.data(), c.bytes.size()) ? ", written" : ", not written";
        if (c.end == End::Commit) {
            steps += file.commit() ? ", committed" : ", not committed";
        } else if (c.end == End::Abandon) {
            file.abandon();
        }
        if (c.end != End::Drop && file.isOpen())
            steps += ", still open";
        return steps;
    });
    ASSERT_TRUE(child.ran) << child.describe();
    std::string expected = c.opens ? "opened, written" : "not opened, not written";
    if (c.end == End::Commit)
        expected += c.commits ? ", committed" : ", not committed";
    EXPECT_EQ(child.report, expected);
    EXPECT_EQ(entries(dir.path()), c.after);
}

TEST(FileBeside, AFileIsInPlaceWholeOrTheTargetIsAsItWasAndNothingIsLeftBeside)
{
    const auto nothing = [](const std::string &) {};
    const auto old = [](const std::string &dir) { ASSERT_TRUE(put(dir + "/clip.flv", "the old content")); };
    const auto readOnly = [](const std::string &dir) {
        ASSERT_TRUE(put(dir + "/clip.flv", "old"));
        ASSERT_EQ(::chmod((dir + "/clip.flv").c_str(), 0444), 0);
    };
    const std::string big(64 * 1024, 'x');
    const std::string longName(255, 'n');
    const WriteCase cases[] = {
        {.what = "a new file", .before = nothing, .target = "clip.flv", .after = {{"clip.flv", "payload"}}},
        {.what = "a longer file replaced", .before = old, .target = "clip.flv", .bytes = "new",
         .after = {{"clip.flv", "new"}}},
        {.what = "an empty file", .before = old, .target = "clip.flv", .bytes = "", .after = {{"clip.flv", ""}}},
        {.what = "abandoned", .before = old, .target = "clip.flv", .end = End::Abandon, .commits = false,
         .after = {{"clip.flv", "the old content"}}},
        {.what = "dropped uncommitted", .before = old, .target = "clip.flv", .end = End::Drop, .commits = false,
         .after = {{"clip.flv", "the old content"}}},
        {.what = "a full disk", .before = old, .target = "clip.flv", .bytes = big, .fileLimit = 4096,
         .commits = false, .after = {{"clip.flv", "the old content"}}},
        {.what = "a full disk, no earlier file", .before = nothing, .target = "clip.flv", .bytes = big,
         .fileLimit = 4096, .commits = false, .after = {}},
        {.what = "a full disk that still takes the content", .before = old, .target = "clip.flv", .bytes = "new",
         .fileLimit = 4096, .after = {{"clip.flv", "new"}}},
        // Cut at the NUL, the name would be a file the user already has.
        {.what = "a name holding a NUL", .before = [](const std::string &dir) { ASSERT_TRUE(put(dir + "/.bashrc", "mine")); },
         .target = std::string(".bashrc\0 tail.flv", 17), .opens = false, .commits = false,
         .after = {{".bashrc", "mine"}}},
        {.what = "an empty name", .before = nothing, .target = "", .opens = false, .commits = false, .after = {}},
        {.what = "a folder in the way",
         .before = [](const std::string &dir) { ASSERT_EQ(::mkdir((dir + "/clip.flv").c_str(), 0700), 0); },
         .target = "clip.flv", .opens = false, .commits = false, .after = {{"clip.flv", "<folder>"}}},
        {.what = "a missing folder", .before = nothing, .target = "no-such/clip.flv", .opens = false,
         .commits = false, .after = {}},
        // The rename itself fails: a folder that is not empty took the target's place meanwhile.
        {.what = "the rename fails", .before = nothing, .target = "late",
         .meanwhile =
             [](const std::string &dir) {
                 ASSERT_EQ(::mkdir((dir + "/late").c_str(), 0700), 0);
                 ASSERT_TRUE(put(dir + "/late/x", "x"));
             },
         .commits = false, .after = {{"late", "<folder>"}}},
        {.what = "a name of 255 bytes", .before = nothing, .target = longName, .after = {{longName, "payload"}}},
        {.what = "a link keeps leading to the file replaced",
         .before =
             [](const std::string &dir) {
                 ASSERT_TRUE(put(dir + "/real.flv", "old"));
                 ASSERT_EQ(::symlink("real.flv", (dir + "/link.flv").c_str()), 0);
             },
         .target = "link.flv", .after = {{"link.flv", "-> real.flv"}, {"real.flv", "payload"}}},
        {.what = "a link to nowhere yet",
         .before = [](const std::string &dir) { ASSERT_EQ(::symlink("made.flv", (dir + "/link.flv").c_str()), 0); },
         .target = "link.flv", .after = {{"link.flv", "-> made.flv"}, {"made.flv", "payload"}}},
        {.what = "a read-only file replaced", .before = readOnly, .target = "clip.flv",
         .after = {{"clip.flv", "payload"}}},
        {.what = "a read-only file kept where only a writable one may be replaced", .before = readOnly,
         .target = "clip.flv", .existing = FileBeside::Existing::WritableOnly, .opens = false, .commits = false,
         .after = {{"clip.flv", "old"}}, .asRoot = false},
    };
    for (const WriteCase &c : cases) {
        SCOPED_TRACE(c.what);
        if (!c.asRoot && ::geteuid() == 0) {
            writeAsOrdinaryUser(c); // permissions do not bind the superuser
            continue;
        }
        QTemporaryDir temp;
        ASSERT_TRUE(temp.isValid());
        const std::string dir = temp.path().toStdString();
        c.before(dir);
        {
            FileBeside file(dir + "/" + c.target, c.existing);
            ASSERT_EQ(file.open(), c.opens);
            if (c.meanwhile)
                c.meanwhile(dir);
            bool written;
            {
                std::optional<vidmora::test::FileSizeLimit> full;
                if (c.fileLimit) {
                    ASSERT_TRUE(full.emplace(c.fileLimit).ok());
                }
                written = file.write(c.bytes.data(), c.bytes.size());
            }
            EXPECT_EQ(written, c.opens && (c.fileLimit == 0 || c.bytes.size() <= c.fileLimit));
            if (c.end == End::Commit) {
                EXPECT_EQ(file.commit(), c.commits);
            } else if (c.end == End::Abandon) {
                file.abandon();
            }
            if (c.end != End::Drop) {
                EXPECT_FALSE(file.isOpen());
            }
        }
        EXPECT_EQ(entries(dir), c.after);
    }
}

mode_t modeOf(const std::string &path)
{
    struct stat st {};
    ::stat(path.c_str(), &st);
    return st.st_mode & 07777;
}

TEST(FileBeside, AReplacedFileKeepsItsModeANewOneGetsTheDefaultAndTheTemporaryFileIsPrivate)
{
    QTemporaryDir temp;
    const std::string dir = temp.path().toStdString();
    const mode_t mask = ::umask(027);
    ASSERT_TRUE(put(dir + "/kept.flv", "old"));
    ASSERT_EQ(::chmod((dir + "/kept.flv").c_str(), 0604), 0);
    struct Case {
        const char *name;
        mode_t mode;
    } cases[] = {{"kept.flv", 0604}, {"new.flv", 0640}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        FileBeside file(dir + "/" + c.name);
        ASSERT_TRUE(file.open());
        EXPECT_EQ(modeOf(file.temporaryPath()), 0600u) << "no one else reads a file that is not in place";
        ASSERT_TRUE(file.write("new", 3));
        ASSERT_TRUE(file.commit());
        EXPECT_EQ(modeOf(dir + "/" + c.name), c.mode);
    }
    ::umask(mask);
}

// The converter's encoder writes the temporary file itself; it only renames
// and removes it.
TEST(FileBeside, CommitOfAFileWrittenElsewhereKeepsOrReplacesAsAsked)
{
    struct Case {
        const char *what;
        bool targetThere;
        Replace replace;
        bool moved;
        int error;
    } cases[] = {
        {"replaced", true, Replace::Existing, true, 0},
        {"kept", true, Replace::Never, false, EEXIST},
        {"new", false, Replace::Never, true, 0},
        {"new, replacing nothing", false, Replace::Existing, true, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        QTemporaryDir temp;
        const std::string dir = temp.path().toStdString();
        const std::string target = dir + "/out.avi";
        const std::string temporary = dir + "/" + besideName("out.avi", ".wqas-1.part", ".avi");
        ASSERT_TRUE(put(temporary, "converted"));
        if (c.targetThere) {
            ASSERT_TRUE(put(target, "earlier"));
        }
        errno = 0;
        EXPECT_EQ(commitBeside(temporary, target, c.replace), c.moved);
        if (!c.moved) {
            EXPECT_EQ(errno, c.error);
            EXPECT_EQ(contentOf(temporary), "converted") << "left for the caller, which has read errno";
            EXPECT_TRUE(abandonBeside(temporary));
        }
        EXPECT_EQ(contentOf(target), c.moved ? "converted" : "earlier");
        EXPECT_EQ(entries(dir).size(), 1u);
    }
    EXPECT_FALSE(commitBeside(std::string("a\0b", 3), "out.avi", Replace::Existing)) << "a name holding a NUL";
    EXPECT_FALSE(abandonBeside(std::string("a\0b", 3)));
    EXPECT_TRUE(abandonBeside("/no/such/file")) << "already gone is gone";
}

// A target whose path is just under the system's limit is written whole,
// though its temporary name beside it, as a full path, is past that limit; a
// target path at the limit is refused, as the system refuses it.
TEST(FileBeside, ATargetJustUnderThePathLimitIsWrittenAndOneAtItRefused)
{
    QTemporaryDir temp;
    ASSERT_TRUE(temp.isValid());
    struct Case {
        std::size_t length;
        bool written;
        bool temporaryPastTheLimit; // its temporary file's path (14 to 20 bytes longer) is
    } cases[] = {
        {4000, true, false}, {4072, true, false}, {4090, true, true}, {PATH_MAX - 1, true, true},
        {PATH_MAX, false, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.length);
        const std::string target = vidmora::test::deepFilePath(temp.path().toStdString(), c.length);
        ASSERT_EQ(target.size(), c.length);
        const std::string folder = target.substr(0, target.find_last_of('/'));
        for (const bool earlier : {false, true}) {
            SCOPED_TRACE(earlier ? "over an earlier file" : "a new file");
            if (earlier && c.written) {
                ASSERT_TRUE(put(target, "earlier"));
            }
            FileBeside file(target);
            errno = 0;
            ASSERT_EQ(file.open(), c.written);
            if (!c.written) {
                EXPECT_EQ(errno, ENAMETOOLONG);
                EXPECT_EQ(entries(folder), (std::map<std::string, std::string>{}));
                continue;
            }
            if (c.temporaryPastTheLimit) {
                EXPECT_GE(file.temporaryPath().size(), std::size_t(PATH_MAX));
            }
            ASSERT_TRUE(file.write("payload", 7));
            ASSERT_TRUE(file.commit());
            EXPECT_EQ(contentOf(target), "payload");
            EXPECT_EQ(entries(folder).size(), 1u) << "nothing is left beside it";
            // Abandoned, nothing of it stays either.
            FileBeside dropped(target);
            ASSERT_TRUE(dropped.open());
            dropped.abandon();
            EXPECT_EQ(entries(folder).size(), 1u);
            EXPECT_EQ(::unlink(target.c_str()), 0);
        }
    }
}

} // namespace
