// The test-only oracle of the decoder: capstone's answer for the same bytes.
#pragma once

#include "crashreport/logic/VostDisAsm.h"

#include <capstone/capstone.h>

#include <cstdint>
#include <string>

struct TOracleAnswer {
    bool Valid = false;
    uint8_t Length = 0;
    bool IsCall = false;
    bool IsJump = false;
    bool IsReturn = false;
    bool HasTarget = false; // a relative target
    uint64_t Target = 0;
    bool HasCell = false; // a position-relative memory operand of a call or jump
    uint64_t Cell = 0;
    std::string Text;
};

class TOracle {
public:
    explicit TOracle(TDisAsmMode mode)
    {
        cs_open(CS_ARCH_X86, mode == TDisAsmMode::Mode64 ? CS_MODE_64 : CS_MODE_32, &FHandle);
        cs_option(FHandle, CS_OPT_DETAIL, CS_OPT_ON);
        FInsn = cs_malloc(FHandle);
    }
    ~TOracle()
    {
        cs_free(FInsn, 1);
        cs_close(&FHandle);
    }
    TOracle(const TOracle&) = delete;
    TOracle& operator=(const TOracle&) = delete;

    TOracleAnswer Decode(const uint8_t* bytes, size_t count, uint64_t address, bool withText = false) const
    {
        TOracleAnswer a;
        const uint8_t* code = bytes;
        size_t size = count;
        uint64_t at = address;
        if (!cs_disasm_iter(FHandle, &code, &size, &at, FInsn))
            return a;
        a.Valid = true;
        a.Length = static_cast<uint8_t>(FInsn->size);
        a.IsCall = cs_insn_group(FHandle, FInsn, CS_GRP_CALL);
        a.IsJump = cs_insn_group(FHandle, FInsn, CS_GRP_JUMP);
        a.IsReturn = cs_insn_group(FHandle, FInsn, CS_GRP_RET) || cs_insn_group(FHandle, FInsn, CS_GRP_IRET);
        const cs_x86& x = FInsn->detail->x86;
        if (a.IsCall || a.IsJump) {
            for (int i = 0; i < x.op_count; ++i) {
                if (x.operands[i].type == X86_OP_IMM && x.op_count == 1) {
                    a.HasTarget = true;
                    a.Target = static_cast<uint64_t>(x.operands[i].imm);
                } else if (x.operands[i].type == X86_OP_MEM && x.operands[i].mem.base == X86_REG_RIP) {
                    a.HasCell = true;
                    a.Cell = address + FInsn->size + static_cast<uint64_t>(x.operands[i].mem.disp);
                }
            }
        }
        if (withText)
            a.Text = std::string(FInsn->mnemonic) + " " + FInsn->op_str;
        return a;
    }

private:
    csh FHandle = 0;
    cs_insn* FInsn = nullptr;
};
