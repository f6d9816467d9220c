// The region map, safe reads (both ways) and the module records of the running test.
#include "crashreport/logic/VostMemory.h"

#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <cstring>
#include <thread>

#include <dlfcn.h>
#include <sys/mman.h>
#include <unistd.h>

namespace {

int GlobalData = 42;

[[gnu::noinline]] int CodeInTheTest(int x)
{
    return x * 3 + GlobalData;
}

// Three pages: readable, no access, readable; unmapped on destruction.
class TGuardedPages {
public:
    TGuardedPages()
    {
        FPage = size_t(sysconf(_SC_PAGESIZE));
        FBase = static_cast<char*>(mmap(nullptr, 3 * FPage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
        std::memset(FBase, 'a', 3 * FPage);
        mprotect(FBase + FPage, FPage, PROT_NONE);
    }
    ~TGuardedPages() { munmap(FBase, 3 * FPage); }
    uintptr_t At(size_t offset) const { return uintptr_t(FBase) + offset; }
    size_t Page() const { return FPage; }

private:
    char* FBase;
    size_t FPage;
};

} // namespace

TEST(MemorySnapshot, ParsesMapsLinesAndMergesReadableRuns)
{
    const char* text =
        "00400000-00401000 r--p 00000000 08:01 1234    /usr/bin/prog with blank\n"
        "00401000-00402000 r-xp 00001000 08:01 1234    /usr/bin/prog with blank\n"
        "00402000-00403000 ---p 00000000 00:00 0\n"
        "00403000-00404000 rw-p 00000000 00:00 0       [heap]\n"
        "garbage line\n"
        "00500000-00400000 r--p 00000000 00:00 0\n"
        "7ffd0000-7ffd2000 rw-s 00000010 fd:02 99 /tmp/x (deleted)\n";
    const TMemorySnapshot snapshot = TMemorySnapshot::FromMapsText(text);
    ASSERT_EQ(snapshot.Regions().size(), 5u);
    const TMemoryRegion& code = snapshot.Regions()[1];
    EXPECT_TRUE(code.Readable && code.Executable && !code.Writable && !code.Shared);
    EXPECT_EQ(code.FileOffset, 0x1000u);
    EXPECT_EQ(code.Device, (uint64_t(8) << 32) | 1);
    EXPECT_EQ(code.Inode, 1234u);
    EXPECT_EQ(code.Path, "/usr/bin/prog with blank");
    EXPECT_TRUE(snapshot.Regions()[4].Shared);
    EXPECT_EQ(snapshot.Regions()[4].Path, "/tmp/x (deleted)");

    struct TCase {
        uintptr_t Address;
        size_t Count;
        bool Readable;
    } cases[] = {
        {0x400000, 1, true},       {0x400ff0, 0x20, true}, // across two merged regions
        {0x401ff0, 0x20, false},                           // into the inaccessible page
        {0x402000, 1, false},      {0x403fff, 1, true},
        {0x403fff, 2, false},      {0x3fffff, 1, false},   {0x7ffd1000, 0x1000, true},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(snapshot.IsReadable(c.Address, c.Count), c.Readable) << std::hex << c.Address << "+" << c.Count;
    EXPECT_EQ(snapshot.RegionAt(0x402800), &snapshot.Regions()[2]);
    EXPECT_EQ(snapshot.RegionAt(0x404000), nullptr);
}

// An overflowed main stack leaves the stack pointer below its mapping, in the gap the system
// keeps free beneath it: the stack is the writable region just above, within the gap's size.
TEST(MemorySnapshot, StackRegionAboveAnOverflowedStackPointer)
{
    const TMemorySnapshot snapshot = TMemorySnapshot::FromMapsText(
        "7f0000000000-7f0000001000 r--p 00000000 08:01 1234 /usr/lib/libx.so\n"
        "7ffc00000000-7ffc00800000 rw-p 00000000 00:00 0 [stack]\n");
    const TMemoryRegion* stack = &snapshot.Regions()[1];
    const struct {
        uintptr_t StackPointer;
        const TMemoryRegion* Expected;
    } cases[] = {
        {0x7ffc00000000 - 0x118, stack},                                     // just below
        {0x7ffc00000000 - TMemorySnapshot::StackGapLimit, stack},            // at the limit
        {0x7ffc00000000 - TMemorySnapshot::StackGapLimit - 1, nullptr},      // too far below
        {0x7ffc00000100, nullptr},                                           // inside: not overflowed
        {0x7f0000000000 - 0x10, nullptr},                                    // below a read-only region
        {0x7ffc00800000 + 0x10, nullptr},                                    // nothing above
    };
    for (const auto& c : cases)
        EXPECT_EQ(snapshot.StackRegionAbove(c.StackPointer), c.Expected) << std::hex << c.StackPointer;
}

TEST(SafeRead, AllOrNothingWithoutSignalsBothWays)
{
    TGuardedPages pages;
    const size_t page = pages.Page();
    const auto snapshot = TakeMemorySnapshot();
    struct TCase {
        const char* Name;
        uintptr_t Source;
        size_t Count;
        bool Expected;
    } cases[] = {
        {"readable", pages.At(16), 32, true},
        {"into the guard page", pages.At(page - 8), 16, false},
        {"guard page", pages.At(page), 4, false},
        {"after the guard page", pages.At(2 * page), 8, true},
        {"nil", 0, 4, false},
        {"count 0", pages.At(0), 0, false},
        {"wraps", UINTPTR_MAX - 2, 8, false},
    };
    for (const TCase& c : cases) {
        std::array<char, 32> out{};
        EXPECT_EQ(SafeRead(c.Source, out.data(), c.Count), c.Expected) << c.Name;
        EXPECT_EQ(SafeRead(c.Source, out.data(), c.Count, snapshot.get()), c.Expected) << c.Name << " with snapshot";
        if (c.Expected) {
            EXPECT_EQ(std::string(out.data(), c.Count), std::string(c.Count, 'a')) << c.Name;
        }
    }

    std::array<char, 8> out{};
    using namespace VostMemoryDetail;
    EXPECT_EQ(ReadWithVmReadv(pages.At(0), out.data(), 8), TVmReadResult::Done);
    EXPECT_EQ(ReadWithVmReadv(pages.At(page - 4), out.data(), 8), TVmReadResult::Failed);
    EXPECT_TRUE(ReadWithProcMem(pages.At(2 * page), out.data(), 8));
    EXPECT_EQ(std::string(out.data(), 8), "aaaaaaaa");
    // The fallback reads what the map allows: unmapped memory fails there too.
    void* gone = mmap(nullptr, page, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    munmap(gone, page);
    EXPECT_FALSE(ReadWithProcMem(uintptr_t(gone), out.data(), 8));
}

TEST(SafeRead, TextStopsAtTheTerminatorOrTheLimit)
{
    TGuardedPages pages;
    char* end = reinterpret_cast<char*>(pages.At(pages.Page() - 6));
    std::memcpy(end, "abc\0", 4);
    std::string text;
    EXPECT_TRUE(SafeReadText(uintptr_t(end), text, 100));
    EXPECT_EQ(text, "abc");
    end[3] = 'd';
    EXPECT_FALSE(SafeReadText(uintptr_t(end), text, 100)) << "runs into the guard page";
    EXPECT_FALSE(SafeReadText(pages.At(0), text, 10)) << "no terminator within the limit";
}

TEST(Modules, TheProgramAndItsRangesAreFound)
{
    const auto snapshot = TakeMemorySnapshot();
    TModuleInfo program;
    ASSERT_TRUE(FindProgramModule(*snapshot, program));
    char exe[PATH_MAX] = {};
    ASSERT_GT(readlink("/proc/self/exe", exe, sizeof exe - 1), 0);
    EXPECT_EQ(program.FileName, exe);
    EXPECT_TRUE(program.HoldsCode(uintptr_t(&CodeInTheTest)));
    EXPECT_GE(uintptr_t(&GlobalData), program.DataStart);
    EXPECT_LT(uintptr_t(&GlobalData), program.DataEnd);
    EXPECT_TRUE(program.HoldsCode(program.EntryPoint));
    EXPECT_EQ(CodeInTheTest(1), 45);

    // A library: the loader's own record of it agrees.
    TModuleInfo libc;
    ASSERT_TRUE(FindModule(*snapshot, uintptr_t(&getpid), libc));
    Dl_info info{};
    ASSERT_NE(dladdr(reinterpret_cast<void*>(&getpid), &info), 0);
    char real[PATH_MAX] = {};
    ASSERT_NE(realpath(info.dli_fname, real), nullptr);
    EXPECT_EQ(libc.FileName, real);
    EXPECT_EQ(libc.Base, uintptr_t(info.dli_fbase));
    EXPECT_FALSE(libc.SameModule(program));

    const std::vector<TModuleInfo> modules = ListModules(*snapshot);
    bool listed = false;
    for (size_t i = 0; i < modules.size(); ++i) {
        listed = listed || modules[i].SameModule(program);
        if (i > 0) {
            EXPECT_GE(modules[i].Base, modules[i - 1].End);
        }
    }
    EXPECT_TRUE(listed);

    TModuleInfo none;
    int onTheStack = 0;
    EXPECT_FALSE(FindModule(*snapshot, uintptr_t(&onTheStack), none));
    TModuleInfo replaced = program;
    replaced.Identity.Inode += 1;
    EXPECT_FALSE(replaced.SameModule(program)) << "another file at the same base is another module";
}

TEST(ListLock, GivesUpAfterTheTimeOut)
{
    TListMutex mutex;
    std::thread holder([&] {
        mutex.lock();
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        mutex.unlock();
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    {
        TListLock lock(mutex, std::chrono::milliseconds(20));
        EXPECT_FALSE(lock);
    }
    holder.join();
    TListLock lock(mutex);
    EXPECT_TRUE(lock);
}
