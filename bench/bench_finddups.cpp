// The duplicate search on a million POIs, in the three shapes that defeat simpler indexes:
// build/bench/tarvell-bench-finddups --benchmark_repetitions=5 (take the best of the five).
#include "app/logic/uFindDups.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <random>

namespace {

constexpr int Count = 1000000;
constexpr double DegreesPerMetre = 1.0 / 111320.0;

// 90% spread over a country-sized area, 10% within two metres of one of them; tolerance 5 m.
std::vector<TDupPoint> CountryWithDuplicates()
{
    std::mt19937 random(1);
    std::uniform_real_distribution<double> lat(50.7, 53.6), lon(3.3, 7.2), near(-2 * DegreesPerMetre, 2 * DegreesPerMetre);
    std::vector<TDupPoint> points;
    points.reserve(Count);
    while (int(points.size()) < Count * 9 / 10)
        points.push_back({ lat(random), lon(random) });
    while (int(points.size()) < Count) {
        const TDupPoint& p = points[random() % points.size()];
        points.push_back({ p.Latitude + near(random), p.Longitude + near(random) });
    }
    std::shuffle(points.begin() + 1, points.end(), random);
    return points;
}

// Every POI within one tolerance of the first.
std::vector<TDupPoint> OneCluster()
{
    std::mt19937 random(2);
    std::uniform_real_distribution<double> near(0, DegreesPerMetre);
    std::vector<TDupPoint> points(Count);
    for (auto& p : points)
        p = { 52 + near(random), 4 + near(random) };
    return points;
}

// POIs 10 m apart along one parallel, tolerance 5 m: nothing is a duplicate, and a latitude-only
// index would compare every pair.
std::vector<TDupPoint> AlongAParallel()
{
    std::vector<TDupPoint> points(Count);
    const double step = 10 * DegreesPerMetre / std::cos(52 * 3.14159265358979323846 / 180);
    for (int i = 0; i < Count; ++i)
        points[i] = { 52, -179 + step * i };
    return points;
}

void Run(benchmark::State& state, std::vector<TDupPoint> (*make)())
{
    const auto points = make();
    size_t groups = 0;
    for (auto _ : state) {
        TDuplicateSearch search;
        groups = search.Run(points, 5).size();
        benchmark::DoNotOptimize(groups);
    }
    state.counters["groups"] = double(groups);
}

} // namespace

BENCHMARK_CAPTURE(Run, CountryWithTenPercentDuplicates, CountryWithDuplicates)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Run, AllWithinOneTolerance, OneCluster)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Run, TenMetresApartAlongAParallel, AlongAParallel)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
