// The child that runs a test's steps as an ordinary user.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include <csignal>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "ordinary_user.h"

using vidmora::test::ChildOutcome;
using vidmora::test::OrdinaryUserDir;
using vidmora::test::ordinaryUser;
using vidmora::test::runAsOrdinaryUser;

TEST(OrdinaryUser, TheChildIsNoSuperuserAndPermissionsBindIt)
{
    OrdinaryUserDir home;
    ASSERT_TRUE(home.isValid());
    const std::string locked = home.filePath("locked");
    const ChildOutcome child = runAsOrdinaryUser([&] {
        std::string seen = std::to_string(::geteuid()) + " " + std::to_string(::getegid());
        seen += " groups:" + std::to_string(::getgroups(0, nullptr));
        if (::mkdir(locked.c_str(), 0500) != 0)
            return seen + " no folder";
        const int fd = ::open((locked + "/x").c_str(), O_WRONLY | O_CREAT, 0600);
        seen += fd >= 0 ? " wrote" : " refused";
        if (fd >= 0)
            ::close(fd);
        return seen;
    });
    ASSERT_TRUE(child.ran) << child.describe();
    const vidmora::test::OrdinaryUser user = ordinaryUser();
    EXPECT_NE(user.uid, 0u);
    // The superuser's supplementary groups are dropped; an ordinary user keeps their own.
    const int groups = ::geteuid() == 0 ? 0 : ::getgroups(0, nullptr);
    EXPECT_EQ(child.report,
              std::to_string(user.uid) + " " + std::to_string(user.gid) + " groups:" + std::to_string(groups) + " refused");
    struct stat st{};
    ASSERT_EQ(::stat(locked.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, user.uid) << "what the child makes is the user's";
}

TEST(OrdinaryUser, AChildPastItsBoundIsKilledAndOneThatDiesIsReported)
{
    const auto started = std::chrono::steady_clock::now();
    const ChildOutcome stuck = runAsOrdinaryUser(
        [] {
            std::this_thread::sleep_for(std::chrono::seconds(30));
            return std::string("woke");
        },
        std::chrono::milliseconds(300));
    EXPECT_FALSE(stuck.ran);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
    EXPECT_NE(stuck.problem.find("killed"), std::string::npos) << stuck.problem;

    const ChildOutcome died = runAsOrdinaryUser([]() -> std::string {
        ::raise(SIGKILL);
        return "lived";
    });
    EXPECT_FALSE(died.ran);
    EXPECT_NE(died.problem.find("signal"), std::string::npos) << died.problem;
}

TEST(OrdinaryUser, TheFolderGoesWhateverModesWereLeftInIt)
{
    std::string path;
    {
        OrdinaryUserDir home;
        ASSERT_TRUE(home.isValid());
        path = home.path();
        const ChildOutcome child = runAsOrdinaryUser([&] {
            const std::string inner = home.filePath("a");
            const bool ok = ::mkdir(inner.c_str(), 0700) == 0 && ::mkdir((inner + "/b").c_str(), 0700) == 0
                && ::close(::open((inner + "/b/f").c_str(), O_WRONLY | O_CREAT, 0400)) == 0
                && ::chmod((inner + "/b").c_str(), 0500) == 0 && ::chmod(inner.c_str(), 0500) == 0;
            return std::string(ok ? "made" : "not made");
        });
        ASSERT_TRUE(child.ran) << child.describe();
        ASSERT_EQ(child.report, "made");
    }
    EXPECT_NE(::access(path.c_str(), F_OK), 0) << path;
}
