// Helpers of the crash-reporter tests: fixtures of tests/data/crashreport and files written by tests.
#pragma once

#include <fstream>
#include <sstream>
#include <string>

inline std::string CrashFixture(const std::string& name)
{
    std::ifstream in(std::string(TARVELL_TEST_DATA "/crashreport/") + name, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

inline void WriteTestFile(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}
