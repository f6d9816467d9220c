// The two-point linear calibration of a map picture: geographic degrees to control pixels and back.
#pragma once

#include <cstdint>

// Nearest integer, ties to even; saturates at the 32-bit limits, NaN gives 0.
int32_t RoundToInt32(double value);

// Longitude maps linearly to X and latitude linearly to Y, independently (no projection, no
// rotation). Calibration pixels are picture pixels at zoom 1; the results of LonToX/LatToY and the
// arguments of XToLon/YToLat are control pixels at Zoom.
class TMapScale {
public:
    double Cal1Lon = 0;
    double Cal1Lat = 0;
    int32_t Cal1X = 0;
    int32_t Cal1Y = 0;
    double Cal2Lon = 0;
    double Cal2Lat = 0;
    int32_t Cal2X = 0;
    int32_t Cal2Y = 0;
    // Drawing scale; always finite and above 0 (SetZoom refuses anything else).
    double GetZoom() const { return FZoom; }
    void SetZoom(double zoom);

    // Takes the scales from the points; a zero longitude (latitude) difference keeps that scale.
    void UpdateScale();
    // Pixels per degree of longitude / latitude; 0 until calibrated.
    double ScaleX() const;
    double ScaleY() const;

    int32_t LonToX(double lon) const;
    int32_t LatToY(double lat) const;
    // 0 while the scale is 0.
    double XToLon(double x) const;
    double YToLat(double y) const;

    // True when the points share X, Y, longitude or latitude: no scale follows from them.
    bool PointsDegenerate() const;

private:
    double FZoom = 1.0;
    // The differences the scales were taken from, kept as a pair so that both points map
    // exactly at every zoom (a stored quotient loses the last bit).
    double FLonSpan = 0;
    double FXSpan = 0;
    double FLatSpan = 0;
    double FYSpan = 0;
};
