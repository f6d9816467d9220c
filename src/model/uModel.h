// The POI record and the POI list.
#pragma once

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

class TConvertToBase;
class TMemoryStream;

// Decimals of coordinates in editing and text formats: the settings' Precision (4..6).
int CoordinatePrecision();

// One POI. Each coordinate is kept as degrees, minutes, seconds (bytes), a remainder in sixtieths
// of a second and a hemisphere flag; the decimal degrees are derived and rounded to
// CoordinatePrecision. Texts are 8-bit, as the file formats carry them.
class TEntry {
public:
    TEntry() = default;
    TEntry(const TEntry& other);
    TEntry& operator=(const TEntry& other);

    // Decimal degrees, east and north positive, rounded to CoordinatePrecision (ties to even).
    double GetLongitude() const;
    double GetLatitude() const;
    // Non-finite values count as 0; magnitudes beyond 180 (90) are clamped before splitting.
    void SetLongitude(double value);
    void SetLatitude(double value);

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

    const std::string& GetDescription() const { return FDescription; }
    void SetDescription(std::string value);
    const std::string& GetExtra() const;
    void SetExtra(std::string value);

    // Itinerary flags; written directly they leave Changed alone.
    bool IpEnabled = true;
    bool IpStopOver = false;
    bool IpDeparture = false;
    // Bit 0 IpEnabled, bit 1 IpStopOver, bit 2 IpDeparture.
    int32_t GetFlag() const;
    void SetFlag(int32_t value);

    bool Changed() const { return FChanged; }
    void ResetChanged() { FChanged = false; }

    // Copies coordinates, texts and flags into dest and marks dest changed.
    void AssignTo(TEntry& dest) const;

    // Fixed-point text with CoordinatePrecision decimals in the user's locale (for display).
    QString GetLongitudeStr() const;
    QString GetLatitudeStr() const;

    // Clamps coordinates beyond 90 / 180 to exactly that.
    void Normalize();

private:
    double FLonRem = 0;
    double FLatRem = 0;
    std::string FDescription;
    // Most formats carry no extra data; an absent pointer keeps the record small.
    std::unique_ptr<std::string> FExtra;
    uint8_t FLonDeg = 0, FLonMin = 0, FLonSec = 0;
    bool FLonWest = false;
    uint8_t FLatDeg = 0, FLatMin = 0, FLatSec = 0;
    bool FLatSouth = false;
    bool FChanged = false;
};

// Compare function of Sort: negative, zero or positive.
using TEntryCompare = std::function<int(const TEntry&, const TEntry&)>;

// An ordered list of POIs: a document's owning list, or a view over another list's entries.
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

    // Creates an entry (longitude, latitude, description, extra set in that order) and appends it
    // with AddEntry(entry, true). Owning lists only.
    TEntry& Add(std::string description, std::string extra, double longitude, double latitude);
    // Appends; with markDeparture an entry appended to an empty list gets IpDeparture set.
    TEntry& AddEntry(std::unique_ptr<TEntry> entry, bool markDeparture);  // owning lists
    void AddEntry(TEntry* entry, bool markDeparture);                     // views
    void Insert(int index, std::unique_ptr<TEntry> entry);               // owning lists
    void Insert(int index, TEntry* entry);                               // views
    // Removes entry index; an owning list frees it.
    void Delete(int index);
    // Removes the entries at indices (ascending, each once, all in range) in one pass over the list.
    void DeleteIndices(const std::vector<int>& indices);
    // Removes and returns entry index of an owning list, without freeing it.
    std::unique_ptr<TEntry> Extract(int index);
    void Clear();
    void Reserve(int count);

    TEntry& GetItem(int index) const { return *At(index); }
    TEntry& operator[](int index) const { return GetItem(index); }
    int Count() const;
    int IndexOf(const TEntry* entry) const;

    void Sort(const TEntryCompare& compare);
    void SortRange(const TEntryCompare& compare, int first, int last);

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
    void Compact() const;
    void ForgetEntry(const TEntry* entry);
    void ForgetAll();
    void NotifyRemoved(const TEntry* entry);
    void DetachSource();
    void QuickSortEntries(int l, int r, const TEntryCompare& compare);
    // Owning lists answer in line: readers and writers call this once or more per entry.
    TEntry* At(int index) const
    {
        if (FOwns && index >= 0 && size_t(index) < FOwned.size())
            return FOwned[size_t(index)].get();
        return AtChecked(index);
    }
    TEntry* AtChecked(int index) const;

    bool FOwns = true;
    int FLastProgress = 0;
    int FSavedCount = 0;
    bool FListChanged = false;
    std::vector<std::unique_ptr<TEntry>> FOwned;
    mutable std::vector<TEntry*> FViewItems;
    mutable std::unordered_set<const TEntry*> FForgotten;
    TEntries* FSource = nullptr;
    std::vector<TEntries*> FViews;
};
