// The duplicate search: the greedy groups of the plain walk, found through the index.
#include "app/logic/uFindDups.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace {

// The walk as the finder describes it, one root after the other against the rest of the work list.
std::vector<TDupGroup> LiteralWalk(const std::vector<TDupPoint>& points, double tolerance, int cancelAtRoot = -1)
{
    std::vector<TDupGroup> groups;
    if (points.empty())
        return groups;
    const TDupRadii radii = TDupRadii::AtLatitude(points[0].Latitude);
    std::vector<int> work(points.size());
    for (size_t i = 0; i < points.size(); ++i)
        work[i] = int(i);
    int roots = 0;
    while (!work.empty()) {
        const int root = work.front();
        work.erase(work.begin());
        TDupGroup group { root, {} };
        for (size_t k = 0; k < work.size();) {
            if (tolerance > DupDistance(radii, points[root], points[work[k]])) {
                group.Members.push_back(work[k]);
                work.erase(work.begin() + ptrdiff_t(k));
            } else {
                ++k;
            }
        }
        if (!group.Members.empty())
            groups.push_back(group);
        if (++roots == cancelAtRoot)
            break;
    }
    return groups;
}

// Every call of the search's clock is a second later, so every root reports progress.
TDupClock SecondPerCall()
{
    auto now = std::make_shared<std::chrono::steady_clock::time_point>();
    return [now] { return *now += std::chrono::seconds(1); };
}

std::vector<TDupGroup> Search(const std::vector<TDupPoint>& points, double tolerance, int cancelAtRoot = -1)
{
    TDuplicateSearch search;
    search.Clock = SecondPerCall();
    int reports = 0;
    // The first report comes before any root.
    search.OnProgress = [&](double) { return reports++ == cancelAtRoot; };
    auto groups = search.Run(points, tolerance);
    EXPECT_EQ(search.Cancelled(), cancelAtRoot >= 0 && reports > cancelAtRoot);
    return groups;
}

void ExpectSameGroups(const std::vector<TDupGroup>& expected, const std::vector<TDupGroup>& actual, const std::string& what)
{
    ASSERT_EQ(expected.size(), actual.size()) << what;
    for (size_t g = 0; g < expected.size(); ++g) {
        EXPECT_EQ(expected[g].Root, actual[g].Root) << what << " group " << g;
        EXPECT_EQ(expected[g].Members, actual[g].Members) << what << " group " << g;
    }
}

// Metres to degrees of latitude, roughly: enough to place test points.
constexpr double DegreesPerMetre = 1.0 / 111320.0;

} // namespace

TEST(DuplicateSearch, EdgeCases)
{
    const TDupPoint a { 52.0, 4.0 };
    const TDupPoint b { 52.0 + 4 * DegreesPerMetre, 4.0 };
    const TDupPoint c { 52.0 + 8 * DegreesPerMetre, 4.0 };
    struct TCase {
        const char* Name;
        std::vector<TDupPoint> Points;
        double Tolerance;
        std::vector<TDupGroup> Groups;
    } cases[] = {
        { "identical points, tolerance 1: distance 0 < 1", { a, a }, 1, { { 0, { 1 } } } },
        { "identical points, tolerance 0: 0 is not below 0", { a, a }, 0, {} },
        { "negative tolerance", { a, a }, -5, {} },
        { "NaN tolerance", { a, a }, std::nan(""), {} },
        { "A-B and B-C within, A-C not: C stays alone", { a, b, c }, 5, { { 0, { 1 } } } },
        { "one POI", { a }, 5, {} },
        { "no POI", {}, 5, {} },
        { "members in list order after a far POI", { a, { 10, 10 }, b, a }, 5, { { 0, { 2, 3 } } } },
        { "huge tolerance takes everything", { a, { -80, -179 }, { 89, 179 } }, 1e30, { { 0, { 1, 2 } } } },
    };
    for (const auto& test : cases) {
        ExpectSameGroups(test.Groups, Search(test.Points, test.Tolerance), test.Name);
        ExpectSameGroups(LiteralWalk(test.Points, test.Tolerance), test.Groups, std::string("walk: ") + test.Name);
    }
}

TEST(DuplicateSearch, CancelKeepsTheGroupsFoundSoFar)
{
    std::vector<TDupPoint> points;
    for (int i = 0; i < 10; ++i) {
        points.push_back({ 10.0 + i, 20.0 });
        points.push_back({ 10.0 + i, 20.0 });
    }
    // Cancelled in the report after the third root: three groups stay.
    const auto groups = Search(points, 1, 3);
    ExpectSameGroups(LiteralWalk(points, 1, 3), groups, "cancelled");
    EXPECT_EQ(groups.size(), 3u);
}

TEST(DuplicateSearch, ProgressIsThrottled)
{
    std::vector<TDupPoint> points(1000, TDupPoint { 1, 1 });
    for (int i = 0; i < 1000; ++i)
        points[i].Longitude = i; // no duplicates: a root per POI
    TDuplicateSearch search;
    std::chrono::steady_clock::time_point now {};
    search.Clock = [&] { return now += std::chrono::milliseconds(1); };
    std::vector<double> reports;
    search.OnProgress = [&](double percent) {
        reports.push_back(percent);
        return false;
    };
    search.Run(points, 5);
    // A millisecond per root: about one report per 100 roots, plus the first and the last.
    EXPECT_GE(reports.size(), 10u);
    EXPECT_LE(reports.size(), 13u);
    EXPECT_EQ(reports.front(), 0);
    EXPECT_EQ(reports.back(), 100);
}

TEST(DuplicateSearch, IndexGivesTheWalksGroupsOnRandomLists)
{
    std::mt19937 random(20261210);
    std::uniform_real_distribution<double> unit(0, 1);
    // (first latitude, spread of the list in metres, clustered?, near the antimeridian?, near a pole?)
    struct TShape {
        double FirstLatitude;
        double Spread;
        bool Clusters;
        bool Antimeridian;
        bool Pole;
    } shapes[] = {
        { 0, 200, false, false, false },
        { 52, 100, true, false, false },
        { 45, 1000, true, false, false },
        { 70, 300, true, true, false },
        { 89, 500, true, false, true },
        { 89.9, 50, false, false, true },
        { -33, 80, false, true, false },
    };
    for (const auto& shape : shapes) {
        for (double tolerance : { 0.0, 0.5, 1.0, 5.0, 17.0, 50.0 }) {
            std::vector<TDupPoint> points { { shape.FirstLatitude, shape.Antimeridian ? 179.9999 : 4.0 } };
            const int count = 300;
            std::vector<TDupPoint> centres;
            for (int i = 0; i < 8; ++i)
                centres.push_back(points[0]);
            for (int i = 1; i < count; ++i) {
                TDupPoint base = shape.Clusters ? centres[random() % centres.size()] : points[0];
                const double north = (unit(random) - 0.5) * shape.Spread * DegreesPerMetre;
                const double east = (unit(random) - 0.5) * shape.Spread * DegreesPerMetre
                    / std::max(0.01, std::cos(base.Latitude * 3.14159265358979323846 / 180));
                TDupPoint p { std::clamp(base.Latitude + north, -90.0, 90.0), base.Longitude + east };
                if (shape.Antimeridian && p.Longitude > 180)
                    p.Longitude -= 360; // the far side: no wrap, so never a duplicate across it
                if (shape.Pole && random() % 10 == 0)
                    p.Latitude = 90;
                if (random() % 7 == 0)
                    p = points[random() % points.size()]; // exact copies
                points.push_back(p);
                if (shape.Clusters && random() % 20 == 0)
                    centres[random() % centres.size()] = p;
            }
            const std::string what = "latitude " + std::to_string(shape.FirstLatitude) + ", tolerance " + std::to_string(tolerance);
            ExpectSameGroups(LiteralWalk(points, tolerance), Search(points, tolerance), what);
            ExpectSameGroups(LiteralWalk(points, tolerance, 40), Search(points, tolerance, 40), what + ", cancelled");
        }
    }
}
