#include "quorlix/render/RenderOverlay.h"

#include "quorlix/render/internal/OverlayTable.h"

namespace Quorlix {

namespace Internal {

OverlayEntry G_Overlays[k_MaxOverlayClasses];

} // namespace Internal

bool SetOverlayDrawer(int classIndex, OverlayDrawFunction draw) noexcept {
    using Internal::G_Overlays;
    Internal::OverlayEntry* slot = nullptr;
    for (Internal::OverlayEntry& entry : G_Overlays) {
        if (entry.m_Class == classIndex) {
            slot = &entry;
            break;
        }
        if (entry.m_Class == 0 && slot == nullptr)
            slot = &entry;
    }
    if (slot == nullptr)
        return draw == nullptr;
    if (slot->m_Class == classIndex || draw != nullptr) {
        slot->m_Draw = draw;
        slot->m_Class = draw != nullptr ? classIndex : 0;
    }
    return true;
}

OverlayDrawFunction GetOverlayDrawer(int classIndex) noexcept {
    for (const Internal::OverlayEntry& entry : Internal::G_Overlays) {
        if (entry.m_Class == classIndex && classIndex != 0)
            return entry.m_Draw;
    }
    return nullptr;
}

} // namespace Quorlix
