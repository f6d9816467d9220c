// Tests of the POI record and the POI list.
#include "model/uModel.h"

#include "core/uSettings.h"
#include "core/uStream.h"
#include "formats/uConvertBase.h"
#include "support/TestSupport.h"

#include <cmath>

namespace {

struct TSetCase {
    double Input;
    bool Latitude;
    int Deg, Min, Sec;
    double Rem;
    bool Negative;
    double Back;
};

class EntrySetter : public CleanSettingsTest, public ::testing::WithParamInterface<TSetCase> {};

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
                             TSetCase{4.89123, false, 4, 53, 28, 25.68, false, 4.89123}));

TEST_F(CleanSettingsTest, GetterRoundsToThePrecisionSetting)
{
    TEntry e;
    e.SetLatSec(0);
    GetSettings().Precision = 5;
    e.SetLatitude(1.123456);
    EXPECT_DOUBLE_EQ(e.GetLatitude(), 1.12346);
    GetSettings().Precision = 4;
    EXPECT_DOUBLE_EQ(e.GetLatitude(), 1.1235);
    GetSettings().Precision = 6;
    EXPECT_DOUBLE_EQ(e.GetLatitude(), 1.123456);
}

TEST_F(CleanSettingsTest, SettingTheRoundedValueIsNoChange)
{
    TEntry e;
    e.SetLatitude(52.123456789);
    e.ResetChanged();
    e.SetLatitude(e.GetLatitude());
    EXPECT_FALSE(e.Changed());
    // the unrounded remainder survives in the record
    EXPECT_NEAR(e.LatRemainder(), (52.123456789 * 3600 - std::floor(52.123456789 * 3600)) * 60, 1e-3);
}

TEST_F(CleanSettingsTest, PartSettersClampNormalizeAndMarkChanged)
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

TEST_F(CleanSettingsTest, TextsFlagsAndAssign)
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

TEST_F(CleanSettingsTest, ListChangeTracking)
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

TEST_F(CleanSettingsTest, SortIsTheListsQuickSort)
{
    // Equal keys show the (unstable) order of the list's own quicksort.
    TEntries list;
    const char* names[] = {"b1", "a1", "b2", "a2", "c1", "a3", "b3"};
    for (const char* n : names)
        list.Add(n, "", 0, 0);
    list.Sort([](const TEntry& x, const TEntry& y) { return int(x.GetDescription()[0]) - int(y.GetDescription()[0]); });
    std::string order;
    for (int i = 0; i < list.Count(); ++i)
        order += list[i].GetDescription() + " ";
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

TEST_F(CleanSettingsTest, ClearReportsProgressOnlyOnChange)
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

TEST_F(CleanSettingsTest, FitsPrecision)
{
    TEntries list;
    list.Add("a", "", 4.5, 52.12345);
    EXPECT_FALSE(list.FitsPrecision(4));
    EXPECT_TRUE(list.FitsPrecision(5));
    TEntries other;
    other.Add("b", "", 4.5, 52.1234);
    EXPECT_TRUE(other.FitsPrecision(4));
}

TEST_F(CleanSettingsTest, ViewForgetsEntriesTheOwnerFrees)
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

TEST_F(CleanSettingsTest, DeleteIndicesInOnePassKeepsOrderAndViews)
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

TEST_F(CleanSettingsTest, LoadAndSaveWithoutConverterRaiseUserErrors)
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
