#include "quorlix/animation/AnimationSystem.h"

#include "quorlix/animation/AnimationClassIndex.h"
#include "quorlix/script/ScriptTypes.h"

#include <unordered_set>

namespace Quorlix {

namespace {

template <class T>
void AddIf(ScriptObject* object, int c, Array<Obj<T>>& out) {
    if (object->IsA(BuiltinTypeID(c)))
        out.Add(Obj<T>(static_cast<T*>(object)));
}

} // namespace

AnimationSystem::AnimationSystem(const ScriptNamespace* ns) {
    Collect(ns);
}

void AnimationSystem::Collect(const ScriptNamespace* ns) {
    m_Schedulers.Clear();
    m_PoseBlends.Clear();
    m_ParentManagers.Clear();
    if (ScriptNamespace::IsNil(ns))
        return;
    Array<Obj<ScriptObject>> objects;
    ns->GetObjectList(objects, 1);
    // An object named twice, or named and numbered, is listed once for each record.
    std::unordered_set<const ScriptObject*> seen;
    for (const Obj<ScriptObject>& object : objects) {
        if (!object || object->IsNil() || !seen.insert(object.Get()).second)
            continue;
        AddIf(object.Get(), k_ClassAnimationScheduler, m_Schedulers);
        AddIf(object.Get(), k_ClassPoseBlend, m_PoseBlends);
        AddIf(object.Get(), k_ClassParentManager, m_ParentManagers);
    }
}

void AnimationSystem::AdvanceFrame(double time) {
    for (const Obj<AnimationScheduler>& scheduler : m_Schedulers)
        scheduler->AdvanceFrame(time);
    for (const Obj<PoseBlend>& blend : m_PoseBlends)
        blend->AdvanceFrame();
    for (const Obj<ParentManager>& manager : m_ParentManagers)
        manager->AdvanceFrame();
}

} // namespace Quorlix
