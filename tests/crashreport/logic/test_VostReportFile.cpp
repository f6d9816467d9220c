// The bug-report file (names, appending, trimming, safe replacement), private temporary files and
// the restart record.
#include "crashreport/logic/VostReportFile.h"

#include "CrashTestSupport.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include <csignal>

#include <sys/resource.h>
#include <sys/stat.h>
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

// A report of exactly size bytes once the separator is appended, starting as every report does.
std::string Report(char fill, size_t size, const std::string& body = {})
{
    std::string text = "date/time         : 2026-12-10, 20:00:00, 1ms" + body;
    text.resize(size - 4, fill);
    return text;
}

} // namespace

TEST(VostReportFile, NamesResolveAgainstTheDataFolder)
{
    struct {
        const char *Setting, *Folder, *Path;
    } cases[] = {
        { "bugreport.txt", "/home/u/.local/share/Tarvell", "/home/u/.local/share/Tarvell/bugreport.txt" },
        { "bugreport.txt", "/data/", "/data/bugreport.txt" },
        { "logs/Tarvell.txt", "/data", "/data/logs/Tarvell.txt" },
        { "/var/log/Tarvell.txt", "/data", "/var/log/Tarvell.txt" },
        { "/abs.txt", "", "/abs.txt" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Setting);
        EXPECT_EQ(ResolveReportPath(c.Setting, c.Folder), c.Path);
        EXPECT_EQ(IsAbsoluteReportPath(c.Setting), c.Setting[0] == '/');
    }
}

TEST(VostReportFile, SaveTable)
{
    const std::string r1 = Report('a', 10000), r2 = Report('b', 10000), r3 = Report('c', 10000);
    const std::string r4 = Report('d', 10000), r5 = Report('e', 10000), r6 = Report('f', 10000);
    const std::string sep = "\r\n\r\n";
    // "date/time" inside a report, where a cut would leave a torn report.
    const std::string inner = Report('g', 10000, std::string(5000, 'x') + " date/time mentioned in a message");
    const std::string big = Report('z', 45000);
    struct {
        const char* Name;
        std::string Existing;
        std::vector<std::string> Reports;
        uint32_t MaxSize;
        std::string Expected;
    } cases[] = {
        { "new file", "", { "date/time x" }, 50000, "date/time x" + sep },
        { "appends below the limit", "", { "date/time 1", "date/time 2" }, 50000,
            "date/time 1" + sep + "date/time 2" + sep },
        { "limit 0 keeps only the newest", "date/time old" + sep, { "date/time new" }, 0, "date/time new" + sep },
        { "cut at the start that leaves fewer than three quarters",
            r1 + sep + r2 + sep + r3 + sep + r4 + sep + r5 + sep, { r6 }, 50000, r4 + sep + r5 + sep + r6 + sep },
        { "exactly at the limit stays", r1 + sep + r2 + sep + r3 + sep + r4 + sep, { r5 }, 50000,
            r1 + sep + r2 + sep + r3 + sep + r4 + sep + r5 + sep },
        { "no cut inside a report", r1 + sep + r2 + sep + inner + sep + r4 + sep + r5 + sep, { r6 }, 50000,
            r4 + sep + r5 + sep + r6 + sep },
        { "no start qualifies: only the newest stays", r1 + sep, { big }, 50000, big + sep },
        { "foreign text before the first report is cut away",
            "garbage without reports\r\n" + r2 + sep + r3 + sep + r4 + sep + r5 + sep, { r6 }, 45000,
            r4 + sep + r5 + sep + r6 + sep },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        QTemporaryDir dir;
        const std::string path = dir.path().toStdString() + "/bugreport.txt";
        if (!c.Existing.empty())
            WriteTestFile(path, c.Existing);
        for (const std::string& report : c.Reports)
            ASSERT_TRUE(AppendReportToFile(path, report, c.MaxSize));
        const std::string got = Slurp(path);
        EXPECT_EQ(got.size(), c.Expected.size());
        EXPECT_TRUE(got == c.Expected);
        // No temporary sibling is left behind.
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path().toStdString()), {}), 1);
    }
}

TEST(VostReportFile, CreatesMissingFoldersOfAnAbsoluteName)
{
    QTemporaryDir dir;
    const std::string path = dir.path().toStdString() + "/logs/deeper/Tarvell.txt";
    ASSERT_TRUE(AppendReportToFile(path, "date/time r", 50000));
    EXPECT_EQ(Slurp(path), "date/time r\r\n\r\n");
    EXPECT_TRUE(CreateFolderPath(path));
    EXPECT_FALSE(CreateFolderPath("no-folder.txt"));
    EXPECT_TRUE(CreateFolderPath("/at-the-root.txt"));
}

TEST(VostReportFile, RefusesWhatIsNotAPlainFileAndLeavesItAlone)
{
    QTemporaryDir dir;
    const std::string base = dir.path().toStdString();
    WriteTestFile(base + "/target.txt", "precious");
    ASSERT_EQ(::symlink((base + "/target.txt").c_str(), (base + "/link.txt").c_str()), 0);
    EXPECT_FALSE(AppendReportToFile(base + "/link.txt", "date/time r", 0));
    EXPECT_EQ(Slurp(base + "/target.txt"), "precious");
    ASSERT_EQ(::mkdir((base + "/folder.txt").c_str(), 0700), 0);
    EXPECT_FALSE(AppendReportToFile(base + "/folder.txt", "date/time r", 50000));
    WriteTestFile(base + "/file", "x");
    EXPECT_FALSE(AppendReportToFile(base + "/file/below.txt", "date/time r", 50000));
    EXPECT_EQ(Slurp(base + "/file"), "x");
}

TEST(VostReportFile, AFailedReplacementKeepsThePreviousFile)
{
    QTemporaryDir dir;
    const std::string path = dir.path().toStdString() + "/bugreport.txt";
    const std::string old = "date/time old\r\n\r\n" + std::string(3000, 'o');
    WriteTestFile(path, old);
    // A file-size limit makes every write beyond 100 bytes fail, as a full disk would; in a child,
    // so that the limit stays there.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit { 100, 100 };
        ::setrlimit(RLIMIT_FSIZE, &limit);
        const bool replaced = AppendReportToFile(path, "date/time new" + std::string(500, 'n'), 0);
        const bool trimmed = AppendReportToFile(path, "date/time new" + std::string(500, 'n'), 1000);
        const bool appended = AppendReportToFile(path, "date/time new" + std::string(500, 'n'), 100000);
        ::_exit(replaced || trimmed || appended ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(Slurp(path), old);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path().toStdString()), {}), 1);
}

TEST(VostReportFile, ConcurrentWritersKeepWholeReports)
{
    QTemporaryDir dir;
    const std::string path = dir.path().toStdString() + "/bugreport.txt";
    std::vector<std::thread> writers;
    for (int w = 0; w < 4; ++w)
        writers.emplace_back([&path, w] {
            for (int i = 0; i < 40; ++i)
                AppendReportToFile(path, Report(static_cast<char>('a' + w), 700 + 13 * i), 4000);
        });
    for (std::thread& writer : writers)
        writer.join();
    const std::string text = Slurp(path);
    ASSERT_FALSE(text.empty());
    EXPECT_LT(text.size(), 4000u);
    // Every piece between separators is one whole report of a single writer.
    size_t start = 0;
    int reports = 0;
    while (start < text.size()) {
        const size_t end = text.find("\r\n\r\n", start);
        ASSERT_NE(end, std::string::npos);
        const std::string piece = text.substr(start, end - start);
        ASSERT_EQ(piece.rfind("date/time", 0), 0u);
        const char fill = piece.back();
        EXPECT_EQ(piece.find_first_not_of(fill, piece.find("1ms") + 3), std::string::npos);
        EXPECT_EQ((piece.size() + 4 - 700) % 13, 0u);
        start = end + 4;
        ++reports;
    }
    EXPECT_GE(reports, 1);
}

TEST(VostReportFile, PrivateTemporaryFiles)
{
    const std::string folder = PrivateTempFolder();
    ASSERT_FALSE(folder.empty());
    struct stat info { };
    ASSERT_EQ(::lstat(folder.c_str(), &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode));
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    const std::string first = WritePrivateTempFile("bugreport.txt", "one");
    const std::string second = WritePrivateTempFile("bugreport.txt", "two");
    ASSERT_FALSE(first.empty());
    ASSERT_FALSE(second.empty());
    EXPECT_NE(first, second);
    EXPECT_EQ(Slurp(first), "one");
    EXPECT_EQ(Slurp(second), "two");
    ASSERT_EQ(::lstat(first.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    for (const char* bad : { "", "../escape", "a/b", ".." })
        EXPECT_EQ(WritePrivateTempFile(bad, "x"), "") << bad;
    ::unlink(first.c_str());
    ::unlink(second.c_str());
}

TEST(VostReportFile, RestartRecord)
{
    TRestartHistory history {};
    for (size_t i = 0; i < history.size(); ++i)
        history[i] = 0x0102030405060708ull * (i + 1);
    const std::string bytes = PackRestartRecord(0xA1B2C3D4, history);
    ASSERT_EQ(bytes.size(), RestartRecordSize);
    EXPECT_EQ(bytes.substr(0, 8), std::string("\xD4\xC3\xB2\xA1\0\0\0\0", 8));
    EXPECT_EQ(bytes.substr(8, 8), std::string("\x08\x07\x06\x05\x04\x03\x02\x01", 8));
    uint32_t pid = 0;
    TRestartHistory back {};
    ASSERT_TRUE(UnpackRestartRecord(bytes, pid, back));
    EXPECT_EQ(pid, 0xA1B2C3D4u);
    EXPECT_EQ(back, history);
    EXPECT_FALSE(UnpackRestartRecord(bytes.substr(0, 87), pid, back));
    EXPECT_FALSE(UnpackRestartRecord(bytes + "x", pid, back));
}

TEST(VostReportFile, AnOrdinaryStartIsNoRestart)
{
    TRestartHistory history {};
    history[0] = 42;
    for (const char* value : { "", "x", "-1", "99999999", "0", "2" }) {
        ::setenv(RestartPipeVariable, value, 1);
        EXPECT_FALSE(ResumeAfterRestart(history)) << value;
        EXPECT_EQ(std::getenv(RestartPipeVariable), nullptr);
    }
    EXPECT_EQ(history[0], 42u);
}

#ifdef TARVELL_RESTART_TEST_PROGRAM
namespace {

int RunProgram(std::vector<std::string> arguments)
{
    arguments.insert(arguments.begin(), TARVELL_RESTART_TEST_PROGRAM);
    std::vector<char*> argv;
    for (std::string& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    const pid_t child = ::fork();
    if (child == 0) {
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

TEST(VostReportFile, RestartStartsOneSuccessorThatWaitsAndGetsTheHistory)
{
    for (const char* mode : { "restart", "restart-direct" }) {
        SCOPED_TRACE(mode);
        QTemporaryDir dir;
        const std::string out = dir.path().toStdString() + "/run";
        EXPECT_EQ(RunProgram({ mode, out }), 2);
        std::string child;
        for (int i = 0; i < 500 && (child = Slurp(out + ".child")).find("1009\n") == std::string::npos; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        // The successor runs the executable itself under its own name, not as "exe".
        const std::string program = TARVELL_RESTART_TEST_PROGRAM;
        std::string expected = "parent gone yes\nname " + program.substr(program.rfind('/') + 1, 15) + "\nargv0 "
            + program + "\n";
        for (int i = 0; i < 10; ++i)
            expected += std::to_string(1000 + i) + "\n";
        EXPECT_EQ(child, expected);
        // A moment for a second successor that must not come.
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        EXPECT_EQ(Slurp(out + ".starts"), "first\nresumed\n");
    }
}

TEST(VostReportFile, CloseEndsWithCodeOne)
{
    EXPECT_EQ(RunProgram({ "close" }), 1);
}
#endif
