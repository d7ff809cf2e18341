// The converter's temporary output name, and how it is told apart from the
// user's own files.
#include "partial_output.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(PartialOutput, NameSitsBesideTheOutputWithItsExtensionLast)
{
    EXPECT_EQ(wqas::partialOutputPath("/v/Lake Day.avi", 4242), "/v/.Lake Day.avi.wqas-4242.part.avi");
    EXPECT_EQ(wqas::partialOutputPath("clip.mov", 7), ".clip.mov.wqas-7.part.mov");
    // A name whose only dot is its first has that whole name as its extension:
    // an empty title's ".avi" is still written as an AVI.
    EXPECT_EQ(wqas::partialOutputPath("/v/.avi", 7), "/v/..avi.wqas-7.part.avi");
    EXPECT_EQ(wqas::partialOutputPath("/v/.hidden", 7), "/v/..hidden.wqas-7.part.hidden");
    EXPECT_EQ(wqas::partialOutputPath("/v/clip", 7), "/v/.clip.wqas-7.part"); // no extension to keep
    // A long name is shortened so that the temporary one is still a legal file name.
    const std::string longName = "/v/" + std::string(250, 'a') + ".avi";
    const std::string partial = wqas::partialOutputPath(longName, 123456);
    const std::string file = partial.substr(3);
    EXPECT_LE(file.size(), 255u);
    EXPECT_EQ(file.substr(file.size() - 21), ".wqas-123456.part.avi");
    EXPECT_EQ(wqas::partialOutputOwner(longName, file), 123456);
}

// Whatever the output's name, its temporary name is another name and as legal
// as the output's own: never over the folder's 255-byte limit when the
// output's name is within it.
TEST(PartialOutput, TheTemporaryNameIsNeverTheOutputsAndFitsWhereTheOutputFits)
{
    const long pid = 5;
    // A name that has the temporary-name form of itself: dots, then the mark.
    const std::string selfLike = std::string(241, '.') + ".wqas-5.part.e";
    ASSERT_EQ(selfLike.size(), 255u);
    const std::string names[] = {
        selfLike,
        "." + std::string(126, 'x') + ".wqas-5.part." + std::string(114, 'e'), // the form again, a long extension
        "a." + std::string(240, 'e'),                                          // a 240-byte extension
        "." + std::string(254, 'e'),
        std::string(255, 'a'),
        std::string(250, 'a') + ".avi",
        std::string(84, 'a') + std::string(57, '\xC3') + ".avi", // not UTF-8 at all
        std::string(200, 'a') + "\xE6\x97\xA5\xE6\x97\xA5\xE6\x97\xA5.avi",
    };
    for (const std::string &name : names) {
        SCOPED_TRACE(name);
        ASSERT_LE(name.size(), 255u);
        const std::string output = "/v/" + name;
        const std::string file = wqas::partialOutputPath(output, pid).substr(3);
        EXPECT_NE(file, name);
        EXPECT_LE(file.size(), 255u);
        EXPECT_EQ(wqas::partialOutputOwner(output, file), pid);
        EXPECT_EQ(wqas::partialOutputOwner(output, name), 0) << "the output is never its own leftover";
        const auto dot = name.find_last_of('.');
        if (dot != std::string::npos && name.size() - dot <= 32) {
            EXPECT_EQ(file.substr(file.size() - (name.size() - dot)), name.substr(dot)) << "the extension stays last";
        }
    }
}

TEST(PartialOutput, OnlyTheOutputsOwnTemporaryNamesAreRecognised)
{
    const std::string out = "/v/Lake Day.avi";
    struct Case {
        const char *name;
        long owner;
    } cases[] = {
        {".Lake Day.avi.wqas-4242.part.avi", 4242},
        {"Lake Day.avi", 0},                        // the output itself
        {".Lake Day.avi.wqas-.part.avi", 0},        // no process id
        {".Lake Day.avi.wqas-4242.part.mov", 0},    // another output's
        {".Other.avi.wqas-4242.part.avi", 0},       // another output's
        {".Lake Day.avi.wqas-42x.part.avi", 0},     // not a process id
        {"x.Lake Day.avi.wqas-4242.part.avi", 0},   // the user's own file
        {".Lake Day.avi.wqas-4242.part.avi~", 0},
    };
    for (const Case &c : cases)
        EXPECT_EQ(wqas::partialOutputOwner(out, c.name), c.owner) << c.name;
}

} // namespace
