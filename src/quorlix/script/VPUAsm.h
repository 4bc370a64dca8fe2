#pragma once
// The opcodes of the compiled script form: a flat program of 32-bit little-endian words that
// recreates an object tree (create an object, make it current, set its members one by one).
// An enumerator's name is the opcode's mnemonic: the operation, an underscore and the operand
// signature ('t' target, 'c' constant, 'O' object, 'T' member identifier; value letters b
// Bool, i I32, I I64, u U32, U U64, f F32, F F64, s String, E enumeration value, M member
// identifier, v2f v3f v4f vectors, m4f matrix, spf sphere, qf quaternion, A array of, OTu an
// object given by class and number).

#include "quorlix/core/String.h"
#include "quorlix/platform/Export.h"

namespace Quorlix {

enum AsmOp : int {
    AsmOp_brk_v = 0, // end of execution
    AsmOp_nop_v = 1, // 1..3 have mnemonics but are not executable
    AsmOp_file_cs = 2,
    AsmOp_line_ci = 3,
    AsmOp_create_tO_cOTu = 256,
    AsmOp_select_tO_cOu = 257,
    AsmOp_mfnset_tO_cT_cOTu = 290,
    AsmOp_mfnset_tO_cT_cE = 293,
    AsmOp_mfnset_tO_cT_cM = 294,
    AsmOp_mfnset_tO_cT_cb = 296,
    AsmOp_mfnset_tO_cT_cs = 297,
    AsmOp_mfnset_tO_cT_ci = 298,
    AsmOp_mfnset_tO_cT_cI = 299,
    AsmOp_mfnset_tO_cT_cu = 300,
    AsmOp_mfnset_tO_cT_cU = 301,
    AsmOp_mfnset_tO_cT_cf = 302,
    AsmOp_mfnset_tO_cT_cF = 303,
    AsmOp_mfnset_tO_cT_cv2f = 304,
    AsmOp_mfnset_tO_cT_cv3f = 305,
    AsmOp_mfnset_tO_cT_cv4f = 306,
    AsmOp_mfnset_tO_cT_cm4f = 307,
    AsmOp_mfnset_tO_cT_cspf = 308,
    AsmOp_mfnset_tO_cT_cqf = 309,
    AsmOp_mfnset_tO_cT_cAOTu = 322,
    AsmOp_mfnset_tO_cT_cAE = 325,
    AsmOp_mfnset_tO_cT_cAM = 326,
    AsmOp_mfnset_tO_cT_cAb = 328,
    AsmOp_mfnset_tO_cT_cAs = 329,
    AsmOp_mfnset_tO_cT_cAi = 330,
    AsmOp_mfnset_tO_cT_cAI = 331,
    AsmOp_mfnset_tO_cT_cAu = 332,
    AsmOp_mfnset_tO_cT_cAU = 333,
    AsmOp_mfnset_tO_cT_cAf = 334,
    AsmOp_mfnset_tO_cT_cAF = 335,
    AsmOp_mfnset_tO_cT_cAv2f = 336,
    AsmOp_mfnset_tO_cT_cAv3f = 337,
    AsmOp_mfnset_tO_cT_cAv4f = 338,
    AsmOp_mfnset_tO_cT_cAm4f = 339,
    AsmOp_mfnset_tO_cT_cAspf = 340,
    AsmOp_mfnset_tO_cT_cAqf = 341,
};

/// The mnemonic ("brk_v", "mfnset_tO_cT_cf"); "unknown" for any other value.
QUORLIX_API String AsmOpToString(AsmOp op);

} // namespace Quorlix
