// x86 decoder (32- and 64-bit mode), instruction text, function analyser and function listing.
#include "crashreport/VostDisAsm.h"

#include <algorithm>
#include <cstring>
#include <mutex>

namespace {

#include "crashreport/VostDisAsmTables.inc"

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

struct TOpSpec {
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
    std::array<TOpSpec, 4> Ops {};
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

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

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

TOpSpec ParseOperand(const std::string& t)
{
    static const char* const gpr8[] = { "AL", "CL", "DL", "BL" };
    static const char* const segs[] = { "ES", "CS", "SS", "DS", "FS", "GS" };
    TOpSpec s;
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
        const int v = HexDigit(key[i]) * 16 + HexDigit(key[i + 1]);
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
        const TOpSpec& s = def->Ops[i];
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
