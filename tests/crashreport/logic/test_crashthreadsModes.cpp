// crashthreads run as a child, one mode each: what the report says about threads, and how the
// program ends.
#include "ChildRun.h"

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

using TChild = childrun::TChildResult;

TChild RunChild(const std::string& mode)
{
    return childrun::RunChildProgram(CRASHTHREADS_EXE, mode, {}, 60000);
}

int MarkLine(const std::string& mark)
{
    return childrun::MarkLineIn(CRASHTHREADS_SOURCE, mark);
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
