// Our own debug information: every function of this test executable resolves through its
// embedded section to the name and line that libdw gives, and vostmap's map text beside the
// executable parses to the same tables.
#include "crashreport/logic/VostMapFile.h"
#include "crashreport/logic/VostTools.h"

#include <dwarf.h>
#include <elfutils/libdw.h>
#include <gelf.h>
#include <libelf.h>

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include <fcntl.h>
#include <unistd.h>

namespace {

std::string ExecutablePath()
{
    char path[PATH_MAX] = {};
    return readlink("/proc/self/exe", path, sizeof path - 1) > 0 ? path : "";
}

// What libdw says about the executable: functions by address (all aliases), the compile units'
// ranges and their own file's statement rows (a row of code inlined by a call in that file at the
// call's line).
struct TDwarfFacts {
    struct TUnit {
        std::string Name;
        std::vector<std::pair<uint64_t, uint64_t>> Ranges;
        std::map<uint64_t, int> Rows; // the last row at an address wins
    };
    std::map<uint64_t, std::pair<uint64_t, std::set<std::string>>> Functions; // address -> size, names
    std::vector<TUnit> Units;
    uint64_t CodeStart = 0;

    const TUnit* UnitOf(uint64_t address) const
    {
        for (const TUnit& unit : Units)
            for (const auto& [start, end] : unit.Ranges)
                if (address >= start && address < end)
                    return &unit;
        return nullptr;
    }
};

TDwarfFacts ReadDwarfFacts(const std::string& path)
{
    TDwarfFacts facts;
    elf_version(EV_CURRENT);
    const int fd = open(path.c_str(), O_RDONLY);
    Elf* elf = elf_begin(fd, ELF_C_READ, nullptr);
    size_t count = 0;
    elf_getphdrnum(elf, &count);
    uint64_t codeEnd = 0;
    for (size_t i = 0; i < count; ++i) {
        GElf_Phdr ph;
        if (gelf_getphdr(elf, int(i), &ph) && ph.p_type == PT_LOAD && (ph.p_flags & PF_X)) {
            facts.CodeStart = ph.p_vaddr;
            codeEnd = ph.p_vaddr + ph.p_memsz;
            break;
        }
    }
    for (Elf_Scn* scn = nullptr; (scn = elf_nextscn(elf, scn));) {
        GElf_Shdr sh;
        if (!gelf_getshdr(scn, &sh) || sh.sh_type != SHT_SYMTAB)
            continue;
        Elf_Data* data = elf_getdata(scn, nullptr);
        for (size_t i = 0; i < sh.sh_size / sh.sh_entsize; ++i) {
            GElf_Sym sym;
            gelf_getsym(data, int(i), &sym);
            if (GELF_ST_TYPE(sym.st_info) != STT_FUNC || sym.st_shndx == SHN_UNDEF || sym.st_value < facts.CodeStart ||
                sym.st_value >= codeEnd)
                continue;
            const char* raw = elf_strptr(elf, sh.sh_link, sym.st_name);
            std::string name;
            if (!DemangleSymbol(raw, name))
                name = raw;
            auto& entry = facts.Functions[sym.st_value];
            entry.first = std::max<uint64_t>(entry.first, sym.st_size);
            entry.second.insert(name);
        }
    }
    Dwarf* dwarf = dwarf_begin_elf(elf, DWARF_C_READ, nullptr);
    Dwarf_Off offset = 0, next;
    size_t headerSize;
    while (dwarf && dwarf_nextcu(dwarf, offset, &next, &headerSize, nullptr, nullptr, nullptr) == 0) {
        Dwarf_Die die;
        dwarf_offdie(dwarf, offset + headerSize, &die);
        offset = next;
        TDwarfFacts::TUnit unit;
        Dwarf_Attribute attribute;
        std::string file = dwarf_diename(&die) ? dwarf_diename(&die) : "";
        const char* compDirText = dwarf_formstring(dwarf_attr(&die, DW_AT_comp_dir, &attribute));
        const std::string compDir = compDirText ? compDirText : "";
        if (!file.empty() && file[0] != '/')
            file = compDir + "/" + file;
        file = std::filesystem::path(file).lexically_normal().string();
        unit.Name = std::filesystem::path(file).filename().string();
        Dwarf_Addr base, start, end;
        for (ptrdiff_t at = 0; (at = dwarf_ranges(&die, at, &base, &start, &end)) > 0;)
            if (end > start)
                unit.Ranges.push_back({start, end});
        Dwarf_Files* files = nullptr;
        size_t fileCount = 0;
        if (dwarf_getsrcfiles(&die, &files, &fileCount) != 0)
            files = nullptr;
        const auto inUnitFile = [&](const char* name) {
            std::string path = name ? name : "";
            if (!path.empty() && path[0] != '/')
                path = compDir + "/" + path;
            return !path.empty() && std::filesystem::path(path).lexically_normal().string() == file;
        };
        // Code inlined from another file: the line of the deepest call written in the unit's file.
        struct TCall {
            int Depth;
            Dwarf_Addr Start, End;
            int Line;
        };
        std::vector<TCall> calls;
        const auto collect = [&](auto& self, Dwarf_Die* parent, int depth) -> void {
            Dwarf_Die child;
            if (dwarf_child(parent, &child) != 0)
                return;
            do {
                int childDepth = depth;
                if (dwarf_tag(&child) == DW_TAG_inlined_subroutine) {
                    ++childDepth;
                    Dwarf_Attribute a;
                    Dwarf_Word fileIndex = 0, callLineNumber = 0;
                    if (files && dwarf_formudata(dwarf_attr(&child, DW_AT_call_file, &a), &fileIndex) == 0 &&
                        dwarf_formudata(dwarf_attr(&child, DW_AT_call_line, &a), &callLineNumber) == 0 &&
                        callLineNumber > 0 && inUnitFile(dwarf_filesrc(files, fileIndex, nullptr, nullptr))) {
                        Dwarf_Addr rangeBase, rangeStart, rangeEnd;
                        for (ptrdiff_t at = 0; (at = dwarf_ranges(&child, at, &rangeBase, &rangeStart, &rangeEnd)) > 0;)
                            calls.push_back({childDepth, rangeStart, rangeEnd, int(callLineNumber)});
                    }
                }
                self(self, &child, childDepth);
            } while (dwarf_siblingof(&child, &child) == 0);
        };
        collect(collect, &die, 0);
        const auto callLine = [&](Dwarf_Addr address) {
            int depth = 0, found = 0;
            for (const TCall& c : calls)
                if (address >= c.Start && address < c.End && c.Depth > depth) {
                    depth = c.Depth;
                    found = c.Line;
                }
            return found;
        };
        std::map<uint64_t, int> inlinedRows;
        Dwarf_Lines* lines;
        size_t n;
        if (dwarf_getsrclines(&die, &lines, &n) == 0)
            for (size_t i = 0; i < n; ++i) {
                Dwarf_Line* line = dwarf_onesrcline(lines, i);
                Dwarf_Addr address;
                int number;
                bool statement, endSequence;
                dwarf_lineaddr(line, &address);
                dwarf_lineno(line, &number);
                dwarf_linebeginstatement(line, &statement);
                dwarf_lineendsequence(line, &endSequence);
                const char* src = dwarf_linesrc(line, nullptr, nullptr);
                // A build through a compiler cache with a base folder names its files relative to
                // the compilation folder.
                std::string srcPath = src ? src : "";
                if (!srcPath.empty() && srcPath[0] != '/')
                    srcPath = compDir + "/" + srcPath;
                if (!statement || endSequence || !src)
                    continue;
                if (std::filesystem::path(srcPath).lexically_normal().string() == file)
                    unit.Rows[address] = number;
                else if (const int call = callLine(address); call > 0)
                    inlinedRows[address] = call;
            }
        // A row of the unit's own file at the same address wins.
        unit.Rows.insert(inlinedRows.begin(), inlinedRows.end());
        if (!unit.Ranges.empty())
            facts.Units.push_back(std::move(unit));
    }
    if (dwarf)
        dwarf_end(dwarf);
    elf_end(elf);
    close(fd);
    return facts;
}

// The line the reporter must give at address inside the function starting at start: the unit
// file's last row up to the address, else the function's first row, else none.
int ExpectedLine(const TDwarfFacts::TUnit& unit, uint64_t start, uint64_t size, uint64_t address)
{
    auto it = unit.Rows.upper_bound(address);
    if (it != unit.Rows.begin() && std::prev(it)->first >= start)
        return std::prev(it)->second;
    auto first = unit.Rows.lower_bound(start);
    return first != unit.Rows.end() && first->first < start + std::max<uint64_t>(size, 1) ? first->second : 0;
}

} // namespace

TEST(OwnDebugInfo, EveryFunctionResolvesToLibdwsNameAndLine)
{
    const std::shared_ptr<const TMapFile> map = DebugInfoForAddress(0);
    ASSERT_TRUE(map->Valid());
    ASSERT_EQ(map->Source(), TDebugSource::Embedded) << "the executable carries its own section";
    const std::string exe = ExecutablePath();
    const TDwarfFacts facts = ReadDwarfFacts(exe);
    ASSERT_GT(facts.Functions.size(), 1000u);
    const uintptr_t bias = map->Layout().BaseOfCode - facts.CodeStart;

    size_t functions = 0, addresses = 0, withUnit = 0, withLine = 0;
    for (const auto& [address, sizeAndNames] : facts.Functions) {
        const auto& [size, names] = sizeAndNames;
        const uintptr_t at = bias + address;
        const TPublicEntry p = map->PublicAt(at);
        ++functions;
        ASSERT_EQ(p.Address, at) << *names.begin();
        EXPECT_TRUE(names.count(p.Name) || (p.Name.size() == 255 && p.Name[246] == '~')) << p.Name << " / " << *names.begin();
        EXPECT_EQ(p.Name.find_first_of(" ("), std::string::npos) << p.Name;
        const TDwarfFacts::TUnit* unit = facts.UnitOf(address);
        EXPECT_EQ(map->SegmentAt(true, at).Name, unit ? unit->Name : "") << p.Name << " at " << std::hex << address;
        if (!unit)
            continue;
        ++withUnit;
        // The start, every row of the unit's file inside the function and the byte after each.
        std::vector<uint64_t> probes = {address};
        for (auto it = unit->Rows.lower_bound(address); it != unit->Rows.end() && it->first < address + size; ++it) {
            probes.push_back(it->first);
            if (it->first + 1 < address + size)
                probes.push_back(it->first + 1);
        }
        for (uint64_t probe : probes) {
            uintptr_t next = 0;
            const int expected = ExpectedLine(*unit, address, size, probe);
            EXPECT_EQ(map->LineAt(bias + probe, next), expected) << p.Name << " +" << (probe - address);
            ++addresses;
            withLine += expected > 0;
        }
    }
    std::cout << "[ OWN INFO ] " << functions << " functions, " << withUnit << " in units, " << addresses << " addresses, "
              << withLine << " with a line" << std::endl;
    EXPECT_GT(withLine, 1000u);

    // Through the reporter's entry points too.
    const uintptr_t self = uintptr_t(&ExpectedLine);
    const std::string name = ProcNameAt(self);
    EXPECT_NE(name.find("test_OwnDebugInfo.cpp."), std::string::npos) << name;
    EXPECT_NE(name.find("ExpectedLine"), std::string::npos) << name;
}

TEST(OwnDebugInfo, TheMapTextBesideParsesToTheSameTables)
{
    const std::shared_ptr<const TMapFile> embedded = DebugInfoForAddress(0);
    std::ifstream in(ExecutablePath() + ".map", std::ios::binary);
    ASSERT_TRUE(in) << "vostmap writes the map beside the executable";
    std::stringstream text;
    text << in.rdbuf();
    TMapFile parsed(embedded->Layout());
    ASSERT_TRUE(parsed.LoadMapText(text.str()));
    parsed.SortLines();
    ASSERT_EQ(parsed.Segments().size(), embedded->Segments().size());
    for (size_t i = 0; i < parsed.Segments().size(); ++i) {
        EXPECT_EQ(parsed.Segments()[i].Start, embedded->Segments()[i].Start);
        EXPECT_EQ(parsed.Segments()[i].Size, embedded->Segments()[i].Size);
        EXPECT_EQ(parsed.Segments()[i].Name, embedded->Segments()[i].Name);
    }
    ASSERT_EQ(parsed.Publics().size(), embedded->Publics().size());
    for (size_t i = 0; i < parsed.Publics().size(); ++i) {
        EXPECT_EQ(parsed.Publics()[i].Address, embedded->Publics()[i].Address);
        EXPECT_EQ(parsed.Publics()[i].Name, embedded->Publics()[i].Name);
    }
    EXPECT_TRUE(parsed.Lines() == embedded->Lines());
    EXPECT_EQ(parsed.EntryPoint(), embedded->EntryPoint());
    EXPECT_NE(embedded->EntryPoint(), 0u);
}
