// Generated POI lists for the conversion benchmarks: reproducible, spread over a country.
#pragma once

#include "model/uModel.h"

#include <cstdio>
#include <random>

// Appends count POIs with five-decimal positions and 16-character descriptions, so that an ov2
// record is 30 bytes.
inline void GeneratePois(TEntries& entries, int count, uint32_t seed = 1)
{
    std::mt19937 random(seed);
    entries.Reserve(entries.Count() + count);
    for (int i = 0; i < count; ++i) {
        char name[24];
        std::snprintf(name, sizeof name, "Cafe no. %07d", i % 10000000);
        const double lon = 3.0 + double(random() % 400000) / 100000.0;
        const double lat = 50.7 + double(random() % 280000) / 100000.0;
        entries.Add(name, "", lon, lat);
    }
}
