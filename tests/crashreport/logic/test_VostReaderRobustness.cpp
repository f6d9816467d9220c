// Every reader of hostile bytes against damaged copies of its fixture (cut at every offset, bytes
// flipped, extreme values over every offset): each must end cleanly with bounded tables. The
// sanitizer build runs this too.
#include "crashreport/logic/VostDns.h"
#include "crashreport/logic/VostMapFile.h"
#include "crashreport/logic/VostTools.h"
#include "crashreport/logic/VostZip.h"

#include "CrashTestSupport.h"
#include "ElfFixture.h"
#include "MailTestServers.h"
#include "support/DamagedCopies.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <iostream>
#include <sstream>

#include <elf.h>

namespace {


const TMapLayout Layout{0x400000, 0x402000, 0x600000, 0x600100};

// Tables can never hold more entries than there are input bytes.
std::string CheckTables(const TMapFile& map, size_t inputSize)
{
    const size_t limit = inputSize + 16;
    if (map.Segments().size() > limit || map.Publics().size() > limit || map.Lines().size() > limit)
        return "more entries than input bytes";
    for (const TSegmentEntry& s : map.Segments())
        if (s.Name.size() > inputSize + 32)
            return "a name longer than the input";
    return {};
}

using TReader = std::function<std::string(const std::string&)>;

void RunDamaged(const char* label, const std::string& fixture, const TReader& reader)
{
    ASSERT_FALSE(fixture.empty()) << label;
    const auto start = std::chrono::steady_clock::now();
    size_t cases = 0;
    for (const TDamagedCopy& copy : DamagedCopies(fixture)) {
        std::string problem;
        try {
            problem = reader(copy.Bytes);
        } catch (const std::exception& e) {
            problem = std::string("exception: ") + e.what();
        }
        ASSERT_EQ(problem, "") << label << ", " << copy.Name;
        ++cases;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::cout << "[ READER   ] " << label << ": " << cases << " cases in " << seconds << " s" << std::endl;
}

std::string MapReader(const std::function<void(TMapFile&, const std::string&)>& load, const std::string& bytes)
{
    TMapFile map(Layout);
    load(map, bytes);
    map.SortLines();
    uintptr_t next = 0;
    map.LineAt(0x400010, next);
    map.PublicAt(0x400010);
    map.PublicAddressByName(true, "Alpha", false, "Alpha.Start");
    return CheckTables(map, bytes.size());
}

// An in-memory image of a loaded module: ELF header, the code and dynamic program headers, the
// dynamic section and a hashed dynamic symbol table; addresses are offsets into the image.
std::string ModuleImage()
{
    std::string strings("\0alpha\0beta\0", 12);
    std::vector<Elf64_Sym> symbols(3);
    symbols[1] = {1, ELF64_ST_INFO(STB_GLOBAL, STT_FUNC), 0, 1, 0x400, 16};
    symbols[2] = {7, ELF64_ST_INFO(STB_GLOBAL, STT_FUNC), 0, 1, 0x410, 32};
    const uint32_t hash[] = {1, 3, 0, 0, 0, 0};
    const size_t headers = sizeof(Elf64_Ehdr), phdrs = headers, dynamic = phdrs + 2 * sizeof(Elf64_Phdr);
    const size_t symtab = dynamic + 6 * sizeof(Elf64_Dyn), strtab = symtab + symbols.size() * sizeof(Elf64_Sym);
    const size_t hashAt = (strtab + strings.size() + 7) / 8 * 8, end = hashAt + sizeof hash + 0x100;
    std::string image(std::max<size_t>(end, 0x500), '\0');
    Elf64_Ehdr e{};
    std::memcpy(e.e_ident, ELFMAG, SELFMAG);
    e.e_ident[EI_CLASS] = ELFCLASS64;
    e.e_ident[EI_DATA] = ELFDATA2LSB;
    e.e_type = ET_DYN;
    e.e_phoff = phdrs;
    e.e_phentsize = sizeof(Elf64_Phdr);
    e.e_phnum = 2;
    std::memcpy(image.data(), &e, sizeof e);
    const Elf64_Phdr ph[2] = {{PT_LOAD, PF_R | PF_X, 0, 0, 0, image.size(), image.size(), 0x1000},
                              {PT_DYNAMIC, PF_R, dynamic, dynamic, dynamic, 6 * sizeof(Elf64_Dyn), 6 * sizeof(Elf64_Dyn), 8}};
    std::memcpy(image.data() + phdrs, ph, sizeof ph);
    const Elf64_Dyn dyn[6] = {{DT_SYMTAB, {symtab}}, {DT_STRTAB, {strtab}}, {DT_STRSZ, {strings.size()}},
                              {DT_HASH, {hashAt}},   {DT_SONAME, {1}},      {DT_NULL, {0}}};
    std::memcpy(image.data() + dynamic, dyn, sizeof dyn);
    std::memcpy(image.data() + symtab, symbols.data(), symbols.size() * sizeof(Elf64_Sym));
    std::memcpy(image.data() + strtab, strings.data(), strings.size());
    std::memcpy(image.data() + hashAt, hash, sizeof hash);
    return image;
}

} // namespace

TEST(CrashReaderRobustness, DebugInformationReaders)
{
    RunDamaged("map text", CrashFixture("edge.map"), [](const std::string& b) { return MapReader(&TMapFile::LoadMapText, b); });
    RunDamaged("TD32", CrashFixture("sample.tds"), [](const std::string& b) { return MapReader(&TMapFile::LoadTd32, b); });
    RunDamaged(".jdbg", CrashFixture("sample.jdbg"), [](const std::string& b) { return MapReader(&TMapFile::LoadJdbg, b); });
    // Without its checksum every damaged list reaches the parser.
    std::string unchecked = CrashFixture("sample.jdbg");
    unchecked[33] = 0;
    RunDamaged(".jdbg without checksum", unchecked, [](const std::string& b) { return MapReader(&TMapFile::LoadJdbg, b); });

    TMapFile source(Layout);
    source.LoadMapText(CrashFixture("edge.map"));
    source.SortLines();
    const std::string compact = WriteCompactForm(source);
    RunDamaged("compact form", compact, [](const std::string& b) { return MapReader(&TMapFile::LoadCompactForm, b); });
    RunDamaged("container v2", MakeDebugContainer(compact), [](const std::string& b) { return MapReader(&TMapFile::LoadContainer, b); });
    RunDamaged("container v3", MakeDebugContainer(compact, 3, 1, 2, 0),
               [](const std::string& b) { return MapReader(&TMapFile::LoadContainer, b); });
    RunDamaged("minimal compact form", WriteCompactForm(source, true), [](const std::string& b) {
        TMapFile map(Layout);
        map.SetMinimalInfoStamp("$00000000, $00000000, $00000000");
        map.LoadCompactForm(b);
        return CheckTables(map, b.size());
    });
    RunDamaged("compressed text", DeflateText(CrashFixture("edge.map")), [](const std::string& b) {
        return InflateText(b).size() > MaxInflatedSize ? "over the cap" : "";
    });
}

TEST(CrashReaderRobustness, ElfAndMemoryMapReaders)
{
    std::vector<TElfFixtureSection> sections = {{".text", SHT_PROGBITS, SHF_ALLOC | SHF_EXECINSTR, std::string(32, '\x90')},
                                                {".vost.except", SHT_PROGBITS, 0, "payload"}};
    for (auto& s : MakeSymbolSections({{"alpha", 0x1000, 16}, {"_ZN3Foo3barEv", 0x1010, 8}}, 4))
        sections.push_back(s);
    RunDamaged("ELF file", MakeElfFixture(sections), [](const std::string& b) {
        const TElfFile file = TElfFile::FromBytes(b);
        size_t bytes = 0;
        for (const TElfFile::TSection& s : file.Sections())
            bytes += file.SectionBytes(s, 1 << 20).size();
        const size_t symbols = file.Symbols(SHT_SYMTAB, 0).size() + file.Symbols(SHT_DYNSYM, 0).size();
        file.SoName();
        return bytes > b.size() || symbols > b.size() ? "more than the input holds" : "";
    });

    std::ifstream maps("/proc/self/maps");
    std::stringstream text;
    text << maps.rdbuf();
    RunDamaged("memory map", text.str(), [](const std::string& b) {
        const TMemorySnapshot snapshot = TMemorySnapshot::FromMapsText(b);
        for (size_t i = 1; i < snapshot.Regions().size(); ++i)
            if (snapshot.Regions()[i].Start < snapshot.Regions()[i - 1].End || snapshot.Regions()[i].Start >= snapshot.Regions()[i].End)
                return "regions out of order";
        return "";
    });

    // The dynamic symbols of a loaded module, read from (damaged) memory through safe reads.
    const std::string image = ModuleImage();
    {
        TModuleInfo module;
        module.Base = module.LoadBias = uintptr_t(image.data());
        module.CodeStart = module.Base;
        module.CodeEnd = module.Base + image.size();
        const std::vector<TElfSymbol> symbols = ElfDynamicSymbols(module);
        ASSERT_EQ(symbols.size(), 2u);
        EXPECT_EQ(symbols[1].Name, "beta");
        EXPECT_EQ(symbols[1].Address, module.Base + 0x410);
        TElfSymbol at;
        EXPECT_TRUE(ElfSymbolAt(module, module.Base + 0x41f, true, at));
        EXPECT_EQ(at.Name, "beta");
        EXPECT_EQ(ElfSymbolAddress(module, "alpha", false), module.Base + 0x400);
    }
    RunDamaged("module in memory", image, [](const std::string& b) {
        TModuleInfo module;
        module.Base = module.LoadBias = uintptr_t(b.data());
        module.CodeStart = module.Base;
        module.CodeEnd = module.Base + b.size();
        const size_t count = ElfDynamicSymbols(module).size();
        return count > (1u << 20) ? "too many symbols" : "";
    });
}

// Name-server replies as a server would compress them: every name after the question points back
// into the packet.
TEST(CrashReaderRobustness, DnsReplies)
{
    using MailServers::DnsWord;
    const auto record = [](const std::string& owner, uint16_t type, const std::string& data) {
        return owner + DnsWord(type) + DnsWord(1) + std::string("\0\0\x0e\x10", 4) + DnsWord(uint16_t(data.size())) + data;
    };
    const std::string atQuestion("\xC0\x0C", 2);
    const auto reader = [](const std::string& query) {
        return [query](const std::string& b) -> std::string {
            TDnsAnswers out;
            ParseDnsReply(b, query, out);
            size_t hosts = 0;
            for (const auto* list : {&out.Answers, &out.Authorities}) {
                for (const TDnsHost& h : *list) {
                    if (h.Name.empty() || h.Name.size() > 255)
                        return "a name of " + std::to_string(h.Name.size()) + " bytes";
                    if (h.Addresses.size() > 8)
                        return "too many addresses";
                    ++hosts;
                }
            }
            return hosts * 3 > b.size() ? "more hosts than the reply holds" : "";
        };
    };

    const std::string mxQuery = BuildDnsQuery(0x1234, "one.test", TDnsType::MX);
    std::string mx = mxQuery.substr(0, 2) + DnsWord(0x8180) + DnsWord(1) + DnsWord(2) + DnsWord(0) + DnsWord(2) + mxQuery.substr(12);
    const size_t firstTarget = mx.size() + 2 + 10 + 2;
    mx += record(atQuestion, 15, DnsWord(10) + "\x02mx" + atQuestion);
    mx += record(atQuestion, 15, DnsWord(20) + "\x04mail" + atQuestion);
    const std::string atTarget{char(0xC0), char(firstTarget)};
    mx += record(atTarget, 1, MailServers::AData("127.0.0.1"));
    mx += record(atTarget, 28, std::string(15, '\0') + "\x01");
    {
        TDnsAnswers out;
        ASSERT_TRUE(ParseDnsReply(mx, mxQuery, out));
        ASSERT_EQ(out.Answers.size(), 2u);
        EXPECT_EQ(out.Answers[0].Name, "mx.one.test");
        EXPECT_EQ(out.Answers[0].Addresses.size(), 2u);
        EXPECT_EQ(out.Answers[1].Name, "mail.one.test");
    }
    RunDamaged("DNS MX reply", mx, reader(mxQuery));

    const std::string nsQuery = BuildDnsQuery(0x4321, "one.test", TDnsType::NS);
    std::string ns = nsQuery.substr(0, 2) + DnsWord(0x8000) + DnsWord(1) + DnsWord(0) + DnsWord(2) + DnsWord(1) + nsQuery.substr(12);
    const size_t tld = ns.size() + 2 + 10;
    ns += record("\xC0\x10", 2, "\x02ns\x03tld" + std::string("\xC0\x10", 2));
    ns += record("\xC0\x10", 2, "\x03ns2" + std::string{char(0xC0), char(tld + 3)});
    ns += record(std::string{char(0xC0), char(tld)}, 1, MailServers::AData("127.0.0.3"));
    {
        TDnsAnswers out;
        ASSERT_TRUE(ParseDnsReply(ns, nsQuery, out));
        ASSERT_EQ(out.Authorities.size(), 2u);
        EXPECT_EQ(out.Authorities[0].Name, "ns.tld.test");
        EXPECT_EQ(out.Authorities[0].Addresses.size(), 1u);
        EXPECT_EQ(out.Authorities[1].Name, "ns2.tld.test");
    }
    RunDamaged("DNS referral", ns, reader(nsQuery));
}
