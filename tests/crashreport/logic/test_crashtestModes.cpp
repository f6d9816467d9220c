// crashtest's modes, each run as a child process: what it reports (class, message, the innermost
// frames with unit, function and the MARK-ed line) and how it ends.
#include "ChildRun.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

extern char** environ;

namespace {

using childrun::NowMs;
using childrun::TChildResult;

TChildResult RunCrashTest(const std::string& mode, std::vector<std::string> extraEnv = {}, int limitMs = 30000,
                          const std::string& folder = {})
{
    return childrun::RunChildProgram(CRASHTEST_EXE, mode, std::move(extraEnv), limitMs, folder);
}

std::string Slurp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The line of "// MARK: <mark>" in the crash functions' unit.
int MarkLine(const std::string& mark)
{
    const int line = childrun::MarkLineIn(CRASHTEST_SOURCES "/uCrashFunctions.cpp", mark);
    if (line < 0) {
        ADD_FAILURE() << "no MARK " << mark;
        return 0;
    }
    return line;
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

// The innermost stack lines of the crash functions' unit, after the first thread's title line;
// the innermost two, as an overflow faults in the function's entry before its recursive call.
std::string InnermostOwnFrames(const std::string& report)
{
    bool inThread = false;
    std::string frames;
    int count = 0;
    for (const std::string& line : Lines(report)) {
        // A title ends in "):", or in markers after it (" <priority:10>" when run under nice).
        const size_t close = line.find("):");
        const bool title = line.find("thread") != std::string::npos && close != std::string::npos
            && (close + 2 == line.size() || line.compare(close + 2, 2, " <") == 0);
        if (title) {
            if (inThread)
                break;
            inThread = true;
        } else if (inThread && line.find("uCrashFunctions") != std::string::npos && count++ < 2) {
            frames += line + "\n";
        }
    }
    return frames;
}

std::string Field(const std::string& report, const std::string& label)
{
    for (const std::string& line : Lines(report))
        if (line.rfind(label, 0) == 0 && line.size() > 20 && line.substr(18, 2) == ": ")
            return line.substr(20);
    return {};
}

struct TModeCase {
    const char* Mode;
    const char* ClassName; // nullptr: no report
    const char* Message;   // a part of the message line
    const char* Mark;      // the MARK of the innermost own frame; nullptr: not checked
    const char* Function;
    int ExitCode;  // -1: ends by Signal
    int Signal;
    const char* Output; // further texts on standard output ("|" between them), or nullptr
};

std::ostream& operator<<(std::ostream& out, const TModeCase& c) { return out << c.Mode; }

class CrashTestModes : public ::testing::TestWithParam<TModeCase> {};

TEST_P(CrashTestModes, ReportAndEnd)
{
    const TModeCase& c = GetParam();
    const TChildResult r = RunCrashTest(c.Mode);
    ASSERT_FALSE(r.TimedOut) << r.Out << r.Err;
    const std::string context = "stdout:\n" + r.Out + "\nstderr:\n" + r.Err;
    if (c.ExitCode >= 0) {
        EXPECT_TRUE(r.Exited()) << context;
        EXPECT_EQ(r.ExitCode(), c.ExitCode) << context;
    } else {
        EXPECT_EQ(r.Signal(), c.Signal) << context;
    }
    if (!c.ClassName) {
        EXPECT_EQ(Field(r.Out, "exception class"), "") << context;
        EXPECT_EQ(r.Out.find("An error occurred in the application"), std::string::npos) << context;
    } else {
        EXPECT_NE(r.Out.find("An error occurred in the application:"), std::string::npos) << context;
        EXPECT_EQ(Field(r.Out, "exception class"), c.ClassName) << context;
        EXPECT_NE(Field(r.Out, "exception message").find(c.Message), std::string::npos) << context;
    }
    if (c.Mark) {
        const std::string frame = InnermostOwnFrames(r.Out);
        EXPECT_NE(frame.find(" " + std::to_string(MarkLine(c.Mark)) + " "), std::string::npos) << frame << "\n" << context;
        EXPECT_NE(frame.find(c.Function), std::string::npos) << frame << "\n" << context;
    }
    if (c.Output) {
        std::string wanted = c.Output;
        for (size_t bar; !wanted.empty(); wanted = bar == std::string::npos ? std::string() : wanted.substr(bar + 1)) {
            bar = wanted.find('|');
            EXPECT_NE(r.Out.find(wanted.substr(0, bar)), std::string::npos) << wanted.substr(0, bar) << "\n" << context;
        }
    }
}

// Reported crashes close the program with exit code 1 (the close action); what goes on exits 0.
INSTANTIATE_TEST_SUITE_P(
    Modes, CrashTestModes,
    ::testing::Values(
        TModeCase{"null-read", "EAccessViolation", "Read of address $0000000000000000", "null-read", "CrashFunctions.NullRead", 1, 0, nullptr},
        TModeCase{"null-write", "EAccessViolation", "Write of address $0000000000000000", "null-write", "CrashFunctions.NullWrite", 1, 0, nullptr},
        TModeCase{"div-zero", "EDivByZero", "Division by zero", "div-zero", "CrashFunctions.DivideByZero", 1, 0, nullptr},
        TModeCase{"abort", "BcbTermination", "Abnormal program termination", "abort", "CrashFunctions.Abort", 1, 0, nullptr},
        TModeCase{"stack-overflow", "EStackOverflow", "Stack overflow", "stack-overflow", "CrashFunctions.StackOverflow", 1, 0, nullptr},
        TModeCase{"throw-main", "std::runtime_error", "thrown in main", nullptr, nullptr, 1, 0, nullptr},
        TModeCase{"throw-thread", "std::runtime_error", "thrown in a std::thread", nullptr, nullptr, 1, 0, nullptr},
        TModeCase{"throw-qthread", "std::runtime_error", "thrown in a QThread", nullptr, nullptr, 1, 0, nullptr},
        TModeCase{"slot-throw", "std::runtime_error", "thrown in a slot", nullptr, nullptr, 0, 0, "continued"},
        TModeCase{"user-error", nullptr, nullptr, nullptr, nullptr, 0, 0, "warning: The file name is missing.\ncontinued"},
        TModeCase{"eabort", nullptr, nullptr, nullptr, nullptr, 0, 0, "continued"},
        TModeCase{"exit-while-reporting", "std::runtime_error", "thrown before the exit", nullptr, nullptr, 7, 0, "continued"},
        TModeCase{"terminate", "BcbTermination", "Abnormal program termination", nullptr, nullptr, 1, 0, nullptr},
        TModeCase{"external", "EExternalSignal", "External signal SIGSEGV from process ", nullptr, nullptr, 1, 0, nullptr},
        TModeCase{"grab-throw", "std::runtime_error", "thrown while grabbing", nullptr, nullptr, 0, 0, "mouse grab taken|continued\nmouse grab released"},
        TModeCase{"two-threads", "EAccessViolation", "Read of address", "null-read", "CrashFunctions.NullRead", 1, 0, nullptr}),
    [](const ::testing::TestParamInfo<TModeCase>& info) {
        std::string name = info.param.Mode;
        for (char& ch : name)
            if (ch == '-')
                ch = '_';
        return name;
    });

size_t Count(const std::string& text, const std::string& what)
{
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

// The thread sections in the order of their titles.
std::vector<std::string> SectionTitles(const std::string& report)
{
    std::vector<std::string> titles;
    const std::vector<std::string> lines = Lines(report);
    for (size_t i = 1; i < lines.size(); ++i)
        if (lines[i - 1].empty() && !lines[i].empty() && lines[i].find(':') != std::string::npos &&
            (lines[i].back() == ':' || lines[i].find("): <") != std::string::npos || lines[i].find("): ") != std::string::npos))
            titles.push_back(lines[i]);
    return titles;
}

// A frozen main thread: the watchdog's report carries FrozenText, no class, and the main thread's
// section first; the program goes on once the main thread answers again.
TEST(CrashTestThreads, FrozenMainThread)
{
    const TChildResult r = RunCrashTest("freeze");
    ASSERT_FALSE(r.TimedOut) << r.Out << r.Err;
    EXPECT_TRUE(r.Exited()) << r.Out << r.Err;
    EXPECT_EQ(r.ExitCode(), 0) << r.Out << r.Err;
    EXPECT_EQ(r.Out.rfind("The application seems to be frozen.", 0), 0u) << r.Out;
    EXPECT_EQ(Field(r.Out, "exception message"), "The application seems to be frozen.") << r.Out;
    EXPECT_EQ(Field(r.Out, "exception class"), "") << r.Out;
    const std::vector<std::string> titles = SectionTitles(r.Out);
    ASSERT_FALSE(titles.empty()) << r.Out;
    EXPECT_EQ(titles[0].rfind("main thread (", 0), 0u) << r.Out;
    EXPECT_NE(r.Out.find("FreezeMainThread"), std::string::npos) << r.Out;
    EXPECT_NE(r.Out.find("continued"), std::string::npos) << r.Out;
}

// A named worker blocked beside the crash: its section is titled by its name and says who
// created it.
TEST(CrashTestThreads, NamedBlockedWorker)
{
    const TChildResult r = RunCrashTest("named-worker");
    ASSERT_FALSE(r.TimedOut) << r.Out << r.Err;
    EXPECT_EQ(r.ExitCode(), 1) << r.Out << r.Err;
    const std::vector<std::string> titles = SectionTitles(r.Out);
    ASSERT_GE(titles.size(), 2u) << r.Out;
    EXPECT_EQ(titles[0].rfind("main thread (", 0), 0u) << r.Out;
    EXPECT_EQ(titles[1].rfind("worker ($", 0), 0u) << r.Out;
    EXPECT_NE(r.Out.find(">> created by main thread ($"), std::string::npos) << r.Out;
    EXPECT_NE(r.Out.find("CrashBesideANamedWorker"), std::string::npos) << r.Out;
}

// An overflow of the main thread's stack leaves the stack pointer below the stack's mapping: the
// trace starts at the stack's first readable page and shows the recursion down from main.
TEST(CrashTestThreads, MainThreadStackOverflowShowsTheRecursion)
{
    const TChildResult r = RunCrashTest("stack-overflow");
    ASSERT_FALSE(r.TimedOut) << r.Out << r.Err;
    const std::vector<std::string> titles = SectionTitles(r.Out);
    ASSERT_FALSE(titles.empty()) << r.Out;
    EXPECT_EQ(titles[0].rfind("main thread (", 0), 0u) << r.Out;
    const size_t section = r.Out.find(titles[0]);
    const std::string trace = r.Out.substr(section, r.Out.find("\r\n\r\n", section) - section);
    EXPECT_EQ(trace.find(">> stack not accessible"), std::string::npos) << trace;
    EXPECT_NE(trace.find("uCrashFunctions.cpp  " + std::to_string(MarkLine("stack-overflow")) + " CrashFunctions.StackOverflow"),
              std::string::npos) << trace;
    EXPECT_NE(trace.find(" main\r\n"), std::string::npos) << trace;
}

// Below main the main thread's trace goes straight on to the C library's start, whether the main
// thread crashed or was stopped beside a crash: a stale code address left in main's frame or in
// the start code's frame makes up no caller.
TEST(CrashTestThreads, NothingBetweenMainAndTheLibrarysStart)
{
    for (const char* mode : {"null-read", "throw-thread", "external"}) {
        SCOPED_TRACE(mode);
        const TChildResult r = RunCrashTest(mode);
        ASSERT_FALSE(r.TimedOut) << r.Out << r.Err;
        const std::vector<std::string> titles = SectionTitles(r.Out);
        const auto title = std::find_if(titles.begin(), titles.end(),
            [](const std::string& t) { return t.rfind("main thread (", 0) == 0; });
        ASSERT_NE(title, titles.end()) << r.Out;
        const size_t section = r.Out.find(*title);
        const std::vector<std::string> trace = Lines(r.Out.substr(section, r.Out.find("\r\n\r\n", section) - section));
        auto endsWith = [](const std::string& line, const std::string& tail) {
            return line.size() >= tail.size() && line.compare(line.size() - tail.size(), tail.size(), tail) == 0;
        };
        const auto atMain = std::find_if(trace.begin(), trace.end(), [&](const std::string& l) { return endsWith(l, " main"); });
        ASSERT_NE(atMain, trace.end()) << r.Out;
        ASSERT_NE(atMain + 1, trace.end()) << r.Out;
        EXPECT_TRUE(endsWith(*(atMain + 1), " __libc_start_main")) << *(atMain + 1) << "\n" << r.Out;
    }
}

TEST(CrashTestNeverWorse, TwoThreadsCrashingTogetherGiveTwoReports)
{
    // On a loaded machine the second thread may still be waking from the start barrier when the
    // first report stops it: then only one thread faulted (no trace stands in the fatal signal
    // handler but the reporting one's), and the run says nothing. Such runs are tried again.
    for (int attempt = 0; attempt < 20; ++attempt) {
        const TChildResult r = RunCrashTest("two-threads");
        ASSERT_FALSE(r.TimedOut);
        const size_t reports = Count(r.Out, "exception class   : EAccessViolation");
        if (reports == 1 && r.Out.find(" FatalSignalHandler\r\n") == std::string::npos)
            continue;
        EXPECT_EQ(reports, 2u) << r.Out << r.Err;
        // Once in each report's trace (the listings name it too, at their entry line).
        EXPECT_EQ(Count(r.Out, " CrashFunctions.NullRead\r\n"), 2u) << r.Out;
        return;
    }
    FAIL() << "the second thread never reached its fault in 20 runs";
}

// A phase-0 handler that faults: the handling thread's own fault is an emergency report on
// standard error, and the process dies by the signal.
TEST(CrashTestNeverWorse, CrashingHandlerEndsInAnEmergencyReport)
{
    const TChildResult r = RunCrashTest("phase0-crash");
    ASSERT_FALSE(r.TimedOut) << r.Out << r.Err;
    EXPECT_EQ(r.Signal(), SIGSEGV) << r.Out << r.Err;
    EXPECT_NE(r.Err.find("emergency report: a fault in the crash reporter's handling thread"), std::string::npos) << r.Err;
    EXPECT_NE(r.Err.find("signal            : SIGSEGV (11)"), std::string::npos) << r.Err;
    EXPECT_NE(r.Err.find("crashtest+$"), std::string::npos) << r.Err;
}

// A phase-0 handler that never returns: the waiting signal handler gives up after the guard time
// with a minimal report and the death by its signal.
TEST(CrashTestNeverWorse, BlockingHandlerEndsInAMinimalReport)
{
    const int64_t start = NowMs();
    const TChildResult r = RunCrashTest("phase0-block", {"CRASHTEST_GUARD_MS=700"});
    ASSERT_FALSE(r.TimedOut) << r.Out << r.Err;
    EXPECT_GE(NowMs() - start, 700);
    EXPECT_EQ(r.Signal(), SIGSEGV) << r.Out << r.Err;
    EXPECT_NE(r.Err.find("minimal report: the crash reporter did not answer in time"), std::string::npos) << r.Err;
    EXPECT_NE(r.Err.find("fault address     : $0000000000000000"), std::string::npos) << r.Err;
    EXPECT_NE(r.Err.find("instruction       : $"), std::string::npos) << r.Err;
}

// The emergency and the minimal report go where the report goes, the data folder, never into the
// folder the program was started in: a link planted there as "bugreport.txt" gets nothing, and
// the report is readable by its user alone.
TEST(CrashTestNeverWorse, FallbackReportsGoToTheDataFolderPrivately)
{
    const struct {
        const char* Mode;
        const char* Title;
    } cases[] = {
        {"phase0-crash", "emergency report: a fault in the crash reporter's handling thread"},
        {"phase0-block", "minimal report: the crash reporter did not answer in time"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Mode);
        char pattern[] = "/tmp/crashtest-shared-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        const std::string shared = pattern, target = shared + "/target.txt", data = shared + "/data";
        std::ofstream(target) << "untouched\n";
        ASSERT_EQ(symlink(target.c_str(), (shared + "/bugreport.txt").c_str()), 0);
        ASSERT_EQ(mkdir(data.c_str(), 0700), 0);
        const TChildResult r = RunCrashTest(c.Mode, {"CRASHTEST_GUARD_MS=700", "CRASHTEST_DATA_DIR=" + data}, 30000, shared);
        ASSERT_FALSE(r.TimedOut) << r.Out << r.Err;
        EXPECT_EQ(r.Signal(), SIGSEGV) << r.Out << r.Err;
        EXPECT_EQ(Slurp(target), "untouched\n");
        struct stat info {};
        ASSERT_EQ(lstat((data + "/bugreport.txt").c_str(), &info), 0);
        EXPECT_TRUE(S_ISREG(info.st_mode));
        EXPECT_EQ(info.st_mode & 0777, 0600u);
        EXPECT_NE(Slurp(data + "/bugreport.txt").find(c.Title), std::string::npos) << r.Err;
        std::filesystem::remove_all(shared);
    }
}

// A fault inside the loader's module walk, which holds the loader's lock, with a handler that
// never returns: the reporter does not call into the loader on its way, so the minimal report
// after the guard time still places the addresses in their modules.
TEST(CrashTestNeverWorse, AFaultUnderTheLoaderLockKeepsTheModuleList)
{
    const TChildResult r = RunCrashTest("loader-lock", {"CRASHTEST_GUARD_MS=700"});
    ASSERT_FALSE(r.TimedOut) << r.Out << r.Err;
    EXPECT_EQ(r.Signal(), SIGSEGV) << r.Out << r.Err;
    EXPECT_NE(r.Err.find("minimal report: the crash reporter did not answer in time"), std::string::npos) << r.Err;
    EXPECT_TRUE(std::regex_search(r.Err, std::regex("instruction       : \\$[0-9a-f]{16} crashtest\\+\\$[0-9a-f]+")))
        << r.Err;
}

// Under a file-size limit the reporter's file writes fail; the program is not killed by SIGXFSZ
// halfway, and what goes to standard error comes first and whole.
TEST(CrashTestNeverWorse, AFileSizeLimitCostsOnlyTheFile)
{
    char pattern[] = "/tmp/crashtest-fsize-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::string folder = pattern, file = folder + "/report.txt";
    {
        SCOPED_TRACE("the automatic save of a whole report");
        const TChildResult r = RunCrashTest("null-read", {"CRASHTEST_FSIZE=2048", "CRASHTEST_BOX=0,0," + file});
        ASSERT_FALSE(r.TimedOut) << r.Out << r.Err;
        EXPECT_NE(r.Signal(), SIGXFSZ) << r.Out << r.Err;
        EXPECT_NE(r.Out.find("CrashFunctions.NullRead"), std::string::npos) << r.Out;
        EXPECT_NE(r.Out.find("modules:"), std::string::npos) << "the report on the console is whole";
        struct stat info {};
        if (stat(file.c_str(), &info) == 0) {
            EXPECT_LE(info.st_size, 2048);
        }
    }
    {
        SCOPED_TRACE("the emergency report of a fault in the reporter");
        const TChildResult r = RunCrashTest("phase0-crash", {"CRASHTEST_FSIZE=0", "CRASHTEST_DATA_DIR=" + folder});
        ASSERT_FALSE(r.TimedOut) << r.Out << r.Err;
        EXPECT_EQ(r.Signal(), SIGSEGV) << r.Out << r.Err;
        EXPECT_NE(r.Err.find("emergency report: a fault in the crash reporter's handling thread"), std::string::npos)
            << r.Err;
        EXPECT_NE(r.Err.find("return addresses:"), std::string::npos) << r.Err;
    }
    std::filesystem::remove_all(folder);
}

// An automatic save that fails says so on standard error, naming the file and the cause; the
// report still reaches standard output.
TEST(CrashTestNeverWorse, AFailedAutomaticSaveSaysWhy)
{
    char pattern[] = "/tmp/crashtest-save-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::string folder = pattern, notAFolder = folder + "/plain";
    std::ofstream(notAFolder) << "x";
    const std::string file = notAFolder + "/report.txt";
    const TChildResult r = RunCrashTest("null-read", {"CRASHTEST_BOX=0,0," + file, "LANGUAGE=", "LC_ALL=C"});
    ASSERT_FALSE(r.TimedOut) << r.Out << r.Err;
    EXPECT_NE(r.Err.find("The bug report could not be saved to " + file + ": Not a directory\n"), std::string::npos)
        << r.Err;
    EXPECT_NE(r.Out.find("CrashFunctions.NullRead"), std::string::npos) << r.Out;
    std::filesystem::remove_all(folder);
}

// A division by zero: the listing starts at the function's entry, under its name, and marks the
// faulting instruction further down.
TEST(CrashTestModes, DisassemblyStartsAtTheFunctionsEntry)
{
    const TChildResult r = RunCrashTest("div-zero");
    ASSERT_FALSE(r.TimedOut) << r.Out << r.Err;
    const size_t at = r.Out.find("\r\ndisassembling:\r\n");
    ASSERT_NE(at, std::string::npos) << r.Out;
    const std::string listing = r.Out.substr(at + 19);
    const std::string first = listing.substr(0, listing.find("\r\n"));
    EXPECT_NE(first.find("public uCrashFunctions.cpp.CrashFunctions.DivideByZero:"), std::string::npos) << listing;
    EXPECT_NE(first.find("; function entry point"), std::string::npos) << listing;
    EXPECT_EQ(listing.find("sub_"), std::string::npos) << listing;
    const size_t marked = listing.find("> idiv");
    ASSERT_NE(marked, std::string::npos) << listing;
    EXPECT_GT(marked, first.size()) << "the faulting instruction is not the first line";
}

TEST(CrashTestNeverWorse, AfterDoneTheDefaultDeathIsBack)
{
    const TChildResult r = RunCrashTest("done-default");
    ASSERT_FALSE(r.TimedOut);
    EXPECT_EQ(r.Signal(), SIGSEGV) << r.Out << r.Err;
    EXPECT_EQ(r.Out, "");
    EXPECT_EQ(r.Err.find("report"), std::string::npos) << r.Err;
}

} // namespace
