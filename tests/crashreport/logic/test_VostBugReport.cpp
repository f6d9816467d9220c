// The bug report composer: the header block and its left-out lines, durations and messages, the
// processor count, the modules section and the hardware list from a fake sysfs.
#include "crashreport/logic/VostBugReport.h"

#include "CrashTestSupport.h"
#include "ReportFixtures.h"
#include "crashreport/logic/VostMail.h"
#include "crashreport/logic/VostMemory.h"
#include "crashreport/logic/VostSignals.h"
#include "crashreport/logic/VostStrings.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <thread>
#include <vector>

#include <unistd.h>

namespace {

THeaderInput FullInput()
{
    THeaderInput input;
    input.Facts.ComputerName = "werkbank";
    input.Facts.WtsClientName = "10.0.0.7";
    input.Facts.UserName = "anna";
    input.Facts.OperatingSystem = "Debian GNU/Linux 12 (bookworm) build 6.1.0-18-amd64";
    input.Facts.SystemLanguage = "German";
    input.Facts.ProcessorName = "Fake CPU @ 2.00GHz";
    input.Facts.ProcessorCount = 1;
    input.Facts.ExecutablePath = "/opt/tarvell/tarvell";
    input.Facts.ExecutableDateTime = "2026-12-01 09:05";
    input.Facts.CommandLine = "/opt/tarvell/tarvell /multi \"my file.ov2\"";
    input.Year = 2026, input.Month = 3, input.Day = 4, input.Hour = 5, input.Minute = 6, input.Second = 7,
    input.Millisecond = 8;
    input.SystemUpSeconds = 2 * 86400 + 3 * 3600 + 59;
    input.ProgramUpMilliseconds = 61500;
    input.MemoryAvailable = (1500ull << 20) + 0x80000;
    input.MemoryTotal = (16000ull << 20) + 0x7FFFF;
    input.DiskSpace = "(/) 12,50 GB";
    input.DisplayWidth = 1920, input.DisplayHeight = 1080, input.DisplayDepth = 24;
    input.ProcessId = 0x1a2b;
    input.AllocatedMemory = 3 << 20;
    input.Version = "1.2.3";
    input.ClassName = "EAccessViolation";
    input.Message = "Access violation at address $0000000000401000. Read of address $0000000000000000";
    return input;
}

std::string Lines(std::initializer_list<std::string> lines)
{
    std::string text;
    for (const std::string& line : lines)
        text += (text.empty() ? "" : "\r\n") + line;
    return text;
}

} // namespace

TEST(VostBugReport, GoldenHeader)
{
    EXPECT_EQ(ComposeReportHeader(FullInput()),
        Lines({
            "date/time         : 2026-03-04, 05:06:07, 8ms",
            "computer name     : werkbank",
            "wts client name   : 10.0.0.7",
            "user name         : anna",
            "operating system  : Debian GNU/Linux 12 (bookworm) build 6.1.0-18-amd64",
            "system language   : German",
            "system up time    : 2 days 3 hours ",
            "program up time   : 1 minute 1 second ",
            "processor         : Fake CPU @ 2.00GHz",
            "physical memory   : 1501/16000 MB (free/total)",
            "free disk space   : (/) 12,50 GB",
            "display mode      : 1920x1080, 24 bit",
            "process id        : $1a2b",
            std::string("allocated memory  : 3") + LocaleDecimalSeparator() + "00 MB",
            "command line      : /opt/tarvell/tarvell /multi \"my file.ov2\"",
            "executable        : tarvell",
            "exec. date/time   : 2026-12-01 09:05",
            "version           : 1.2.3",
            "VostExcept version: 2.7i",
            "exception class   : EAccessViolation",
            "exception message : Access violation at address $0000000000401000. Read of address $0000000000000000.",
        }));
}

TEST(VostBugReport, LeftOutLines)
{
    struct {
        const char* Name;
        void (*Change)(THeaderInput&);
        const char* Missing;
        const char* Present;
    } cases[] = {
        { "local session", [](THeaderInput& i) { i.Facts.WtsClientName.clear(); }, "wts client name", nullptr },
        { "C locale", [](THeaderInput& i) { i.Facts.SystemLanguage.clear(); }, "system language", nullptr },
        { "no boot clock", [](THeaderInput& i) { i.SystemUpSeconds = -1; }, "system up time", nullptr },
        { "no processor name", [](THeaderInput& i) { i.Facts.ProcessorName.clear(); }, "processor", nullptr },
        { "two processors", [](THeaderInput& i) { i.Facts.ProcessorCount = 2; },
            "processor         :", "processors        : 2x Fake CPU @ 2.00GHz" },
        { "33 processors", [](THeaderInput& i) { i.Facts.ProcessorCount = 33; },
            "processor         :", "processors        : 33x Fake CPU" },
        { "ListCommandLine off", [](THeaderInput& i) { i.ListCommandLine = false; }, "command line", nullptr },
        { "no parameters", [](THeaderInput& i) { i.Facts.CommandLine.clear(); }, "command line", nullptr },
        { "file time unknown", [](THeaderInput& i) { i.Facts.ExecutableDateTime.clear(); }, "exec. date/time",
            nullptr },
        { "no version", [](THeaderInput& i) { i.Version.clear(); }, "version           :", "VostExcept version: 2.7i" },
        { "message equals class", [](THeaderInput& i) { i.Message = i.ClassName; }, "exception message",
            "exception class   : EAccessViolation" },
        { "no object",
            [](THeaderInput& i) {
                i.ClassName.clear();
                i.Message = "Unknown";
            },
            "exception message", "exception class   : Unknown" },
        { "freeze", [](THeaderInput& i) { i.Frozen = true, i.FrozenText = "The application seems to be frozen."; },
            "exception class", "exception message : The application seems to be frozen." },
        { "under a second", [](THeaderInput& i) { i.ProgramUpMilliseconds = 999; }, "program up time   : 1 ",
            "program up time   : 999 milliseconds" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        THeaderInput input = FullInput();
        c.Change(input);
        const std::string header = ComposeReportHeader(input);
        EXPECT_EQ(header.find(c.Missing), std::string::npos);
        if (c.Present) {
            EXPECT_NE(header.find(c.Present), std::string::npos) << header;
        }
        // Never a line end at the end: the thread sections begin with their own.
        EXPECT_NE(header.substr(header.size() - 2), "\r\n");
        EXPECT_EQ(header.rfind("date/time         : ", 0), 0u);
    }
}

TEST(VostBugReport, Durations)
{
    struct {
        uint64_t Seconds;
        const char* Text;
    } cases[] = {
        { 0, "" },
        { 1, "1 second " },
        { 59, "59 seconds " },
        { 60, "1 minute " },
        { 61, "1 minute 1 second " },
        { 3599, "59 minutes 59 seconds " },
        { 3600, "1 hour " },
        { 3 * 3600 + 120, "3 hours 2 minutes " },
        { 2 * 86400 + 3 * 3600, "2 days 3 hours " },
        { 86400 + 59, "1 day " },
        { 400 * 86400 + 3600, "400 days 1 hour " },
    };
    for (const auto& c : cases)
        EXPECT_EQ(DurationText(c.Seconds), c.Text) << c.Seconds;
}

TEST(VostBugReport, MessagePunctuation)
{
    struct {
        const char *Message, *Text;
    } cases[] = {
        { "Disk full", "Disk full." },
        { "Disk full.", "Disk full.." },
        { "Disk full!!", "Disk full!." },
        { "Disk full!.!", "Disk full!." },
        { "Disk full...", "Disk full.." },
        { "Version 1.2 failed", "Version 1.2 failed." },
        { "", "." },
        { "!!", "!." },
    };
    for (const auto& c : cases)
        EXPECT_EQ(ReportMessageText(c.Message), c.Text) << c.Message;
}

TEST(VostBugReport, ProcessorsFromCpuInfo)
{
    const std::string one = "processor\t: 0\nvendor_id\t: Fake\nmodel name\t:  Fake CPU @ 2.00GHz \nflags\t\t: fpu\n\n";
    std::string many;
    for (int i = 0; i < 20; ++i)
        many += "processor\t: " + std::to_string(i) + "\nmodel name\t: Fake CPU @ 2.00GHz\n\n";
    struct {
        std::string Text;
        const char* Name;
        int Count;
    } cases[] = {
        { one, "Fake CPU @ 2.00GHz", 1 },
        { one + "processor\t: 1\nmodel name\t: Fake CPU @ 2.00GHz\n", "Fake CPU @ 2.00GHz", 2 },
        { many, "Fake CPU @ 2.00GHz", 20 },
        { "processor : 0\nModel : Raspberry Pi 4\n", "Raspberry Pi 4", 1 },
        { "", "", 0 },
        { "garbage without colons\n\n", "", 0 },
    };
    for (const auto& c : cases) {
        std::string name;
        int count = -1;
        ParseCpuInfo(c.Text, name, count);
        EXPECT_EQ(name, c.Name);
        EXPECT_EQ(count, c.Count);
    }
}

TEST(VostBugReport, FactsFromAFakeRoot)
{
    QTemporaryDir dir;
    const std::string root = dir.path().toStdString();
    std::filesystem::create_directories(root + "/proc");
    std::filesystem::create_directories(root + "/etc");
    WriteTestFile(
        root + "/proc/cpuinfo", "processor\t: 0\nmodel name\t: Fake CPU\n\nprocessor\t: 1\nmodel name\t: Fake CPU\n");
    WriteTestFile(root + "/etc/os-release", "PRETTY_NAME=\"Fake Linux 7\"\n");
    ::setenv("SSH_CONNECTION", "192.168.1.20 50022 192.168.1.2 22", 1);
    const TReportFacts facts = GatherReportFacts({ root, "", "" });
    ::unsetenv("SSH_CONNECTION");
    EXPECT_EQ(facts.ProcessorName, "Fake CPU");
    EXPECT_EQ(facts.ProcessorCount, 2);
    EXPECT_EQ(facts.WtsClientName, "192.168.1.20");
    EXPECT_EQ(facts.OperatingSystem.rfind("Fake Linux 7 build ", 0), 0u) << facts.OperatingSystem;
    EXPECT_FALSE(facts.UserName.empty());
    EXPECT_FALSE(facts.ExecutablePath.empty());
    EXPECT_EQ(facts.ExecutableDateTime.size(), 16u);
}

TEST(VostBugReport, ModulesSection)
{
    TModuleInfo program, library;
    program.Base = 0x55d0c0a00000;
    program.FileName = "/opt/tarvell/tarvell";
    library.Base = 0x7f0012340000;
    library.FileName = "/usr/lib/x86_64-linux-gnu/libfake.so.1.2.13";
    EXPECT_EQ(ModulesSection({ program, library }),
        Lines({
            "modules:",
            "000055d0c0a00000 tarvell" + std::string(11 + 9, ' ') + "/opt/tarvell/",
            "00007f0012340000 libfake.so.1.2.13 1.2.13.0 /usr/lib/x86_64-linux-gnu/",
        }));
}

TEST(VostBugReport, ModulesOfThisProcess)
{
    const auto snapshot = TakeMemorySnapshot();
    const std::string text = ModulesSection(ListModules(*snapshot));
    EXPECT_EQ(text.rfind("modules:\r\n", 0), 0u);
    EXPECT_NE(text.find("libc.so.6"), std::string::npos);
    EXPECT_GT(AllocatedMemorySize(*snapshot), 0u);
}

TEST(VostBugReport, HardwareFromAFakeSysfs)
{
    QTemporaryDir dir;
    const std::string root = dir.path().toStdString();
    MakeFakeSysfs(root);
    EXPECT_EQ(HardwareSection(ListHardware({ root, root + "/pci.ids", root + "/usb.ids" })),
        Lines({
            "hardware:",
            "+ block",
            "  - VBOX HARDDISK [sda]",
            "+ input",
            "  - Logitech, Inc. Unifying Receiver [input5]",
            "+ net",
            "  - Intel Corporation 82540EM Gigabit Ethernet Controller [eth0] (driver e1000 7.3.21-k8-NAPI)",
            "+ Sound",
            "  - PCI 1234:abcd [card0]",
        }));
    // Without the lists the ids stand in for the names.
    const std::string bare = HardwareSection(ListHardware({ root, root + "/none", root + "/none" }));
    EXPECT_NE(bare.find("  - PCI 8086:100e [eth0] (driver e1000 7.3.21-k8-NAPI)"), std::string::npos) << bare;
    EXPECT_NE(bare.find("  - USB 046d:c52b [input5]"), std::string::npos) << bare;
    EXPECT_EQ(HardwareSection(ListHardware({ root + "/nothing", "", "" })), "hardware:");
}

TEST(VostBugReport, IdListNames)
{
    const std::string ids
        = "8086  Intel Corporation\n\t100e  82540EM\n\t\t100e 0001  Sub\n10ec  Realtek\n\t8168  RTL8111\n";
    struct {
        const char *Vendor, *Device, *Name;
    } cases[] = {
        { "8086", "100e", "Intel Corporation 82540EM" },
        { "8086", "0001", "Intel Corporation" },
        { "10EC", "8168", "Realtek RTL8111" },
        { "10ec", "100e", "Realtek" },
        { "ffff", "100e", "" },
        { "", "", "" },
    };
    for (const auto& c : cases)
        EXPECT_EQ(IdListName(ids, c.Vendor, c.Device), c.Name) << c.Vendor << ":" << c.Device;
    EXPECT_EQ(IdListName("8086", "8086", "1"), "");
    EXPECT_EQ(IdListName("8086  \n\t", "8086", "1"), "");
}

namespace {

class TRecordingSink : public TTraceProgressSink {
public:
    void Show(uint32_t permille) override { Shown.push_back(permille); }
    void Close() override { ++Closed; }
    std::vector<uint32_t> Shown;
    int Closed = 0;
};

} // namespace

// The tracing of the stacks reaches the progress window only while showing, and closes it once
// the traces are done; a slow clock makes the window appear at the first step past 750 ms.
TEST(VostBugReport, TracingProgressGoesToTheSink)
{
    struct {
        bool Showing;
        bool WithSink;
        bool Expected;
    } const cases[] = { { true, true, true }, { false, true, false }, { true, false, false } };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "showing " << c.Showing << " sink " << c.WithSink);
        TRecordingSink sink;
        uint32_t now = 0;
        TComposeRequest request;
        request.CrashedThreadId = static_cast<uint32_t>(::gettid());
        request.Showing = c.Showing;
        request.ProgressSink = c.WithSink ? &sink : nullptr;
        request.ProgressClock = [&now] { return now += 1000; };
        std::string report;
        TFactSources sources;
        sources.Root = "/nonexistent-tarvell-root";
        ComposeBugReportFrom(request, sources, report);
        EXPECT_NE(report.find("date/time"), std::string::npos);
        if (!c.Expected) {
            EXPECT_TRUE(sink.Shown.empty());
            EXPECT_EQ(sink.Closed, 0);
            continue;
        }
        ASSERT_FALSE(sink.Shown.empty());
        EXPECT_EQ(sink.Shown.front(), 0u);
        EXPECT_TRUE(std::is_sorted(sink.Shown.begin(), sink.Shown.end()));
        EXPECT_LE(sink.Shown.back(), 1000u);
        EXPECT_EQ(sink.Closed, 1);
    }
}

// The report's message line is the box's text (control characters removed), so the line holds
// the whole message and the mail's subject, read up to the line's end, gets all of it.
TEST(VostBugReport, MessageLineKeepsNoControlCharacters)
{
    struct {
        const char* Message;
        const char* Line;
    } const cases[] = {
        { "first line\r\nsecond line", "first linesecond line." },
        { "tab\there\x01\x1f end", "tabhere end." },
        { "plain message", "plain message." },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Message);
        ReportedException object("std::runtime_error", c.Message);
        TComposeRequest request;
        request.ExceptObject = &object;
        request.CrashedThreadId = static_cast<uint32_t>(::gettid());
        std::string report;
        TFactSources sources;
        sources.Root = "/nonexistent-tarvell-root";
        ComposeBugReportFrom(request, sources, report);
        EXPECT_NE(report.find(std::string("\r\nexception message : ") + c.Line + "\r\n"), std::string::npos)
            << report.substr(0, 1500);
        EXPECT_EQ(ReportExceptionMessage(report), c.Line);
    }
}

// A report of many threads reads the memory map a few times, not once per thread or per
// address: that made the report of a program with a web view take seconds.
TEST(VostBugReport, ManyThreadsReadTheMemoryMapOnce)
{
    std::mutex lock;
    std::condition_variable wake;
    bool done = false;
    std::vector<std::thread> threads;
    for (int i = 0; i < 24; ++i)
        threads.emplace_back([&] {
            std::unique_lock guard(lock);
            wake.wait(guard, [&] { return done; });
        });
    TComposeRequest request;
    request.CrashedThreadId = static_cast<uint32_t>(::gettid());
    std::string report;
    TFactSources sources;
    sources.Root = "/nonexistent-tarvell-root";
    const uint32_t before = MemoryMapReads();
    const uint32_t beats = VostSignalShared::Heartbeat.load();
    ComposeBugReportFrom(request, sources, report);
    const uint32_t reads = MemoryMapReads() - before;
    // The guard of a waiting signal handler hears of each thread traced.
    EXPECT_GE(VostSignalShared::Heartbeat.load() - beats, 24u);
    {
        const std::lock_guard guard(lock);
        done = true;
    }
    wake.notify_all();
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_LE(reads, 3u);
    size_t sections = 0;
    for (size_t at = report.find("\r\n\r\nthread "); at != std::string::npos; at = report.find("\r\n\r\nthread ", at + 1))
        ++sections;
    EXPECT_GE(sections, 24u) << report.substr(0, 3000);
}
