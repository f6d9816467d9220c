// System version, file versions, dispatchers, the ELF readers over live modules and fixtures,
// and the unmangling and rendering of names.
#include "crashreport/logic/VostTools.h"

#include "CrashTestSupport.h"
#include "ElfFixture.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <condition_variable>
#include <cstdlib>
#include <fstream>

#include <dlfcn.h>
#include <sys/syscall.h>
#include <unistd.h>

extern "C" [[gnu::noinline, gnu::used]] int VostToolsTestFunction(int x)
{
    return x + 7;
}

namespace {

std::string WriteFile(const QTemporaryDir& dir, const std::string& name, const std::string& bytes)
{
    const std::string path = (dir.path() + "/").toStdString() + name;
    WriteTestFile(path, bytes);
    return path;
}

TModuleInfo ModuleOf(uintptr_t address)
{
    const auto snapshot = TakeMemorySnapshot();
    TModuleInfo module;
    EXPECT_TRUE(FindModule(*snapshot, address, module));
    return module;
}

} // namespace

TEST(VostTools, OsVersionFromUnameAndOsRelease)
{
    const char* debian = "PRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\nNAME=\"Debian GNU/Linux\"\nVERSION_ID=\"12\"\nID=debian\n";
    const char* quoted = "# comment\n  NAME='My \"OS\"'\nVERSION=\"1 \\\"beta\\\"\"\nID=my\n";
    struct {
        const char *Release, *OsRelease;
        int Major, Minor, Build;
        const char *Description, *Id, *Version;
    } cases[] = {
        {"6.1.0-18-amd64", debian, 6, 1, 0, "Debian GNU/Linux 12 (bookworm)", "debian", "12"},
        {"5.15.167.4-microsoft-standard-WSL2", quoted, 5, 15, 167, "My \"OS\" 1 \"beta\"", "my", ""},
        {"4.19", "", 4, 19, 0, "Linux", "", ""},
        {"weird", "PRETTY_NAME=\nNAME=X", 0, 0, 0, "X", "", ""},
        {"99999999999.1", "", 999999999, 0, 0, "Linux", "", ""},
    };
    for (auto& c : cases) {
        const TOS os = MakeOsVersion("Linux", c.Release, "x86_64", c.OsRelease);
        EXPECT_EQ(os.Major, c.Major) << c.Release;
        EXPECT_EQ(os.Minor, c.Minor) << c.Release;
        EXPECT_EQ(os.Build, c.Build) << c.Release;
        EXPECT_EQ(os.Description, c.Description) << c.Release;
        EXPECT_EQ(os.DistributionId, c.Id);
        EXPECT_EQ(os.DistributionVersion, c.Version);
        EXPECT_EQ(os.Release, c.Release);
    }
    const TOS live = QueryOsVersion();
    EXPECT_GT(live.Major, 2);
    EXPECT_EQ(live.KernelName, "Linux");
    EXPECT_FALSE(live.Description.empty());
}

TEST(VostTools, FileVersions)
{
    struct {
        const char* Name;
        uint64_t Version;
    } names[] = {
        {"/usr/lib/x86_64-linux-gnu/libz.so.1.2.13", 0x0001000200130000ull / 0x10 * 0x10},
        {"libQt6Core.so.6.4.2", (6ull << 48) | (4ull << 32) | (2ull << 16)},
        {"libc.so.6", 6ull << 48},
        {"libfoo.so", 0},
        {"libfoo.so.x", 0},
        {"libbar.so.1.2.3.4.5", (1ull << 48) | (2ull << 32) | (3ull << 16) | 4},
        {"libbig.so.70000", 0},
        {"/a.so.1/libx.so", 0},
    };
    names[0].Version = (1ull << 48) | (2ull << 32) | (13ull << 16);
    for (auto& c : names)
        EXPECT_EQ(SoNameVersion(c.Name), c.Version) << c.Name;
    EXPECT_EQ(FileVersionText((1ull << 48) | (2ull << 32) | (13ull << 16)), "1.2.13.0");
    EXPECT_EQ(FileVersionText(0), "0.0.0.0");

    QTemporaryDir dir;
    std::string record("TARVELL-VERSION\0", 16);
    const uint32_t numbers[4] = {2, 5, 7, 11};
    record.append(reinterpret_cast<const char*>(numbers), sizeof numbers);
    EXPECT_EQ(ReadFileVersion(WriteFile(dir, "ours", MakeElfFixture({{".tarvell_version", SHT_PROGBITS, SHF_ALLOC, record}}))),
              (2ull << 48) | (5ull << 32) | (7ull << 16) | 11);
    record[3] = 'X';
    EXPECT_EQ(ReadFileVersion(WriteFile(dir, "bad-magic", MakeElfFixture({{".tarvell_version", SHT_PROGBITS, SHF_ALLOC, record}}))), 0u);
    EXPECT_EQ(ReadFileVersion(WriteFile(dir, "libnone.so.3.1", "not an ELF file")), (3ull << 48) | (1ull << 32));
    EXPECT_EQ(ReadFileVersion("/nonexistent/libx.so"), 0u);

    // A library without numbers in its file name: its SONAME.
    std::string dynamic;
    for (Elf64_Dyn d : {Elf64_Dyn{DT_SONAME, {1}}, Elf64_Dyn{DT_NULL, {0}}})
        dynamic.append(reinterpret_cast<const char*>(&d), sizeof d);
    const std::string soname = MakeElfFixture({{".dynamic", SHT_DYNAMIC, SHF_ALLOC, dynamic, 2},
                                               {".dynstr", SHT_STRTAB, SHF_ALLOC, std::string("\0libq.so.4.2\0", 13)}});
    EXPECT_EQ(ReadFileVersion(WriteFile(dir, "libq.so", soname)), (4ull << 48) | (2ull << 32));
}

namespace {

struct TRecorder {
    std::atomic<int> Calls{0};
    std::atomic<pid_t> Thread{0};
};

void RecordingHandler(void* object, TMessageDispatcher*, uint32_t, uintptr_t wParam, intptr_t lParam, intptr_t& result)
{
    auto* recorder = static_cast<TRecorder*>(object);
    ++recorder->Calls;
    recorder->Thread = pid_t(syscall(SYS_gettid));
    result += intptr_t(wParam) * lParam;
}

void OtherHandler(void*, TMessageDispatcher*, uint32_t, uintptr_t, intptr_t, intptr_t& result) { result += 1000; }

// A thread with an event loop, its id and a way to run code in it.
class TLoopThread : public QThread {
public:
    pid_t Id = 0;
    void run() override
    {
        Id = pid_t(syscall(SYS_gettid));
        exec();
    }
    template <typename F>
    void RunInside(F f)
    {
        QObject context;
        context.moveToThread(this);
        QMetaObject::invokeMethod(&context, f, Qt::BlockingQueuedConnection);
    }
};

} // namespace

TEST(VostTools, DispatchersPerThreadWithTimedSend)
{
    TLoopThread loop;
    loop.start();
    while (loop.Id == 0)
        QThread::msleep(1);
    TRecorder recorder;
    const TMessageHandler method{&RecordingHandler, &recorder};
    uint32_t first = 0, second = 0, twice = 1;
    EXPECT_EQ(HandlerWindowOf(loop.Id), nullptr) << "another thread's dispatcher is not made from outside";
    loop.RunInside([&] {
        first = AddMessageHandler(method, 0);
        second = AddMessageHandler({&OtherHandler, nullptr}, 0);
        twice = AddMessageHandler(method, first);
    });
    EXPECT_EQ(first, 1024u);
    EXPECT_EQ(second, 1025u);
    EXPECT_EQ(twice, 0u) << "an identical handler is not added twice";
    EXPECT_EQ(AddMessageHandler(method, first, loop.Id), 0u);
    EXPECT_EQ(AddMessageHandler({&OtherHandler, nullptr}, first, loop.Id), first) << "a second handler for the same message";

    TMessageDispatcher* dispatcher = HandlerWindowOf(loop.Id);
    ASSERT_NE(dispatcher, nullptr);
    intptr_t result = 0;
    ASSERT_TRUE(SendHandlerMessageTimeout(dispatcher, first, 6, 7, std::chrono::seconds(5), &result));
    EXPECT_EQ(result, 42 + 1000) << "every handler of the message changes the result";
    EXPECT_EQ(recorder.Thread.load(), loop.Id) << "handlers run in the dispatcher's thread";
    ASSERT_TRUE(SendHandlerMessageTimeout(dispatcher, 2000, 1, 1, std::chrono::seconds(5), &result));
    EXPECT_EQ(result, 0) << "a message without handlers";
    EXPECT_TRUE(PostHandlerMessage(dispatcher, first, 1, 1));

    // A stuck loop costs the sender only the time-out.
    loop.RunInside([&] {
        intptr_t direct = 0;
        EXPECT_TRUE(SendHandlerMessageTimeout(HandlerWindowOf(), first, 2, 3, std::chrono::milliseconds(1), &direct));
        EXPECT_EQ(direct, 6 + 1000) << "direct on the own thread";
    });
    std::mutex blockMutex;
    std::condition_variable unblock;
    bool release = false;
    QMetaObject::invokeMethod(dispatcher, [&] {
        std::unique_lock lock(blockMutex);
        unblock.wait(lock, [&] { return release; });
    });
    EXPECT_FALSE(SendHandlerMessageTimeout(dispatcher, first, 1, 1, std::chrono::milliseconds(50), &result));
    {
        const std::lock_guard lock(blockMutex);
        release = true;
    }
    unblock.notify_all();

    RemoveMessageHandler(method, 0, loop.Id);
    EXPECT_NE(HandlerWindowOf(loop.Id), nullptr) << "other handlers remain";
    RemoveMessageHandler({&OtherHandler, nullptr}, 0, loop.Id);
    EXPECT_EQ(HandlerWindowOf(loop.Id), nullptr) << "the last handler takes the dispatcher with it";
    loop.quit();
    loop.wait();
    EXPECT_GE(recorder.Calls.load(), 3);

    // The calling thread: created on demand and deleted directly.
    const uint32_t own = AddMessageHandler(method, 0);
    EXPECT_EQ(own, 1024u);
    RemoveMessageHandler(method, own);
    EXPECT_EQ(AddMessageHandler({nullptr, nullptr}, 0), 0u);
}

TEST(VostTools, LiveModulesDynamicSymbolsAndFiles)
{
    void* abortAddress = dlsym(RTLD_DEFAULT, "abort");
    ASSERT_NE(abortAddress, nullptr);
    const TModuleInfo libc = ModuleOf(uintptr_t(abortAddress));
    EXPECT_EQ(ElfSymbolAddress(libc, "abort", false), uintptr_t(abortAddress));
    EXPECT_EQ(ElfSymbolAddress(libc, "no_such_symbol_here", false), 0u);
    TElfSymbol symbol;
    ASSERT_TRUE(ElfSymbolAt(libc, uintptr_t(abortAddress) + 3, true, symbol));
    EXPECT_EQ(symbol.Name, "abort");
    EXPECT_FALSE(ElfSymbolAt(libc, uintptr_t(abortAddress) + 3, false, symbol)) << "not exactly at a symbol";
    EXPECT_EQ(ElfSymbolName(libc, uintptr_t(abortAddress), false), "abort");

    void* qt = dlopen("libQt6Core.so.6", RTLD_LAZY | RTLD_NOLOAD);
    ASSERT_NE(qt, nullptr);
    void* number = dlsym(qt, "_ZN7QString6numberEii");
    ASSERT_NE(number, nullptr);
    const TModuleInfo core = ModuleOf(uintptr_t(number));
    EXPECT_EQ(ElfSymbolName(core, uintptr_t(number), true), "QString.number");
    EXPECT_EQ(ElfSymbolName(core, uintptr_t(number), false), "_ZN7QString6numberEii");
    EXPECT_EQ(ReadFileVersion(core.FileName) >> 48, 6u) << core.FileName;
    dlclose(qt);

    // Our test executable exports nothing: the function is found in the file's .symtab only.
    const TModuleInfo program = ModuleOf(uintptr_t(&VostToolsTestFunction));
    EXPECT_EQ(ElfSymbolAddress(program, "VostToolsTestFunction", false), 0u);
    EXPECT_EQ(ElfSymbolAddress(program, "VostToolsTestFunction", true), uintptr_t(&VostToolsTestFunction));
    EXPECT_EQ(VostToolsTestFunction(1), 8);

    uintptr_t base = 0;
    std::string fileName;
    ASSERT_TRUE(ModuleOfAddress(uintptr_t(&VostToolsTestFunction), base, fileName));
    EXPECT_EQ(base, program.Base);
    EXPECT_EQ(fileName, program.FileName);
    int local = 0;
    EXPECT_FALSE(ModuleOfAddress(uintptr_t(&local), base, fileName));
}

TEST(VostTools, ElfFileSectionsAndSymbols)
{
    QTemporaryDir dir;
    std::vector<TElfFixtureSection> sections = {{".text", SHT_PROGBITS, SHF_ALLOC | SHF_EXECINSTR, std::string(64, '\x90')},
                                                {".vost.except", SHT_PROGBITS, 0, "payload"},
                                                {".allocated", SHT_PROGBITS, SHF_ALLOC, "in memory"}};
    for (auto& s : MakeSymbolSections({{"alpha", 0x1000, 16}, {"beta", 0x1010, 0}}, 5))
        sections.push_back(s);
    const std::string path = WriteFile(dir, "fixture", MakeElfFixture(sections));
    EXPECT_EQ(ResourceText(path, ".vost.except"), "payload");
    EXPECT_EQ(ResourceText(path, ".allocated"), "") << "only non-allocated sections are resources";
    EXPECT_EQ(ResourceText(path, ".missing"), "");
    EXPECT_EQ(ResourceText("/nonexistent", ".vost.except"), "");
    const TElfFile file = TElfFile::Open(path);
    ASSERT_TRUE(file.Valid());
    const std::vector<TElfSymbol> symbols = file.Symbols(SHT_SYMTAB, 0x400000);
    ASSERT_EQ(symbols.size(), 2u);
    EXPECT_EQ(symbols[0].Name, "alpha");
    EXPECT_EQ(symbols[0].Address, 0x401000u);
    EXPECT_EQ(symbols[1].Size, 0u);
    EXPECT_TRUE(file.Symbols(SHT_DYNSYM, 0).empty());
}

TEST(VostTools, UnmangleName)
{
    struct {
        const char* In;
        bool Result;
        const char *Name, *Unit;
    } cases[] = {
        {"@Unit@Class@Method$qqrv", true, "Class.Method", "Unit"},
        {"@Unit@Class@$bctr$qqrv", true, "Class.Create", "Unit"},
        {"@Unit@Class@$dtr$qqrv", true, "Class.Destroy", "Unit"},
        {"@Unit@Proc", true, "Proc", "Unit"},
        {"@Name$qv", true, "Name", ""},
        {"@%Tmpl$i%@Do", true, "Tmpl.Do", ""},
        {"plain_c_name", false, "plain_c_name", ""},
        {"A::B", false, "A.B", ""},
        {"", false, "", ""},
        {"_ZN2ns3FooC2Ev", true, "ns.Foo.Foo", ""},
        {"_ZN2ns3FooIiE3barEv", true, "ns.Foo<int>.bar", ""},
        {"_Z3fooIiEvT_", true, "foo<int>", ""},
        {"_ZN3FooclEi", true, "Foo.operator{}", ""},
        {"_ZN3FooixEi", true, "Foo.operator[]", ""},
        {"_ZN3FooltERKS_", true, "Foo.operator<", ""},
        {"_ZN3FoolsEi", true, "Foo.operator<<", ""},
        {"_ZNK3FoocviEv", true, "Foo.operator_int", ""},
        {"_ZN3FoonwEm", true, "Foo.operator_new", ""},
        {"_ZZ4mainENKUlvE_clEv", true, "main.{lambda{}#1}.operator{}", ""},
        {"_ZZ4mainENKUliE0_clEi", true, "main.{lambda{int}#2}.operator{}", ""},
        {"_ZN12_GLOBAL__N_13fooEv", true, "{anonymous_namespace}.foo", ""},
        {"_Z3foov.cold", true, "foo.cold", ""},
        {"_ZN3FooIjE1fEv", true, "Foo<unsigned_int>.f", ""},
        {"_Z3barRKNSt7__cxx1112basic_stringIcSt11char_traitsIcESaIcEEE", true, "bar", ""},
        {"_ZNSt6vectorIiSaIiEE9push_backERKi", true, "std.vector<int,std.allocator<int>>.push_back", ""},
        {"_ZTV3Foo", true, "vtable_for_Foo", ""},
        {"_ZThn8_N3Foo3barEv", true, "non-virtual_thunk_to_Foo.bar", ""},
        {"_Znot_mangled", false, "_Znot_mangled", ""},
    };
    for (auto& c : cases) {
        std::string name = c.In, unit = "stale";
        EXPECT_EQ(UnmangleName(name, unit), c.Result) << c.In;
        EXPECT_EQ(name, c.Name) << c.In;
        EXPECT_EQ(unit, c.Unit) << c.In;
        EXPECT_EQ(name.find_first_of(" ("), std::string::npos) << c.In;
    }
}

TEST(VostTools, TicksAcrossTheWrap)
{
    EXPECT_EQ(TicksBetween(10, 25), 15u);
    EXPECT_EQ(TicksBetween(UINT32_MAX - 5, 4), 9u);
    const uint32_t start = TickCount();
    EXPECT_LT(TicksSince(start), 10000u);
}
