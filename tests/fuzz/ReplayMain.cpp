// Replays committed corpora through the fuzzing entry points, without a fuzzer: each file of the
// folder once, in name order. A fault aborts as it does under the fuzzer, naming the input first.
#include "FuzzTargets.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

int main(int argc, char** argv)
{
    // The importers' format IDs in registry order, one a line: what the seed script keys the
    // readers' inputs by.
    if (argc == 2 && std::string_view(argv[1]) == "--readers") {
        InitFuzzing(&argc, &argv);
        for (const std::string& id : ReaderFormatIDs())
            std::printf("%s\n", id.c_str());
        return 0;
    }
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s TARGET CORPUS_FOLDER\n", argv[0]);
        return 2;
    }
    const TFuzzEntry entry = FuzzEntry(argv[1]);
    if (!entry) {
        std::fprintf(stderr, "unknown target %s\n", argv[1]);
        return 2;
    }
    std::vector<std::filesystem::path> files;
    for (const auto& item : std::filesystem::directory_iterator(argv[2]))
        if (item.is_regular_file())
            files.push_back(item.path());
    std::sort(files.begin(), files.end());
    if (files.empty()) {
        std::fprintf(stderr, "no inputs in %s\n", argv[2]);
        return 1;
    }
    InitFuzzing(&argc, &argv);
    for (const auto& file : files) {
        std::fprintf(stderr, "%s\n", file.filename().c_str());
        std::ifstream in(file, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        // A committed input the target refuses (one naming no reader) tests nothing any more.
        if (entry(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()) < 0) {
            std::fprintf(stderr, "%s: refused by the target\n", file.filename().c_str());
            return 1;
        }
    }
    std::printf("%s: %zu inputs replayed\n", argv[1], files.size());
    return 0;
}
