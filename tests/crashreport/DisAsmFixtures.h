// Hand-assembled code for the decoder and analyser tests; each function notes what it is.
#pragma once

#include "crashreport/logic/VostDisAsm.h"

#include <cstring>
#include <map>
#include <string>
#include <vector>

// 32-bit switch at $401000: cmp eax, 5 / ja default / jmp [eax*4+table], the table right after the
// jump; cases 0, 1 and 2..5, each jumping to one exit.
inline std::vector<uint8_t> Switch32()
{
    std::vector<uint8_t> b = {
        0x55, 0x8B, 0xEC, 0x8B, 0x45, 0x08, 0x83, 0xF8, 0x05, 0x77, 0x31, //
        0xFF, 0x24, 0x85, 0x12, 0x10, 0x40, 0x00, //
        0x2A, 0x10, 0x40, 0x00, 0x2E, 0x10, 0x40, 0x00, 0x35, 0x10, 0x40, 0x00, //
        0x35, 0x10, 0x40, 0x00, 0x35, 0x10, 0x40, 0x00, 0x35, 0x10, 0x40, 0x00, //
        0x31, 0xC0, 0xEB, 0x11, //
        0xB8, 0x0A, 0x00, 0x00, 0x00, 0xEB, 0x0A, //
        0xB8, 0xE8, 0x03, 0x00, 0x00, 0xEB, 0x03, //
        0x83, 0xC8, 0xFF, //
        0x5D, 0xC3 };
    return b;
}
constexpr uintptr_t Base64 = 0x555555554000;
constexpr uintptr_t LibcBase = 0x7F0000000000;
// 64-bit function at Base64: endbr64; push rbp; mov rbp,rsp; lea rdi,[rip+msg]; call thunk; test eax,eax; je; call [rip+cell]; pop rbp; ret
inline std::vector<uint8_t> Function64()
{
    std::vector<uint8_t> b(0x70, 0xCC);
    const uint8_t code[] = { 0xF3, 0x0F, 0x1E, 0xFA, 0x55, 0x48, 0x89, 0xE5, 0x48, 0x8D, 0x3D, 0x31, 0x00, 0x00, 0x00,
        0xE8, 0x1C, 0x00, 0x00, 0x00, 0x85, 0xC0, 0x74, 0x06, 0xFF, 0x15, 0x32, 0x00, 0x00, 0x00, 0x5D, 0xC3 };
    std::memcpy(b.data(), code, sizeof code);
    const uint8_t thunk[] = { 0xFF, 0x25, 0x2A, 0x00, 0x00, 0x00 };
    std::memcpy(b.data() + 0x30, thunk, sizeof thunk);
    std::memcpy(b.data() + 0x40, "Hello, world\0", 13);
    const uint64_t freeAddress = LibcBase + 0x1000, strlenAddress = LibcBase + 0x2000;
    std::memcpy(b.data() + 0x50, &freeAddress, 8);
    std::memcpy(b.data() + 0x60, &strlenAddress, 8);
    return b;
}
// Position-independent switch at Base64, table at +$100: cmp edi,5; ja default; mov edi,edi; lea rax,[rip+table]; movsxd rdx,[rax+rdi*4]; add rdx,rax; jmp rdx
inline std::vector<uint8_t> PieSwitch64()
{
    std::vector<uint8_t> b(0x120, 0xCC);
    const uint8_t code[] = { 0x83, 0xFF, 0x05, 0x77, 0x2B, 0x89, 0xFF, 0x48, 0x8D, 0x05, 0xF2, 0x00, 0x00, 0x00, 0x48,
        0x63, 0x14, 0xB8, 0x48, 0x01, 0xC2, 0xFF, 0xE2, //
        0xB8, 0x01, 0x00, 0x00, 0x00, 0xC3, //
        0xB8, 0x02, 0x00, 0x00, 0x00, 0xC3, //
        0xB8, 0x03, 0x00, 0x00, 0x00, 0xC3, //
        0x0F, 0x1F, 0x80, 0x00, 0x00, 0x00, 0x00, //
        0x31, 0xC0, 0xC3 };
    std::memcpy(b.data(), code, sizeof code);
    const int32_t table[6] = { 0x17 - 0x100, 0x1D - 0x100, 0x23 - 0x100, 0x23 - 0x100, 0x23 - 0x100, 0x23 - 0x100 };
    std::memcpy(b.data() + 0x100, table, sizeof table);
    return b;
}
// Names by address, and two modules: the program at Base64 and a library at LibcBase.
class TFixtureNamer : public TCodeNamer {
public:
    std::map<uintptr_t, std::string> Exports, Procs, Cells;
    std::string ExportName(uintptr_t a) const override { auto i = Exports.find(a); return i == Exports.end() ? "" : i->second; }
    std::string ProcName(uintptr_t a) const override { auto i = Procs.find(a); return i == Procs.end() ? "" : i->second; }
    std::string CellName(uintptr_t a) const override { auto i = Cells.find(a); return i == Cells.end() ? "" : i->second; }
    bool Module(uintptr_t a, TCodeModule& m) const override
    {
        if (a >= Base64 && a < Base64 + 0x1000) { m = { Base64, Base64 + 0x1000, "tarvell", true }; return true; }
        if (a >= LibcBase && a < LibcBase + 0x100000) { m = { LibcBase, LibcBase + 0x100000, "libc.so.6", false }; return true; }
        return false;
    }
};
