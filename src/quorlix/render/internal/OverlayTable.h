#pragma once
// The registered overlay classes, read by the draw traversal. Registration happens at start-up
// (class binding), before any frame: the table is not locked.

#include "quorlix/render/RenderOverlay.h"

namespace Quorlix::Internal {

constexpr int k_MaxOverlayClasses = 4;

struct OverlayEntry {
    int m_Class = 0; // 0: free
    OverlayDrawFunction m_Draw = nullptr;
};

extern OverlayEntry G_Overlays[k_MaxOverlayClasses];

} // namespace Quorlix::Internal
