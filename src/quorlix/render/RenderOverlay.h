#pragma once
// Overlays: node classes drawn over a channel's finished scene (the widget module's windows).
// A module above the render module registers a drawer for its node class; the frame's draw
// traversal collects the visible nodes of registered classes with their placement and, after
// the sorted draw of the lit pass and with fog off, hands each to its drawer in tree order.

#include "quorlix/math/Matrix4f.h"
#include "quorlix/platform/Export.h"

namespace Quorlix {

class RenderChannel;
class RenderEngine;
class TNode;

/// What a drawer gets besides its node.
struct QUORLIX_API OverlayContext {
    RenderEngine& m_Engine;
    RenderChannel& m_Channel;
    int m_Width; // the channel's viewport in pixels
    int m_Height;
    const Matrix4f& m_Projection; // the channel's projection
    const Matrix4f& m_ModelView;  // the node's placement: its parent transform's model-view
};

using OverlayDrawFunction = void (*)(TNode& node, const OverlayContext& context);

/// Registers `draw` for nodes of class index `classIndex` and the classes derived from it; null
/// removes it. At most four classes; false when the table is full.
QUORLIX_API bool SetOverlayDrawer(int classIndex, OverlayDrawFunction draw) noexcept;
/// The drawer for a node of class index `classIndex` exactly as registered; null when none.
QUORLIX_API OverlayDrawFunction GetOverlayDrawer(int classIndex) noexcept;

} // namespace Quorlix
