// crashthreads run as a child, one mode each: what the report says about threads, and how the
// program ends.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

struct TChild {
    std::string Out, Err;
    int Status = 0;
    bool TimedOut = false;
};

TChild RunChild(const std::string& mode)
{
    TChild child;
    int out[2], err[2];
    if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0)
        return child;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    std::string exe = CRASHTHREADS_EXE;
    char* argv[] = { exe.data(), const_cast<char*>(mode.c_str()), nullptr };
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, exe.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    close(err[1]);
    if (spawned != 0)
        return child;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    pollfd fds[2] = { { out[0], POLLIN, 0 }, { err[0], POLLIN, 0 } };
    int open = 2;
    while (open > 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
        if (left <= 0) {
            child.TimedOut = true;
            kill(pid, SIGKILL);
            break;
        }
        if (poll(fds, 2, int(left)) <= 0)
            continue;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP)))
                continue;
            char buffer[4096];
            const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
            if (n <= 0) {
                close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            } else {
                (i == 0 ? child.Out : child.Err).append(buffer, size_t(n));
            }
        }
    }
    for (pollfd& f : fds)
        if (f.fd >= 0)
            close(f.fd);
    waitpid(pid, &child.Status, 0);
    return child;
}

int MarkLine(const std::string& mark)
{
    std::ifstream in(CRASHTHREADS_SOURCE);
    std::string line;
    for (int number = 1; std::getline(in, line); ++number)
        if (line.find("// MARK: " + mark) != std::string::npos)
            return number;
    return -1;
}

// The first line of text that holds all of the parts.
std::string LineWith(const std::string& text, const std::vector<std::string>& parts)
{
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        bool all = true;
        for (const std::string& p : parts)
            all = all && line.find(p) != std::string::npos;
        if (all)
            return line;
    }
    return {};
}

} // namespace

// An exception leaving a plain thread body reaches the wrapper's catch-all: reported as
// continuable, only that thread ends. Cancellation and pthread_exit unwind through the wrapper
// unreported. (A QThread's or std::thread's body ends in terminate first: crashtest's table.)
TEST(CrashThreadsModes, PlainThreadBodies)
{
    struct TCase {
        const char* Mode;
        const char* Message; // nullptr: no report
    } cases[] = {
        { "throw-pthread", "thrown in a thread" },
        { "cancel-pthread", nullptr },
        { "exit-pthread", nullptr },
    };
    for (const TCase& m : cases) {
        const TChild c = RunChild(m.Mode);
        ASSERT_FALSE(c.TimedOut) << m.Mode << c.Out << c.Err;
        const std::string context = std::string(m.Mode) + "\nstdout:\n" + c.Out + "\nstderr:\n" + c.Err;
        ASSERT_TRUE(WIFEXITED(c.Status)) << context;
        EXPECT_EQ(WEXITSTATUS(c.Status), 0) << context;
        EXPECT_NE(c.Out.find("continued"), std::string::npos) << context;
        if (!m.Message) {
            EXPECT_EQ(c.Out.find("exception class"), std::string::npos) << context;
            continue;
        }
        EXPECT_NE(LineWith(c.Out, { "exception class", "std::runtime_error" }), "") << context;
        EXPECT_NE(LineWith(c.Out, { "exception message", m.Message }), "") << context;
        // The report's trace goes back to the throw.
        EXPECT_NE(LineWith(c.Out, { "CrashThreads.Throw", " " + std::to_string(MarkLine("throw")) + " " }), "") << context;
    }
}
