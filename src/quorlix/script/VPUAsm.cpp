#include "quorlix/script/VPUAsm.h"

namespace Quorlix {

String AsmOpToString(AsmOp op) {
    const char* text = "unknown";
    switch (op) {
#define QUORLIX_ASM_NAME(name)                                                                     \
    case AsmOp_##name:                                                                             \
        text = #name;                                                                              \
        break;
        QUORLIX_ASM_NAME(brk_v)
        QUORLIX_ASM_NAME(nop_v)
        QUORLIX_ASM_NAME(file_cs)
        QUORLIX_ASM_NAME(line_ci)
        QUORLIX_ASM_NAME(create_tO_cOTu)
        QUORLIX_ASM_NAME(select_tO_cOu)
        QUORLIX_ASM_NAME(mfnset_tO_cT_cOTu)
        QUORLIX_ASM_NAME(mfnset_tO_cT_cE)
        QUORLIX_ASM_NAME(mfnset_tO_cT_cM)
        QUORLIX_ASM_NAME(mfnset_tO_cT_cb)
        QUORLIX_ASM_NAME(mfnset_tO_cT_cs)
        QUORLIX_ASM_NAME(mfnset_tO_cT_ci)
        QUORLIX_ASM_NAME(mfnset_tO_cT_cI)
        QUORLIX_ASM_NAME(mfnset_tO_cT_cu)
        QUORLIX_ASM_NAME(mfnset_tO_cT_cU)
        QUORLIX_ASM_NAME(mfnset_tO_cT_cf)
        QUORLIX_ASM_NAME(mfnset_tO_cT_cF)
        QUORLIX_ASM_NAME(mfnset_tO_cT_cv2f)
        QUORLIX_ASM_NAME(mfnset_tO_cT_cv3f)
        QUORLIX_ASM_NAME(mfnset_tO_cT_cv4f)
        QUORLIX_ASM_NAME(mfnset_tO_cT_cm4f)
        QUORLIX_ASM_NAME(mfnset_tO_cT_cspf)
        QUORLIX_ASM_NAME(mfnset_tO_cT_cqf)
        QUORLIX_ASM_NAME(mfnset_tO_cT_cAOTu)
        QUORLIX_ASM_NAME(mfnset_tO_cT_cAE)
        QUORLIX_ASM_NAME(mfnset_tO_cT_cAM)
        QUORLIX_ASM_NAME(mfnset_tO_cT_cAb)
        QUORLIX_ASM_NAME(mfnset_tO_cT_cAs)
        QUORLIX_ASM_NAME(mfnset_tO_cT_cAi)
        QUORLIX_ASM_NAME(mfnset_tO_cT_cAI)
        QUORLIX_ASM_NAME(mfnset_tO_cT_cAu)
        QUORLIX_ASM_NAME(mfnset_tO_cT_cAU)
        QUORLIX_ASM_NAME(mfnset_tO_cT_cAf)
        QUORLIX_ASM_NAME(mfnset_tO_cT_cAF)
        QUORLIX_ASM_NAME(mfnset_tO_cT_cAv2f)
        QUORLIX_ASM_NAME(mfnset_tO_cT_cAv3f)
        QUORLIX_ASM_NAME(mfnset_tO_cT_cAv4f)
        QUORLIX_ASM_NAME(mfnset_tO_cT_cAm4f)
        QUORLIX_ASM_NAME(mfnset_tO_cT_cAspf)
        QUORLIX_ASM_NAME(mfnset_tO_cT_cAqf)
#undef QUORLIX_ASM_NAME
    }
    return String(text);
}

} // namespace Quorlix
