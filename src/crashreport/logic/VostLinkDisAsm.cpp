// The decoder's link to the running process: code read through the safe read, names from the
// loaded modules and our own debug information, and the disassembly routine of the bug report.
#include "crashreport/logic/VostLinkDisAsm.h"

#include "crashreport/logic/VostMapFile.h"

#include <elf.h>

#include <algorithm>
#include <cstring>

namespace {

// Bounds for what a module's dynamic section may claim.
constexpr size_t MaxDynamicEntries = 4096;
constexpr size_t MaxRelocations = 1 << 20;
constexpr size_t MaxSymbolName = 4096;
constexpr uint64_t MaxStringTable = 64u << 20;

std::string WithoutPath(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The import cells of a module and the symbols they are bound to, from the relocations its dynamic
// section names (read from memory; every count is checked against what can be read).
std::vector<std::pair<uintptr_t, std::string>> ReadImportCells(const TModuleInfo& m, const TMemorySnapshot& s)
{
    std::vector<std::pair<uintptr_t, std::string>> cells;
    Elf64_Ehdr header;
    if (!SafeReadValue(m.Base, header, &s) || header.e_phentsize != sizeof(Elf64_Phdr) || header.e_phnum > 256)
        return cells;
    uintptr_t dynamic = 0;
    size_t dynamicSize = 0;
    for (unsigned i = 0; i < header.e_phnum; ++i) {
        Elf64_Phdr ph;
        if (!SafeReadValue(m.Base + header.e_phoff + i * sizeof ph, ph, &s))
            return cells;
        if (ph.p_type == PT_DYNAMIC) {
            dynamic = m.LoadBias + ph.p_vaddr;
            dynamicSize = ph.p_memsz;
        }
    }
    if (!dynamic)
        return cells;
    // The loader may have relocated the pointers in place; unrelocated ones lie below the module.
    auto pointer = [&](uint64_t v) { return v >= m.Base && v < m.End ? uintptr_t(v) : uintptr_t(m.LoadBias + v); };
    uintptr_t jmprel = 0, rela = 0, symtab = 0, strtab = 0;
    uint64_t pltrelsz = 0, relasz = 0, strsz = 0;
    for (size_t i = 0; i < MaxDynamicEntries && (i + 1) * sizeof(Elf64_Dyn) <= dynamicSize; ++i) {
        Elf64_Dyn d;
        if (!SafeReadValue(dynamic + i * sizeof d, d, &s) || d.d_tag == DT_NULL)
            break;
        switch (d.d_tag) {
        case DT_JMPREL: jmprel = pointer(d.d_un.d_ptr); break;
        case DT_PLTRELSZ: pltrelsz = d.d_un.d_val; break;
        case DT_RELA: rela = pointer(d.d_un.d_ptr); break;
        case DT_RELASZ: relasz = d.d_un.d_val; break;
        case DT_SYMTAB: symtab = pointer(d.d_un.d_ptr); break;
        case DT_STRTAB: strtab = pointer(d.d_un.d_ptr); break;
        case DT_STRSZ: strsz = d.d_un.d_val; break;
        default: break;
        }
    }
    if (!symtab || !strtab)
        return cells;
    // Whole tables in few reads: a library has thousands of relocations, and a read each would
    // make the report of many threads take seconds.
    struct TBound {
        uint64_t Offset;
        uint32_t Symbol;
    };
    std::vector<TBound> bound;
    uint32_t highestSymbol = 0;
    for (const std::pair<uintptr_t, uint64_t>& part : { std::pair { jmprel, pltrelsz }, std::pair { rela, relasz } }) {
        const size_t count = std::min<uint64_t>(part.second / sizeof(Elf64_Rela), MaxRelocations);
        std::vector<Elf64_Rela> table;
        for (size_t done = 0; part.first && done < count;) {
            const size_t n = std::min<size_t>(count - done, 4096);
            table.resize(n);
            if (!SafeRead(part.first + done * sizeof(Elf64_Rela), table.data(), n * sizeof(Elf64_Rela), &s))
                break;
            for (const Elf64_Rela& r : table) {
                const uint32_t type = ELF64_R_TYPE(r.r_info);
                if (type != R_X86_64_JUMP_SLOT && type != R_X86_64_GLOB_DAT)
                    continue;
                bound.push_back({ r.r_offset, uint32_t(ELF64_R_SYM(r.r_info)) });
                highestSymbol = std::max(highestSymbol, uint32_t(ELF64_R_SYM(r.r_info)));
            }
            done += n;
        }
    }
    if (bound.empty() || highestSymbol >= MaxRelocations)
        return cells;
    std::vector<Elf64_Sym> symbols(size_t(highestSymbol) + 1);
    if (!SafeRead(symtab, symbols.data(), symbols.size() * sizeof(Elf64_Sym), &s))
        return cells;
    std::string strings;
    if (strsz <= MaxStringTable) {
        strings.resize(size_t(strsz));
        if (!SafeRead(strtab, strings.data(), strings.size(), &s))
            strings.clear();
    }
    for (const TBound& b : bound) {
        const Elf64_Sym& sym = symbols[b.Symbol];
        if (sym.st_name >= strsz)
            continue;
        std::string name;
        if (!strings.empty()) {
            const size_t end = strings.find('\0', sym.st_name);
            if (end == std::string::npos || end - sym.st_name > MaxSymbolName)
                continue;
            name = strings.substr(sym.st_name, end - sym.st_name);
        } else if (!SafeReadText(strtab + sym.st_name, name, MaxSymbolName, &s)) {
            continue;
        }
        if (!name.empty())
            cells.emplace_back(m.LoadBias + b.Offset, std::move(name));
    }
    std::sort(cells.begin(), cells.end());
    return cells;
}

// The start of every function with unwind information, from the search table of the module's
// PT_GNU_EH_FRAME segment (.eh_frame_hdr): the one index of function starts a stripped library has.
std::vector<uintptr_t> ReadFunctionStarts(const TModuleInfo& m, const TMemorySnapshot& s)
{
    std::vector<uintptr_t> starts;
    Elf64_Ehdr header;
    if (!SafeReadValue(m.Base, header, &s) || header.e_phentsize != sizeof(Elf64_Phdr) || header.e_phnum > 256)
        return starts;
    uintptr_t hdr = 0;
    for (unsigned i = 0; i < header.e_phnum; ++i) {
        Elf64_Phdr ph;
        if (!SafeReadValue(m.Base + header.e_phoff + i * sizeof ph, ph, &s))
            return starts;
        if (ph.p_type == PT_GNU_EH_FRAME)
            hdr = m.LoadBias + ph.p_vaddr;
    }
    uint8_t head[4];
    // Only the layout linkers write: version 1, a 4-byte count and a table of pairs of 4-byte
    // offsets from the header.
    constexpr uint8_t Udata4 = 0x03, Sdata4 = 0x0B, DataRelSdata4 = 0x3B;
    if (!hdr || !SafeRead(hdr, head, sizeof head, &s) || head[0] != 1 || (head[2] != Udata4 && head[2] != Sdata4)
        || head[3] != DataRelSdata4 || (head[1] & 0x0F) != Sdata4)
        return starts;
    uint32_t count = 0;
    if (!SafeReadValue(hdr + 8, count, &s) || count > MaxRelocations)
        return starts;
    std::vector<int32_t> table(size_t(count) * 2);
    if (count && !SafeRead(hdr + 12, table.data(), table.size() * sizeof(int32_t), &s))
        return starts;
    starts.reserve(count);
    for (uint32_t i = 0; i < count; ++i)
        starts.push_back(hdr + static_cast<intptr_t>(table[size_t(i) * 2]));
    std::sort(starts.begin(), starts.end());
    return starts;
}

} // namespace

const TLiveCodeReader::TPage* TLiveCodeReader::Page(uintptr_t pageAddress) const
{
    if (FPages.empty())
        FPages.resize(CachedPages);
    TPage& p = FPages[(pageAddress / PageSize) % CachedPages];
    if (p.Address == pageAddress)
        return &p;
    uintptr_t runStart = 0, runEnd = 0;
    if (FSnapshot && !FSnapshot->ReadableRunAt(pageAddress, runStart, runEnd))
        return nullptr;
    const size_t size = FSnapshot ? static_cast<size_t>(std::min<uintptr_t>(PageSize, runEnd - pageAddress)) : PageSize;
    if (!SafeRead(pageAddress, p.Bytes, size, FSnapshot))
        return nullptr;
    p.Address = pageAddress;
    p.Size = size;
    return &p;
}

size_t TLiveCodeReader::ReadSome(uintptr_t address, void* dest, size_t count) const
{
    size_t done = 0;
    auto* out = static_cast<uint8_t*>(dest);
    while (done < count) {
        const uintptr_t at = address + done;
        if (at < address)
            break; // wrapped
        const uintptr_t pageAddress = at & ~uintptr_t(PageSize - 1);
        if (pageAddress == 0)
            break;
        const TPage* p = Page(pageAddress);
        const size_t offset = at - pageAddress;
        if (!p || offset >= p->Size)
            break;
        const size_t n = std::min(count - done, p->Size - offset);
        std::memcpy(out + done, p->Bytes + offset, n);
        done += n;
    }
    return done;
}

TLiveNameStore::TModuleNames& TLiveNameStore::Of(const TModuleInfo& module)
{
    TModuleNames& names = FNames[module.Base];
    if (!(names.Identity == module.Identity)) {
        names = TModuleNames();
        names.Identity = module.Identity;
    }
    return names;
}

TLiveNamer::TLiveNamer(const TMemorySnapshot& snapshot, std::shared_ptr<TLiveNameStore> store)
    : FSnapshot(snapshot)
    , FModules(ListModules(snapshot))
    , FStore(store ? std::move(store) : std::make_shared<TLiveNameStore>())
{
    TModuleInfo program;
    if (FindProgramModule(snapshot, program))
        FProgramBase = program.Base;
}

const TModuleInfo* TLiveNamer::ModuleAt(uintptr_t address) const
{
    auto it = std::upper_bound(FModules.begin(), FModules.end(), address,
        [](uintptr_t a, const TModuleInfo& m) { return a < m.Base; });
    if (it == FModules.begin())
        return nullptr;
    --it;
    return it->Holds(address) ? &*it : nullptr;
}

TLiveNamer::TModuleNames& TLiveNamer::NamesOf(const TModuleInfo& module) const
{
    return FStore->Of(module);
}

bool TLiveNamer::SymbolAt(uintptr_t address, bool covering, TElfSymbol& symbol) const
{
    const TModuleInfo* m = ModuleAt(address);
    if (!m)
        return false;
    TModuleNames& names = NamesOf(*m);
    if (!names.SymbolsRead) {
        names.SymbolsRead = true;
        for (TElfSymbol& s : ElfDynamicSymbols(*m, &FSnapshot))
            if (s.Type == STT_FUNC || s.Type == STT_GNU_IFUNC)
                names.Symbols.push_back(std::move(s));
        // Of several names at one address the plain one wins (puts over _IO_puts): it sorts last.
        auto plainness = [](const TElfSymbol& s) {
            return std::make_pair(s.Name.empty() || s.Name[0] != '_', -static_cast<long>(s.Name.size()));
        };
        std::sort(names.Symbols.begin(), names.Symbols.end(), [&](const TElfSymbol& a, const TElfSymbol& b) {
            return a.Address != b.Address ? a.Address < b.Address : plainness(a) < plainness(b);
        });
    }
    auto it = std::upper_bound(names.Symbols.begin(), names.Symbols.end(), address,
        [](uintptr_t a, const TElfSymbol& s) { return a < s.Address; });
    if (it == names.Symbols.begin())
        return false;
    --it;
    if (it->Address == address || (covering && it->Covers(address))) {
        symbol = *it;
        return true;
    }
    return false;
}

bool TLiveNamer::FunctionAt(uintptr_t address, uintptr_t& start, uintptr_t& end) const
{
    TElfSymbol symbol;
    if (SymbolAt(address, true, symbol) && symbol.Size) {
        start = symbol.Address;
        end = symbol.Address + symbol.Size;
        return true;
    }
    const TModuleInfo* m = ModuleAt(address);
    if (!m || !m->HoldsCode(address))
        return false;
    TModuleNames& names = NamesOf(*m);
    if (!names.StartsRead) {
        names.StartsRead = true;
        names.FunctionStarts = ReadFunctionStarts(*m, FSnapshot);
    }
    auto it = std::upper_bound(names.FunctionStarts.begin(), names.FunctionStarts.end(), address);
    if (it == names.FunctionStarts.begin())
        return false;
    start = *std::prev(it);
    end = it != names.FunctionStarts.end() ? *it : m->CodeEnd;
    return start >= m->CodeStart && end <= m->CodeEnd;
}

std::string TLiveNamer::ExportName(uintptr_t address) const
{
    TElfSymbol s;
    return SymbolAt(address, false, s) ? s.Name : std::string();
}

std::string TLiveNamer::ProcName(uintptr_t address) const
{
    const TModuleInfo* m = ModuleAt(address);
    if (!m || !m->HoldsCode(address))
        return {};
    return ProcNameAt(address);
}

std::string TLiveNamer::CellName(uintptr_t cell) const
{
    const TModuleInfo* m = ModuleAt(cell);
    if (!m)
        return {};
    TModuleNames& names = NamesOf(*m);
    if (!names.CellsRead) {
        names.CellsRead = true;
        names.Cells = ReadImportCells(*m, FSnapshot);
    }
    auto it = std::lower_bound(names.Cells.begin(), names.Cells.end(), std::pair<uintptr_t, std::string>(cell, ""));
    return it != names.Cells.end() && it->first == cell ? it->second : std::string();
}

bool TLiveNamer::Module(uintptr_t address, TCodeModule& module) const
{
    const TModuleInfo* m = ModuleAt(address);
    if (!m)
        return false;
    module.Start = m->Base;
    module.End = m->End;
    module.FileName = WithoutPath(m->FileName);
    module.IsProgram = m->Base == FProgramBase;
    return true;
}

TAnalysisOptions LiveAnalysisOptions(const TLiveNamer& namer, uintptr_t entry)
{
    TAnalysisOptions o;
    o.Mode = TDisAsmMode::Mode64;
    o.Namer = &namer;
    if (const TModuleInfo* m = namer.ModuleAt(entry)) {
        o.BoundsStart = m->CodeStart;
        o.BoundsEnd = m->CodeEnd;
        const std::shared_ptr<const TMapFile> map = DebugInfoForAddress(entry, &namer.Snapshot());
        if (map->Valid()) {
            // Our debug information: the function ends where the next one starts.
            const auto& publics = map->Publics();
            auto it = std::upper_bound(publics.begin(), publics.end(), entry,
                [](uintptr_t a, const TPublicEntry& p) { return a < p.Address; });
            if (it != publics.begin() && std::prev(it)->Address == entry) {
                while (it != publics.end() && !it->IsCode)
                    ++it;
                o.SymbolStart = entry;
                o.SymbolEnd = it != publics.end() && it->Address <= m->CodeEnd ? it->Address : m->CodeEnd;
            }
        } else {
            uintptr_t start = 0, end = 0;
            if (namer.FunctionAt(entry, start, end) && start == entry) {
                o.SymbolStart = start;
                o.SymbolEnd = end;
            }
        }
    } else if (const TMemoryRegion* r = namer.Snapshot().RegionAt(entry)) {
        o.BoundsStart = r->Start;
        o.BoundsEnd = r->End;
    }
    return o;
}

namespace {

int ListingLine(uintptr_t address, void*)
{
    int32_t line = 0;
    uintptr_t start = 0, end = 0;
    LineNumberAt(address, line, start, end);
    return line;
}

} // namespace

std::string DisAsmListing(uintptr_t entry, uintptr_t exceptionAddress, bool formatted, uint32_t lineLimit)
{
    const std::shared_ptr<const TMemorySnapshot> snapshot = TakeMemorySnapshot();
    TLiveCodeReader reader(snapshot.get());
    TLiveNamer namer(*snapshot);
    // A code address inside a function lists the function from its entry; without an exception
    // address the code address is the place the listing marks (and keeps its lines around).
    if (!exceptionAddress)
        exceptionAddress = entry;
    if (const std::shared_ptr<const TMapFile> map = DebugInfoForAddress(entry, snapshot.get()); map->Valid()) {
        const TPublicEntry p = map->PublicAt(entry);
        if (p.Valid && p.IsCode && p.Address <= entry && namer.ModuleAt(p.Address) == namer.ModuleAt(entry))
            entry = p.Address;
    } else {
        uintptr_t start = 0, end = 0;
        if (namer.FunctionAt(entry, start, end) && start <= entry && entry < end)
            entry = start;
    }
    TListingOptions listing;
    listing.Formatted = formatted;
    listing.LineLimit = lineLimit;
    listing.ExceptionAddress = exceptionAddress;
    listing.LineOf = ListingLine;
    return FunctionListing(reader, entry, LiveAnalysisOptions(namer, entry), listing);
}

TDisAsmProc DisAsmProc = &DisAsmListing;
