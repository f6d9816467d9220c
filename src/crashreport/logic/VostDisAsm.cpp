// x86 decoder (32- and 64-bit mode), instruction text, function analyser and function listing.
#include "crashreport/logic/VostDisAsm.h"

#include "crashreport/logic/VostStrings.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>

namespace {

#include "crashreport/logic/VostDisAsmTables.inc"

// ---------------------------------------------------------------------------------------------
// Tables

enum TOpAddr : uint8_t {
    AddrNone,
    AddrE, // ModRM rm: register or memory
    AddrM, // ModRM rm: memory only
    AddrR, // ModRM rm: register only
    AddrG, // ModRM reg
    AddrS, // ModRM reg: segment register
    AddrC, // ModRM reg: control register
    AddrD, // ModRM reg: debug register
    AddrP, // ModRM reg: mmx
    AddrQ, // ModRM rm: mmx or memory
    AddrN, // ModRM rm: mmx only
    AddrV, // ModRM reg: xmm
    AddrW, // ModRM rm: xmm or memory
    AddrU, // ModRM rm: xmm only
    AddrI, // immediate
    AddrIs, // byte immediate sign-extended to the operand size
    AddrJ, // relative target
    AddrA, // far pointer
    AddrO, // memory offset
    AddrZ, // register in the opcode's low bits
    AddrFixedGpr, // a named general register (Reg holds the number)
    AddrFixedSeg,
    AddrOne, // shift by 1
    AddrSt0,
    AddrSti, // st(rm)
};

enum TOpSize : uint8_t {
    SizeNone,
    SizeB,
    SizeW,
    SizeD,
    SizeQ,
    SizeV, // operand size
    SizeZ, // operand size, at most 4
    SizeY, // 4, or 8 with REX.W
    SizeN, // natural: 4 in 32-bit mode, 8 in 64-bit mode
    SizeX, // 16
    SizeSs,
    SizeSd,
    SizeT, // 10
    SizeP, // far pointer: operand size + 2
    SizeS, // descriptor: 6 or 10
    SizeA, // bound pair: 2 × operand size
};

struct TOperandForm {
    TOpAddr Addr = AddrNone;
    TOpSize Size = SizeNone;
    uint8_t Reg = 0;
};

enum : uint32_t {
    FlagI64 = 1u << 0,
    FlagO64 = 1u << 1,
    FlagX32 = 1u << 2,
    FlagD64 = 1u << 3,
    FlagF64 = 1u << 4,
    FlagCall = 1u << 5,
    FlagJmp = 1u << 6,
    FlagJcc = 1u << 7,
    FlagRet = 1u << 8,
    FlagFar = 1u << 9,
    FlagNw = 1u << 10,
    FlagW2 = 1u << 11,
    FlagNop = 1u << 12,
    FlagUd = 1u << 13,
    FlagMod3 = 1u << 14,
    FlagAsz = 1u << 15,
    Flag3DNow = 1u << 16,
};

struct TOpDef {
    std::string Mnemonic;
    std::array<TOperandForm, 4> Ops {};
    uint8_t OpCount = 0;
    uint32_t Flags = 0;
    uint8_t Map = 0;
    uint8_t Opcode = 0;
    int8_t Prefix = -1; // -1 any, 0 none, 1 66, 2 F3, 3 F2
    int8_t Reg = -1;
    int8_t Mod = -1; // 0 memory, 1 register
    int8_t Rm = -1;
};

struct TSlot {
    uint16_t First = 0;
    uint16_t Count = 0;
    bool HasModRm = false;
    bool ByPrefix = false;
};

struct TTables {
    std::vector<TOpDef> Defs;
    TSlot Slots[4][256];
};

TOpSize ParseSize(const std::string& s)
{
    static const struct {
        const char* Text;
        TOpSize Size;
    } sizes[] = { { "b", SizeB }, { "w", SizeW }, { "d", SizeD }, { "q", SizeQ }, { "v", SizeV }, { "z", SizeZ },
        { "y", SizeY }, { "n", SizeN }, { "x", SizeX }, { "dq", SizeX }, { "ps", SizeX }, { "pd", SizeX },
        { "ss", SizeSs }, { "sd", SizeSd }, { "t", SizeT }, { "p", SizeP }, { "s", SizeS }, { "a", SizeA } };
    if (s.empty())
        return SizeNone;
    for (const auto& e : sizes)
        if (s == e.Text)
            return e.Size;
    return SizeNone;
}

TOperandForm ParseOperand(const std::string& t)
{
    static const char* const gpr8[] = { "AL", "CL", "DL", "BL" };
    static const char* const segs[] = { "ES", "CS", "SS", "DS", "FS", "GS" };
    TOperandForm s;
    for (uint8_t i = 0; i < 4; ++i)
        if (t == gpr8[i])
            return { AddrFixedGpr, SizeB, i };
    for (uint8_t i = 0; i < 6; ++i)
        if (t == segs[i])
            return { AddrFixedSeg, SizeW, i };
    if (t == "rAX")
        return { AddrFixedGpr, SizeV, 0 };
    if (t == "eAX")
        return { AddrFixedGpr, SizeZ, 0 };
    if (t == "AX")
        return { AddrFixedGpr, SizeW, 0 };
    if (t == "DX")
        return { AddrFixedGpr, SizeW, 2 };
    if (t == "1")
        return { AddrOne, SizeNone, 0 };
    if (t == "ST")
        return { AddrSt0, SizeNone, 0 };
    if (t == "STi")
        return { AddrSti, SizeNone, 0 };
    if (t == "Ibs")
        return { AddrIs, SizeB, 0 };
    const std::string size = t.substr(1);
    switch (t[0]) {
    case 'E': s.Addr = AddrE; break;
    case 'M': s.Addr = AddrM; break;
    case 'R': s.Addr = AddrR; break;
    case 'G': s.Addr = AddrG; break;
    case 'S': s.Addr = AddrS; break;
    case 'C': s.Addr = AddrC; break;
    case 'D': s.Addr = AddrD; break;
    case 'P': s.Addr = AddrP; break;
    case 'Q': s.Addr = AddrQ; break;
    case 'N': s.Addr = AddrN; break;
    case 'V': s.Addr = AddrV; break;
    case 'W': s.Addr = AddrW; break;
    case 'U': s.Addr = AddrU; break;
    case 'I': s.Addr = AddrI; break;
    case 'J': s.Addr = AddrJ; break;
    case 'A': s.Addr = AddrA; break;
    case 'O': s.Addr = AddrO; break;
    case 'Z': s.Addr = AddrZ; break;
    default: return s;
    }
    s.Size = ParseSize(size);
    return s;
}

uint32_t ParseFlag(const std::string& f)
{
    static const struct {
        const char* Text;
        uint32_t Flag;
    } flags[] = { { "i64", FlagI64 }, { "o64", FlagO64 }, { "x32", FlagX32 }, { "d64", FlagD64 }, { "f64", FlagF64 },
        { "call", FlagCall }, { "jmp", FlagJmp }, { "jcc", FlagJcc }, { "ret", FlagRet }, { "far", FlagFar },
        { "nw", FlagNw }, { "w2", FlagW2 }, { "nop", FlagNop }, { "ud", FlagUd }, { "mod3", FlagMod3 },
        { "asz", FlagAsz } };
    for (const auto& e : flags)
        if (f == e.Text)
            return e.Flag;
    return 0;
}

std::vector<std::string> SplitWords(const std::string& line, char separator)
{
    std::vector<std::string> words;
    std::string word;
    for (char c : line) {
        if (c == separator || (separator == ' ' && c == '\t')) {
            if (!word.empty())
                words.push_back(word);
            word.clear();
        } else {
            word += c;
        }
    }
    if (!word.empty())
        words.push_back(word);
    return words;
}

// One table line; ranges expand into one definition per opcode.
void ParseLine(const std::string& line, uint8_t map, std::vector<TOpDef>& defs)
{
    const std::vector<std::string> words = SplitWords(line, ' ');
    if (words.size() < 2)
        return;
    std::string key = words[0];
    TOpDef def;
    def.Map = map;
    const size_t colon = key.find(':');
    if (colon != std::string::npos) {
        const std::string p = key.substr(0, colon);
        def.Prefix = p == "NP" ? 0 : p == "66" ? 1 : p == "F3" ? 2 : 3;
        key = key.substr(colon + 1);
    }
    size_t i = 0;
    auto hexByte = [&]() {
        const int v = HexDigitValue(key[i]) * 16 + HexDigitValue(key[i + 1]);
        i += 2;
        return v;
    };
    const int first = hexByte();
    int last = first;
    if (i < key.size() && key[i] == '-') {
        ++i;
        last = hexByte();
    }
    auto form = [&]() {
        if (i < key.size() && (key[i] == 'm' || key[i] == 'r')) {
            def.Mod = key[i] == 'm' ? 0 : 1;
            ++i;
        }
    };
    form();
    if (i < key.size() && key[i] == '/') {
        def.Reg = static_cast<int8_t>(key[i + 1] - '0');
        i += 2;
        form();
    }
    if (i < key.size() && key[i] == '.') {
        def.Rm = static_cast<int8_t>(key[i + 1] - '0');
        def.Mod = 1;
    }
    def.Mnemonic = words[1];
    if (words.size() > 2 && words[2] != "-") {
        for (const std::string& op : SplitWords(words[2], ','))
            def.Ops[def.OpCount++] = ParseOperand(op);
    }
    for (size_t w = 3; w < words.size(); ++w)
        def.Flags |= ParseFlag(words[w]);
    for (int op = first; op <= last; ++op) {
        TOpDef d = def;
        d.Opcode = static_cast<uint8_t>(op);
        const size_t cc = d.Mnemonic.find("%cc");
        if (cc != std::string::npos)
            d.Mnemonic.replace(cc, 3, ConditionNames[op & 15]);
        if (d.Mnemonic == "3dnow")
            d.Flags |= Flag3DNow;
        defs.push_back(std::move(d));
    }
}

std::string GeneratedLines()
{
    std::string text = "@0\n";
    char line[96];
    for (int i = 0; i < 8; ++i) {
        const char* nw = i == 7 ? " nw" : "";
        const char* forms[6] = { "Eb,Gb", "Ev,Gv", "Gb,Eb", "Gv,Ev", "AL,Ib", "rAX,Iz" };
        for (int f = 0; f < 6; ++f) {
            // cmp writes nothing; the others write their first operand.
            snprintf(line, sizeof line, "%02X %s %s%s\n", i * 8 + f, AluNames[i], forms[f], nw);
            text += line;
        }
        snprintf(line, sizeof line, "80/%d %s Eb,Ib%s\n82/%d %s Eb,Ib i64%s\n81/%d %s Ev,Iz%s\n83/%d %s Ev,Ibs%s\n", i,
            AluNames[i], nw, i, AluNames[i], nw, i, AluNames[i], nw, i, AluNames[i], nw);
        text += line;
        snprintf(line, sizeof line, "C0/%d %s Eb,Ib\nC1/%d %s Ev,Ib\nD0/%d %s Eb,1\nD1/%d %s Ev,1\n", i, ShiftNames[i],
            i, ShiftNames[i], i, ShiftNames[i], i, ShiftNames[i]);
        text += line;
        snprintf(line, sizeof line, "D2/%d %s Eb,CL\nD3/%d %s Ev,CL\n", i, ShiftNames[i], i, ShiftNames[i]);
        text += line;
        const char* regForm = i == 2 || i == 3 ? "STi" : "ST,STi";
        snprintf(line, sizeof line, "D8/%dm %s Md\nD8/%dr %s %s\nDC/%dm %s Mq\n", i, X87ArithmeticNames[i], i,
            X87ArithmeticNames[i], regForm, i, X87ArithmeticNames[i]);
        text += line;
        snprintf(line, sizeof line, "DA/%dm %s Md\nDE/%dm %s Mw\n", i, X87IntegerNames[i], i, X87IntegerNames[i]);
        text += line;
    }
    text += "@1\n";
    for (const std::string& l : SplitWords(MmxOpcodeText, '\n')) {
        const std::vector<std::string> w = SplitWords(l, ' ');
        text += "NP:" + w[0] + " " + w[1] + " Pq,Qq\n66:" + w[0] + " " + w[1] + " Vx,Wx\n";
    }
    for (int i = 0; i < 8; ++i) {
        if (!SseArithmeticNames[i])
            continue;
        const std::string n = SseArithmeticNames[i];
        snprintf(line, sizeof line, "NP:%02X %sps Vps,Wps\n66:%02X %spd Vpd,Wpd\n", 0x58 + i, n.c_str(), 0x58 + i,
            n.c_str());
        text += line;
        snprintf(line, sizeof line, "F3:%02X %sss Vss,Wss\nF2:%02X %ssd Vsd,Wsd\n", 0x58 + i, n.c_str(), 0x58 + i,
            n.c_str());
        text += line;
    }
    return text;
}

void ParseText(const char* text, std::vector<TOpDef>& defs)
{
    uint8_t map = 0;
    for (const std::string& line : SplitWords(text, '\n')) {
        if (line.empty() || line[0] == '#')
            continue;
        if (line[0] == '@') {
            map = static_cast<uint8_t>(line[1] - '0');
            continue;
        }
        ParseLine(line, map, defs);
    }
}

bool UsesModRm(const TOpDef& d)
{
    if (d.Reg >= 0 || d.Mod >= 0 || d.Map >= 2)
        return true;
    for (int i = 0; i < d.OpCount; ++i) {
        switch (d.Ops[i].Addr) {
        case AddrE:
        case AddrM:
        case AddrR:
        case AddrG:
        case AddrS:
        case AddrC:
        case AddrD:
        case AddrP:
        case AddrQ:
        case AddrN:
        case AddrV:
        case AddrW:
        case AddrU:
        case AddrSti:
            return true;
        default: break;
        }
    }
    return false;
}

const TTables& Tables()
{
    static const TTables* tables = [] {
        auto* t = new TTables;
        ParseText(GeneratedLines().c_str(), t->Defs);
        ParseText(OpcodeTableText, t->Defs);
        std::stable_sort(t->Defs.begin(), t->Defs.end(),
            [](const TOpDef& a, const TOpDef& b) { return a.Map != b.Map ? a.Map < b.Map : a.Opcode < b.Opcode; });
        for (size_t i = 0; i < t->Defs.size(); ++i) {
            const TOpDef& d = t->Defs[i];
            TSlot& s = t->Slots[d.Map][d.Opcode];
            if (s.Count == 0)
                s.First = static_cast<uint16_t>(i);
            ++s.Count;
            s.HasModRm = s.HasModRm || UsesModRm(d);
            s.ByPrefix = s.ByPrefix || d.Prefix >= 0;
        }
        return t;
    }();
    return *tables;
}

// ---------------------------------------------------------------------------------------------
// Decoding

constexpr uint16_t RegBit(int r) { return static_cast<uint16_t>(1u << r); }
constexpr uint16_t VolatileRegs32 = RegBit(0) | RegBit(1) | RegBit(2);
constexpr uint16_t VolatileRegs64 = RegBit(0) | RegBit(1) | RegBit(2) | RegBit(6) | RegBit(7) | RegBit(8) | RegBit(9)
    | RegBit(10) | RegBit(11);
constexpr uint8_t NoReg = 0xFF;

struct TCursor {
    const uint8_t* Bytes;
    size_t Count;
    size_t Pos = 0;
    bool Ok = true;
    uint8_t Byte()
    {
        if (Pos >= Count) {
            Ok = false;
            return 0;
        }
        return Bytes[Pos++];
    }
    int64_t Signed(int size)
    {
        if (Pos + static_cast<size_t>(size) > Count) {
            Ok = false;
            Pos = Count;
            return 0;
        }
        uint64_t v = 0;
        for (int i = size - 1; i >= 0; --i)
            v = (v << 8) | Bytes[Pos + static_cast<size_t>(i)];
        Pos += static_cast<size_t>(size);
        switch (size) {
        case 1: return static_cast<int8_t>(v);
        case 2: return static_cast<int16_t>(v);
        case 4: return static_cast<int32_t>(v);
        default: return static_cast<int64_t>(v);
        }
    }
};

struct TModRmInfo {
    uint8_t Mod = 0, Reg = 0, Rm = 0;
    TOperand Mem; // the rm operand when mod != 3
    size_t DispOffset = 0;
};

// The memory operand of a ModRM byte (mod != 3), with its SIB byte and displacement.
void ReadMemoryOperand(TCursor& c, TModRmInfo& m, uint8_t rex, uint8_t addressSize, bool is64)
{
    TOperand& op = m.Mem;
    op.Kind = TOperandKind::Mem;
    op.AddressSize = addressSize;
    if (addressSize == 2) {
        static const uint8_t bases[8] = { 3, 3, 5, 5, 6, 7, 5, 3 };
        static const uint8_t indexes[8] = { 6, 7, 6, 7, NoReg, NoReg, NoReg, NoReg };
        op.Base = bases[m.Rm];
        op.Index = indexes[m.Rm];
        if (m.Mod == 0 && m.Rm == 6) {
            op.Base = NoReg;
            m.DispOffset = c.Pos;
            op.Disp = static_cast<uint16_t>(c.Signed(2));
        } else if (m.Mod == 1) {
            m.DispOffset = c.Pos;
            op.Disp = c.Signed(1);
        } else if (m.Mod == 2) {
            m.DispOffset = c.Pos;
            op.Disp = c.Signed(2);
        }
        return;
    }
    op.Base = static_cast<uint8_t>(m.Rm | ((rex & 1) << 3));
    if (m.Rm == 4) {
        const uint8_t sib = c.Byte();
        op.Scale = static_cast<uint8_t>(1u << (sib >> 6));
        const uint8_t index = static_cast<uint8_t>(((sib >> 3) & 7) | ((rex & 2) << 2));
        op.Index = index == 4 ? NoReg : index;
        op.Base = static_cast<uint8_t>((sib & 7) | ((rex & 1) << 3));
        if ((sib & 7) == 5 && m.Mod == 0) {
            op.Base = NoReg;
            m.DispOffset = c.Pos;
            op.Disp = c.Signed(4);
            return;
        }
    } else if (m.Rm == 5 && m.Mod == 0) {
        op.Base = NoReg;
        op.RipRelative = is64;
        m.DispOffset = c.Pos;
        op.Disp = c.Signed(4);
        return;
    }
    if (m.Mod == 1) {
        m.DispOffset = c.Pos;
        op.Disp = c.Signed(1);
    } else if (m.Mod == 2) {
        m.DispOffset = c.Pos;
        op.Disp = c.Signed(4);
    }
}

uint8_t ResolveSize(TOpSize s, uint8_t opSize, bool rexW, bool is64)
{
    switch (s) {
    case SizeB: return 1;
    case SizeW: return 2;
    case SizeD: return 4;
    case SizeQ: return 8;
    case SizeV: return opSize;
    case SizeZ: return opSize == 2 ? 2 : 4;
    case SizeY: return rexW ? 8 : 4;
    case SizeN: return is64 ? 8 : 4;
    case SizeX: return 16;
    case SizeSs: return 4;
    case SizeSd: return 8;
    case SizeT: return 10;
    case SizeP: return static_cast<uint8_t>(opSize + 2);
    case SizeS: return is64 ? 10 : 6;
    case SizeA: return static_cast<uint8_t>(opSize * 2);
    case SizeNone: return 0;
    }
    return 0;
}

TOperand RegOperand(TRegClass cls, uint8_t reg, uint8_t size)
{
    TOperand op;
    op.Kind = TOperandKind::Reg;
    op.Class = cls;
    op.Reg = reg;
    op.Size = size;
    return op;
}

// A general register operand; without REX, byte registers 4..7 are ah, ch, dh, bh.
TOperand GprOperand(uint8_t reg, uint8_t size, uint8_t rex)
{
    TOperand op = RegOperand(TRegClass::Gpr, reg, size);
    if (size == 1 && rex == 0 && reg >= 4 && reg < 8) {
        op.Reg = static_cast<uint8_t>(reg - 4);
        op.HighByte = true;
    }
    return op;
}

bool Is3DNowSuffix(uint8_t suffix)
{
    for (const auto& e : ThreeDNowNames)
        if (e.Suffix == suffix)
            return true;
    return false;
}

// Which general registers an instruction changes beyond its written operands.
uint16_t ImplicitWrites(const TDecodedInstruction& d, const TOpDef* def, bool is64)
{
    uint16_t mask = 0;
    const uint16_t count = d.Rep || d.Repne ? RegBit(1) : 0;
    const uint8_t op = d.OpByte;
    if (d.Map == 0) {
        switch (op) {
        case 0x6C:
        case 0x6D:
        case 0xAA:
        case 0xAB:
        case 0xAE:
        case 0xAF: mask = RegBit(7) | count; break;
        case 0x6E:
        case 0x6F: mask = RegBit(6) | count; break;
        case 0xA4:
        case 0xA5:
        case 0xA6:
        case 0xA7: mask = RegBit(6) | RegBit(7) | count; break;
        case 0xAC:
        case 0xAD: mask = RegBit(0) | RegBit(6) | count; break;
        case 0x98:
        case 0x9F:
        case 0xD7:
        case 0x27:
        case 0x2F:
        case 0x37:
        case 0x3F:
        case 0xD4:
        case 0xD5: mask = RegBit(0); break;
        case 0x99: mask = RegBit(2); break;
        case 0xE0:
        case 0xE1:
        case 0xE2: mask = RegBit(1); break;
        case 0xC8:
        case 0xC9: mask = RegBit(4) | RegBit(5); break;
        case 0x61: mask = 0xFF; break;
        case 0x91:
        case 0x92:
        case 0x93:
        case 0x94:
        case 0x95:
        case 0x96:
        case 0x97: mask = RegBit(0); break;
        case 0xF6:
        case 0xF7:
            if (((d.ModRm >> 3) & 7) >= 4)
                mask = RegBit(0) | RegBit(2);
            break;
        default: break;
        }
        if (op >= 0x50 && op <= 0x61)
            mask |= RegBit(4);
    } else if (d.Map == 1) {
        switch (op) {
        case 0xA2: mask = RegBit(0) | RegBit(1) | RegBit(2) | RegBit(3); break;
        case 0x31:
        case 0x32:
        case 0x33: mask = RegBit(0) | RegBit(2); break;
        case 0x01: mask = RegBit(0) | RegBit(1) | RegBit(2); break;
        case 0x05: mask = RegBit(0) | RegBit(1) | RegBit(11); break;
        case 0x34:
        case 0x35:
        case 0x07:
        case 0xAA: mask = 0xFFFF; break;
        case 0xB0:
        case 0xB1: mask = RegBit(0); break;
        case 0xC7: mask = RegBit(0) | RegBit(2); break;
        default: break;
        }
    }
    if (def && (def->Flags & FlagCall))
        mask |= is64 ? VolatileRegs64 : VolatileRegs32;
    return mask;
}

// Length-only decoding of VEX and EVEX instructions (64-bit mode): they are never branches.
bool DecodeVex(TCursor& c, TDecodedInstruction& d, uint8_t lead, TModRmInfo& m)
{
    uint8_t map = 1;
    uint8_t rex = 0;
    if (lead == 0xC5) {
        const uint8_t v1 = c.Byte();
        rex = (v1 & 0x80) ? 0 : 4;
        d.Vex = 2;
    } else if (lead == 0xC4) {
        const uint8_t v1 = c.Byte();
        const uint8_t v2 = c.Byte();
        map = v1 & 0x1F;
        rex = static_cast<uint8_t>(((~v1 >> 5) & 7) | ((v2 & 0x80) ? 8 : 0));
        d.Vex = 3;
        if (map < 1 || map > 3)
            return false;
    } else {
        const uint8_t p0 = c.Byte();
        const uint8_t p1 = c.Byte();
        c.Byte();
        map = p0 & 7;
        rex = static_cast<uint8_t>(((~p0 >> 5) & 7) | ((p1 & 0x80) ? 8 : 0));
        d.Vex = 4;
        if ((p1 & 4) == 0 || map == 0 || map == 4 || map == 7)
            return false;
    }
    const uint8_t op = c.Byte();
    d.Map = static_cast<uint8_t>(map <= 3 ? map : map);
    d.OpByte = op;
    d.Opcode = op;
    d.Rex = rex;
    const bool modRm = !(map == 1 && op == 0x77 && d.Vex != 4);
    if (modRm) {
        d.HasModRm = true;
        d.ModRm = c.Byte();
        m.Mod = d.ModRm >> 6;
        m.Reg = (d.ModRm >> 3) & 7;
        m.Rm = d.ModRm & 7;
        if (m.Mod != 3)
            ReadMemoryOperand(c, m, rex, d.AddressSize, true);
    }
    const bool imm = map == 3 || (map == 1 && ((op >= 0x70 && op <= 0x73) || op == 0xC2 || (op >= 0xC4 && op <= 0xC6)));
    if (imm)
        c.Signed(1);
    return c.Ok;
}

const TOpDef* SelectDef(const TTables& t, const TSlot& slot, int prefix, bool hasModRm, const TModRmInfo& m,
    bool is64, bool forceReg)
{
    const TOpDef* best = nullptr;
    int bestScore = -1;
    for (uint16_t i = 0; i < slot.Count; ++i) {
        const TOpDef& d = t.Defs[slot.First + i];
        if (is64 ? (d.Flags & FlagI64) : (d.Flags & (FlagO64 | FlagX32)))
            continue;
        int score = 0;
        if (d.Prefix >= 0) {
            if (d.Prefix != prefix)
                continue;
            score += 8;
        }
        if (hasModRm) {
            const bool isReg = forceReg || m.Mod == 3;
            if (d.Reg >= 0) {
                if (d.Reg != m.Reg)
                    continue;
                score += 4;
            }
            if (d.Mod >= 0) {
                if ((d.Mod == 1) != isReg)
                    continue;
                score += 2;
            }
            if (d.Rm >= 0) {
                if (d.Rm != m.Rm)
                    continue;
                score += 1;
            }
        }
        if (score > bestScore) {
            best = &d;
            bestScore = score;
        }
    }
    return best;
}

} // namespace

size_t TBufferCodeReader::ReadSome(uintptr_t address, void* dest, size_t count) const
{
    if (address < FBase || address - FBase >= FBytes.size())
        return 0;
    const size_t offset = address - FBase;
    const size_t n = std::min(count, FBytes.size() - offset);
    std::memcpy(dest, FBytes.data() + offset, n);
    return n;
}

const TCodeRange* TFunctionAnalysis::RangeAt(uintptr_t address) const
{
    auto it = std::upper_bound(CodeRanges.begin(), CodeRanges.end(), address,
        [](uintptr_t a, const TCodeRange& r) { return a < r.Start; });
    if (it == CodeRanges.begin())
        return nullptr;
    --it;
    return address <= it->End ? &*it : nullptr;
}

TDecodedInstruction DecodeInstruction(
    const TCodeReader& reader, TDisAsmMode mode, uintptr_t address, TKnownRegisters* regs)
{
    TDecodedInstruction d;
    d.Start = address;
    d.End = address;
    d.Mode = mode;
    const bool is64 = mode == TDisAsmMode::Mode64;
    uint8_t bytes[15];
    const size_t available = reader.ReadSome(address, bytes, sizeof bytes);
    TCursor c { bytes, available };

    bool p66 = false, p67 = false;
    int lastRep = 0; // 2 F3, 3 F2
    uint8_t rex = 0;
    for (;;) {
        if (c.Pos >= c.Count)
            return d;
        const uint8_t b = bytes[c.Pos];
        bool prefix = true;
        switch (b) {
        case 0x66: p66 = true; break;
        case 0x67: p67 = true; break;
        case 0xF0: d.Lock = true; break;
        case 0xF2: lastRep = 3; break;
        case 0xF3: lastRep = 2; break;
        case 0x26: d.Segment = 0; break;
        case 0x2E: d.Segment = 1; break;
        case 0x36: d.Segment = 2; break;
        case 0x3E: d.Segment = 3; break;
        case 0x64: d.Segment = 4; break;
        case 0x65: d.Segment = 5; break;
        default: prefix = false; break;
        }
        if (prefix) {
            rex = 0; // a REX byte counts only right before the opcode
            ++c.Pos;
            continue;
        }
        if (is64 && (b & 0xF0) == 0x40) {
            rex = b;
            ++c.Pos;
            continue;
        }
        break;
    }
    d.Rex = rex;
    d.Rep = lastRep == 2;
    d.Repne = lastRep == 3;
    d.OpSizePrefix = p66;
    const bool rexW = (rex & 8) != 0;
    d.AddressSize = is64 ? (p67 ? 4 : 8) : (p67 ? 2 : 4);
    uint8_t opSize = rexW ? 8 : (p66 ? 2 : 4);

    uint8_t op = c.Byte();
    uint8_t map = 0;
    if (op == 0x0F) {
        op = c.Byte();
        map = 1;
        if (op == 0x38 || op == 0x3A) {
            map = op == 0x38 ? 2 : 3;
            op = c.Byte();
            if (!is64)
                return d;
        }
    }
    if (!c.Ok)
        return d;
    TModRmInfo m;
    if (is64 && map == 0 && (op == 0xC4 || op == 0xC5 || op == 0x62)) {
        if (p66 || lastRep || rex || d.Lock || !DecodeVex(c, d, op, m))
            return d;
        d.End = address + c.Pos;
        if (d.Length() > 15)
            return d;
        d.Valid = 1;
        if (regs) {
            (*regs)[((d.ModRm >> 3) & 7) | ((d.Rex & 4) << 1)] = 0;
            if (m.Mod == 3)
                (*regs)[m.Rm | ((d.Rex & 1) << 3)] = 0;
            if (d.Map == 2 || (d.Map == 3 && d.OpByte == 0xF0))
                regs->fill(0); // the general-register forms (BMI) may write any of them
        }
        return d;
    }
    d.Map = map;
    d.OpByte = op;
    d.Opcode = map == 0 ? op : map == 1 ? static_cast<uint16_t>(0x0F00 + op) : static_cast<uint16_t>(op);
    const TTables& t = Tables();
    const TSlot& slot = t.Slots[map][op];
    if (slot.Count == 0)
        return d;
    const TOpDef& firstDef = t.Defs[slot.First];
    const bool forceReg = (firstDef.Flags & FlagMod3) != 0;
    if (slot.HasModRm) {
        d.HasModRm = true;
        d.ModRm = c.Byte();
        m.Mod = d.ModRm >> 6;
        m.Reg = (d.ModRm >> 3) & 7;
        m.Rm = d.ModRm & 7;
        if (m.Mod != 3 && !forceReg)
            ReadMemoryOperand(c, m, rex, d.AddressSize, is64);
    }
    if (!c.Ok)
        return d;
    const int prefix = slot.ByPrefix ? (lastRep ? lastRep : (p66 ? 1 : 0)) : -1;
    const TOpDef* def = SelectDef(t, slot, prefix, slot.HasModRm, m, is64, forceReg);
    if (!def && prefix > 0) // a prefix the instruction does not define is ignored
        def = SelectDef(t, slot, 0, slot.HasModRm, m, is64, forceReg);
    if (!def)
        return d;
    if (def->Prefix == 1)
        opSize = rexW ? 8 : 4; // the 66 prefix chose the form, it sizes nothing
    if (is64 && (def->Flags & FlagF64))
        opSize = 8;
    else if (is64 && (def->Flags & FlagD64))
        opSize = rexW || !p66 ? 8 : 2;
    d.OperandSize = opSize;
    d.MnemonicSource = def->Mnemonic.c_str();
    d.IsReturn = (def->Flags & FlagRet) != 0;
    d.IsFar = (def->Flags & FlagFar) != 0;
    d.IsUd = (def->Flags & FlagUd) != 0;
    d.IsNop = (def->Flags & FlagNop) != 0;

    // Operands, with immediates in encoding order.
    size_t relOffset = 0;
    int relSize = 0;
    const bool isRegForm = forceReg || m.Mod == 3;
    const uint8_t rmReg = static_cast<uint8_t>(m.Rm | ((rex & 1) << 3));
    const uint8_t regReg = static_cast<uint8_t>(m.Reg | ((rex & 4) << 1));
    for (int i = 0; i < def->OpCount; ++i) {
        const TOperandForm& s = def->Ops[i];
        const uint8_t size = ResolveSize(s.Size, opSize, rexW, is64);
        TOperand o;
        switch (s.Addr) {
        case AddrE:
        case AddrM:
        case AddrR:
        case AddrQ:
        case AddrN:
        case AddrW:
        case AddrU:
            if (isRegForm) {
                if (s.Addr == AddrM)
                    return d;
                if (s.Addr == AddrQ || s.Addr == AddrN)
                    o = RegOperand(TRegClass::Mmx, m.Rm, 8);
                else if (s.Addr == AddrW || s.Addr == AddrU)
                    o = RegOperand(TRegClass::Xmm, rmReg, 16);
                else
                    o = GprOperand(rmReg, size ? size : opSize, rex);
            } else {
                if (s.Addr == AddrR || s.Addr == AddrN || s.Addr == AddrU)
                    return d;
                o = m.Mem;
                o.Size = size;
            }
            break;
        case AddrG: o = GprOperand(regReg, size, rex); break;
        case AddrS:
            if (regReg > 5)
                return d;
            o = RegOperand(TRegClass::Seg, m.Reg, 2);
            break;
        case AddrC: {
            // cr0, cr2, cr3, cr4 and cr8 exist
            if (!(regReg == 0 || regReg == 2 || regReg == 3 || regReg == 4 || regReg == 8))
                return d;
            o = RegOperand(TRegClass::Control, regReg, size);
            break;
        }
        case AddrD:
            if (regReg > 7)
                return d;
            o = RegOperand(TRegClass::Debug, regReg, size);
            break;
        case AddrP: o = RegOperand(TRegClass::Mmx, m.Reg, 8); break;
        case AddrV: o = RegOperand(TRegClass::Xmm, regReg, 16); break;
        case AddrI:
        case AddrIs: {
            o.Kind = TOperandKind::Imm;
            int bytesToRead = size;
            if (s.Addr == AddrI && s.Size == SizeV)
                bytesToRead = opSize; // mov reg, imm64
            o.Size = s.Addr == AddrIs ? opSize : static_cast<uint8_t>(bytesToRead);
            o.Disp = c.Signed(bytesToRead);
            break;
        }
        case AddrJ: {
            o.Kind = TOperandKind::Rel;
            // Near branches ignore the operand-size prefix in 64-bit mode; xbegin does not.
            relSize = s.Size == SizeB ? 1 : ((is64 && !(map == 0 && op == 0xC7)) ? 4 : (p66 && !rexW ? 2 : 4));
            relOffset = c.Pos;
            o.Disp = c.Signed(relSize);
            o.Size = static_cast<uint8_t>(relSize);
            break;
        }
        case AddrA: {
            o.Kind = TOperandKind::Far;
            const int offsetSize = p66 ? 2 : 4;
            o.Disp = offsetSize == 2 ? static_cast<uint16_t>(c.Signed(2)) : static_cast<uint32_t>(c.Signed(4));
            o.Selector = static_cast<uint16_t>(c.Signed(2));
            break;
        }
        case AddrO: {
            o.Kind = TOperandKind::Mem;
            o.Moffs = true;
            o.AddressSize = d.AddressSize;
            o.Size = size;
            const int64_t v = c.Signed(d.AddressSize);
            o.Disp = d.AddressSize == 8 ? v : d.AddressSize == 4 ? static_cast<int64_t>(static_cast<uint32_t>(v))
                                                                 : static_cast<int64_t>(static_cast<uint16_t>(v));
            break;
        }
        case AddrZ: o = GprOperand(static_cast<uint8_t>((op & 7) | ((rex & 1) << 3)), size, rex); break;
        case AddrFixedGpr: o = GprOperand(s.Reg, size, 0); break;
        case AddrFixedSeg: o = RegOperand(TRegClass::Seg, s.Reg, 2); break;
        case AddrOne:
            o.Kind = TOperandKind::Imm;
            o.Disp = 1;
            o.Size = 1;
            break;
        case AddrSt0: o = RegOperand(TRegClass::X87, 0, 10); break;
        case AddrSti: o = RegOperand(TRegClass::X87, m.Rm, 10); break;
        case AddrNone: break;
        }
        d.Operands[d.OperandCount++] = o;
    }
    if (def->Flags & Flag3DNow) {
        const uint8_t suffix = c.Byte();
        if (!c.Ok || !Is3DNowSuffix(suffix))
            return d;
        d.Is3DNow = true;
        d.Suffix = suffix;
    }
    if (!c.Ok || c.Pos > 15)
        return d;
    d.End = address + c.Pos;
    if (!is64) {
        // 32-bit code wraps at 4 GiB.
        d.End &= 0xFFFFFFFFu;
    }
    // The exchange of the accumulator with itself is the one-byte nop; REX.B makes it xchg r8, rax.
    if (map == 0 && op == 0x90 && (rex & 1) && lastRep != 2) {
        d.IsNop = false;
        d.MnemonicSource = "xchg";
        d.Operands[0] = GprOperand(8, opSize, rex);
        d.Operands[1] = GprOperand(0, opSize, rex);
        d.OperandCount = 2;
    }
    // Absolute addresses of position-relative memory operands.
    for (int i = 0; i < d.OperandCount; ++i) {
        TOperand& o = d.Operands[i];
        if (o.Kind == TOperandKind::Mem && o.RipRelative) {
            o.Disp = static_cast<int64_t>(d.End + static_cast<uintptr_t>(o.Disp));
            if (d.AddressSize == 4)
                o.Disp = static_cast<uint32_t>(o.Disp);
        }
    }

    // Control transfers.
    const bool isCall = (def->Flags & FlagCall) != 0;
    const bool isJump = (def->Flags & (FlagJmp | FlagJcc)) != 0;
    if (isCall || isJump) {
        d.IsCall = isCall;
        d.IsJmp = !isCall;
        d.IsConditional = (def->Flags & FlagJcc) != 0;
        const TOperand& o = d.Operands[0];
        if (o.Kind == TOperandKind::Rel) {
            uintptr_t target = d.End + static_cast<uintptr_t>(o.Disp);
            if (!is64)
                target &= relSize == 2 ? 0xFFFFu : 0xFFFFFFFFu;
            d.Target = target;
            d.IsRelative = 1;
            d.TargetPointer = address + relOffset;
            d.TargetSize = static_cast<uint32_t>(relSize);
            d.Relocatable = !(map == 0 && op >= 0xE0 && op <= 0xE3);
        } else if (o.Kind == TOperandKind::Mem && !d.IsFar) {
            uintptr_t cell = 0;
            bool haveCell = false;
            if (o.Base == NoReg && o.Index == NoReg) {
                cell = static_cast<uintptr_t>(o.Disp);
                if (!is64)
                    cell &= 0xFFFFFFFFu;
                haveCell = o.AddressSize != 2;
            } else if (regs && o.Index == NoReg && o.Disp == 0 && o.Base != NoReg && (*regs)[o.Base] != 0) {
                cell = (*regs)[o.Base];
                haveCell = true;
            }
            if (haveCell) {
                d.TargetPointerPointer = cell;
                d.TargetSize = is64 ? 8 : 4;
                uint64_t value = 0;
                if (reader.Read(cell, &value, d.TargetSize))
                    d.Target = static_cast<uintptr_t>(value);
            }
        } else if (o.Kind == TOperandKind::Mem && d.IsFar && o.Base == NoReg && o.Index == NoReg) {
            d.TargetPointerPointer = static_cast<uintptr_t>(o.Disp);
            d.TargetSize = 4;
            uint32_t value = 0;
            if (reader.Read(d.TargetPointerPointer, &value, 4))
                d.Target = value;
        } else if (o.Kind == TOperandKind::Reg && regs && o.Class == TRegClass::Gpr && (*regs)[o.Reg] != 0) {
            d.Target = (*regs)[o.Reg];
            d.TargetSize = is64 ? 8 : 4;
        }
        // A call of the next instruction only reads the address.
        if (d.IsRelative && d.Target == d.End) {
            d.IsCall = d.IsJmp = 0;
            d.IsConditional = false;
            d.Target = d.TargetPointer = d.TargetPointerPointer = 0;
            d.IsRelative = 0;
            d.Relocatable = 0;
            d.TargetSize = 0;
        }
    }
    d.Valid = 1;

    if (regs) {
        uint16_t mask = ImplicitWrites(d, def, is64);
        auto written = [&](const TOperand& o) {
            if (o.Kind == TOperandKind::Reg && o.Class == TRegClass::Gpr)
                mask |= RegBit(o.Reg);
        };
        if (d.OperandCount > 0 && !(def->Flags & FlagNw) && !isCall && !isJump)
            written(d.Operands[0]);
        if (d.OperandCount > 1 && (def->Flags & FlagW2))
            written(d.Operands[1]);
        uintptr_t value = 0;
        int valueReg = -1;
        if (map == 0 && op >= 0xB8 && op <= 0xBF && opSize >= 4) {
            valueReg = d.Operands[0].Reg;
            value = static_cast<uintptr_t>(d.Operands[1].Disp);
            if (opSize == 4)
                value &= 0xFFFFFFFFu;
        } else if (map == 0 && op == 0xC7 && isRegForm && m.Reg == 0 && opSize >= 4) {
            valueReg = d.Operands[0].Reg;
            value = static_cast<uintptr_t>(d.Operands[1].Disp);
            if (opSize == 4)
                value &= 0xFFFFFFFFu;
        } else if (is64 && map == 0 && op == 0x8D && opSize == 8 && d.Operands[1].RipRelative) {
            valueReg = d.Operands[0].Reg;
            value = static_cast<uintptr_t>(d.Operands[1].Disp);
        }
        for (int r = 0; r < 16; ++r)
            if (mask & RegBit(r))
                (*regs)[r] = 0;
        if (valueReg >= 0)
            (*regs)[valueReg] = value;
    }
    return d;
}

// ---------------------------------------------------------------------------------------------
// Function analysis

bool IsNoReturnName(const std::string& name)
{
    static const char* const names[] = { "__cxa_throw", "__cxa_rethrow", "_Unwind_Resume", "abort", "exit", "_exit",
        "__stack_chk_fail", "__assert_fail", "__cxa_bad_cast", "__cxa_bad_typeid", "__cxa_throw_bad_array_new_length" };
    for (const char* n : names)
        if (name == n)
            return true;
    // The sanitizers' reports of a fault end the program.
    const bool abortingReport = name.rfind("__ubsan_handle_", 0) == 0 && name.size() > 6
        && name.compare(name.size() - 6, 6, "_abort") == 0;
    if (abortingReport || name.rfind("__asan_report_", 0) == 0)
        return true;
    // std::__throw_logic_error and its kind, mangled (_ZSt19__throw_logic_errorPKc) or not.
    if (name.rfind("std::__throw_", 0) == 0)
        return true;
    if (name.rfind("_ZSt", 0) == 0) {
        size_t i = 4;
        while (i < name.size() && name[i] >= '0' && name[i] <= '9')
            ++i;
        if (i > 4 && name.compare(i, 8, "__throw_") == 0)
            return true;
    }
    return false;
}

namespace {

// Garbage must end as "Invalid code!", never as a runaway.
constexpr size_t MaxCodeRanges = 65536;
constexpr size_t MaxDecodedInstructions = 1u << 20;
constexpr uint32_t MaxTableEntries = 4096;
constexpr uint32_t MaxExceptClauses = 1024;
constexpr int MaxGapTrials = 4096;

// Cases of a switch: which register holds the checked index, and how many entries it selects.
struct TSwitchState {
    std::array<uint32_t, 16> Bound {}; // entries, 0 = unknown
    int CmpReg = -1;
    uint32_t CmpImm = 0;
    // lea base / movsxd / add pattern of position-independent tables
    std::array<uintptr_t, 16> LoadedFrom {}; // register := int32 [base + index*4]
    std::array<int8_t, 16> LoadedIndex {};
    std::array<uintptr_t, 16> TableTarget {}; // register := base + int32 [base + index*4]
    std::array<int8_t, 16> TargetIndex {};
    void Forget(int reg)
    {
        Bound[reg] = 0;
        LoadedFrom[reg] = TableTarget[reg] = 0;
    }
};

class TAnalyser {
public:
    TAnalyser(const TCodeReader& reader, const TAnalysisOptions& options, TFunctionAnalysis& a)
        : R(reader)
        , O(options)
        , A(a)
        , Is64(options.Mode == TDisAsmMode::Mode64)
    {
    }

    void Run(uintptr_t entry);

private:
    const TCodeReader& R;
    const TAnalysisOptions& O;
    TFunctionAnalysis& A;
    bool Is64;
    bool Failed = false;
    size_t Decoded = 0;

    void Fail(uintptr_t at)
    {
        if (!Failed) {
            Failed = true;
            A.ErrorAddress = at;
        }
    }
    size_t IndexOf(uintptr_t start) const
    {
        auto it = std::lower_bound(A.CodeRanges.begin(), A.CodeRanges.end(), start,
            [](const TCodeRange& r, uintptr_t s) { return r.Start < s; });
        return static_cast<size_t>(it - A.CodeRanges.begin());
    }
    bool InBounds(uintptr_t target) const
    {
        if (O.SymbolEnd)
            return target >= O.SymbolStart && target < O.SymbolEnd;
        if (O.BoundsEnd)
            return target >= O.BoundsStart && target < O.BoundsEnd;
        return true;
    }
    static void Merge(TKnownRegisters& into, const TKnownRegisters& other)
    {
        for (size_t i = 0; i < into.size(); ++i)
            if (into[i] != other[i])
                into[i] = 0;
    }
    // Rule: a code range at s, with the state the path brings there. current names the range being
    // decoded; it moves on when that range is cut at s.
    void AddRange(uintptr_t s, TKnownRegisters& regs, uintptr_t referrer, uintptr_t* current = nullptr);
    void DecodeRange(uintptr_t start);
    void Classify(const TDecodedInstruction& insn, const TKnownRegisters& regs, const TDecodedInstruction& previous,
        TSwitchState& sw, uintptr_t& current, bool& endsPath);
    void AddOutgoing(const TDecodedInstruction& insn, uintptr_t target);
    void AddUnresolved(const TDecodedInstruction& insn);
    void CaseTable(uintptr_t table, uint32_t entries, uint8_t entrySize, uintptr_t relativeBase, TKnownRegisters& regs,
        uintptr_t referrer, bool tableIsCode);
    uintptr_t ThunkTarget(uintptr_t target, uintptr_t* cell) const;
    std::string CalleeName(uintptr_t target) const;
    bool RetryUnresolved();
    bool TryGap(uintptr_t gap);
    bool Pending() const;
    bool OnlyPadding(uintptr_t from) const;
    void Finish();
};

void TAnalyser::AddRange(uintptr_t s, TKnownRegisters& regs, uintptr_t referrer, uintptr_t* current)
{
    if (Failed)
        return;
    size_t i = IndexOf(s);
    auto& ranges = A.CodeRanges;
    if (i < ranges.size() && ranges[i].Start == s) {
        TCodeRange& r = ranges[i];
        if (referrer > r.Referrer && referrer < s)
            r.Referrer = referrer;
        Merge(r.Regs, regs);
        return;
    }
    if (ranges.size() >= MaxCodeRanges) {
        Fail(s);
        return;
    }
    TCodeRange n;
    n.Start = s;
    n.End = s;
    n.Referrer = referrer < s ? referrer : 0;
    if (i > 0 && ranges[i - 1].Decoded && !ranges[i - 1].IsCaseTable && !ranges[i - 1].IsExceptTable
        && ranges[i - 1].Start < s && s <= ranges[i - 1].End) {
        TCodeRange& cut = ranges[i - 1];
        Merge(regs, cut.Regs);
        n.End = cut.End;
        n.Decoded = true;
        n.Regs = regs;
        cut.End = s - 1;
        if (current && *current == cut.Start)
            *current = s;
    } else {
        n.Regs = regs;
    }
    ranges.insert(ranges.begin() + static_cast<std::ptrdiff_t>(i), n);
}

uintptr_t TAnalyser::ThunkTarget(uintptr_t target, uintptr_t* cell) const
{
    TDecodedInstruction j = DecodeInstruction(R, O.Mode, target);
    if (j.Valid && j.IsNop && j.Map == 1 && j.OpByte == 0x1E) // endbr64 in front of a PLT entry
        j = DecodeInstruction(R, O.Mode, j.End);
    if (!j.Valid || !j.IsJmp || j.IsConditional || j.IsFar)
        return 0;
    if (!(j.Map == 0 && (j.OpByte == 0xE9 || j.OpByte == 0xEB || j.OpByte == 0xFF)))
        return 0;
    if (cell)
        *cell = j.TargetPointerPointer;
    return j.Target;
}

std::string TAnalyser::CalleeName(uintptr_t target) const
{
    if (!O.Namer)
        return {};
    std::string name = O.Namer->ExportName(target);
    if (!name.empty())
        return name;
    uintptr_t cell = 0;
    const uintptr_t final = ThunkTarget(target, &cell);
    if (cell) {
        name = O.Namer->CellName(cell);
        if (!name.empty())
            return name;
    }
    if (final)
        name = O.Namer->ExportName(final);
    if (name.empty())
        name = O.Namer->ProcName(target);
    return name;
}

void TAnalyser::AddOutgoing(const TDecodedInstruction& insn, uintptr_t target)
{
    for (const TOutgoingCall& c : A.OutgoingCalls)
        if (c.Next == insn.End)
            return;
    // A call of a jump thunk without a name of its own counts as a call of the thunk's target.
    if (target && !(O.Namer && !O.Namer->ExportName(target).empty())) {
        const uintptr_t final = ThunkTarget(target, nullptr);
        if (final)
            target = final;
    }
    TOutgoingCall c;
    c.IsCall = insn.IsCall;
    c.Address = insn.Start;
    c.Next = insn.End;
    c.Target = target;
    c.IsRelative = insn.IsRelative;
    c.TargetPointer = insn.TargetPointer;
    c.TargetPointerPointer = insn.TargetPointerPointer;
    A.OutgoingCalls.push_back(c);
    A.UnresolvedBranches.erase(std::remove_if(A.UnresolvedBranches.begin(), A.UnresolvedBranches.end(),
                                   [&](const TUnresolvedBranch& b) { return b.Address == insn.Start; }),
        A.UnresolvedBranches.end());
}

void TAnalyser::AddUnresolved(const TDecodedInstruction& insn)
{
    for (const TUnresolvedBranch& b : A.UnresolvedBranches)
        if (b.Address == insn.Start)
            return;
    A.UnresolvedBranches.push_back({ insn.IsCall, insn.Start, insn.End });
}

void TAnalyser::CaseTable(uintptr_t table, uint32_t entries, uint8_t entrySize, uintptr_t relativeBase,
    TKnownRegisters& regs, uintptr_t referrer, bool tableIsCode)
{
    if (entries > MaxTableEntries) {
        Fail(referrer);
        return;
    }
    // Only tables whose index was checked are followed; the final sweep finds the cases of others.
    TCaseTable record { referrer, table, entries, entrySize, relativeBase, {} };
    uint32_t taken = 0;
    for (; taken < entries; ++taken) {
        uint64_t raw = 0;
        if (!R.Read(table + taken * entrySize, &raw, entrySize)) {
            Fail(referrer);
            return;
        }
        uintptr_t target;
        if (relativeBase)
            target = relativeBase + static_cast<uintptr_t>(static_cast<int64_t>(static_cast<int32_t>(raw)));
        else
            target = static_cast<uintptr_t>(raw);
        if (!InBounds(target)) {
            Fail(referrer);
            return;
        }
        TKnownRegisters state = regs;
        AddRange(target, state, referrer);
        if (Failed)
            return;
        record.Targets.push_back(target);
    }
    A.CaseTables.push_back(std::move(record));
    if (tableIsCode && taken) {
        // The table sits in the function's code: it becomes a range of its own.
        size_t i = IndexOf(table);
        TKnownRegisters none {};
        if (i < A.CodeRanges.size() && A.CodeRanges[i].Start == table) {
            A.CodeRanges[i].IsCaseTable = true;
        } else {
            AddRange(table, none, referrer);
            i = IndexOf(table);
        }
        if (i < A.CodeRanges.size() && A.CodeRanges[i].Start == table) {
            TCodeRange& t = A.CodeRanges[i];
            t.IsCaseTable = true;
            t.Decoded = true;
            t.EntrySize = entrySize;
            t.TableBase = relativeBase;
            t.End = table + taken * entrySize - 1;
        }
    }
}

void TAnalyser::Classify(const TDecodedInstruction& insn, const TKnownRegisters& regs,
    const TDecodedInstruction& previous, TSwitchState& sw, uintptr_t& current, bool& endsPath)
{
    const TRuntimeRoutines& rt = O.Runtime;
    TKnownRegisters state = regs;
    const uintptr_t t = insn.Target;
    if (insn.IsJmp && !insn.IsConditional)
        endsPath = true;

    // Case tables: jmp [index*scale + table].
    if (insn.IsJmp && !insn.IsConditional && insn.Map == 0 && insn.OpByte == 0xFF && insn.OperandCount
        && insn.Operands[0].Kind == TOperandKind::Mem && insn.Operands[0].Base == 0xFF
        && insn.Operands[0].Index != 0xFF && !insn.Operands[0].RipRelative) {
        const TOperand& m = insn.Operands[0];
        const uint8_t entrySize = Is64 ? 8 : 4;
        if (m.Scale == entrySize) {
            const uintptr_t table = Is64 ? static_cast<uintptr_t>(m.Disp) : static_cast<uintptr_t>(m.Disp) & 0xFFFFFFFFu;
            const bool afterJump = table == insn.End;
            const uint32_t entries = sw.Bound[m.Index];
            if (!Is64 && !afterJump)
                return AddUnresolved(insn);
            if (entries) {
                CaseTable(table, entries, entrySize, 0, state, insn.Start, afterJump);
                return;
            }
        }
    }
    // jmp reg after lea base / movsxd / add: a table of offsets from its own start.
    if (Is64 && insn.IsJmp && !insn.IsConditional && insn.Map == 0 && insn.OpByte == 0xFF && insn.OperandCount
        && insn.Operands[0].Kind == TOperandKind::Reg && sw.TableTarget[insn.Operands[0].Reg]) {
        const int reg = insn.Operands[0].Reg;
        const uintptr_t table = sw.TableTarget[reg];
        const uint32_t entries = sw.Bound[sw.TargetIndex[reg]];
        if (entries) {
            CaseTable(table, entries, 4, table, state, insn.Start, false);
            return;
        }
    }

    if (!insn.Target && !insn.TargetPointer && !insn.TargetPointerPointer)
        return AddUnresolved(insn);
    if (!insn.Target)
        return AddUnresolved(insn);

    // Run-time routines of the exception blocks.
    if (t && (t == rt.HandleAnyException || t == rt.HandleFinally || t == rt.HandleOnException
            || t == rt.HandleAutoException || t == rt.Halt)) {
        if (t == rt.Halt) {
            endsPath = true;
            return;
        }
        if (t == rt.HandleAutoException)
            return;
        if (t == rt.HandleAnyException) {
            AddRange(insn.End, state, insn.Start, &current);
            return;
        }
        if (t == rt.HandleFinally) {
            AddRange(insn.End, state, insn.Start, &current);
            const TDecodedInstruction next = DecodeInstruction(R, O.Mode, insn.End);
            if (next.Valid && next.IsJmp && next.Target && InBounds(next.Target)) {
                uint8_t push[5];
                if (R.Read(next.Target - 5, push, 5) && push[0] == 0x68) {
                    uint32_t pushed;
                    std::memcpy(&pushed, push + 1, 4);
                    TKnownRegisters none {};
                    AddRange(pushed, none, insn.Start);
                }
            }
            return;
        }
        // handle-on-exception: a table of "on" clauses follows the jump.
        uint32_t count = 0;
        if (!R.Read(insn.End, &count, 4) || count > MaxExceptClauses) {
            Fail(insn.Start);
            return;
        }
        for (uint32_t i = 0; i < count; ++i) {
            uint32_t handler = 0;
            if (!R.Read(insn.End + 4 + i * 8 + 4, &handler, 4)) {
                Fail(insn.Start);
                return;
            }
            TKnownRegisters none {};
            AddRange(handler, none, insn.Start);
        }
        TKnownRegisters none {};
        AddRange(insn.End, none, insn.Start);
        const size_t i = IndexOf(insn.End);
        if (i < A.CodeRanges.size() && A.CodeRanges[i].Start == insn.End) {
            A.CodeRanges[i].IsExceptTable = true;
            A.CodeRanges[i].Decoded = true;
            A.CodeRanges[i].End = insn.End + 4 + count * 8 - 1;
        }
        return;
    }
    (void)previous;

    if (insn.IsCall) {
        AddOutgoing(insn, t);
        if (Is64 && IsNoReturnName(CalleeName(t)))
            endsPath = true;
        return;
    }
    if (!InBounds(t)) {
        AddOutgoing(insn, t); // a tail call, or a jump into another part of the function
        return;
    }
    AddRange(t, state, insn.Start, &current);
}

void TAnalyser::DecodeRange(uintptr_t start)
{
    uintptr_t current = start;
    size_t ci = IndexOf(current);
    A.CodeRanges[ci].Decoded = true;
    TKnownRegisters regs = A.CodeRanges[ci].Regs;
    uintptr_t at = start;
    TSwitchState sw;
    TDecodedInstruction previous;
    while (!Failed) {
        if (++Decoded > MaxDecodedInstructions)
            return Fail(at);
        const TKnownRegisters before = regs;
        TDecodedInstruction insn = DecodeInstruction(R, O.Mode, at, &regs);
        if (!insn.Valid || (!Is64 && insn.IsUd))
            return Fail(at);
        const size_t next = IndexOf(at + 1);
        const uintptr_t nextStart = next < A.CodeRanges.size() ? A.CodeRanges[next].Start : 0;
        if (nextStart && insn.End > nextStart)
            return Fail(at);
        ci = IndexOf(current);
        A.CodeRanges[ci].End = insn.End - 1;

        // Switch tracking: the index bound of cmp/ja and the parts of a position-independent table.
        const uint8_t op = insn.OpByte;
        int cmpReg = -1;
        uint32_t cmpImm = 0;
        // The 32-bit tables know CMP reg, imm8; 64-bit code compares in any width.
        const bool cmpImmediate = insn.Map == 0 && insn.HasModRm && (insn.ModRm >> 3 & 7) == 7
            && (op == 0x83 || (Is64 && (op == 0x80 || op == 0x81)));
        if (cmpImmediate && insn.Operands[0].Kind == TOperandKind::Reg && !insn.Operands[0].HighByte) {
            cmpReg = insn.Operands[0].Reg;
            cmpImm = static_cast<uint32_t>(insn.Operands[1].Disp);
        } else if (Is64 && insn.Map == 0 && (op == 0x3C || op == 0x3D)) {
            cmpReg = 0;
            cmpImm = static_cast<uint32_t>(insn.Operands[1].Disp);
        }
        if (insn.IsJmp && insn.IsConditional && sw.CmpReg >= 0) {
            const uint8_t cc = insn.Map == 0 ? static_cast<uint8_t>(op - 0x70) : static_cast<uint8_t>(op - 0x80);
            if ((insn.Map == 0 && op >= 0x70 && op <= 0x7F) || (insn.Map == 1 && op >= 0x80 && op <= 0x8F)) {
                if (cc == 7 || cc == 15) // ja, jg
                    sw.Bound[sw.CmpReg] = sw.CmpImm + 1;
                else if (cc == 3 || cc == 13) // jae, jge
                    sw.Bound[sw.CmpReg] = sw.CmpImm;
            }
        }
        sw.CmpReg = cmpReg;
        sw.CmpImm = cmpImm;
        if (Is64 && insn.OperandCount >= 1 && insn.Operands[0].Kind == TOperandKind::Reg
            && insn.Operands[0].Class == TRegClass::Gpr && !insn.IsJmp && !insn.IsCall) {
            const int dst = insn.Operands[0].Reg;
            const TOperand& src = insn.Operands[1];
            if (insn.Map == 0 && op == 0x63 && src.Kind == TOperandKind::Mem && src.Base != 0xFF
                && src.Index != 0xFF && src.Scale == 4 && src.Disp == 0 && before[src.Base]) {
                sw.Forget(dst);
                sw.LoadedFrom[dst] = before[src.Base];
                sw.LoadedIndex[dst] = static_cast<int8_t>(src.Index);
            } else if (insn.Map == 0 && (op == 0x01 || op == 0x03) && src.Kind == TOperandKind::Reg
                && sw.LoadedFrom[dst] && before[src.Reg] == sw.LoadedFrom[dst]) {
                sw.TableTarget[dst] = sw.LoadedFrom[dst];
                sw.TargetIndex[dst] = sw.LoadedIndex[dst];
                sw.LoadedFrom[dst] = 0;
            } else if (((insn.Map == 0 && (op == 0x89 || op == 0x8B || op == 0x63))
                           || (insn.Map == 1 && (op == 0xB6 || op == 0xB7)))
                && src.Kind == TOperandKind::Reg && !src.HighByte) {
                // a copy or extension of a checked index keeps its bound
                const uint32_t bound = sw.Bound[src.Reg];
                sw.Forget(dst);
                sw.Bound[dst] = bound;
            } else if (!(insn.Map == 0 && (op == 0x39 || op == 0x3B || op == 0x3D || op == 0x85 || op == 0x84
                             || ((op == 0x83 || op == 0x81) && (insn.ModRm >> 3 & 7) == 7)))) {
                sw.Forget(dst);
            }
        }

        bool endsPath = insn.IsReturn || (Is64 && insn.IsUd);
        if (insn.IsCall || insn.IsJmp)
            Classify(insn, before, previous, sw, current, endsPath);
        // A structured-exception frame: PUSH handler, then PUSH fs:[reg] of an unknown or zero register.
        if (!Is64 && previous.Valid && previous.Map == 0 && previous.OpByte == 0x68 && insn.Segment == 4
            && insn.Map == 0 && op == 0xFF && insn.HasModRm && (insn.ModRm >> 3 & 7) == 6
            && insn.Operands[0].Kind == TOperandKind::Mem && insn.Operands[0].Index == 0xFF
            && ((insn.Operands[0].Base == 0xFF && insn.Operands[0].Disp == 0)
                || (insn.Operands[0].Base != 0xFF && insn.Operands[0].Disp == 0 && before[insn.Operands[0].Base] == 0))) {
            TKnownRegisters none {};
            AddRange(static_cast<uintptr_t>(previous.Operands[0].Disp) & 0xFFFFFFFFu, none, insn.Start);
        }
        previous = insn;
        if (Failed || endsPath)
            return;
        if (O.SymbolEnd && insn.End >= O.SymbolEnd)
            return;
        const size_t after = IndexOf(insn.End);
        if (after < A.CodeRanges.size() && A.CodeRanges[after].Start == insn.End) {
            AddRange(insn.End, regs, 0); // falls into a known range: its state merges
            return;
        }
        if (regs != before) {
            AddRange(insn.End, regs, 0);
            current = insn.End;
            const size_t ni = IndexOf(current);
            if (Failed || ni >= A.CodeRanges.size())
                return;
            A.CodeRanges[ni].Decoded = true;
            A.CodeRanges[ni].End = insn.End;
        }
        at = insn.End;
    }
}

// Alignment padding (nops and int3) up to the end of the symbol, or to the next range, is no code.
bool TAnalyser::OnlyPadding(uintptr_t from) const
{
    const size_t next = IndexOf(from);
    const uintptr_t end = next < A.CodeRanges.size() ? std::min<uintptr_t>(A.CodeRanges[next].Start, O.SymbolEnd)
                                                     : O.SymbolEnd;
    for (uintptr_t at = from; at < end;) {
        const TDecodedInstruction d = DecodeInstruction(R, O.Mode, at);
        if (!d.Valid || !(d.IsNop || (d.Map == 0 && d.OpByte == 0xCC)))
            return false;
        at = d.End;
    }
    return true;
}

bool TAnalyser::Pending() const
{
    for (const TCodeRange& r : A.CodeRanges)
        if (!r.Decoded)
            return true;
    return false;
}

bool TAnalyser::RetryUnresolved()
{
    bool changed = false;
    for (size_t i = A.UnresolvedBranches.size(); i-- > 0 && !Failed;) {
        if (i >= A.UnresolvedBranches.size())
            continue;
        const TUnresolvedBranch b = A.UnresolvedBranches[i];
        const TCodeRange* r = A.RangeAt(b.Address);
        if (!r)
            continue;
        TKnownRegisters regs = r->Regs;
        const TDecodedInstruction insn = DecodeInstruction(R, O.Mode, b.Address, &regs);
        if (!insn.Valid || !insn.Target)
            continue;
        A.UnresolvedBranches.erase(A.UnresolvedBranches.begin() + static_cast<std::ptrdiff_t>(i));
        const size_t before = A.CodeRanges.size() + A.OutgoingCalls.size();
        TSwitchState sw;
        bool ends = false;
        uintptr_t current = r->Start;
        TDecodedInstruction none;
        Classify(insn, r->Regs, none, sw, current, ends);
        changed = changed || A.CodeRanges.size() + A.OutgoingCalls.size() != before;
    }
    return changed;
}

bool TAnalyser::TryGap(uintptr_t gap)
{
    const TFunctionAnalysis saved = A;
    const size_t decoded = Decoded;
    TKnownRegisters none {};
    AddRange(gap, none, 0);
    while (!Failed && Pending()) {
        for (size_t i = 0; i < A.CodeRanges.size() && !Failed; ++i)
            if (!A.CodeRanges[i].Decoded)
                DecodeRange(A.CodeRanges[i].Start);
    }
    if (Failed) {
        A = saved;
        Decoded = decoded;
        Failed = false;
        return false;
    }
    return true;
}

void TAnalyser::Run(uintptr_t entry)
{
    A.EntryPoint = entry;
    uint8_t probe;
    if (!R.Read(entry, &probe, 1)) {
        A.ErrorCode = ErrorNotCommitted;
        A.ErrorAddress = entry;
        char buffer[128];
        A.ErrorText = strerror_r(EFAULT, buffer, sizeof buffer);
        return;
    }
    TKnownRegisters none {};
    AddRange(entry, none, 0);
    for (;;) {
        while (!Failed && Pending()) {
            for (size_t i = 0; i < A.CodeRanges.size() && !Failed; ++i)
                if (!A.CodeRanges[i].Decoded)
                    DecodeRange(A.CodeRanges[i].Start);
        }
        if (Failed)
            break;
        if (RetryUnresolved())
            continue;
        if (Failed)
            break;
        // An unresolved jump may lead to code no path reaches: try the first gap after the
        // ranges that follow each other from the lowest start.
        const bool unresolvedJump = std::any_of(A.UnresolvedBranches.begin(), A.UnresolvedBranches.end(),
            [](const TUnresolvedBranch& b) { return !b.IsCall; });
        if (unresolvedJump && !O.SymbolEnd) {
            uintptr_t end = A.CodeRanges.front().End;
            uintptr_t highest = 0;
            for (const TCodeRange& r : A.CodeRanges)
                highest = std::max(highest, r.End);
            for (size_t i = 1; i < A.CodeRanges.size() && A.CodeRanges[i].Start == end + 1; ++i)
                end = A.CodeRanges[i].End;
            const uintptr_t gap = end + 1;
            if (gap == highest + 1 || gap + 1024 <= highest || !TryGap(gap))
                break;
            continue;
        }
        break;
    }
    // The function's own symbol bounds it: code no path reaches inside it (landing pads) is decoded too.
    for (int trials = 0; !Failed && O.SymbolEnd && trials < MaxGapTrials; ++trials) {
        uintptr_t gap = O.SymbolStart;
        for (const TCodeRange& r : A.CodeRanges) {
            if (r.Start > gap)
                break;
            gap = std::max(gap, r.End + 1);
        }
        if (gap >= O.SymbolEnd || OnlyPadding(gap) || !TryGap(gap))
            break;
    }
    Finish();
}

void TAnalyser::Finish()
{
    if (Failed) {
        A.Valid = 0;
        A.ErrorCode = ErrorInvalidCode;
        A.ErrorText = "Invalid code!";
        return;
    }
    A.Valid = 1;
    A.LowStart = A.CodeRanges.front().Start;
    uintptr_t highest = 0;
    for (const TCodeRange& r : A.CodeRanges)
        highest = std::max(highest, r.End);
    A.Span = static_cast<uint32_t>(highest - A.LowStart + 1);
    A.MovedSize = A.Span + 4;
    for (const TOutgoingCall& c : A.OutgoingCalls)
        if (c.IsRelative)
            A.MovedSize += 4;
    // Hookable: the ranges that follow each other from the entry point hold more than 5 bytes, and
    // nothing in the first 6 bytes is a branch that cannot move.
    size_t i = IndexOf(A.EntryPoint);
    uintptr_t end = A.EntryPoint;
    for (; i < A.CodeRanges.size() && A.CodeRanges[i].Start == end; ++i) {
        if (A.CodeRanges[i].IsCaseTable || A.CodeRanges[i].IsExceptTable)
            break;
        end = A.CodeRanges[i].End + 1;
    }
    bool hookable = end - A.EntryPoint > 5;
    for (uintptr_t at = A.EntryPoint; hookable && at < A.EntryPoint + 6;) {
        const TDecodedInstruction insn = DecodeInstruction(R, O.Mode, at);
        if (!insn.Valid)
            break;
        if ((insn.IsCall || insn.IsJmp) && (!insn.TargetPointer || insn.TargetSize < 4))
            hookable = false;
        at = insn.End;
    }
    A.Hookable = hookable;
}

} // namespace

TFunctionAnalysis AnalyseFunction(const TCodeReader& reader, uintptr_t entry, const TAnalysisOptions& options)
{
    TFunctionAnalysis a;
    TAnalyser(reader, options, a).Run(entry);
    return a;
}

// ---------------------------------------------------------------------------------------------
// Instruction text

namespace {

std::string HexDigits(uint64_t value, int digits = 0)
{
    char buffer[24];
    if (digits)
        snprintf(buffer, sizeof buffer, "%0*llX", digits, static_cast<unsigned long long>(value));
    else
        snprintf(buffer, sizeof buffer, "%llX", static_cast<unsigned long long>(value));
    return buffer;
}

int AddressDigits(TDisAsmMode mode) { return mode == TDisAsmMode::Mode64 ? 16 : 8; }

// -9..9 in decimal, else "$" and hexadecimal, "-" in front of negative values.
std::string NumberText(int64_t value)
{
    if (value >= -9 && value <= 9)
        return std::to_string(value);
    if (value < 0)
        return "-$" + HexDigits(static_cast<uint64_t>(0) - static_cast<uint64_t>(value));
    return "$" + HexDigits(static_cast<uint64_t>(value));
}

std::string RegisterName(const TOperand& o)
{
    static const char* const r8[] = { "al", "cl", "dl", "bl", "spl", "bpl", "sil", "dil" };
    static const char* const r8High[] = { "ah", "ch", "dh", "bh" };
    static const char* const r16[] = { "ax", "cx", "dx", "bx", "sp", "bp", "si", "di" };
    static const char* const r32[] = { "eax", "ecx", "edx", "ebx", "esp", "ebp", "esi", "edi" };
    static const char* const r64[] = { "rax", "rcx", "rdx", "rbx", "rsp", "rbp", "rsi", "rdi" };
    static const char* const segs[] = { "es", "cs", "ss", "ds", "fs", "gs" };
    const int n = o.Reg;
    switch (o.Class) {
    case TRegClass::Gpr:
        if (o.HighByte)
            return r8High[n & 3];
        if (n >= 8) {
            const std::string base = "r" + std::to_string(n);
            return o.Size == 1 ? base + "b" : o.Size == 2 ? base + "w" : o.Size == 4 ? base + "d" : base;
        }
        return o.Size == 1 ? r8[n] : o.Size == 2 ? r16[n] : o.Size == 4 ? r32[n] : r64[n];
    case TRegClass::Seg: return segs[n % 6];
    case TRegClass::Control: return "cr" + std::to_string(n);
    case TRegClass::Debug: return "dr" + std::to_string(n);
    case TRegClass::Mmx: return "mm" + std::to_string(n);
    case TRegClass::Xmm: return "xmm" + std::to_string(n);
    case TRegClass::X87: return n == 0 ? std::string("st") : "st(" + std::to_string(n) + ")";
    case TRegClass::Rip: return "rip";
    }
    return {};
}

std::string AddressRegisterName(uint8_t reg, uint8_t addressSize)
{
    TOperand o;
    o.Class = TRegClass::Gpr;
    o.Reg = reg;
    o.Size = addressSize;
    return RegisterName(o);
}

const char* SizeName(uint8_t size)
{
    switch (size) {
    case 1: return "byte";
    case 2: return "word";
    case 4: return "dword";
    case 6: return "fword";
    case 8: return "qword";
    case 10: return "tbyte";
    case 16: return "oword";
    default: return nullptr;
    }
}

std::string MemoryText(const TOperand& o, uint8_t segment, bool withSize)
{
    static const char* const segs[] = { "es", "cs", "ss", "ds", "fs", "gs" };
    std::string s;
    const char* size = withSize ? SizeName(o.Size) : nullptr;
    if (size)
        s = std::string(size) + " ptr ";
    if (segment < 6)
        s += std::string(segs[segment]) + ":";
    s += "[";
    std::string inner;
    if (o.Base != 0xFF)
        inner = AddressRegisterName(o.Base, o.AddressSize);
    if (o.Index != 0xFF) {
        inner += "+" + AddressRegisterName(o.Index, o.AddressSize);
        if (o.Scale > 1)
            inner += "*" + std::to_string(o.Scale);
    }
    if (o.Base == 0xFF && o.Index == 0xFF) {
        uint64_t address = static_cast<uint64_t>(o.Disp);
        if (o.AddressSize == 4)
            address &= 0xFFFFFFFFu;
        else if (o.AddressSize == 2)
            address &= 0xFFFF;
        inner = address <= 9 ? std::to_string(address) : "$" + HexDigits(address);
    } else if (o.Disp) {
        const std::string n = NumberText(o.Disp);
        inner += n[0] == '-' ? n : "+" + n;
    }
    if (!inner.empty() && inner[0] == '+')
        inner.erase(0, 1);
    return s + inner + "]";
}

void PadTo(std::string& s, size_t width, bool atLeastOne = true)
{
    if (s.size() < width)
        s.append(width - s.size(), ' ');
    else if (atLeastOne)
        s += ' ';
}

// Plain text at address, quoted, when its characters look like a message.
std::string TextComment(const TCodeReader& reader, uintptr_t address)
{
    uint8_t bytes[101];
    const size_t n = reader.ReadSome(address, bytes, sizeof bytes);
    std::string text;
    int plain = 0, punctuation = 0, symbols = 0, others = 0;
    size_t i = 0;
    for (; i < n && i < 100; ++i) {
        const uint8_t c = bytes[i];
        if (c == 0 || c == 10 || c == 12)
            break;
        if (c < 32)
            return {};
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ' ')
            ++plain;
        else if (c == ',' || c == '.' || c == ':' || c == '\\')
            ++punctuation;
        else if (c >= '!' && c <= ']')
            ++symbols;
        else
            ++others;
        text += static_cast<char>(c);
    }
    if (i == n && i < 100)
        return {}; // ran into unreadable memory
    if (text.size() >= 4 && punctuation * 5 < plain * 2 && symbols * 8 < plain + punctuation / 2
        && others * 10 < plain + punctuation / 2 + symbols / 4)
        return "'" + text + "'";
    return {};
}

std::string NameComment(const TCodeReader& reader, TDisAsmMode mode, const TCodeNamer& namer, uintptr_t address)
{
    std::string name = namer.ExportName(address);
    if (name.empty())
        name = namer.ProcName(address);
    if (name.empty()) {
        // A jump thunk: the name of its own target.
        TDecodedInstruction j = DecodeInstruction(reader, mode, address);
        if (j.Valid && j.IsNop && j.Map == 1 && j.OpByte == 0x1E)
            j = DecodeInstruction(reader, mode, j.End);
        if (j.Valid && j.IsJmp && !j.IsConditional && j.Map == 0 && (j.OpByte == 0xFF || j.OpByte == 0xE9)) {
            if (j.TargetPointerPointer)
                name = namer.CellName(j.TargetPointerPointer);
            if (name.empty() && j.Target) {
                name = namer.ExportName(j.Target);
                if (name.empty())
                    name = namer.ProcName(j.Target);
            }
        }
    }
    if (name.empty() || name.find('(') != std::string::npos)
        return {};
    TCodeModule module;
    if (namer.Module(address, module) && !module.IsProgram && !module.FileName.empty())
        name += " (" + module.FileName + ")";
    return name;
}

} // namespace

std::string InstructionMnemonic(const TDecodedInstruction& insn)
{
    if (!insn.Valid)
        return "db";
    if (insn.Vex)
        return insn.Vex == 4 ? "(evex)" : "(vex)";
    if (insn.Is3DNow)
        for (const auto& e : ThreeDNowNames)
            if (e.Suffix == insn.Suffix)
                return e.Name;
    std::string m = insn.MnemonicSource ? insn.MnemonicSource : "";
    const size_t slash = m.find('/');
    if (slash != std::string::npos) {
        std::vector<std::string> variants = SplitWords(m, '/');
        const uint8_t size = insn.Map == 0 && insn.OpByte == 0xE3 ? insn.AddressSize : insn.OperandSize;
        const size_t i = size == 2 ? 0 : size == 4 ? 1 : 2;
        m = variants[std::min(i, variants.size() - 1)];
    }
    return m;
}

std::string FormatInstruction(const TDecodedInstruction& insn, const TCodeReader& reader, const TCodeNamer* namer)
{
    const int digits = AddressDigits(insn.Mode);
    std::string line = HexDigits(insn.Start, digits) + "   ";
    if (!insn.Valid) {
        uint8_t b = 0;
        reader.Read(insn.Start, &b, 1);
        return line + "db $" + HexDigits(b, 2);
    }
    if (insn.Lock)
        line += "lock ";
    if (insn.Map == 0 && insn.Repne)
        line += "repne ";
    else if (insn.Map == 0 && insn.Rep && insn.OpByte != 0x90)
        line += "rep ";
    line += InstructionMnemonic(insn);
    std::string operands;
    bool hasRegister = false;
    for (int i = 0; i < insn.OperandCount; ++i)
        hasRegister = hasRegister || insn.Operands[i].Kind == TOperandKind::Reg;
    std::vector<uintptr_t> referenced;
    for (int i = 0; i < insn.OperandCount; ++i) {
        const TOperand& o = insn.Operands[i];
        std::string text;
        switch (o.Kind) {
        case TOperandKind::Reg: text = RegisterName(o); break;
        case TOperandKind::Mem: {
            bool sized = true;
            for (int k = 0; k < insn.OperandCount; ++k)
                if (k != i && insn.Operands[k].Kind == TOperandKind::Reg && insn.Operands[k].Size == o.Size)
                    sized = false;
            text = MemoryText(o, insn.Segment, sized);
            if (o.RipRelative || o.Moffs || (o.Base == 0xFF && o.Index == 0xFF && o.AddressSize >= 4))
                referenced.push_back(static_cast<uintptr_t>(o.Disp));
            else if (o.Disp && (o.Disp > 0xFFFF || o.Disp < -0xFFFF))
                referenced.push_back(static_cast<uintptr_t>(o.Disp));
            break;
        }
        case TOperandKind::Imm:
            text = NumberText(o.Disp);
            if (o.Size >= 4)
                referenced.push_back(static_cast<uintptr_t>(o.Disp));
            break;
        case TOperandKind::Rel:
            text = NumberText(o.Disp) + " ($" + HexDigits(insn.Target ? insn.Target : insn.End + o.Disp) + ")";
            break;
        case TOperandKind::Far: text = NumberText(o.Selector) + ":" + NumberText(o.Disp); break;
        case TOperandKind::None: break;
        }
        if (!operands.empty())
            operands += ", ";
        operands += text;
    }
    if (!operands.empty()) {
        PadTo(line, static_cast<size_t>(digits + 11));
        line += operands;
    }
    if (insn.IsCall || insn.IsJmp) {
        referenced.clear();
        if (insn.Target)
            referenced.push_back(insn.Target);
    }
    if (namer) {
        for (uintptr_t address : referenced) {
            TCodeModule module;
            std::string comment;
            const bool inModule = namer->Module(insn.Start, module) && address >= module.Start
                && address + 100 <= module.End;
            if (insn.IsCall || insn.IsJmp || inModule)
                comment = NameComment(reader, insn.Mode, *namer, address);
            if (comment.empty() && inModule)
                comment = TextComment(reader, address);
            if (!comment.empty()) {
                PadTo(line, static_cast<size_t>(digits + 32), false);
                line += "  ; " + comment;
                break;
            }
        }
    }
    return line;
}

std::string InstructionText(
    const TCodeReader& reader, TDisAsmMode mode, uintptr_t address, TKnownRegisters* regs, const TCodeNamer* namer)
{
    return FormatInstruction(DecodeInstruction(reader, mode, address, regs), reader, namer);
}

// ---------------------------------------------------------------------------------------------
// Function listing

namespace {

const char* const Separator = "; ---------------------------------------------------------";

std::string LabelOf(uintptr_t address, uintptr_t entry, const std::string& functionName)
{
    return address == entry ? functionName : "loc_" + HexDigits(address);
}

// The class name of a class reference (a pointer to the name's length byte sits 44 bytes before it).
std::string ClassName(const TCodeReader& reader, uint32_t classRef)
{
    uint32_t namePointer = 0;
    uint8_t length = 0;
    char text[256];
    if (!reader.Read(classRef - 44, &namePointer, 4) || !reader.Read(namePointer, &length, 1) || length == 0
        || !reader.Read(namePointer + 1, text, length))
        return "EUnknown";
    return std::string(text, length);
}

} // namespace

std::string FunctionListing(const TCodeReader& reader, uintptr_t entry, const TAnalysisOptions& analysisOptions,
    const TListingOptions& listingOptions, TFunctionAnalysis* analysisOut)
{
    TFunctionAnalysis analysis = AnalyseFunction(reader, entry, analysisOptions);
    if (analysisOut)
        *analysisOut = analysis;
    if (!analysis.Valid)
        return {};
    if (analysis.CodeRanges.empty())
        return "Internal error in ParseFunction while composing the disassembling string...  :-(";
    const TDisAsmMode mode = analysisOptions.Mode;
    const int digits = AddressDigits(mode);
    const TCodeNamer* namer = analysisOptions.Namer;
    std::string name;
    if (namer) {
        name = namer->ExportName(entry);
        if (name.empty())
            name = namer->ProcName(entry);
    }
    const std::string functionName = name.empty() ? "sub_" + HexDigits(entry) : "public " + name;

    // Jump targets that start a code range get a label; their jumps name it.
    std::vector<uintptr_t> jumpTargets;
    for (const TCodeRange& r : analysis.CodeRanges) {
        if (r.IsCaseTable) {
            for (uintptr_t at = r.Start; at + r.EntrySize <= r.End + 1; at += r.EntrySize) {
                uint64_t raw = 0;
                reader.Read(at, &raw, r.EntrySize);
                jumpTargets.push_back(r.TableBase ? r.TableBase + static_cast<uintptr_t>(static_cast<int32_t>(raw))
                                                  : static_cast<uintptr_t>(raw));
            }
            continue;
        }
        if (r.IsExceptTable)
            continue;
        for (uintptr_t at = r.Start; at <= r.End;) {
            const TDecodedInstruction insn = DecodeInstruction(reader, mode, at);
            if (!insn.Valid)
                break;
            if (insn.IsJmp && insn.Target)
                jumpTargets.push_back(insn.Target);
            at = insn.End;
        }
    }
    for (const TCaseTable& t : analysis.CaseTables)
        jumpTargets.insert(jumpTargets.end(), t.Targets.begin(), t.Targets.end());
    std::sort(jumpTargets.begin(), jumpTargets.end());
    auto startsRange = [&](uintptr_t a) {
        for (const TCodeRange& r : analysis.CodeRanges)
            if (r.Start == a && !r.IsCaseTable && !r.IsExceptTable)
                return true;
        return false;
    };
    auto isJumpTarget = [&](uintptr_t a) { return std::binary_search(jumpTargets.begin(), jumpTargets.end(), a); };

    // The line-number column.
    int lineWidth = 0;
    if (listingOptions.LineOf) {
        const uintptr_t last = analysis.LowStart + analysis.Span - 1;
        int probe = listingOptions.LineOf(last, listingOptions.LineContext);
        int extra = 0;
        if (probe <= 0 && listingOptions.ExceptionAddress) {
            probe = listingOptions.LineOf(listingOptions.ExceptionAddress, listingOptions.LineContext);
            extra = 1;
        }
        if (probe > 0)
            lineWidth = static_cast<int>(std::to_string(probe).size()) + extra;
    }
    int lastLine = -1;
    auto withLine = [&](std::string line, uintptr_t address) {
        if (!lineWidth)
            return line;
        const int n = listingOptions.LineOf(address, listingOptions.LineContext);
        std::string column(static_cast<size_t>(lineWidth), ' ');
        if (n > 0 && n != lastLine) {
            char b[24];
            snprintf(b, sizeof b, "%0*d", lineWidth, n);
            column = b;
            lastLine = n;
        }
        return line.substr(0, static_cast<size_t>(digits)) + " " + column + line.substr(static_cast<size_t>(digits));
    };

    std::vector<std::string> lines;
    int exceptionLine = -1;
    const TRuntimeRoutines& rt = analysisOptions.Runtime;
    for (size_t ri = 0; ri < analysis.CodeRanges.size(); ++ri) {
        const TCodeRange& r = analysis.CodeRanges[ri];
        const std::string address = HexDigits(r.Start, digits);
        if (r.IsCaseTable) {
            // After the jump's own separator, the table needs none of its own.
            if (listingOptions.Formatted && !(lines.size() >= 2 && lines[lines.size() - 2] == Separator)) {
                lines.push_back(Separator);
                lines.push_back("");
            }
            bool first = true;
            for (uintptr_t at = r.Start; at + r.EntrySize <= r.End + 1; at += r.EntrySize) {
                uint64_t raw = 0;
                reader.Read(at, &raw, r.EntrySize);
                const uintptr_t target = r.TableBase ? r.TableBase + static_cast<uintptr_t>(static_cast<int32_t>(raw))
                                                     : static_cast<uintptr_t>(raw);
                std::string line = HexDigits(at, digits) + " " + "  dd " + LabelOf(target, entry, functionName);
                if (first) {
                    PadTo(line, static_cast<size_t>(digits + 1 + 31), false);
                    line += "  ; case jump table";
                    first = false;
                }
                lines.push_back(withLine(line, at));
            }
            continue;
        }
        if (r.IsExceptTable) {
            uint32_t count = 0;
            reader.Read(r.Start, &count, 4);
            std::vector<std::pair<std::string, uint32_t>> clauses;
            size_t width = 0;
            for (uint32_t i = 0; i < count && i < 1024; ++i) {
                uint32_t classRef = 0, handler = 0;
                reader.Read(r.Start + 4 + i * 8, &classRef, 4);
                reader.Read(r.Start + 8 + i * 8, &handler, 4);
                clauses.emplace_back(classRef ? ClassName(reader, classRef) : std::string(), handler);
                width = std::max(width, clauses.back().first.size());
            }
            for (const auto& [cls, handler] : clauses) {
                std::string line = address + " ";
                if (cls.empty())
                    line += "  else" + std::string(width + 3, ' ');
                else
                    line += "  on " + cls + std::string(width - cls.size(), ' ') + " do";
                line += " loc_" + HexDigits(handler);
                lines.push_back(withLine(line, r.Start));
            }
            continue;
        }
        if (r.Start == entry || (listingOptions.Formatted && isJumpTarget(r.Start))) {
            std::string label = address + " " + LabelOf(r.Start, entry, functionName) + ":";
            if (r.Start == entry) {
                PadTo(label, static_cast<size_t>(digits + 1 + 31), false);
                label += "  ; function entry point";
            }
            lines.push_back(withLine(label, r.Start));
        }
        for (uintptr_t at = r.Start; at <= r.End;) {
            const TDecodedInstruction insn = DecodeInstruction(reader, mode, at);
            std::string line = FormatInstruction(insn, reader, namer);
            if (!insn.Valid)
                break;
            if (insn.IsJmp && insn.Target && startsRange(insn.Target)) {
                // The jump names its target's label.
                std::string head = HexDigits(insn.Start, digits) + "   ";
                if (insn.Lock)
                    head += "lock ";
                head += InstructionMnemonic(insn);
                PadTo(head, static_cast<size_t>(digits + 11));
                line = head + LabelOf(insn.Target, entry, functionName);
            }
            for (const TCaseTable& t : analysis.CaseTables) {
                if (t.Jump == insn.Start && !analysis.RangeAt(t.Table)) {
                    PadTo(line, static_cast<size_t>(digits + 32), false);
                    line += "  ; case jump table $" + HexDigits(t.Table) + ", " + std::to_string(t.Entries) + " entries";
                }
            }
            line = withLine(line, insn.Start);
            if (listingOptions.ExceptionAddress && insn.Start == listingOptions.ExceptionAddress) {
                line[static_cast<size_t>(digits + 1 + (lineWidth ? lineWidth + 1 : 0))] = '>';
                exceptionLine = static_cast<int>(lines.size());
            }
            lines.push_back(line);
            const bool last = ri + 1 == analysis.CodeRanges.size() && insn.End > r.End;
            if (listingOptions.Formatted && !last && (insn.IsReturn || (insn.IsJmp && !insn.IsConditional))) {
                lines.push_back("");
                const uintptr_t t = insn.Target;
                if (!(t && (t == rt.HandleAnyException || t == rt.HandleOnException || t == rt.HandleFinally))) {
                    lines.push_back(Separator);
                    lines.push_back("");
                }
            }
            at = insn.End;
        }
    }
    // The line limit keeps the lines around the exception.
    const uint32_t limit = listingOptions.LineLimit;
    if (limit && exceptionLine >= 0) {
        std::vector<std::string> kept;
        size_t from = 0;
        if (static_cast<uint64_t>(exceptionLine) > uint64_t(limit) * 12 / 10) {
            kept.push_back("[...]");
            from = static_cast<size_t>(exceptionLine) - limit;
        }
        const size_t to = std::min(lines.size(), static_cast<size_t>(exceptionLine) + 1 + limit);
        kept.insert(kept.end(), lines.begin() + static_cast<std::ptrdiff_t>(from),
            lines.begin() + static_cast<std::ptrdiff_t>(to));
        if (to < lines.size())
            kept.push_back("[...]");
        lines.swap(kept);
    }
    std::string text;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i)
            text += "\r\n";
        text += lines[i];
    }
    return text;
}
