// A test program run as a child process: its output, how it ended, and the MARK-ed lines of its
// sources that the traces must name.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

extern char** environ;

namespace childrun {

struct TChildResult {
    std::string Out;
    std::string Err;
    int Status = 0;
    bool TimedOut = false;
    bool Exited() const { return WIFEXITED(Status); }
    int ExitCode() const { return WEXITSTATUS(Status); }
    int Signal() const { return WIFSIGNALED(Status) ? WTERMSIG(Status) : 0; }
};

inline int64_t NowMs()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return int64_t(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}

// Runs exe with mode on the offscreen platform, in folder when one is given; a child that does
// not end within the limit is killed (a hang is a failure of its own).
inline TChildResult RunChildProgram(const std::string& program, const std::string& mode, std::vector<std::string> extraEnv = {},
                                    int limitMs = 30000, const std::string& folder = {})
{
    int out[2], err[2];
    EXPECT_EQ(pipe2(out, O_CLOEXEC), 0);
    EXPECT_EQ(pipe2(err, O_CLOEXEC), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    if (!folder.empty())
        posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    std::vector<std::string> env{"QT_QPA_PLATFORM=offscreen"};
    // A variable the caller sets replaces the inherited one (the first of a name is the one read).
    auto overridden = [&](const char* entry) {
        const std::string_view name(entry, std::strcspn(entry, "="));
        if (name == "QT_QPA_PLATFORM")
            return true;
        return std::any_of(extraEnv.begin(), extraEnv.end(), [&](const std::string& e) {
            return e.size() > name.size() && e.compare(0, name.size(), name) == 0 && e[name.size()] == '=';
        });
    };
    for (char** e = environ; *e; ++e) {
        if (!overridden(*e))
            env.push_back(*e);
    }
    env.insert(env.end(), extraEnv.begin(), extraEnv.end());
    std::vector<char*> envp;
    for (std::string& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    std::string exe = program;
    std::string arg = mode;
    char* argv[] = {exe.data(), arg.data(), nullptr};
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, exe.c_str(), &actions, nullptr, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    close(err[1]);
    TChildResult result;
    if (rc != 0) {
        ADD_FAILURE() << "cannot start " << exe << ": " << std::strerror(rc);
        close(out[0]);
        close(err[0]);
        return result;
    }
    const int64_t deadline = NowMs() + limitMs;
    pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    int open = 2;
    while (open > 0) {
        const int64_t left = deadline - NowMs();
        if (left <= 0) {
            result.TimedOut = true;
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
                (i == 0 ? result.Out : result.Err).append(buffer, size_t(n));
            }
        }
    }
    for (pollfd& f : fds)
        if (f.fd >= 0)
            close(f.fd);
    waitpid(pid, &result.Status, 0);
    return result;
}

// The line of "// MARK: <mark>" in a source file, or -1.
inline int MarkLineIn(const std::string& path, const std::string& mark)
{
    std::ifstream in(path);
    std::string line;
    for (int number = 1; std::getline(in, line); ++number)
        if (line.find("// MARK: " + mark) != std::string::npos)
            return number;
    return -1;
}

} // namespace childrun
