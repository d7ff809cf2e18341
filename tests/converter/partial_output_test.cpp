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
    EXPECT_EQ(wqas::partialOutputPath("/v/.hidden", 7), "/v/..hidden.wqas-7.part"); // no extension to keep
    // A long name is shortened so that the temporary one is still a legal file name.
    const std::string longName = "/v/" + std::string(250, 'a') + ".avi";
    const std::string partial = wqas::partialOutputPath(longName, 123456);
    const std::string file = partial.substr(3);
    EXPECT_LE(file.size(), 255u);
    EXPECT_EQ(file.substr(file.size() - 21), ".wqas-123456.part.avi");
    EXPECT_EQ(wqas::partialOutputOwner(longName, file), 123456);
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
