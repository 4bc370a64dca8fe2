#include "quorlix/stream/StreamPipeNull.h"

#include <cstddef>
#include <new>

namespace Quorlix {

namespace {

// The singleton lives in static storage behind a counted header like the static empty
// blocks: its count starts at 0x40000000 and revives should it ever reach zero, so handles
// take and drop it freely. It is never destroyed, so it outlives every static destructor
// that may still write to it.
struct alignas(16) NullPipeBlock {
    BlockHeader m_Header;
    alignas(16) unsigned char m_Payload[sizeof(StreamPipeNull)];
};
static_assert(offsetof(NullPipeBlock, m_Payload) == sizeof(BlockHeader));

constinit NullPipeBlock G_NullPipeBlock{
    {nullptr, 0, k_StaticBlockRefCount, &G_StaticBlockTypeInfo, 1, 1}, {}};

StreamPipeNull* ConstructSingleton() {
    return new (G_NullPipeBlock.m_Payload) StreamPipeNull;
}

} // namespace

StreamPipeNull* StreamPipeNull::Create() {
    return NewObject<StreamPipeNull>();
}

StreamPipeNull* StreamPipeNull::GetSingleton() noexcept {
    static StreamPipeNull* const s_Singleton = ConstructSingleton();
    return s_Singleton;
}

} // namespace Quorlix
