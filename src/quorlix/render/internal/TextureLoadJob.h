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
    // Set when the texture is a tile texture without tiles: the job reads m_FileName + ".txf".
    bool m_ReadTiles = false;
    // The tiles read, in texture coordinates; the host's thread copies them into the texture
    // (ApplyTiles), since the job's thread must not write a member the host may be reading.
    Array<Vector2f> m_TileTexCoords;
    Platform::JoinableThread* m_Thread = nullptr;
    // Set by the job's thread as its very last store; the reaper joins only finished jobs.
    std::atomic<bool> m_Finished{false};
    TextureLoadJob* m_Next = nullptr; // in the threaded-jobs list

    /// Reads the image (and the tile list), hands the image to the texture, publishes state 3.
    void Run();
    /// On the host's thread after Run: stores the tiles read in a tile texture that still has
    /// none.
    void ApplyTiles();
};

} // namespace Quorlix::Internal
