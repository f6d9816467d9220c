// Builds small ELF64 files for the reader tests: a header, the named sections and a section name
// table; nothing is loadable.
#pragma once

#include <elf.h>

#include <cstring>
#include <string>
#include <vector>

struct TElfFixtureSection {
    std::string Name;
    uint32_t Type = SHT_PROGBITS;
    uint64_t Flags = 0;
    std::string Bytes;
    uint32_t Link = 0;
};

inline std::string MakeElfFixture(const std::vector<TElfFixtureSection>& sections)
{
    std::string names(1, '\0');
    std::vector<uint32_t> nameOffsets;
    for (const TElfFixtureSection& s : sections) {
        nameOffsets.push_back(uint32_t(names.size()));
        names += s.Name;
        names += '\0';
    }
    const uint32_t shstrtabName = uint32_t(names.size());
    names += ".shstrtab";
    names += '\0';

    std::string out(sizeof(Elf64_Ehdr), '\0');
    std::vector<Elf64_Shdr> headers(1);
    for (size_t i = 0; i < sections.size(); ++i) {
        Elf64_Shdr h{};
        h.sh_name = nameOffsets[i];
        h.sh_type = sections[i].Type;
        h.sh_flags = sections[i].Flags;
        h.sh_offset = out.size();
        h.sh_size = sections[i].Bytes.size();
        h.sh_link = sections[i].Link;
        h.sh_entsize = sections[i].Type == SHT_SYMTAB || sections[i].Type == SHT_DYNSYM ? sizeof(Elf64_Sym) : 0;
        out += sections[i].Bytes;
        headers.push_back(h);
    }
    Elf64_Shdr strtab{};
    strtab.sh_name = shstrtabName;
    strtab.sh_type = SHT_STRTAB;
    strtab.sh_offset = out.size();
    strtab.sh_size = names.size();
    out += names;
    headers.push_back(strtab);
    while (out.size() % 8)
        out += '\0';

    Elf64_Ehdr e{};
    std::memcpy(e.e_ident, ELFMAG, SELFMAG);
    e.e_ident[EI_CLASS] = ELFCLASS64;
    e.e_ident[EI_DATA] = ELFDATA2LSB;
    e.e_ident[EI_VERSION] = EV_CURRENT;
    e.e_type = ET_DYN;
    e.e_machine = EM_X86_64;
    e.e_version = EV_CURRENT;
    e.e_ehsize = sizeof(Elf64_Ehdr);
    e.e_shentsize = sizeof(Elf64_Shdr);
    e.e_shnum = uint16_t(headers.size());
    e.e_shstrndx = uint16_t(headers.size() - 1);
    e.e_shoff = out.size();
    std::memcpy(out.data(), &e, sizeof e);
    out.append(reinterpret_cast<const char*>(headers.data()), headers.size() * sizeof(Elf64_Shdr));
    return out;
}

// A symbol table of (name, value, size) function symbols and its string table, as two sections
// for MakeElfFixture; link is the index the string table will get (sections count from 1).
inline std::vector<TElfFixtureSection> MakeSymbolSections(const std::vector<std::tuple<std::string, uint64_t, uint64_t>>& symbols,
                                                          uint32_t stringTableIndex)
{
    std::string strings(1, '\0');
    std::string table(sizeof(Elf64_Sym), '\0');
    for (const auto& [name, value, size] : symbols) {
        Elf64_Sym sym{};
        sym.st_name = uint32_t(strings.size());
        sym.st_value = value;
        sym.st_size = size;
        sym.st_info = ELF64_ST_INFO(STB_GLOBAL, STT_FUNC);
        sym.st_shndx = 1;
        strings += name;
        strings += '\0';
        table.append(reinterpret_cast<const char*>(&sym), sizeof sym);
    }
    return {{".symtab", SHT_SYMTAB, 0, table, stringTableIndex}, {".strtab", SHT_STRTAB, 0, strings}};
}
