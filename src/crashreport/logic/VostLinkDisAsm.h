// The decoder's link to the running process: code read through the safe read, names from the
// loaded modules and our own debug information, and the disassembly routine of the bug report.
#pragma once

#include "crashreport/logic/VostDisAsm.h"
#include "crashreport/logic/VostMemory.h"
#include "crashreport/logic/VostTools.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

// Code of the running process, read through one snapshot of its memory map. Pages read once are
// kept, so that decoding a function costs a handful of reads.
class TLiveCodeReader : public TCodeReader {
public:
    explicit TLiveCodeReader(const TMemorySnapshot* snapshot)
        : FSnapshot(snapshot)
    {
    }
    size_t ReadSome(uintptr_t address, void* dest, size_t count) const override;

private:
    static constexpr size_t PageSize = 4096;
    static constexpr size_t CachedPages = 64;
    struct TPage {
        uintptr_t Address = 0; // 0 = empty
        size_t Size = 0; // bytes of the page that could be read
        uint8_t Bytes[PageSize];
    };
    const TMemorySnapshot* FSnapshot;
    mutable std::vector<TPage> FPages;
    const TPage* Page(uintptr_t pageAddress) const;
};

// What the namer read from the modules' memory (symbols, import cells, function starts), kept
// for several namers: every thread of a report asks about the same libraries.
class TLiveNameStore {
public:
    struct TModuleNames {
        TFileIdentity Identity; // a module loaded at the same base from another file starts anew
        bool SymbolsRead = false;
        std::vector<TElfSymbol> Symbols; // by address
        bool CellsRead = false;
        std::vector<std::pair<uintptr_t, std::string>> Cells; // import cells by address
        bool StartsRead = false;
        std::vector<uintptr_t> FunctionStarts; // from the unwind table's search index
    };
    // The names of the module; emptied when another file is now loaded at its base.
    TModuleNames& Of(const TModuleInfo& module);

private:
    std::map<uintptr_t, TModuleNames> FNames; // by module base
};

// Names and modules of the running process for the analyser and the listing. Without a store the
// namer keeps what it reads for its own life.
class TLiveNamer : public TCodeNamer {
public:
    explicit TLiveNamer(const TMemorySnapshot& snapshot, std::shared_ptr<TLiveNameStore> store = nullptr);
    std::string ExportName(uintptr_t address) const override;
    std::string ProcName(uintptr_t address) const override;
    std::string CellName(uintptr_t cell) const override;
    bool Module(uintptr_t address, TCodeModule& module) const override;

    // The loaded module holding address, or nullptr.
    const TModuleInfo* ModuleAt(uintptr_t address) const;
    // The .dynsym symbol exactly at or (covering) around address.
    bool SymbolAt(uintptr_t address, bool covering, TElfSymbol& symbol) const;
    // The function of a module without our debug information that holds address: its .dynsym
    // symbol, else the range its unwind table gives (functions that are not exported).
    bool FunctionAt(uintptr_t address, uintptr_t& start, uintptr_t& end) const;
    const TMemorySnapshot& Snapshot() const { return FSnapshot; }

private:
    using TModuleNames = TLiveNameStore::TModuleNames;
    const TMemorySnapshot& FSnapshot;
    std::vector<TModuleInfo> FModules;
    uintptr_t FProgramBase = 0;
    std::shared_ptr<TLiveNameStore> FStore;
    TModuleNames& NamesOf(const TModuleInfo& module) const;
};

// The listing of the function at entry in the running process (the "disassembling:" text),
// with line numbers from our debug information; empty when the function is invalid.
std::string DisAsmListing(uintptr_t entry, uintptr_t exceptionAddress, bool formatted, uint32_t lineLimit);

// The report's disassembly routine, as the report composer calls it.
using TDisAsmProc = std::string (*)(uintptr_t entry, uintptr_t exceptionAddress, bool formatted, uint32_t lineLimit);
extern TDisAsmProc DisAsmProc;

// The analysis options of a function of the running process: its module's code as bounds and its
// symbol (our debug information's public, else the .dynsym symbol) as the function's own bounds.
TAnalysisOptions LiveAnalysisOptions(const TLiveNamer& namer, uintptr_t entry);
