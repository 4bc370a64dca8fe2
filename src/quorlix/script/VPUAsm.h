#pragma once
// The compiled script form: a flat program of 32-bit little-endian words that recreates an
// object tree without parsing. A file is the header 'K' 'S' 'C' 1 and then instructions, each an
// opcode word followed by whole operand words (byte payloads padded with zeros to a word).
//
// An opcode's name is the operation, an underscore and its operand signature: `t` marks the
// target, `c` a constant operand, `O` an object, `T` a member identifier, `A` an array of, `OTu`
// an object given by class and number; the value letters are b Bool, i I32, I I64, u U32,
// U U64, f F32, F F64, s String, E enumerator, M member identifier, v2f v3f v4f vectors, m4f
// matrix, spf sphere, qf quaternion.

#include "quorlix/core/String.h"
#include "quorlix/platform/Export.h"

#include <cstdint>

namespace Quorlix {

enum class AsmOp : uint32_t {
    brk_v = 0,               // end of execution
    nop_v = 1,               // named, never written, not executable
    file_cs = 2,             // named, never written, not executable
    line_ci = 3,             // named, never written, not executable
    create_tO_cOTu = 256,    // class identifier, object number: find or create, make current
    select_tO_cOu = 257,     // object number: make current
    mfnset_tO_cT_cOTu = 290, // member, class identifier, object number
    mfnset_tO_cT_cE = 293,   // member, enumerator
    mfnset_tO_cT_cM = 294,   // member, member identifier
    mfnset_tO_cT_cb = 296,   // member, 0 or 1
    mfnset_tO_cT_cs = 297,   // member, byte length, bytes, padding
    mfnset_tO_cT_ci = 298,
    mfnset_tO_cT_cI = 299, // 8 bytes
    mfnset_tO_cT_cu = 300,
    mfnset_tO_cT_cU = 301, // 8 bytes
    mfnset_tO_cT_cf = 302,
    mfnset_tO_cT_cF = 303, // 8 bytes
    mfnset_tO_cT_cv2f = 304,
    mfnset_tO_cT_cv3f = 305,
    mfnset_tO_cT_cv4f = 306,
    mfnset_tO_cT_cm4f = 307,
    mfnset_tO_cT_cspf = 308,
    mfnset_tO_cT_cqf = 309,
    mfnset_tO_cT_cAOTu = 322, // member, count, then class identifier and number per element
    mfnset_tO_cT_cAE = 325,   // member, count, count words
    mfnset_tO_cT_cAM = 326,   // member, count, count words
    mfnset_tO_cT_cAb = 328,   // member, count, count bytes, padding
    mfnset_tO_cT_cAs = 329,   // member, count, then per string its length, bytes, padding
    mfnset_tO_cT_cAi = 330,   // member, count, then the elements' bytes
    mfnset_tO_cT_cAI = 331,
    mfnset_tO_cT_cAu = 332,
    mfnset_tO_cT_cAU = 333,
    mfnset_tO_cT_cAf = 334,
    mfnset_tO_cT_cAF = 335,
    mfnset_tO_cT_cAv2f = 336,
    mfnset_tO_cT_cAv3f = 337,
    mfnset_tO_cT_cAv4f = 338,
    mfnset_tO_cT_cAm4f = 339,
    mfnset_tO_cT_cAspf = 340,
    mfnset_tO_cT_cAqf = 341,
};

/// The opcode's name ("mfnset_tO_cT_cf" for 302); "unknown" for a value that is no opcode.
QUORLIX_API String AsmOpToString(AsmOp op);

} // namespace Quorlix
