// The DevTools pipe without a browser: its child process and descriptors,
// SIGPIPE, the process group, throwing handlers and abandoned sessions.
#include <signal.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>

#include "platform/posix/devtools_pipe.h"
#include "file_bytes.h"
#include "processes.h"

namespace zun {
namespace {

using platform::posix::DevToolsPipe;
using platform::posix::Json;

// The descriptors a process holds.
std::set<std::string> Descriptors(pid_t process) {
    std::set<std::string> descriptors;
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/" + std::to_string(process) + "/fd", ignored)) {
        descriptors.insert(entry.path().filename().string());
    }
    return descriptors;
}

// Waits, bounded, until `holds()`; whether it did.
template <typename Holds>
bool Eventually(Holds holds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!holds()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

// For pipes whose events no test reads.
void IgnoreEvent(const std::string&, const Json&, const std::string&) {}

TEST(DevToolsPipe, ChildGetsOnlyItsOwnDescriptors) {
    DevToolsPipe other(IgnoreEvent);
    ASSERT_EQ(other.Start("/bin/sleep", {"5"}, {}), 0u);
    DevToolsPipe pipe(IgnoreEvent);
    ASSERT_EQ(pipe.Start("/bin/sleep", {"5"}, {}), 0u);
    // Once the child has started its program, which keeps what it was given.
    const auto own = std::set<std::string>{"0", "1", "2", "3", "4"};
    EXPECT_TRUE(Eventually([&] { return Descriptors(pipe.ProcessId()) == own; })) << Descriptors(pipe.ProcessId()).size();
    pipe.Stop();
    other.Stop();
}

TEST(DevToolsPipe, WriteToAGoneBrowserFailsWithoutTouchingTheHostsSigpipe) {
    struct sigaction previous {};
    struct sigaction standard {};
    standard.sa_handler = SIG_DFL;
    sigaction(SIGPIPE, &standard, &previous);

    DevToolsPipe pipe(IgnoreEvent);
    // A browser that stops reading its commands at once and stays.
    ASSERT_EQ(pipe.Start("/bin/sh", {"-c", "exec 3<&-; exec sleep 5"}, {}), 0u);
    ASSERT_TRUE(Eventually([&] { return Descriptors(pipe.ProcessId()).count("3") == 0; }));
    Json result;
    EXPECT_EQ(pipe.Call("Browser.getVersion", Json::object(), "", &result, std::chrono::seconds(2)),
              platform::posix::kBrowserGone);
    struct sigaction now {};
    sigaction(SIGPIPE, nullptr, &now);
    EXPECT_EQ(now.sa_handler, SIG_DFL);
    sigset_t pending;
    sigpending(&pending);
    EXPECT_EQ(sigismember(&pending, SIGPIPE), 0);
    pipe.Stop();
    sigaction(SIGPIPE, &previous, nullptr);
}

TEST(DevToolsPipe, StopEndsTheWholeProcessGroup) {
    for (const char* script : {"sleep 30 & exit 0", "sleep 30 & exec sleep 30"}) {
            DevToolsPipe pipe(IgnoreEvent);
        ASSERT_EQ(pipe.Start("/bin/sh", {"-c", script}, {}), 0u);
        const pid_t group = pipe.ProcessId();
        // Once the background sleep runs beside the group's leader.
        ASSERT_TRUE(Eventually([&] {
            int members = 0;
            std::error_code ignored;
            for (const auto& entry : std::filesystem::directory_iterator("/proc", ignored)) {
                const std::string name = entry.path().filename().string();
                if (name.find_first_not_of("0123456789") != std::string::npos) continue;  // not a process
                members += testing::IsLiveMemberOf(entry.path(), group) &&
                           testing::FileBytes((entry.path() / "cmdline").string()).rfind("sleep", 0) == 0;
            }
            return members >= 1 + (std::string(script).find("exec") != std::string::npos);
        })) << script;
        pipe.Stop();
        EXPECT_FALSE(testing::ProcessStays([&](const std::filesystem::path& process) {
            return testing::IsLiveMemberOf(process, group);
        })) << script;
    }
}

TEST(DevToolsPipe, AHandlerThatThrowsLosesOnlyItsMessage) {
    std::vector<std::string> methods;
    DevToolsPipe pipe([&](const std::string& method, const Json&, const std::string&) {
        if (method == "Throw") throw std::runtime_error("handler");
        methods.push_back(method);
    });
    pipe.StartWithPeer([](const std::string&) {});
    pipe.Dispatch(R"({"method": "Throw"})");
    pipe.Dispatch(R"({"method": "After"})");
    EXPECT_EQ(methods, (std::vector<std::string>{"After"}));
}

TEST(DevToolsPipe, CallsOnAnAbandonedSessionEndAtOnce) {
    DevToolsPipe pipe(IgnoreEvent);
    pipe.StartWithPeer([](const std::string&) {});  // never answers
    std::thread closer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        pipe.AbandonSession("S");
    });
    // Gone, not timed out: the waiting call was released.
    EXPECT_EQ(pipe.Call("Runtime.evaluate", Json::object(), "S", nullptr, std::chrono::seconds(20)),
              platform::posix::kBrowserGone);
    closer.join();
    EXPECT_EQ(pipe.Call("Runtime.evaluate", Json::object(), "S", nullptr), platform::posix::kBrowserGone);
}

}  // namespace
}  // namespace zun
