// The scale arithmetic: exact calibration points, ties to even, kept scales, saturation.
#include "maps/uMapScale.h"

#include "support/ParamNames.h"
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

TMapScale Amsterdam(double zoom)
{
    // The sample map: south-west corner at (0, 760), north-east corner at (1001, 0).
    TMapScale s;
    s.Cal1Lon = 4.855;
    s.Cal1Lat = 52.350;
    s.Cal1X = 0;
    s.Cal1Y = 760;
    s.Cal2Lon = 4.930;
    s.Cal2Lat = 52.385;
    s.Cal2X = 1001;
    s.Cal2Y = 0;
    s.SetZoom(zoom);
    s.UpdateScale();
    return s;
}

} // namespace

TEST(RoundToInt32, NearestTiesToEvenAndSaturates)
{
    const struct {
        double value;
        int32_t expected;
    } cases[] = {
        { 0.5, 0 },
        { 1.5, 2 },
        { 2.5, 2 },
        { -0.5, 0 },
        { -1.5, -2 },
        { -2.5, -2 },
        { 2.4999, 2 },
        { 2.5001, 3 },
        { 1e12, std::numeric_limits<int32_t>::max() },
        { -1e12, std::numeric_limits<int32_t>::min() },
        { std::numeric_limits<double>::infinity(), std::numeric_limits<int32_t>::max() },
        { std::nan(""), 0 },
    };
    for (const auto& c : cases)
        EXPECT_EQ(RoundToInt32(c.value), c.expected) << c.value;
}

class BothPointsExact : public ::testing::TestWithParam<double> { };

TEST_P(BothPointsExact, AtEveryZoom)
{
    const double zoom = GetParam();
    const TMapScale s = Amsterdam(zoom);
    EXPECT_EQ(s.LonToX(s.Cal1Lon), RoundToInt32(s.Cal1X * zoom));
    EXPECT_EQ(s.LatToY(s.Cal1Lat), RoundToInt32(s.Cal1Y * zoom));
    EXPECT_EQ(s.LonToX(s.Cal2Lon), RoundToInt32(s.Cal2X * zoom));
    EXPECT_EQ(s.LatToY(s.Cal2Lat), RoundToInt32(s.Cal2Y * zoom));
    // Back again: the corners' pixels give the corners' positions.
    EXPECT_NEAR(s.XToLon(s.Cal2X * zoom), s.Cal2Lon, 1e-12);
    EXPECT_NEAR(s.YToLat(s.Cal1Y * zoom), s.Cal1Lat, 1e-12);
}

// 1001 * 0.5 = 500.5 and 1001 * 0.25 = 250.25 test the tie and the rounding at the second point.
INSTANTIATE_TEST_SUITE_P(Zooms, BothPointsExact, ::testing::Values(0.25, 0.5, 1.0, 2.0, 4.0, 0.3, 3.0, 1.7),
    [](const auto& info) { return "Zoom" + CaseName(info.param); });

TEST(TMapScale, TiesGoToEven)
{
    // One pixel per degree, so half-way positions are exact ties.
    TMapScale s;
    s.Cal2Lon = 1024;
    s.Cal2X = 1024;
    s.Cal2Lat = 1024;
    s.Cal2Y = 1024;
    s.UpdateScale();
    const struct {
        double degrees;
        int32_t pixel;
    } cases[] = { { 0.5, 0 }, { 1.5, 2 }, { 2.5, 2 }, { 3.5, 4 }, { -0.5, 0 }, { -1.5, -2 }, { 2.25, 2 }, { 2.75, 3 } };
    for (const auto& c : cases) {
        EXPECT_EQ(s.LonToX(c.degrees), c.pixel) << c.degrees;
        EXPECT_EQ(s.LatToY(c.degrees), c.pixel) << c.degrees;
    }
}

TEST(TMapScale, EqualLongitudesKeepTheScale)
{
    TMapScale s = Amsterdam(1.0);
    const double scaleX = s.ScaleX();
    const double scaleY = s.ScaleY();
    s.Cal2Lon = s.Cal1Lon;
    s.Cal2X = 5;
    s.UpdateScale();
    EXPECT_EQ(s.ScaleX(), scaleX);
    EXPECT_EQ(s.ScaleY(), scaleY);
    EXPECT_NEAR(s.XToLon(1001), 4.930, 1e-12);
    s.Cal2Lat = s.Cal1Lat;
    s.UpdateScale();
    EXPECT_EQ(s.ScaleY(), scaleY);
}

TEST(TMapScale, UncalibratedGivesZero)
{
    TMapScale s;
    s.Cal1X = 10;
    s.Cal1Y = 20;
    s.UpdateScale();
    EXPECT_EQ(s.ScaleX(), 0);
    EXPECT_EQ(s.ScaleY(), 0);
    for (double pixel : { 0.0, 17.0, -5.0, 1e6 }) {
        EXPECT_EQ(s.XToLon(pixel), 0);
        EXPECT_EQ(s.YToLat(pixel), 0);
    }
    EXPECT_EQ(s.LonToX(12.3), 10);
    EXPECT_EQ(s.LatToY(45.6), 20);
}

TEST(TMapScale, SignsOfTheUsualCalibration)
{
    const TMapScale s = Amsterdam(1.0);
    EXPECT_GT(s.ScaleX(), 0);
    EXPECT_LT(s.ScaleY(), 0);
    EXPECT_NEAR(s.ScaleX(), 1001 / 0.075, 1e-6);
}

TEST(TMapScale, FarPositionsSaturate)
{
    const TMapScale s = Amsterdam(4.0);
    EXPECT_EQ(s.LonToX(1e300), std::numeric_limits<int32_t>::max());
    EXPECT_EQ(s.LonToX(-1e300), std::numeric_limits<int32_t>::min());
    EXPECT_EQ(s.LatToY(-1e300), std::numeric_limits<int32_t>::max());
    EXPECT_EQ(s.LonToX(std::nan("")), 0);
}

TEST(TMapScale, ZoomMustBePositiveAndFinite)
{
    TMapScale s = Amsterdam(2.0);
    for (double bad : { 0.0, -1.0, std::numeric_limits<double>::infinity(), std::nan("") }) {
        s.SetZoom(bad);
        EXPECT_EQ(s.GetZoom(), 2.0) << bad;
    }
}

TEST(TMapScale, DegeneratePoints)
{
    const struct {
        const char* name;
        void (*change)(TMapScale&);
        bool degenerate;
    } cases[] = {
        { "distinct", [](TMapScale&) {}, false },
        { "same X", [](TMapScale& s) { s.Cal2X = s.Cal1X; }, true },
        { "same Y", [](TMapScale& s) { s.Cal2Y = s.Cal1Y; }, true },
        { "same longitude", [](TMapScale& s) { s.Cal2Lon = s.Cal1Lon; }, true },
        { "same latitude", [](TMapScale& s) { s.Cal2Lat = s.Cal1Lat; }, true },
    };
    for (const auto& c : cases) {
        TMapScale s = Amsterdam(1.0);
        c.change(s);
        EXPECT_EQ(s.PointsDegenerate(), c.degenerate) << c.name;
    }
}
