#pragma once
// A texture's load job and the list of jobs that run on threads. The list owns every threaded
// job until the host's thread reaps it, so the texture reference a job holds is always dropped
// on the host's thread: a texture destructor never runs on a job's thread.

#include "quorlix/core/String.h"
#include "quorlix/image/Image.h"
#include "quorlix/platform/Thread.h"
#include "quorlix/render/Texture.h"

#include <atomic>

namespace Quorlix::Internal {

struct TextureLoadJob {
    Obj<Texture> m_Texture;
    Obj<Image> m_Image; // null until the job ends
    bool m_Threaded = false;
    String m_FileName;
    String m_ImagePath;
    bool m_MipMap = false; // the texture's MipMapEnable when the request was made
    Platform::JoinableThread* m_Thread = nullptr;
    // Set by the job's thread as its very last store; the reaper joins only finished jobs.
    std::atomic<bool> m_Finished{false};
    TextureLoadJob* m_Next = nullptr; // in the threaded-jobs list

    /// Reads the image, hands it to the texture and publishes state 3.
    void Run();
};

} // namespace Quorlix::Internal
