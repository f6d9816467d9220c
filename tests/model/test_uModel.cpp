// Tests of the POI record and the POI list.
#include "model/uModel.h"

#include "core/uStream.h"
#include "formats/uConvertBase.h"
#include "formats/uFormats.h"
#include "support/OptionSupport.h"
#include "support/ParamNames.h"
#include "support/TestSupport.h"

#include <cmath>
#include <random>

namespace {

struct TSetCase {
    double Input;
    bool Latitude;
    int Deg, Min, Sec;
    double Rem;
    bool Negative;
    double Back;
};

std::string SetCaseName(const TSetCase& c) { return (c.Latitude ? "Lat" : "Lon") + CaseName(c.Input); }
void PrintTo(const TSetCase& c, std::ostream* os) { *os << SetCaseName(c); }

class EntrySetter : public MemoryOptionsTest, public ::testing::WithParamInterface<TSetCase> {};

TEST_P(EntrySetter, SplitsAndReadsBack)
{
    const TSetCase& c = GetParam();
    TEntry e;
    if (c.Latitude)
        e.SetLatitude(c.Input);
    else
        e.SetLongitude(c.Input);
    if (c.Latitude) {
        EXPECT_EQ(e.GetLatDeg(), c.Deg);
        EXPECT_EQ(e.GetLatMin(), c.Min);
        EXPECT_EQ(e.GetLatSec(), c.Sec);
        EXPECT_NEAR(e.LatRemainder(), c.Rem, 1e-6);
        EXPECT_EQ(e.GetLatSouth(), c.Negative);
        EXPECT_EQ(e.GetLatitude(), c.Back);
    } else {
        EXPECT_EQ(e.GetLonDeg(), c.Deg);
        EXPECT_EQ(e.GetLonMin(), c.Min);
        EXPECT_EQ(e.GetLonSec(), c.Sec);
        EXPECT_NEAR(e.LonRemainder(), c.Rem, 1e-6);
        EXPECT_EQ(e.GetLonWest(), c.Negative);
        EXPECT_EQ(e.GetLongitude(), c.Back);
    }
}

INSTANTIATE_TEST_SUITE_P(Table, EntrySetter,
                         ::testing::Values(
                             // latitude -33.5 -> 33 30' 0" south
                             TSetCase{-33.5, true, 33, 30, 0, 0, true, -33.5},
                             // beyond 90 ends exactly at 90, hemisphere from the sign
                             TSetCase{91, true, 90, 0, 0, 0, false, 90},
                             TSetCase{-200, false, 180, 0, 0, 0, true, -180},
                             // 256 and more must not wrap into the degree byte
                             TSetCase{300, false, 180, 0, 0, 0, false, 180},
                             TSetCase{-1000, true, 90, 0, 0, 0, true, -90},
                             // non-finite values count as 0
                             TSetCase{NAN, true, 0, 0, 0, 0, false, 0},
                             TSetCase{INFINITY, false, 0, 0, 0, 0, false, 0},
                             // 52.37312 = 52 22' 23" + 13.92 sixtieths
                             TSetCase{52.37312, true, 52, 22, 23, 13.92, false, 52.37312},
                             TSetCase{4.89123, false, 4, 53, 28, 25.68, false, 4.89123}),
                         [](const auto& info) { return SetCaseName(info.param); });

TEST_F(MemoryOptionsTest, GetterRoundsToThePrecisionSetting)
{
    TEntry e;
    e.SetLatSec(0);
    Options.Source.SetPrecision(5);
    e.SetLatitude(1.123456);
    EXPECT_DOUBLE_EQ(e.GetLatitude(), 1.12346);
    Options.Source.SetPrecision(4);
    EXPECT_DOUBLE_EQ(e.GetLatitude(), 1.1235);
    Options.Source.SetPrecision(6);
    EXPECT_DOUBLE_EQ(e.GetLatitude(), 1.123456);
}

TEST_F(MemoryOptionsTest, SettingTheRoundedValueIsNoChange)
{
    TEntry e;
    e.SetLatitude(52.123456789);
    e.ResetChanged();
    e.SetLatitude(e.GetLatitude());
    EXPECT_FALSE(e.Changed());
    // the unrounded remainder survives in the record
    EXPECT_NEAR(e.LatRemainder(), (52.123456789 * 3600 - std::floor(52.123456789 * 3600)) * 60, 1e-3);
}

TEST_F(MemoryOptionsTest, PartSettersClampNormalizeAndMarkChanged)
{
    TEntry e;
    e.SetLatMin(30);
    e.ResetChanged();
    e.SetLatDeg(95);
    EXPECT_EQ(e.GetLatDeg(), 90);
    // 90 30' is beyond 90: Normalize clears minutes and seconds
    EXPECT_EQ(e.GetLatMin(), 0);
    EXPECT_TRUE(e.Changed());

    TEntry f;
    f.SetLonDeg(200);
    EXPECT_EQ(f.GetLonDeg(), 180);

    TEntry g;
    g.SetLatitude(10.5000001);
    ASSERT_NE(g.LatRemainder(), 0);
    g.ResetChanged();
    g.SetLatSec(g.GetLatSec());
    EXPECT_FALSE(g.Changed()) << "same value: no change";
    g.SetLatSec(1);
    EXPECT_EQ(g.LatRemainder(), 0) << "setting the seconds clears the remainder";
    EXPECT_TRUE(g.Changed());
}

TEST_F(MemoryOptionsTest, TextsFlagsAndAssign)
{
    TEntry e;
    EXPECT_TRUE(e.IpEnabled);
    EXPECT_EQ(e.GetFlag(), 1);
    e.SetDescription("Museum");
    EXPECT_TRUE(e.Changed());
    e.ResetChanged();
    e.SetDescription("Museum");
    EXPECT_FALSE(e.Changed());
    e.SetDescription("museum");
    EXPECT_TRUE(e.Changed()) << "comparison is case-sensitive";

    e.ResetChanged();
    e.IpStopOver = true;
    EXPECT_FALSE(e.Changed()) << "direct flag writes leave Changed alone";
    EXPECT_EQ(e.GetFlag(), 3);
    e.SetFlag(3);
    EXPECT_FALSE(e.Changed());
    e.SetFlag(4);
    EXPECT_TRUE(e.Changed());
    EXPECT_FALSE(e.IpEnabled);
    EXPECT_TRUE(e.IpDeparture);

    e.SetExtra("<wpt/>");
    e.SetLongitude(-4.5);
    TEntry copy;
    e.AssignTo(copy);
    EXPECT_TRUE(copy.Changed());
    EXPECT_EQ(copy.GetExtra(), "<wpt/>");
    EXPECT_EQ(copy.GetLongitude(), -4.5);
    EXPECT_EQ(copy.GetFlag(), 4);
}

TEST_F(MemoryOptionsTest, ListChangeTracking)
{
    TEntries list;
    EXPECT_FALSE(list.Changed());
    list.Add("a", "", 1, 1);
    list.Add("b", "", 2, 2);
    EXPECT_TRUE(list.Changed());
    EXPECT_TRUE(list[0].IpDeparture) << "first entry of an empty list is the departure";
    EXPECT_FALSE(list[1].IpDeparture);
    list.ResetChanged();
    EXPECT_FALSE(list.Changed());

    list.Delete(1);
    EXPECT_TRUE(list.Changed()) << "count differs from the saved count";
    list.ResetChanged();

    list.Insert(0, std::make_unique<TEntry>());
    EXPECT_TRUE(list.Changed()) << "insert sets the list flag though the saved count moved";
    list.ResetChanged();

    list[0].SetDescription("x");
    EXPECT_TRUE(list.Changed());
    list.ResetChanged();

    list.Add("c", "", 0, 0);
    list.ResetChanged();
    list.Sort([](const TEntry& a, const TEntry& b) { return a.GetDescription().compare(b.GetDescription()); });
    EXPECT_TRUE(list.Changed()) << "sorting changes the document";
}

TEST_F(MemoryOptionsTest, SortIsTheListsQuickSort)
{
    // Equal keys show the (unstable) order of the list's own quicksort.
    TEntries list;
    const char* names[] = {"b1", "a1", "b2", "a2", "c1", "a3", "b3"};
    for (const char* n : names)
        list.Add(n, "", 0, 0);
    list.Sort([](const TEntry& x, const TEntry& y) { return int(x.GetDescription()[0]) - int(y.GetDescription()[0]); });
    std::string order;
    for (int i = 0; i < list.Count(); ++i)
        order += std::string(list[i].GetDescription()) + " ";
    EXPECT_EQ(order, "a2 a3 a1 b1 b3 b2 c1 ");

    TEntries empty;
    empty.Sort([](const TEntry&, const TEntry&) { return 0; });
    TEntries one;
    one.Add("x", "", 0, 0);
    one.ResetChanged();
    one.Sort([](const TEntry&, const TEntry&) { return 0; });
    EXPECT_FALSE(one.Changed());
    EXPECT_THROW(one.SortRange([](const TEntry&, const TEntry&) { return 0; }, 0, 0), EAssertionFailed);
}

TEST_F(MemoryOptionsTest, ClearReportsProgressOnlyOnChange)
{
    TEntries list;
    for (int i = 0; i < 1000; ++i)
        list.Add("p", "", 0, 0);
    std::vector<int> reported;
    list.OnProgress = [&](int p) { reported.push_back(p); };
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
    ASSERT_EQ(reported.size(), 100u) << "99 down to 0, each whole percent once";
    EXPECT_EQ(reported.front(), 99);
    EXPECT_EQ(reported.back(), 0);
    list.SetProgress(0);
    EXPECT_EQ(reported.size(), 100u);
}

TEST_F(MemoryOptionsTest, FitsPrecision)
{
    TEntries list;
    list.Add("a", "", 4.5, 52.12345);
    EXPECT_FALSE(list.FitsPrecision(4));
    EXPECT_TRUE(list.FitsPrecision(5));
    TEntries other;
    other.Add("b", "", 4.5, 52.1234);
    EXPECT_TRUE(other.FitsPrecision(4));
}

TEST_F(MemoryOptionsTest, ViewForgetsEntriesTheOwnerFrees)
{
    auto owner = std::make_unique<TEntries>();
    for (int i = 0; i < 5; ++i)
        owner->Add(std::to_string(i), "", i, i);
    auto view = TEntries::CreateView(*owner);
    for (int i = 0; i < 5; ++i)
        view->AddEntry(&owner->GetItem(i), false);
    EXPECT_EQ(view->Count(), 5);

    owner->Delete(2);
    ASSERT_EQ(view->Count(), 4);
    for (int i = 0; i < view->Count(); ++i)
        EXPECT_NE(view->GetItem(i).GetDescription(), "2");

    view->Delete(0);  // a view only drops its reference
    EXPECT_EQ(owner->Count(), 4);
    EXPECT_EQ(view->Count(), 3);

    TMemoryStream empty;
    owner->Clear();
    EXPECT_EQ(view->Count(), 0);

    owner->Add("new", "", 0, 0);
    view->AddEntry(&owner->GetItem(0), true);
    owner.reset();
    EXPECT_EQ(view->Count(), 0) << "the owner's destruction empties its views";
}

TEST_F(MemoryOptionsTest, DeleteIndicesInOnePassKeepsOrderAndViews)
{
    TEntries owner;
    for (int i = 0; i < 8; ++i)
        owner.Add(std::to_string(i), "", i, i);
    owner.ResetChanged();
    auto view = TEntries::CreateView(owner);
    for (int i = 0; i < 8; ++i)
        view->AddEntry(&owner.GetItem(i), false);
    auto descriptions = [](const TEntries& list) {
        std::string text;
        for (int i = 0; i < list.Count(); ++i)
            text += std::string(list[i].GetDescription());
        return text;
    };
    owner.DeleteIndices({ 0, 3, 4, 7 });
    EXPECT_EQ(descriptions(owner), "1256");
    EXPECT_EQ(descriptions(*view), "1256") << "the view forgets the freed entries";
    EXPECT_TRUE(owner.Changed());
    view->DeleteIndices({ 1, 2 });
    EXPECT_EQ(descriptions(*view), "16");
    EXPECT_EQ(descriptions(owner), "1256");
    owner.DeleteIndices({});
    EXPECT_THROW(owner.DeleteIndices({ 2, 9 }), EAssertionFailed);
    EXPECT_EQ(descriptions(owner), "1256") << "an index out of range changes nothing";
}

// Rounding a difference just below 1 to double can leave a whole 60 in a part: it is carried.
TEST_F(MemoryOptionsTest, SettersCarryWholeSixtiesIntoTheNextPart)
{
    struct {
        double Value;
        int Deg, Min, Sec;
    } cases[] = {
        {1.0 / 60, 0, 1, 0},    // was 0 deg 0 min 60 sec
        {1.0 / 3600, 0, 0, 1},  // was 0 sec and a remainder of 60
        {2.0 / 3600, 0, 0, 2},
        {-1.0 / 60, 0, 1, 0},
    };
    for (const auto& c : cases) {
        TEntry e;
        e.SetLatitude(c.Value);
        e.SetLongitude(c.Value);
        EXPECT_EQ(e.GetLatDeg(), c.Deg) << c.Value;
        EXPECT_EQ(e.GetLatMin(), c.Min) << c.Value;
        EXPECT_EQ(e.GetLatSec(), c.Sec) << c.Value;
        EXPECT_EQ(e.LatRemainder(), 0) << c.Value;
        EXPECT_EQ(e.GetLonMin(), c.Min) << c.Value;
        EXPECT_EQ(e.GetLonSec(), c.Sec) << c.Value;
        EXPECT_EQ(e.LonRemainder(), 0) << c.Value;
        EXPECT_EQ(e.GetLatSouth(), c.Value < 0);
    }
    // Every whole second up to the limits splits into parts below 60 and reads back.
    Options.Source.SetPrecision(6);
    for (int k = 0; k <= 180 * 3600; k += 7) {
        const double v = k / 3600.0;
        TEntry e;
        e.SetLongitude(v);
        if (k <= 90 * 3600)
            e.SetLatitude(v);
        ASSERT_TRUE(e.GetLonMin() < 60 && e.GetLonSec() < 60 && e.LonRemainder() < 60) << v;
        ASSERT_TRUE(e.GetLatMin() < 60 && e.GetLatSec() < 60 && e.LatRemainder() < 60) << v;
        ASSERT_NEAR(e.GetLongitude(), v, 1e-6);
    }
}

// The parts as defined: differences in double, products with 60 in extended precision (exact
// there), each part truncated, then whole sixties carried.
void PartsInExtendedPrecision(double v, int& deg, int& min, int& sec, double& rem)
{
    const double mag = std::fabs(v);
    deg = int(std::trunc(mag));
    long double a = static_cast<long double>(mag - deg) * 60.0L;
    min = int(std::floor(a));
    a = static_cast<long double>(static_cast<double>(a - min)) * 60.0L;
    sec = int(std::floor(a));
    rem = static_cast<double>(static_cast<long double>(static_cast<double>(a - sec)) * 60.0L);
    if (rem >= 60) {
        rem = 0;
        ++sec;
    }
    if (sec >= 60) {
        sec = 0;
        ++min;
    }
    if (min >= 60) {
        min = 0;
        ++deg;
    }
}

TEST_F(MemoryOptionsTest, SplitMatchesTheExtendedPrecisionDefinition)
{
    std::mt19937_64 random(60);
    std::vector<double> values;
    for (int i = 0; i < 200000; ++i) {
        values.push_back(std::ldexp(double(random() >> 11), -53) * 90);  // any bits
        values.push_back(double(random() % 324000) / 3600);             // whole seconds
        values.push_back(std::nextafter(double(random() % 5400) / 60, 0));  // just below whole minutes
        values.push_back(double(int64_t(random() % 180000001) - 90000000) / 1000000);  // six decimals
    }
    for (const double v : values) {
        TEntry e;
        e.SetLatitude(v);
        int deg, min, sec;
        double rem;
        PartsInExtendedPrecision(v, deg, min, sec, rem);
        ASSERT_EQ(e.GetLatDeg(), deg) << v;
        ASSERT_EQ(e.GetLatMin(), min) << v;
        ASSERT_EQ(e.GetLatSec(), sec) << v;
        ASSERT_EQ(e.LatRemainder(), rem) << v;
    }
}

// Entries of a list live in its blocks; longer texts in its text store.
TEST_F(MemoryOptionsTest, EntriesKeepTheirAddressesAndTextsInTheList)
{
    TEntries list;
    const std::string longText(40, 'L');
    for (int i = 0; i < 5000; ++i)
        list.Add(i % 2 ? "short " + std::to_string(i) : longText + std::to_string(i), i % 3 ? "" : "<extra/>", i / 100.0, i / 200.0);
    TEntry* kept = &list[3996];  // a long text with Extra
    const std::string keptText(kept->GetDescription());
    list.Insert(0, std::make_unique<TEntry>());
    list.Delete(10);
    list.Sort([](const TEntry& a, const TEntry& b) { return a.GetDescription().compare(b.GetDescription()); });
    list.SortByKey([](const TEntry& e) { return -e.GetLatitude(); });
    ASSERT_GE(list.IndexOf(kept), 0);
    EXPECT_EQ(&list[list.IndexOf(kept)], kept);
    EXPECT_EQ(kept->GetDescription(), keptText);
    EXPECT_EQ(kept->GetExtra(), "<extra/>");
    EXPECT_EQ(list.IndexOf(nullptr), -1);
    TEntry outside;
    EXPECT_EQ(list.IndexOf(&outside), -1);

    // A text set from a view of the entry's own texts, inside and outside the record.
    TEntry& e = list[0];
    e.SetDescription(longText + "tail");
    e.SetDescription(e.GetDescription().substr(2));
    EXPECT_EQ(e.GetDescription(), longText.substr(2) + "tail");
    e.SetExtra(e.GetDescription());
    e.SetDescription(e.GetExtra().substr(0, 3));
    EXPECT_EQ(e.GetDescription(), "LLL");
    EXPECT_EQ(e.GetExtra(), longText.substr(2) + "tail");
    e.SetExtra("");
    e.SetDescription(e.GetDescription().substr(1));
    EXPECT_EQ(e.GetDescription(), "LL");

    // Copies out of the list keep their texts when the list is gone; an entry of the list can be
    // appended to it again.
    std::unique_ptr<TEntry> extracted = list.Extract(list.IndexOf(kept));
    TEntry copy = list[1];
    TEntry& again = list.AddEntry(list[1], false);
    EXPECT_EQ(again.GetDescription(), list[1].GetDescription());
    const std::string copyText(copy.GetDescription());
    list.Clear();
    EXPECT_EQ(extracted->GetDescription(), keptText);
    EXPECT_EQ(extracted->GetExtra(), "<extra/>");
    EXPECT_EQ(copy.GetDescription(), copyText);
}

TEST_F(MemoryOptionsTest, ChangedCountsTheEntriesOfTheList)
{
    TEntries list;
    for (int i = 0; i < 4; ++i)
        list.Add("p", "", i, i);
    list.ResetChanged();
    list[2].SetDescription("edited");
    EXPECT_TRUE(list.Changed());
    list[2].ResetChanged();
    EXPECT_FALSE(list.Changed()) << "the entry's own reset counts too";

    TEntry loose;
    loose.SetDescription("changed, but in no list");
    loose.AssignTo(list[1]);
    EXPECT_TRUE(list.Changed()) << "assigned to an entry of the list";
    list.ResetChanged();

    // A changed entry that leaves the list takes its change along; the count shows the delete.
    list[3].SetLatitude(10);
    list.Delete(3);
    list.ResetChanged();
    EXPECT_FALSE(list.Changed());
    std::unique_ptr<TEntry> out = list.Extract(0);
    out->SetDescription("outside");
    list.ResetChanged();
    EXPECT_FALSE(list.Changed());

}

// The open routine hands the loaded list to the window's list: the records move, none is copied.
TEST_F(MemoryOptionsTest, AddAllMovesTheRecordsWithTheirTexts)
{
    const std::string longText(30, 'x');
    for (const bool targetEmpty : {true, false}) {
        TEntries target, source;
        if (!targetEmpty) {
            target.Add("first", "", 1, 1);
            target.Add(longText + "first", "", 2, 2);
        }
        for (int i = 0; i < 4000; ++i)
            source.Add(longText + std::to_string(i), i == 7 ? "<wpt/>" : "", i / 1000.0, 50);
        source.Delete(5);
        const TEntry* moved = &source[6];
        const int before = target.Count();
        target.ResetChanged();
        source[6].ResetChanged();
        source[9].SetDescription("edited");
        target.AddAll(source);
        EXPECT_EQ(source.Count(), 0);
        ASSERT_EQ(target.Count(), before + 3999);
        EXPECT_EQ(&target[before + 6], moved) << "addresses stay";
        EXPECT_EQ(target[before + 6].GetExtra(), "<wpt/>");
        EXPECT_EQ(target[before + 4].GetDescription(), longText + "4");
        EXPECT_EQ(target[before + 5].GetDescription(), longText + "6");
        EXPECT_TRUE(target[before + 8].Changed());
        EXPECT_TRUE(target.Changed());
        EXPECT_EQ(target[0].IpDeparture, true);
        // Both lists go on working: new entries, texts set and changes counted.
        target.ResetChanged();
        target.Add(longText + "later", "", 3, 3);
        target[before + 1].SetDescription(longText + "set");
        source.Add("again", "", 0, 0);
        EXPECT_EQ(target[target.Count() - 1].GetDescription(), longText + "later");
        EXPECT_EQ(target[before + 1].GetDescription(), longText + "set");
        EXPECT_TRUE(source[0].IpDeparture);
        target.ResetChanged();
        target[before + 2].SetLatitude(1);
        EXPECT_TRUE(target.Changed());
    }
}

// Lists of whole blocks (a reader's parts) join in order; a list that is not whole still joins
// through its item table. Either way the joined list reads, finds, deletes and grows as one.
TEST_F(MemoryOptionsTest, AddAllOfWholeBlocksKeepsTheOrder)
{
    const int block = TEntries::BlockEntries();
    const std::string longText(20, 'y');
    const auto name = [&](int i) { return (i % 3 ? std::string() : longText) + std::to_string(i); };
    for (const int firstCount : {block, 2 * block, block - 1}) {
        TEntries target;
        std::vector<std::unique_ptr<TEntries>> parts;
        int n = 0;
        for (const int count : {firstCount, 2 * block, 7}) {
            parts.push_back(std::make_unique<TEntries>());
            for (int i = 0; i < count; ++i, ++n)
                parts.back()->Add(name(n), "", n / 1000.0, 1);
        }
        for (const auto& part : parts)
            target.AddAll(*part);
        ASSERT_EQ(target.Count(), n);
        for (int i = 0; i < n; ++i) {
            ASSERT_EQ(target[i].GetDescription(), name(i)) << firstCount << " " << i;
            ASSERT_EQ(target.IndexOf(&target[i]), i);
        }
        target.Delete(firstCount);
        EXPECT_EQ(target[firstCount].GetDescription(), name(firstCount + 1));
        target.Add("last", "", 0, 0);
        EXPECT_EQ(target[target.Count() - 1].GetDescription(), "last");
        EXPECT_EQ(target.Count(), n);
    }
}

// Blocks come from runs the lists share once entries move: a list that gave its entries away
// fills on from the same run, and whichever list goes first, the other's entries stay. A block
// emptied by deletes at the end is taken again; a reserved list and an emptied one fill as any.
TEST_F(MemoryOptionsTest, EntriesOutliveTheListTheirBlockCameFrom)
{
    const int block = TEntries::BlockEntries();
    for (const bool sourceFirst : {true, false}) {
        auto source = std::make_unique<TEntries>();
        auto target = std::make_unique<TEntries>();
        source->Reserve(5 * block);
        for (int i = 0; i < 3 * block + 5; ++i)
            source->Add("a" + std::to_string(i), "", 1, 2);
        target->AddAll(*source);
        for (int i = 0; i < block; ++i)
            source->Add("b" + std::to_string(i), i % 2 ? "extra" : "", 3, 4);
        (sourceFirst ? source : target).reset();
        TEntries& kept = sourceFirst ? *target : *source;
        const std::string prefix = sourceFirst ? "a" : "b";
        ASSERT_EQ(kept.Count(), sourceFirst ? 3 * block + 5 : block);
        for (int i = 0; i < kept.Count(); ++i)
            ASSERT_EQ(kept[i].GetDescription(), prefix + std::to_string(i)) << sourceFirst << " " << i;
        kept.Add("more", "", 5, 6);
        EXPECT_EQ(kept[kept.Count() - 1].GetDescription(), "more");
    }

    TEntries list;
    for (int round = 0; round < 3; ++round) {
        for (int i = 0; i < block + 1; ++i)
            list.Add(std::to_string(i), "", 0, 0);
        // The last block empties and is taken again.
        list.Delete(block);
        list.Add("again", "", 1, 1);
        ASSERT_EQ(list.Count(), block + 1);
        EXPECT_EQ(list[block].GetDescription(), "again");
        EXPECT_EQ(list.IndexOf(&list[block]), block);
        list.Clear();
        EXPECT_EQ(list.Count(), 0);
    }
}

TEST_F(MemoryOptionsTest, SortByKeyGivesTheOrderOfTheComparer)
{
    // Many equal keys: the quicksort's order of equal entries must be the same.
    std::mt19937 random(3);
    TEntries a, b;
    for (int i = 0; i < 3000; ++i) {
        const double lat = int(random() % 40) / 10.0;
        a.Add(std::to_string(i), "", 0, lat);
        b.Add(std::to_string(i), "", 0, lat);
    }
    a.Sort([](const TEntry& x, const TEntry& y) { return x.GetLatitude() < y.GetLatitude() ? -1 : x.GetLatitude() > y.GetLatitude() ? 1 : 0; });
    b.SortByKey([](const TEntry& e) { return e.GetLatitude(); });
    for (int i = 0; i < a.Count(); ++i)
        ASSERT_EQ(a[i].GetDescription(), b[i].GetDescription()) << i;
    EXPECT_TRUE(b.Changed());
}

// What the table model over a list hears, one line per notice.
class TRecordingListener : public TEntriesListener {
public:
    std::vector<std::string> Heard;
    TEntries* List = nullptr;
    int CountAtStart = 0;
    void EntriesAboutToBeInserted(int first, int last) override
    {
        CountAtStart = List->Count();
        Heard.push_back("insert " + std::to_string(first) + "-" + std::to_string(last));
    }
    void EntriesInserted() override { Heard.push_back("inserted " + std::to_string(List->Count() - CountAtStart)); }
    void EntriesAboutToBeRemoved(int first, int last) override
    {
        CountAtStart = List->Count();
        Heard.push_back("remove " + std::to_string(first) + "-" + std::to_string(last));
    }
    void EntriesRemoved() override { Heard.push_back("removed " + std::to_string(CountAtStart - List->Count())); }
    void EntriesAboutToBeReset() override { Heard.push_back("reset"); }
    void EntriesReset() override { Heard.push_back("reset done " + std::to_string(List->Count())); }
};

TEST_F(MemoryOptionsTest, TheListenerHearsOfEveryChangeBeforeAndAfterIt)
{
    RegisterAllFormats();
    TEntries list;
    TRecordingListener listener;
    listener.List = &list;
    list.SetListener(&listener);
    list.Add("a", "", 1, 1);
    list.Add("b", "", 2, 2);
    list.Insert(1, std::make_unique<TEntry>());
    list.Delete(0);
    list.Sort([](const TEntry& x, const TEntry& y) { return x.GetDescription().compare(y.GetDescription()); });
    TEntries other;
    other.Add("c", "", 3, 3);
    other.Add("d", "", 4, 4);
    list.AddAll(other);
    TMemoryStream itinerary(std::string("100|200|x|1|\r\n300|400|y|0|\r\n"));
    list.LoadFromStream(itinerary, QStringLiteral(".itn"), QString(), true);
    list.Clear();
    const std::vector<std::string> expected = {
        "insert 0-0", "inserted 1", "insert 1-1", "inserted 1", "insert 1-1", "inserted 1", "remove 0-0", "removed 1",
        "reset", "reset done 2", "insert 2-3", "inserted 2", "reset", "reset done 6", "reset", "reset done 0"};
    EXPECT_EQ(listener.Heard, expected);
    list.SetListener(nullptr);
}

TEST_F(MemoryOptionsTest, LoadAndSaveWithoutConverterRaiseUserErrors)
{
    TEntries list;
    list.Add("keep", "", 0, 0);
    TMemoryStream stream;
    EXPECT_THROW(list.SaveToStream(stream, QStringLiteral(".xyz"), QString()), EUserError);
    try {
        list.LoadFromStream(stream, QStringLiteral(".xyz"), QString(), false);
        FAIL();
    } catch (const EUserError& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Currently it is not possible to load files from this format (extension xyz)"));
    }
    EXPECT_EQ(list.Count(), 1) << "an unknown extension touches nothing";
}

} // namespace
