#include "quorlix/library/internal/LifecycleSteps.h"

#include "quorlix/library/Library.h"
#include "quorlix/library/SceneClasses.h"

#include "quorlix/script/ClassTable.h"
#include "quorlix/stream/Storage.h"

#include <atomic>
#include <iterator>

namespace Quorlix::Internal {

namespace {

// The order matters: the system classes need the master arrays, the scene classes derive from
// them, the member hashes need every class, and storage closes its archives before the class tables
// go.
constexpr LifecycleStep k_Initialize[] = {
    {"CreateMasterCVTBL", &CreateMasterCVTBL},
    {"InitializeSystemClasses", &InitializeSystemClasses},
    {"InitializeSceneClasses", &InitializeSceneClasses},
    {"CreateMasterCVTBLHash", &CreateMasterCVTBLHash},
};

constexpr LifecycleStep k_ReleaseThread[] = {
    {"ExitStorage(0)", [] { ExitStorage(0); }},
};

constexpr LifecycleStep k_DeInitialize[] = {
    {"ExitStorage(1)", [] { ExitStorage(1); }},
    {"UnInitializeSceneClasses", &UnInitializeSceneClasses},
    {"DeleteMasterCVTBL", &DeleteMasterCVTBL},
};

} // namespace

constinit std::atomic<LifecycleObserver> G_Observer{nullptr};

LifecycleStepList InitializeSteps() {
    return {k_Initialize, std::size(k_Initialize)};
}

LifecycleStepList ReleaseThreadSteps() {
    return {k_ReleaseThread, std::size(k_ReleaseThread)};
}

LifecycleStepList DeInitializeSteps() {
    return {k_DeInitialize, std::size(k_DeInitialize)};
}

void RunLifecycleSteps(LifecycleStepList steps) {
    for (size_t i = 0; i < steps.m_Count; ++i) {
        if (LifecycleObserver observer = G_Observer.load())
            observer(steps.m_Steps[i].m_Name);
        steps.m_Steps[i].m_Run();
    }
}

} // namespace Quorlix::Internal

namespace Quorlix {

LifecycleObserver SetLifecycleObserver(LifecycleObserver observer) {
    return Internal::G_Observer.exchange(observer);
}

} // namespace Quorlix
