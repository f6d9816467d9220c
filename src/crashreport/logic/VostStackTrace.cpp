// The stack tracer: turns the raw stack of a thread into the call stack of a bug report, checking
// every candidate return address by decoding the code around it.
#include "crashreport/logic/VostStackTrace.h"

#include "crashreport/logic/VostDisAsm.h"
#include "crashreport/logic/VostExcept.h"
#include "crashreport/logic/VostLinkDisAsm.h"
#include "crashreport/logic/VostMapFile.h"
#include "crashreport/logic/VostMemory.h"
#include "crashreport/logic/VostStrings.h"
#include "crashreport/logic/VostTools.h"

#include <pthread.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <cstdio>
#include <set>
#include <stdexcept>
#include <unordered_map>

namespace {

constexpr uintptr_t SlotSize = sizeof(uintptr_t);
constexpr uint32_t ProgressWindowDelay = 750; // ms
// What one trace may do at most; a stack of garbage must not run away.
constexpr size_t MaxItems = 1 << 16;
constexpr size_t MaxLinksPerItem = 4096;
constexpr size_t MaxFunctionsPerTrace = 1 << 14;
constexpr size_t MaxJumpFollow = 256;
constexpr uintptr_t DefaultStackSize = 8 << 20;
// How far below a known stack its stack pointer may lie (the guard area of an overflow).
constexpr uintptr_t StackGuardSlack = 65536;
// The most a scan reads when the stack pointer lies outside every known stack.
constexpr uintptr_t OutsideStackScan = 64 * 1024;

std::string WithoutPath(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string Hex16(uintptr_t v)
{
    char text[20];
    snprintf(text, sizeof text, "%016llX", static_cast<unsigned long long>(v));
    return text;
}

// ---------------------------------------------------------------------------------------------
// Process-wide lists: modules with their debug information and analysed functions.

struct TTraceModule {
    TModuleInfo Info;
    std::string FileName; // without path
    std::shared_ptr<const TMapFile> Map; // null without valid debug information
    bool IsProgram = false;
};

struct TTraceFunction {
    int Module = -1;
    std::string Name;
    TFunctionAnalysis Analysis;
};

struct TTraceCache {
    TListMutex Mutex;
    std::vector<TTraceModule> Modules;
    // A deque: analyses add functions while references to others are held.
    std::deque<TTraceFunction> Functions;
    std::unordered_map<uintptr_t, int> ByEntry;
    // The modules' symbols and import cells, read once for all traces.
    std::shared_ptr<TLiveNameStore> Names = std::make_shared<TLiveNameStore>();
    void Clear()
    {
        Modules.clear();
        Functions.clear();
        ByEntry.clear();
        Names = std::make_shared<TLiveNameStore>();
    }
    // Drops modules whose mapping is gone (and their functions), adds the new ones.
    void Reconcile(const std::vector<TModuleInfo>& current, uintptr_t programBase, const TMemorySnapshot& snapshot)
    {
        std::vector<int> remap(Modules.size(), -1);
        std::vector<TTraceModule> kept;
        for (size_t i = 0; i < Modules.size(); ++i) {
            const bool alive = std::any_of(current.begin(), current.end(),
                [&](const TModuleInfo& m) { return m.SameModule(Modules[i].Info); });
            if (alive) {
                remap[i] = static_cast<int>(kept.size());
                kept.push_back(std::move(Modules[i]));
            }
        }
        Modules.swap(kept);
        if (std::find(remap.begin(), remap.end(), -1) != remap.end()) {
            std::deque<TTraceFunction> functions;
            for (TTraceFunction& f : Functions)
                if (f.Module < 0 || remap[f.Module] >= 0) {
                    if (f.Module >= 0)
                        f.Module = remap[f.Module];
                    functions.push_back(std::move(f));
                }
            Functions.swap(functions);
            ByEntry.clear();
            for (size_t i = 0; i < Functions.size(); ++i)
                ByEntry[Functions[i].Analysis.EntryPoint] = static_cast<int>(i);
        }
        for (const TModuleInfo& m : current) {
            if (std::any_of(Modules.begin(), Modules.end(), [&](const TTraceModule& t) { return t.Info.SameModule(m); }))
                continue;
            TTraceModule t;
            t.Info = m;
            t.FileName = WithoutPath(m.FileName);
            t.IsProgram = m.Base == programBase;
            std::shared_ptr<const TMapFile> map = DebugInfoForAddress(m.CodeStart ? m.CodeStart : m.Base, &snapshot);
            if (map->Valid())
                t.Map = std::move(map);
            Modules.push_back(std::move(t));
        }
        std::sort(Modules.begin(), Modules.end(),
            [](const TTraceModule& a, const TTraceModule& b) { return a.Info.Base < b.Info.Base; });
        // The sort moved modules: point the functions at their new places.
        for (TTraceFunction& f : Functions)
            f.Module = -1;
        for (size_t i = 0; i < Functions.size(); ++i) {
            const uintptr_t entry = Functions[i].Analysis.EntryPoint;
            for (size_t m = 0; m < Modules.size(); ++m)
                if (Modules[m].Info.Holds(entry))
                    Functions[i].Module = static_cast<int>(m);
        }
    }
};

TTraceCache& SharedCache()
{
    static TTraceCache* cache = new TTraceCache;
    return *cache;
}

// ---------------------------------------------------------------------------------------------
// One trace

struct TLink {
    int Other = -1;
    uintptr_t CallSite = 0;
    bool Direct = false;
    uintptr_t Target = 0;
    int Function = -1;
};

struct TItem {
    uintptr_t Address = 0;
    bool OnChain = false;
    bool Sure = false;
    int Module = -1;
    std::vector<TLink> Callees, Callers;
    int ChosenCallee = -1, ChosenCaller = -1;
    bool Removed = false;
    // output
    uintptr_t Printed = 0;
    int FirstLine = 0;
    int Line = 0;
    std::string ModuleName, UnitName, FunctionName;
    uintptr_t FunctionStart = 0;
};

struct TCallFound {
    uintptr_t CallSite = 0;
    uintptr_t Target = 0;
    bool Direct = false;
};

bool ContainsNoCase(const std::string& text, const char* part)
{
    return FindSubNoCase(part, text, 1, static_cast<int>(text.size())) > 0;
}

// Names of the frames a trace cuts at, compared without parameters and with "::" as ".".
std::string PlainName(std::string name)
{
    std::string unit;
    UnmangleName(name, unit);
    ReplaceCase(name, "::", ".", true);
    const size_t paren = name.find('(');
    if (paren != std::string::npos)
        name.erase(paren);
    return name;
}

class TTracer {
public:
    TTracer(const TTraceRequest& request, TTraceCache& cache, const TMemorySnapshot& snapshot)
        : Q(request)
        , Cache(cache)
        , Snapshot(snapshot)
        , Reader(&snapshot)
        , Namer(snapshot, cache.Names)
    {
    }
    TTraceResult Run();
    const std::string& CurrentPhase() const { return Phase; }

private:
    const TTraceRequest& Q;
    TTraceCache& Cache;
    const TMemorySnapshot& Snapshot;
    TLiveCodeReader Reader;
    TLiveNamer Namer;
    std::vector<TItem> Items;
    std::vector<uint8_t> Approved, Invalidated; // per function of the cache, for this trace
    std::vector<int> ApprovedList;
    std::set<uintptr_t> ChainSlots;
    uintptr_t Sp = 0, Top = 0, ExceptionAddress = 0;
    bool PreCollectedCut = false;
    size_t FunctionsAdded = 0;
    std::string Phase;

    void Progress(uint32_t permille)
    {
        // Work goes on: the guard of the waiting thread must not take it for a hang.
        CrashReporterHeartbeat();
        if (Q.Progress)
            Q.Progress->SetPosition(std::min<uint32_t>(permille, 1000));
    }
    int ModuleIndex(uintptr_t address) const
    {
        for (size_t i = 0; i < Cache.Modules.size(); ++i)
            if (Cache.Modules[i].Info.Holds(address))
                return static_cast<int>(i);
        return -1;
    }
    const TTraceModule* ModuleOf(int index) const { return index >= 0 ? &Cache.Modules[index] : nullptr; }
    void Flags(int f)
    {
        if (Approved.size() <= static_cast<size_t>(f)) {
            Approved.resize(f + 1, 0);
            Invalidated.resize(f + 1, 0);
        }
    }
    bool IsApproved(int f) { return f >= 0 && (Flags(f), Approved[f]); }
    bool IsInvalidated(int f) { return f >= 0 && (Flags(f), Invalidated[f]); }
    // The first caller link of the item with an approved function, or -1.
    int ApprovedLink(const TItem& item)
    {
        for (size_t l = 0; l < item.Callers.size(); ++l)
            if (IsApproved(item.Callers[l].Function))
                return static_cast<int>(l);
        return -1;
    }
    // An item whose address follows a call in an approved function.
    bool Confirmed(int item) { return item >= 0 && ApprovedLink(Items[static_cast<size_t>(item)]) >= 0; }

    bool CouldFollowCall(uintptr_t a);
    int Analyse(uintptr_t address, const std::string& name, bool approve, bool force);
    void ApproveWithJumps(int f);
    bool Ask(int f, uintptr_t a, bool sure, uintptr_t codeAddress, TCallFound& found);
    bool AskThroughJumps(int f, uintptr_t a, bool sure, TCallFound& found, int& confirming);
    void FrameChain();
    bool Offer(uintptr_t a, uintptr_t slot, bool sure, bool onChain);
    void Collect();
    void RemoveRecursive(bool touchLinks);
    void InDeepChecks();
    void FillUp(int r, uintptr_t callSite, uintptr_t target, bool direct, bool approve, int depth = 0);
    void InvalidateFunction(int f);
    void OptimalChains();
    uint64_t ScoreStretch(int from, int to, bool upwards);
    void Restore(int from, int to, bool upwards);
    void FinalOutput(TTraceResult& result);
    std::string Compose();
    int LineAt(const TTraceModule* m, uintptr_t address) const
    {
        if (!m || !m->Map)
            return 0;
        uintptr_t next = 0;
        return std::max(0, m->Map->LineAt(address, next));
    }
};

// Test 3: a call instruction ends right before a (near call rel32, one of the FF /2 /3 forms with
// or without REX, or far call in 32-bit code).
bool TTracer::CouldFollowCall(uintptr_t a)
{
    uint8_t b[16];
    if (a < sizeof b || !Reader.Read(a - sizeof b, b, sizeof b))
        return false;
    auto at = [&](int back) { return b[sizeof b - back]; };
    if (at(5) == 0xE8)
        return true;
    for (int back : { 2, 3, 4, 6, 7 }) {
        if (at(back) != 0xFF || ((at(back - 1) >> 4) & 3) != 1)
            continue;
        for (int start : { back, back + 1 }) {
            const TDecodedInstruction d = DecodeInstruction(Reader, TDisAsmMode::Mode64, a - start);
            if (d.Valid && d.IsCall && d.End == a)
                return true;
        }
    }
    return false;
}

void TTracer::ApproveWithJumps(int f)
{
    std::vector<int> work { f };
    size_t steps = 0;
    while (!work.empty() && ++steps < MaxJumpFollow) {
        const int g = work.back();
        work.pop_back();
        if (IsApproved(g))
            continue;
        Approved[g] = 1;
        ApprovedList.push_back(g);
        const std::vector<TOutgoingCall> calls = Cache.Functions[g].Analysis.OutgoingCalls;
        for (const TOutgoingCall& c : calls)
            if (!c.IsCall && c.Target) {
                const int h = Analyse(c.Target, {}, false, false);
                if (h >= 0)
                    work.push_back(h);
            }
    }
}

int TTracer::Analyse(uintptr_t address, const std::string& name, bool approve, bool force)
{
    if (!address)
        return -1;
    auto found = Cache.ByEntry.find(address);
    if (found != Cache.ByEntry.end()) {
        if (approve)
            ApproveWithJumps(found->second);
        return found->second;
    }
    if (++FunctionsAdded > MaxFunctionsPerTrace)
        return -1;
    TTraceFunction f;
    f.Module = ModuleIndex(address);
    const TAnalysisOptions options = LiveAnalysisOptions(Namer, address);
    f.Analysis = AnalyseFunction(Reader, address, options);
    if (!f.Analysis.Valid) {
        if (!force)
            return -1;
        f.Analysis = TFunctionAnalysis();
        f.Analysis.Valid = 1;
        f.Analysis.EntryPoint = f.Analysis.LowStart = address;
        f.Analysis.Span = 0;
    }
    f.Name = name;
    const TTraceModule* m = ModuleOf(f.Module);
    if (f.Name.empty() && m && m->Map) {
        const TPublicEntry p = m->Map->PublicAt(address);
        if (p.Valid)
            f.Name = p.Name;
    }
    if (f.Name.empty()) {
        TElfSymbol s;
        if (Namer.SymbolAt(address, true, s))
            f.Name = s.Name;
    }
    const int index = static_cast<int>(Cache.Functions.size());
    Cache.Functions.push_back(std::move(f));
    Cache.ByEntry[address] = index;
    Flags(index);
    if (approve)
        ApproveWithJumps(index);
    else {
        // The targets of its jumps are functions of their own (tail calls, cold parts).
        size_t n = 0;
        const std::vector<TOutgoingCall> calls = Cache.Functions[index].Analysis.OutgoingCalls;
        for (const TOutgoingCall& c : calls)
            if (!c.IsCall && c.Target && ++n < MaxJumpFollow && !Cache.ByEntry.count(c.Target))
                Analyse(c.Target, {}, false, false);
    }
    return index;
}

// Rule of the question whether a follows a call in function f.
bool TTracer::Ask(int f, uintptr_t a, bool sure, uintptr_t codeAddress, TCallFound& found)
{
    if (f < 0 || IsInvalidated(f))
        return false;
    const TFunctionAnalysis& fa = Cache.Functions[f].Analysis;
    if (!sure) {
        for (const TUnresolvedBranch& b : fa.UnresolvedBranches)
            if (b.IsCall && b.Next == a) {
                found = { b.Address, 0, false };
                return true;
            }
        for (const TOutgoingCall& c : fa.OutgoingCalls)
            if (c.IsCall && c.Next == a) {
                found = { c.Address, c.Target, true };
                return true;
            }
        return false;
    }
    if (fa.Span == 0) {
        if (a != fa.EntryPoint)
            return false;
        found = { a, 0, false };
        return true;
    }
    if (codeAddress) {
        const std::vector<TOutgoingCall> calls = fa.OutgoingCalls;
        for (const TOutgoingCall& c : calls) {
            if (c.Next != codeAddress || !c.Target)
                continue;
            const int g = Analyse(c.Target, {}, false, false);
            const std::string name = g >= 0 ? Cache.Functions[g].Name : Namer.ExportName(c.Target);
            const std::string plain = PlainName(name);
            if (ContainsNoCase(name, "@RaiseExcept") || ContainsNoCase(name, "Error") || plain == "__cxa_throw"
                || plain == "abort" || plain == "raise") {
                found = { c.Address, c.Target, true };
                return true;
            }
        }
    }
    for (const TCodeRange& r : fa.CodeRanges) {
        if (r.IsCaseTable || r.IsExceptTable || !(r.Start < a && a <= r.End + 1))
            continue;
        for (uintptr_t at = r.Start; at < a;) {
            const TDecodedInstruction d = DecodeInstruction(Reader, TDisAsmMode::Mode64, at);
            if (!d.Valid)
                break;
            if (d.End == a) {
                found = { d.Start, d.Target, d.Target != 0 };
                return true;
            }
            at = d.End;
        }
    }
    return false;
}

// A called function may leave by a jump to another one (a tail call, a thunk): a return address
// in any function it jumps to counts as well.
bool TTracer::AskThroughJumps(int f, uintptr_t a, bool sure, TCallFound& found, int& confirming)
{
    constexpr size_t MaxJumpedFunctions = 16;
    std::vector<int> work { f };
    for (size_t i = 0; i < work.size() && i < MaxJumpedFunctions; ++i) {
        const int g = work[i];
        if (Ask(g, a, sure, 0, found)) {
            confirming = g;
            return true;
        }
        const std::vector<TOutgoingCall> calls = Cache.Functions[static_cast<size_t>(g)].Analysis.OutgoingCalls;
        for (const TOutgoingCall& c : calls) {
            if (c.IsCall || !c.Target)
                continue;
            const int h = Analyse(c.Target, {}, false, false);
            if (h >= 0 && std::find(work.begin(), work.end(), h) == work.end())
                work.push_back(h);
        }
    }
    return false;
}

// Rule 2: the frame chain from the frame pointer; a slot counts only when its value could be a
// return address into code.
void TTracer::FrameChain()
{
    uintptr_t e = Q.FramePointer;
    for (size_t guard = 0; e && guard < MaxItems; ++guard) {
        const uintptr_t slot = e + SlotSize;
        if (slot >= Top)
            break;
        uintptr_t value = 0;
        if (slot > Sp && SafeReadValue(slot, value, &Snapshot)) {
            const TMemoryRegion* r = Snapshot.RegionAt(value);
            if (r && r->Executable && CouldFollowCall(value))
                ChainSlots.insert(slot);
        }
        uintptr_t next = 0;
        if (!SafeReadValue(e, next, &Snapshot) || next <= e)
            break;
        e = next;
    }
}

// Rule 4.4 to 4.7: offering a stack value as a candidate return address.
bool TTracer::Offer(uintptr_t a, uintptr_t slot, bool sure, bool onChain)
{
    CrashReporterHeartbeat();
    if (Items.size() >= MaxItems)
        return false;
    const bool first = Items.empty();
    if (Q.CrashedThread && a == ExceptionAddress && a)
        sure = true;
    if (first && Q.CreatorAddress)
        sure = true;
    const uintptr_t offered = a;
    uintptr_t x;
    uint8_t probe[8];
    if (sure && Reader.Read(a, probe, sizeof probe)) {
        const TDecodedInstruction d = DecodeInstruction(Reader, TDisAsmMode::Mode64, a);
        x = offered;
        if (d.Valid)
            a = d.End; // the faulting instruction counts as a call site
    } else {
        x = a - 1;
    }
    const TMemoryRegion* region = Snapshot.RegionAt(x);
    if (!region || !region->Readable || a <= 7)
        return false;
    if (!sure && !CouldFollowCall(a))
        return false;
    const int mi = ModuleIndex(a);
    const TTraceModule* m = ModuleOf(mi);
    if (m) {
        const bool inData = m->Info.DataStart < a && a <= m->Info.DataEnd;
        if (!inData && !m->Info.HoldsCode(x))
            return false;
    } else if (!region->Executable) {
        return false;
    }
    bool confirmed = false;
    TLink link;
    if (m && m->Info.HoldsCode(x)) {
        TCallFound found;
        const uintptr_t code = Q.OsException ? 0 : x;
        if (m->Map) {
            const TPublicEntry p = m->Map->PublicAt(x);
            if (p.Valid && p.IsCode) {
                const int f = Analyse(p.Address, p.Name, true, false);
                if (Ask(f, a, sure, code, found)) {
                    confirmed = true;
                    link = { -1, found.CallSite, found.Direct, found.Target, f };
                } else if (f >= 0) {
                    // Parts of the public that the analysis reached only by a call.
                    const std::vector<TOutgoingCall> calls = Cache.Functions[f].Analysis.OutgoingCalls;
                    for (const TOutgoingCall& c : calls) {
                        if (!c.Target || c.Target <= p.Address)
                            continue;
                        const bool inside = Cache.Functions[f].Analysis.RangeAt(c.Target) != nullptr;
                        if (!inside && m->Map->PublicAt(c.Target).Address != p.Address)
                            continue;
                        const int g = Analyse(c.Target, p.Name + ".@" + HexText64(c.Target), true, false);
                        if (Ask(g, a, sure, code, found)) {
                            confirmed = true;
                            link = { -1, found.CallSite, found.Direct, found.Target, g };
                            break;
                        }
                    }
                }
            }
        } else if (!m->IsProgram) {
            uintptr_t entry = 0, end = 0;
            Namer.FunctionAt(x, entry, end);
            if (m->Info.EntryPoint > entry && m->Info.EntryPoint < a)
                entry = m->Info.EntryPoint;
            const int f = entry ? Analyse(entry, {}, true, false) : -1;
            if (f >= 0 && Cache.Functions[f].Analysis.RangeAt(x) && Ask(f, a, sure, code, found)) {
                confirmed = true;
                link = { -1, found.CallSite, found.Direct, found.Target, f };
            }
        }
    }
    if (sure && !confirmed) {
        uint8_t byte;
        if (Q.CrashedThread && !Reader.Read(x, &byte, 1)) {
            const int f = Analyse(offered, {}, false, true);
            if (f >= 0) {
                confirmed = true;
                link = { -1, offered, false, 0, f };
            }
        } else if (!(Q.CrashedThread && !Q.OsException)) {
            confirmed = true;
            link = { -1, x, false, 0, -1 };
        }
    }
    const bool chainSlot = slot && ChainSlots.count(slot);
    if (!(sure || confirmed || onChain || chainSlot))
        return false;
    TItem item;
    item.Address = a;
    item.OnChain = sure || onChain || chainSlot;
    item.Sure = sure && !(first && Q.CreatorAddress);
    item.Module = mi;
    if (confirmed)
        item.Callers.push_back(link);
    Items.push_back(std::move(item));
    return true;
}

// Rule 4: the collection.
void TTracer::Collect()
{
    Progress(0);
    if (Q.CreatorAddress)
        Offer(Q.CreatorAddress, 0, true, true);
    if (Q.PreCollected) {
        for (const TRawStackItem& raw : *Q.PreCollected) {
            Offer(raw.Address, 0, false, raw.OnChain != 0);
            if (!Items.empty() && Items.back().Sure)
                break;
        }
    } else {
        // The stack is read in pieces, not one read per slot.
        constexpr uintptr_t Piece = 64 * 1024;
        std::vector<uint8_t> piece(Piece);
        uintptr_t pieceStart = 0, pieceEnd = 0;
        for (uintptr_t slot = Top - SlotSize; slot >= Sp && slot < Top; slot -= SlotSize) {
            if (slot < pieceStart || slot + SlotSize > pieceEnd) {
                pieceEnd = slot + SlotSize;
                pieceStart = pieceEnd - Piece < pieceEnd && pieceEnd - Piece >= Sp ? pieceEnd - Piece : Sp;
                if (!SafeRead(pieceStart, piece.data(), pieceEnd - pieceStart, &Snapshot))
                    pieceStart = pieceEnd = 0;
            }
            uintptr_t value = 0;
            if (pieceEnd == 0)
                continue;
            std::memcpy(&value, piece.data() + (slot - pieceStart), SlotSize);
            const size_t before = Items.size();
            Offer(value, slot, false, false);
            if (Items.size() > before) {
                if (Items.back().Sure)
                    break;
                if (Items.back().OnChain && ChainSlots.count(slot))
                    slot -= SlotSize; // the saved frame pointer below the return slot
            }
            if (slot < SlotSize)
                break;
        }
    }
    if (!Items.empty() && Items.back().Sure)
        PreCollectedCut = false;
    else if (ExceptionAddress)
        Offer(ExceptionAddress, 0, true, false);
    Progress(25);
}

// Rules 7 and 11: a block of return addresses repeated by a recursion shows once.
void TTracer::RemoveRecursive(bool touchLinks)
{
    // Links to the removed items go in one pass at the end: per item, an overflowed stack's tens of
    // thousands of frames took longer than the stall guard waits.
    std::vector<char> removedHere(Items.size(), 0);
    bool anyRemoved = false;
    for (bool changed = true; changed;) {
        changed = false;
        for (int i = static_cast<int>(Items.size()) - 1; i >= 0; --i) {
            if (Items[i].Removed)
                continue;
            int k = 0, j = i - 1;
            for (; j >= 0; --j) {
                if (Items[j].Removed)
                    continue;
                if (Items[j].Address == Items[i].Address)
                    break;
                ++k;
            }
            if (j < 0 || j < k)
                continue;
            // The k items below i must equal the k items below j.
            std::vector<int> belowI, belowJ;
            for (int p = i - 1; p > j && static_cast<int>(belowI.size()) < k; --p)
                if (!Items[p].Removed)
                    belowI.push_back(p);
            for (int p = j - 1; p >= 0 && static_cast<int>(belowJ.size()) < k; --p)
                if (!Items[p].Removed)
                    belowJ.push_back(p);
            if (static_cast<int>(belowJ.size()) < k)
                continue;
            bool same = true;
            for (int p = 0; p < k && same; ++p)
                same = Items[belowI[p]].Address == Items[belowJ[p]].Address;
            if (!same)
                continue;
            std::vector<int> block { i };
            block.insert(block.end(), belowI.begin(), belowI.end());
            for (int p : block) {
                Items[p].Removed = true;
                Items[p].OnChain = false;
                removedHere[p] = 1;
                anyRemoved = true;
                if (touchLinks) {
                    Items[p].Callees.clear();
                    Items[p].Callers.clear();
                }
            }
            changed = true;
        }
    }
    if (!touchLinks || !anyRemoved)
        return;
    auto gone = [&](const TLink& l) {
        return l.Other >= 0 && l.Other < static_cast<int>(removedHere.size()) && removedHere[l.Other];
    };
    for (TItem& other : Items) {
        other.Callees.erase(std::remove_if(other.Callees.begin(), other.Callees.end(), gone), other.Callees.end());
        other.Callers.erase(std::remove_if(other.Callers.begin(), other.Callers.end(), gone), other.Callers.end());
    }
}

void TTracer::InvalidateFunction(int f)
{
    if (f < 0 || IsInvalidated(f))
        return;
    Invalidated[f] = 1;
    for (TItem& item : Items) {
        auto of = [&](const TLink& l) { return l.Function == f; };
        item.Callees.erase(std::remove_if(item.Callees.begin(), item.Callees.end(), of), item.Callees.end());
        item.Callers.erase(std::remove_if(item.Callers.begin(), item.Callers.end(), of), item.Callers.end());
    }
}

// Rule 9: the items above r that the called function confirms get r as caller.
void TTracer::FillUp(int r, uintptr_t callSite, uintptr_t target, bool direct, bool approve, int depth)
{
    int g = -1;
    if (direct) {
        g = Analyse(target, {}, approve, false);
        if (g >= 0 && depth == 0)
            for (const TUnresolvedBranch& b : Cache.Functions[g].Analysis.UnresolvedBranches)
                if (!b.IsCall) {
                    FillUp(r, callSite, target, false, approve, 1);
                    break;
                }
    }
    if (!direct || g < 0) {
        for (const TLink& l : Items[r].Callees)
            if (l.Function < 0)
                return;
        g = -1;
    }
    for (size_t i = r + 1; i < Items.size(); ++i) {
        TItem& item = Items[i];
        if (item.Removed)
            continue;
        TCallFound found;
        int confirming = g;
        if (g >= 0 && !AskThroughJumps(g, item.Address, item.Sure, found, confirming))
            continue;
        bool skip = false;
        if (!approve)
            for (const TLink& l : item.Callers)
                if (IsApproved(l.Function) && l.CallSite != found.CallSite)
                    skip = true;
        if (!skip && item.Callers.size() < MaxLinksPerItem && Items[r].Callees.size() < MaxLinksPerItem) {
            const bool known = std::any_of(item.Callers.begin(), item.Callers.end(),
                [&](const TLink& l) { return l.Other == r && l.Function == g && l.CallSite == found.CallSite; });
            if (!known) {
                item.Callers.push_back({ r, found.CallSite, found.Direct, found.Target, confirming });
                Items[r].Callees.push_back({ static_cast<int>(i), callSite, direct, target, confirming });
            }
        }
        if (item.OnChain)
            break;
    }
}

// Rule 8.
void TTracer::InDeepChecks()
{
    const size_t count = Items.size();
    for (size_t i = (Q.CreatorAddress ? 1 : 0); i < count; ++i) {
        Progress(static_cast<uint32_t>(25 + 625 * i / std::max<size_t>(count, 1)));
        TItem& item = Items[i];
        if (item.Removed)
            continue;
        int approved = ApprovedLink(item);
        if (approved < 0) {
            int covering = -1;
            for (int f : ApprovedList) {
                if (IsInvalidated(f))
                    continue;
                for (const TCodeRange& r : Cache.Functions[static_cast<size_t>(f)].Analysis.CodeRanges)
                    if (!r.IsCaseTable && r.Start < item.Address && item.Address <= r.End + 1) {
                        covering = f;
                        break;
                    }
                if (covering >= 0)
                    break;
            }
            if (covering >= 0) {
                TCallFound found;
                if (Ask(covering, item.Address, item.Sure, 0, found)) {
                    item.Callers.insert(item.Callers.begin(), { -1, found.CallSite, found.Direct, found.Target, covering });
                    approved = 0;
                } else if (!item.Sure) {
                    item.Removed = true;
                    continue;
                }
            }
        }
        if (approved >= 0) {
            const TLink link = Items[i].Callers[approved];
            std::vector<int> others;
            for (const TLink& l : Items[i].Callers)
                if (l.CallSite != link.CallSite && l.Function >= 0 && l.Function != link.Function)
                    others.push_back(l.Function);
            for (int f : others)
                InvalidateFunction(f);
            FillUp(static_cast<int>(i), link.CallSite, link.Target, link.Direct, true);
        } else {
            // No approved function covers the address: any call that ends right at it.
            uintptr_t regionStart = 0, regionEnd = 0;
            Snapshot.ReadableRunAt(item.Address - 1, regionStart, regionEnd);
            const uintptr_t from = std::max<uintptr_t>(item.Address - 7, regionStart);
            for (uintptr_t at = from; at + 2 <= item.Address; ++at) {
                const TDecodedInstruction d = DecodeInstruction(Reader, TDisAsmMode::Mode64, at);
                if (d.Valid && d.IsCall && d.End == item.Address)
                    FillUp(static_cast<int>(i), d.Start, d.Target, d.Target != 0, false);
            }
        }
    }
}

// The score of the best path through the stretch between two anchors; computed from the far end
// back, so that no recursion follows the stack's depth. Links of every item between get chosen.
uint64_t TTracer::ScoreStretch(int from, int to, bool upwards)
{
    // score[item][allKnown]
    const int lo = std::min(from, to), hi = std::max(from, to);
    std::vector<std::array<uint64_t, 2>> score(static_cast<size_t>(hi - lo + 1), { 0, 0 });
    std::vector<std::array<int, 2>> chosen(static_cast<size_t>(hi - lo + 1), { -1, -1 });
    auto evaluate = [&](int x, int allKnown) -> uint64_t {
        TItem& item = Items[x];
        const std::vector<TLink>& links = upwards ? item.Callees : item.Callers;
        uint64_t best = 0;
        int bestLink = -1;
        const TTraceModule* mx = ModuleOf(item.Module);
        for (size_t l = 0; l < links.size(); ++l) {
            const TLink& link = links[l];
            const int o = link.Other;
            uint64_t base;
            if (o == to) {
                base = uint64_t(link.Function >= 0 ? 0x70000000u : 0x50000000u) << 32;
            } else if (o >= 0 && o > lo && o < hi && !Items[o].Removed && (upwards ? o > x : o < x)) {
                base = score[static_cast<size_t>(o - lo)][allKnown && link.Function >= 0 ? 1 : 0];
            } else {
                continue;
            }
            int d;
            if (link.Function < 0) {
                // An indirect call: no function confirms the other item. When that item is a
                // confirmed frame of its own, the chain through it keeps its weight (virtual calls
                // and callbacks through libraries are everywhere in C++).
                d = 0;
                if (!Confirmed(o))
                    base &= ~(uint64_t(0x20000000u) << 32);
            } else {
                d = (allKnown || (base >> 32) & 0x20000000u) ? 28 : 14;
                if (IsApproved(link.Function))
                    d += 14;
            }
            const TTraceModule* mo = o >= 0 ? ModuleOf(Items[o].Module) : nullptr;
            if (mx && mo && mx->Map) {
                if (LineAt(mx, item.Address - 1) <= 0)
                    d += 3;
                else if (mo->Map && LineAt(mo, Items[o].Address - 1) > 0)
                    d += 9;
                else
                    d += 6;
            }
            const uint64_t add = uint64_t(1) << d;
            const uint64_t s = base > UINT64_MAX - add ? UINT64_MAX : base + add;
            if ((s >> 32) > 0x10000000u && s > best) {
                best = s;
                bestLink = static_cast<int>(l);
            }
        }
        chosen[static_cast<size_t>(x - lo)][allKnown] = bestLink;
        return best;
    };
    // Items nearer the far end first.
    if (upwards) {
        for (int x = hi - 1; x > lo; --x)
            if (!Items[x].Removed)
                for (int k = 0; k < 2; ++k)
                    score[static_cast<size_t>(x - lo)][k] = evaluate(x, k);
    } else {
        for (int x = lo + 1; x < hi; ++x)
            if (!Items[x].Removed)
                for (int k = 0; k < 2; ++k)
                    score[static_cast<size_t>(x - lo)][k] = evaluate(x, k);
    }
    if (from < 0)
        return 0;
    const uint64_t s = evaluate(from, 1);
    // Remember the choices along the best path for Restore.
    for (int x = lo; x <= hi; ++x) {
        if (x < 0)
            continue;
        int& c = upwards ? Items[x].ChosenCallee : Items[x].ChosenCaller;
        c = chosen[static_cast<size_t>(x - lo)][x == from ? 1 : 0];
    }
    // Along the path allKnown may have dropped; follow it to pick the matching choices.
    int x = from;
    int allKnown = 1;
    for (size_t guard = 0; x >= 0 && x != to && guard < Items.size(); ++guard) {
        const int c = chosen[static_cast<size_t>(x - lo)][allKnown];
        int& mark = upwards ? Items[x].ChosenCallee : Items[x].ChosenCaller;
        mark = c;
        if (c < 0)
            break;
        const TLink& link = (upwards ? Items[x].Callees : Items[x].Callers)[static_cast<size_t>(c)];
        allKnown = allKnown && link.Function >= 0;
        x = link.Other;
    }
    return s;
}

void TTracer::Restore(int from, int to, bool upwards)
{
    int x = from;
    for (size_t guard = 0; x >= 0 && x != to && guard < Items.size(); ++guard) {
        const int c = upwards ? Items[x].ChosenCallee : Items[x].ChosenCaller;
        if (c < 0)
            break;
        const TLink& link = (upwards ? Items[x].Callees : Items[x].Callers)[static_cast<size_t>(c)];
        x = link.Other;
        if (x >= 0 && x != to)
            Items[x].Removed = false;
    }
}

// Rule 10: between two sure points keep the most plausible chain.
void TTracer::OptimalChains()
{
    std::vector<int> anchors;
    int last = -1;
    for (int i = static_cast<int>(Items.size()) - 1; i >= 0; --i)
        if (!Items[i].Removed) {
            last = i;
            break;
        }
    if (last < 0)
        return;
    anchors.push_back(last);
    for (int i = last - 1; i >= 0; --i)
        if (!Items[i].Removed && Items[i].OnChain)
            anchors.push_back(i);
    anchors.push_back(-1);
    for (size_t a = 0; a + 1 < anchors.size(); ++a) {
        Progress(static_cast<uint32_t>(650 + 350 * a / anchors.size()));
        const int u = anchors[a], l = anchors[a + 1];
        std::vector<int> live;
        for (int i = l + 1; i < u; ++i)
            if (!Items[i].Removed)
                live.push_back(i);
        if (live.empty())
            continue;
        // The scores look at the items of the stretch; then all of them go, and the better path
        // comes back.
        const uint64_t fromLower = l >= 0 ? ScoreStretch(l, u, true) : 0;
        uint64_t fromUpper = 0;
        if (!((fromLower >> 32) & 0x40000000u))
            fromUpper = ScoreStretch(u, l, false);
        for (int i : live)
            Items[i].Removed = true;
        if (l >= 0 && fromLower > fromUpper)
            Restore(l, u, true);
        else
            Restore(u, l, false);
    }
    Progress(1000);
}

// Rule 12.
void TTracer::FinalOutput(TTraceResult& result)
{
    bool first = true;
    bool entryFromNext = false;
    bool cppCut = false, preCut = false;
    std::vector<std::string> cuts = { "std.terminate", "__cxa_throw", "_Unwind_RaiseException", "__cxa_rethrow" };
    for (const std::string& f : Q.ThrowRecordingFrames)
        cuts.push_back(PlainName(f));
    for (int i = static_cast<int>(Items.size()) - 1; i >= 0; --i) {
        TItem& item = Items[i];
        if (item.Removed)
            continue;
        const int approvedLink = ApprovedLink(item);
        const TTraceModule* m = ModuleOf(item.Module);
        if (approvedLink >= 0) {
            const TLink& link = item.Callers[static_cast<size_t>(approvedLink)];
            const TTraceFunction& f = Cache.Functions[static_cast<size_t>(link.Function)];
            item.Printed = link.CallSite;
            item.FunctionName = f.Name;
            item.FunctionStart = f.Analysis.EntryPoint;
            if (first) {
                if (f.Analysis.Span == 0)
                    entryFromNext = true;
                else
                    result.FunctionEntry = f.Analysis.EntryPoint;
            } else if (entryFromNext) {
                entryFromNext = false;
                result.FunctionEntry = f.Analysis.EntryPoint;
                for (const TOutgoingCall& c : f.Analysis.OutgoingCalls)
                    if (c.Target == ExceptionAddress)
                        result.Location = c.Address;
            }
            std::string unit;
            UnmangleName(item.FunctionName, unit);
            item.UnitName = unit;
        } else {
            uintptr_t printed = 0;
            for (const TLink& l : item.Callers)
                if (l.CallSite) {
                    printed = l.CallSite;
                    break;
                }
            if (!printed && item.ChosenCallee >= 0 && static_cast<size_t>(item.ChosenCallee) < item.Callees.size())
                printed = item.Callees[static_cast<size_t>(item.ChosenCallee)].CallSite;
            item.Printed = printed ? printed : item.Address;
        }
        item.ModuleName = m ? m->FileName : "???";
        if (m && m->Map) {
            const TPublicEntry p = m->Map->PublicAt(item.Printed);
            if (item.FunctionName.empty() && p.Valid) {
                item.FunctionName = p.Name;
                item.FunctionStart = p.Address;
            }
            item.UnitName = m->Map->SegmentAt(true, item.Printed).Name;
            item.Line = LineAt(m, item.Printed);
            if (Q.RelativeLines && item.Line > 0 && item.FunctionStart) {
                const int f = LineAt(m, item.FunctionStart);
                if (f > 0) {
                    item.FirstLine = item.Line;
                    item.Line -= f;
                }
            }
        } else if (m && item.FunctionName.empty()) {
            TElfSymbol s;
            if (Namer.SymbolAt(item.Printed, true, s)) {
                item.FunctionName = s.Name;
                item.FunctionStart = s.Address;
                std::string unit;
                UnmangleName(item.FunctionName, unit);
            }
        }
        if (first) {
            result.Location = item.Printed;
            first = false;
        }
        const std::string plain = PlainName(item.FunctionName);
        if (Q.CppTermination && !cppCut && std::find(cuts.begin(), cuts.end(), plain) != cuts.end()) {
            cppCut = true;
            for (size_t k = static_cast<size_t>(i); k < Items.size(); ++k)
                Items[k].Removed = true;
        }
        if (PreCollectedCut && !preCut && plain == "__restore_rt") {
            preCut = true;
            for (size_t k = static_cast<size_t>(i); k + 1 < Items.size(); ++k)
                Items[k].Removed = true;
        }
    }
}

// Rule 13.
std::string TTracer::Compose()
{
    struct TShown {
        const TItem* Item;
    };
    std::vector<const TItem*> shown;
    uintptr_t previous = 0;
    for (int i = static_cast<int>(Items.size()) - 1; i >= 0; --i) {
        const TItem& item = Items[i];
        if (item.Removed)
            continue;
        const bool named = !item.FunctionName.empty() && (item.Line > 0 || !Q.HideLineless);
        if (!(item.Sure || (i == 0 && Q.CreatorAddress) || named))
            continue;
        if (!shown.empty() && item.Printed == previous)
            continue;
        shown.push_back(&item);
        previous = item.Printed;
    }
    size_t offsetWidth = 0, moduleWidth = 0, unitWidth = 0, firstLineWidth = 0, lineWidth = 0;
    for (const TItem* item : shown) {
        if (item->FunctionStart && item->FunctionStart <= item->Printed)
            offsetWidth = std::max(offsetWidth, HexText64(item->Printed - item->FunctionStart).size());
        moduleWidth = std::max(moduleWidth, item->ModuleName.size());
        unitWidth = std::max(unitWidth, item->UnitName.size());
        if (item->FirstLine > 0)
            firstLineWidth = std::max(firstLineWidth, std::to_string(item->FirstLine).size());
        std::string line = item->Line > 0 ? std::to_string(item->Line) : std::string();
        if (item->FirstLine > 0)
            line = "+" + line;
        lineWidth = std::max(lineWidth, line.size());
    }
    std::string text;
    for (const TItem* item : shown) {
        std::string row = Hex16(item->Printed) + " ";
        if (Q.RelativeAddresses) {
            const bool known = item->FunctionStart && item->FunctionStart <= item->Printed;
            row += "+"
                + (known ? HexTextPadded64(item->Printed - item->FunctionStart, static_cast<int>(offsetWidth), '0')
                         : std::string(offsetWidth, '0'))
                + " ";
        }
        row += PadTo(item->ModuleName, -static_cast<int>(moduleWidth + 1), ' ');
        row += PadTo(item->UnitName, -static_cast<int>(unitWidth + 1), ' ');
        if (firstLineWidth) {
            const std::string first = item->FirstLine > 0 ? std::to_string(item->FirstLine) : std::string();
            row += std::string(firstLineWidth - first.size(), ' ') + first + " ";
        }
        if (lineWidth) {
            std::string line = item->Line > 0 || item->FirstLine > 0 ? std::to_string(item->Line) : std::string();
            if (item->FirstLine > 0)
                line = "+" + line;
            row += std::string(lineWidth - line.size(), ' ') + line + " ";
        }
        row += item->FunctionName;
        if (!text.empty())
            text += "\r\n";
        text += row;
    }
    return text;
}

TTraceResult TTracer::Run()
{
    TTraceResult result;
    ExceptionAddress = Q.ExceptionAddress;
    Sp = Q.StackPointer;
    Top = Q.StackTop;
    PreCollectedCut = Q.PreCollected != nullptr;
    // An SP in the guard page, or below an overflowed stack's mapping, starts at the next
    // readable page.
    const TMemoryRegion* spRegion = Snapshot.RegionAt(Sp);
    if (spRegion && !spRegion->Readable) {
        const auto& regions = Snapshot.Regions();
        for (size_t i = 0; i + 1 < regions.size(); ++i)
            if (&regions[i] == spRegion && regions[i + 1].Start == spRegion->End && regions[i + 1].Readable)
                Sp = regions[i + 1].Start;
    } else if (!spRegion) {
        if (const TMemoryRegion* stack = Snapshot.StackRegionAbove(Sp); stack && stack->Start < Top)
            Sp = stack->Start;
    }
    if (!Q.PreCollected && (Top <= Sp || !Snapshot.IsReadable(Sp, Top - Sp)))
        return result;
    Phase = "CollectPossibleStackItems";
    FrameChain();
    Collect();
    Phase = "RemoveRecursiveStackAreas";
    RemoveRecursive(true);
    Phase = "InDeepChecks";
    InDeepChecks();
    if (!Q.SkipChainOptimisation) {
        Phase = "RealizeOptimalLinkChains";
        OptimalChains();
    }
    Phase = "RemoveRecursiveAreas";
    RemoveRecursive(false);
    Phase = "FillFinalOutput";
    FinalOutput(result);
    Phase = "ComposeResult";
    result.Text = Compose();
    return result;
}

// The per-thread stack bounds.
thread_local uintptr_t CachedStackTop = 0;
thread_local uintptr_t CachedStackSize = 0;

uintptr_t StackLimit()
{
    rlimit limit {};
    if (getrlimit(RLIMIT_STACK, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur > 0)
        return static_cast<uintptr_t>(limit.rlim_cur);
    return DefaultStackSize;
}

} // namespace

uintptr_t CurrentStackTop(uintptr_t* size)
{
    if (!CachedStackTop) {
        pthread_attr_t attr;
        if (pthread_getattr_np(pthread_self(), &attr) == 0) {
            void* address = nullptr;
            size_t stackSize = 0;
            if (pthread_attr_getstack(&attr, &address, &stackSize) == 0) {
                CachedStackTop = reinterpret_cast<uintptr_t>(address) + stackSize;
                CachedStackSize = stackSize;
            }
            pthread_attr_destroy(&attr);
        }
    }
    if (size)
        *size = CachedStackSize;
    return CachedStackTop;
}

TTraceProgress::TTraceProgress(TTraceProgressSink* sink, std::function<uint32_t()> clock)
    : FSink(sink)
    , FClock(clock ? std::move(clock) : std::function<uint32_t()>(&TickCount))
{
    FStart = FClock();
}

TTraceProgress::~TTraceProgress()
{
    if (FWindowShown && FSink)
        FSink->Close();
}

void TTraceProgress::AddWork(uint64_t amount)
{
    FEntries.emplace_back(FTotal, amount);
    FTotal += amount;
}

void TTraceProgress::SetPosition(uint32_t permille)
{
    if (FCurrent >= FEntries.size())
        return;
    const uint64_t position = FEntries[FCurrent].first + FEntries[FCurrent].second * permille / 1000;
    auto shownValue = [&]() -> uint32_t {
        if (FTotal <= FWindowStart)
            return 1000;
        return static_cast<uint32_t>((position - std::min(position, FWindowStart)) * 1000 / (FTotal - FWindowStart));
    };
    if (!FWindowShown) {
        if (TicksBetween(FStart, FClock()) <= ProgressWindowDelay || position * 1000 >= FTotal * 500)
            return;
        FWindowShown = true;
        FWindowStart = position;
        if (FSink)
            FSink->Show(0);
        return;
    }
    if (FSink)
        FSink->Show(std::min<uint32_t>(shownValue(), 1000));
}

void TTraceProgress::NextEntry()
{
    SetPosition(1000);
    if (FCurrent < FEntries.size())
        ++FCurrent;
}

TTraceResult TraceStack(const TTraceRequest& given)
{
    TTraceRequest request = given;
    if (!request.StackPointer) {
        // The caller's stack position: just above this function's return slot.
        request.StackPointer = reinterpret_cast<uintptr_t>(__builtin_frame_address(0)) + 2 * SlotSize;
        if (!request.FramePointer)
            request.FramePointer = reinterpret_cast<uintptr_t>(__builtin_frame_address(0));
    }
    if (!request.ExceptionAddress && !request.CrashedThread)
        request.ExceptionAddress = reinterpret_cast<uintptr_t>(__builtin_return_address(0));
    const std::shared_ptr<const TMemorySnapshot> snapshot = TakeMemorySnapshot();
    uintptr_t stackSize = request.StackSize;
    if (!request.StackTop)
        request.StackTop = CurrentStackTop(&stackSize);
    if (!request.StackTop) {
        if (const TMemoryRegion* r = snapshot->RegionAt(request.StackPointer))
            request.StackTop = r->End;
    }
    const uintptr_t sp = request.StackPointer;
    // The guard area below a stack still counts as the stack (an overflow).
    const bool inKnownStack = stackSize && sp < request.StackTop && request.StackTop - sp <= stackSize + StackGuardSlack;
    // A scan never goes past the thread's stack size, even when SP lies in a huge mapping.
    if (stackSize && request.StackTop > sp && request.StackTop - sp > stackSize)
        request.StackTop = sp + stackSize;
    if (!inKnownStack && request.StackTop > sp) {
        // SP outside every stack we know (a damaged SP, a stack of its own in the heap): only
        // the mapping it lies in, and at most a stack's innermost part. A whole heap scanned
        // slot by slot would take minutes.
        const TMemoryRegion* r = snapshot->RegionAt(sp);
        if (r && !r->Readable) {
            const auto& regions = snapshot->Regions();
            const size_t i = static_cast<size_t>(r - regions.data());
            r = i + 1 < regions.size() && regions[i + 1].Start == r->End ? &regions[i + 1] : nullptr;
        } else if (!r) {
            r = snapshot->StackRegionAbove(sp);
        }
        if (r && r->Path == "[stack]") {
            if (request.StackTop - sp > StackLimit())
                request.StackTop = sp + StackLimit();
        } else {
            const uintptr_t start = r ? std::max(sp, r->Start) : sp;
            request.StackTop = std::min({ request.StackTop, r ? r->End : sp, start + OutsideStackScan });
        }
    }

    TTraceCache& shared = SharedCache();
    TListLock lock(shared.Mutex);
    TTraceCache local;
    TTraceCache& cache = lock ? shared : local; // a thread that died holding the lists must not block the report
    TModuleInfo program;
    FindProgramModule(*snapshot, program);
    TTracer tracer(request, cache, *snapshot);
    try {
        cache.Reconcile(ListModules(*snapshot), program.Base, *snapshot);
        return tracer.Run();
    } catch (...) {
        TTraceResult failed;
        failed.Text = InternalErrorText(tracer.CurrentPhase().empty() ? "TraceStack" : tracer.CurrentPhase());
        return failed;
    }
}

size_t CollectRawStack(uintptr_t framePointer, std::vector<TRawStackItem>& list)
{
    list.clear();
    try {
        const uintptr_t sp = reinterpret_cast<uintptr_t>(__builtin_frame_address(0));
        uintptr_t size = 0;
        uintptr_t top = CurrentStackTop(&size);
        const std::shared_ptr<const TMemorySnapshot> snapshot = TakeMemorySnapshot();
        if (!top || top <= sp || !snapshot->IsReadable(sp, top - sp))
            return 0;
        std::set<uintptr_t> chain;
        for (uintptr_t e = framePointer; e && e + SlotSize < top && chain.size() < MaxItems;) {
            if (e + SlotSize > sp)
                chain.insert(e + SlotSize);
            uintptr_t next = 0;
            if (!SafeReadValue(e, next, snapshot.get()) || next <= e)
                break;
            e = next;
        }
        TLiveCodeReader reader(snapshot.get());
        for (uintptr_t slot = top - SlotSize; slot >= sp && list.size() < MaxItems; slot -= SlotSize) {
            uintptr_t value = 0;
            if (!SafeReadValue(slot, value, snapshot.get()))
                continue;
            const TMemoryRegion* r = snapshot->RegionAt(value);
            if (!r || !r->Executable || value <= 7)
                continue;
            uint8_t before[8];
            if (!reader.Read(value - 8, before, 8))
                continue;
            const bool callBefore = before[3] == 0xE8 || before[6] == 0xFF || before[5] == 0xFF || before[4] == 0xFF
                || before[2] == 0xFF || before[1] == 0xFF;
            if (!callBefore)
                continue;
            list.push_back({ static_cast<uint8_t>(chain.count(slot) ? 1 : 0), value });
        }
        return list.size();
    } catch (...) {
        list.clear();
        return 0;
    }
}

std::string DescribeCodeAddress(uintptr_t address)
{
    std::string text = Hex16(address);
    std::string module, unit, name;
    uintptr_t start = 0;
    int32_t line = 0;
    if (DescribeAddress(address, module, unit, name, start, line)) {
        text += " " + WithoutPath(module) + " " + unit + " ";
        if (line > 0)
            text += std::to_string(line) + " ";
        text += name;
    } else {
        // A module without our debug information still names the module.
        const std::shared_ptr<const TMemorySnapshot> snapshot = TakeMemorySnapshot();
        TModuleInfo module;
        if (address && FindModule(*snapshot, address, module) && !module.FileName.empty())
            text += " " + WithoutPath(module.FileName);
        else
            text += " ???";
    }
    return text;
}

std::string InternalErrorText(const std::string& phase)
{
    return ">> internal error in " + phase;
}

void ClearTraceCache()
{
    TTraceCache& cache = SharedCache();
    TListLock lock(cache.Mutex);
    if (lock)
        cache.Clear();
}
