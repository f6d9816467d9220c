// The POI record and the POI list.
#include "model/uModel.h"

#include "core/uGeneral.h"
#include "core/uOptionSource.h"
#include "core/uScopeGuard.h"
#include "core/uStream.h"
#include "formats/uConvertBase.h"

#include <QLocale>

#include <sys/mman.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>

// A list's slot of one POI: two remainders, the texts' 16 bytes, six parts, the text kind and the
// flags. What one POI costs in memory follows from this size.
static_assert(sizeof(TEntry) == 40, "TEntry grew: check the field order and the bit fields");

namespace {

// 10^-p in extended precision, formed as the record's users always formed it: 10^p, then its
// reciprocal.
long double Factor(int precision)
{
    auto make = [](int p) {
        long double scale = 1.0L;
        for (int i = 0; i < p; ++i)
            scale *= 10.0L;
        return 1.0L / scale;
    };
    static const std::array<long double, 7> common = [&make] {
        std::array<long double, 7> f {};
        for (int p = 0; p < int(f.size()); ++p)
            f[size_t(p)] = make(p);
        return f;
    }();
    return precision >= 0 && precision < int(common.size()) ? common[size_t(precision)] : make(precision);
}

long double Magnitude(uint8_t deg, uint8_t min, uint8_t sec, double rem)
{
    return static_cast<long double>(deg) + static_cast<long double>(min) / 60.0L
        + static_cast<long double>(sec) / 3600.0L + static_cast<long double>(rem) / 216000.0L;
}

// The magnitude rounded to precision decimals: Magnitude / 10^-p to the nearest integer (ties to
// even), times 10^-p, in extended precision.
//
// Every writer and comparison asks this, so up to 6 decimals the integer is first estimated in
// double. For magnitudes below 256 the estimate lies within 1e-6 of the extended quotient: when
// it is further than 1e-4 from a half, both round to the same integer, and only the final
// product is formed in extended precision, exactly as the full computation forms it.
double RoundedMagnitude(uint8_t deg, uint8_t min, uint8_t sec, double rem, int precision)
{
    const long double factor = Factor(precision);
    static constexpr double Scales[] = {1, 10, 100, 1000, 10000, 100000, 1000000};
    if (precision >= 0 && precision <= 6) {
        constexpr double PerMinute = 1.0 / 60, PerSecond = 1.0 / 3600, PerSixtieth = 1.0 / 216000;
        const double estimate = (double(deg) + double(min) * PerMinute + double(sec) * PerSecond + rem * PerSixtieth) * Scales[precision];
        // Ties to even, as in the default rounding mode (|estimate| < 2^51).
        constexpr double Shift = 6755399441055744.0;
        const double nearest = (estimate + Shift) - Shift;
        if (std::fabs(estimate - nearest) < 0.5 - 1e-4)
            return static_cast<double>(static_cast<long double>(nearest) * factor);
    }
    return static_cast<double>(std::rintl(Magnitude(deg, min, sec, rem) / factor) * factor);
}

struct TParts {
    uint8_t Deg, Min, Sec;
    double Rem;
    bool Negative;
};

// x times 60 taken apart: the whole part of the exact product, and what is left of it rounded
// once to double. The record's parts were defined in extended precision, where the product of a
// double and 60 is exact and only the remainder is rounded; here 60x = 64x - 4x, both exact, and
// the subtraction's error comes out exactly as well, so the results are the same bit for bit.
void TimesSixty(double x, uint8_t& whole, double& rest)
{
    const double hi = x * 64;
    const double lo = x * 4;
    const double product = hi - lo;
    const double error = (hi - product) - lo;
    // 0 <= product < 64: the conversion to an integer is the floor.
    double floor = static_cast<double>(static_cast<int>(product));
    if (product == floor && error < 0)
        floor -= 1;
    whole = static_cast<uint8_t>(floor);
    rest = (product - floor) + error;
}

// Splits decimal degrees into the record's parts: the magnitude's fraction times 60 gives the
// minutes, the rest rounded to double times 60 the seconds, and that rest times 60 the remainder.
TParts Split(double v, double limit)
{
    if (!std::isfinite(v))
        v = 0;
    // Beyond the limit Normalize would clamp anyway; clamping first keeps 256+ out of the byte.
    v = std::clamp(v, -limit, limit);
    TParts p {};
    p.Negative = v < 0;
    const double mag = std::fabs(v);
    p.Deg = static_cast<uint8_t>(static_cast<int>(mag));
    double rest = 0;
    TimesSixty(mag - p.Deg, p.Min, rest);
    TimesSixty(rest, p.Sec, rest);
    p.Rem = rest * 60;
    // Rounding a rest just below 1 to double gives 1, so a part can come out as a whole 60
    // (1/60 gave 0 deg 0 min 60 sec): carry it into the next larger part.
    if (p.Rem >= 60) {
        p.Rem = 0;
        ++p.Sec;
    }
    if (p.Sec >= 60) {
        p.Sec = 0;
        ++p.Min;
    }
    if (p.Min >= 60) {
        p.Min = 0;
        ++p.Deg;
    }
    return p;
}

// The list's sort: items l..r are sorted in place. The item in the middle of the range is taken
// as the pivot; a cursor from the left stops at the first item not below it, a cursor from the
// right at the first item not above it, and when they have not crossed, the two items trade
// places and both cursors move on. Once they cross, the part left of the crossing and the part
// right of it are sorted the same way. Items that compare equal end up in an order that only this
// procedure gives, and files written after a sort show that order, so it must not change.
//
// The two parts of a range never overlap, so the order in which they are sorted does not matter:
// the smaller one is sorted first and the larger one waits on a list, which holds at most about
// log2(n) ranges whatever the input.
template <typename Item, typename Compare>
void QuickSortItems(Item* items, int l, int r, Compare&& compare)
{
    struct TRange {
        int L, R;
    };
    std::vector<TRange> waiting;
    for (;;) {
        if (l < r) {
            int i = l;
            int j = r;
            const Item pivot = items[(l + r) >> 1];
            do {
                while (compare(items[i], pivot) < 0)
                    ++i;
                while (compare(items[j], pivot) > 0)
                    --j;
                if (i <= j) {
                    std::swap(items[i], items[j]);
                    ++i;
                    --j;
                }
            } while (i <= j);
            // Left part l..j, right part i..r.
            if (j - l < r - i) {
                if (i < r)
                    waiting.push_back({i, r});
                r = j;
            } else {
                if (l < j)
                    waiting.push_back({l, j});
                l = i;
            }
            continue;
        }
        if (waiting.empty())
            return;
        l = waiting.back().L;
        r = waiting.back().R;
        waiting.pop_back();
    }
}

constexpr size_t FirstTextChunk = 16 * 1024;
constexpr size_t LargestTextChunk = 4 * 1024 * 1024;
// Blocks a run holds at most, unless the list was reserved for more.
constexpr size_t MostRunBlocks = 32;
constexpr size_t MostReservedRunBlocks = 1024;

#if defined(__SANITIZE_ADDRESS__)
#define TARVELL_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TARVELL_ASAN 1
#endif
#endif
#ifdef TARVELL_ASAN
extern "C" void __asan_poison_memory_region(void const volatile* addr, size_t size);
extern "C" void __asan_unpoison_memory_region(void const volatile* addr, size_t size);
#endif

// A freed block's memory stays mapped with its run, so the sanitizer is told not to allow it.
void PoisonFreedBlock([[maybe_unused]] void* block, [[maybe_unused]] size_t bytes)
{
#ifdef TARVELL_ASAN
    __asan_poison_memory_region(block, bytes);
#endif
}

void UnpoisonRun([[maybe_unused]] void* run, [[maybe_unused]] size_t bytes)
{
#ifdef TARVELL_ASAN
    __asan_unpoison_memory_region(run, bytes);
#endif
}

} // namespace

// Blocks are taken from runs of several mapped at once. A block of its own is a mapping of its
// own (the heap maps a block of this size and alignment); on a conversion's threads every such
// call waits for the address space's lock, and every page fault of the other threads waits
// behind it. A run is given back when its last block is freed and its list takes no more from it.
struct TEntries::TBlockRun {
    std::atomic<size_t> Users;  // blocks in use, and 1 while its list takes blocks from it
    void* Memory;
    size_t Bytes;

    void Release()
    {
        if (Users.fetch_sub(1, std::memory_order_acq_rel) != 1)
            return;
        UnpoisonRun(Memory, Bytes);
        munmap(Memory, Bytes);
        delete this;
    }
};

// A block of entry slots. Blocks are aligned to their size, so an entry finds its list from its
// own address (a setter tells its list that the entry changed).
struct TEntries::TBlock {
    TEntries* List;
    TBlockRun* Run;

    TEntry* Slots() { return reinterpret_cast<TEntry*>(reinterpret_cast<char*>(this) + BlockHeaderBytes); }
};

int CoordinatePrecision() { return ActiveOptionSource().Precision(); }

// --- TEntry ----------------------------------------------------------------------------------

TEntry::TEntry(const TEntry& other)
    : IpEnabled(other.IpEnabled)
    , IpStopOver(other.IpStopOver)
    , IpDeparture(other.IpDeparture)
{
    CopyFields(other);
    FChanged = other.FChanged;
    StoreTexts(other.GetDescription(), other.GetExtra(), nullptr);
}

TEntry& TEntry::operator=(const TEntry& other)
{
    if (this == &other)
        return *this;
    CopyFields(other);
    SetTexts(other.GetDescription(), other.GetExtra());
    SetChangedState(other.FChanged);
    return *this;
}

void TEntry::CopyFields(const TEntry& other)
{
    FLonRem = other.FLonRem;
    FLatRem = other.FLatRem;
    FLonDeg = other.FLonDeg;
    FLonMin = other.FLonMin;
    FLonSec = other.FLonSec;
    FLatDeg = other.FLatDeg;
    FLatMin = other.FLatMin;
    FLatSec = other.FLatSec;
    FLonWest = other.FLonWest;
    FLatSouth = other.FLatSouth;
    IpEnabled = other.IpEnabled;
    IpStopOver = other.IpStopOver;
    IpDeparture = other.IpDeparture;
}

void TEntry::MarkChanged()
{
    if (FChanged)
        return;
    FChanged = true;
    if (FInList)
        ++TEntries::ListOf(this)->FChangedEntries;
}

void TEntry::SetChangedState(bool changed)
{
    if (changed == FChanged)
        return;
    FChanged = changed;
    if (FInList)
        TEntries::ListOf(this)->FChangedEntries += changed ? 1 : -1;
}

void TEntry::ResetChanged() { SetChangedState(false); }

void TEntry::StoreTexts(std::string_view description, std::string_view extra, TEntries* store)
{
    if (extra.empty() && description.size() <= InsideCapacity) {
        if (!description.empty())
            std::memmove(FText.Inside, description.data(), description.size());
        FTextKind = uint8_t(description.size());
        FOwnsText = false;
        return;
    }
    if (description.size() > UINT32_MAX || extra.size() > UINT32_MAX)
        throw std::length_error("POI text longer than 4 GiB");
    const size_t n = description.size() + extra.size();
    char* data = store ? store->TextSpace(n) : new char[n];
    if (!description.empty())
        std::memcpy(data, description.data(), description.size());
    if (!extra.empty())
        std::memcpy(data + description.size(), extra.data(), extra.size());
    FText.Outside.Data = data;
    FText.Outside.DescriptionSize = uint32_t(description.size());
    FText.Outside.ExtraSize = uint32_t(extra.size());
    FTextKind = TextOutside;
    FOwnsText = store == nullptr;
}

void TEntry::SetTexts(std::string_view description, std::string_view extra)
{
    // The new texts may be views of the old ones: they are copied before the old ones go.
    // Texts replaced in a list stay in its text store until the list is emptied.
    const char* old = FTextKind == TextOutside && FOwnsText ? FText.Outside.Data : nullptr;
    StoreTexts(description, extra, nullptr);
    delete[] old;
}

void TEntry::FreeText()
{
    if (FTextKind == TextOutside && FOwnsText)
        delete[] FText.Outside.Data;
    FTextKind = 0;
    FOwnsText = false;
}

double TEntry::GetLongitude() const { return GetLongitude(CoordinatePrecision()); }

double TEntry::GetLatitude() const { return GetLatitude(CoordinatePrecision()); }

double TEntry::GetLongitude(int precision) const
{
    const double v = RoundedMagnitude(FLonDeg, FLonMin, FLonSec, FLonRem, precision);
    // A west longitude that rounds to zero is zero, not -0.
    return FLonWest && v != 0 ? -v : v;
}

double TEntry::GetLatitude(int precision) const
{
    const double v = RoundedMagnitude(FLatDeg, FLatMin, FLatSec, FLatRem, precision);
    return FLatSouth && v != 0 ? -v : v;
}

void TEntry::SetLongitude(double value) { SetLongitude(value, CoordinatePrecision()); }

void TEntry::SetLatitude(double value) { SetLatitude(value, CoordinatePrecision()); }

void TEntry::SetLongitude(double value, int precision)
{
    // A new record is at 0: its getter needs no rounding.
    const bool atZero = FLonDeg == 0 && FLonMin == 0 && FLonSec == 0 && FLonRem == 0;
    if (atZero ? value == 0 : value == GetLongitude(precision))
        return;
    const TParts p = Split(value, 180);
    FLonWest = p.Negative;
    FLonDeg = p.Deg;
    FLonMin = p.Min;
    FLonSec = p.Sec;
    FLonRem = p.Rem;
    Normalize(precision);
    MarkChanged();
}

void TEntry::SetLatitude(double value, int precision)
{
    const bool atZero = FLatDeg == 0 && FLatMin == 0 && FLatSec == 0 && FLatRem == 0;
    if (atZero ? value == 0 : value == GetLatitude(precision))
        return;
    const TParts p = Split(value, 90);
    FLatSouth = p.Negative;
    FLatDeg = p.Deg;
    FLatMin = p.Min;
    FLatSec = p.Sec;
    FLatRem = p.Rem;
    Normalize(precision);
    MarkChanged();
}

void TEntry::Normalize() { Normalize(CoordinatePrecision()); }

void TEntry::Normalize(int precision)
{
    // A magnitude below a whole degree under the limit cannot round past it; the rounding
    // getters are asked only near the limits.
    if (FLatDeg < 89 && FLonDeg < 179)
        return;
    if (std::fabs(GetLatitude(precision)) > 90) {
        FLatDeg = 90;
        FLatMin = 0;
        FLatSec = 0;
        FLatRem = 0;
    }
    if (std::fabs(GetLongitude(precision)) > 180) {
        FLonDeg = 180;
        FLonMin = 0;
        FLonSec = 0;
        FLonRem = 0;
    }
}

void TEntry::SetLonDeg(uint8_t value)
{
    value = std::min<uint8_t>(value, 180);
    if (value == FLonDeg)
        return;
    FLonDeg = value;
    Normalize();
    MarkChanged();
}

void TEntry::SetLonMin(uint8_t value)
{
    if (value == FLonMin)
        return;
    FLonMin = value;
    Normalize();
    MarkChanged();
}

void TEntry::SetLonSec(uint8_t value)
{
    if (value == FLonSec)
        return;
    FLonSec = value;
    FLonRem = 0;
    Normalize();
    MarkChanged();
}

void TEntry::SetLonWest(bool value)
{
    if (value == FLonWest)
        return;
    FLonWest = value;
    MarkChanged();
}

void TEntry::SetLatDeg(uint8_t value)
{
    value = std::min<uint8_t>(value, 90);
    if (value == FLatDeg)
        return;
    FLatDeg = value;
    Normalize();
    MarkChanged();
}

void TEntry::SetLatMin(uint8_t value)
{
    if (value == FLatMin)
        return;
    FLatMin = value;
    Normalize();
    MarkChanged();
}

void TEntry::SetLatSec(uint8_t value)
{
    if (value == FLatSec)
        return;
    FLatSec = value;
    FLatRem = 0;
    Normalize();
    MarkChanged();
}

void TEntry::SetLatSouth(bool value)
{
    if (value == FLatSouth)
        return;
    FLatSouth = value;
    MarkChanged();
}

void TEntry::SetDescription(std::string_view value)
{
    if (value == GetDescription())
        return;
    SetTexts(value, GetExtra());
    MarkChanged();
}

void TEntry::SetExtra(std::string_view value)
{
    if (value == GetExtra())
        return;
    SetTexts(GetDescription(), value);
    MarkChanged();
}

int32_t TEntry::GetFlag() const
{
    return (IpEnabled ? 1 : 0) | (IpStopOver ? 2 : 0) | (IpDeparture ? 4 : 0);
}

void TEntry::SetFlag(int32_t value)
{
    if (value == GetFlag())
        return;
    IpEnabled = (value & 1) != 0;
    IpStopOver = (value & 2) != 0;
    IpDeparture = (value & 4) != 0;
    MarkChanged();
}

void TEntry::AssignTo(TEntry& dest) const
{
    if (&dest != this)
        dest = *this;
    dest.MarkChanged();
}

QString TEntry::GetLongitudeStr() const { return QLocale().toString(GetLongitude(), 'f', CoordinatePrecision()); }

QString TEntry::GetLatitudeStr() const { return QLocale().toString(GetLatitude(), 'f', CoordinatePrecision()); }

// --- TEntries: storage -----------------------------------------------------------------------

TEntries::TBulkChange::TBulkChange(TEntries& list)
    : FList(list)
{
    if (FList.FResetDepth++ == 0 && FList.FListener)
        FList.FListener->EntriesAboutToBeReset();
}

TEntries::TBulkChange::~TBulkChange()
{
    if (--FList.FResetDepth == 0 && FList.FListener)
        FList.FListener->EntriesReset();
}

TEntries* TEntries::ListOf(const TEntry* entry)
{
    return reinterpret_cast<TBlock*>(reinterpret_cast<uintptr_t>(entry) & ~uintptr_t(BlockBytes - 1))->List;
}

TEntry* TEntries::NewSlot()
{
    if (FFreeSlots) {
        TEntry* slot = FFreeSlots;
        std::memcpy(&FFreeSlots, static_cast<void*>(slot), sizeof FFreeSlots);
        return slot;
    }
    if (FBlocks.empty() || FUsedInLastBlock == EntriesPerBlock) {
        // Room first: a block taken from the run is in use until it is freed.
        if (FBlocks.size() == FBlocks.capacity())
            FBlocks.reserve(std::max<size_t>(8, FBlocks.size() * 2));
        void* memory = NewBlockMemory();
        FBlocks.push_back(new (memory) TBlock {this, FRun});
        FUsedInLastBlock = 0;
    }
    return FBlocks.back()->Slots() + FUsedInLastBlock++;
}

void* TEntries::NewBlockMemory()
{
    if (!FRun || FRunNext == FRunBlocks) {
        ReleaseRun();
        const size_t blocks = FNextRunBlocks;
        // One block more than used, so that the run can start on a block's boundary.
        const size_t bytes = (blocks + 1) * BlockBytes;
        void* memory = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (memory == MAP_FAILED)
            throw std::bad_alloc();
        try {
            FRun = new TBlockRun {{1}, memory, bytes};
        } catch (...) {
            munmap(memory, bytes);
            throw;
        }
        FRunNext = 0;
        FRunBlocks = blocks;
        FNextRunBlocks = std::max(FNextRunBlocks, std::min(blocks * 2, MostRunBlocks));
    }
    const uintptr_t first = (reinterpret_cast<uintptr_t>(FRun->Memory) + BlockBytes - 1) & ~uintptr_t(BlockBytes - 1);
    FRun->Users.fetch_add(1, std::memory_order_relaxed);
    void* const block = reinterpret_cast<void*>(first + FRunNext++ * BlockBytes);
    // Taken again after a Delete gave it back.
    UnpoisonRun(block, BlockBytes);
    return block;
}

void TEntries::FreeBlockMemory(TBlock* block)
{
    TBlockRun* const run = block->Run;
    PoisonFreedBlock(block, BlockBytes);
    run->Release();
}

void TEntries::ReleaseRun()
{
    if (FRun)
        FRun->Release();
    FRun = nullptr;
    FRunNext = 0;
    FRunBlocks = 0;
}

void TEntries::FreeSlot(TEntry* entry)
{
    if (entry->FChanged)
        --FChangedEntries;
    entry->~TEntry();
    FreeSlotMemory(entry);
}

void TEntries::FreeSlotMemory(TEntry* slot)
{
    // Slots are reused only once the order is kept in the item table.
    std::memcpy(static_cast<void*>(slot), &FFreeSlots, sizeof FFreeSlots);
    FFreeSlots = slot;
}

char* TEntries::TextSpace(size_t n)
{
    if (n > FTextLeft) {
        const size_t previous = FTextChunks.empty() ? FirstTextChunk / 2 : FTextNext - FTextChunks.back().get() + FTextLeft;
        const size_t size = std::max(n, std::min(previous * 2, LargestTextChunk));
        FTextChunks.emplace_back(new char[size]);
        FTextNext = FTextChunks.back().get();
        FTextLeft = size;
    }
    char* space = FTextNext;
    FTextNext += n;
    FTextLeft -= n;
    return space;
}

TEntry& TEntries::Place(const TEntry& entry, bool markDeparture)
{
    TEntry* slot = new (NewSlot()) TEntry();
    slot->FInList = true;
    {
        const auto freeSlot = OnFailure([&] { FreeSlot(slot); });
        slot->StoreTexts(entry.GetDescription(), entry.GetExtra(), this);
    }
    slot->CopyFields(entry);
    slot->SetChangedState(entry.FChanged);
    if (markDeparture && FCount == 0)
        slot->IpDeparture = true;
    return *slot;
}

void TEntries::Append(TEntry* entry)
{
    if (FItemsMade)
        FItems.push_back(entry);
    ++FCount;
}

void TEntries::MakeItems()
{
    if (FItemsMade)
        return;
    FItems.resize(size_t(FCount));
    for (int i = 0; i < FCount; ++i)
        FItems[size_t(i)] = SlotAt(i);
    FItemsMade = true;
}

void TEntries::FreeAll()
{
    for (int i = 0; i < FCount; ++i)
        At(i)->~TEntry();
    for (TBlock* block : FBlocks)
        FreeBlockMemory(block);
    FBlocks.clear();
    // An emptied list starts again with a small run: what its old one held stays freed.
    ReleaseRun();
    FNextRunBlocks = 1;
    FUsedInLastBlock = 0;
    FFreeSlots = nullptr;
    FTextChunks.clear();
    FTextNext = nullptr;
    FTextLeft = 0;
    FItems.clear();
    FItems.shrink_to_fit();
    FItemsMade = false;
    FCount = 0;
    FChangedEntries = 0;
}

// --- TEntries: listener ------------------------------------------------------------------------

void TEntries::SetListener(TEntriesListener* listener)
{
    AssertOrThrow(FOwns || !listener, QStringLiteral("A listener on a view"), "uModel", __LINE__);
    FListener = listener;
}

void TEntries::AboutToInsert(int first, int last)
{
    if (FListener && FResetDepth == 0)
        FListener->EntriesAboutToBeInserted(first, last);
}

void TEntries::Inserted()
{
    if (FListener && FResetDepth == 0)
        FListener->EntriesInserted();
}

void TEntries::AboutToRemove(int index)
{
    if (FListener && FResetDepth == 0)
        FListener->EntriesAboutToBeRemoved(index, index);
}

void TEntries::Removed()
{
    if (FListener && FResetDepth == 0)
        FListener->EntriesRemoved();
}

// --- TEntries: views -----------------------------------------------------------------------------

TEntries::TEntries() = default;

TEntries::~TEntries()
{
    for (TEntries* view : FViews)
        view->DetachSource();
    if (FSource) {
        auto& views = FSource->FViews;
        views.erase(std::remove(views.begin(), views.end(), this), views.end());
    }
    if (FOwns)
        FreeAll();
    ReleaseRun();
}

std::unique_ptr<TEntries> TEntries::CreateView(TEntries& source)
{
    auto view = std::make_unique<TEntries>();
    view->FOwns = false;
    view->FItemsMade = true;
    view->FSource = &source;
    source.FViews.push_back(view.get());
    return view;
}

void TEntries::DetachSource()
{
    FSource = nullptr;
    FItems.clear();
    FForgotten.clear();
}

void TEntries::ForgetEntry(const TEntry* entry) { FForgotten.insert(entry); }

void TEntries::ForgetAll()
{
    FItems.clear();
    FForgotten.clear();
}

void TEntries::NotifyRemoved(const TEntry* entry)
{
    for (TEntries* view : FViews)
        view->ForgetEntry(entry);
}

void TEntries::Compact() const
{
    if (FForgotten.empty())
        return;
    std::erase_if(FItems, [this](TEntry* e) { return FForgotten.count(e) > 0; });
    FForgotten.clear();
}

// --- TEntries: operations ------------------------------------------------------------------------

TEntry* TEntries::AtChecked(int index) const
{
    Compact();
    // The message is built only on failure: this runs once per entry access.
    if (index < 0 || index >= Count())
        throw EAssertionFailed(QStringLiteral("List index out of bounds (%1)").arg(index), "uModel", __LINE__);
    return FOwns && !FItemsMade ? SlotAt(index) : FItems[size_t(index)];
}

TEntry& TEntries::Add(std::string_view description, std::string_view extra, double longitude, double latitude)
{
    return Add(description, extra, longitude, latitude, CoordinatePrecision());
}

TEntry& TEntries::Add(std::string_view description, std::string_view extra, double longitude, double latitude, int precision)
{
    AssertOrThrow(FOwns, QStringLiteral("Add to a view"), "uModel", __LINE__);
    TEntry* entry = new (NewSlot()) TEntry();
    entry->FInList = true;
    entry->SetLongitude(longitude, precision);
    entry->SetLatitude(latitude, precision);
    {
        const auto freeSlot = OnFailure([&] { FreeSlot(entry); });
        entry->StoreTexts(description, extra, this);
    }
    if (!description.empty() || !extra.empty())
        entry->MarkChanged();
    if (FCount == 0)
        entry->IpDeparture = true;
    AboutToInsert(FCount, FCount);
    Append(entry);
    Inserted();
    return *entry;
}

TEntry& TEntries::AddEntry(std::unique_ptr<TEntry> entry, bool markDeparture)
{
    AssertOrThrow(FOwns && entry, QStringLiteral("AddEntry of an owned entry to a view"), "uModel", __LINE__);
    return AddEntry(*entry, markDeparture);
}

TEntry& TEntries::AddEntry(const TEntry& entry, bool markDeparture)
{
    AssertOrThrow(FOwns, QStringLiteral("AddEntry of an owned entry to a view"), "uModel", __LINE__);
    TEntry& placed = Place(entry, markDeparture);
    AboutToInsert(FCount, FCount);
    Append(&placed);
    Inserted();
    return placed;
}

void TEntries::AddEntry(TEntry* entry, bool markDeparture)
{
    AssertOrThrow(!FOwns && entry && FSource, QStringLiteral("AddEntry of a borrowed entry to an owning list"), "uModel", __LINE__);
    Compact();
    if (markDeparture && FItems.empty())
        entry->IpDeparture = true;
    FItems.push_back(entry);
}

void TEntries::AddAll(TEntries& source)
{
    AssertOrThrow(FOwns && source.FOwns && source.FViews.empty() && &source != this,
                  QStringLiteral("AddAll needs two owning lists and a source without views"), "uModel", __LINE__);
    const int n = source.FCount;
    if (n == 0)
        return;
    AboutToInsert(FCount, FCount + n - 1);
    {
        const TBulkChange sourceReset(source);
        for (TBlock* block : source.FBlocks)
            block->List = this;
        if (FCount == 0) {
            // An empty list takes the other's storage as it is.
            FBlocks.swap(source.FBlocks);
            FUsedInLastBlock = source.FUsedInLastBlock;
            std::swap(FFreeSlots, source.FFreeSlots);
            FItems.swap(source.FItems);
            FItemsMade = source.FItemsMade;
        } else if (!FItemsMade && !source.FItemsMade && !FFreeSlots && !source.FFreeSlots
                   && FCount == int(FBlocks.size()) * EntriesPerBlock
                   && n == int(source.FBlocks.size() - 1) * EntriesPerBlock + source.FUsedInLastBlock) {
            // Every block here full, the other's filled in order: its blocks follow as they are
            // and entry i stays slot i, with no item table (lists read in parts of whole blocks).
            FBlocks.insert(FBlocks.end(), source.FBlocks.begin(), source.FBlocks.end());
            FUsedInLastBlock = source.FUsedInLastBlock;
        } else {
            MakeItems();
            // Lists read in pieces are added one after the other: the table grows by doubling,
            // not by each piece.
            if (FItems.capacity() < FItems.size() + size_t(n))
                FItems.reserve(std::max(FItems.size() + size_t(n), FItems.capacity() * 2));
            for (int i = 0; i < n; ++i)
                FItems.push_back(source.At(i));
            // Slots left free here and there are reused by later entries.
            if (!FBlocks.empty())
                for (int k = FUsedInLastBlock; k < EntriesPerBlock; ++k)
                    FreeSlotMemory(FBlocks.back()->Slots() + k);
            for (TEntry* slot = source.FFreeSlots; slot;) {
                TEntry* next = nullptr;
                std::memcpy(&next, static_cast<void*>(slot), sizeof next);
                FreeSlotMemory(slot);
                slot = next;
            }
            source.FFreeSlots = nullptr;
            FBlocks.insert(FBlocks.end(), source.FBlocks.begin(), source.FBlocks.end());
            FUsedInLastBlock = source.FUsedInLastBlock;
        }
        // The other's texts stay where they are; this list's current chunk stays the one it
        // fills next.
        FTextChunks.insert(FTextChunks.begin(), std::make_move_iterator(source.FTextChunks.begin()),
                           std::make_move_iterator(source.FTextChunks.end()));
        if (FTextNext == nullptr) {
            FTextNext = source.FTextNext;
            FTextLeft = source.FTextLeft;
        }
        FCount += n;
        FChangedEntries += source.FChangedEntries;
        source.FBlocks.clear();
        source.FUsedInLastBlock = 0;
        source.FTextChunks.clear();
        source.FTextNext = nullptr;
        source.FTextLeft = 0;
        source.FItems.clear();
        source.FItemsMade = false;
        source.FCount = 0;
        source.FChangedEntries = 0;
    }
    Inserted();
}

void TEntries::Insert(int index, std::unique_ptr<TEntry> entry)
{
    AssertOrThrow(FOwns && entry && index >= 0 && index <= Count(), QStringLiteral("Insert index out of bounds"), "uModel", __LINE__);
    if (index < FCount)
        MakeItems();
    TEntry& placed = Place(*entry, false);
    AboutToInsert(index, index);
    if (FItemsMade)
        FItems.insert(FItems.begin() + index, &placed);
    ++FCount;
    FSavedCount = FCount;
    FListChanged = true;
    Inserted();
}

void TEntries::Insert(int index, TEntry* entry)
{
    Compact();
    AssertOrThrow(!FOwns && entry && FSource && index >= 0 && index <= Count(), QStringLiteral("Insert index out of bounds"), "uModel", __LINE__);
    FItems.insert(FItems.begin() + index, entry);
    FSavedCount = Count();
    FListChanged = true;
}

void TEntries::Delete(int index)
{
    TEntry* entry = At(index);
    if (!FOwns) {
        FItems.erase(FItems.begin() + index);
        return;
    }
    AboutToRemove(index);
    if (index == FCount - 1 && !FItemsMade) {
        // The last slot of the order kept by slots: it is simply given back.
        NotifyRemoved(entry);
        if (entry->FChanged)
            --FChangedEntries;
        entry->~TEntry();
        --FUsedInLastBlock;
        if (FUsedInLastBlock == 0) {
            TBlock* const block = FBlocks.back();
            const uintptr_t lastTaken = FRun ? ((reinterpret_cast<uintptr_t>(FRun->Memory) + BlockBytes - 1) & ~uintptr_t(BlockBytes - 1))
                    + (FRunNext - 1) * BlockBytes : 0;
            if (block->Run == FRun && FRunNext > 0 && reinterpret_cast<uintptr_t>(block) == lastTaken) {
                // The run's last block taken: the next block is this one again.
                --FRunNext;
                FRun->Users.fetch_sub(1, std::memory_order_relaxed);
                PoisonFreedBlock(block, BlockBytes);
            } else {
                FreeBlockMemory(block);
            }
            FBlocks.pop_back();
            FUsedInLastBlock = FBlocks.empty() ? 0 : EntriesPerBlock;
        }
        --FCount;
    } else {
        MakeItems();
        NotifyRemoved(entry);
        FItems.erase(FItems.begin() + index);
        --FCount;
        FreeSlot(entry);
    }
    Removed();
    if (FCount == 0)
        FreeAll();
}

void TEntries::DeleteIndices(const std::vector<int>& indices)
{
    if (indices.empty())
        return;
    At(indices.front());
    At(indices.back());
    // Moves every kept entry once; removing one at a time would move the tail per entry.
    auto squeeze = [&](auto&& release) {
        size_t write = size_t(indices.front());
        size_t next = 0;
        const size_t count = FItems.size();
        for (size_t read = write; read < count; ++read) {
            if (next < indices.size() && size_t(indices[next]) == read) {
                release(FItems[read]);
                ++next;
                continue;
            }
            FItems[write++] = FItems[read];
        }
        FItems.resize(write);
        return int(write);
    };
    if (!FOwns) {
        squeeze([](TEntry*) {});
        return;
    }
    const TBulkChange bulk(*this);
    MakeItems();
    FCount = squeeze([this](TEntry* entry) {
        NotifyRemoved(entry);
        FreeSlot(entry);
    });
    FListChanged = true;
    if (FCount == 0)
        FreeAll();
}

std::unique_ptr<TEntry> TEntries::Extract(int index)
{
    AssertOrThrow(FOwns, QStringLiteral("Extract from a view"), "uModel", __LINE__);
    auto copy = std::make_unique<TEntry>(*At(index));
    Delete(index);
    return copy;
}

void TEntries::Clear()
{
    if (!FOwns) {
        ForgetAll();
        return;
    }
    const TBulkChange reset(*this);
    for (TEntries* view : FViews)
        view->ForgetAll();
    const int start = FCount;
    // Freed from the last entry on, progress running down towards 0.
    while (FCount > 0) {
        TEntry* entry = At(FCount - 1);
        if (entry->FChanged)
            --FChangedEntries;
        entry->~TEntry();
        --FCount;
        SetProgress(static_cast<int>(static_cast<double>(FCount) / static_cast<double>(start) * 100.0));
    }
    FreeAll();
}

void TEntries::Reserve(int count)
{
    if (count <= 0)
        return;
    if (!FOwns || FItemsMade) {
        FItems.reserve(size_t(count));
    } else {
        const size_t blocks = size_t((count + EntriesPerBlock - 1) / EntriesPerBlock);
        FBlocks.reserve(blocks);
        // The blocks still to come, in as few runs as can be.
        if (blocks > FBlocks.size())
            FNextRunBlocks = std::max(FNextRunBlocks, std::min(blocks - FBlocks.size(), MostReservedRunBlocks));
    }
}

int TEntries::IndexOf(const TEntry* entry) const
{
    if (FOwns && !FItemsMade) {
        // Found by address: only the blocks are searched, never the entries.
        const auto address = reinterpret_cast<uintptr_t>(entry);
        for (size_t b = 0; b < FBlocks.size(); ++b) {
            const auto first = reinterpret_cast<uintptr_t>(FBlocks[b]->Slots());
            if (address >= first && address < first + EntriesPerBlock * sizeof(TEntry)) {
                const size_t offset = address - first;
                const int index = int(b) * EntriesPerBlock + int(offset / sizeof(TEntry));
                return offset % sizeof(TEntry) == 0 && index < FCount ? index : -1;
            }
        }
        return -1;
    }
    Compact();
    const auto it = std::find(FItems.begin(), FItems.end(), entry);
    return it == FItems.end() ? -1 : int(it - FItems.begin());
}

void TEntries::Sort(const TEntryCompare& compare)
{
    if (Count() > 1)
        SortRange(compare, 0, Count() - 1);
}

void TEntries::SortRange(const TEntryCompare& compare, int first, int last)
{
    // The assertion names the line existing error reports point at.
    AssertOrThrow(first < last, QStringLiteral("Assertion failure"), "uModel", 383);
    AssertOrThrow(first >= 0 && last < Count(), QStringLiteral("List index out of bounds"), "uModel", __LINE__);
    const TBulkChange reset(*this);
    MakeItems();
    QuickSortItems(FItems.data(), first, last, [&compare](const TEntry* a, const TEntry* b) { return compare(*a, *b); });
    FListChanged = true;
}

void TEntries::SortByKey(const std::function<double(const TEntry&)>& key)
{
    const int n = Count();
    if (n < 2)
        return;
    const TBulkChange reset(*this);
    MakeItems();
    struct TKeyed {
        double Key;
        TEntry* Entry;
    };
    std::vector<TKeyed> keyed(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        keyed[size_t(i)] = {key(*FItems[size_t(i)]), FItems[size_t(i)]};
    QuickSortItems(keyed.data(), 0, n - 1, [](const TKeyed& a, const TKeyed& b) { return a.Key < b.Key ? -1 : a.Key > b.Key ? 1 : 0; });
    for (int i = 0; i < n; ++i)
        FItems[size_t(i)] = keyed[size_t(i)].Entry;
    FListChanged = true;
}

bool TEntries::Changed() const
{
    if (FListChanged || Count() != FSavedCount)
        return true;
    if (FOwns)
        return FChangedEntries > 0;
    // A view's entries are counted by their source, with the source's other entries.
    for (int i = 0; i < Count(); ++i)
        if (At(i)->Changed())
            return true;
    return false;
}

void TEntries::ResetChanged()
{
    FSavedCount = Count();
    FListChanged = false;
    if (FOwns) {
        for (int i = 0; i < FCount; ++i)
            At(i)->FChanged = false;
        FChangedEntries = 0;
    } else {
        for (int i = 0; i < Count(); ++i)
            At(i)->ResetChanged();
    }
}

void TEntries::SetProgress(int percent)
{
    if (percent == FLastProgress)
        return;
    FLastProgress = percent;
    if (OnProgress)
        OnProgress(percent);
}

void TEntries::ExportToStream(TMemoryStream& stream, TConvertToBase& exporter)
{
    exporter.OnProgress = OnProgress;
    exporter.Convert(*this, stream);
}

void TEntries::SaveToStream(TMemoryStream& stream, const QString& extension, const QString& formatID)
{
    const std::unique_ptr<TConvertToBase> exporter = TConvertToBase::CreateConverter(extension, formatID);
    ExportToStream(stream, *exporter);
}

void TEntries::LoadFromStream(TMemoryStream& stream, const QString& extension, const QString& formatID, bool append)
{
    const std::unique_ptr<TConvertFromBase> importer = TConvertFromBase::CreateConverter(extension, formatID);
    // The importer appends entry by entry; the listener hears of the whole load once.
    const TBulkChange reset(*this);
    if (!append) {
        if (FOwns) {
            for (TEntries* view : FViews)
                view->ForgetAll();
            FreeAll();
        } else {
            ForgetAll();
        }
    }
    importer->OnProgress = OnProgress;
    importer->Convert(*this, stream);
}

bool TEntries::FitsPrecision(int n) const
{
    double f = 1;
    for (int i = 0; i < n; ++i)
        f *= 10;
    const long double nearZero = 1E-8L;
    for (int i = 0; i < Count(); ++i) {
        const TEntry* e = At(i);
        for (double value : {e->GetLongitude(), e->GetLatitude()}) {
            const double x = f * value;
            if (std::fabs(static_cast<long double>(std::nearbyint(x)) - x) > nearZero)
                return false;
        }
    }
    return true;
}
