// The report's way end to end on a real X server: crashtest crashes, the box comes up in its
// helper process, and what the user (or the countdown) chooses ends the program; a helper that
// dies still leaves the report saved.
#include "ReportFixtures.h"
#include "crashreport/logic/VostBoxHelper.h"

#include <gtest/gtest.h>

#include <regex>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
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

pid_t StartCrashtest(const std::string& mode, const std::string& box, const std::string& output = {})
{
    const pid_t child = ::fork();
    if (child == 0) {
        if (!box.empty()) {
            ::setenv("CRASHTEST_BOX", box.c_str(), 1);
            ::setenv("QT_QPA_PLATFORM", "xcb", 1);
        } else {
            ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        }
        if (!output.empty()) {
            const int fd = ::open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            ::dup2(fd, 1);
        }
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
    // The helper runs the executable by its real path and under its name, which is also what the
    // box's window class says (not "exe").
    EXPECT_EQ(Slurp("/proc/" + std::to_string(helper) + "/comm"), "crashtest\n");
    const std::string arguments = Slurp("/proc/" + std::to_string(helper) + "/cmdline");
    EXPECT_EQ(arguments.substr(0, arguments.find('\0')), std::filesystem::canonical(CRASHTEST_EXE).string());
    // Automatic save first, then the saved report after the loss: two whole reports.
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    ::kill(helper, SIGKILL);
    EXPECT_EQ(WaitExit(child, std::chrono::seconds(30)), 1);
    const std::string report = Slurp(file);
    size_t count = 0;
    for (size_t at = report.find("date/time         : "); at != std::string::npos;
         at = report.find("date/time         : ", at + 1))
        ++count;
    EXPECT_EQ(count, 2u) << report.substr(0, 2000);
}

size_t CountText(const std::string& text, const std::string& what)
{
    size_t count = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++count;
    return count;
}

// Two threads crash at the same moment under the box: the countdown's close saves the report of
// the second, still waiting behind the first, before the program ends.
TEST(ReportEndToEnd, TwoThreadsCrashingUnderTheBoxLeaveTwoReports)
{
    // A run where the second thread was stopped before it reached its fault (no trace stands in
    // the fatal signal handler) shows nothing and is tried again.
    for (int attempt = 0; attempt < 20; ++attempt) {
        const std::string folder = TempFolder();
        const std::string file = folder + "/bugreport.txt";
        const pid_t child = StartCrashtest("two-threads", "1,1," + file);
        EXPECT_EQ(WaitExit(child, std::chrono::seconds(60)), 1);
        const std::string report = Slurp(file);
        const size_t reports = CountText(report, "date/time         : ");
        if (reports == 1 && report.find(" FatalSignalHandler\r\n") == std::string::npos)
            continue;
        EXPECT_EQ(reports, 2u) << report.substr(0, 3000);
        EXPECT_EQ(CountText(report, "\r\nexception class   : EAccessViolation\r\n"), 2u);
        return;
    }
    FAIL() << "the second thread never reached its fault in 20 runs";
}

namespace {

int MarkLine(const std::string& mark)
{
    std::ifstream in(CRASHTEST_SOURCES "/uCrashFunctions.cpp");
    std::string line;
    for (int number = 1; std::getline(in, line); ++number)
        if (line.find("// MARK: " + mark) != std::string::npos)
            return number;
    return -1;
}

std::string NullReadReport(const std::string& cpuinfo)
{
    const std::string root = TempFolder();
    MakeFakeSysfs(root);
    std::filesystem::create_directories(root + "/proc");
    std::filesystem::create_directories(root + "/etc");
    WriteTestFile(root + "/proc/cpuinfo", cpuinfo);
    WriteTestFile(root + "/etc/os-release", "PRETTY_NAME=\"Fake Linux 7\"\n");
    ::setenv("CRASHTEST_FACTS_ROOT", root.c_str(), 1);
    ::setenv("LANG", "de_DE.UTF-8", 1);
    ::unsetenv("SSH_CONNECTION");
    const pid_t child = StartCrashtest("null-read", "", root + "/out.txt");
    ::unsetenv("CRASHTEST_FACTS_ROOT");
    EXPECT_EQ(WaitExit(child, std::chrono::seconds(60)), 1);
    return Slurp(root + "/out.txt");
}

} // namespace

// The report of crashtest's null read on standard output: the header's labels in their order,
// padded to 18; the thread section naming our unit, function and line; modules; the fake
// machine's hardware; the disassembly with ">" on the faulting line.
TEST(ReportEndToEnd, GoldenNullReadReport)
{
    const std::string two = "processor\t: 0\nmodel name\t: Fake CPU\n\nprocessor\t: 1\nmodel name\t: Fake CPU\n";
    const std::string out = NullReadReport(two);
    const size_t start = out.find("date/time         : ");
    ASSERT_NE(start, std::string::npos) << out;
    const std::string report = out.substr(start);
    const size_t headerEnd = report.find("\r\n\r\n");
    ASSERT_NE(headerEnd, std::string::npos);
    std::vector<std::string> labels;
    std::istringstream header(report.substr(0, headerEnd));
    for (std::string line; std::getline(header, line);) {
        ASSERT_FALSE(line.empty());
        // CR LF between the lines; the last one ends where the thread sections begin.
        if (header.peek() != EOF) {
            EXPECT_EQ(line.back(), '\r') << line;
        }
        ASSERT_GE(line.size(), 20u);
        EXPECT_EQ(line.substr(18, 2), ": ") << line;
        std::string label = line.substr(0, 18);
        label.erase(label.find_last_not_of(' ') + 1);
        labels.push_back(label);
    }
    const std::vector<std::string> expected = { "date/time", "computer name", "user name", "operating system",
        "system language", "system up time", "program up time", "processors", "physical memory", "free disk space",
        "display mode", "process id", "allocated memory", "executable", "exec. date/time", "version",
        "VostExcept version", "exception class", "exception message" };
    EXPECT_EQ(labels, expected);
    EXPECT_NE(report.find("\r\noperating system  : Fake Linux 7 build "), std::string::npos);
    EXPECT_NE(report.find("\r\nsystem language   : German\r\n"), std::string::npos);
    EXPECT_NE(report.find("\r\nprocessors        : 2x Fake CPU\r\n"), std::string::npos);
    EXPECT_NE(report.find("\r\nexception class   : EAccessViolation\r\n"), std::string::npos);
    EXPECT_TRUE(std::regex_search(report,
        std::regex("\r\nexception message : Access violation at address \\$[0-9a-f]{16} in module "
                   "'crashtest'\\. Read of address \\$0{16}\\.\r\n")));
    // The crashed thread's section: innermost frame in our unit at the MARK line.
    const std::string frame
        = "uCrashFunctions.cpp  " + std::to_string(MarkLine("null-read")) + " CrashFunctions.NullRead";
    // The title ends in "):", with markers after it in a nice'd run (" <priority:10>").
    const size_t thread = report.find("):", headerEnd);
    ASSERT_NE(thread, std::string::npos);
    EXPECT_NE(report.find(frame, thread), std::string::npos) << report.substr(headerEnd, 600);
    EXPECT_TRUE(std::regex_search(report, std::regex("\r\n\r\nmodules:\r\n[0-9a-f]{16} crashtest ")));
    EXPECT_NE(
        report.find(std::string("\r\n\r\n") + FakeHardwareSection() + "\r\n\r\ndisassembling:\r\n"), std::string::npos)
        << report.substr(report.find("hardware:"), 800);
    const size_t listing = report.find("disassembling:");
    ASSERT_NE(listing, std::string::npos);
    EXPECT_TRUE(std::regex_search(report.substr(listing), std::regex("\r\n[0-9A-F]{16}[ 0-9]*> [a-z]+ ")))
        << report.substr(listing, 400);
}

TEST(ReportEndToEnd, OneProcessorShowsTheSingularLine)
{
    const std::string out = NullReadReport("processor\t: 0\nmodel name\t: Fake CPU\n");
    EXPECT_NE(out.find("\r\nprocessor         : Fake CPU\r\n"), std::string::npos) << out.substr(0, 1500);
    EXPECT_EQ(out.find("processors"), std::string::npos);
}

// The crashed side against a real helper (crashtest answers the hidden switch): the countdown's
// action reaches the sink, the freeze's end closes the box, a helper that dies or cannot start
// leaves the report saved and the close rule applied.
namespace {

TBoxData HelperData()
{
    TBoxData data;
    data.Title = "Tarvell";
    data.Text = "An error occurred in the application:\r\n\r\nTest.";
    const char* captions[7] = { "", "Save bug report", "Print", "Show", "Continue", "Restart", "Close" };
    for (int i = 0; i < 7; ++i)
        data.Captions[i] = captions[i];
    data.DefaultButton = caShow;
    data.AutoActionDelay = 1;
    data.CanContinue = false;
    data.Report = "date/time         : now";
    return data;
}

struct TSinkLog {
    std::vector<std::string> Calls;
    TBoxActionSink Sink()
    {
        TBoxActionSink sink;
        sink.Save = [this](const std::string& path) { return Calls.push_back("save " + path), true; };
        sink.Restart = [this] { Calls.push_back("restart"); };
        sink.Close = [this] { Calls.push_back("close"); };
        sink.Announce
            = [this](TCrashAction action) { return Calls.push_back("announce " + std::to_string(action)), false; };
        return sink;
    }
};

} // namespace

TEST(ReportEndToEnd, HelperCountdownActionReachesTheCrashedSide)
{
    TBoxData data = HelperData();
    data.CountdownButton = caClose;
    data.DefaultButton = caClose;
    TSinkLog log;
    std::vector<std::string> lost;
    const TCrashAction action = RunBoxInHelper(
        CRASHTEST_EXE, data, log.Sink(), [&lost](const std::string& r) { return lost.push_back(r), true; });
    EXPECT_EQ(action, caClose);
    EXPECT_EQ(log.Calls, (std::vector<std::string> { "announce 6", "close" }));
    EXPECT_TRUE(lost.empty());
}

TEST(ReportEndToEnd, TheFreezesEndClosesTheBox)
{
    TBoxData data = HelperData();
    data.Frozen = true;
    data.CanContinue = true;
    TSinkLog log;
    int probes = 0;
    const auto start = std::chrono::steady_clock::now();
    const TCrashAction action
        = RunBoxInHelper(CRASHTEST_EXE, data, log.Sink(), {}, [&probes] { return ++probes >= 3; });
    EXPECT_EQ(action, caContinue);
    EXPECT_GE(probes, 3);
    EXPECT_TRUE(log.Calls.empty());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
}

TEST(ReportEndToEnd, AHelperThatCannotStartLeavesTheReportSaved)
{
    TBoxData data = HelperData();
    TSinkLog log;
    std::vector<std::string> lost;
    const TCrashAction action = RunBoxInHelper(
        "/nonexistent/helper", data, log.Sink(), [&lost](const std::string& r) { return lost.push_back(r), true; });
    EXPECT_EQ(action, caClose);
    EXPECT_EQ(lost, std::vector<std::string> { data.Report });
    EXPECT_EQ(log.Calls, std::vector<std::string> { "close" });
}

TEST(ReportEndToEnd, AHelperStartedByHandExitsQuietly)
{
    for (const char* argument : { "--vostexcept-box", "--vostexcept-box=", "--vostexcept-box=1", "--vostexcept-box=99",
             "--vostexcept-box=x" }) {
        const pid_t child = ::fork();
        if (child == 0) {
            const int null = ::open("/dev/null", O_WRONLY);
            ::dup2(null, 1);
            ::dup2(null, 2);
            ::execl(CRASHTEST_EXE, CRASHTEST_EXE, argument, static_cast<char*>(nullptr));
            ::_exit(127);
        }
        EXPECT_EQ(WaitExit(child, std::chrono::seconds(10)), 0) << argument;
    }
}

#ifdef TARVELL_EXE
// The editor itself, with the reporter from its first line: a fatal signal while it runs on the
// offscreen platform gives the report on standard output and exit code 1.
TEST(ReportEndToEnd, TarvellReportsAFatalSignal)
{
    const std::string home = TempFolder();
    const std::string out = home + "/stdout.txt";
    const pid_t child = ::fork();
    if (child == 0) {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        ::setenv("HOME", home.c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (home + "/config").c_str(), 1);
        ::setenv("XDG_DATA_HOME", (home + "/data").c_str(), 1);
        ::setenv("XDG_CACHE_HOME", (home + "/cache").c_str(), 1);
        const int fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(fd, 1);
        ::execl(TARVELL_EXE, TARVELL_EXE, "/multi", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    // Up and waiting in its event loop: more than one thread, and a moment to settle.
    for (int i = 0; i < 200; ++i) {
        DIR* tasks = ::opendir(("/proc/" + std::to_string(child) + "/task").c_str());
        int count = 0;
        while (tasks && ::readdir(tasks))
            ++count;
        if (tasks)
            ::closedir(tasks);
        if (count > 4)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    std::this_thread::sleep_for(std::chrono::seconds(2));
    ::kill(child, SIGSEGV);
    EXPECT_EQ(WaitExit(child, std::chrono::seconds(60)), 1);
    const std::string text = Slurp(out);
    EXPECT_NE(text.find("date/time         : "), std::string::npos) << text;
    EXPECT_NE(text.find("\r\nexecutable        : tarvell\r\n"), std::string::npos);
    EXPECT_NE(text.find("\r\nexception class   : "), std::string::npos);
    EXPECT_NE(text.find("\r\n\r\nmodules:\r\n"), std::string::npos);
}
#endif

// A freeze shows the box with the frozen text; when the main thread answers again the program
// goes on by itself, the box does not hold it.
TEST(ReportEndToEnd, AFreezeBoxDoesNotHoldTheProgram)
{
    const std::string folder = TempFolder();
    const std::string file = folder + "/bugreport.txt";
    const pid_t child = StartCrashtest("freeze", "0,0," + file, folder + "/out.txt");
    EXPECT_EQ(WaitExit(child, std::chrono::seconds(30)), 0);
    EXPECT_NE(Slurp(folder + "/out.txt").find("continued"), std::string::npos);
    const std::string report = Slurp(file);
    EXPECT_NE(report.find("\r\nexception message : The application seems to be frozen.\r\n"), std::string::npos) << report.substr(0, 1500);
    EXPECT_EQ(report.find("exception class"), std::string::npos);
}
