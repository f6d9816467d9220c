// The report's way end to end on a real X server: crashtest crashes, the box comes up in its
// helper process, and what the user (or the countdown) chooses ends the program; a helper that
// dies still leaves the report saved.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <dirent.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

std::string Slurp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string TempFolder()
{
    char pattern[] = "/tmp/report-e2e-XXXXXX";
    return ::mkdtemp(pattern) ? pattern : "/tmp";
}

pid_t StartCrashtest(const std::string& mode, const std::string& box)
{
    const pid_t child = ::fork();
    if (child == 0) {
        ::setenv("CRASHTEST_BOX", box.c_str(), 1);
        ::setenv("QT_QPA_PLATFORM", "xcb", 1);
        ::execl(CRASHTEST_EXE, CRASHTEST_EXE, mode.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    return child;
}

// Waits for the child's end; -1 after the time-out (the child is killed then).
int WaitExit(pid_t child, std::chrono::seconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    int status = 0;
    while (::waitpid(child, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(child, SIGKILL);
            ::waitpid(child, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// The box helper started by parent, found by its hidden switch.
pid_t FindHelper(pid_t parent, std::chrono::seconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        if (DIR* proc = ::opendir("/proc")) {
            while (const dirent* entry = ::readdir(proc)) {
                const pid_t pid = std::atoi(entry->d_name);
                if (pid <= 0)
                    continue;
                const std::string cmdline = Slurp("/proc/" + std::to_string(pid) + "/cmdline");
                const std::string stat = Slurp("/proc/" + std::to_string(pid) + "/stat");
                const size_t close = stat.rfind(')');
                if (cmdline.find("--vostexcept-box=") == std::string::npos || close == std::string::npos)
                    continue;
                if (std::atoi(stat.c_str() + close + 4) == parent) {
                    ::closedir(proc);
                    return pid;
                }
            }
            ::closedir(proc);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return -1;
}

} // namespace

TEST(ReportEndToEnd, TheCountdownClosesAndTheReportIsSaved)
{
    const std::string folder = TempFolder();
    const std::string file = folder + "/bugreport.txt";
    const pid_t child = StartCrashtest("null-read", "1,1," + file);
    EXPECT_GT(FindHelper(child, std::chrono::seconds(20)), 0) << "no box helper came up";
    EXPECT_EQ(WaitExit(child, std::chrono::seconds(30)), 1);
    const std::string report = Slurp(file);
    EXPECT_EQ(report.rfind("date/time         : ", 0), 0u) << report;
    EXPECT_NE(report.find("exception class   : EAccessViolation"), std::string::npos);
    EXPECT_NE(report.find("\r\nmodules:\r\n"), std::string::npos);
    EXPECT_NE(report.find("\r\nhardware:"), std::string::npos);
    EXPECT_EQ(report.substr(report.size() - 4), "\r\n\r\n");
}

TEST(ReportEndToEnd, AKilledHelperLeavesTheReportSavedAndCloses)
{
    const std::string folder = TempFolder();
    const std::string file = folder + "/bugreport.txt";
    // No countdown: only the helper's death ends the box.
    const pid_t child = StartCrashtest("null-read", "0,0," + file);
    const pid_t helper = FindHelper(child, std::chrono::seconds(20));
    ASSERT_GT(helper, 0);
    // Automatic save first, then the saved report after the loss: two whole reports.
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    ::kill(helper, SIGKILL);
    EXPECT_EQ(WaitExit(child, std::chrono::seconds(30)), 1);
    const std::string report = Slurp(file);
    size_t count = 0;
    for (size_t at = report.find("date/time         : "); at != std::string::npos; at = report.find("date/time         : ", at + 1))
        ++count;
    EXPECT_EQ(count, 2u) << report.substr(0, 2000);
}
