#include "quorlix/render/RenderSystem.h"

#include "quorlix/render/RenderSystemTraverse.h"

namespace Quorlix {

RenderSystem* RenderSystem::Create() {
    return NewObject<RenderSystem>();
}

RenderSystem::RenderSystem() : m_Traverse(std::make_unique<RenderSystemTraverse_D>(*this)) {}
RenderSystem::~RenderSystem() = default;

void RenderSystem::AddChannel(RenderChannel* channel) {
    if (channel != nullptr)
        m_Channels.Add(Obj<RenderChannel>(channel));
}

bool RenderSystem::RemoveChannel(const RenderChannel* channel) {
    bool found = false;
    const Array<Obj<RenderChannel>>& channels = m_Channels;
    for (int i = channels.Size(); i-- > 0;) {
        if (channels[i].Get() == channel) {
            m_Channels.Remove(i);
            found = true;
        }
    }
    return found;
}

void RenderSystem::ClearBuffers() {
    if (!m_RenderPipe)
        return;
    const Obj<RenderEngine> engine(m_RenderPipe->GetRenderEngine());
    if (!engine)
        return;
    for (const Obj<RenderChannel>& channel : m_Channels) {
        if (channel && channel->m_Enable) {
            engine->ClearBuffers(channel->GetClearBlock());
            return;
        }
    }
}

void RenderSystem::DrawTree(double time, double particleTime, int updateOnly) {
    m_Traverse->DrawTree(time, particleTime, updateOnly);
}

} // namespace Quorlix
