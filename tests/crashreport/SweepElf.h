// Test helper for the decoder sweeps: the functions of an ELF file with their bytes, read from the
// file itself. Unlike the reporter's own ELF reader it also reads 32-bit files and relocatable objects.
#pragma once

#include "crashreport/logic/VostDisAsm.h"

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <algorithm>
#include <vector>

struct TSweepFunction {
    std::string Name;
    uint64_t Address = 0; // load address; in objects: a made-up address per section
    uint64_t Size = 0;
    size_t Section = 0;
};

struct TSweepSection {
    std::string Name;
    uint64_t Address = 0;
    uint64_t Offset = 0;
    uint64_t Size = 0;
    bool Executable = false;
    bool HasBits = false;
};

class TSweepElf {
public:
    bool Load(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        if (!in)
            return false;
        FBytes.assign(std::istreambuf_iterator<char>(in), {});
        if (FBytes.size() < 64 || std::memcmp(FBytes.data(), "\x7F" "ELF", 4) != 0)
            return false;
        F64 = FBytes[4] == 2;
        FRelocatable = U16(16) == 1;
        const uint64_t shoff = F64 ? U64(0x28) : U32(0x20);
        const unsigned shentsize = U16(F64 ? 0x3A : 0x2E);
        const unsigned shnum = U16(F64 ? 0x3C : 0x30);
        const unsigned shstrndx = U16(F64 ? 0x3E : 0x32);
        if (shoff == 0 || shoff + uint64_t(shnum) * shentsize > FBytes.size())
            return false;
        struct TRaw {
            uint32_t Name, Type;
            uint64_t Flags, Addr, Offset, Size;
            uint32_t Link;
            uint64_t EntSize;
        };
        std::vector<TRaw> raw;
        for (unsigned i = 0; i < shnum; ++i) {
            const size_t h = shoff + size_t(i) * shentsize;
            TRaw r;
            r.Name = U32(h);
            r.Type = U32(h + 4);
            if (F64) {
                r.Flags = U64(h + 8);
                r.Addr = U64(h + 16);
                r.Offset = U64(h + 24);
                r.Size = U64(h + 32);
                r.Link = U32(h + 40);
                r.EntSize = U64(h + 56);
            } else {
                r.Flags = U32(h + 8);
                r.Addr = U32(h + 12);
                r.Offset = U32(h + 16);
                r.Size = U32(h + 20);
                r.Link = U32(h + 24);
                r.EntSize = U32(h + 36);
            }
            raw.push_back(r);
        }
        const TRaw& names = raw[shstrndx];
        for (size_t i = 0; i < raw.size(); ++i) {
            TSweepSection s;
            s.Name = Str(names.Offset + raw[i].Name);
            s.Offset = raw[i].Offset;
            s.Size = raw[i].Size;
            s.Executable = (raw[i].Flags & 4) != 0;
            s.HasBits = raw[i].Type != 8;
            // Objects place every section at a made-up address of its own.
            s.Address = FRelocatable ? 0x10000000 + raw[i].Offset : raw[i].Addr;
            FSections.push_back(s);
        }
        // The full symbol table when there is one, else the dynamic one.
        for (uint32_t wanted : { 2u, 11u }) {
            for (const TRaw& r : raw) {
                if (r.Type != wanted || r.EntSize == 0 || r.Link >= raw.size())
                    continue;
                const TRaw& strings = raw[r.Link];
                for (uint64_t off = r.Offset; off + r.EntSize <= r.Offset + r.Size; off += r.EntSize) {
                    uint32_t name;
                    uint8_t info;
                    uint16_t shndx;
                    uint64_t value, size;
                    if (F64) {
                        name = U32(off);
                        info = FBytes[off + 4];
                        shndx = U16(off + 6);
                        value = U64(off + 8);
                        size = U64(off + 16);
                    } else {
                        name = U32(off);
                        value = U32(off + 4);
                        size = U32(off + 8);
                        info = FBytes[off + 12];
                        shndx = U16(off + 14);
                    }
                    if ((info & 15) != 2 || size == 0 || shndx == 0 || shndx >= FSections.size())
                        continue;
                    const TSweepSection& s = FSections[shndx];
                    if (!s.Executable || !s.HasBits)
                        continue;
                    TSweepFunction f;
                    f.Name = Str(strings.Offset + name);
                    f.Address = FRelocatable ? s.Address + value : value;
                    f.Size = size;
                    f.Section = shndx;
                    if (f.Address < s.Address || f.Address + f.Size > s.Address + s.Size)
                        continue;
                    FFunctions.push_back(f);
                }
            }
            if (!FFunctions.empty())
                break;
        }
        return true;
    }
    bool Is64() const { return F64; }
    const std::vector<TSweepFunction>& Functions() const { return FFunctions; }
    const std::vector<TSweepSection>& Sections() const { return FSections; }
    // The bytes of an allocated section (or, for objects, any section) at its address.
    const uint8_t* SectionBytes(size_t index) const { return FBytes.data() + FSections[index].Offset; }

private:
    uint16_t U16(size_t o) const { return uint16_t(FBytes[o] | FBytes[o + 1] << 8); }
    uint32_t U32(size_t o) const { return uint32_t(U16(o)) | uint32_t(U16(o + 2)) << 16; }
    uint64_t U64(size_t o) const { return uint64_t(U32(o)) | uint64_t(U32(o + 4)) << 32; }
    std::string Str(size_t o) const
    {
        std::string s;
        while (o < FBytes.size() && FBytes[o])
            s += char(FBytes[o++]);
        return s;
    }
    std::vector<uint8_t> FBytes;
    std::vector<TSweepSection> FSections;
    std::vector<TSweepFunction> FFunctions;
    bool F64 = false;
    bool FRelocatable = false;
};

// The allocated sections of a file at their addresses, as a code reader.
class TSweepElfReader : public TCodeReader {
public:
    explicit TSweepElfReader(const TSweepElf& elf)
        : FElf(elf)
    {
        for (size_t i = 0; i < elf.Sections().size(); ++i) {
            const TSweepSection& s = elf.Sections()[i];
            if (s.Address && s.HasBits && s.Size)
                FSections.push_back(i);
        }
    }
    size_t ReadSome(uintptr_t address, void* dest, size_t count) const override
    {
        for (size_t i : FSections) {
            const TSweepSection& s = FElf.Sections()[i];
            if (address >= s.Address && address < s.Address + s.Size) {
                const size_t n = static_cast<size_t>(std::min<uint64_t>(count, s.Address + s.Size - address));
                std::memcpy(dest, FElf.SectionBytes(i) + (address - s.Address), n);
                return n;
            }
        }
        return 0;
    }

private:
    const TSweepElf& FElf;
    std::vector<size_t> FSections;
};
