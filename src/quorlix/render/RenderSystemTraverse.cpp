#include "quorlix/render/RenderSystemTraverse.h"

#include "quorlix/core/Timer.h"
#include "quorlix/render/RenderChannel.h"
#include "quorlix/render/RenderEngine.h"
#include "quorlix/render/RenderPipe.h"
#include "quorlix/render/RenderShader.h"
#include "quorlix/render/RenderSystem.h"
#include "quorlix/render/Shader.h"
#include "quorlix/render/Texture.h"
#include "quorlix/render/internal/DrawLayer.h"
#include "quorlix/render/internal/OverlayTable.h"
#include "quorlix/scene/Camera.h"
#include "quorlix/scene/Fog.h"
#include "quorlix/scene/Geometry.h"
#include "quorlix/scene/LODGroup.h"
#include "quorlix/scene/Light.h"
#include "quorlix/scene/PolygonGeometry.h"
#include "quorlix/scene/SceneClassIndex.h"
#include "quorlix/scene/Sound.h"
#include "quorlix/scene/Transform.h"
#include "quorlix/scene/internal/TransformMath.h"
#include "quorlix/script/internal/ScriptLog.h"
#include "quorlix/sound/SoundScene.h"

#include <algorithm>
#include <bit>
#include <cmath>

namespace Quorlix {

using Internal::LogScriptDebug;
using Internal::LogScriptError;

namespace {

constexpr float k_DefaultFieldOfView = 45.0f;
constexpr float k_HalfDegreeInRadians = 0.008726646f;
constexpr double k_SoundInterval = 0.125; // eight sound updates a second at most
// Matrices whose scaling lies this close to 1 are inverted as they are.
constexpr float k_UnitScaleMin = 0.99f;
constexpr float k_UnitScaleMax = 1.01f;
// A radius this large is the infinite sphere: nothing to cull by.
constexpr float k_InfiniteRadius = 1.0e16f;

bool Is(const ScriptObject* object, int classIndex) noexcept {
    return object->IsA(BuiltinTypeID(classIndex));
}

bool Finite(const Spheref& s) noexcept {
    const Vector3f& c = s.GetCentre();
    return std::isfinite(c.GetX()) && std::isfinite(c.GetY()) && std::isfinite(c.GetZ()) &&
           std::isfinite(s.GetRadius());
}

// The view matrix of a camera transform: the inverse of its world matrix with the scaling
// taken out, so that a scaled camera sees as an unscaled one.
Matrix4f ViewOf(const TBaseTransform& camera) {
    const Matrix4f& m = camera.GetModelViewMatrix();
    Vector3f scale, shear;
    m.DecomposeScaling(scale, shear);
    const float k = 3.0f / (scale.GetX() + scale.GetY() + scale.GetZ());
    if (!std::isfinite(k) || (k >= k_UnitScaleMin && k <= k_UnitScaleMax))
        return camera.GetModelViewMatrixInverse();
    Matrix4f unscale;
    unscale.MakeScaling(Vector3f(k, k, k));
    Matrix4f unscaled;
    unscaled.AssignMul(unscale, m);
    Matrix4f view;
    if (!view.AssignInvertAffine(unscaled))
        return camera.GetModelViewMatrixInverse();
    return view;
}

} // namespace

// What the collect walk does with a node, by its class.
enum class RenderSystemTraverse_D::Kind : uint8_t {
    Leaf,      // nothing
    Overlay,   // drawn by its registered drawer after the lit pass
    Branch,    // children under the same matrix
    Transform, // children under its ModelViewMatrix
    LODGroup,  // the child of its level
    Geometry,
    Light,
    Fog,
};

// How a geometry's S node bounds its vertices.
enum class RenderSystemTraverse_D::MeshKind : uint8_t {
    None,    // no vertex sphere: never culled
    Polygon, // SPolygonGeometry::GetVertexBoundingSphere
};

RenderSystemTraverse_D::RenderSystemTraverse_D(RenderSystem& system) : m_System(system) {}
RenderSystemTraverse_D::~RenderSystemTraverse_D() = default;

void RenderSystemTraverse_D::DrawTree(double time, double particleTime, int updateOnly) {
    ++m_System.m_FrameCounter;
    const Obj<RenderPipe> pipe(m_System.m_RenderPipe);
    if (!pipe) {
        LogScriptError("no RenderPipe connected to RenderSystem.");
        return;
    }
    int x = 0, y = 0, width = 640, height = 480;
    pipe->GetClientArea(x, y, width, height);
    // A copy of the handle (no allocation): the array may change under a progress callback.
    const Array<Obj<RenderChannel>> channels(m_System.m_Channels);
    bool first = true;
    bool drew = false;
    for (const Obj<RenderChannel>& channel : channels) {
        if (!channel || !channel->m_Enable)
            continue;
        drew = DrawChannel(*channel, first, width, height, time, particleTime, updateOnly) || drew;
        first = false;
    }
    if (drew) {
        if (RenderEngine* engine = pipe->GetRenderEngine())
            engine->SetViewport(0, 0, width, height);
    }
    ReleaseFrame();
}

void RenderSystemTraverse_D::ReleaseFrame() {
    for (uint64_t used = m_LayerUsed; used != 0; used &= used - 1)
        m_Layers[std::countr_zero(used)].clear();
    m_LayerUsed = 0;
    m_Lights.clear();
    m_Fogs.clear();
    m_Update.ClearLists();
}

bool RenderSystemTraverse_D::DrawChannel(RenderChannel& channel, bool first, int width, int height,
                                         double time, double particleTime, int updateOnly) {
    const Obj<TNode> root(channel.m_SceneRoot);
    const Obj<TNode> camera(channel.m_Camera);
    UpdateScene(channel, root, camera);
    AdvanceParticles(particleTime);
    AdvanceSounds(time);

    const Obj<RenderPipe> pipe(m_System.m_RenderPipe);
    if (updateOnly != 0 || pipe->IsReadyToDraw() <= 0)
        return false;
    const Obj<RenderEngine> engine(pipe->GetRenderEngine());
    if (!engine)
        return false;
    // Finished load jobs end here, on the host's thread, so no texture dies on a job's.
    Texture::ReapLoadJobs();
    engine->UnloadTextures();
    if (channel.GetForceTextureLoading())
        ForceTextureLoading(channel, *engine, root);

    // The viewport (fractions of the window, clamped by the channel) in pixels.
    const Vector4f& v = channel.GetViewport();
    const int w = static_cast<int>(width * (v.GetY() - v.GetX()));
    const int h = static_cast<int>(height * (v.GetW() - v.GetZ()));
    engine->SetViewport(static_cast<int>(width * v.GetX()), static_cast<int>(height * v.GetZ()), w,
                        h);
    if (!first)
        engine->ClearBuffers(channel.GetClearBlock());
    const uint32_t passes = channel.GetPassMask();

    // Projection: the camera's vertical field of view over the viewport's aspect.
    float fov = k_DefaultFieldOfView;
    if (camera && Is(camera->GetSNode(), k_ClassSCamera))
        fov = static_cast<const SCamera*>(camera->GetSNode())->GetFieldOfView();
    const Vector2f& clipping = channel.GetClipping();
    const float n = clipping.GetX();
    const float f = std::max(clipping.GetY(), n);
    const float aspect = h == 0 ? 1.0f : static_cast<float>(w) / static_cast<float>(h);
    const float t = std::tan(fov * k_HalfDegreeInRadians);
    Matrix4f projection;
    projection.MakeFrustum(-t * n * aspect, t * n * aspect, -t * n, t * n, n, f);
    engine->SetProjection(projection);
    engine->SetModelView(Matrix4f::Identity);
    m_Channel = &channel;
    m_ViewportWidth = w;
    m_ViewportHeight = h;
    m_Projection = projection;
    // An empty viewport or a frustum without depth shows nothing: no culling frustum to make.
    if (w <= 0 || h <= 0 || !(f > n) || !std::isfinite(f))
        return true;
    float factor = channel.m_CullFrustumFactor;
    if (!(factor > 0.0f) || !std::isfinite(factor))
        factor = 1.0f; // a frustum of no width (or NaN) culls nothing sensible
    const float c = t * n * factor;
    m_Cull.MakePerspective(-c * aspect, c * aspect, -c, c, n, f);
    if (factor < 1.0f)
        engine->SetCullFrustumFactor(factor);
    m_DrawMask = channel.m_DrawMask;
    m_ExcludeMask = channel.m_ExcludeMask;

    m_Collected = false;
    if (passes & 1u)
        Pass(*engine, 1, root, true);
    if (passes & 2u)
        Pass(*engine, 2, root, false);
    if (passes & 4u)
        Pass(*engine, 3, root, false);
    if (passes & 0x20u) {
        Pass(*engine, 4, root, false);
        Pass(*engine, 5, root, false);
        engine->CloseGlobalModePair();
    }
    if (passes & (8u | 16u))
        Pass(*engine, 0, root, false);
    engine->SetGlobalMode(1);
    engine->EndGlobalMode();
    return true;
}

void RenderSystemTraverse_D::UpdateScene(RenderChannel& channel, TNode* root, TNode* camera) {
    TBaseTransform* cameraTransform = camera != nullptr ? camera->GetParentTransform() : nullptr;
    SceneUpdateFrame frame;
    frame.m_Frame = m_System.m_FrameCounter;
    frame.m_ExcludeMask = channel.m_ExcludeMask;
    frame.m_DrawMask = channel.m_DrawMask;
    frame.m_WaitFor = cameraTransform;
    UpdateSceneWorld(m_Update, root, frame);
    m_View = cameraTransform != nullptr ? ViewOf(*cameraTransform) : Matrix4f::Identity;
    UpdateSceneView(m_Update, root, m_View, frame);
}

void RenderSystemTraverse_D::AdvanceParticles(double particleTime) {
    // Particle systems carry no simulation yet: the frame keeps their list and the time they
    // are due at, which is where their advance goes.
    m_ParticleAdvances += m_Update.GetParticles().Size();
    m_ParticleTime = particleTime;
}

void RenderSystemTraverse_D::AdvanceSounds(double time) {
    double& last = m_System.m_LastSoundUpdate;
    // A clock that went back (a restarted host timer) restarts the count from there; waiting
    // for it to catch up would silence every emitter until then.
    if (time < last)
        last = time;
    if (!(time - last >= k_SoundInterval))
        return;
    const double elapsed = time - last;
    ++m_SoundUpdates;
    last = time;
    const Array<Obj<TNode>>& emitters = m_Update.GetSoundEmitters();
    const Array<Obj<TNode>>& receivers = m_Update.GetSoundReceivers();
    if (!m_Sound) {
        if (emitters.Size() == 0 && receivers.Size() == 0)
            return;
        m_Sound = std::make_unique<SoundScene>();
    }
    // Pass 2 left view products behind; the camera's world matrix takes them back to world.
    Matrix4f toWorld;
    if (!toWorld.AssignInvertAffine(m_View))
        toWorld = Matrix4f::Identity;
    const auto worldOf = [&](const TNode& node) {
        const TBaseTransform* parent = node.GetParentTransform();
        if (parent == nullptr)
            return Matrix4f::Identity;
        Matrix4f world;
        world.AssignMul(parent->GetModelViewMatrix(), toWorld);
        return world;
    };
    for (const Obj<TNode>& node : emitters)
        if (node && Is(node, k_ClassTSoundEmitter))
            m_Sound->AdvanceEmitter(static_cast<TSoundEmitter&>(*node), worldOf(*node), elapsed);
    for (const Obj<TNode>& node : receivers)
        if (node && Is(node, k_ClassTSoundReceiver))
            m_Sound->AdvanceReceiver(static_cast<TSoundReceiver&>(*node), worldOf(*node), elapsed);
    m_Sound->EndUpdate();
}

void RenderSystemTraverse_D::ForceTextureLoading(RenderChannel& channel, RenderEngine& engine,
                                                 TNode* root) {
    LogScriptDebug("ForceTextureLoading...");
    const double start = Timer::GetSystemTimerMilliSeconds();
    CollectTextures(root);
    const Obj<ProgressBar> progress(m_System.m_ProgressBar);
    const int count = static_cast<int>(m_Textures.size());
    for (int i = 0; i < count; ++i) {
        engine.ForceLoadTexture(*m_Textures[static_cast<size_t>(i)]);
        if (progress)
            progress->SetProgress(ProgressBar::Fraction(i + 1, count));
    }
    m_Textures.clear();
    const auto ms = static_cast<int64_t>(Timer::GetSystemTimerMilliSeconds() - start);
    LogScriptDebug("ForceTextureLoading complete in ", ms, " ms (", count, " tex).");
    if (engine.GetTexturesPending() <= 0)
        channel.SetForceTextureLoading(false);
}

void RenderSystemTraverse_D::CollectTextures(TNode* root) {
    m_Shaders.clear();
    m_Textures.clear();
    if (root == nullptr || root->IsNil())
        return;
    for (const void*& table : m_KindTable)
        table = nullptr;
    m_ShaderTable = nullptr;
    // Every shader of the scene, hidden parts and all LOD levels included.
    m_Stack.clear();
    m_Stack.push_back(Step{root, nullptr});
    while (!m_Stack.empty()) {
        TNode* node = m_Stack.back().m_Node;
        m_Stack.pop_back();
        const Kind kind = KindOf(node);
        if (kind == Kind::Geometry) {
            if (RenderShader* shader = ShaderOf(*static_cast<TGeometry*>(node)))
                m_Shaders.push_back(shader);
        } else if (kind == Kind::Branch || kind == Kind::Transform || kind == Kind::LODGroup) {
            PushChildren(node, Matrix4f::Identity);
        }
    }
    std::sort(m_Shaders.begin(), m_Shaders.end());
    m_Shaders.erase(std::unique(m_Shaders.begin(), m_Shaders.end()), m_Shaders.end());
    // Each shader's surface expressions; a layer may name an expression twice or even itself.
    for (RenderShader* shader : m_Shaders) {
        m_Expressions.clear();
        m_Seen.clear();
        m_Expressions.push_back(shader->m_Surface.Get());
        while (!m_Expressions.empty()) {
            const ScriptObject* e = m_Expressions.back();
            m_Expressions.pop_back();
            if (e == nullptr || e->IsNil() ||
                std::find(m_Seen.begin(), m_Seen.end(), e) != m_Seen.end())
                continue;
            m_Seen.push_back(e);
            if (Is(e, k_ClassShaderTexture)) {
                if (Texture* texture = static_cast<const ShaderTexture*>(e)->m_Texture.Get())
                    m_Textures.push_back(texture);
            } else if (Is(e, k_ClassShaderPhong)) {
                const auto* phong = static_cast<const ShaderPhong*>(e);
                m_Expressions.push_back(phong->m_Color.Get());
                m_Expressions.push_back(phong->m_Ambient.Get());
                m_Expressions.push_back(phong->m_Bump.Get());
                m_Expressions.push_back(phong->m_Reflection.Get());
            } else if (Is(e, k_ClassShaderLayer)) {
                for (const Obj<ScriptObject>& layer : static_cast<const ShaderLayer*>(e)->m_Layer)
                    m_Expressions.push_back(layer.Get());
            }
        }
    }
    std::sort(m_Textures.begin(), m_Textures.end());
    m_Textures.erase(std::unique(m_Textures.begin(), m_Textures.end()), m_Textures.end());
}

void RenderSystemTraverse_D::Pass(RenderEngine& engine, int mode, TNode* root, bool lit) {
    engine.SetGlobalMode(mode);
    // The tree does not change between the passes of a channel: one collect serves them all.
    if (!m_Collected) {
        Collect(root);
        m_Collected = true;
    }
    if (lit)
        Lights(engine);
    SortedDraw(engine);
    if (lit) {
        // The widgets draw unfogged, over the scene.
        engine.SetFog(nullptr, Matrix4f::Identity);
        DrawOverlays(engine);
    }
}

RenderSystemTraverse_D::Kind RenderSystemTraverse_D::KindOf(const TNode* node) noexcept {
    const MVTBL* table = node->GetClassTable();
    for (int i = 0; i < k_KindCache; ++i) {
        if (table == m_KindTable[i])
            return m_Kind[i];
    }
    Kind kind = Kind::Leaf;
    if (Is(node, k_ClassTBaseTransform))
        kind = Kind::Transform;
    else if (Is(node, k_ClassTLODGroup))
        kind = Kind::LODGroup;
    else if (Is(node, k_ClassTBranch))
        kind = Kind::Branch;
    else if (Is(node, k_ClassTGeometry))
        kind = Kind::Geometry;
    else if (Is(node, k_ClassTLight))
        kind = Kind::Light;
    else if (Is(node, k_ClassTFog))
        kind = Kind::Fog;
    for (const Internal::OverlayEntry& entry : Internal::G_Overlays) {
        if (kind == Kind::Leaf && entry.m_Class != 0 && Is(node, entry.m_Class))
            kind = Kind::Overlay;
    }
    m_KindTable[m_KindNext] = table;
    m_Kind[m_KindNext] = kind;
    m_KindNext = (m_KindNext + 1) % k_KindCache;
    return kind;
}

RenderSystemTraverse_D::MeshKind RenderSystemTraverse_D::MeshKindOf(const SNode* s) noexcept {
    const MVTBL* table = s->GetClassTable();
    for (int i = 0; i < 2; ++i) {
        if (table == m_MeshTable[i])
            return m_Mesh[i];
    }
    // Skinned meshes and metaballs move their vertices at draw time.
    const MeshKind kind = Is(s, k_ClassSPolygonGeometry) && !Is(s, k_ClassSSkinPolygonGeometry) &&
                                  !Is(s, k_ClassSMetaballs)
                              ? MeshKind::Polygon
                              : MeshKind::None;
    m_MeshTable[m_MeshNext] = table;
    m_Mesh[m_MeshNext] = kind;
    m_MeshNext ^= 1;
    return kind;
}

RenderShader* RenderSystemTraverse_D::ShaderOf(const TGeometry& geometry) noexcept {
    ScriptObject* shader = geometry.m_Shader.Get();
    if (shader == nullptr || shader->IsNil())
        return nullptr;
    if (shader->GetClassTable() == m_ShaderTable)
        return static_cast<RenderShader*>(shader);
    if (!Is(shader, k_ClassRenderShader))
        return nullptr;
    m_ShaderTable = shader->GetClassTable();
    return static_cast<RenderShader*>(shader);
}

void RenderSystemTraverse_D::PushChildren(const TNode* node, const Matrix4f& matrix) {
    const auto* branch = static_cast<const TBranch*>(node);
    // Last child first, so that children are visited (and filed) in order.
    for (int i = branch->ChildCount() - 1; i >= 0; --i) {
        if (TNode* child = branch->GetChild(i))
            m_Stack.push_back(Step{child, &matrix});
    }
}

void RenderSystemTraverse_D::ToView(const Spheref& local, const Matrix4f& m, Spheref& view) {
    // As Spheref::XFormAffine; the placements under one transform share its matrix, so its
    // radius scale (a square root) is kept for the next.
    if (&m != m_ScaleMatrix) {
        float largest = 0.0f;
        for (int column = 0; column < 3; ++column) {
            const float x = m.Get(0, column), y = m.Get(1, column), z = m.Get(2, column);
            largest = std::max(largest, x * x + y * y + z * z);
        }
        m_Scale = std::sqrt(largest);
        m_ScaleMatrix = &m;
    }
    Vector3f centre;
    MulVector3Matrix4x3(centre, local.GetCentre(), m);
    view.Set(centre, local.GetRadius() * m_Scale);
}

bool RenderSystemTraverse_D::SubtreeCulled(const TNode& node, const Matrix4f& matrix) {
    if (node.GetBoundingMode() != TNode::BoundingStaticSubtree)
        return false;
    const Spheref& local = node.GetBoundingSphere();
    if (local.GetRadius() < 0.0f || local.GetRadius() >= k_InfiniteRadius)
        return false;
    Spheref view;
    ToView(local, matrix, view);
    if (!Finite(view) || m_Cull.FastCull(view) == CullFrustumf::k_CullVisible)
        return false;
    ++m_Culled;
    return true;
}

bool RenderSystemTraverse_D::LocalSphere(const TGeometry& geometry, Spheref& sphere) {
    if (geometry.GetBoundingMode() != TNode::BoundingDynamic &&
        geometry.GetBoundingSphere().GetRadius() >= 0.0f) {
        sphere = geometry.GetBoundingSphere();
    } else if (MeshKindOf(geometry.GetSNode()) == MeshKind::Polygon) {
        sphere =
            static_cast<const SPolygonGeometry*>(geometry.GetSNode())->GetVertexBoundingSphere();
    } else {
        return false;
    }
    return sphere.GetRadius() < k_InfiniteRadius;
}

void RenderSystemTraverse_D::File(TGeometry& geometry, const Matrix4f& modelView) {
    float depth = modelView.Get(3, 2);
    Spheref local;
    if (LocalSphere(geometry, local)) {
        Spheref view;
        ToView(local, modelView, view);
        if (Finite(view)) {
            if (m_Cull.FastCull(view) != CullFrustumf::k_CullVisible) {
                ++m_Culled;
                return;
            }
            depth = view.GetCentre().GetZ();
        }
    }
    RenderShader* shader = ShaderOf(geometry);
    const int layer = Internal::DrawLayerOf(shader);
    m_Layers[layer].push_back(
        DrawRecord{&modelView, shader, &geometry, depth, static_cast<uint32_t>(m_Filed)});
    m_LayerUsed |= uint64_t{1} << layer;
    ++m_Filed;
}

void RenderSystemTraverse_D::Collect(TNode* root) {
    for (uint64_t used = m_LayerUsed; used != 0; used &= used - 1)
        m_Layers[std::countr_zero(used)].clear();
    m_LayerUsed = 0;
    m_Lights.clear();
    m_Fogs.clear();
    m_Overlays.clear();
    m_Filed = 0;
    m_Culled = 0;
    if (root == nullptr || root->IsNil())
        return;
    for (const void*& table : m_KindTable)
        table = nullptr;
    m_MeshTable[0] = m_MeshTable[1] = nullptr;
    m_ShaderTable = nullptr;
    m_ScaleMatrix = nullptr; // matrices have moved since the last collect

    m_Stack.clear();
    m_Stack.push_back(Step{root, &m_View});
    while (!m_Stack.empty()) {
        const Step step = m_Stack.back();
        m_Stack.pop_back();
        TNode* node = step.m_Node;
        const Matrix4f& current = *step.m_Matrix;
        // As the update skips excluded nodes, the draw skips them and those outside its mask.
        const uint32_t visibility = node->GetSNode()->GetVisibility();
        if ((visibility & m_ExcludeMask) != 0 || (visibility & m_DrawMask) == 0)
            continue;
        switch (KindOf(node)) {
        case Kind::Transform: {
            const Matrix4f& own = static_cast<TBaseTransform*>(node)->GetModelViewMatrix();
            if (!SubtreeCulled(*node, own))
                PushChildren(node, own);
            break;
        }
        case Kind::Branch:
            if (!SubtreeCulled(*node, current))
                PushChildren(node, current);
            break;
        case Kind::LODGroup: {
            // The level the update chose: the same distance in the same (view) space.
            const SNode* s = node->GetSNode();
            if (!Is(s, k_ClassSLODGroup) || SubtreeCulled(*node, current))
                break;
            const float x = current.Get(3, 0), y = current.Get(3, 1), z = current.Get(3, 2);
            const int level = Internal::SelectLODLevel(
                x * x + y * y + z * z, static_cast<const SLODGroup*>(s)->GetThresholdArray());
            if (TNode* child = static_cast<const TBranch*>(node)->GetChild(level))
                m_Stack.push_back(Step{child, &current});
            break;
        }
        case Kind::Geometry:
            File(*static_cast<TGeometry*>(node), current);
            break;
        case Kind::Light:
            m_Lights.push_back(LightRecord{static_cast<const SLight*>(node->GetSNode()), &current});
            break;
        case Kind::Fog:
            m_Fogs.push_back(FogRecord{static_cast<const SFog*>(node->GetSNode()), &current});
            break;
        case Kind::Overlay:
            m_Overlays.push_back(OverlayRecord{node, &current});
            break;
        case Kind::Leaf:
            break;
        }
    }
    for (int layer = Internal::k_FirstSortedLayer; layer <= Internal::k_LastSortedLayer; ++layer) {
        std::vector<DrawRecord>& records = m_Layers[layer];
        std::sort(records.begin(), records.end(), [](const DrawRecord& a, const DrawRecord& b) {
            return a.m_Depth < b.m_Depth || (a.m_Depth == b.m_Depth && a.m_Order < b.m_Order);
        });
    }
}

void RenderSystemTraverse_D::DrawOverlays(RenderEngine& engine) {
    // In tree order (the collect visits children in order): later ones over earlier ones.
    for (const OverlayRecord& record : m_Overlays) {
        TNode& node = *record.m_Node;
        OverlayDrawFunction draw = nullptr;
        for (const Internal::OverlayEntry& entry : Internal::G_Overlays) {
            if (draw == nullptr && entry.m_Class != 0 && Is(&node, entry.m_Class))
                draw = entry.m_Draw;
        }
        if (draw != nullptr && m_Channel != nullptr)
            draw(node, OverlayContext{engine, *m_Channel, m_ViewportWidth, m_ViewportHeight,
                                      m_Projection, *record.m_Matrix});
    }
}

void RenderSystemTraverse_D::Lights(RenderEngine& engine) {
    Vector3f ambient(0.0f, 0.0f, 0.0f);
    for (const LightRecord& light : m_Lights) {
        if (light.m_Light->GetType() == SLight::Ambient)
            ambient += light.m_Light->GetColor();
    }
    engine.SetAmbientColor(ambient);
    int count = 0;
    for (const LightRecord& light : m_Lights) {
        if (light.m_Light->GetType() != SLight::Ambient)
            engine.SetLight(count++, *light.m_Light, *light.m_Matrix);
    }
    engine.SetLightCount(count);
    if (m_Fogs.empty())
        engine.SetFog(nullptr, Matrix4f::Identity);
    for (const FogRecord& fog : m_Fogs)
        engine.SetFog(fog.m_Fog, *fog.m_Matrix);
}

void RenderSystemTraverse_D::SortedDraw(RenderEngine& engine) {
    engine.SetModelView(Matrix4f::Identity);
    bool bound = false;
    RenderShader* last = nullptr;
    for (uint64_t used = m_LayerUsed; used != 0; used &= used - 1) {
        for (const DrawRecord& record : m_Layers[std::countr_zero(used)]) {
            engine.SetModelView(*record.m_ModelView);
            TGeometry& geometry = *record.m_Geometry;
            if (engine.AcceptShaderAmbient(record.m_Shader))
                engine.DrawGeometry(geometry);
            if (engine.AcceptShaderBump(record.m_Shader))
                engine.DrawGeometry(geometry);
            if (!bound || record.m_Shader != last) {
                engine.BindShaderBase(record.m_Shader);
                last = record.m_Shader;
                bound = true;
            }
            engine.DrawGeometry(geometry);
        }
    }
}

} // namespace Quorlix
