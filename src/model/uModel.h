// The POI record and the POI list.
#pragma once

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

class TConvertToBase;
class TEntries;
class TMemoryStream;

// Decimals of coordinates in editing and text formats: the active option source's Precision
// (the settings' "Precision", 4..6).
int CoordinatePrecision();

// One POI. Each coordinate is kept as degrees, minutes, seconds (bytes), a remainder in sixtieths
// of a second and a hemisphere flag; the decimal degrees are derived and rounded to
// CoordinatePrecision. Texts are 8-bit, as the file formats carry them.
//
// An entry lives on its own (on the stack or the heap; it then owns its texts) or inside a
// TEntries list, which keeps it in one of its blocks and its longer texts in its own text store.
// An entry in a list keeps its address until the list frees it; copying one out gives an entry
// on its own.
class TEntry {
public:
    TEntry()
        : IpEnabled(true)
        , IpStopOver(false)
        , IpDeparture(false)
    {
    }
    TEntry(const TEntry& other);
    TEntry& operator=(const TEntry& other);
    ~TEntry() { FreeText(); }

    // Decimal degrees, east and north positive, rounded to CoordinatePrecision (ties to even).
    double GetLongitude() const;
    double GetLatitude() const;
    // Non-finite values count as 0; magnitudes beyond 180 (90) are clamped before splitting.
    void SetLongitude(double value);
    void SetLatitude(double value);
    // The same with the precision given: a conversion's threads use the one it took at its start.
    double GetLongitude(int precision) const;
    double GetLatitude(int precision) const;
    void SetLongitude(double value, int precision);
    void SetLatitude(double value, int precision);

    uint8_t GetLonDeg() const { return FLonDeg; }
    uint8_t GetLonMin() const { return FLonMin; }
    uint8_t GetLonSec() const { return FLonSec; }
    bool GetLonWest() const { return FLonWest; }
    uint8_t GetLatDeg() const { return FLatDeg; }
    uint8_t GetLatMin() const { return FLatMin; }
    uint8_t GetLatSec() const { return FLatSec; }
    bool GetLatSouth() const { return FLatSouth; }
    // Remainders below the second, in sixtieths of a second.
    double LonRemainder() const { return FLonRem; }
    double LatRemainder() const { return FLatRem; }

    void SetLonDeg(uint8_t value);  // clamped to 180
    void SetLonMin(uint8_t value);
    void SetLonSec(uint8_t value);  // also clears the longitude remainder
    void SetLonWest(bool value);
    void SetLatDeg(uint8_t value);  // clamped to 90
    void SetLatMin(uint8_t value);
    void SetLatSec(uint8_t value);  // also clears the latitude remainder
    void SetLatSouth(bool value);

    // The texts stay valid until the entry's texts change or the entry is freed.
    std::string_view GetDescription() const
    {
        return FTextKind == TextOutside ? std::string_view(FText.Outside.Data, FText.Outside.DescriptionSize)
                                        : std::string_view(FText.Inside, FTextKind);
    }
    void SetDescription(std::string_view value);
    std::string_view GetExtra() const
    {
        return FTextKind == TextOutside
            ? std::string_view(FText.Outside.Data + FText.Outside.DescriptionSize, FText.Outside.ExtraSize)
            : std::string_view();
    }
    void SetExtra(std::string_view value);

    // Bit 0 IpEnabled, bit 1 IpStopOver, bit 2 IpDeparture.
    int32_t GetFlag() const;
    void SetFlag(int32_t value);

    bool Changed() const { return FChanged; }
    void ResetChanged();

    // Copies coordinates, texts and flags into dest and marks dest changed.
    void AssignTo(TEntry& dest) const;

    // Fixed-point text with CoordinatePrecision decimals in the user's locale (for display).
    QString GetLongitudeStr() const;
    QString GetLatitudeStr() const;

    // Clamps coordinates beyond 90 / 180 to exactly that.
    void Normalize();
    void Normalize(int precision);

private:
    friend class TEntries;

    // Descriptions up to this length without Extra are kept inside the record.
    static constexpr uint8_t InsideCapacity = 16;
    static constexpr uint8_t TextOutside = 0xFF;

    void MarkChanged();
    void SetChangedState(bool changed);
    void SetTexts(std::string_view description, std::string_view extra);
    // Puts the texts in place: inside the record, or in storage (nullptr: a heap block the entry owns).
    void StoreTexts(std::string_view description, std::string_view extra, TEntries* store);
    void FreeText();
    void CopyFields(const TEntry& other);

    double FLonRem = 0;
    double FLatRem = 0;
    union {
        char Inside[InsideCapacity];
        struct {
            const char* Data;  // the description, then Extra
            uint32_t DescriptionSize;
            uint32_t ExtraSize;
        } Outside;
    } FText {};
    uint8_t FLonDeg = 0, FLonMin = 0, FLonSec = 0;
    uint8_t FLatDeg = 0, FLatMin = 0, FLatSec = 0;
    // The description's length when kept inside, else TextOutside.
    uint8_t FTextKind = 0;
    bool FLonWest : 1 = false;
    bool FLatSouth : 1 = false;
    bool FChanged : 1 = false;
    bool FInList : 1 = false;     // kept in a list's block
    bool FOwnsText : 1 = false;   // the outside texts are a heap block of this entry's

public:
    // Itinerary flags; written directly they leave Changed alone.
    bool IpEnabled : 1;
    bool IpStopOver : 1;
    bool IpDeparture : 1;
};

// Compare function of Sort: negative, zero or positive.
using TEntryCompare = std::function<int(const TEntry&, const TEntry&)>;

// Told before and after every change of a list's order or count, so a table model over the list
// can tell its views in time. Changes of an entry's own values are not reported here.
class TEntriesListener {
public:
    virtual ~TEntriesListener() = default;
    virtual void EntriesAboutToBeInserted(int first, int last) = 0;
    virtual void EntriesInserted() = 0;
    virtual void EntriesAboutToBeRemoved(int first, int last) = 0;
    virtual void EntriesRemoved() = 0;
    // Around changes of many entries at once (clearing, sorting, loading).
    virtual void EntriesAboutToBeReset() = 0;
    virtual void EntriesReset() = 0;
};

// An ordered list of POIs: a document's owning list, or a view over another list's entries.
//
// An owning list keeps its entries in blocks of its own (no heap object per POI) and their longer
// texts in a text store of its own; entries keep their addresses while they are in the list.
// One POI costs the 40 bytes of its slot; once the list's order is no longer the order it was
// filled in (an insert, a delete, a sort), 8 more for its place in the item table; a description
// longer than 16 bytes, or any Extra, adds its own bytes in the text store.
//
// Views: a view is created over its source list (CreateView) and holds only entries of that
// source. The source tells its views when it frees an entry (Delete, Clear, destruction), so a
// view never hands out a freed entry; the view forgets such entries before its next operation.
class TEntries {
public:
    TEntries();
    ~TEntries();
    TEntries(const TEntries&) = delete;
    TEntries& operator=(const TEntries&) = delete;

    // A list that does not own its entries, over source's entries.
    static std::unique_ptr<TEntries> CreateView(TEntries& source);
    bool IsView() const { return !FOwns; }

    std::function<void(int)> OnProgress;
    // At most one; owning lists only. The listener must outlive its registration.
    void SetListener(TEntriesListener* listener);
    // Around many changes at once (deleting a selection, dropping POIs): the listener hears of
    // one reset around all of them instead of each insert and removal. Scopes nest.
    class TBulkChange {
    public:
        explicit TBulkChange(TEntries& list);
        ~TBulkChange();
        TBulkChange(const TBulkChange&) = delete;
        TBulkChange& operator=(const TBulkChange&) = delete;

    private:
        TEntries& FList;
    };

    // Creates an entry (longitude, latitude, description, extra set in that order) and appends it
    // with AddEntry(entry, true). Owning lists only.
    TEntry& Add(std::string_view description, std::string_view extra, double longitude, double latitude);
    // The same with the coordinates rounded at the precision given (a conversion's threads).
    TEntry& Add(std::string_view description, std::string_view extra, double longitude, double latitude, int precision);
    // Appends a copy of entry (the given object itself is freed); with markDeparture an entry
    // appended to an empty list gets IpDeparture set. Returns the entry in the list.
    TEntry& AddEntry(std::unique_ptr<TEntry> entry, bool markDeparture);  // owning lists
    TEntry& AddEntry(const TEntry& entry, bool markDeparture);            // owning lists
    void AddEntry(TEntry* entry, bool markDeparture);                      // views
    // Moves every entry of source (an owning list without views) to the end of this owning list
    // with their blocks and texts, copying none; source is left empty. Entries keep their values,
    // their Changed state and their addresses.
    void AddAll(TEntries& source);
    // Lists filled by appending whose counts are multiples of this (but the last) join with
    // AddAll as a list filled in one go: without the 8 bytes a POI of an item table.
    static constexpr int BlockEntries() { return EntriesPerBlock; }
    void Insert(int index, std::unique_ptr<TEntry> entry);  // owning lists
    void Insert(int index, TEntry* entry);                  // views
    // Removes entry index; an owning list frees it.
    void Delete(int index);
    // Removes the entries at indices (ascending, each once, all in range) in one pass over the list.
    void DeleteIndices(const std::vector<int>& indices);
    // Removes entry index of an owning list and returns a copy of it on its own.
    std::unique_ptr<TEntry> Extract(int index);
    void Clear();
    void Reserve(int count);

    TEntry& GetItem(int index) const { return *At(index); }
    TEntry& operator[](int index) const { return GetItem(index); }
    int Count() const
    {
        if (FOwns)
            return FCount;
        Compact();
        return int(FItems.size());
    }
    int IndexOf(const TEntry* entry) const;

    void Sort(const TEntryCompare& compare);
    void SortRange(const TEntryCompare& compare, int first, int last);
    // Sort with the comparison of numbers taken once from every entry (smaller first): the order
    // Sort gives with a comparer of key(a) and key(b), without calling key per comparison.
    void SortByKey(const std::function<double(const TEntry&)>& key);

    // O(1) on an owning list.
    bool Changed() const;
    void ResetChanged();
    void SetProgress(int percent);

    // Writes all entries with the exporter / the exporter registered for the extension.
    void ExportToStream(TMemoryStream& stream, TConvertToBase& exporter);
    void SaveToStream(TMemoryStream& stream, const QString& extension, const QString& formatID);
    // Reads with the importer registered for the extension; without append the list is emptied
    // first. Entries read before a failure stay.
    void LoadFromStream(TMemoryStream& stream, const QString& extension, const QString& formatID, bool append);

    // True when every coordinate has at most n decimals.
    bool FitsPrecision(int n) const;

private:
    friend class TEntry;
    struct TBlock;
    struct TBlockRun;

    static TEntries* ListOf(const TEntry* entry);
    TEntry* NewSlot();
    void* NewBlockMemory();
    static void FreeBlockMemory(TBlock* block);
    void ReleaseRun();
    void FreeSlot(TEntry* entry);
    void FreeSlotMemory(TEntry* slot);
    TEntry& Place(const TEntry& entry, bool markDeparture);
    void Append(TEntry* entry);
    // Space for n bytes of text that lives as long as the list's entries.
    char* TextSpace(size_t n);
    void FreeAll();
    void MakeItems();
    static constexpr size_t BlockBytes = 64 * 1024;
    // Entries begin this far into a block, after its header.
    static constexpr size_t BlockHeaderBytes = 64;
    static constexpr int EntriesPerBlock = int((BlockBytes - BlockHeaderBytes) / sizeof(TEntry));
    TEntry* SlotAt(int index) const
    {
        return reinterpret_cast<TEntry*>(reinterpret_cast<char*>(FBlocks[size_t(index / EntriesPerBlock)]) + BlockHeaderBytes)
            + index % EntriesPerBlock;
    }

    void Compact() const;
    void ForgetEntry(const TEntry* entry);
    void ForgetAll();
    void NotifyRemoved(const TEntry* entry);
    void DetachSource();
    void AboutToInsert(int first, int last);
    void Inserted();
    void AboutToRemove(int index);
    void Removed();

    TEntry* At(int index) const
    {
        if (FOwns && index >= 0 && index < FCount)
            return FItemsMade ? FItems[size_t(index)] : SlotAt(index);
        return AtChecked(index);
    }
    TEntry* AtChecked(int index) const;

    bool FOwns = true;
    int FLastProgress = 0;
    int FSavedCount = 0;
    bool FListChanged = false;
    // Entries of this (owning) list whose Changed is set.
    int FChangedEntries = 0;
    int FCount = 0;
    // An owning list whose order is still that of its slots (filled by appending only) needs no
    // item table: entry i is slot i. The table is made on the first change of order.
    bool FItemsMade = false;
    mutable std::vector<TEntry*> FItems;
    std::vector<TBlock*> FBlocks;
    // The run new blocks are taken from: the next one is block FRunNext of FRunBlocks.
    TBlockRun* FRun = nullptr;
    size_t FRunNext = 0;
    size_t FRunBlocks = 0;
    size_t FNextRunBlocks = 1;
    int FUsedInLastBlock = 0;
    TEntry* FFreeSlots = nullptr;
    std::vector<std::unique_ptr<char[]>> FTextChunks;
    char* FTextNext = nullptr;
    size_t FTextLeft = 0;
    TEntriesListener* FListener = nullptr;
    int FResetDepth = 0;
    mutable std::unordered_set<const TEntry*> FForgotten;
    TEntries* FSource = nullptr;
    std::vector<TEntries*> FViews;
};
