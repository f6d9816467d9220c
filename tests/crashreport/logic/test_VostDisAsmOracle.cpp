// The decoder against capstone 4 (test-only oracle): generated opcode tables in both modes, a linear
// sweep of every function of our executables and of 32-bit objects of our plain C++ sources, and
// the length of every instruction of two system libraries.
#include "DisAsmOracle.h"
#include "SweepElf.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <sstream>
#include <vector>

// The mode is one byte, which GoogleTest would print as a byte dump.
static void PrintTo(TDisAsmMode mode, std::ostream* os) { *os << (mode == TDisAsmMode::Mode64 ? "Mode64" : "Mode32"); }

namespace {

std::string Hex(const uint8_t* bytes, size_t count)
{
    std::string s;
    char b[4];
    for (size_t i = 0; i < count; ++i) {
        snprintf(b, sizeof b, "%02X ", bytes[i]);
        s += b;
    }
    return s;
}

// What the two decoders disagree on, or empty.
std::string Compare(const TDecodedInstruction& ours, const TOracleAnswer& theirs)
{
    if (!ours.Valid || !theirs.Valid)
        return ours.Valid == theirs.Valid ? std::string() : (ours.Valid ? "valid only here" : "valid only there");
    if (ours.Length() != theirs.Length)
        return "length";
    if (static_cast<bool>(ours.IsCall) != theirs.IsCall)
        return "call";
    if (static_cast<bool>(ours.IsJmp) != theirs.IsJump)
        return "jump";
    if (theirs.HasTarget && ours.IsRelative && ours.Target != theirs.Target)
        return "target";
    if (theirs.HasCell && ours.TargetPointerPointer != theirs.Cell)
        return "cell";
    return {};
}

struct TInstructionHead {
    bool P66 = false;
    uint8_t Rex = 0;
    int Map = 0;
    uint8_t Op = 0;
    uint8_t ModRm = 0;
};

TInstructionHead Head(const uint8_t* b, size_t n, bool is64)
{
    TInstructionHead h;
    size_t i = 0;
    while (i < n) {
        const uint8_t c = b[i];
        if (c == 0x66)
            h.P66 = true;
        else if (!(c == 0x67 || c == 0xF0 || c == 0xF2 || c == 0xF3 || c == 0x26 || c == 0x2E || c == 0x36
                       || c == 0x3E || c == 0x64 || c == 0x65 || (is64 && (c & 0xF0) == 0x40)))
            break;
        h.Rex = is64 && (c & 0xF0) == 0x40 ? c : 0;
        ++i;
    }
    if (i < n && b[i] == 0x0F && i + 1 < n) {
        ++i;
        h.Map = 1;
        if ((b[i] == 0x38 || b[i] == 0x3A) && i + 1 < n) {
            h.Map = b[i] == 0x38 ? 2 : 3;
            ++i;
        }
    }
    if (i < n)
        h.Op = b[i++];
    if (i < n)
        h.ModRm = b[i];
    return h;
}

// The differences allowed between the decoder and capstone 4, each with its reason; nullptr when
// the difference is a fault.
const char* AllowedDifference(TDisAsmMode mode, const uint8_t* bytes, size_t count, const TDecodedInstruction& ours,
    const TOracleAnswer& theirs, const std::string& kind)
{
    const bool is64 = mode == TDisAsmMode::Mode64;
    const TInstructionHead h = Head(bytes, count, is64);
    if ((kind == "call" || kind == "jump") && theirs.HasTarget && theirs.Target == ours.End && !ours.IsCall
        && !ours.IsJmp)
        return "a call or jump to the next instruction only reads the address: no transfer";
    if (kind == "jump" && h.Map == 0 && h.Op >= 0xE0 && h.Op <= 0xE2)
        return "capstone 4 puts loop, loopz and loopnz in no jump group";
    if ((kind == "length" || kind == "target") && h.P66
        && ((h.Map == 0 && (h.Op == 0xE8 || h.Op == 0xE9 || h.Op == 0xC2)) || (h.Map == 1 && (h.Op & 0xF0) == 0x80)))
        return is64 ? "near branches ignore the operand-size prefix in 64-bit mode; capstone 4 reads 16 bits"
                    : "a 16-bit near branch wraps its target at 64 KiB; capstone 4 does not";
    if (kind == "valid only there" && h.Map == 1 && h.Op >= 0x20 && h.Op <= 0x23)
        return "capstone 4 accepts control and debug registers that do not exist";
    if (is64 && kind == "valid only here" && h.Map == 1 && h.Op >= 0x1A && h.Op <= 0x1F && (h.ModRm >> 6) == 3)
        return "capstone 4 rejects the register forms of the hint nops, which processors run";
    if (is64 && kind == "valid only here" && h.Map == 1 && h.Op == 0xFF)
        return "capstone 4 rejects ud0 after a prefix; it faults either way";
    if (!is64 && kind == "valid only here" && h.Map == 1 && h.Op == 0x0D && ((h.ModRm >> 3) & 7) == 0)
        return "capstone 4 lacks the 3DNow! prefetch";
    if (!is64 && kind == "valid only there") {
        // The 32-bit tables hold the general, x87, MMX, SSE, SSE2 and 3DNow! instructions only.
        TBufferCodeReader reader(0x1000, std::vector<uint8_t>(bytes, bytes + count));
        const TDecodedInstruction wide = DecodeInstruction(reader, TDisAsmMode::Mode64, 0x1000);
        if (wide.Valid && wide.Length() == theirs.Length && !(bytes[0] >= 0x40 && bytes[0] <= 0x4F))
            return "the 32-bit tables end at SSE2: later and system instruction sets are invalid there";
    }
    return nullptr;
}

struct TTally {
    size_t Instructions = 0;
    std::map<std::string, size_t> Allowed;
    std::map<std::string, size_t> Faults; // kind -> count
    std::vector<std::string> Examples;
    void Add(TDisAsmMode mode, const uint8_t* bytes, size_t count, const TDecodedInstruction& ours,
        const TOracleAnswer& theirs, const std::string& where = {})
    {
        ++Instructions;
        const std::string kind = Compare(ours, theirs);
        if (kind.empty())
            return;
        if (const char* reason = AllowedDifference(mode, bytes, count, ours, theirs, kind)) {
            ++Allowed[reason];
            return;
        }
        ++Faults[kind];
        if (Examples.size() < 20) {
            std::ostringstream s;
            s << kind << ": " << Hex(bytes, std::min<size_t>(count, 12)) << where << " ours len "
              << int(ours.Length()) << " call " << int(ours.IsCall) << " jmp " << int(ours.IsJmp) << " target "
              << std::hex << ours.Target << std::dec << " | capstone len " << int(theirs.Length) << " call "
              << theirs.IsCall << " jmp " << theirs.IsJump << " target " << std::hex << theirs.Target;
            Examples.push_back(s.str());
        }
    }
    size_t FaultCount() const
    {
        size_t n = 0;
        for (const auto& [k, c] : Faults)
            n += c;
        return n;
    }
    std::string Summary() const
    {
        std::ostringstream s;
        s << Instructions << " instructions, " << FaultCount() << " disagreements";
        for (const auto& [k, c] : Faults)
            s << "\n  fault " << k << ": " << c;
        for (const auto& [k, c] : Allowed)
            s << "\n  allowed (" << c << "): " << k;
        for (const std::string& e : Examples)
            s << "\n  " << e;
        return s.str();
    }
};

class DisAsmTables : public ::testing::TestWithParam<TDisAsmMode> { };

} // namespace

// Every one-byte, 0F, 0F 38 and 0F 3A opcode with every ModRM byte (and every SIB byte without
// prefixes), under no prefix, 66, F2 and F3, in 64-bit mode also with REX.W, REX.R and REX.B;
// filler bytes serve as displacement and immediate.
TEST_P(DisAsmTables, AgreeWithCapstone)
{
    const TDisAsmMode mode = GetParam();
    const bool is64 = mode == TDisAsmMode::Mode64;
    TOracle oracle(mode);
    TTally tally;
    const uint8_t filler[] = { 0x0C, 0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE, 0xF1, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD,
        0xEF };
    std::vector<std::vector<uint8_t>> prefixSets = { {}, { 0x66 }, { 0xF2 }, { 0xF3 } };
    if (is64)
        for (uint8_t rex : { 0x48, 0x44, 0x41 })
            for (size_t i = 0; i < 4; ++i) {
                std::vector<uint8_t> p = prefixSets[i];
                p.push_back(rex);
                prefixSets.push_back(p);
            }
    const uintptr_t base = 0x401000;
    std::vector<uint8_t> bytes;
    bytes.reserve(32);
    for (size_t ps = 0; ps < prefixSets.size(); ++ps) {
        for (int opcode = 0; opcode < 256 * 4; ++opcode) {
            const int map = opcode >> 8;
            const uint8_t op = static_cast<uint8_t>(opcode);
            const TInstructionHead probe = Head(&op, 1, is64);
            if (map == 0 && (op == 0x0F || (probe.Op != op)))
                continue; // prefixes and escapes come in as prefixes and maps
            if (map == 0 && is64 && (op == 0xC4 || op == 0xC5 || op == 0x62))
                continue; // VEX and EVEX are counted in the sweeps
            if (map == 1 && (op == 0x38 || op == 0x3A))
                continue;
            if (map >= 2 && ps > 3)
                continue;
            std::vector<uint8_t> head = prefixSets[ps];
            if (map >= 1)
                head.push_back(0x0F);
            if (map >= 2)
                head.push_back(map == 2 ? 0x38 : 0x3A);
            head.push_back(op);
            for (int modrm = 0; modrm < 256; ++modrm) {
                const bool sib = (modrm & 7) == 4 && (modrm >> 6) != 3;
                const int sibCount = sib ? (ps == 0 ? 256 : 3) : 1;
                for (int s = 0; s < sibCount; ++s) {
                    bytes = head;
                    bytes.push_back(static_cast<uint8_t>(modrm));
                    if (sib)
                        bytes.push_back(ps == 0 ? static_cast<uint8_t>(s) : (s == 0 ? 0x00 : s == 1 ? 0x25 : 0xE4));
                    bytes.insert(bytes.end(), filler, filler + sizeof filler);
                    TBufferCodeReader reader(base, bytes);
                    tally.Add(mode, bytes.data(), bytes.size(), DecodeInstruction(reader, mode, base),
                        oracle.Decode(bytes.data(), bytes.size(), base));
                }
            }
        }
    }
    std::printf("%s\n", tally.Summary().c_str());
    EXPECT_EQ(tally.FaultCount(), 0u) << tally.Summary();
}

INSTANTIATE_TEST_SUITE_P(Modes, DisAsmTables, ::testing::Values(TDisAsmMode::Mode32, TDisAsmMode::Mode64),
    [](const auto& info) { return info.param == TDisAsmMode::Mode64 ? "Mode64" : "Mode32"; });

namespace {

// The kinds of the VEX and EVEX disagreements, for the report.
std::map<std::string, size_t>* VexKinds = nullptr;

// Decodes every function of the file from start to end with both decoders.
void SweepFile(const std::string& path, TTally& tally, size_t* vexDisagreements = nullptr, bool lengthOnly = false,
    size_t* vexInstructions = nullptr)
{
    TSweepElf elf;
    ASSERT_TRUE(elf.Load(path)) << path;
    ASSERT_FALSE(elf.Functions().empty()) << path;
    const TDisAsmMode mode = elf.Is64() ? TDisAsmMode::Mode64 : TDisAsmMode::Mode32;
    TOracle oracle(mode);
    std::map<size_t, std::unique_ptr<TBufferCodeReader>> readers;
    // A library is swept whole: its .text from start to end, exported or not (vector code paths
    // are seldom exported).
    std::vector<TSweepFunction> functions = elf.Functions();
    if (vexDisagreements) {
        functions.clear();
        for (size_t i = 0; i < elf.Sections().size(); ++i)
            if (elf.Sections()[i].Name == ".text")
                functions.push_back({ ".text", elf.Sections()[i].Address, elf.Sections()[i].Size, i });
    }
    for (const TSweepFunction& f : functions) {
        auto& reader = readers[f.Section];
        const TSweepSection& s = elf.Sections()[f.Section];
        if (!reader)
            reader = std::make_unique<TBufferCodeReader>(static_cast<uintptr_t>(s.Address),
                std::vector<uint8_t>(elf.SectionBytes(f.Section), elf.SectionBytes(f.Section) + s.Size));
        const uint8_t* sectionBytes = elf.SectionBytes(f.Section);
        for (uint64_t at = f.Address; at < f.Address + f.Size;) {
            const uint8_t* b = sectionBytes + (at - s.Address);
            const size_t n = static_cast<size_t>(std::min<uint64_t>(15, s.Address + s.Size - at));
            const TDecodedInstruction ours = DecodeInstruction(*reader, mode, static_cast<uintptr_t>(at));
            const TOracleAnswer theirs = oracle.Decode(b, n, at);
            const bool vex = ours.Vex != 0 || (mode == TDisAsmMode::Mode64 && (b[0] == 0xC4 || b[0] == 0xC5 || b[0] == 0x62));
            if (vexDisagreements && vex) {
                const std::string kind = Compare(ours, theirs);
                if (!kind.empty()) {
                    ++*vexDisagreements;
                    if (VexKinds)
                        ++(*VexKinds)[kind];
                }
                if (vexInstructions)
                    ++*vexInstructions;
                ++tally.Instructions;
            } else if (lengthOnly) {
                TOracleAnswer lengthOf = theirs;
                lengthOf.IsCall = ours.IsCall;
                lengthOf.IsJump = ours.IsJmp;
                lengthOf.HasTarget = lengthOf.HasCell = false;
                tally.Add(mode, b, n, ours, lengthOf, " in " + f.Name);
            } else {
                tally.Add(mode, b, n, ours, theirs, " in " + f.Name);
            }
            at += theirs.Valid ? theirs.Length : ours.Valid ? ours.Length() : 1;
        }
    }
}

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

// Our own code: every function of the program and of this test executable (64-bit), and of the
// 32-bit objects built from our plain C++ sources.
TEST(DisAsmOracle, OurCodeAgrees)
{
    TTally tally;
    SweepFile("/proc/self/exe", tally);
#ifdef TARVELL_PROGRAM
    SweepFile(TARVELL_PROGRAM, tally);
#endif
    for (const std::string& object : SplitList(TARVELL_DISASM32_OBJECTS))
        SweepFile(object, tally);
    std::printf("%s\n", tally.Summary().c_str());
    EXPECT_GE(tally.Instructions, 150000u);
    EXPECT_EQ(tally.FaultCount(), 0u) << tally.Summary();
}

// Code of other compilers and hand-written assembly: lengths agree outside VEX and EVEX (whose
// count is reported, not checked).
TEST(DisAsmOracle, SystemLibraryLengthsAgree)
{
    for (const char* path :
        { "/usr/lib/x86_64-linux-gnu/libQt6Core.so.6", "/usr/lib/x86_64-linux-gnu/libstdc++.so.6" }) {
        TTally tally;
        size_t vex = 0, vexCount = 0;
        std::map<std::string, size_t> kinds;
        VexKinds = &kinds;
        SweepFile(path, tally, &vex, true, &vexCount);
        VexKinds = nullptr;
        std::string kindText;
        for (const auto& [k, n] : kinds)
            kindText += " " + k + " " + std::to_string(n) + ";";
        std::printf("%s: %s\n  VEX/EVEX: %zu instructions, %zu disagreements:%s\n", path, tally.Summary().c_str(),
            vexCount, vex, kindText.c_str());
        EXPECT_EQ(tally.Faults["length"], 0u) << path << ": " << tally.Summary();
    }
}
