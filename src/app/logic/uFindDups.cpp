// The duplicate finder's search.
//
// The groups are those of the plain walk (take the first remaining POI, gather every remaining POI
// within the tolerance of it, repeat), but candidates come from an index: POIs sorted into rows of
// latitude no higher than the tolerance allows, each row sorted by longitude. A POI within the
// tolerance of the root differs from it by less than tolerance / M in latitude (so it lies in the
// root's row or a neighbour) and by less than tolerance / (N cos phi) in longitude (a window in each
// row). Both bounds carry a margin, so rounding never drops a candidate; the distance expression
// itself still decides every pair, so the result is exactly the walk's.
#include "app/logic/uFindDups.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

namespace {

constexpr double SemiMajorAxis = 6378137.0;
constexpr double SquaredEccentricity = 0.0066943799901413165;
constexpr double MeridianNumerator = 6335439.327292820034; // a (1 - e^2)
constexpr double DegreesToRadians = 3.14159265358979323846 / 180.0;
// Rounding of the distance expression is far below this; a wider window only costs candidates.
constexpr double BoundMargin = 1e-9;
// Rows narrower than this (tolerances below a few millimetres) would only make the row numbers
// huge; wider rows are always safe.
constexpr double MinimumRowHeight = 1e-9;
constexpr double LongitudeSlack = 1e-12;

// Positions of the sorted index still holding a POI that is in no group: each dead position points
// further right, paths compressed as they are walked.
class TAliveIndex {
public:
    explicit TAliveIndex(size_t count) : FNext(count + 1) { std::iota(FNext.begin(), FNext.end(), size_t(0)); }
    // The first alive position at or after position (the size when none).
    size_t Find(size_t position)
    {
        size_t root = position;
        while (FNext[root] != root)
            root = FNext[root];
        while (FNext[position] != root) {
            const size_t next = FNext[position];
            FNext[position] = root;
            position = next;
        }
        return root;
    }
    void Kill(size_t position) { FNext[position] = position + 1; }

private:
    std::vector<size_t> FNext;
};

} // namespace

TDupRadii TDupRadii::AtLatitude(double latitudeDegrees)
{
    const double s = std::sin(latitudeDegrees * DegreesToRadians);
    const double w = 1 - SquaredEccentricity * s * s;
    return { MeridianNumerator / std::pow(w, 1.5), SemiMajorAxis / std::sqrt(w) };
}

namespace {

// The distance expression with the first POI's values taken apart, so the search computes them
// once per root; the evaluation order is DupDistance's, so both give the same bits.
inline double Distance(const TDupRadii& radii, double primeVerticalCos1, double phi1, double lambda1, double phi2,
    double lambda2)
{
    const double x = primeVerticalCos1 * (lambda2 - lambda1);
    const double y = radii.Meridian * (phi2 - phi1);
    return std::sqrt(x * x + y * y);
}

} // namespace

double DupDistance(const TDupRadii& radii, const TDupPoint& first, const TDupPoint& second)
{
    if (first.Latitude == second.Latitude && first.Longitude == second.Longitude)
        return 0;
    const double phi1 = first.Latitude * DegreesToRadians;
    return Distance(radii, radii.PrimeVertical * std::cos(phi1), phi1, first.Longitude * DegreesToRadians,
        second.Latitude * DegreesToRadians, second.Longitude * DegreesToRadians);
}

bool TDuplicateSearch::ReportProgress(int done, int total, bool force)
{
    if (!OnProgress)
        return false;
    const auto now = Clock ? Clock() : std::chrono::steady_clock::now();
    if (!force && FReported && now - FLastReport < ProgressInterval)
        return false;
    FLastReport = now;
    FReported = true;
    return OnProgress(total > 0 ? double(done) * 100.0 / double(total) : 100.0);
}

std::vector<TDupGroup> TDuplicateSearch::Run(const std::vector<TDupPoint>& points, double tolerance)
{
    FCancelled = false;
    FReported = false;
    std::vector<TDupGroup> groups;
    const int count = int(points.size());
    // Nothing is below a tolerance of 0 or less (nor below NaN): no index is built for it.
    if (count == 0 || !(tolerance > 0))
        return groups;

    const TDupRadii radii = TDupRadii::AtLatitude(points[0].Latitude);
    const double bound = tolerance * (1 + BoundMargin);
    const double rowHeight = std::max(bound / radii.Meridian, MinimumRowHeight);

    std::vector<int64_t> row(count);
    for (int i = 0; i < count; ++i)
        row[i] = int64_t(std::floor(points[i].Latitude * DegreesToRadians / rowHeight));
    // The index: positions sorted by row, then longitude, then list order, with the values the
    // distance needs stored at each position, so a row's candidates are read in sequence.
    std::vector<int> order(count);
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(), [&](int a, int b) {
        if (row[a] != row[b])
            return row[a] < row[b];
        if (points[a].Longitude != points[b].Longitude)
            return points[a].Longitude < points[b].Longitude;
        return a < b;
    });
    struct TSlot {
        double Phi;
        double Lambda;
        double Latitude;
        double Longitude;
    };
    std::vector<TSlot> slots(count);
    std::vector<size_t> positionOf(count);
    // Per position, the number of its row among the distinct rows; rowStarts[n] opens row n.
    std::vector<int64_t> rowNumbers;
    std::vector<size_t> rowStarts;
    std::vector<int> rowOf(count);
    for (int k = 0; k < count; ++k) {
        const int i = order[k];
        const TDupPoint& p = points[i];
        slots[k] = { p.Latitude * DegreesToRadians, p.Longitude * DegreesToRadians, p.Latitude, p.Longitude };
        positionOf[i] = size_t(k);
        if (k == 0 || row[i] != rowNumbers.back()) {
            rowNumbers.push_back(row[i]);
            rowStarts.push_back(size_t(k));
        }
        rowOf[i] = int(rowNumbers.size()) - 1;
    }
    rowStarts.push_back(size_t(count));
    const int rowCount = int(rowNumbers.size());

    TAliveIndex alive { size_t(count) };
    std::vector<bool> taken(count, false);
    std::vector<int> candidates;
    int done = 0;
    ReportProgress(0, count, true);
    for (int root = 0; root < count; ++root) {
        if (taken[root])
            continue;
        taken[root] = true;
        const TSlot& p = slots[positionOf[root]];
        alive.Kill(positionOf[root]);
        ++done;
        candidates.clear();
        const double primeVerticalCos = radii.PrimeVertical * std::cos(p.Phi);
        const double width = bound / std::abs(primeVerticalCos);
        const bool wholeRow = !std::isfinite(width);
        const double low = p.Lambda - width - LongitudeSlack;
        const double high = p.Lambda + width + LongitudeSlack;
        const int own = rowOf[root];
        for (int n = std::max(own - 1, 0); n <= std::min(own + 1, rowCount - 1); ++n) {
            if (n != own && std::abs(rowNumbers[n] - row[root]) != 1)
                continue;
            size_t begin = rowStarts[n];
            const size_t end = rowStarts[n + 1];
            if (!wholeRow)
                begin = size_t(std::lower_bound(slots.begin() + ptrdiff_t(begin), slots.begin() + ptrdiff_t(end), low,
                                   [](const TSlot& slot, double value) { return slot.Lambda < value; })
                    - slots.begin());
            for (size_t k = alive.Find(begin); k < end; k = alive.Find(k + 1)) {
                const TSlot& q = slots[k];
                if (!wholeRow && q.Lambda > high)
                    break;
                const bool same = p.Latitude == q.Latitude && p.Longitude == q.Longitude;
                if (tolerance > (same ? 0.0 : Distance(radii, primeVerticalCos, p.Phi, p.Lambda, q.Phi, q.Lambda)))
                    candidates.push_back(order[k]);
            }
        }
        if (!candidates.empty()) {
            std::sort(candidates.begin(), candidates.end());
            for (int member : candidates) {
                taken[member] = true;
                alive.Kill(positionOf[member]);
            }
            done += int(candidates.size());
            groups.push_back({ root, candidates });
        }
        if (ReportProgress(done, count, done == count)) {
            FCancelled = true;
            break;
        }
    }
    return groups;
}
