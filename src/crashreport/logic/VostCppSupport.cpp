// C++ exception support: throw records and checks of run-time type information.
#include "crashreport/logic/VostCppSupport.h"

#include "crashreport/logic/VostMapFile.h"
#include "crashreport/logic/VostMemory.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>

#include <cxxabi.h>
#include <link.h>
#include <unwind.h>

namespace {

// The code regions the quick collection accepts return addresses in, and the modules of the
// system's C++ support that a throw site looks past. Renewed when the loader's counters change.
struct TCodeMap {
    struct TRange {
        uintptr_t Start, End; // End exclusive
        bool System;          // libc, libstdc++ or libgcc_s
    };
    std::vector<TRange> Ranges; // ascending, readable and executable; one module's code each
    unsigned long long Adds = ~0ull, Subs = ~0ull;
    uint32_t Number = 0; // which renewal made it

    // The debug information of a range's module, looked up on first need and kept: a look-up
    // reads the memory map and the file's stamp, far more than a throw may cost.
    std::shared_ptr<const TMapFile> MapOf(const TRange& range) const
    {
        const std::lock_guard lock(FMapsMutex);
        const size_t i = static_cast<size_t>(&range - Ranges.data());
        if (FMaps.size() != Ranges.size())
            FMaps.resize(Ranges.size());
        if (!FMaps[i])
            FMaps[i] = DebugInfoForAddress(range.Start);
        return FMaps[i];
    }

    // The 1 MiB granules that code ranges touch, as a hash set (granule + 1; 0 = empty): most
    // stack slots hold data, rejected here in one probe instead of a search through the ranges.
    static constexpr int GranuleShift = 20;
    std::vector<uint64_t> Granules;
    static size_t Slot(uint64_t granule, size_t mask) { return size_t((granule * 0x9E3779B97F4A7C15ull) >> 32) & mask; }
    void IndexGranules()
    {
        size_t count = 0;
        for (const TRange& r : Ranges)
            count += ((r.End - 1) >> GranuleShift) - (r.Start >> GranuleShift) + 1;
        size_t size = 64;
        while (size < 4 * count)
            size *= 2;
        Granules.assign(size, 0);
        for (const TRange& r : Ranges)
            for (uint64_t g = r.Start >> GranuleShift; g <= (r.End - 1) >> GranuleShift; ++g)
                for (size_t i = Slot(g + 1, size - 1);; i = (i + 1) & (size - 1)) {
                    if (Granules[i] == g + 1)
                        break;
                    if (!Granules[i]) {
                        Granules[i] = g + 1;
                        break;
                    }
                }
    }
    bool MayHoldCode(uintptr_t address) const
    {
        const uint64_t g = (address >> GranuleShift) + 1;
        const size_t mask = Granules.size() - 1;
        for (size_t i = Slot(g, mask);; i = (i + 1) & mask) {
            if (Granules[i] == g)
                return true;
            if (!Granules[i])
                return false;
        }
    }

    const TRange* At(uintptr_t address) const
    {
        auto it = std::upper_bound(Ranges.begin(), Ranges.end(), address, [](uintptr_t a, const TRange& r) { return a < r.End; });
        if (it == Ranges.end() || address < it->Start)
            return nullptr;
        return &*it;
    }

private:
    mutable std::mutex FMapsMutex;
    mutable std::vector<std::shared_ptr<const TMapFile>> FMaps;
};

std::mutex CodeMapMutex;
std::shared_ptr<const TCodeMap> CurrentCodeMap;
std::atomic<uint32_t> Renewals{0};

int LoaderCounters(dl_phdr_info* info, size_t size, void* data)
{
    auto* counters = static_cast<unsigned long long*>(data);
    if (size >= offsetof(dl_phdr_info, dlpi_subs) + sizeof(info->dlpi_subs)) {
        counters[0] = info->dlpi_adds;
        counters[1] = info->dlpi_subs;
    }
    return 1; // the first module is enough: the counters are the loader's
}

bool IsSystemModule(const std::string& path)
{
    const size_t slash = path.rfind('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    return name.rfind("libc.so", 0) == 0 || name.rfind("libstdc++.so", 0) == 0 || name.rfind("libgcc_s.so", 0) == 0;
}

std::shared_ptr<const TCodeMap> CodeMap()
{
    unsigned long long counters[2] = { 0, 0 };
    dl_iterate_phdr(&LoaderCounters, counters);
    const std::lock_guard lock(CodeMapMutex);
    if (CurrentCodeMap && CurrentCodeMap->Adds == counters[0] && CurrentCodeMap->Subs == counters[1])
        return CurrentCodeMap;
    auto map = std::make_shared<TCodeMap>();
    map->Adds = counters[0];
    map->Subs = counters[1];
    const std::shared_ptr<const TMemorySnapshot> snapshot = TakeMemorySnapshot();
    std::string lastPath;
    for (const TMemoryRegion& r : snapshot->Regions()) {
        if (!r.Readable || !r.Executable)
            continue;
        const bool system = IsSystemModule(r.Path);
        if (!map->Ranges.empty() && map->Ranges.back().End == r.Start && map->Ranges.back().System == system
            && r.Path == lastPath)
            map->Ranges.back().End = r.End;
        else
            map->Ranges.push_back({ r.Start, r.End, system });
        lastPath = r.Path;
    }
    map->IndexGranules();
    map->Number = Renewals.fetch_add(1) + 1;
    CurrentCodeMap = map;
    return map;
}

struct TRingRecord {
    const void* Object = nullptr;
    const std::type_info* Type = nullptr;
    uintptr_t ThrowAddress = 0;
    uintptr_t ThrowSite = 0;
    uint32_t Count = 0;
    TRawStackItem Items[ThrowRecordMaxItems];
};
struct TRing {
    size_t Next = 0;
    TRingRecord Records[ThrowRingSize];
};
thread_local std::unique_ptr<TRing> Ring;
// A throw inside the recording (a failing map read) must not record again.
thread_local bool Recording = false;

constexpr uintptr_t SlotSize = sizeof(uintptr_t);

// The bytes in front of a return address hold a call: the same test as the tracer's quick
// collection.
bool CallBefore(const TCodeMap::TRange* r, uintptr_t value)
{
    if (!r || value < r->Start + 8)
        return false;
    uint8_t before[8];
    memcpy(before, reinterpret_cast<const void*>(value - 8), 8);
    return before[3] == 0xE8 || before[6] == 0xFF || before[5] == 0xFF || before[4] == 0xFF || before[2] == 0xFF
        || before[1] == 0xFF;
}

struct TSiteSearch {
    const TCodeMap* Map;
    int Frames = 0;
    bool PastSystem = false;
    uintptr_t Site = 0;
};

// Templates of the C++ standard library compiled into our own modules (an unoptimised build
// keeps std::vector::_M_range_check out of line) are part of the throw, not its site.
// Answers by address, per thread: a program throws from few places, and a throw must stay cheap.
struct TStandardCodeAnswer {
    uintptr_t Address;
    uint32_t MapNumber; // 0: empty
    bool Standard;
};
constexpr size_t StandardCodeCacheSize = 64;
thread_local TStandardCodeAnswer StandardCodeCache[StandardCodeCacheSize];

bool StandardLibraryCode(const TCodeMap& map, const TCodeMap::TRange& range, uintptr_t returnAddress)
{
    TStandardCodeAnswer& cached = StandardCodeCache[(returnAddress >> 2) % StandardCodeCacheSize];
    if (cached.MapNumber == map.Number && cached.Address == returnAddress)
        return cached.Standard;
    const TPublicEntry p = map.MapOf(range)->PublicAt(returnAddress - 1);
    const bool standard = p.Valid && (p.Name.rfind("std.", 0) == 0 || p.Name.rfind("__gnu_cxx.", 0) == 0);
    cached = { returnAddress, map.Number, standard };
    return standard;
}

_Unwind_Reason_Code FindSite(_Unwind_Context* context, void* data)
{
    auto* search = static_cast<TSiteSearch*>(data);
    const uintptr_t ip = _Unwind_GetIP(context);
    if (++search->Frames > 12 || !ip)
        return _URC_END_OF_STACK;
    // Our own recording frames come first, then the library's throwing frames, then the site.
    const TCodeMap::TRange* r = search->Map->At(ip);
    if (r && (r->System || StandardLibraryCode(*search->Map, *r, ip)))
        search->PastSystem = true;
    else if (r && search->PastSystem) {
        search->Site = ip;
        return _URC_END_OF_STACK;
    }
    return _URC_NO_REASON;
}

struct TTypeInfoLayout {
    const void* VirtualTable;
    const char* Name;
};

bool InModule(const TMemorySnapshot& snapshot, uintptr_t address)
{
    const TMemoryRegion* r = snapshot.RegionAt(address);
    return r && r->Readable && !r->Path.empty() && r->Path[0] == '/';
}

bool ValidMangledName(const std::string& name)
{
    if (name.empty())
        return false;
    size_t i = name[0] == '*' ? 1 : 0; // types of internal linkage
    if (i >= name.size())
        return false;
    for (; i < name.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(name[i]);
        if (!(isalnum(c) || c == '_' || c == '$' || c == '.'))
            return false;
    }
    return true;
}


} // namespace

__attribute__((noinline)) void RecordThrow(const void* object, const std::type_info* type, uintptr_t throwAddress) noexcept
{
    if (Recording)
        return;
    Recording = true;
    struct TDone {
        ~TDone() { Recording = false; }
    } done;
    try {
        if (!Ring) {
            Ring.reset(new (std::nothrow) TRing);
            if (!Ring)
                return;
        }
        const std::shared_ptr<const TCodeMap> map = CodeMap();
        TRingRecord& record = Ring->Records[Ring->Next];
        Ring->Next = (Ring->Next + 1) % ThrowRingSize;
        record.Object = object;
        record.Type = type;
        record.ThrowAddress = throwAddress;
        record.Count = 0;
        record.ThrowSite = throwAddress;
        if (const TCodeMap::TRange* r = map->At(throwAddress); r && (r->System || StandardLibraryCode(*map, *r, throwAddress))) {
            TSiteSearch search { map.get() };
            _Unwind_Backtrace(&FindSite, &search);
            if (search.Site)
                record.ThrowSite = search.Site;
        }

        // The quick collection from the thrower's frame upwards (our own frames and the caller's
        // stale slots below it would only mislead the trace): the innermost candidates matter
        // most, so the scan starts there and stops when the record is full.
        const uintptr_t top = CurrentStackTop();
        const uintptr_t ownFrame = reinterpret_cast<uintptr_t>(__builtin_frame_address(0));
        uintptr_t frame = *reinterpret_cast<const uintptr_t*>(ownFrame); // the throw entry's frame
        if (frame <= ownFrame || frame + 2 * SlotSize > top)
            frame = ownFrame;
        const uintptr_t sp = frame + SlotSize; // its return slot: the throw address
        if (!top || top <= sp)
            return;
        uintptr_t chain[ThrowRecordMaxItems];
        size_t chainCount = 0;
        for (uintptr_t e = frame; e && e + 2 * SlotSize <= top && chainCount < ThrowRecordMaxItems;) {
            chain[chainCount++] = e + SlotSize;
            const uintptr_t next = *reinterpret_cast<const uintptr_t*>(e);
            if (next <= e)
                break;
            e = next;
        }
        TRawStackItem found[ThrowRecordMaxItems];
        size_t count = 0, c = 0;
        if (map->Ranges.empty())
            return;
        // Most slots hold data, stack addresses or small numbers: rejected before the look-up.
        const uintptr_t lowest = map->Ranges.front().Start + 8, highest = map->Ranges.back().End;
        const TCodeMap::TRange* last = nullptr;
        for (uintptr_t slot = sp; slot + SlotSize <= top && count < ThrowRecordMaxItems; slot += SlotSize) {
            const uintptr_t value = *reinterpret_cast<const uintptr_t*>(slot);
            if (value < lowest || value >= highest || (value >= sp && value < top) || !map->MayHoldCode(value))
                continue;
            // Return addresses come in runs of one module: its range first, then the search.
            if (!(last && value >= last->Start && value < last->End))
                last = map->At(value);
            if (!CallBefore(last, value))
                continue;
            while (c < chainCount && chain[c] < slot)
                ++c;
            found[count++] = { static_cast<uint8_t>(c < chainCount && chain[c] == slot ? 1 : 0), value };
        }
        // Outermost first, as the tracer's own collection gives them.
        for (size_t i = 0; i < count; ++i)
            record.Items[i] = found[count - 1 - i];
        record.Count = static_cast<uint32_t>(count);
    } catch (...) {
    }
}

bool FindThrowRecord(const void* object, TThrowRecord& record)
{
    if (!Ring || !object)
        return false;
    for (size_t k = 1; k <= ThrowRingSize; ++k) {
        const TRingRecord& r = Ring->Records[(Ring->Next + ThrowRingSize - k) % ThrowRingSize];
        if (r.Object != object)
            continue;
        record.Object = r.Object;
        record.Type = r.Type;
        record.ThrowAddress = r.ThrowAddress;
        record.ThrowSite = r.ThrowSite;
        record.Stack.assign(r.Items, r.Items + r.Count);
        return true;
    }
    return false;
}

void ClearThrowRecords()
{
    Ring.reset();
}

void PrepareThrowRecords()
{
    // Any use of the variable registers its destructor for the thread.
    [[maybe_unused]] volatile bool had = Ring != nullptr;
}

uint32_t ThrowSnapshotRenewals()
{
    return Renewals.load();
}

const void* ThrownObjectOf(const std::exception_ptr& exception)
{
    // The library's exception_ptr is the thrown object's address and nothing else.
    static_assert(sizeof(std::exception_ptr) == sizeof(void*));
    const void* object = nullptr;
    memcpy(&object, static_cast<const void*>(&exception), sizeof object);
    return object;
}

const std::type_info* CurrentExceptionType()
{
    return abi::__cxa_current_exception_type();
}

bool IsTypeInfoSound(const std::type_info* type)
{
    if (!type)
        return false;
    try {
        const std::shared_ptr<const TMemorySnapshot> snapshot = TakeMemorySnapshot();
        const uintptr_t address = reinterpret_cast<uintptr_t>(type);
        TTypeInfoLayout layout {};
        if (!InModule(*snapshot, address) || !SafeReadValue(address, layout, snapshot.get()))
            return false;
        const uintptr_t table = reinterpret_cast<uintptr_t>(layout.VirtualTable);
        const uintptr_t name = reinterpret_cast<uintptr_t>(layout.Name);
        if (!InModule(*snapshot, table) || !InModule(*snapshot, name))
            return false;
        std::string text;
        return SafeReadText(name, text, 1024, snapshot.get()) && ValidMangledName(text);
    } catch (...) {
        return false;
    }
}

const std::type_info* TypeOfObject(const void* polymorphicObject)
{
    try {
        const std::shared_ptr<const TMemorySnapshot> snapshot = TakeMemorySnapshot();
        uintptr_t table = 0;
        if (!polymorphicObject || !SafeReadValue(reinterpret_cast<uintptr_t>(polymorphicObject), table, snapshot.get()))
            return nullptr;
        uintptr_t type = 0;
        if (!InModule(*snapshot, table) || !SafeReadValue(table - sizeof(void*), type, snapshot.get()))
            return nullptr;
        const auto* info = reinterpret_cast<const std::type_info*>(type);
        return IsTypeInfoSound(info) ? info : nullptr;
    } catch (...) {
        return nullptr;
    }
}

bool IsObjectSound(const void* polymorphicObject)
{
    return TypeOfObject(polymorphicObject) != nullptr;
}

std::vector<std::string> ClassChain(const std::type_info* type)
{
    std::vector<std::string> names;
    try {
        if (!IsTypeInfoSound(type))
            return names;
        std::vector<const std::type_info*> queue { type };
        // Bounded: a damaged or cyclic chain must end.
        for (size_t i = 0; i < queue.size() && i < 64; ++i) {
            const std::type_info* t = queue[i];
            if (i > 0 && !IsTypeInfoSound(t))
                continue;
            const std::string name = DemangledTypeName(t->name());
            if (std::find(names.begin(), names.end(), name) == names.end())
                names.push_back(name);
            if (const auto* si = dynamic_cast<const abi::__si_class_type_info*>(t)) {
                queue.push_back(si->__base_type);
            } else if (const auto* vmi = dynamic_cast<const abi::__vmi_class_type_info*>(t)) {
                for (unsigned b = 0; b < vmi->__base_count && b < 64; ++b)
                    queue.push_back(vmi->__base_info[b].__base_type);
            }
        }
    } catch (...) {
    }
    return names;
}

bool IsClassByName(const std::type_info* type, const std::string& name)
{
    const std::vector<std::string> chain = ClassChain(type);
    return std::find(chain.begin(), chain.end(), name) != chain.end();
}

std::string ClassNameText(const std::type_info* type)
{
    if (!IsTypeInfoSound(type))
        return "Unknown";
    try {
        return DemangledTypeName(type->name());
    } catch (...) {
        return "Unknown";
    }
}

std::string DemangledTypeName(const char* name)
{
    if (*name == '*')
        ++name;
    int status = 0;
    char* text = abi::__cxa_demangle(name, nullptr, nullptr, &status);
    std::string result = status == 0 && text ? text : name;
    free(text);
    return result;
}
