// Damaged copies of a fixture for the reader robustness tests: cut at every offset, bytes flipped
// with a fixed seed, extreme 32-bit values written over every offset.
#pragma once

#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

struct TDamagedCopy {
    std::string Name;
    std::string Bytes;
};

namespace DamagedCopiesDetail {
// Bigger fixtures get this many evenly spread offsets per kind of damage.
inline constexpr size_t MaxOffsets = 1024;
inline constexpr int FlipCases = 256;
inline constexpr uint32_t FlipSeed = 20261210;

// Offsets 0 .. size - 1, or MaxOffsets of them spread evenly.
inline std::vector<size_t> Offsets(size_t size)
{
    std::vector<size_t> out;
    if (size <= MaxOffsets) {
        for (size_t i = 0; i < size; ++i)
            out.push_back(i);
    } else {
        for (size_t i = 0; i < MaxOffsets; ++i)
            out.push_back(i * size / MaxOffsets);
    }
    return out;
}

} // namespace DamagedCopiesDetail

inline std::vector<TDamagedCopy> DamagedCopies(const std::string& bytes)
{
    using namespace DamagedCopiesDetail;
    std::vector<TDamagedCopy> cases;
    cases.push_back({"intact", bytes});
    for (size_t cut : Offsets(bytes.size()))
        cases.push_back({"cut at " + std::to_string(cut), bytes.substr(0, cut)});
    if (bytes.empty())
        return cases;

    std::mt19937 random(FlipSeed);
    for (int i = 0; i < FlipCases; ++i) {
        std::string copy = bytes;
        const int flips = 1 + int(random() % 4);
        std::string name = "flip";
        for (int f = 0; f < flips; ++f) {
            const size_t at = random() % copy.size();
            const uint8_t mask = uint8_t(1 + random() % 255);
            copy[at] = char(uint8_t(copy[at]) ^ mask);
            name += " " + std::to_string(at) + "^" + std::to_string(mask);
        }
        cases.push_back({name, copy});
    }

    const uint32_t extremes[] = {0x00000000u, 0xFFFFFFFFu, 0x7FFFFFFFu, 0x80000000u};
    for (size_t at : Offsets(bytes.size())) {
        for (uint32_t value : extremes) {
            std::string copy = bytes;
            for (size_t k = 0; k < 4 && at + k < copy.size(); ++k)
                copy[at + k] = char((value >> (8 * k)) & 0xFF);
            char name[48];
            std::snprintf(name, sizeof name, "0x%08X at %zu", unsigned(value), at);
            cases.push_back({name, copy});
        }
    }
    return cases;
}
