#pragma once
// A render system that draws one scene through one camera on a pipe of its own: what the sound
// tests need to run the frame loop's sound step.

#include "quorlix/render/RenderChannel.h"
#include "quorlix/render/RenderPipe.h"
#include "quorlix/render/RenderSystem.h"

namespace QuorlixTest {

inline Quorlix::Obj<Quorlix::RenderSystem> MakeSceneSystem(Quorlix::TNode* root,
                                                           Quorlix::TNode* camera) {
    Quorlix::Obj<Quorlix::RenderChannel> channel(Quorlix::RenderChannel::Create());
    channel->m_SceneRoot = root;
    channel->m_Camera = camera;
    Quorlix::Obj<Quorlix::RenderPipe> pipe(Quorlix::RenderPipe::Create());
    Quorlix::Obj<Quorlix::RenderSystem> system(Quorlix::RenderSystem::Create());
    system->SetRenderPipe(pipe);
    system->AddChannel(channel);
    return system;
}

} // namespace QuorlixTest
