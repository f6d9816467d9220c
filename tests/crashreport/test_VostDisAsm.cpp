// The decoder, the instruction text, the function analyser and the listing.
#include "ElfFunctions.h"

#include "crashreport/VostDisAsm.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

std::vector<std::string> SplitList(const std::string& list)
{
    std::vector<std::string> out;
    std::string item;
    for (char c : list + ";") {
        if (c == ';') {
            if (!item.empty())
                out.push_back(item);
            item.clear();
        } else {
            item += c;
        }
    }
    return out;
}

} // namespace

// Every function of our executables, bounded by its symbol, follows all its paths without invalid code.
TEST(DisAsmAnalysis, EveryFunctionOfOurExecutablesIsValid)
{
    std::vector<std::string> files = { "/proc/self/exe" };
#ifdef TARVELL_PROGRAM
    files.push_back(TARVELL_PROGRAM);
#endif
    for (const std::string& path : files) {
        TElfFile elf;
        ASSERT_TRUE(elf.Load(path));
        TElfImageReader reader(elf);
        size_t invalid = 0;
        std::string examples;
        for (const TElfFunction& f : elf.Functions()) {
            const TElfSection& s = elf.Sections()[f.Section];
            TAnalysisOptions o;
            o.Mode = TDisAsmMode::Mode64;
            o.BoundsStart = s.Address;
            o.BoundsEnd = s.Address + s.Size;
            o.SymbolStart = f.Address;
            o.SymbolEnd = f.Address + f.Size;
            const TFunctionAnalysis a = AnalyseFunction(reader, f.Address, o);
            if (!a.Valid) {
                if (++invalid <= 10) {
                    char line[512];
                    snprintf(line, sizeof line, "\n  %s at %llx+%llx: %s at %llx", f.Name.c_str(),
                        (unsigned long long)f.Address, (unsigned long long)f.Size, a.ErrorText.c_str(),
                        (unsigned long long)a.ErrorAddress);
                    examples += line;
                }
            }
        }
        EXPECT_EQ(invalid, 0u) << path << ": " << elf.Functions().size() << " functions" << examples;
    }
}
