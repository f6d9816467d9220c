// The POI record and the POI list.
#include "model/uModel.h"

#include "core/uGeneral.h"
#include "core/uSettings.h"
#include "core/uStream.h"
#include "formats/uConvertBase.h"

#include <QLocale>

#include <algorithm>
#include <cmath>

namespace {

const std::string EmptyText;

// value rounded to precision decimals: value / 10^-p to the nearest integer (ties to even),
// times 10^-p, in extended precision as the record's users expect.
double RoundToPrecision(long double value, int precision)
{
    long double factor = 1.0L;
    for (int i = 0; i < precision; ++i)
        factor *= 10.0L;
    factor = 1.0L / factor;
    // rintl rounds as nearbyintl does in the default mode, but inline: every getter call runs this.
    return static_cast<double>(std::rintl(value / factor) * factor);
}

long double Magnitude(uint8_t deg, uint8_t min, uint8_t sec, double rem)
{
    return static_cast<long double>(deg) + static_cast<long double>(min) / 60.0L
        + static_cast<long double>(sec) / 3600.0L + static_cast<long double>(rem) / 216000.0L;
}

// Trunc(a) for 0 <= a, capped at 255. The same value as truncating the extended number itself,
// without the slow extended-to-integer conversion: rounding a to double can only carry it up
// to the next whole number, which the comparison takes back.
uint8_t TruncByte(long double a)
{
    if (a >= 255.0L)
        return 255;
    int t = static_cast<int>(static_cast<double>(a));
    if (static_cast<long double>(t) > a)
        --t;
    return static_cast<uint8_t>(t);
}

struct TParts {
    uint8_t Deg, Min, Sec;
    double Rem;
    bool Negative;
};

// Splits decimal degrees into the record's parts; the differences are formed in double and
// multiplied in extended precision.
TParts Split(double v, double limit)
{
    if (!std::isfinite(v))
        v = 0;
    // Beyond the limit Normalize would clamp anyway; clamping first keeps 256+ out of the byte.
    v = std::clamp(v, -limit, limit);
    TParts p{};
    p.Negative = v < 0;
    const double mag = std::fabs(v);
    p.Deg = static_cast<uint8_t>(std::trunc(mag));
    long double a = static_cast<long double>(mag - p.Deg) * 60.0L;
    p.Min = TruncByte(a);
    a = static_cast<long double>(static_cast<double>(a - p.Min)) * 60.0L;
    p.Sec = TruncByte(a);
    p.Rem = static_cast<double>(static_cast<long double>(static_cast<double>(a - p.Sec)) * 60.0L);
    return p;
}

// Delphi's QuickSort on a pointer array; kept exactly, since the order is visible in output files.
template <typename Vec>
void QuickSortVec(Vec& items, int l, int r, const TEntryCompare& compare)
{
    auto deref = [](const auto& p) -> const TEntry& { return *p; };
    int i;
    do {
        i = l;
        int j = r;
        const TEntry* pivot = &deref(items[(l + r) >> 1]);
        do {
            while (compare(deref(items[i]), *pivot) < 0)
                ++i;
            while (compare(deref(items[j]), *pivot) > 0)
                --j;
            if (i <= j) {
                std::swap(items[i], items[j]);
                ++i;
                --j;
            }
        } while (i <= j);
        if (l < j)
            QuickSortVec(items, l, j, compare);
        l = i;
    } while (i < r);
}

} // namespace

int CoordinatePrecision() { return GetSettings().Precision; }

TEntry::TEntry(const TEntry& other)
    : FLonRem(other.FLonRem)
    , FLatRem(other.FLatRem)
    , FDescription(other.FDescription)
    , FExtra(other.FExtra ? std::make_unique<std::string>(*other.FExtra) : nullptr)
    , FLonDeg(other.FLonDeg)
    , FLonMin(other.FLonMin)
    , FLonSec(other.FLonSec)
    , FLonWest(other.FLonWest)
    , FLatDeg(other.FLatDeg)
    , FLatMin(other.FLatMin)
    , FLatSec(other.FLatSec)
    , FLatSouth(other.FLatSouth)
    , FChanged(other.FChanged)
{
    IpEnabled = other.IpEnabled;
    IpStopOver = other.IpStopOver;
    IpDeparture = other.IpDeparture;
}

TEntry& TEntry::operator=(const TEntry& other)
{
    if (this == &other)
        return *this;
    FLonRem = other.FLonRem;
    FLatRem = other.FLatRem;
    FDescription = other.FDescription;
    FExtra = other.FExtra ? std::make_unique<std::string>(*other.FExtra) : nullptr;
    FLonDeg = other.FLonDeg;
    FLonMin = other.FLonMin;
    FLonSec = other.FLonSec;
    FLonWest = other.FLonWest;
    FLatDeg = other.FLatDeg;
    FLatMin = other.FLatMin;
    FLatSec = other.FLatSec;
    FLatSouth = other.FLatSouth;
    FChanged = other.FChanged;
    IpEnabled = other.IpEnabled;
    IpStopOver = other.IpStopOver;
    IpDeparture = other.IpDeparture;
    return *this;
}

double TEntry::GetLongitude() const
{
    const double v = RoundToPrecision(Magnitude(FLonDeg, FLonMin, FLonSec, FLonRem), CoordinatePrecision());
    return FLonWest ? -v : v;
}

double TEntry::GetLatitude() const
{
    const double v = RoundToPrecision(Magnitude(FLatDeg, FLatMin, FLatSec, FLatRem), CoordinatePrecision());
    return FLatSouth ? -v : v;
}

void TEntry::SetLongitude(double value)
{
    if (value == GetLongitude())
        return;
    const TParts p = Split(value, 180);
    FLonWest = p.Negative;
    FLonDeg = p.Deg;
    FLonMin = p.Min;
    FLonSec = p.Sec;
    FLonRem = p.Rem;
    Normalize();
    FChanged = true;
}

void TEntry::SetLatitude(double value)
{
    if (value == GetLatitude())
        return;
    const TParts p = Split(value, 90);
    FLatSouth = p.Negative;
    FLatDeg = p.Deg;
    FLatMin = p.Min;
    FLatSec = p.Sec;
    FLatRem = p.Rem;
    Normalize();
    FChanged = true;
}

void TEntry::Normalize()
{
    // A magnitude a whole degree below the limit cannot round past it; the rounding getters
    // (the costly part) are asked only near the limits.
    if (Magnitude(FLatDeg, FLatMin, FLatSec, FLatRem) < 89.0L && Magnitude(FLonDeg, FLonMin, FLonSec, FLonRem) < 179.0L)
        return;
    if (std::fabs(GetLatitude()) > 90) {
        FLatDeg = 90;
        FLatMin = 0;
        FLatSec = 0;
        FLatRem = 0;
    }
    if (std::fabs(GetLongitude()) > 180) {
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
    FChanged = true;
}

void TEntry::SetLonMin(uint8_t value)
{
    if (value == FLonMin)
        return;
    FLonMin = value;
    Normalize();
    FChanged = true;
}

void TEntry::SetLonSec(uint8_t value)
{
    if (value == FLonSec)
        return;
    FLonSec = value;
    FLonRem = 0;
    Normalize();
    FChanged = true;
}

void TEntry::SetLonWest(bool value)
{
    if (value == FLonWest)
        return;
    FLonWest = value;
    FChanged = true;
}

void TEntry::SetLatDeg(uint8_t value)
{
    value = std::min<uint8_t>(value, 90);
    if (value == FLatDeg)
        return;
    FLatDeg = value;
    Normalize();
    FChanged = true;
}

void TEntry::SetLatMin(uint8_t value)
{
    if (value == FLatMin)
        return;
    FLatMin = value;
    Normalize();
    FChanged = true;
}

void TEntry::SetLatSec(uint8_t value)
{
    if (value == FLatSec)
        return;
    FLatSec = value;
    FLatRem = 0;
    Normalize();
    FChanged = true;
}

void TEntry::SetLatSouth(bool value)
{
    if (value == FLatSouth)
        return;
    FLatSouth = value;
    FChanged = true;
}

void TEntry::SetDescription(std::string value)
{
    if (value == FDescription)
        return;
    FDescription = std::move(value);
    FChanged = true;
}

const std::string& TEntry::GetExtra() const { return FExtra ? *FExtra : EmptyText; }

void TEntry::SetExtra(std::string value)
{
    if (value == GetExtra())
        return;
    if (value.empty())
        FExtra.reset();
    else
        FExtra = std::make_unique<std::string>(std::move(value));
    FChanged = true;
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
    FChanged = true;
}

void TEntry::AssignTo(TEntry& dest) const
{
    if (&dest == this) {
        dest.FChanged = true;
        return;
    }
    dest = *this;
    dest.FChanged = true;
}

QString TEntry::GetLongitudeStr() const { return QLocale().toString(GetLongitude(), 'f', CoordinatePrecision()); }

QString TEntry::GetLatitudeStr() const { return QLocale().toString(GetLatitude(), 'f', CoordinatePrecision()); }

// --- TEntries --------------------------------------------------------------------------------

TEntries::TEntries() = default;

TEntries::~TEntries()
{
    for (TEntries* view : FViews)
        view->DetachSource();
    if (FSource) {
        auto& views = FSource->FViews;
        views.erase(std::remove(views.begin(), views.end(), this), views.end());
    }
}

std::unique_ptr<TEntries> TEntries::CreateView(TEntries& source)
{
    auto view = std::make_unique<TEntries>();
    view->FOwns = false;
    view->FSource = &source;
    source.FViews.push_back(view.get());
    return view;
}

void TEntries::DetachSource()
{
    FSource = nullptr;
    FViewItems.clear();
    FForgotten.clear();
}

void TEntries::ForgetEntry(const TEntry* entry) { FForgotten.insert(entry); }

void TEntries::ForgetAll()
{
    FViewItems.clear();
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
    std::erase_if(FViewItems, [this](TEntry* e) { return FForgotten.count(e) > 0; });
    FForgotten.clear();
}

TEntry* TEntries::AtChecked(int index) const
{
    Compact();
    // The message is built only on failure: this runs once per entry access.
    if (index < 0 || index >= Count())
        throw EAssertionFailed(QStringLiteral("List index out of bounds (%1)").arg(index), "uModel", __LINE__);
    return FOwns ? FOwned[size_t(index)].get() : FViewItems[size_t(index)];
}

TEntry& TEntries::Add(std::string description, std::string extra, double longitude, double latitude)
{
    auto entry = std::make_unique<TEntry>();
    entry->SetLongitude(longitude);
    entry->SetLatitude(latitude);
    entry->SetDescription(std::move(description));
    entry->SetExtra(std::move(extra));
    return AddEntry(std::move(entry), true);
}

TEntry& TEntries::AddEntry(std::unique_ptr<TEntry> entry, bool markDeparture)
{
    AssertOrThrow(FOwns && entry, QStringLiteral("AddEntry of an owned entry to a view"), "uModel", __LINE__);
    if (markDeparture && FOwned.empty())
        entry->IpDeparture = true;
    FOwned.push_back(std::move(entry));
    return *FOwned.back();
}

void TEntries::AddEntry(TEntry* entry, bool markDeparture)
{
    AssertOrThrow(!FOwns && entry && FSource, QStringLiteral("AddEntry of a borrowed entry to an owning list"), "uModel", __LINE__);
    Compact();
    if (markDeparture && FViewItems.empty())
        entry->IpDeparture = true;
    FViewItems.push_back(entry);
}

void TEntries::Insert(int index, std::unique_ptr<TEntry> entry)
{
    AssertOrThrow(FOwns && entry && index >= 0 && index <= Count(), QStringLiteral("Insert index out of bounds"), "uModel", __LINE__);
    FOwned.insert(FOwned.begin() + index, std::move(entry));
    FSavedCount = Count();
    FListChanged = true;
}

void TEntries::Insert(int index, TEntry* entry)
{
    Compact();
    AssertOrThrow(!FOwns && entry && FSource && index >= 0 && index <= Count(), QStringLiteral("Insert index out of bounds"), "uModel", __LINE__);
    FViewItems.insert(FViewItems.begin() + index, entry);
    FSavedCount = Count();
    FListChanged = true;
}

void TEntries::Delete(int index)
{
    TEntry* entry = At(index);
    if (FOwns) {
        NotifyRemoved(entry);
        FOwned.erase(FOwned.begin() + index);
    } else {
        FViewItems.erase(FViewItems.begin() + index);
    }
}

void TEntries::DeleteIndices(const std::vector<int>& indices)
{
    if (indices.empty())
        return;
    At(indices.front());
    At(indices.back());
    // Moves every kept entry once; removing one at a time would move the tail per entry.
    auto squeeze = [&](auto& items, auto&& release) {
        size_t write = size_t(indices.front());
        size_t next = 0;
        for (size_t read = write; read < items.size(); ++read) {
            if (next < indices.size() && size_t(indices[next]) == read) {
                release(items[read]);
                ++next;
                continue;
            }
            items[write++] = std::move(items[read]);
        }
        items.resize(write);
    };
    if (FOwns) {
        squeeze(FOwned, [this](std::unique_ptr<TEntry>& entry) {
            NotifyRemoved(entry.get());
            entry.reset();
        });
    } else {
        squeeze(FViewItems, [](TEntry*&) {});
    }
    FListChanged = true;
}

std::unique_ptr<TEntry> TEntries::Extract(int index)
{
    At(index);
    AssertOrThrow(FOwns, QStringLiteral("Extract from a view"), "uModel", __LINE__);
    std::unique_ptr<TEntry> entry = std::move(FOwned[size_t(index)]);
    FOwned.erase(FOwned.begin() + index);
    NotifyRemoved(entry.get());
    return entry;
}

void TEntries::Clear()
{
    if (!FOwns) {
        ForgetAll();
        return;
    }
    for (TEntries* view : FViews)
        view->ForgetAll();
    const size_t start = FOwned.size();
    while (!FOwned.empty()) {
        FOwned.pop_back();
        SetProgress(static_cast<int>(static_cast<double>(FOwned.size()) / static_cast<double>(start) * 100.0));
    }
}

void TEntries::Reserve(int count)
{
    if (count > 0) {
        if (FOwns)
            FOwned.reserve(size_t(count));
        else
            FViewItems.reserve(size_t(count));
    }
}


int TEntries::Count() const
{
    if (FOwns)
        return int(FOwned.size());
    Compact();
    return int(FViewItems.size());
}

int TEntries::IndexOf(const TEntry* entry) const
{
    if (FOwns) {
        for (size_t i = 0; i < FOwned.size(); ++i)
            if (FOwned[i].get() == entry)
                return int(i);
        return -1;
    }
    Compact();
    const auto it = std::find(FViewItems.begin(), FViewItems.end(), entry);
    return it == FViewItems.end() ? -1 : int(it - FViewItems.begin());
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
    QuickSortEntries(first, last, compare);
    FListChanged = true;
}

void TEntries::QuickSortEntries(int l, int r, const TEntryCompare& compare)
{
    if (FOwns)
        QuickSortVec(FOwned, l, r, compare);
    else
        QuickSortVec(FViewItems, l, r, compare);
}

bool TEntries::Changed() const
{
    if (FListChanged || Count() != FSavedCount)
        return true;
    for (int i = 0; i < Count(); ++i)
        if (At(i)->Changed())
            return true;
    return false;
}

void TEntries::ResetChanged()
{
    FSavedCount = Count();
    FListChanged = false;
    for (int i = 0; i < Count(); ++i)
        At(i)->ResetChanged();
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
    if (!append) {
        if (FOwns) {
            for (TEntries* view : FViews)
                view->ForgetAll();
            FOwned.clear();
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
