// The debug-information reader: map text, TD32, ".jdbg" and container fixtures with their edge
// cases, the choice of source, the lookups and the per-process cache.
#include "crashreport/logic/VostMapFile.h"

#include "crashreport/logic/VostCrypt.h"
#include "crashreport/logic/VostZip.h"

#include "CrashTestSupport.h"
#include "ElfFixture.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include <dlfcn.h>
#include <sys/stat.h>
#include <utime.h>

namespace {



void SetFileDay(const std::string& path, int daysAgo)
{
    utimbuf times{};
    times.actime = times.modtime = time(nullptr) - time_t(daysAgo) * 86400;
    utime(path.c_str(), &times);
}

const TMapLayout Layout{0x400000, 0x402000, 0x600000, 0x600100};

std::string SegmentsText(const TMapFile& map)
{
    std::string out;
    for (const TSegmentEntry& s : map.Segments()) {
        char line[160];
        std::snprintf(line, sizeof line, "%s %lx+%lx %s%s\n", s.IsCode ? "code" : "data", (unsigned long)s.Start,
                      (unsigned long)s.Size, s.Name.c_str(), s.HasLines ? " lines" : "");
        out += line;
    }
    return out;
}

std::string PublicsText(const TMapFile& map)
{
    std::string out;
    for (const TPublicEntry& p : map.Publics()) {
        char line[300];
        std::snprintf(line, sizeof line, "%s %lx %s\n", p.IsCode ? "code" : "data", (unsigned long)p.Address, p.Name.c_str());
        out += line;
    }
    return out;
}

} // namespace

TEST(MapText, SectionsColumnsAndDamagedEntries)
{
    TMapFile map(Layout);
    ASSERT_TRUE(map.LoadMapText(CrashFixture("edge.map")));
    map.SortLines();
    EXPECT_EQ(SegmentsText(map), "code 400000+100 Alpha.cpp\n"
                                 "code 400100+80 Beta.cpp\n"
                                 "code 400180+10 Delta.cpp\n"
                                 "data 600000+40 Alpha.cpp\n");
    EXPECT_EQ(PublicsText(map), "code 400000 Alpha.Start\n"
                                "code 400040 Alpha.Helper\n"
                                "code 400100 Beta.Run\n"
                                "code 400180 Delta.Last\n"
                                "data 600010 GlobalCounter\n");
    const std::vector<TLineEntry> lines = {{10, 0x400000}, {11, 0x400008}, {12, 0x400020}, {13, 0x400030}, {20, 0x400100}, {21, 0x400110}};
    EXPECT_EQ(map.Lines(), lines);
    EXPECT_EQ(map.EntryPoint(), 0x400040u);

    struct {
        uintptr_t Address;
        const char* Public;
        int32_t Line;
        uintptr_t Next;
    } lookups[] = {
        {0x400000, "Alpha.Start", 10, 0x400008}, {0x40003f, "Alpha.Start", 13, 0x400100}, {0x400040, "Alpha.Helper", 13, 0x400100},
        {0x400105, "Beta.Run", 20, 0x400110},    {0x400111, "Beta.Run", 21, 0x400111 + 1}, {0x400185, "Delta.Last", 0, 0x400186},
        {0x401fff, "Delta.Last", 0, 0}, {0x600020, "", 0, 0}, // the last public ends at top of code
    };
    for (auto& c : lookups) {
        EXPECT_EQ(map.PublicAt(c.Address).Name, c.Public) << std::hex << c.Address;
        uintptr_t next = 0;
        EXPECT_EQ(map.LineAt(c.Address, next), c.Line) << std::hex << c.Address;
        if (c.Line != 0) {
            EXPECT_EQ(next, c.Next) << std::hex << c.Address;
        }
    }
    // With top of code unknown the last public covers everything above it.
    TMapFile open({0x400000, 0, 0x600000, 0});
    open.LoadMapText(CrashFixture("edge.map"));
    EXPECT_EQ(open.PublicAt(0x7fffffff).Name, "GlobalCounter");

    EXPECT_EQ(map.SegmentAt(true, 0x400150).Name, "Beta.cpp");
    EXPECT_FALSE(map.SegmentAt(true, 0x400190).Valid);
    EXPECT_EQ(map.SegmentAt(false, 0x600020).Name, "Alpha.cpp");
    EXPECT_EQ(map.PublicAddressByName(true, "Beta", false, "beta.run"), 0x400100u) << "unit + .cpp on the first retry";
    EXPECT_EQ(map.PublicAddressByName(true, "Beta", true, "beta.run"), 0u);
    EXPECT_EQ(map.PublicAddressByName(true, "Beta.cpp", false, "Alpha.Start"), 0u);
    EXPECT_EQ(map.PublicAddressByName(false, "Alpha.cpp", true, "GlobalCounter"), 0x600010u);
}

TEST(MapText, SourcesBesideTheModule)
{
    QTemporaryDir dir;
    const std::string base = dir.path().toStdString() + "/prog.v2";
    // An empty map still counts, and it wins over the other files.
    WriteTestFile(base + ".map", CrashFixture("empty.map"));
    WriteTestFile(base + ".jdbg", CrashFixture("sample.jdbg"));
    TMapFile empty(nullptr, base + ".bin");
    EXPECT_TRUE(empty.Valid());
    EXPECT_EQ(empty.Source(), TDebugSource::MapText);
    EXPECT_TRUE(empty.Segments().empty() && empty.Publics().empty() && empty.Lines().empty());

    std::filesystem::remove(base + ".map");
    TMapFile jdbg(nullptr, base + ".bin");
    EXPECT_TRUE(jdbg.Valid());
    EXPECT_EQ(jdbg.Source(), TDebugSource::Jdbg);

    // A ".tds" written on an earlier day than the ".map" beside it is ignored.
    WriteTestFile(base + ".tds", CrashFixture("sample.tds"));
    WriteTestFile(base + ".map", CrashFixture("edge.map"));
    SetFileDay(base + ".tds", 2);
    EXPECT_EQ(TMapFile(nullptr, base + ".bin").Source(), TDebugSource::MapText);
    SetFileDay(base + ".tds", 0);
    EXPECT_EQ(TMapFile(nullptr, base + ".bin").Source(), TDebugSource::Td32);

    // The extension of the file name goes, not a dot of a folder.
    const std::string folder = dir.path().toStdString() + "/with.dot";
    std::filesystem::create_directory(folder);
    WriteTestFile(folder + "/prog.map", CrashFixture("edge.map"));
    EXPECT_EQ(TMapFile(nullptr, folder + "/prog").Source(), TDebugSource::MapText);
    EXPECT_FALSE(TMapFile(nullptr, folder + "/other").Valid());
}

TEST(Td32, ModulesSourceLinesAndSymbols)
{
    TMapFile map(Layout);
    ASSERT_TRUE(map.LoadTd32(CrashFixture("sample.tds")));
    map.SortLines();
    EXPECT_EQ(SegmentsText(map), "code 400000+100 Main\n"
                                 "code 400100+200 Helpers.cpp\n"
                                 "code 400300+1 Extra\n"
                                 "data 600000+40 Main\n");
    EXPECT_EQ(PublicsText(map), "code 400000 initialization\n"
                                "code 400010 DoWork\n"
                                "code 400120 Helpers.Helper\n"
                                "code 400300 Far\n"
                                "data 600008 GlobalVar\n");
    const std::vector<TLineEntry> lines = {{10, 0x400100}, {12, 0x400110}, {15, 0x400140}};
    EXPECT_EQ(map.Lines(), lines);
    uintptr_t next = 0;
    EXPECT_EQ(map.LineAt(0x400115, next), 12);
    EXPECT_EQ(next, 0x400140u);
    EXPECT_FALSE(TMapFile(Layout).LoadTd32("FB08" + CrashFixture("sample.tds").substr(4)));
}

TEST(Jdbg, ListsNamesAndChecksum)
{
    TMapFile map(Layout);
    const std::string bytes = CrashFixture("sample.jdbg");
    ASSERT_TRUE(map.LoadJdbg(bytes));
    map.SortLines();
    EXPECT_EQ(SegmentsText(map), "code 400000+200 Unit1\n"
                                 "code 400200+1e00 Sub_Unit2\n");
    EXPECT_EQ(PublicsText(map), "code 400010 TForm1.@Create\n"
                                "code 400230 Run9.@Create\n");
    const std::vector<TLineEntry> lines = {{5, 0x400010}, {7, 0x400018}, {17, 0x400218}};
    EXPECT_EQ(map.Lines(), lines);

    std::string damaged = bytes;
    damaged[40] ^= 1;
    EXPECT_FALSE(TMapFile(Layout).LoadJdbg(damaged)) << "checksum";
    damaged[33] = 0;
    EXPECT_TRUE(TMapFile(Layout).LoadJdbg(damaged)) << "no checksum asked for";
    EXPECT_FALSE(TMapFile(Layout).LoadJdbg(bytes.substr(0, bytes.size() - 1))) << "not a multiple of 4";
    EXPECT_FALSE(TMapFile(Layout).LoadJdbg(bytes.substr(0, 32)));
}

TEST(Container, RoundTripVersionsAndAcceptedButEmpty)
{
    TMapFile source(Layout);
    source.LoadMapText(CrashFixture("edge.map"));
    source.SortLines();
    const std::string compact = WriteCompactForm(source);
    const std::string container = MakeDebugContainer(compact);

    TMapFile read(Layout);
    ASSERT_TRUE(read.LoadContainer(container));
    read.SortLines();
    // The compact form carries the code tables and the entry point.
    EXPECT_EQ(SegmentsText(read), "code 400000+100 Alpha.cpp\ncode 400100+80 Beta.cpp\ncode 400180+10 Delta.cpp\n");
    EXPECT_EQ(PublicsText(read), "code 400000 Alpha.Start\ncode 400040 Alpha.Helper\ncode 400100 Beta.Run\ncode 400180 Delta.Last\n");
    EXPECT_EQ(read.Lines(), source.Lines());
    EXPECT_EQ(read.EntryPoint(), source.EntryPoint());

    // The payload is compressed, then enciphered: it is neither plain nor a bare Deflate stream.
    const std::string payload = container.substr(22);
    EXPECT_EQ(InflateText(payload), "");
    std::string deciphered = payload;
    DecryptWords(deciphered, DebugPayloadKey(uint32_t(payload.size())));
    EXPECT_EQ(InflateText(deciphered), compact);

    const std::string v3 = MakeDebugContainer(compact, 3, 0x11111111, 0x22222222, 0);
    TMapFile third(Layout);
    EXPECT_TRUE(third.LoadContainer(v3));
    EXPECT_EQ(third.Publics().size(), 4u);

    struct {
        const char* Name;
        std::string Bytes;
        bool Valid;
    } cases[] = {
        {"payload does not inflate", container.substr(0, 22) + std::string(payload.size(), 'x'), true},
        {"payload length beyond the data", [&] { std::string c = container; c[17] = 0x7f; return c; }(), true},
        {"version 4", [&] { std::string c = container; c[18] = 4; return c; }(), false},
        {"marker", "X" + container.substr(1), false},
        {"short", container.substr(0, 22), false},
    };
    for (auto& c : cases) {
        TMapFile map(Layout);
        EXPECT_EQ(map.LoadContainer(c.Bytes), c.Valid) << c.Name;
        EXPECT_TRUE(map.Publics().empty()) << c.Name;
    }
}

TEST(Container, EmbeddedSectionAndMinimalNames)
{
    QTemporaryDir dir;
    TMapFile source(Layout);
    source.LoadMapText(CrashFixture("edge.map"));
    source.SortLines();
    const std::string full = WriteCompactForm(source);

    // The module carries a version-2 container in its section: that is the first source.
    const std::string module = dir.path().toStdString() + "/module.so";
    WriteTestFile(module, MakeElfFixture({{std::string(DebugInfoSection), SHT_PROGBITS, 0, MakeDebugContainer(full)}}));
    WriteTestFile(dir.path().toStdString() + "/module.map", "");
    TModuleInfo info;
    info.Base = 0x3ff000;
    info.CodeStart = Layout.BaseOfCode;
    info.CodeEnd = Layout.TopOfCode;
    info.FileName = module;
    TMapFile embedded(&info, module);
    EXPECT_TRUE(embedded.Valid());
    EXPECT_EQ(embedded.Source(), TDebugSource::Embedded);
    EXPECT_EQ(embedded.Publics().size(), 4u);
    EXPECT_EQ(embedded.ModuleHandle(), 0x3ff000u);

    // Minimal names: the module's version-3 container without names sets flag 0, and its stamp
    // section names the full ".vost" that belongs to it; found beside the module, that one is read.
    const std::string beside = MakeDebugContainer(full, 3, 0xAAAA0001, 0xBBBB0002, 0);
    WriteTestFile(dir.path().toStdString() + "/minimal.vost", beside);
    const std::string stamp = MinimalInfoStampOf(beside);
    ASSERT_EQ(stamp.size(), 31u);
    const std::string minimal = dir.path().toStdString() + "/minimal.so";
    WriteTestFile(minimal, MakeElfFixture({{std::string(DebugInfoSection), SHT_PROGBITS, 0,
                                        MakeDebugContainer(WriteCompactForm(source, true), 3, 1, 2, 1)},
                                       {std::string(MinimalInfoSection), SHT_PROGBITS, 0, stamp}}));
    info.FileName = minimal;
    TMapFile names(&info, minimal);
    EXPECT_TRUE(names.Valid());
    EXPECT_EQ(names.Source(), TDebugSource::VostFile);
    ASSERT_EQ(names.Publics().size(), 4u);
    EXPECT_EQ(names.Publics()[1].Name, "Alpha.Helper");

    // A ".vost" that does not match the stamp is refused; the embedded payload is read, without names.
    WriteTestFile(dir.path().toStdString() + "/minimal.vost", MakeDebugContainer(full, 3, 9, 9, 0));
    TMapFile refused(&info, minimal);
    EXPECT_EQ(refused.Source(), TDebugSource::Embedded);
    EXPECT_EQ(refused.MinimalInfoStamp(), stamp);
    ASSERT_EQ(refused.Publics().size(), 4u);
    EXPECT_EQ(refused.Publics()[1].Name, "public%1");
    EXPECT_EQ(refused.Segments()[0].Name, "segment%0");
    EXPECT_TRUE(refused.Segments()[0].HasLines);
    EXPECT_FALSE(refused.Segments()[2].HasLines);
    uintptr_t next = 0;
    EXPECT_EQ(refused.LineAt(Layout.BaseOfCode + 4, next), 10);
}

TEST(DebugInfoCache, PluginsAreKeyedByBaseAndFile)
{
    QTemporaryDir dir;
    const std::string plugin = dir.path().toStdString() + "/plugin.so";
    auto install = [&] {
        std::filesystem::remove(plugin);
        std::filesystem::copy_file(TARVELL_TEST_PLUGIN, plugin);
    };
    auto writeMap = [&](uintptr_t offset, const char* name) {
        char text[512];
        std::snprintf(text, sizeof text,
                      "Detailed map of segments\r\n\r\n"
                      " 0001:00000000 00100000 C=CODE     S=.text    G=(none)   M=Plugin.cpp             ACBP=A9\r\n\r\n"
                      "  Address         Publics by Value\r\n\r\n 0001:%08lX       %s\r\n\r\n",
                      (unsigned long)offset, name);
        WriteTestFile(dir.path().toStdString() + "/plugin.map", text);
    };
    auto resolve = [&](void* handle) {
        const uintptr_t function = uintptr_t(dlsym(handle, "VostTestPluginFunction"));
        const auto snapshot = TakeMemorySnapshot();
        TModuleInfo module;
        EXPECT_TRUE(FindModule(*snapshot, function, module));
        return std::make_pair(function, module);
    };

    install();
    void* handle = dlopen(plugin.c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle, nullptr) << dlerror();
    auto [function, module] = resolve(handle);
    writeMap(function - module.CodeStart, "Old.Function");
    EXPECT_EQ(ProcNameAt(function), "Plugin.cpp.Old.Function");
    const auto first = DebugInfoForAddress(function);
    EXPECT_EQ(DebugInfoForAddress(function), first) << "cached";

    // The file changed on disk: the next lookup reads it again.
    writeMap(function - module.CodeStart, "Changed.Function");
    SetFileDay(plugin, 1);
    EXPECT_EQ(ProcNameAt(function), "Plugin.cpp.Changed.Function");

    // Another file at the module's place: whatever base it gets, it lends no names of the old one.
    dlclose(handle);
    install();
    handle = dlopen(plugin.c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle, nullptr) << dlerror();
    auto [again, replaced] = resolve(handle);
    writeMap(again - replaced.CodeStart, "New.Function");
    EXPECT_EQ(ProcNameAt(again), "Plugin.cpp.New.Function");
    std::string file, unit, name;
    uintptr_t start = 0;
    int32_t line = -1;
    EXPECT_TRUE(DescribeAddress(again + 2, file, unit, name, start, line));
    EXPECT_EQ(file, plugin);
    EXPECT_EQ(unit, "Plugin.cpp");
    EXPECT_EQ(name, "New.Function");
    EXPECT_EQ(start, again);
    EXPECT_EQ(line, 0);
    EXPECT_EQ(ProcNameAt(again + 2), "") << "no function starts there";
    int32_t cachedLine = 5;
    uintptr_t rangeStart = again, rangeEnd = again + 10;
    LineNumberAt(again + 1, cachedLine, rangeStart, rangeEnd);
    EXPECT_EQ(cachedLine, 5) << "inside the caller's range nothing is looked up";
    dlclose(handle);

    int onTheStack = 0;
    EXPECT_FALSE(DebugInfoForAddress(uintptr_t(&onTheStack))->Valid());
    EXPECT_FALSE(DescribeAddress(0, file, unit, name, start, line));
}
