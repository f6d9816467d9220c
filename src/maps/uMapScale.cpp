// The two-point linear calibration of a map picture.
#include "maps/uMapScale.h"

#include <cmath>
#include <limits>

int32_t RoundToInt32(double value)
{
    if (std::isnan(value))
        return 0;
    constexpr double lowest = double(std::numeric_limits<int32_t>::min());
    constexpr double highest = double(std::numeric_limits<int32_t>::max());
    // The default floating-point environment rounds to nearest, ties to even.
    const double rounded = std::nearbyint(value);
    if (rounded <= lowest)
        return std::numeric_limits<int32_t>::min();
    if (rounded >= highest)
        return std::numeric_limits<int32_t>::max();
    return int32_t(rounded);
}

void TMapScale::SetZoom(double zoom)
{
    if (std::isfinite(zoom) && zoom > 0)
        FZoom = zoom;
}

void TMapScale::UpdateScale()
{
    const double lonSpan = Cal2Lon - Cal1Lon;
    if (lonSpan != 0 && std::isfinite(lonSpan)) {
        FLonSpan = lonSpan;
        FXSpan = double(Cal2X) - double(Cal1X);
    }
    const double latSpan = Cal2Lat - Cal1Lat;
    if (latSpan != 0 && std::isfinite(latSpan)) {
        FLatSpan = latSpan;
        FYSpan = double(Cal2Y) - double(Cal1Y);
    }
}

double TMapScale::ScaleX() const
{
    return FLonSpan == 0 ? 0 : FXSpan / FLonSpan;
}
double TMapScale::ScaleY() const
{
    return FLatSpan == 0 ? 0 : FYSpan / FLatSpan;
}

namespace {

// zoom * (c1 + (v - v1) / span * pixelSpan): at v = v1 + span the factor is exactly 1, so the
// second point lands on c2 * zoom with no rounding error.
int32_t ToPixel(double v, double v1, int32_t c1, double span, double pixelSpan, double zoom)
{
    double picture = double(c1);
    if (span != 0)
        picture += (v - v1) / span * pixelSpan;
    return RoundToInt32(zoom * picture);
}

double ToDegrees(double pixel, double v1, int32_t c1, double span, double pixelSpan, double zoom)
{
    if (span == 0 || pixelSpan == 0)
        return 0;
    return (pixel / zoom - double(c1)) / pixelSpan * span + v1;
}

} // namespace

int32_t TMapScale::LonToX(double lon) const
{
    return ToPixel(lon, Cal1Lon, Cal1X, FLonSpan, FXSpan, FZoom);
}
int32_t TMapScale::LatToY(double lat) const
{
    return ToPixel(lat, Cal1Lat, Cal1Y, FLatSpan, FYSpan, FZoom);
}
double TMapScale::XToLon(double x) const
{
    return ToDegrees(x, Cal1Lon, Cal1X, FLonSpan, FXSpan, FZoom);
}
double TMapScale::YToLat(double y) const
{
    return ToDegrees(y, Cal1Lat, Cal1Y, FLatSpan, FYSpan, FZoom);
}

bool TMapScale::PointsDegenerate() const
{
    return Cal1X == Cal2X || Cal1Y == Cal2Y || Cal1Lon == Cal2Lon || Cal1Lat == Cal2Lat;
}
