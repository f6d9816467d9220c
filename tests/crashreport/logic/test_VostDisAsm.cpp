// The decoder, the instruction text, the function analyser and the listing.
#include "DisAsmFixtures.h"
#include "SweepElf.h"

#include "crashreport/logic/VostDisAsm.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <random>

namespace {

std::vector<uint8_t> Bytes(std::initializer_list<int> list)
{
    std::vector<uint8_t> b;
    for (int v : list)
        b.push_back(static_cast<uint8_t>(v));
    return b;
}

std::string Unix(std::string text)
{
    for (size_t p; (p = text.find("\r\n")) != std::string::npos;)
        text.replace(p, 2, "\n");
    return text;
}

TDecodedInstruction Decode(TDisAsmMode mode, const std::vector<uint8_t>& bytes, uintptr_t base = 0x401000)
{
    TBufferCodeReader reader(base, bytes);
    return DecodeInstruction(reader, mode, base);
}

constexpr TDisAsmMode M32 = TDisAsmMode::Mode32;
constexpr TDisAsmMode M64 = TDisAsmMode::Mode64;

struct TDecodeCase {
    const char* Name;
    TDisAsmMode Mode;
    std::vector<uint8_t> Code;
    int Length; // 0 = invalid
    int Kind; // 0 none, 1 call, 2 jump
    uint64_t Target;
};

} // namespace

TEST(DisAsmDecode, LengthValidityAndKind)
{
    std::vector<uint8_t> fifteen(14, 0x66), sixteen(15, 0x66);
    fifteen.push_back(0x90);
    sixteen.push_back(0x90);
    const TDecodeCase cases[] = {
        { "call of the next instruction", M32, Bytes({ 0xE8, 0, 0, 0, 0 }), 5, 0, 0 },
        { "call of itself", M32, Bytes({ 0xE8, 0xFB, 0xFF, 0xFF, 0xFF }), 5, 1, 0x401000 },
        { "short jump back", M64, Bytes({ 0xEB, 0xFE }), 2, 2, 0x401000 },
        { "jcc near", M64, Bytes({ 0x0F, 0x85, 0x10, 0, 0, 0 }), 6, 2, 0x401016 },
        { "16-bit near call wraps", M32, Bytes({ 0x66, 0xE8, 0x00, 0x10 }), 4, 1, 0x2004 },
        { "ud2 is invalid in 32-bit code", M32, Bytes({ 0x0F, 0x0B }), 0, 0, 0 },
        { "ud2 in 64-bit code", M64, Bytes({ 0x0F, 0x0B }), 2, 0, 0 },
        { "hint nop, 32-bit", M32, Bytes({ 0x0F, 0x1F, 0x44, 0, 0 }), 0, 0, 0 },
        { "hint nop, 64-bit", M64, Bytes({ 0x0F, 0x1F, 0x44, 0, 0 }), 5, 0, 0 },
        { "endbr64", M64, Bytes({ 0xF3, 0x0F, 0x1E, 0xFA }), 4, 0, 0 },
        { "mov rax, imm64", M64, Bytes({ 0x48, 0xB8, 1, 2, 3, 4, 5, 6, 7, 8 }), 10, 0, 0 },
        { "mov eax, moffs64", M64, Bytes({ 0xA1, 1, 2, 3, 4, 5, 6, 7, 8 }), 9, 0, 0 },
        { "mov eax, moffs32", M32, Bytes({ 0xA1, 1, 2, 3, 4 }), 5, 0, 0 },
        { "mov eax, moffs16", M32, Bytes({ 0x67, 0xA1, 1, 2 }), 4, 0, 0 },
        { "push es, 32-bit", M32, Bytes({ 0x06 }), 1, 0, 0 },
        { "push es, 64-bit", M64, Bytes({ 0x06 }), 0, 0, 0 },
        { "aaa, 64-bit", M64, Bytes({ 0x37 }), 0, 0, 0 },
        { "inc eax or REX", M32, Bytes({ 0x40 }), 1, 0, 0 },
        { "REX.W push imm32 beats 66", M64, Bytes({ 0x66, 0x48, 0x68, 1, 2, 3, 4 }), 7, 0, 0 },
        { "SIB with disp32 and no base", M32, Bytes({ 0x8B, 0x04, 0x25, 1, 2, 3, 4 }), 7, 0, 0 },
        { "16-bit addressing", M32, Bytes({ 0x67, 0x8B, 0x46, 0x10 }), 4, 0, 0 },
        { "lea with a register operand", M32, Bytes({ 0x8D, 0xC0 }), 0, 0, 0 },
        { "far call through a register", M32, Bytes({ 0xFF, 0xD8 }), 0, 0, 0 },
        { "FF /7", M64, Bytes({ 0xFF, 0xF8 }), 0, 0, 0 },
        { "FE /2", M32, Bytes({ 0xFE, 0x10 }), 0, 0, 0 },
        { "mov to segment register 6", M32, Bytes({ 0x8E, 0xF0 }), 0, 0, 0 },
        { "mov to cr1", M32, Bytes({ 0x0F, 0x22, 0xC8 }), 0, 0, 0 },
        { "x87 form the processor lacks", M32, Bytes({ 0xD9, 0xD8 }), 0, 0, 0 },
        { "les with a register is VEX in 32-bit processors, invalid here", M32, Bytes({ 0xC4, 0xC0 }), 0, 0, 0 },
        { "VEX vpbroadcastd", M64, Bytes({ 0xC4, 0xE2, 0x7D, 0x58, 0xC0 }), 5, 0, 0 },
        { "VEX vzeroupper", M64, Bytes({ 0xC5, 0xF8, 0x77 }), 3, 0, 0 },
        { "EVEX vmovaps", M64, Bytes({ 0x62, 0xF1, 0x7C, 0x48, 0x28, 0xC1 }), 6, 0, 0 },
        { "3DNow! pfadd", M32, Bytes({ 0x0F, 0x0F, 0xC1, 0x9E }), 4, 0, 0 },
        { "3DNow! with an undefined suffix", M32, Bytes({ 0x0F, 0x0F, 0xC1, 0x01 }), 0, 0, 0 },
        { "SSSE3 in 32-bit code", M32, Bytes({ 0x66, 0x0F, 0x38, 0x00, 0xC1 }), 0, 0, 0 },
        { "SSSE3 in 64-bit code", M64, Bytes({ 0x66, 0x0F, 0x38, 0x00, 0xC1 }), 5, 0, 0 },
        { "imm8 of 0F 3A", M64, Bytes({ 0x66, 0x0F, 0x3A, 0x0F, 0xC1, 0x08 }), 6, 0, 0 },
        { "15 bytes", M64, fifteen, 15, 0, 0 },
        { "16 bytes", M64, sixteen, 0, 0, 0 },
        { "cut short", M32, Bytes({ 0xE8, 0, 0 }), 0, 0, 0 },
        { "prefixes only", M64, Bytes({ 0x66, 0x48 }), 0, 0, 0 },
    };
    for (const TDecodeCase& c : cases) {
        const TDecodedInstruction d = Decode(c.Mode, c.Code);
        EXPECT_EQ(d.Valid, c.Length != 0) << c.Name;
        if (!c.Length)
            continue;
        EXPECT_EQ(d.Length(), c.Length) << c.Name;
        EXPECT_EQ(d.IsCall, c.Kind == 1) << c.Name;
        EXPECT_EQ(d.IsJmp, c.Kind == 2) << c.Name;
        if (c.Kind)
            EXPECT_EQ(d.Target, c.Target) << c.Name;
        else
            EXPECT_EQ(d.Target, 0u) << c.Name;
    }
    EXPECT_TRUE(Decode(M64, Bytes({ 0x0F, 0x0B })).IsUd);
    EXPECT_TRUE(Decode(M64, Bytes({ 0xF3, 0x0F, 0x1E, 0xFA })).IsNop);
}

// Calls and jumps through a cell read their target; known register values resolve the rest.
TEST(DisAsmDecode, TargetsThroughCellsAndRegisters)
{
    {
        // call [rip+$10] with the cell at end + $10 holding the target
        std::vector<uint8_t> code = Bytes({ 0xFF, 0x15, 0x10, 0, 0, 0 });
        code.resize(0x30);
        const uint64_t target = 0x7F1234567890;
        std::memcpy(code.data() + 0x16, &target, 8);
        const TDecodedInstruction d = Decode(M64, code);
        EXPECT_TRUE(d.IsCall);
        EXPECT_EQ(d.TargetPointerPointer, 0x401016u);
        EXPECT_EQ(d.Target, target);
        EXPECT_EQ(d.TargetSize, 8u);
    }
    {
        // jmp [$401008] in 32-bit code
        std::vector<uint8_t> code = Bytes({ 0xFF, 0x25, 0x08, 0x10, 0x40, 0x00, 0, 0, 0x78, 0x56, 0x34, 0x12 });
        const TDecodedInstruction d = Decode(M32, code);
        EXPECT_TRUE(d.IsJmp);
        EXPECT_EQ(d.TargetPointerPointer, 0x401008u);
        EXPECT_EQ(d.Target, 0x12345678u);
    }
    {
        // mov eax, $401010 / call eax / mov ecx, $401014 / call [ecx] / add ecx, 1 / call [ecx]
        std::vector<uint8_t> code = Bytes({ 0xB8, 0x10, 0x10, 0x40, 0x00, 0xFF, 0xD0, 0xB9, 0x14, 0x10, 0x40, 0x00, 0xFF,
            0x11, 0x83, 0xC1, 0x01, 0xFF, 0x11, 0xCC, 0xEF, 0xBE, 0xAD, 0xDE });
        TBufferCodeReader reader(0x401000, code);
        TKnownRegisters regs {};
        DecodeInstruction(reader, M32, 0x401000, &regs);
        EXPECT_EQ(regs[0], 0x401010u);
        EXPECT_EQ(DecodeInstruction(reader, M32, 0x401005, &regs).Target, 0x401010u);
        EXPECT_EQ(regs[0], 0u) << "a call leaves eax unknown";
        DecodeInstruction(reader, M32, 0x401007, &regs);
        EXPECT_EQ(DecodeInstruction(reader, M32, 0x40100C, &regs).Target, 0xDEADBEEFu);
        DecodeInstruction(reader, M32, 0x40100E, &regs);
        EXPECT_EQ(regs[1], 0u);
        EXPECT_EQ(DecodeInstruction(reader, M32, 0x401011, &regs).Target, 0u);
    }
    {
        // lea rax, [rip+$20] / jmp rax
        std::vector<uint8_t> code = Bytes({ 0x48, 0x8D, 0x05, 0x20, 0, 0, 0, 0xFF, 0xE0 });
        TBufferCodeReader reader(0x401000, code);
        TKnownRegisters regs {};
        DecodeInstruction(reader, M64, 0x401000, &regs);
        EXPECT_EQ(DecodeInstruction(reader, M64, 0x401007, &regs).Target, 0x401027u);
    }
}

TEST(DisAsmText, Lines)
{
    const struct {
        TDisAsmMode Mode;
        std::vector<uint8_t> Code;
        const char* Text;
    } cases[] = {
        { M32, Bytes({ 0x55 }), "00401000   push    ebp" },
        { M32, Bytes({ 0x8B, 0x45, 0xF8 }), "00401000   mov     eax, [ebp-8]" },
        { M32, Bytes({ 0xC7, 0x45, 0x10, 0x00, 0x01, 0x00, 0x00 }), "00401000   mov     dword ptr [ebp+$10], $100" },
        { M32, Bytes({ 0x83, 0xE4, 0xF0 }), "00401000   and     esp, -$10" },
        { M32, Bytes({ 0x8B, 0x04, 0x8D, 0x00, 0x20, 0x40, 0x00 }), "00401000   mov     eax, [ecx*4+$402000]" },
        { M32, Bytes({ 0x64, 0xA1, 0x00, 0x00, 0x00, 0x00 }), "00401000   mov     eax, fs:[0]" },
        { M32, Bytes({ 0xF3, 0xA5 }), "00401000   rep movsd" },
        { M32, Bytes({ 0xF0, 0x0F, 0xB1, 0x0A }), "00401000   lock cmpxchg [edx], ecx" },
        { M32, Bytes({ 0xD1, 0xE0 }), "00401000   shl     eax, 1" },
        { M32, Bytes({ 0xD3, 0xF8 }), "00401000   sar     eax, cl" },
        { M32, Bytes({ 0x0F, 0xB6, 0x06 }), "00401000   movzx   eax, byte ptr [esi]" },
        { M32, Bytes({ 0xDD, 0x45, 0x08 }), "00401000   fld     qword ptr [ebp+8]" },
        { M32, Bytes({ 0xDE, 0xC1 }), "00401000   faddp   st(1), st" },
        { M32, Bytes({ 0xF2, 0x0F, 0x59, 0xC1 }), "00401000   mulsd   xmm0, xmm1" },
        { M32, Bytes({ 0x0F, 0x84, 0x10, 0x00, 0x00, 0x00 }), "00401000   jz      $10 ($401016)" },
        { M32, Bytes({ 0xE8, 0x00, 0x00, 0x00, 0x00 }), "00401000   call    0 ($401005)" },
        { M32, Bytes({ 0x0F, 0x0B }), "00401000   db $0F" },
        { M64, Bytes({ 0x48, 0x89, 0x5C, 0x24, 0x08 }), "0000000000401000   mov     [rsp+8], rbx" },
        { M64, Bytes({ 0x41, 0x0F, 0xB6, 0x47, 0x01 }), "0000000000401000   movzx   eax, byte ptr [r15+1]" },
        { M64, Bytes({ 0x40, 0x88, 0xF7 }), "0000000000401000   mov     dil, sil" },
        { M64, Bytes({ 0x88, 0xE0 }), "0000000000401000   mov     al, ah" },
        { M64, Bytes({ 0x48, 0x8B, 0x05, 0x10, 0x00, 0x00, 0x00 }), "0000000000401000   mov     rax, [$401017]" },
        { M64, Bytes({ 0x48, 0x63, 0x14, 0xB8 }), "0000000000401000   movsxd  rdx, dword ptr [rax+rdi*4]" },
        { M64, Bytes({ 0x48, 0x98 }), "0000000000401000   cdqe" },
        { M64, Bytes({ 0x41, 0x90 }), "0000000000401000   xchg    r8d, eax" },
        { M64, Bytes({ 0x66, 0x0F, 0xEF, 0xC0 }), "0000000000401000   pxor    xmm0, xmm0" },
    };
    for (const auto& c : cases) {
        TBufferCodeReader reader(0x401000, c.Code);
        EXPECT_EQ(InstructionText(reader, c.Mode, 0x401000), c.Text);
    }
}

// Names and texts the instruction refers to go into a comment.
TEST(DisAsmText, Comments)
{
    TFixtureNamer namer;
    namer.Exports[LibcBase + 0x1000] = "free";
    namer.Cells[Base64 + 0x60] = "strlen";
    namer.Procs[Base64 + 0x200] = "TForm.Paint";
    namer.Procs[Base64 + 0x300] = "operator()(int)";
    TBufferCodeReader reader(Base64, Function64());
    EXPECT_EQ(InstructionText(reader, M64, Base64 + 0x08, nullptr, &namer),
        "0000555555554008   lea     rdi, [$555555554040]   ; 'Hello, world'");
    EXPECT_EQ(InstructionText(reader, M64, Base64 + 0x0F, nullptr, &namer),
        "000055555555400F   call    $1C ($555555554030)    ; strlen");
    EXPECT_EQ(InstructionText(reader, M64, Base64 + 0x18, nullptr, &namer),
        "0000555555554018   call    qword ptr [$555555554050]  ; free (libc.so.6)");
    std::vector<uint8_t> calls = Bytes({ 0xE8, 0xFB, 0x01, 0, 0, 0xE8, 0xF6, 0x02, 0, 0 });
    TBufferCodeReader callReader(Base64, calls);
    EXPECT_EQ(InstructionText(callReader, M64, Base64, nullptr, &namer),
        "0000555555554000   call    $1FB ($555555554200)   ; TForm.Paint");
    EXPECT_EQ(InstructionText(callReader, M64, Base64 + 5, nullptr, &namer),
        "0000555555554005   call    $2F6 ($555555554300)")
        << "a name with a parenthesis is left out";
}

namespace {

TAnalysisOptions Options(TDisAsmMode mode, uintptr_t symbolStart = 0, uintptr_t symbolEnd = 0,
    const TCodeNamer* namer = nullptr)
{
    TAnalysisOptions o;
    o.Mode = mode;
    o.SymbolStart = symbolStart;
    o.SymbolEnd = symbolEnd;
    o.Namer = namer;
    return o;
}

bool HasRangeAt(const TFunctionAnalysis& a, uintptr_t address)
{
    for (const TCodeRange& r : a.CodeRanges)
        if (r.Start == address)
            return true;
    return false;
}

} // namespace

// cmp eax, 5 / ja / jmp [eax*4+table] with the table after the jump: six case targets and a
// 24-byte table range.
TEST(DisAsmAnalysis, CaseTableAfterTheJump)
{
    TBufferCodeReader reader(0x401000, Switch32());
    const TFunctionAnalysis a = AnalyseFunction(reader, 0x401000, Options(M32));
    ASSERT_TRUE(a.Valid) << a.ErrorText;
    ASSERT_EQ(a.CaseTables.size(), 1u);
    EXPECT_EQ(a.CaseTables[0].Targets,
        (std::vector<uintptr_t> { 0x40102A, 0x40102E, 0x401035, 0x401035, 0x401035, 0x401035 }));
    const TCodeRange* table = a.RangeAt(0x401012);
    ASSERT_NE(table, nullptr);
    EXPECT_TRUE(table->IsCaseTable);
    EXPECT_EQ(table->Start, 0x401012u);
    EXPECT_EQ(table->End - table->Start + 1, 24u);
    for (uintptr_t target : { 0x40102A, 0x40102E, 0x401035, 0x40103C, 0x40103F })
        EXPECT_TRUE(HasRangeAt(a, target)) << std::hex << target;
    EXPECT_EQ(a.LowStart, 0x401000u);
    EXPECT_EQ(a.Span, 0x41u);
    EXPECT_TRUE(a.OutgoingCalls.empty());
    EXPECT_TRUE(a.UnresolvedBranches.empty());
}

TEST(DisAsmAnalysis, PositionIndependentSwitch)
{
    TBufferCodeReader reader(Base64, PieSwitch64());
    const TFunctionAnalysis a = AnalyseFunction(reader, Base64, Options(M64, Base64, Base64 + 0x33));
    ASSERT_TRUE(a.Valid) << a.ErrorText;
    ASSERT_EQ(a.CaseTables.size(), 1u);
    EXPECT_EQ(a.CaseTables[0].Table, Base64 + 0x100);
    EXPECT_EQ(a.CaseTables[0].Entries, 6u);
    EXPECT_EQ(a.CaseTables[0].Targets, (std::vector<uintptr_t> { Base64 + 0x17, Base64 + 0x1D, Base64 + 0x23,
                                           Base64 + 0x23, Base64 + 0x23, Base64 + 0x23 }));
    EXPECT_EQ(a.Span, 0x33u) << "the table lies outside the function";
    // A table whose index is not checked is not followed: its cases come from the final sweep.
    std::vector<uint8_t> unchecked = PieSwitch64();
    unchecked[0] = 0x85; // test edi, edi in place of cmp edi, 5
    unchecked[1] = 0xFF;
    unchecked[2] = 0x90;
    TBufferCodeReader uncheckedReader(Base64, unchecked);
    const TFunctionAnalysis u = AnalyseFunction(uncheckedReader, Base64, Options(M64, Base64, Base64 + 0x33));
    ASSERT_TRUE(u.Valid);
    EXPECT_TRUE(u.CaseTables.empty());
    EXPECT_TRUE(HasRangeAt(u, Base64 + 0x17));
    EXPECT_TRUE(u.RangeAt(Base64 + 0x23));
}

TEST(DisAsmAnalysis, InvalidCodeAndUnreadableEntry)
{
    // push ebp / mov ebp, esp / then bytes that do not decode
    TBufferCodeReader reader(0x401000, Bytes({ 0x55, 0x8B, 0xEC, 0xFF, 0xFF }));
    TFunctionAnalysis a;
    EXPECT_EQ(FunctionListing(reader, 0x401000, Options(M32), {}, &a), "");
    EXPECT_FALSE(a.Valid);
    EXPECT_EQ(a.ErrorCode, ErrorInvalidCode);
    EXPECT_EQ(a.ErrorText, "Invalid code!");
    EXPECT_EQ(a.ErrorAddress, 0x401003u);

    const TFunctionAnalysis b = AnalyseFunction(reader, 0x500000, Options(M32));
    EXPECT_FALSE(b.Valid);
    EXPECT_EQ(b.ErrorCode, ErrorNotCommitted);
    EXPECT_FALSE(b.ErrorText.empty());
}

TEST(DisAsmAnalysis, NoReturnNames)
{
    for (const char* name : { "__cxa_throw", "_Unwind_Resume", "abort", "exit", "__stack_chk_fail",
             "_ZSt19__throw_logic_errorPKc", "_ZSt17__throw_bad_allocv", "std::__throw_out_of_range",
             "__ubsan_handle_add_overflow_abort", "__asan_report_load8" })
        EXPECT_TRUE(IsNoReturnName(name)) << name;
    for (const char* name : { "free", "exit_group_helper", "_ZSt4endlIcSt11char_traitsIcEERSt13basic_ostreamIT_T0_ES6_",
             "__cxa_throw2", "__ubsan_handle_add_overflow", "" })
        EXPECT_FALSE(IsNoReturnName(name)) << name;
}

// A call through a thunk to a routine that never returns ends the path; without its name the path
// runs on into the bytes behind the call.
TEST(DisAsmAnalysis, CallThatNeverReturnsEndsThePath)
{
    // call thunk / two bytes that do not decode / thunk: jmp [rip+cell]
    std::vector<uint8_t> code(0x30, 0xCC);
    const uint8_t head[] = { 0xE8, 0x0B, 0x00, 0x00, 0x00, 0xFF, 0xFF };
    std::memcpy(code.data(), head, sizeof head);
    const uint8_t thunk[] = { 0xF3, 0x0F, 0x1E, 0xFA, 0xFF, 0x25, 0x06, 0x00, 0x00, 0x00 };
    std::memcpy(code.data() + 0x10, thunk, sizeof thunk);
    const uint64_t throwAddress = LibcBase + 0x500;
    std::memcpy(code.data() + 0x20, &throwAddress, 8);
    TBufferCodeReader reader(Base64, code);
    TFixtureNamer namer;
    namer.Cells[Base64 + 0x20] = "__cxa_throw";
    const TFunctionAnalysis named = AnalyseFunction(reader, Base64, Options(M64, Base64, Base64 + 0x10, &namer));
    ASSERT_TRUE(named.Valid) << named.ErrorText;
    ASSERT_EQ(named.OutgoingCalls.size(), 1u);
    EXPECT_EQ(named.OutgoingCalls[0].Target, throwAddress) << "the thunk's own target";
    EXPECT_EQ(named.Span, 5u);
    TFixtureNamer nobody;
    EXPECT_FALSE(AnalyseFunction(reader, Base64, Options(M64, Base64, Base64 + 0x10, &nobody)).Valid);
}

// The symbol bounds the function: a jump out of it is an outgoing call (a tail call or a cold
// part), and code no path reaches inside it (a landing pad) is decoded at the end.
TEST(DisAsmAnalysis, SymbolBoundsAndFinalSweep)
{
    // test edi, edi / jne cold (outside) / ret / landing pad: mov edi, eax / call far away / ud2
    std::vector<uint8_t> code = Bytes({ 0x85, 0xFF, 0x0F, 0x85, 0xF8, 0x00, 0x00, 0x00, 0xC3, 0x89, 0xC7, 0xE8, 0xF0,
        0x0F, 0x00, 0x00, 0x0F, 0x0B });
    code.resize(0x200, 0xCC);
    code[0x100] = 0xC3;
    TBufferCodeReader reader(Base64, code);
    const TFunctionAnalysis a = AnalyseFunction(reader, Base64, Options(M64, Base64, Base64 + 0x12));
    ASSERT_TRUE(a.Valid) << a.ErrorText;
    ASSERT_EQ(a.OutgoingCalls.size(), 2u);
    EXPECT_EQ(a.OutgoingCalls[0].Target, Base64 + 0x100);
    EXPECT_FALSE(a.OutgoingCalls[0].IsCall);
    EXPECT_TRUE(HasRangeAt(a, Base64 + 9)) << "the landing pad";
    EXPECT_EQ(a.Span, 0x12u);
    // Without the symbol the jump stays inside the bounds and the landing pad is not found.
    const TFunctionAnalysis b = AnalyseFunction(reader, Base64, Options(M64));
    ASSERT_TRUE(b.Valid);
    EXPECT_TRUE(HasRangeAt(b, Base64 + 0x100));
    EXPECT_FALSE(b.RangeAt(Base64 + 9));
}

// Register values known from MOV reg, imm resolve an indirect jump; the retry at the end finds it.
TEST(DisAsmAnalysis, KnownRegisterResolvesAJump)
{
    // mov eax, $401010 / jmp eax / ... / $401010: ret
    std::vector<uint8_t> code = Bytes({ 0xB8, 0x10, 0x10, 0x40, 0x00, 0xFF, 0xE0 });
    code.resize(0x11, 0xCC);
    code[0x10] = 0xC3;
    TBufferCodeReader reader(0x401000, code);
    const TFunctionAnalysis a = AnalyseFunction(reader, 0x401000, Options(M32));
    ASSERT_TRUE(a.Valid) << a.ErrorText;
    EXPECT_TRUE(HasRangeAt(a, 0x401010));
    EXPECT_TRUE(a.UnresolvedBranches.empty());
    // call eax with eax unknown stays unresolved.
    TBufferCodeReader unknown(0x401000, Bytes({ 0xFF, 0xD0, 0xC3 }));
    const TFunctionAnalysis b = AnalyseFunction(unknown, 0x401000, Options(M32));
    ASSERT_TRUE(b.Valid);
    ASSERT_EQ(b.UnresolvedBranches.size(), 1u);
    EXPECT_EQ(b.UnresolvedBranches[0].Next, 0x401002u);
    EXPECT_TRUE(b.UnresolvedBranches[0].IsCall);
}

// Bytes that are no function end as invalid or valid within bounded work, never as a runaway.
TEST(DisAsmAnalysis, GarbageEndsQuickly)
{
    std::mt19937 random(24);
    std::vector<uint8_t> garbage(1 << 16);
    for (uint8_t& b : garbage)
        b = static_cast<uint8_t>(random());
    TBufferCodeReader reader(0x10000000, garbage);
    const auto start = std::chrono::steady_clock::now();
    for (TDisAsmMode mode : { M32, M64 })
        for (uintptr_t at = 0x10000000; at < 0x10000000 + garbage.size(); at += 509) {
            const TFunctionAnalysis a = AnalyseFunction(reader, at, Options(mode));
            if (a.Valid) {
                EXPECT_LE(a.LowStart + a.Span, 0x10000000 + garbage.size());
            }
        }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(60));

    // A checked index of 100000 cases is more than any table holds: cmp eax, 100000 / ja / mov edi,
    // eax / lea rax, [rip+table] / movsxd rdx, [rax+rdi*4] / add rdx, rax / jmp rdx / ret
    std::vector<uint8_t> huge = Bytes({ 0x3D, 0xA0, 0x86, 0x01, 0x00, 0x77, 0x12, 0x89, 0xC7, 0x48, 0x8D, 0x05, 0x30,
        0x00, 0x00, 0x00, 0x48, 0x63, 0x14, 0xB8, 0x48, 0x01, 0xC2, 0xFF, 0xE2, 0xC3 });
    huge.resize(0x80000, 0);
    TBufferCodeReader hugeReader(Base64, huge);
    const TFunctionAnalysis h = AnalyseFunction(hugeReader, Base64, Options(M64, Base64, Base64 + 0x1A));
    EXPECT_FALSE(h.Valid);
    EXPECT_EQ(h.ErrorText, "Invalid code!");
}

TEST(DisAsmAnalysis, HookableAndMovedSize)
{
    TBufferCodeReader reader(0x401000, Switch32());
    const TFunctionAnalysis a = AnalyseFunction(reader, 0x401000, Options(M32));
    EXPECT_TRUE(a.Hookable);
    EXPECT_EQ(a.MovedSize, a.Span + 4);
    // A short jump in the first bytes cannot move.
    TBufferCodeReader shortJump(0x401000, Bytes({ 0x85, 0xC0, 0x74, 0x01, 0xC3, 0x40, 0xC3 }));
    EXPECT_FALSE(AnalyseFunction(shortJump, 0x401000, Options(M32)).Hookable);
    // A relative call adds 4 bytes to the moved size.
    TBufferCodeReader call(0x401000, Bytes({ 0x55, 0x89, 0xE5, 0xE8, 0x10, 0x00, 0x00, 0x00, 0x5D, 0xC3 }));
    const TFunctionAnalysis c = AnalyseFunction(call, 0x401000, Options(M32));
    EXPECT_EQ(c.MovedSize, c.Span + 8);
}

namespace {

int FixtureLine(uintptr_t address, void*)
{
    return address >= 0x401000 && address < 0x401041 ? 100 + static_cast<int>(address - 0x401000) / 8 : 0;
}

} // namespace

// Golden listings: a 32-bit function with its case table, formatted and plain, with line numbers
// and a line limit around the exception.
TEST(DisAsmListing, Switch32)
{
    TBufferCodeReader reader(0x401000, Switch32());
    TListingOptions listing;
    listing.ExceptionAddress = 0x40100B;
    EXPECT_EQ(Unix(FunctionListing(reader, 0x401000, Options(M32), listing)), R"(00401000 sub_401000:                      ; function entry point
00401000   push    ebp
00401001   mov     ebp, esp
00401003   mov     eax, [ebp+8]
00401006   cmp     eax, 5
00401009   ja      loc_40103C
0040100B > jmp     dword ptr [eax*4+$401012]

; ---------------------------------------------------------

00401012   dd loc_40102A                  ; case jump table
00401016   dd loc_40102E
0040101A   dd loc_401035
0040101E   dd loc_401035
00401022   dd loc_401035
00401026   dd loc_401035
0040102A loc_40102A:
0040102A   xor     eax, eax
0040102C   jmp     loc_40103F

; ---------------------------------------------------------

0040102E loc_40102E:
0040102E   mov     eax, $A
00401033   jmp     loc_40103F

; ---------------------------------------------------------

00401035 loc_401035:
00401035   mov     eax, $3E8
0040103A   jmp     loc_40103F

; ---------------------------------------------------------

0040103C loc_40103C:
0040103C   or      eax, -1
0040103F loc_40103F:
0040103F   pop     ebp
00401040   ret)");
    listing.Formatted = false;
    EXPECT_EQ(Unix(FunctionListing(reader, 0x401000, Options(M32), listing)), R"(00401000 sub_401000:                      ; function entry point
00401000   push    ebp
00401001   mov     ebp, esp
00401003   mov     eax, [ebp+8]
00401006   cmp     eax, 5
00401009   ja      loc_40103C
0040100B > jmp     dword ptr [eax*4+$401012]
00401012   dd loc_40102A                  ; case jump table
00401016   dd loc_40102E
0040101A   dd loc_401035
0040101E   dd loc_401035
00401022   dd loc_401035
00401026   dd loc_401035
0040102A   xor     eax, eax
0040102C   jmp     loc_40103F
0040102E   mov     eax, $A
00401033   jmp     loc_40103F
00401035   mov     eax, $3E8
0040103A   jmp     loc_40103F
0040103C   or      eax, -1
0040103F   pop     ebp
00401040   ret)");
    listing.Formatted = true;
    listing.LineOf = FixtureLine;
    listing.ExceptionAddress = 0x401035;
    listing.LineLimit = 3;
    const std::string limited = FunctionListing(reader, 0x401000, Options(M32), listing);
    EXPECT_EQ(Unix(limited), R"([...]
; ---------------------------------------------------------

00401035     loc_401035:
00401035     > mov     eax, $3E8
0040103A 107   jmp     loc_40103F

; ---------------------------------------------------------
[...])");
    EXPECT_NE(limited.find("\r\n"), std::string::npos);
    EXPECT_NE(limited.substr(limited.size() - 5), "\r\n");
}

// A 64-bit function: names of the procedure, of a PLT thunk's import and of a GOT cell, a quoted
// text, the exception mark.
TEST(DisAsmListing, Function64)
{
    TFixtureNamer namer;
    namer.Procs[Base64] = "TfmMain.Run";
    namer.Exports[LibcBase + 0x1000] = "free";
    namer.Cells[Base64 + 0x60] = "strlen";
    TBufferCodeReader reader(Base64, Function64());
    TListingOptions listing;
    listing.ExceptionAddress = Base64 + 0x18;
    EXPECT_EQ(Unix(FunctionListing(reader, Base64, Options(M64, Base64, Base64 + 0x20, &namer), listing)), R"(0000555555554000 public TfmMain.Run:              ; function entry point
0000555555554000   endbr64
0000555555554004   push    rbp
0000555555554005   mov     rbp, rsp
0000555555554008   lea     rdi, [$555555554040]   ; 'Hello, world'
000055555555400F   call    $1C ($555555554030)    ; strlen
0000555555554014   test    eax, eax
0000555555554016   jz      loc_55555555401E
0000555555554018 > call    qword ptr [$555555554050]  ; free (libc.so.6)
000055555555401E loc_55555555401E:
000055555555401E   pop     rbp
000055555555401F   ret)");
}

TEST(DisAsmListing, PositionIndependentSwitch)
{
    TBufferCodeReader reader(Base64, PieSwitch64());
    EXPECT_EQ(Unix(FunctionListing(reader, Base64, Options(M64, Base64, Base64 + 0x33), {})), R"(0000555555554000 sub_555555554000:                ; function entry point
0000555555554000   cmp     edi, 5
0000555555554003   ja      loc_555555554030
0000555555554005   mov     edi, edi
0000555555554007   lea     rax, [$555555554100]
000055555555400E   movsxd  rdx, dword ptr [rax+rdi*4]
0000555555554012   add     rdx, rax
0000555555554015   jmp     rdx                    ; case jump table $555555554100, 6 entries

; ---------------------------------------------------------

0000555555554017 loc_555555554017:
0000555555554017   mov     eax, 1
000055555555401C   ret

; ---------------------------------------------------------

000055555555401D loc_55555555401D:
000055555555401D   mov     eax, 2
0000555555554022   ret

; ---------------------------------------------------------

0000555555554023 loc_555555554023:
0000555555554023   mov     eax, 3
0000555555554028   ret

; ---------------------------------------------------------

0000555555554030 loc_555555554030:
0000555555554030   xor     eax, eax
0000555555554032   ret)");
}

// A call of the next instruction (the address on the stack) is neither a call nor a jump.
TEST(DisAsmListing, CallOfTheNextInstruction)
{
    TBufferCodeReader reader(0x401000, Bytes({ 0xE8, 0, 0, 0, 0, 0x58, 0xC3 }));
    TFunctionAnalysis analysis;
    EXPECT_EQ(Unix(FunctionListing(reader, 0x401000, Options(M32), {}, &analysis)), R"(00401000 sub_401000:                      ; function entry point
00401000   call    0 ($401005)
00401005   pop     eax
00401006   ret)");
    EXPECT_TRUE(analysis.OutgoingCalls.empty());
    EXPECT_TRUE(analysis.UnresolvedBranches.empty());
    const TDecodedInstruction call = Decode(M32, Bytes({ 0xE8, 0, 0, 0, 0 }));
    EXPECT_FALSE(call.IsCall || call.IsJmp);
    EXPECT_EQ(call.Target, 0u);
    EXPECT_EQ(call.TargetPointer, 0u);
}
