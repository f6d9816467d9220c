// The decoder on the running process: safe code reads, names of modules, import cells and
// unwind tables, and the report's disassembly routine.
#include "crashreport/logic/VostLinkDisAsm.h"

#include "crashreport/logic/VostMemory.h"

#include <gtest/gtest.h>

#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace LinkFixture {

volatile int Sink = 0;
// Optimised in every build type: unoptimised code has no case table.
// clang has no per-function optimisation level: under clang this needs an optimised build.
#if defined(__clang__)
#define TARVELL_OPTIMISED __attribute__((noinline))
#else
#define TARVELL_OPTIMISED __attribute__((noinline, optimize("O2")))
#endif
TARVELL_OPTIMISED int Choose(int x)
{
    switch (x) {
    case 0: return Sink + 11;
    case 1: return Sink * 3;
    case 2: return Sink - 7;
    case 3: return Sink ^ 5;
    case 4: return Sink + 100;
    case 5: return Sink * 9;
    case 6: return Sink - 70;
    default: return 0;
    }
}
__attribute__((noinline)) void CallsPuts()
{
    puts("");
    Sink = Sink + Choose(Sink & 7);
}

} // namespace LinkFixture

TEST(LinkDisAsm, ListingOfALiveFunction)
{
    const uintptr_t entry = reinterpret_cast<uintptr_t>(&LinkFixture::CallsPuts);
    EXPECT_EQ(DisAsmProc, &DisAsmListing);
    const std::string listing = DisAsmProc(entry, 0, true, 0);
    ASSERT_FALSE(listing.empty());
    EXPECT_NE(listing.find(" public "), std::string::npos) << listing;
    EXPECT_NE(listing.find("LinkFixture.CallsPuts:"), std::string::npos) << listing;
    EXPECT_NE(listing.find("; function entry point"), std::string::npos) << listing;
    // The call through the PLT names the import it is bound to.
    EXPECT_NE(listing.find("; puts"), std::string::npos) << listing;
    // A column of line numbers of this file follows the address.
    ASSERT_GT(listing.size(), 18u);
    EXPECT_TRUE(listing[16] == ' ' && listing[17] >= '1' && listing[17] <= '9') << listing;
    // The alignment padding after the function is no part of it.
    const std::string last = listing.substr(listing.rfind('\n') + 1);
    EXPECT_EQ(last.find("nop"), std::string::npos) << listing;
}

TEST(LinkDisAsm, SwitchOfALiveFunctionIsFollowed)
{
    const auto snapshot = TakeMemorySnapshot();
    TLiveCodeReader reader(snapshot.get());
    TLiveNamer namer(*snapshot);
    const uintptr_t entry = reinterpret_cast<uintptr_t>(&LinkFixture::Choose);
    const TAnalysisOptions options = LiveAnalysisOptions(namer, entry);
    EXPECT_EQ(options.SymbolStart, entry);
    EXPECT_GT(options.SymbolEnd, entry);
    const TFunctionAnalysis a = AnalyseFunction(reader, entry, options);
    ASSERT_TRUE(a.Valid) << a.ErrorText;
    ASSERT_EQ(a.CaseTables.size(), 1u);
    EXPECT_GE(a.CaseTables[0].Targets.size(), 7u);
}

TEST(LinkDisAsm, ReaderAndNamesOfLibraries)
{
    // A readable page followed by an unreadable one: reads stop at the boundary.
    const long page = sysconf(_SC_PAGESIZE);
    auto* mapping = static_cast<uint8_t*>(mmap(nullptr, page * 2, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    ASSERT_NE(mapping, MAP_FAILED);
    std::memset(mapping, 0x90, page);
    mprotect(mapping + page, page, PROT_NONE);
    const auto snapshot = TakeMemorySnapshot();
    TLiveCodeReader reader(snapshot.get());
    uint8_t bytes[16] = {};
    const uintptr_t nearEnd = reinterpret_cast<uintptr_t>(mapping) + page - 4;
    EXPECT_EQ(reader.ReadSome(nearEnd, bytes, sizeof bytes), 4u);
    EXPECT_EQ(bytes[3], 0x90);
    EXPECT_EQ(reader.ReadSome(reinterpret_cast<uintptr_t>(mapping) + page, bytes, 1), 0u);
    EXPECT_EQ(reader.ReadSome(0x1000, bytes, 1), 0u);
    munmap(mapping, page * 2);

    // getpid in libc: exported, in a module that is not the program.
    TLiveNamer namer(*snapshot);
    const uintptr_t getpidAddress = reinterpret_cast<uintptr_t>(&getpid);
    EXPECT_EQ(namer.ExportName(getpidAddress), "getpid");
    TCodeModule module;
    ASSERT_TRUE(namer.Module(getpidAddress, module));
    EXPECT_FALSE(module.IsProgram);
    EXPECT_EQ(module.FileName.rfind("libc.so", 0), 0u) << module.FileName;
    uintptr_t start = 0, end = 0;
    ASSERT_TRUE(namer.FunctionAt(getpidAddress + 1, start, end));
    EXPECT_EQ(start, getpidAddress);
    EXPECT_GT(end, getpidAddress);
}
