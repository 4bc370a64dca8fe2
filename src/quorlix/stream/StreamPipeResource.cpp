#include "quorlix/stream/StreamPipeResource.h"

#include "quorlix/platform/ModuleResource.h"

#include <cstdint>
#include <cstring>
#include <string_view>

namespace Quorlix {

StreamPipeResource* StreamPipeResource::Create(const char* path, unsigned mode) {
    return NewObject<StreamPipeResource>(path, mode);
}

StreamPipeResource::StreamPipeResource(const char* path, unsigned mode) {
    // Resources cannot be created or truncated.
    if (path == nullptr || (mode & 12) != 0)
        return;
    const std::string_view whole(path);
    const size_t slash = whole.rfind('/');
    if (slash == std::string_view::npos)
        return;
    const std::string_view module = whole.substr(0, slash);
    std::string_view name = whole.substr(slash + 1);
    if (module.size() > k_MaxPart || name.size() > k_MaxPart)
        return;
    name = name.substr(0, name.find('.'));
    Platform::ModuleResource resource;
    if (!Platform::FindModuleResource(module, name, resource))
        return;
    if (resource.m_Size > static_cast<size_t>(INT64_MAX)) {
        Platform::ReleaseModuleResource(resource);
        return;
    }
    m_Data = resource.m_Data;
    m_Size = static_cast<int64_t>(resource.m_Size);
    m_Module = resource.m_Module;
}

StreamPipeResource::~StreamPipeResource() {
    Platform::ModuleResource resource{m_Data, static_cast<size_t>(m_Size), m_Module};
    Platform::ReleaseModuleResource(resource);
}

int StreamPipeResource::Read(void* buffer, int n) {
    CriticalSectionLock lock(m_Section);
    if (buffer == nullptr || n <= 0 || m_Position >= m_Size)
        return 0;
    const int64_t available = m_Size - m_Position;
    const int count = n < available ? n : static_cast<int>(available);
    std::memcpy(buffer, m_Data + m_Position, static_cast<size_t>(count));
    m_Position += count;
    return count;
}

int StreamPipeResource::Read() {
    CriticalSectionLock lock(m_Section);
    return m_Position < m_Size ? m_Data[m_Position++] : -1;
}

int StreamPipeResource::Peek() {
    return PeekAt(0);
}

int StreamPipeResource::PeekAt(int offset) {
    CriticalSectionLock lock(m_Section);
    if (offset < 0 || offset >= m_Size - m_Position)
        return -1;
    return m_Data[m_Position + offset];
}

int StreamPipeResource::Skip(int n) {
    CriticalSectionLock lock(m_Section);
    if (n <= 0 || m_Position >= m_Size)
        return 0;
    const int64_t available = m_Size - m_Position;
    const int count = n < available ? n : static_cast<int>(available);
    m_Position += count;
    return count;
}

int64_t StreamPipeResource::Seek(int64_t offset, int origin) {
    CriticalSectionLock lock(m_Section);
    int64_t target;
    bool overflow;
    switch (origin) {
    case SeekBegin:
        target = offset, overflow = false;
        break;
    case SeekCurrent:
        overflow = __builtin_add_overflow(m_Position, offset, &target);
        break;
    case SeekEnd:
        overflow = __builtin_sub_overflow(m_Size, offset, &target);
        break;
    default:
        return -1;
    }
    if (overflow || target < 0 || target >= m_Size)
        return -1;
    m_Position = target;
    return target;
}

} // namespace Quorlix
