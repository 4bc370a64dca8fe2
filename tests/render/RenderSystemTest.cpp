// The frame of a render system over the null engine, read through the engine's call record:
// what is filed, culled and drawn in which order, the view and projection, the update of the
// scene, clears and passes, lights and forced texture loading, the frame's messages and the
// frame's allocations. Also the channel's clamping setters and the statistics.

#include "quorlix/render/RenderSystem.h"
#include "quorlix/core/Memory.h"
#include "quorlix/render/RenderChannel.h"
#include "quorlix/render/RenderClassIndex.h"
#include "quorlix/render/RenderMaterial.h"
#include "quorlix/render/RenderPipe.h"
#include "quorlix/render/RenderShader.h"
#include "quorlix/render/RenderStatistics.h"
#include "quorlix/render/RenderSystemTraverse.h"
#include "quorlix/render/Shader.h"
#include "quorlix/render/Texture.h"
#include "quorlix/render/internal/RenderEngineNull.h"
#include "quorlix/scene/Camera.h"
#include "quorlix/scene/Constraint.h"
#include "quorlix/scene/Fog.h"
#include "quorlix/scene/Light.h"
#include "quorlix/scene/Particles.h"
#include "quorlix/scene/PolygonGeometry.h"
#include "quorlix/scene/SceneClassIndex.h"
#include "quorlix/scene/Sound.h"
#include "quorlix/scene/Transform.h"

#include "../scene/SceneTestSupport.h"
#include "support/CountingNew.h"
#include "support/LogCapture.h"

#include <string>
#include <vector>

using namespace Quorlix;
using Internal::RenderEngineNull;
using QuorlixTest::LogCapture;

namespace {

using Call = RenderEngineNull::Call;

class RenderSystemFrame : public QuorlixTest::SceneTest {
protected:
    void SetUp() override {
        m_Engine = static_cast<RenderEngineNull*>(RenderEngine::CreateNull());
        m_Pipe = RenderPipe::Create();
        m_Pipe->AttachRenderEngine(m_Engine); // 640 x 480
        m_Channel = RenderChannel::Create();
        m_Channel->m_SceneRoot = m_Root.Get();
        m_Channel->m_Camera = m_Camera.Get();
        m_System = RenderSystem::Create();
        m_System->SetRenderPipe(m_Pipe);
        m_System->AddChannel(m_Channel);
        m_CameraTransform = Transform(m_Root, Vector3f::Zero);
        m_CameraTransform->AddChild(m_Camera);
        m_Engine->StartRecording(4096);
    }

    static Obj<TTransform> Transform(TBranch* parent, const Vector3f& at) {
        Obj<TTransform> t(TTransform::Create());
        static_cast<STransform*>(t->GetSNode())->SetTranslation(at);
        parent->AddChild(t);
        return t;
    }

    // A mesh of radius 1 around the origin of a transform at `at`.
    static Obj<TPolygonGeometry> Mesh(TBranch* parent, const Vector3f& at,
                                      RenderShader* shader = nullptr) {
        Obj<TPolygonGeometry> mesh(TPolygonGeometry::Create());
        Array<Vector3f> vertices;
        vertices.Add(Vector3f(-1, 0, 0));
        vertices.Add(Vector3f(1, 0, 0));
        static_cast<SPolygonGeometry*>(mesh->GetSNode())->SetVertexArray(vertices);
        mesh->m_Shader = shader;
        Transform(parent, at)->AddChild(mesh);
        return mesh;
    }

    static Obj<RenderShader> Shader(int layer) {
        Obj<RenderShader> shader(RenderShader::Create());
        shader->m_MultiDrawLayer = layer;
        return shader;
    }

    std::vector<Call> Calls(RenderEngineNull::Op op) const {
        std::vector<Call> calls;
        for (const Call& call : m_Engine->GetRecord()) {
            if (call.m_Op == op)
                calls.push_back(call);
        }
        return calls;
    }
    std::vector<const void*> Drawn() const {
        std::vector<const void*> drawn;
        for (const Call& call : Calls(RenderEngineNull::OpDrawGeometry))
            drawn.push_back(call.m_Object);
        return drawn;
    }
    void Frame(double time = 0.0, int updateOnly = 0) {
        m_Engine->StartRecording(4096);
        m_System->DrawTree(time, time, updateOnly);
    }

    Obj<TBranch> m_Root{TBranch::Create()};
    Obj<TCamera> m_Camera{TCamera::Create()};
    Obj<TTransform> m_CameraTransform;
    Obj<RenderPipe> m_Pipe;
    Obj<RenderChannel> m_Channel;
    Obj<RenderSystem> m_System;
    Obj<RenderEngineNull> m_Engine;
};

TEST_F(RenderSystemFrame, ChannelClampsViewportAndClippingWhenSet) {
    const auto* viewport = Member<Vector4f>(k_ClassRenderChannel, "Viewport");
    const auto* clipping = Member<Vector2f>(k_ClassRenderChannel, "Clipping");
    Obj<RenderChannel> c(RenderChannel::Create());
    c->Set(viewport, Vector4f(0.5f, 0.25f, 0.0f, 1.0f));
    EXPECT_EQ(c->Get(viewport), Vector4f(0.5f, 0.5f, 0.0f, 1.0f));
    c->Set(viewport, Vector4f(NAN, 2.0f, -1.0f, NAN));
    EXPECT_EQ(c->Get(viewport), Vector4f(0.0f, 1.0f, 0.0f, 0.0f));
    c->Set(clipping, Vector2f(0.0f, 10.0f));
    EXPECT_EQ(c->Get(clipping), Vector2f(1.5258789e-5f, 10.0f));
    c->Set(clipping, Vector2f(5.0f, 2.0f));
    EXPECT_EQ(c->Get(clipping), Vector2f(5.0f, 5.0f));
    c->Set(clipping, Vector2f(NAN, NAN));
    EXPECT_EQ(c->Get(clipping), Vector2f(1.5258789e-5f, 1.5258789e-5f));
    // Far follows the raised near, so a stored value set again stays as it is.
    c->Set(clipping, Vector2f(-5.0f, -3.0f));
    EXPECT_EQ(c->Get(clipping), Vector2f(1.5258789e-5f, 1.5258789e-5f));
    EXPECT_EQ(c->GetPassMask(), 1u);
    EXPECT_FALSE(c->GetForceTextureLoading());
}

TEST_F(RenderSystemFrame, LayersDrawInOrderAndSortedLayersByDepth) {
    Obj<RenderShader> glass = Shader(40);
    Obj<RenderShader> low = Shader(-7);   // into layer 0
    Obj<RenderShader> high = Shader(900); // into layer 63
    Obj<TPolygonGeometry> plain1 = Mesh(m_Root, Vector3f(0, 0, -10));
    Obj<TPolygonGeometry> nearGlass = Mesh(m_Root, Vector3f(1, 0, -5), glass);
    Obj<TPolygonGeometry> last = Mesh(m_Root, Vector3f(0, 1, -10), high);
    Obj<TPolygonGeometry> farGlass = Mesh(m_Root, Vector3f(0, 0, -30), glass);
    Obj<TPolygonGeometry> plain2 = Mesh(m_Root, Vector3f(-1, 0, -10));
    Obj<TPolygonGeometry> firstOne = Mesh(m_Root, Vector3f(0, -1, -10), low);
    // Any object may sit in Shader; only a RenderShader counts as one.
    Obj<TPolygonGeometry> odd = Mesh(m_Root, Vector3f(0, 2, -10));
    odd->m_Shader = Obj<ScriptObject>(RenderMaterial::Create());
    Frame();
    {
        const std::vector<const void*> expected = {firstOne, plain1,    plain2, odd,
                                                   farGlass, nearGlass, last};
        EXPECT_EQ(Drawn(), expected);
        EXPECT_EQ(m_System->GetTraverse().GetFiledCount(), 7);
        // The record's model-view is the placement's transform under the view.
        const std::vector<Call> draws = Calls(RenderEngineNull::OpDrawGeometry);
        EXPECT_EQ(draws[4].m_Layer, 40);
        EXPECT_EQ(draws[4].m_Matrix.Get(3, 2), -30.0f);
        EXPECT_EQ(draws[6].m_Layer, 63);
        EXPECT_EQ(draws[0].m_Layer, 0);
        // The base stage binds only when the shader changes: low, none, glass, high.
        const std::vector<Call> binds = Calls(RenderEngineNull::OpBindShaderBase);
        ASSERT_EQ(binds.size(), 4u);
        EXPECT_EQ(binds[1].m_Object, nullptr);
        EXPECT_EQ(binds[2].m_Object, glass.Get());
    }
    {
        // Accepted ambient and bump stages draw the geometry before its base stage.
        m_Engine->SetAcceptStages(true, true);
        Frame();
        EXPECT_EQ(Drawn().size(), 21u);
        m_Engine->SetAcceptStages(false, false);
    }
    {
        // Moving the near glass behind the far one reverses their order.
        static_cast<STransform*>(nearGlass->GetParent()->GetSNode())
            ->SetTranslation(Vector3f(1, 0, -50));
        Frame();
        const std::vector<const void*> drawn = Drawn();
        EXPECT_EQ(drawn[4], nearGlass.Get());
        EXPECT_EQ(drawn[5], farGlass.Get());
    }
}

TEST_F(RenderSystemFrame, CullingAndMasksDecideWhatIsFiled) {
    Obj<TPolygonGeometry> seen = Mesh(m_Root, Vector3f(0, 0, -10));
    Obj<TPolygonGeometry> behind = Mesh(m_Root, Vector3f(0, 0, 10));
    Obj<TPolygonGeometry> aside = Mesh(m_Root, Vector3f(100, 0, -10));
    Obj<TPolygonGeometry> beyond = Mesh(m_Root, Vector3f(0, 0, -2000));
    Obj<TPolygonGeometry> edge = Mesh(m_Root, Vector3f(0, 0, -0.9f)); // reaches past the near plane
    // Geometry without vertices to bound is never culled, wherever it is.
    Obj<TGeometry> unbounded(TGeometry::Create());
    Transform(m_Root, Vector3f(0, 0, 10))->AddChild(unbounded);
    Frame();
    {
        const std::vector<const void*> expected = {seen, edge, unbounded};
        EXPECT_EQ(Drawn(), expected);
        EXPECT_EQ(m_System->GetTraverse().GetCulledCount(), 3);
    }
    {
        // A static sphere replaces the vertex sphere: a large one keeps `aside`.
        aside->SetBoundingMode(TNode::BoundingStatic);
        aside->SetBoundingSphere(Spheref(Vector3f::Zero, 200.0f));
        // A subtree bound that lies outside the frustum hides the whole subtree.
        Obj<TTransform> group = Transform(m_Root, Vector3f(0, 0, 50));
        group->SetBoundingMode(TNode::BoundingStaticSubtree);
        group->SetBoundingSphere(Spheref(Vector3f::Zero, 5.0f));
        Obj<TPolygonGeometry> inGroup = Mesh(group, Vector3f(0, 0, -60)); // visible by itself
        Frame();
        const std::vector<const void*> expected = {seen, aside, edge, unbounded};
        EXPECT_EQ(Drawn(), expected);
        group->SetBoundingSphere(Spheref(Vector3f::Zero, 100.0f));
        Frame();
        EXPECT_EQ(Drawn().size(), 5u);
        group->SetParent(nullptr);
    }
    {
        // A narrower culling frustum is handed to the engine and culls more.
        m_Channel->m_CullFrustumFactor = 0.1f;
        Obj<TPolygonGeometry> off = Mesh(m_Root, Vector3f(4, 0, -10));
        Frame();
        ASSERT_EQ(Calls(RenderEngineNull::OpSetCullFrustumFactor).size(), 1u);
        EXPECT_EQ(Calls(RenderEngineNull::OpSetCullFrustumFactor)[0].m_Float, 0.1f);
        EXPECT_EQ(Drawn().size(), 4u);
        m_Channel->m_CullFrustumFactor = 1.0f;
        off->GetParent()->SetParent(nullptr);
    }
    {
        // Visibility against the channel's masks, for a node and for its subtree.
        seen->GetSNode()->SetVisibility(2);                        // outside DrawMask 1
        edge->GetParent()->GetSNode()->SetVisibility(0x80000001u); // excluded, with its child
        unbounded->GetSNode()->SetVisibility(0);                   // hidden
        m_Channel->m_DrawMask = 1;
        Frame();
        const std::vector<const void*> expected = {aside};
        EXPECT_EQ(Drawn(), expected);
        m_Channel->m_DrawMask = 3;
        m_Channel->m_ExcludeMask = 0;
        Frame();
        EXPECT_EQ(Drawn().size(), 3u);
    }
    {
        // An empty viewport: the engine gets it, and nothing is drawn.
        m_Channel->SetViewport(Vector4f(0.5f, 0.25f, 0.0f, 1.0f));
        Frame();
        const std::vector<Call> viewports = Calls(RenderEngineNull::OpSetViewport);
        ASSERT_EQ(viewports.size(), 2u); // the channel's, then the whole window's
        EXPECT_EQ(viewports[0].m_Int[0], 320);
        EXPECT_EQ(viewports[0].m_Int[2], 0);
        EXPECT_EQ(viewports[0].m_Int[3], 480);
        EXPECT_EQ(viewports[1].m_Int[2], 640);
        EXPECT_TRUE(Drawn().empty());
    }
}

TEST_F(RenderSystemFrame, ViewComesFromTheCameraWithoutItsScaling) {
    // Geometry without vertices is never culled, wherever the camera looks.
    Obj<TGeometry> thing(TGeometry::Create());
    Obj<TTransform> place = Transform(m_Root, Vector3f(1, 2, -10));
    place->AddChild(thing);
    auto& camera = *static_cast<STransform*>(m_CameraTransform->GetSNode());
    camera.SetTranslation(Vector3f(0, 1, 3));
    camera.SetRotation(Vector3f(10, 20, 0));
    Frame();
    ASSERT_EQ(Drawn().size(), 1u);
    const Matrix4f unscaled = Calls(RenderEngineNull::OpDrawGeometry)[0].m_Matrix;
    {
        // The placement's world matrix under the inverse of the camera's.
        Matrix4f view;
        ASSERT_TRUE(view.AssignInvertAffine(camera.GetLocalMatrix()));
        Matrix4f expected;
        expected.AssignMul(static_cast<STransform*>(place->GetSNode())->GetLocalMatrix(), view);
        EXPECT_TRUE(unscaled.EqualEpsilon(expected, 1e-5f));
    }
    camera.SetScaling(Vector3f(2, 2, 2));
    Frame();
    ASSERT_EQ(Drawn().size(), 1u);
    EXPECT_TRUE(Calls(RenderEngineNull::OpDrawGeometry)[0].m_Matrix.EqualEpsilon(unscaled, 1e-5f));
    {
        // The projection: a 60 degree field of view over a 2:1 viewport, near 1, far 100.
        static_cast<SCamera*>(m_Camera->GetSNode())->SetFieldOfView(60.0f);
        m_Channel->SetViewport(Vector4f(0.0f, 0.75f, 0.0f, 0.5f)); // 480 x 240
        m_Channel->SetClipping(Vector2f(1.0f, 100.0f));
        Frame();
        const float t = std::tan(30.0f * 0.017453292f);
        Matrix4f expected;
        expected.MakeFrustum(-2.0f * t, 2.0f * t, -t, t, 1.0f, 100.0f);
        ASSERT_EQ(Calls(RenderEngineNull::OpSetProjection).size(), 1u);
        EXPECT_TRUE(
            Calls(RenderEngineNull::OpSetProjection)[0].m_Matrix.EqualEpsilon(expected, 1e-5f));
    }
}

TEST_F(RenderSystemFrame, ParticlesAdvanceEveryFrameAndSoundsEightTimesASecond) {
    m_Root->AddChild(Obj<TParticles>(TParticles::Create()));
    m_Root->AddChild(Obj<TSoundEmitter>(TSoundEmitter::Create()));
    m_Root->AddChild(Obj<TSoundReceiver>(TSoundReceiver::Create()));
    Obj<TTransform> moving = Transform(m_Root, Vector3f(0, 0, -5));
    const RenderSystemTraverse_D& traverse = m_System->GetTraverse();
    for (int i = 0; i <= 120; ++i)
        m_System->DrawTree(i / 60.0, i / 30.0, 0);
    EXPECT_EQ(traverse.GetParticleAdvances(), 121);
    EXPECT_EQ(traverse.GetParticleTime(), 4.0);
    EXPECT_EQ(traverse.GetSoundUpdates(), 15); // every eighth frame, from 8/60 s on
    EXPECT_EQ(m_System->GetLastSoundUpdate(), 2.0);
    EXPECT_EQ(m_System->GetFrameCounter(), 121u);
    {
        // Update only: the scene moves, the engine hears nothing.
        m_Engine->ResetCounts();
        static_cast<STransform*>(moving->GetSNode())->SetTranslation(Vector3f(0, 0, -7));
        Frame(2.5, 1);
        EXPECT_EQ(moving->GetMatrixFrame(), m_System->GetFrameCounter());
        EXPECT_EQ(moving->GetModelViewMatrix().Get(3, 2), -7.0f);
        EXPECT_EQ(traverse.GetParticleAdvances(), 122);
        EXPECT_EQ(traverse.GetSoundUpdates(), 16);
        for (int op = 0; op < RenderEngineNull::OpCount; ++op)
            EXPECT_EQ(m_Engine->GetCount(static_cast<RenderEngineNull::Op>(op)), 0) << op;
    }
}

TEST_F(RenderSystemFrame, ClearsByChannelOrderAndRunsThePassesOfTheMask) {
    Mesh(m_Root, Vector3f(0, 0, -10));
    Obj<RenderChannel> off(RenderChannel::Create());
    off->m_Enable = false;
    off->m_ColorClearValue = Vector3f(1, 0, 0);
    Obj<RenderChannel> second(RenderChannel::Create());
    second->m_ColorClearValue = Vector3f(0, 0, 1);
    m_Channel->m_ColorClearValue = Vector3f(0, 1, 0);
    m_System->ClearChannels();
    m_System->AddChannel(off);
    m_System->AddChannel(m_Channel);
    m_System->AddChannel(second);
    {
        // ClearBuffers clears by the first enabled channel; DrawTree from the second on.
        m_Engine->StartRecording(16);
        m_System->ClearBuffers();
        ASSERT_EQ(Calls(RenderEngineNull::OpClearBuffers).size(), 1u);
        EXPECT_EQ(Calls(RenderEngineNull::OpClearBuffers)[0].m_Vector, Vector3f(0, 1, 0));
        Frame();
        ASSERT_EQ(Calls(RenderEngineNull::OpClearBuffers).size(), 1u);
        EXPECT_EQ(Calls(RenderEngineNull::OpClearBuffers)[0].m_Vector, Vector3f(0, 0, 1));
        m_System->RemoveChannel(second);
    }
    {
        // Without an enabled channel, or without an engine, ClearBuffers does nothing.
        m_Channel->m_Enable = false;
        m_Engine->StartRecording(16);
        m_System->ClearBuffers();
        m_Channel->m_Enable = true;
        m_Pipe->AttachRenderEngine(nullptr);
        m_System->ClearBuffers();
        m_Pipe->AttachRenderEngine(m_Engine);
        EXPECT_TRUE(m_Engine->GetRecord().empty());
    }
    {
        // Every pass of the mask, in the frame's order, each drawing the records once.
        m_Channel->SetPassMask(0x3F);
        Frame();
        std::vector<int> modes;
        for (const Call& call : m_Engine->GetRecord()) {
            if (call.m_Op == RenderEngineNull::OpSetGlobalMode)
                modes.push_back(call.m_Int[0]);
            else if (call.m_Op == RenderEngineNull::OpCloseGlobalModePair)
                modes.push_back(-1);
            else if (call.m_Op == RenderEngineNull::OpEndGlobalMode)
                modes.push_back(-2);
        }
        const std::vector<int> expected = {1, 2, 3, 4, 5, -1, 0, 1, -2};
        EXPECT_EQ(modes, expected);
        EXPECT_EQ(Drawn().size(), 6u);
        EXPECT_EQ(Calls(RenderEngineNull::OpSetLightCount).size(), 1u); // the lit pass only
        m_Channel->SetPassMask(0);
        Frame();
        EXPECT_TRUE(Drawn().empty());
    }
}

struct Progress : ProgressBar {
    void SetProgress(float fraction) override { m_Seen.push_back(fraction); }
    std::vector<float> m_Seen;
};

TEST_F(RenderSystemFrame, LightsFogAndForcedTextureLoading) {
    auto light = [&](SLight::Type type, const Vector3f& color, const Vector3f& at) {
        Obj<TLight> l(TLight::Create());
        auto* s = static_cast<SLight*>(l->GetSNode());
        s->SetType(type);
        s->SetColor(color);
        Transform(m_Root, at)->AddChild(l);
        return l;
    };
    light(SLight::Ambient, Vector3f(0.1f, 0.2f, 0.3f), Vector3f::Zero);
    Obj<TLight> sun = light(SLight::Directional, Vector3f(1, 1, 1), Vector3f(0, 5, 0));
    light(SLight::Ambient, Vector3f(0.1f, 0.1f, 0.1f), Vector3f::Zero);
    Obj<TLight> lamp = light(SLight::Point, Vector3f(1, 0, 0), Vector3f(0, 0, -4));
    Frame();
    {
        ASSERT_EQ(Calls(RenderEngineNull::OpSetAmbientColor).size(), 1u);
        EXPECT_TRUE(Calls(RenderEngineNull::OpSetAmbientColor)[0].m_Vector.EqualEpsilon(
            Vector3f(0.2f, 0.3f, 0.4f), 1e-6f));
        const std::vector<Call> lights = Calls(RenderEngineNull::OpSetLight);
        ASSERT_EQ(lights.size(), 2u);
        EXPECT_EQ(lights[0].m_Object, sun->GetSNode());
        EXPECT_EQ(lights[1].m_Int[0], 1);
        EXPECT_EQ(lights[1].m_Matrix.Get(3, 2), -4.0f);
        EXPECT_EQ(Calls(RenderEngineNull::OpSetLightCount)[0].m_Int[0], 2);
        // No fog: fog off for the scene, and off again for the widgets.
        const std::vector<Call> fogs = Calls(RenderEngineNull::OpSetFog);
        ASSERT_EQ(fogs.size(), 2u);
        EXPECT_EQ(fogs[0].m_Object, nullptr);
    }
    {
        Obj<TFog> fog(TFog::Create());
        m_Root->AddChild(fog);
        Frame();
        const std::vector<Call> fogs = Calls(RenderEngineNull::OpSetFog);
        ASSERT_EQ(fogs.size(), 2u);
        EXPECT_EQ(fogs[0].m_Object, fog->GetSNode());
        EXPECT_EQ(fogs[1].m_Object, nullptr);
    }
    {
        // Forced loading finds each texture of the scene's shaders once, hidden ones too, and
        // survives a layer that holds itself.
        Obj<Texture> wood(Texture::Create()), stone(Texture::Create());
        Obj<ShaderTexture> woodLookup(ShaderTexture::Create()),
            stoneLookup(ShaderTexture::Create());
        woodLookup->m_Texture = wood.Get();
        stoneLookup->m_Texture = stone.Get();
        Obj<ShaderLayer> layers(ShaderLayer::Create());
        layers->m_Layer.Add(Obj<ScriptObject>(woodLookup.Get()));
        layers->m_Layer.Add(Obj<ScriptObject>(layers.Get()));
        Obj<ShaderPhong> phong(ShaderPhong::Create());
        phong->m_Color = layers.Get();
        phong->m_Bump = stoneLookup.Get();
        Obj<RenderShader> shader = Shader(16);
        shader->m_Surface = phong.Get();
        Mesh(m_Root, Vector3f(0, 0, -10), shader);
        Obj<Texture> moss(Texture::Create());
        Obj<ShaderTexture> mossLookup(ShaderTexture::Create());
        mossLookup->m_Texture = moss.Get();
        Obj<RenderShader> hidden = Shader(16);
        hidden->m_Surface = mossLookup.Get();
        Mesh(m_Root, Vector3f(0, 0, 10), hidden)->GetSNode()->SetVisibility(0);
        Mesh(m_Root, Vector3f(0, 0, 10), shader);
        Obj<Progress> progress(NewObject<Progress>());
        m_System->SetProgressBar(progress);
        m_Channel->SetForceTextureLoading(true);
        m_Engine->SetTexturesPending(1); // the engine still loads: the request stays
        LogCapture log;
        Frame();
        EXPECT_EQ(Calls(RenderEngineNull::OpForceLoadTexture).size(), 3u);
        ASSERT_EQ(progress->m_Seen.size(), 3u);
        EXPECT_EQ(progress->m_Seen.back(), 1.0f);
        EXPECT_TRUE(m_Channel->GetForceTextureLoading());
        const std::vector<std::string> messages = log.Messages();
        ASSERT_EQ(messages.size(), 2u);
        EXPECT_EQ(messages[0], "[Debug]ForceTextureLoading...");
        EXPECT_EQ(messages[1].rfind("[Debug]ForceTextureLoading complete in ", 0), 0u);
        EXPECT_NE(messages[1].find(" ms (3 tex)."), std::string::npos) << messages[1];
        m_Engine->SetTexturesPending(0);
        Frame();
        EXPECT_FALSE(m_Channel->GetForceTextureLoading());
        // Shaders hold a cycle; break it so that the objects go.
        layers->m_Layer.Resize(1);
    }
}

TEST_F(RenderSystemFrame, ReportsAMissingPipeAndNodesThatWaitForever) {
    {
        Obj<RenderSystem> lone(RenderSystem::Create());
        LogCapture log;
        lone->DrawTree(0.0, 0.0, 0);
        lone->ClearBuffers();
        EXPECT_EQ(log.Messages(),
                  (std::vector<std::string>{"[Error]no RenderPipe connected to RenderSystem."}));
        EXPECT_EQ(lone->GetFrameCounter(), 1u);
    }
    {
        // The camera's transform, constrained to a hidden target, waits in both passes until
        // the bound.
        Obj<TTransform> target = Transform(m_Root, Vector3f(0, 3, 0));
        target->GetSNode()->SetVisibility(0x40000000u);
        TTransform* follower = m_CameraTransform;
        follower->SetName("follower");
        Obj<ScriptObject> glue = ScriptObject::Create(BuiltinTypeID(k_ClassTransformConstraint));
        glue->Set(Member<ScriptObject*, true>(k_ClassConstraint, "TargetArray"), 0, target.Get());
        follower->Set(Member<ScriptObject*, true>(k_ClassTBaseTransform, "ConstraintArray"), 0,
                      glue.Get());
        m_Channel->m_ExcludeMask = 0x40000000u;
        LogCapture log;
        Frame();
        const std::vector<std::string> expected = {
            "[FATAL]RenderSystemTraverse_D: DependantP1 infinite recursion.",
            "[Debug]Node: \"follower\".",
            "[FATAL]RenderSystemTraverse_D: DependantP2 infinite recursion.",
            "[Debug]Node: \"follower\".",
        };
        EXPECT_EQ(log.Messages(), expected);
        // The frame goes on.
        EXPECT_EQ(Calls(RenderEngineNull::OpEndGlobalMode).size(), 1u);
    }
}

TEST_F(RenderSystemFrame, FramesAfterTheFirstAllocateNothing) {
    // A scene with something for every list of the frame.
    Obj<RenderShader> glass = Shader(40);
    for (int i = 0; i < 50; ++i) {
        Obj<TTransform> group = Transform(m_Root, Vector3f(float(i % 7), 0, -float(i)));
        for (int j = 0; j < 4; ++j)
            Mesh(group, Vector3f(0, float(j), -5), j == 3 ? glass.Get() : nullptr);
    }
    Obj<TLight> lamp(TLight::Create());
    m_Root->AddChild(lamp);
    m_Root->AddChild(Obj<TFog>(TFog::Create()));
    m_Root->AddChild(Obj<TParticles>(TParticles::Create()));
    m_Root->AddChild(Obj<TSoundEmitter>(TSoundEmitter::Create()));
    Obj<RenderChannel> second(RenderChannel::Create());
    second->m_SceneRoot = m_Root.Get();
    second->SetPassMask(0x3F);
    m_System->AddChannel(second);
    m_Engine->StopRecording();
    // The first frame, and the first sound update, which meets the emitter.
    m_System->DrawTree(0.0, 0.0, 0);
    m_System->DrawTree(0.125, 0.125, 0);
    const uint64_t blocks = Memory::GetBlockAllocationCount();
    const uint64_t news = QuorlixTest::GlobalNewCount();
    for (int i = 2; i <= 11; ++i)
        m_System->DrawTree(i * 0.1, i * 0.1, i % 3 == 0);
    EXPECT_EQ(Memory::GetBlockAllocationCount() - blocks, 0u);
    EXPECT_EQ(QuorlixTest::GlobalNewCount() - news, 0u);
    EXPECT_GT(m_System->GetTraverse().GetFiledCount(), 100);
}

TEST(RenderStatistics, FiguresFollowFramesAndTextures) {
    Obj<RenderStatistics> s(RenderStatistics::Create());
    EXPECT_EQ(s->GetFPSAverage(), 0.0f);
    for (int i = 0; i < 40; ++i) {
        s->BeginFrame(10.0 + i * 0.02);
        s->AddTriangles(100);
        s->AddTriangles(-5); // ignored
        s->AddTextureActive(1024);
        s->EndFrame();
    }
    EXPECT_NEAR(s->GetFPSAverage(), 50.0f, 0.01f);
    EXPECT_EQ(s->GetTrianglesPerFrame(), 100);
    EXPECT_EQ(s->GetTextureMemoryActive(), 1024);
    s->BeginFrame(5.0); // the clock went back: start afresh
    EXPECT_EQ(s->GetFPSAverage(), 0.0f);
    s->TextureLoaded(4096);
    s->TextureLoaded(1000);
    s->TextureReleased(4096);
    s->TextureReleased(1 << 20); // never below 0
    s->TextureReleased(0);
    EXPECT_EQ(s->GetTextureMemoryCount(), 0);
    EXPECT_EQ(s->GetTextureMemoryUsage(), 0);
}

} // namespace
