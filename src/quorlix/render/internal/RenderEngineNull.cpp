#include "quorlix/render/internal/RenderEngineNull.h"

#include "quorlix/core/Result.h"
#include "quorlix/core/Timer.h"
#include "quorlix/render/internal/DrawLayer.h"
#include "quorlix/render/internal/RenderEngineFactory.h"
#include "quorlix/scene/Light.h"
#include "quorlix/scene/PolygonGeometry.h"
#include "quorlix/scene/SceneClassIndex.h"

namespace Quorlix::Internal {

RenderEngine* CreateRenderEngineNull() {
    return NewObject<RenderEngineNull>();
}

RenderEngineNull::RenderEngineNull() : m_Statistics(RenderStatistics::Create()) {}
RenderEngineNull::~RenderEngineNull() = default;

void RenderEngineNull::ResetCounts() noexcept {
    for (int64_t& count : m_Counts)
        count = 0;
}

void RenderEngineNull::StartRecording(int capacity) {
    m_Record.clear();
    m_Record.reserve(capacity > 0 ? static_cast<size_t>(capacity) : 0);
    m_Dropped = 0;
    m_Recording = true;
}

void RenderEngineNull::SetAcceptStages(bool ambient, bool bump) noexcept {
    m_AcceptAmbient = ambient;
    m_AcceptBump = bump;
}

RenderEngineNull::Call* RenderEngineNull::Note(Op op) noexcept {
    ++m_Counts[op];
    if (!m_Recording)
        return nullptr;
    if (m_Record.size() == m_Record.capacity()) {
        ++m_Dropped;
        return nullptr;
    }
    Call& call = m_Record.emplace_back(); // within the reserved capacity: no allocation
    call.m_Op = op;
    return &call;
}

int RenderEngineNull::InitializeRenderEngine(Platform::Window*, const RenderPipeFormat&,
                                             const RenderTextureSettings&) {
    Note(OpInitialize);
    m_Statistics->BeginFrame(Timer::GetSystemTimerSeconds());
    return SOK;
}

void RenderEngineNull::DeInitializeRenderEngine() {
    Note(OpDeInitialize);
}

void RenderEngineNull::SetTextureSettings(const RenderTextureSettings&) {
    Note(OpSetTextureSettings);
}

void RenderEngineNull::SetViewport(int x, int y, int width, int height) {
    if (Call* call = Note(OpSetViewport)) {
        call->m_Int[0] = x;
        call->m_Int[1] = y;
        call->m_Int[2] = width;
        call->m_Int[3] = height;
    }
}

void RenderEngineNull::SetProjection(const Matrix4f& projection) {
    if (Call* call = Note(OpSetProjection))
        call->m_Matrix = projection;
}

void RenderEngineNull::SetModelView(const Matrix4f& modelView) {
    m_ModelView = modelView;
    if (Call* call = Note(OpSetModelView))
        call->m_Matrix = modelView;
}

void RenderEngineNull::SetCullFrustumFactor(float factor) {
    if (Call* call = Note(OpSetCullFrustumFactor))
        call->m_Float = factor;
}

void RenderEngineNull::ClearBuffers(const RenderClearBlock& clear) {
    if (Call* call = Note(OpClearBuffers))
        call->m_Vector = clear.m_ColorClearValue;
}

void RenderEngineNull::SetAmbientColor(const Vector3f& color) {
    if (Call* call = Note(OpSetAmbientColor))
        call->m_Vector = color;
}

void RenderEngineNull::SetLight(int index, const SLight& light, const Matrix4f& matrix) {
    if (Call* call = Note(OpSetLight)) {
        call->m_Int[0] = index;
        call->m_Vector = light.GetColor();
        call->m_Object = &light;
        call->m_Matrix = matrix;
    }
}

void RenderEngineNull::SetLightCount(int count) {
    if (Call* call = Note(OpSetLightCount))
        call->m_Int[0] = count;
}

void RenderEngineNull::SetFog(const SFog* fog, const Matrix4f& matrix) {
    if (Call* call = Note(OpSetFog)) {
        call->m_Object = fog;
        call->m_Matrix = matrix;
    }
}

void RenderEngineNull::SetGlobalMode(int mode) {
    if (Call* call = Note(OpSetGlobalMode))
        call->m_Int[0] = mode;
}

void RenderEngineNull::CloseGlobalModePair() {
    Note(OpCloseGlobalModePair);
}

void RenderEngineNull::EndGlobalMode() {
    Note(OpEndGlobalMode);
    m_PolygonTable = nullptr;
}

bool RenderEngineNull::AcceptShaderAmbient(RenderShader* shader) {
    if (Call* call = Note(OpAcceptShaderAmbient))
        call->m_Object = shader;
    return m_AcceptAmbient;
}

bool RenderEngineNull::AcceptShaderBump(RenderShader* shader) {
    if (Call* call = Note(OpAcceptShaderBump))
        call->m_Object = shader;
    return m_AcceptBump;
}

void RenderEngineNull::BindShaderBase(RenderShader* shader) {
    if (Call* call = Note(OpBindShaderBase))
        call->m_Object = shader;
}

void RenderEngineNull::BeginOverlay(const Matrix4f& projection, const Matrix4f& modelView) {
    m_Overlay.clear();
    if (Call* call = Note(OpBeginOverlay))
        call->m_Matrix = projection;
    SetModelView(modelView);
}

void RenderEngineNull::DrawOverlayQuads(RenderShader* shader, const OverlayVertex* vertices,
                                        int quadCount) {
    if (Call* call = Note(OpDrawOverlayQuads)) {
        call->m_Object = shader;
        call->m_Int[0] = quadCount;
        m_Overlay.insert(m_Overlay.end(), vertices, vertices + 4 * quadCount);
    }
}

void RenderEngineNull::EndOverlay() {
    Note(OpEndOverlay);
}

void RenderEngineNull::DrawGeometry(TGeometry& geometry) {
    const SNode* s = geometry.GetSNode();
    if (s->GetClassTable() == m_PolygonTable || s->IsA(BuiltinTypeID(k_ClassSPolygonGeometry))) {
        m_PolygonTable = s->GetClassTable();
        m_Statistics->AddTriangles(static_cast<const SPolygonGeometry*>(s)->GetTriangleCount());
    }
    if (Call* call = Note(OpDrawGeometry)) {
        call->m_Object = &geometry;
        call->m_Layer = DrawLayerOf(RenderShaderOf(geometry));
        call->m_Matrix = m_ModelView;
    }
}

void RenderEngineNull::UnloadTextures() {
    Note(OpUnloadTextures);
}

bool RenderEngineNull::ForceLoadTexture(Texture& texture) {
    if (Call* call = Note(OpForceLoadTexture))
        call->m_Object = &texture;
    return true;
}

void RenderEngineNull::SwapBuffers() {
    Note(OpSwapBuffers);
    m_Statistics->EndFrame();
    m_Statistics->BeginFrame(Timer::GetSystemTimerSeconds());
}

bool RenderEngineNull::ReadPixels(Image&) {
    Note(OpReadPixels);
    return false;
}

} // namespace Quorlix::Internal
