#include "quorlix/library/SceneClasses.h"

#include "quorlix/animation/AnimationClasses.h"
#include "quorlix/image/ImageClasses.h"
#include "quorlix/render/RenderClasses.h"
#include "quorlix/scene/SceneClasses.h"
#include "quorlix/script/ClassTable.h"
#include "quorlix/widget/WidgetClasses.h"

namespace Quorlix {

void InitializeSceneClasses() {
    // Bases before the classes derived from them, across modules: the scene classes, then
    // render, shader, texture, image, material, blend, pose, sprite, animation and vertex-data
    // classes, the widget classes (with their own enumerations), and the other enumerations last.
    BindSceneNodeClasses();
    BindGeometryClasses();
    BindRenderClasses();
    BindShaderClasses();
    BindTextureClasses();
    BindImageClasses();
    BindRenderMaterialClass();
    BindBlendControlClass();
    BindPoseClasses();
    BindSpriteAppearancesClass();
    BindAnimationClasses();
    BindVertexDataClasses();
    InitializeGUIClasses();
    BindNodeEnumerations();
    BindGeometryEnumerations();
    BindRenderEnumerations();
    BindImageEnumerations();
    BindAnimationEnumerations();
}

void UnInitializeSceneClasses() {
    // Derived classes sit above or below their bases in the slot numbering; deleting a base
    // first only leaves stubs in the rows of the classes still there, which go next.
    for (int c = k_MasterMVTBLBuiltinSize - 1; c > k_ClassObject; --c)
        DeleteClass(BuiltinTypeID(c));
}

} // namespace Quorlix
