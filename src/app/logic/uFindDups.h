// The duplicate finder's search: greedy groups of POIs that lie within a distance tolerance of the
// first POI of their group, found through a latitude-row index instead of comparing every pair.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <vector>

// One POI's position in degrees, as the list's getters give it.
struct TDupPoint {
    double Latitude = 0;
    double Longitude = 0;
};

// A group: the index of its first POI (never copied or deleted) and the indices of the POIs that
// lie within the tolerance of it, in list order.
struct TDupGroup {
    int Root = -1;
    std::vector<int> Members;
};

// Radii of the WGS-84 ellipsoid at one latitude, in metres.
struct TDupRadii {
    double Meridian = 0; // M
    double PrimeVertical = 0; // N
    static TDupRadii AtLatitude(double latitudeDegrees);
};

// Distance in metres between two POIs, measured on a flat projection around the first one with the
// given radii: exactly 0 for equal coordinates. Every pair is decided by this one expression.
double DupDistance(const TDupRadii& radii, const TDupPoint& first, const TDupPoint& second);

// Clock of the progress reports; tests pass their own.
using TDupClock = std::function<std::chrono::steady_clock::time_point()>;

class TDuplicateSearch {
public:
    // Reports progress in percent (0..100) at most every ProgressInterval; returns true to cancel.
    std::function<bool(double percent)> OnProgress;
    TDupClock Clock;
    std::chrono::milliseconds ProgressInterval { 100 };

    // Groups the points: each POI joins the group of the first earlier POI (taken in list order
    // among those not yet in a group) whose distance is below tolerance; members are never compared
    // with each other. The radii come from the first POI. Only groups with members are returned.
    // A cancel keeps the groups found so far; Cancelled() tells.
    std::vector<TDupGroup> Run(const std::vector<TDupPoint>& points, double tolerance);
    bool Cancelled() const { return FCancelled; }

private:
    bool ReportProgress(int done, int total, bool force);

    bool FCancelled = false;
    std::chrono::steady_clock::time_point FLastReport {};
    bool FReported = false;
};
