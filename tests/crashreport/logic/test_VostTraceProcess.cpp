// The trace export: the report of the whole process into the tool's mapping, bounded by the
// buffer and the mapping, or to the clipboard.
#include "crashreport/logic/VostTraceProcess.h"

#include "crashreport/logic/VostThreads.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

namespace {

// A mapping of its own per test process: tests run side by side.
std::string MappingName()
{
    return "/VostTraceProcessTest-" + std::to_string(::getpid());
}

std::string MakeMapping(size_t size)
{
    const std::string name = MappingName();
    ::shm_unlink(name.c_str());
    const int fd = ::shm_open(name.c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
    EXPECT_GE(fd, 0);
    EXPECT_EQ(::ftruncate(fd, static_cast<off_t>(size)), 0);
    ::close(fd);
    return name;
}

std::string ReadMapping(const std::string& name, size_t size)
{
    const int fd = ::shm_open(name.c_str(), O_RDONLY, 0);
    void* view = ::mmap(nullptr, size, PROT_READ, MAP_SHARED, fd, 0);
    ::close(fd);
    std::string bytes(static_cast<const char*>(view), size);
    ::munmap(view, size);
    return bytes;
}

} // namespace

TEST(VostTraceProcess, WritesWithinTheBufferAndTheMapping)
{
    struct {
        size_t Mapping;
        int32_t Buffer;
        size_t Written;
    } cases[] = {
        { 100, 100, 99 },
        { 4096, 100, 99 },
        { 50, 100, 49 },
        { 1, 100, 0 },
        { 100, 1, 0 },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.Mapping) + "/" + std::to_string(c.Buffer));
        const std::string name = MakeMapping(c.Mapping);
        // A canary beyond the buffer shows any write past it.
        if (c.Mapping > static_cast<size_t>(c.Buffer)) {
            const int fd = ::shm_open(name.c_str(), O_RDWR, 0);
            ASSERT_EQ(::pwrite(fd, "#", 1, c.Buffer), 1);
            ::close(fd);
        }
        EXPECT_EQ(TraceProcessInto(name.c_str(), c.Buffer), 0);
        const std::string bytes = ReadMapping(name, c.Mapping);
        EXPECT_EQ(std::strlen(bytes.c_str()), c.Written);
        EXPECT_EQ(bytes[c.Written], '\0');
        if (c.Written >= 9) {
            EXPECT_EQ(bytes.substr(0, 9), "date/time");
        }
        if (c.Mapping > static_cast<size_t>(c.Buffer)) {
            EXPECT_EQ(bytes[static_cast<size_t>(c.Buffer)], '#');
        }
        ::shm_unlink(name.c_str());
    }
}

TEST(VostTraceProcess, AMissingMappingIsNotCreated)
{
    const std::string name = MappingName();
    ::shm_unlink(name.c_str());
    EXPECT_EQ(TraceProcessInto(name.c_str(), 100), -1);
    EXPECT_LT(::shm_open(name.c_str(), O_RDONLY, 0), 0);
}

TEST(VostTraceProcess, AFreezeReportOfTheWholeProcess)
{
    const std::string name = MakeMapping(1 << 20);
    EXPECT_EQ(TraceProcessInto(name.c_str(), 1 << 20), 0);
    const std::string report = ReadMapping(name, 1 << 20).c_str();
    ::shm_unlink(name.c_str());
    EXPECT_EQ(report.find("exception class"), std::string::npos);
    EXPECT_NE(report.find("\r\nexception message : "), std::string::npos);
    EXPECT_NE(report.find("\r\n\r\nmodules:\r\n"), std::string::npos);
}

TEST(VostTraceProcess, ASizeBelowOneGoesToTheClipboard)
{
    std::string clipboard;
    SetTraceClipboardProc([&clipboard](const std::string& report) { clipboard = report; });
    EXPECT_EQ(VostTraceProcess(0), 0);
    SetTraceClipboardProc({});
    EXPECT_EQ(clipboard.rfind("date/time", 0), 0u);
}

// The export names its own thread "-" only while it works: a named caller (the main thread)
// keeps its name, class and creator for later reports, an unnamed one stays without an entry.
TEST(VostTraceProcess, TheCallerKeepsItsEntry)
{
    const pid_t self = CurrentThreadId();
    const std::string name = MakeMapping(1 << 16);
    for (const bool named : { true, false }) {
        SCOPED_TRACE(named ? "named" : "unnamed");
        if (named)
            SetThreadNameEntry(self, "main thread", self, 0x1234, "TWorker");
        else
            RemoveThreadName(self);
        EXPECT_EQ(TraceProcessInto(name.c_str(), 1 << 16), 0);
        TThreadNameEntry entry;
        ASSERT_EQ(GetThreadNameEntry(self, entry), named);
        if (named) {
            EXPECT_EQ(entry.Name, "main thread");
            EXPECT_EQ(entry.ClassName, "TWorker");
            EXPECT_EQ(entry.CreatorAddress, 0x1234u);
            EXPECT_EQ(entry.CreatorThreadId, self);
        }
    }
    ::shm_unlink(name.c_str());
    RemoveThreadName(self);
}
