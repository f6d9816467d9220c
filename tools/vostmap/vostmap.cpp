// vostmap: turns a linked executable's symbols and line tables into the crash reporter's debug
// information: "<file>.map" (linker map text) and "<file>.vost" (the compact form in a version-2
// container, embedded afterwards as the section .vost.except).
//
// Functions come from .symtab with their sizes; a function's unit is the base name of the compile
// unit whose ranges hold it (the linker points the ranges of every discarded copy of an inline
// function at the kept one, so the first unit in link order that claims it wins); a unit's
// segments are the runs of its functions; lines are the is_stmt rows of the unit's own source
// file, and a row of code inlined from another file takes the line of the unit's own call that
// inlined it (the compiler interleaves such code with frame set-up, so the row before it is no
// guide). Names are demangled and rendered as
// RenderDemangledName says (one token each); names longer than the container's 255 bytes keep
// their first 246 bytes and end in "~" and 8 hexadecimal digits of a hash of the whole name.
#include "crashreport/logic/VostMapFile.h"
#include "crashreport/logic/VostTools.h"

#include <dwarf.h>
#include <elfutils/libdw.h>
#include <gelf.h>
#include <libelf.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace {

struct TFunction {
    uint64_t Address, Size;
    std::string Name;
    bool Global;
};

struct TUnit {
    std::string Name;
    std::string SourcePath;
    std::vector<std::pair<uint64_t, uint64_t>> Ranges; // [start, end)
    std::map<uint64_t, int> Lines;                     // address -> line, last row at an address wins
};

std::string Normalized(const std::string& path) { return std::filesystem::path(path).lexically_normal().string(); }

// Characters the map layout gives a meaning to ("=", "\", "|" end a segment name; parentheses
// delimit the unit in a line-number heading) cannot be part of a unit name.
std::string UnitName(const std::string& path)
{
    std::string name = std::filesystem::path(path).filename().string();
    for (char& c : name)
        if (c == '=' || c == '\\' || c == '|' || c == '(' || c == ')' || c == ' ')
            c = '_';
    return name;
}

std::string ShortName(std::string name)
{
    if (name.size() <= 255)
        return name;
    uint32_t hash = 2166136261u;
    for (unsigned char c : name)
        hash = (hash ^ c) * 16777619u;
    char tail[16];
    std::snprintf(tail, sizeof tail, "~%08x", hash);
    return name.substr(0, 246) + tail;
}

bool ReadFunctions(Elf* elf, uint64_t codeStart, uint64_t codeEnd, std::vector<TFunction>& functions)
{
    Elf_Scn* section = nullptr;
    while ((section = elf_nextscn(elf, section)) != nullptr) {
        GElf_Shdr header;
        if (!gelf_getshdr(section, &header) || header.sh_type != SHT_SYMTAB)
            continue;
        Elf_Data* data = elf_getdata(section, nullptr);
        if (!data || header.sh_entsize == 0)
            return false;
        const size_t count = header.sh_size / header.sh_entsize;
        for (size_t i = 0; i < count; ++i) {
            GElf_Sym symbol;
            if (!gelf_getsym(data, int(i), &symbol) || GELF_ST_TYPE(symbol.st_info) != STT_FUNC || symbol.st_shndx == SHN_UNDEF)
                continue;
            if (symbol.st_value < codeStart || symbol.st_value >= codeEnd)
                continue;
            const char* raw = elf_strptr(elf, header.sh_link, symbol.st_name);
            if (!raw || !*raw)
                continue;
            std::string name;
            if (!DemangleSymbol(raw, name))
                name = raw;
            functions.push_back({symbol.st_value, symbol.st_size, ShortName(name), GELF_ST_BIND(symbol.st_info) != STB_LOCAL});
        }
        return true;
    }
    return false;
}

// One public per address: the largest alias, then a global one, then the first name.
void DropAliases(std::vector<TFunction>& functions)
{
    std::stable_sort(functions.begin(), functions.end(), [](const TFunction& a, const TFunction& b) {
        if (a.Address != b.Address)
            return a.Address < b.Address;
        if (a.Size != b.Size)
            return a.Size > b.Size;
        if (a.Global != b.Global)
            return a.Global;
        return a.Name < b.Name;
    });
    functions.erase(std::unique(functions.begin(), functions.end(),
                                [](const TFunction& a, const TFunction& b) { return a.Address == b.Address; }),
                    functions.end());
}

struct TInlinedCall {
    int Depth;
    uint64_t Start, End;
    int Line;
};

// The inlined calls written in the unit's own file, with their nesting depth.
void CollectInlinedCalls(Dwarf_Die* parent, int depth, Dwarf_Files* files, const std::string& compDir,
    const std::string& sourcePath, std::vector<TInlinedCall>& calls)
{
    Dwarf_Die child;
    if (dwarf_child(parent, &child) != 0)
        return;
    do {
        int childDepth = depth;
        if (dwarf_tag(&child) == DW_TAG_inlined_subroutine) {
            ++childDepth;
            Dwarf_Attribute attribute;
            Dwarf_Word fileIndex = 0, line = 0;
            const char* file = nullptr;
            if (files && dwarf_formudata(dwarf_attr(&child, DW_AT_call_file, &attribute), &fileIndex) == 0 &&
                dwarf_formudata(dwarf_attr(&child, DW_AT_call_line, &attribute), &line) == 0 && line > 0)
                file = dwarf_filesrc(files, fileIndex, nullptr, nullptr);
            std::string filePath = file ? file : "";
            if (!filePath.empty() && filePath.front() != '/' && !compDir.empty())
                filePath = compDir + "/" + filePath;
            if (!filePath.empty() && Normalized(filePath) == sourcePath) {
                Dwarf_Addr base, start, end;
                for (ptrdiff_t at = 0; (at = dwarf_ranges(&child, at, &base, &start, &end)) > 0;)
                    if (end > start)
                        calls.push_back({childDepth, start, end, int(line)});
            }
        }
        CollectInlinedCalls(&child, childDepth, files, compDir, sourcePath, calls);
    } while (dwarf_siblingof(&child, &child) == 0);
}

// Address -> line of the innermost own call that holds it (0: none), painted outermost first.
std::map<uint64_t, int> InlinedCallLines(std::vector<TInlinedCall> calls)
{
    std::stable_sort(calls.begin(), calls.end(), [](const TInlinedCall& a, const TInlinedCall& b) { return a.Depth < b.Depth; });
    std::map<uint64_t, int> paint;
    const auto valueAt = [&paint](uint64_t address) {
        auto it = paint.upper_bound(address);
        return it == paint.begin() ? 0 : std::prev(it)->second;
    };
    for (const TInlinedCall& call : calls) {
        const int after = valueAt(call.End);
        paint.erase(paint.lower_bound(call.Start), paint.lower_bound(call.End));
        paint[call.Start] = call.Line;
        if (!paint.count(call.End))
            paint[call.End] = after;
    }
    return paint;
}

void ReadUnits(Dwarf* dwarf, uint64_t codeStart, uint64_t codeEnd, std::vector<TUnit>& units)
{
    Dwarf_Off offset = 0, next;
    size_t headerSize;
    while (dwarf_nextcu(dwarf, offset, &next, &headerSize, nullptr, nullptr, nullptr) == 0) {
        Dwarf_Die die;
        const Dwarf_Off dieOffset = offset + headerSize;
        offset = next;
        if (!dwarf_offdie(dwarf, dieOffset, &die))
            continue;
        const char* name = dwarf_diename(&die);
        if (!name)
            continue;
        TUnit unit;
        std::string path = name;
        Dwarf_Attribute attribute;
        const char* dir = dwarf_formstring(dwarf_attr(&die, DW_AT_comp_dir, &attribute));
        const std::string compDir = dir ? dir : "";
        if ((path.empty() || path[0] != '/') && !compDir.empty())
            path = compDir + "/" + path;
        unit.SourcePath = Normalized(path);
        unit.Name = UnitName(path);
        Dwarf_Addr base, start, end;
        for (ptrdiff_t at = 0; (at = dwarf_ranges(&die, at, &base, &start, &end)) > 0;)
            if (end > start && start >= codeStart && end <= codeEnd)
                unit.Ranges.push_back({start, end});
        Dwarf_Lines* lines = nullptr;
        size_t count = 0;
        if (dwarf_getsrclines(&die, &lines, &count) == 0) {
            Dwarf_Files* files = nullptr;
            size_t fileCount = 0;
            if (dwarf_getsrcfiles(&die, &files, &fileCount) != 0)
                files = nullptr;
            std::vector<TInlinedCall> calls;
            CollectInlinedCalls(&die, 0, files, compDir, unit.SourcePath, calls);
            const std::map<uint64_t, int> callLines = InlinedCallLines(std::move(calls));
            std::map<uint64_t, int> inlinedRows;
            for (size_t i = 0; i < count; ++i) {
                Dwarf_Line* line = dwarf_onesrcline(lines, i);
                Dwarf_Addr address;
                int number;
                bool statement = false, endSequence = false;
                if (!line || dwarf_lineaddr(line, &address) != 0 || dwarf_lineno(line, &number) != 0 ||
                    dwarf_linebeginstatement(line, &statement) != 0 || dwarf_lineendsequence(line, &endSequence) != 0)
                    continue;
                if (!statement || endSequence || address < codeStart || address >= codeEnd)
                    continue;
                const char* file = dwarf_linesrc(line, nullptr, nullptr);
                if (!file)
                    continue;
                // Builds through a compiler cache with a base folder name their files relative to
                // the compilation folder.
                std::string filePath = file;
                if (filePath.front() != '/' && !compDir.empty())
                    filePath = compDir + "/" + filePath;
                if (Normalized(filePath) != unit.SourcePath) {
                    auto call = callLines.upper_bound(address);
                    if (call != callLines.begin() && std::prev(call)->second > 0)
                        inlinedRows[address] = std::prev(call)->second;
                    continue;
                }
                unit.Lines[address] = number;
            }
            // A row of the unit's own file at the same address says more.
            unit.Lines.insert(inlinedRows.begin(), inlinedRows.end());
        }
        if (!unit.Ranges.empty())
            units.push_back(std::move(unit));
    }
}

const TUnit* UnitOf(const std::vector<TUnit>& units, uint64_t address)
{
    for (const TUnit& unit : units)
        for (const auto& [start, end] : unit.Ranges)
            if (address >= start && address < end)
                return &unit;
    return nullptr;
}

struct TSegment {
    uint64_t Start, End;
    const TUnit* Unit;
};

// Each function belongs to one unit; consecutive functions of a unit form one segment, which
// takes the padding between them too. Rows of a unit outside its own functions are dropped.
std::vector<TSegment> AssignFunctions(std::vector<TUnit>& units, const std::vector<TFunction>& functions)
{
    std::vector<TSegment> segments;
    std::vector<std::map<uint64_t, int>> kept(units.size());
    for (size_t i = 0; i < functions.size(); ++i) {
        const TFunction& f = functions[i];
        const TUnit* unit = UnitOf(units, f.Address);
        if (!unit)
            continue;
        const uint64_t end = f.Address + std::max<uint64_t>(f.Size, 1);
        if (!segments.empty() && segments.back().Unit == unit && i > 0 && UnitOf(units, functions[i - 1].Address) == unit)
            segments.back().End = std::max(segments.back().End, end);
        else
            segments.push_back({f.Address, end, unit});
        TUnit& owner = units[size_t(unit - units.data())];
        std::map<uint64_t, int>& rows = kept[size_t(unit - units.data())];
        for (auto it = owner.Lines.lower_bound(f.Address); it != owner.Lines.end() && it->first < end; ++it)
            rows.insert(*it);
        // A function whose first byte has no row of its unit's file starts at the line of its
        // first row (or at no line), so the line of the code before it does not run on into it.
        if (!rows.count(f.Address)) {
            const auto first = rows.lower_bound(f.Address);
            rows[f.Address] = first != rows.end() && first->first < end ? first->second : 0;
        }
    }
    for (size_t i = 0; i < units.size(); ++i)
        units[i].Lines = std::move(kept[i]);
    // The last function of a run may overlap the next run's first (aliases of other sizes).
    for (size_t i = 1; i < segments.size(); ++i)
        segments[i - 1].End = std::min(segments[i - 1].End, segments[i].Start);
    return segments;
}

std::string MapText(const std::vector<TFunction>& functions, const std::vector<TSegment>& segments, const std::vector<TUnit>& units,
                    uint64_t codeStart, uint64_t codeSize, uint64_t entry)
{
    std::string out;
    char line[600];
    auto add = [&](const char* format, auto... values) {
        // A line without values is the text itself (clang warns of a format without arguments).
        if constexpr (sizeof...(values) == 0) {
            out += format;
        } else {
            std::snprintf(line, sizeof line, format, values...);
            out += line;
        }
        out += "\r\n";
    };
    add(" Start         Length     Name                   Class");
    add(" 0001:00000000 %08lXH .text                  CODE", (unsigned long)codeSize);
    add(" 0002:00000000 00000000H .data                  DATA");
    add("");
    add("Detailed map of segments");
    add("");
    for (const TSegment& segment : segments)
        add(" 0001:%08lX %08lX C=CODE     S=.text    G=(none)   M=%-24s ACBP=A9", (unsigned long)(segment.Start - codeStart),
            (unsigned long)(segment.End - segment.Start), segment.Unit->Name.c_str());
    add("");
    add("  Address         Publics by Value");
    add("");
    for (const TFunction& f : functions)
        add(" 0001:%08lX       %s", (unsigned long)(f.Address - codeStart), f.Name.c_str());
    add("");
    for (const TUnit& unit : units) {
        if (unit.Lines.empty())
            continue;
        add("");
        add("Line numbers for %s(%s) segment .text", unit.Name.c_str(), unit.Name.c_str());
        add("");
        std::string row;
        int inRow = 0;
        for (const auto& [address, number] : unit.Lines) {
            std::snprintf(line, sizeof line, "%6d 0001:%08lX", number, (unsigned long)(address - codeStart));
            row += (inRow ? " " : "") + std::string(line);
            if (++inRow == 4) {
                out += row + "\r\n";
                row.clear();
                inRow = 0;
            }
        }
        if (!row.empty())
            out += row + "\r\n";
    }
    add("");
    if (entry >= codeStart && entry < codeStart + codeSize)
        add("Program entry point at 0001:%08lX", (unsigned long)(entry - codeStart));
    return out;
}

bool WriteFile(const std::string& path, const std::string& bytes)
{
    const std::string temporary = path + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << bytes;
        if (!out)
            return false;
    }
    return std::rename(temporary.c_str(), path.c_str()) == 0;
}

int Fail(const std::string& message)
{
    std::fprintf(stderr, "vostmap: %s\n", message.c_str());
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2)
        return Fail("usage: vostmap <executable>");
    const std::string path = argv[1];
    elf_version(EV_CURRENT);
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return Fail("cannot open " + path);
    Elf* elf = elf_begin(fd, ELF_C_READ, nullptr);
    int result = 0;
    Dwarf* dwarf = nullptr;
    do {
        GElf_Ehdr header;
        size_t count = 0;
        if (!elf || !gelf_getehdr(elf, &header) || elf_getphdrnum(elf, &count) != 0) {
            result = Fail(path + " is no ELF file");
            break;
        }
        uint64_t codeStart = 0, codeEnd = 0;
        for (size_t i = 0; i < count; ++i) {
            GElf_Phdr ph;
            if (gelf_getphdr(elf, int(i), &ph) && ph.p_type == PT_LOAD && (ph.p_flags & PF_X)) {
                codeStart = ph.p_vaddr;
                codeEnd = ph.p_vaddr + ph.p_memsz;
                break;
            }
        }
        if (codeEnd == codeStart) {
            result = Fail(path + " has no code");
            break;
        }
        std::vector<TFunction> functions;
        if (!ReadFunctions(elf, codeStart, codeEnd, functions)) {
            result = Fail(path + " has no symbol table");
            break;
        }
        DropAliases(functions);
        std::vector<TUnit> units;
        dwarf = dwarf_begin_elf(elf, DWARF_C_READ, nullptr);
        if (dwarf)
            ReadUnits(dwarf, codeStart, codeEnd, units);
        const std::vector<TSegment> segments = AssignFunctions(units, functions);

        const std::string text = MapText(functions, segments, units, codeStart, codeEnd - codeStart, header.e_entry);
        // The container holds what the reporter's map parser reads from that text.
        TMapFile map;
        map.LoadMapText(text);
        map.SortLines();
        const std::string container = MakeDebugContainer(WriteCompactForm(map));
        if (!WriteFile(path + ".map", text) || !WriteFile(path + ".vost", container)) {
            result = Fail("cannot write beside " + path);
            break;
        }
    } while (false);
    if (dwarf)
        dwarf_end(dwarf);
    if (elf)
        elf_end(elf);
    ::close(fd);
    return result;
}
