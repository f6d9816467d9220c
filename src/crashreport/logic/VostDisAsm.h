// x86 decoder (32- and 64-bit mode), instruction text, function analyser and function listing.
// Plain C++ without Qt, so that the decoder itself can be built for 32-bit code too.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

enum class TDisAsmMode : uint8_t { Mode32, Mode64 };

// Where the decoder and the analyser read code. Readers of live memory go through the safe read;
// fixtures serve bytes at any address they like.
class TCodeReader {
public:
    virtual ~TCodeReader() = default;
    // Copies up to count bytes at address into dest and returns how many leading bytes it could
    // read (0 when address itself is unreadable).
    virtual size_t ReadSome(uintptr_t address, void* dest, size_t count) const = 0;
    // All or nothing.
    bool Read(uintptr_t address, void* dest, size_t count) const { return ReadSome(address, dest, count) == count; }
};

// Bytes placed at a chosen address.
class TBufferCodeReader : public TCodeReader {
public:
    TBufferCodeReader(uintptr_t base, std::vector<uint8_t> bytes)
        : FBase(base)
        , FBytes(std::move(bytes))
    {
    }
    size_t ReadSome(uintptr_t address, void* dest, size_t count) const override;
    uintptr_t Base() const { return FBase; }
    size_t Size() const { return FBytes.size(); }

private:
    uintptr_t FBase;
    std::vector<uint8_t> FBytes;
};

// A module as the listing's comments need it.
struct TCodeModule {
    uintptr_t Start = 0; // first byte of its image
    uintptr_t End = 0; // byte after it
    std::string FileName; // without path
    bool IsProgram = false;
};

// Names of code addresses; every answer may be empty. The analyser uses them to end paths at
// calls that never return and to keep named jump thunks; the listing for its comments.
class TCodeNamer {
public:
    virtual ~TCodeNamer() = default;
    // The exported (dynamic) symbol that starts exactly at address.
    virtual std::string ExportName(uintptr_t address) const = 0;
    // The procedure of our own debug information that covers address.
    virtual std::string ProcName(uintptr_t address) const = 0;
    // The symbol an import cell (GOT entry) is bound to, from the module's relocations.
    virtual std::string CellName(uintptr_t cell) const = 0;
    virtual bool Module(uintptr_t address, TCodeModule& module) const = 0;
};

// One value per general register in encoding order (eax/rax, ecx, edx, ebx, esp, ebp, esi, edi,
// then r8..r15); 0 means unknown.
using TKnownRegisters = std::array<uintptr_t, 16>;

enum class TOperandKind : uint8_t { None, Reg, Mem, Imm, Rel, Far };
enum class TRegClass : uint8_t { Gpr, Seg, Control, Debug, Mmx, Xmm, X87, Rip };

struct TOperand {
    TOperandKind Kind = TOperandKind::None;
    TRegClass Class = TRegClass::Gpr;
    uint8_t Size = 0; // bytes; 0 = none named
    uint8_t Reg = 0; // register number
    bool HighByte = false; // ah, ch, dh, bh
    // Memory: base and index are register numbers, 0xFF none; Reg of a Mem operand is unused.
    uint8_t Base = 0xFF;
    uint8_t Index = 0xFF;
    uint8_t Scale = 1;
    uint8_t AddressSize = 4;
    bool RipRelative = false;
    bool Moffs = false; // A0..A3: the address is the operand
    int64_t Disp = 0; // displacement, immediate, or far offset
    uint16_t Selector = 0; // far pointers
};

// One decoded instruction; every field is cleared before decoding.
struct TDecodedInstruction {
    uint8_t Valid = 0;
    uint16_t Opcode = 0; // byte, 0x0F00 + second byte, 0x0F3800 / 0x0F3A00 + third byte
    uint8_t ModRm = 0;
    uint8_t IsCall = 0;
    uint8_t IsJmp = 0;
    uint8_t IsRelative = 0;
    uintptr_t Target = 0;
    uintptr_t TargetPointer = 0;
    uintptr_t TargetPointerPointer = 0;
    uint32_t TargetSize = 0;
    uint8_t Relocatable = 0;
    uintptr_t Start = 0;
    uintptr_t End = 0;

    // Details for the analyser and the text form.
    TDisAsmMode Mode = TDisAsmMode::Mode32;
    uint8_t Map = 0; // 0 one-byte, 1 0F, 2 0F 38, 3 0F 3A
    uint8_t OpByte = 0; // the last opcode byte
    uint8_t Rex = 0;
    uint8_t Vex = 0; // 0, 2 or 3 for VEX, 4 for EVEX
    uint8_t OperandSize = 4;
    uint8_t AddressSize = 4;
    uint8_t Segment = 0xFF; // override: 0 es .. 5 gs
    bool HasModRm = false;
    bool Lock = false;
    bool Rep = false; // F3
    bool Repne = false; // F2
    bool OpSizePrefix = false;
    bool IsReturn = false;
    bool IsConditional = false; // jcc, loop, jcxz: the next instruction follows too
    bool IsFar = false;
    bool IsUd = false; // ud0/ud1/ud2
    bool IsNop = false;
    bool Is3DNow = false;
    uint8_t Suffix = 0; // 3DNow! operation
    uint8_t OperandCount = 0;
    std::array<TOperand, 4> Operands {};
    const char* MnemonicSource = nullptr; // table text, variants unresolved
    uint8_t Length() const { return static_cast<uint8_t>(End - Start); }
};

// Decodes the instruction at address. With regs, follows and updates the known register values
// (a register written by the instruction becomes unknown, or takes a value the instruction sets).
// Never throws: unreadable or undefined bytes give Valid = 0. Reads at most 15 bytes.
TDecodedInstruction DecodeInstruction(
    const TCodeReader& reader, TDisAsmMode mode, uintptr_t address, TKnownRegisters* regs = nullptr);

// The mnemonic of a decoded instruction ("add", "jnz", "movsd", ...).
std::string InstructionMnemonic(const TDecodedInstruction& insn);
// One line: address, three blanks, prefixes and mnemonic, the operands, a comment with the name or
// text the instruction refers to. Invalid bytes give the "db" line of the first byte.
std::string FormatInstruction(const TDecodedInstruction& insn, const TCodeReader& reader, const TCodeNamer* namer);
std::string InstructionText(const TCodeReader& reader, TDisAsmMode mode, uintptr_t address,
    TKnownRegisters* regs = nullptr, const TCodeNamer* namer = nullptr);

struct TCodeRange {
    uintptr_t Start = 0;
    uintptr_t End = 0; // inclusive
    bool IsCaseTable = false; // EntrySize bytes per entry
    bool IsExceptTable = false;
    bool Decoded = false;
    uint8_t EntrySize = 4;
    TKnownRegisters Regs {};
    uintptr_t Referrer = 0; // highest instruction below the range that jumps to its start
    // Case tables of position-independent code hold offsets from this base.
    uintptr_t TableBase = 0;
};

struct TOutgoingCall {
    uint8_t IsCall = 0;
    uintptr_t Address = 0;
    uintptr_t Next = 0;
    uintptr_t Target = 0;
    uint8_t IsRelative = 0;
    uintptr_t TargetPointer = 0;
    uintptr_t TargetPointerPointer = 0;
};

struct TUnresolvedBranch {
    uint8_t IsCall = 0;
    uintptr_t Address = 0;
    uintptr_t Next = 0;
};

struct TCaseTable {
    uintptr_t Jump = 0; // the indirect jump
    uintptr_t Table = 0;
    uint32_t Entries = 0;
    uint8_t EntrySize = 4;
    uintptr_t RelativeBase = 0; // entries are offsets from here (position-independent code), or 0
    std::vector<uintptr_t> Targets;
};

constexpr uint32_t ErrorNotCommitted = 87;
constexpr uint32_t ErrorInvalidCode = 0x770001;

struct TFunctionAnalysis {
    uint8_t Valid = 0;
    uintptr_t EntryPoint = 0;
    uintptr_t LowStart = 0;
    uint32_t Span = 0;
    uintptr_t ErrorAddress = 0;
    uint32_t ErrorCode = 0;
    std::string ErrorText;
    std::vector<TCodeRange> CodeRanges; // in address order
    std::vector<TOutgoingCall> OutgoingCalls;
    std::vector<TUnresolvedBranch> UnresolvedBranches;
    std::vector<TCaseTable> CaseTables; // every table followed, in the code or elsewhere
    uint8_t Hookable = 0;
    uint8_t Movable = 1;
    uint32_t MovedSize = 0;
    // The code range that holds address (start <= address <= end), or nullptr.
    const TCodeRange* RangeAt(uintptr_t address) const;
};

// The run-time routines whose calls and jumps the analyser follows in their own way (0 = none).
struct TRuntimeRoutines {
    uintptr_t HandleAnyException = 0;
    uintptr_t HandleOnException = 0;
    uintptr_t HandleAutoException = 0;
    uintptr_t HandleFinally = 0;
    uintptr_t Halt = 0;
    // A C++ handler whose call is preceded by MOV EAX, descriptor.
    uintptr_t CppHandler = 0;
};

struct TAnalysisOptions {
    TDisAsmMode Mode = TDisAsmMode::Mode32;
    // Jump targets outside these bounds are outgoing calls (the module's code and data, or the
    // memory region); 0/0 = no limit.
    uintptr_t BoundsStart = 0;
    uintptr_t BoundsEnd = 0; // exclusive
    // The function's own symbol, when known: targets outside it are outgoing, a path may end at its
    // end, and its gaps are decoded at the end (landing pads).
    uintptr_t SymbolStart = 0;
    uintptr_t SymbolEnd = 0; // exclusive; 0 = unknown
    TRuntimeRoutines Runtime;
    const TCodeNamer* Namer = nullptr;
};

// Follows every code path of the function at entry. Never throws.
TFunctionAnalysis AnalyseFunction(const TCodeReader& reader, uintptr_t entry, const TAnalysisOptions& options);

// Whether a call to this name never returns (the path after it is not followed).
bool IsNoReturnName(const std::string& name);

struct TListingOptions {
    bool Formatted = true;
    uint32_t LineLimit = 0; // 0 = no limit
    uintptr_t ExceptionAddress = 0;
    // Line numbers of the listing's column (0 = none); null = no column.
    int (*LineOf)(uintptr_t address, void* context) = nullptr;
    void* LineContext = nullptr;
};

// The listing of the analysed function ("disassembling:" text): empty when the function is invalid.
std::string FunctionListing(const TCodeReader& reader, uintptr_t entry, const TAnalysisOptions& analysisOptions,
    const TListingOptions& listingOptions, TFunctionAnalysis* analysis = nullptr);
