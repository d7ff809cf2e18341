#pragma once

// Permissions do not bind the superuser, and CI runs the suite as root. A
// test that needs a folder or file the user may not write runs its steps in a
// forked child that has dropped to an ordinary account; run by an ordinary
// user, the child stays that user.

#include <chrono>
#include <functional>
#include <string>

#include <sys/types.h>

namespace vidmora::test {

// The account the child runs as: "nobody" (65534 where the system has no such
// entry) when this process is the superuser, else this process's own user.
struct OrdinaryUser {
    uid_t uid = 0;
    gid_t gid = 0;
};
OrdinaryUser ordinaryUser();

// What became of a child.
struct ChildOutcome {
    bool ran = false;    // it dropped to the user, ran the body and ended by itself in time
    std::string report;  // what the body returned
    std::string problem; // why it did not run: fork, setuid, a signal, the bound

    // For a failed expectation.
    std::string describe() const { return ran ? "report: " + report : "child: " + problem; }
};

// Runs `body` in a forked child as ordinaryUser() (supplementary groups
// dropped, then the group, then the user) and hands back the text it returns.
// The child runs only `body` and ends with _exit: no test framework, no
// destructors or exit handlers of this process run there, so the body reports
// through its text, never through test assertions. The body may start
// threads and event loops of its own; it must not wait for this process's
// event loop, which does not run meanwhile. A child still running after
// `bound` is killed.
ChildOutcome runAsOrdinaryUser(const std::function<std::string()> &body,
                               std::chrono::milliseconds bound = std::chrono::seconds(60));

// A fresh folder under /tmp that ordinaryUser() owns, mode 0700, removed with
// everything in it when this goes, whatever modes the child left on it.
class OrdinaryUserDir final {
public:
    OrdinaryUserDir();
    ~OrdinaryUserDir();
    OrdinaryUserDir(const OrdinaryUserDir &) = delete;
    OrdinaryUserDir &operator=(const OrdinaryUserDir &) = delete;

    bool isValid() const { return !m_path.empty(); }
    const std::string &path() const { return m_path; }
    std::string filePath(const std::string &name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

} // namespace vidmora::test
