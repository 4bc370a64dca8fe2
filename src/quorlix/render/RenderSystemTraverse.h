#pragma once
// RenderSystemTraverse_D: the frame of a RenderSystem. For every enabled channel it updates the
// scene in two passes (world matrices, then view matrices under the camera's view; see
// UpdateSceneFrame), advances particles and, at most eight times a second, sounds; then it
// collects the visible geometry into 64 draw layers, hands lights and fog to the engine and
// draws the layers in the passes the channel's mask asks for.
//
// Culling: a geometry is tested by a bounding sphere in its own space: the node's
// BoundingSphere when its BoundingMode is not dynamic and the sphere is not empty, else the
// vertex sphere of a polygon mesh (a skinned mesh or metaballs, whose vertices move, and other
// geometry are never culled). A node whose BoundingMode is BoundingStaticSubtree and whose
// sphere is not empty is a bound of its whole subtree: when it is outside the frustum the
// subtree is skipped.
//
// Depth key of a draw record: the view-space z of its sphere's centre (of its placement's
// origin when it has none). The camera looks along -z, so sorting ascending draws the farthest
// first, as blending needs.
//
// Every list of the frame lives in this object and keeps its capacity, so once a scene has been
// drawn, frames like it allocate nothing. The tree must not change while DrawTree runs.

#include "quorlix/core/Array.h"
#include "quorlix/math/CullFrustumf.h"
#include "quorlix/math/Matrix4f.h"
#include "quorlix/platform/Export.h"
#include "quorlix/scene/UpdateTraverse.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace Quorlix {

class RenderChannel;
class RenderEngine;
class RenderShader;
class RenderSystem;
class SFog;
class SLight;
class TGeometry;
class SoundScene;
class Texture;

class QUORLIX_API RenderSystemTraverse_D {
public:
    explicit RenderSystemTraverse_D(RenderSystem& system);
    ~RenderSystemTraverse_D();
    RenderSystemTraverse_D(const RenderSystemTraverse_D&) = delete;
    RenderSystemTraverse_D& operator=(const RenderSystemTraverse_D&) = delete;

    /// One frame at `time` (seconds; sounds advance by its differences), particles advanced to
    /// `particleTime`. With `updateOnly` non-zero the scene is updated and nothing is drawn.
    /// Without a pipe the error "no RenderPipe connected to RenderSystem." is logged.
    void DrawTree(double time, double particleTime, int updateOnly);

    /// Figures of the last channel collected: draw records filed, geometry and subtrees culled.
    int GetFiledCount() const noexcept { return m_Filed; }
    int GetCulledCount() const noexcept { return m_Culled; }
    /// Running totals: particle systems advanced, sound updates made.
    int64_t GetParticleAdvances() const noexcept { return m_ParticleAdvances; }
    int64_t GetSoundUpdates() const noexcept { return m_SoundUpdates; }
    /// The particle time of the last advance.
    double GetParticleTime() const noexcept { return m_ParticleTime; }
    /// The sound of the emitters and receivers advanced so far; null before the first.
    SoundScene* GetSoundScene() const noexcept { return m_Sound.get(); }

private:
    struct DrawRecord {
        const Matrix4f* m_ModelView; // the parent transform's, or the view: both outlive the frame
        RenderShader* m_Shader;      // null: the engine's defaults
        TGeometry* m_Geometry;
        float m_Depth;
        uint32_t m_Order; // filing order, which breaks ties of the depth sort
    };
    struct LightRecord {
        const SLight* m_Light;
        const Matrix4f* m_Matrix;
    };
    struct FogRecord {
        const SFog* m_Fog;
        const Matrix4f* m_Matrix;
    };
    struct Step {
        TNode* m_Node;
        const Matrix4f* m_Matrix;
    };
    using OverlayRecord = Step; // a node of an overlay class and its parent's model-view
    enum class Kind : uint8_t;
    enum class MeshKind : uint8_t;

    // Runs the frame's steps for one channel; true when it set the engine's viewport.
    bool DrawChannel(RenderChannel& channel, bool first, int width, int height, double time,
                     double particleTime, int updateOnly);
    void UpdateScene(RenderChannel& channel, TNode* root, TNode* camera);
    void AdvanceParticles(double particleTime);
    void AdvanceSounds(double time);
    void ForceTextureLoading(RenderChannel& channel, RenderEngine& engine, TNode* root);
    void CollectTextures(TNode* root);
    void Pass(RenderEngine& engine, int mode, TNode* root, bool lit);
    void Collect(TNode* root);
    void File(TGeometry& geometry, const Matrix4f& modelView);
    void ToView(const Spheref& local, const Matrix4f& m, Spheref& view);
    bool SubtreeCulled(const TNode& node, const Matrix4f& matrix);
    bool LocalSphere(const TGeometry& geometry, Spheref& sphere);
    void Lights(RenderEngine& engine);
    void SortedDraw(RenderEngine& engine);
    void DrawOverlays(RenderEngine& engine);
    void PushChildren(const TNode* branch, const Matrix4f& matrix);
    Kind KindOf(const TNode* node) noexcept;
    MeshKind MeshKindOf(const SNode* s) noexcept;
    RenderShader* ShaderOf(const TGeometry& geometry) noexcept;
    void ReleaseFrame();

    RenderSystem& m_System;
    XMiniUpdateTraverse m_Update;
    Matrix4f m_View = Matrix4f::Identity;
    CullFrustumf m_Cull;
    uint32_t m_DrawMask = 0;
    uint32_t m_ExcludeMask = 0;
    bool m_Collected = false; // the records of this channel are filed (passes share them)

    std::vector<DrawRecord> m_Layers[64];
    uint64_t m_LayerUsed = 0; // bit i: layer i has records
    std::vector<LightRecord> m_Lights;
    std::vector<FogRecord> m_Fogs;
    std::vector<Step> m_Stack;
    std::vector<OverlayRecord> m_Overlays;
    // The channel being drawn, for the overlays: its viewport size and projection.
    RenderChannel* m_Channel = nullptr;
    int m_ViewportWidth = 0;
    int m_ViewportHeight = 0;
    Matrix4f m_Projection = Matrix4f::Identity;
    std::vector<RenderShader*> m_Shaders;           // forced texture loading: the scene's shaders,
    std::vector<const ScriptObject*> m_Expressions; // the expressions of one shader
    std::vector<const ScriptObject*> m_Seen;
    std::vector<Texture*> m_Textures; // and the textures found
    int m_Filed = 0;
    int m_Culled = 0;
    int64_t m_ParticleAdvances = 0;
    int64_t m_SoundUpdates = 0;
    std::unique_ptr<SoundScene> m_Sound; // made when a scene first has sound nodes
    double m_ParticleTime = 0.0;

    // Kinds of the classes met last (class tables may be freed and reused between frames, so
    // the caches are emptied at the start of every walk).
    static constexpr int k_KindCache = 4;
    const void* m_KindTable[k_KindCache] = {};
    Kind m_Kind[k_KindCache] = {};
    int m_KindNext = 0;
    const void* m_MeshTable[2] = {};
    MeshKind m_Mesh[2] = {};
    int m_MeshNext = 0;
    const void* m_ShaderTable = nullptr;     // a class table known to be a RenderShader's
    const Matrix4f* m_ScaleMatrix = nullptr; // the matrix m_Scale belongs to
    float m_Scale = 1.0f;
};

} // namespace Quorlix
