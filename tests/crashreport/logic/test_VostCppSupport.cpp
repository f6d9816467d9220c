// Throw records of the interposed throw, and the checks of run-time type information.
#include "crashreport/logic/VostCppSupport.h"
#include "crashreport/logic/VostMemory.h"
#include "crashreport/logic/VostMapFile.h"
#include "crashreport/logic/VostStackTrace.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

// The function holding a return address, by our own debug information (the program exports no
// function names).
std::string SymbolAt(uintptr_t address)
{
    std::string module, unit, name;
    uintptr_t start = 0;
    int32_t line = 0;
    if (!address || !DescribeAddress(address - 1, module, unit, name, start, line))
        return {};
    return name;
}

std::string ModuleAt(uintptr_t address)
{
    Dl_info info {};
    if (!address || !dladdr(reinterpret_cast<void*>(address - 1), &info) || !info.dli_fname)
        return {};
    return info.dli_fname;
}

} // namespace

namespace ThrowFixture {
volatile int Sink = 0;
int AtLine = 0;
__attribute__((noinline)) int ReadPastTheEnd(const std::vector<int>& values)
{
    AtLine = __LINE__ + 1;
    const int v = values.at(values.size() + 3);
    Sink = Sink + v;
    return v;
}
__attribute__((noinline)) void ThrowOwn()
{
    Sink = Sink + 1;
    throw std::runtime_error("own");
}
__attribute__((noinline)) void Caller2() { ThrowOwn(); Sink = Sink + 1; }
__attribute__((noinline)) void Caller1() { Caller2(); Sink = Sink + 1; }

struct TBaseA {
    virtual ~TBaseA() = default;
    int A = 1;
};
struct TBaseB {
    virtual ~TBaseB() = default;
    int B = 2;
};
struct TBoth : TBaseA, TBaseB {};
struct TDerived : TBoth {};
} // namespace ThrowFixture

TEST(ThrowRecord, VectorAtThrowSiteIsTheCaller)
{
    ClearThrowRecords();
    const std::vector<int> values { 1, 2, 3 };
    TThrowRecord record;
    try {
        ThrowFixture::ReadPastTheEnd(values);
        FAIL();
    } catch (const std::out_of_range&) {
        ASSERT_TRUE(FindThrowRecord(ThrownObjectOf(std::current_exception()), record));
    }
    EXPECT_EQ(record.Type, &typeid(std::out_of_range));
    // The throw itself happens inside the system's C++ library; the site is our caller.
    EXPECT_NE(ModuleAt(record.ThrowAddress).find("libstdc++"), std::string::npos) << ModuleAt(record.ThrowAddress);
    EXPECT_EQ(SymbolAt(record.ThrowSite), "ThrowFixture.ReadPastTheEnd");
    int32_t line = 0;
    uintptr_t start = 0, end = 0;
    LineNumberAt(record.ThrowSite - 1, line, start, end);
    if (line != 0) { // where the debug information has line numbers
        EXPECT_EQ(line, ThrowFixture::AtLine);
    }
    // The stack collected at the throw traces to the throwing function.
    ASSERT_FALSE(record.Stack.empty());
    TTraceRequest r;
    r.PreCollected = &record.Stack;
    r.CrashedThread = true;
    r.ExceptionAddress = record.ThrowSite;
    const std::string trace = TraceStack(r).Text;
    EXPECT_NE(trace.find("ThrowFixture.ReadPastTheEnd"), std::string::npos) << trace;
}

TEST(ThrowRecord, OwnThrowKeepsItsAddressAndCallers)
{
    ClearThrowRecords();
    TThrowRecord record;
    try {
        ThrowFixture::Caller1();
    } catch (...) {
        ASSERT_TRUE(FindThrowRecord(ThrownObjectOf(std::current_exception()), record));
    }
    EXPECT_EQ(SymbolAt(record.ThrowAddress), "ThrowFixture.ThrowOwn");
    EXPECT_EQ(record.ThrowSite, record.ThrowAddress);
    EXPECT_TRUE(std::any_of(record.Stack.begin(), record.Stack.end(), [](const TRawStackItem& i) { return i.OnChain; }));
    TTraceRequest r;
    r.PreCollected = &record.Stack;
    r.CrashedThread = true;
    r.ExceptionAddress = record.ThrowAddress;
    const std::string trace = TraceStack(r).Text;
    const size_t own = trace.find("ThrowFixture.ThrowOwn"), c2 = trace.find("ThrowFixture.Caller2"),
                 c1 = trace.find("ThrowFixture.Caller1");
    ASSERT_NE(own, std::string::npos) << trace;
    ASSERT_NE(c2, std::string::npos) << trace;
    ASSERT_NE(c1, std::string::npos) << trace;
    EXPECT_LT(own, c2);
    EXPECT_LT(c2, c1);
}

TEST(ThrowRecord, RingKeepsTheNewestAndForgetsTheOldest)
{
    ClearThrowRecords();
    std::vector<std::exception_ptr> kept;
    for (size_t i = 0; i < ThrowRingSize + 2; ++i) {
        try {
            throw std::runtime_error("n" + std::to_string(i));
        } catch (...) {
            kept.push_back(std::current_exception());
        }
    }
    TThrowRecord record;
    EXPECT_FALSE(FindThrowRecord(ThrownObjectOf(kept[0]), record));
    EXPECT_FALSE(FindThrowRecord(ThrownObjectOf(kept[1]), record));
    for (size_t i = 2; i < kept.size(); ++i)
        EXPECT_TRUE(FindThrowRecord(ThrownObjectOf(kept[i]), record)) << i;
    // Another thread's ring is its own.
    bool foundThere = true;
    std::thread([&] { foundThere = FindThrowRecord(ThrownObjectOf(kept.back()), record); }).join();
    EXPECT_FALSE(foundThere);
    EXPECT_FALSE(FindThrowRecord(nullptr, record));
}

TEST(ThrowRecord, CodeSnapshotRenewedOnlyWhenModulesChange)
{
    auto throwOnce = [] {
        try {
            throw std::logic_error("x");
        } catch (...) {
        }
    };
    throwOnce();
    const uint32_t before = ThrowSnapshotRenewals();
    const uint32_t mapReads = MemoryMapReads();
    throwOnce();
    throwOnce();
    EXPECT_EQ(ThrowSnapshotRenewals(), before);
    // Nor the memory map or a module's file for the check of the throw site.
    EXPECT_EQ(MemoryMapReads(), mapReads);
    void* plugin = dlopen(TARVELL_TEST_PLUGIN, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(plugin, nullptr) << dlerror();
    throwOnce();
    EXPECT_EQ(ThrowSnapshotRenewals(), before + 1);
    dlclose(plugin);
    throwOnce();
    EXPECT_EQ(ThrowSnapshotRenewals(), before + 2);
}

TEST(ClassChecks, IsClassByNameWalksTheBases)
{
    struct TCase {
        const std::type_info* Type;
        const char* Name;
        bool Expected;
    } cases[] = {
        { &typeid(std::out_of_range), "std::out_of_range", true },
        { &typeid(std::out_of_range), "std::logic_error", true },
        { &typeid(std::out_of_range), "std::exception", true },
        { &typeid(std::out_of_range), "std::runtime_error", false },
        { &typeid(std::out_of_range), "out_of_range", false },
        { &typeid(ThrowFixture::TDerived), "ThrowFixture::TBaseB", true },
        { &typeid(ThrowFixture::TDerived), "ThrowFixture::TBaseA", true },
        { &typeid(ThrowFixture::TDerived), "ThrowFixture::TBoth", true },
        { &typeid(ThrowFixture::TBaseA), "ThrowFixture::TDerived", false },
        { &typeid(int), "int", true },
        { nullptr, "int", false },
    };
    for (const TCase& c : cases)
        EXPECT_EQ(IsClassByName(c.Type, c.Name), c.Expected) << c.Name;
    EXPECT_EQ(ClassChain(&typeid(std::out_of_range)),
              (std::vector<std::string> { "std::out_of_range", "std::logic_error", "std::exception" }));
    EXPECT_EQ(ClassNameText(&typeid(ThrowFixture::TDerived)), "ThrowFixture::TDerived");
    EXPECT_EQ(ClassNameText(nullptr), "Unknown");
}

TEST(ClassChecks, DamagedObjectsAndTypesAreNotSound)
{
    ThrowFixture::TDerived object;
    EXPECT_TRUE(IsObjectSound(&object));
    EXPECT_EQ(TypeOfObject(&object), &typeid(ThrowFixture::TDerived));
    EXPECT_TRUE(IsTypeInfoSound(&typeid(std::out_of_range)));

    // Heap garbage as an object, as a type record, and a type record whose name is not mangled.
    std::vector<uintptr_t> garbage(8, 0x4141414141414141ull);
    EXPECT_FALSE(IsObjectSound(garbage.data()));
    EXPECT_FALSE(IsTypeInfoSound(reinterpret_cast<const std::type_info*>(garbage.data())));
    EXPECT_FALSE(IsClassByName(reinterpret_cast<const std::type_info*>(garbage.data()), "x"));
    EXPECT_EQ(ClassNameText(reinterpret_cast<const std::type_info*>(garbage.data())), "Unknown");
    // A pointer to an unmapped address and to a non-polymorphic value.
    EXPECT_FALSE(IsObjectSound(reinterpret_cast<const void*>(uintptr_t(16))));
    const uintptr_t plain = 12345;
    EXPECT_FALSE(IsObjectSound(&plain));
    // A copy of a real type record on the heap does not lie in a module.
    std::vector<unsigned char> copy(sizeof(std::type_info));
    memcpy(copy.data(), static_cast<const void*>(&typeid(std::out_of_range)), copy.size());
    EXPECT_FALSE(IsTypeInfoSound(reinterpret_cast<const std::type_info*>(copy.data())));
}

TEST(ClassChecks, ThrownObjectAndCurrentType)
{
    EXPECT_EQ(ThrownObjectOf(std::exception_ptr()), nullptr);
    EXPECT_EQ(CurrentExceptionType(), nullptr);
    try {
        throw std::length_error("l");
    } catch (const std::length_error& e) {
        EXPECT_EQ(ThrownObjectOf(std::current_exception()), static_cast<const void*>(&e));
        EXPECT_EQ(CurrentExceptionType(), &typeid(std::length_error));
    }
}
