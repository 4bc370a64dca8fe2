#pragma once
// The names of textures released while an engine held them. The Texture destructor may run on
// any thread; GL names can only be deleted on the thread of their context, so destructors list
// them here and each engine deletes its own names at the start of a frame. Locked; any thread.

#include <cstdint>
#include <vector>

namespace Quorlix::Internal {

/// Lists `name` of the engine `owner` (engine identities are never 0).
void ListReleasedTexture(uint32_t name, uint32_t owner) noexcept;
/// Moves the names listed for `owner` to the end of `out`; `out` keeps its capacity, so a
/// frame with nothing released allocates nothing.
void TakeReleasedTextures(uint32_t owner, std::vector<uint32_t>& out);
/// A new engine identity, never 0 and never handed out twice.
uint32_t NewTextureOwner() noexcept;

} // namespace Quorlix::Internal
