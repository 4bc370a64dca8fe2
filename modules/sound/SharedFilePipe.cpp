#include "SharedFilePipe.h"

#include "quorlix/stream/Storage.h"
#include "quorlix/stream/StreamPipeNull.h"

#include <climits>
#include <cstring>
#include <map>
#include <mutex>
#include <string>

namespace Quorlix::DX8 {

namespace {

using Content = SharedFilePipe::Content;

// Keyed by this thread's read path and the path; an entry lives as long as one of its pipes.
std::mutex g_Lock;
std::map<std::string, std::weak_ptr<const Content>> g_Files;

bool SameFile(const Content& content, int64_t size, uint64_t written) noexcept {
    return int64_t(content.m_Bytes.size()) == size && content.m_Written == written;
}

} // namespace

StreamPipe* SharedFilePipe::Open(const StringRef& path) {
    Obj<StreamPipe> file(Storage::OpenStream(path, IORead | Storage::k_QuietNotFound));
    if (!file || file.Get() == StreamPipeNull::GetSingleton())
        return nullptr;
    Content found;
    file->GetFileTime(found.m_Created, found.m_Accessed, found.m_Written);
    // A compressed archive member cannot seek to its end: it goes as it is.
    const int64_t size = file->Seek(0, SeekEnd);
    if (size < 0)
        return file.Handover();
    if (size == 0 || size > k_MaxBytes || found.m_Written == 0) {
        file->Seek(0, SeekBegin);
        return file.Handover();
    }
    const std::string key = std::string(Storage::GetReadPath().GetCPtr()) + '\n' +
                            std::string(path.GetCPtr(), size_t(path.Size()));
    {
        std::lock_guard<std::mutex> guard(g_Lock);
        const auto it = g_Files.find(key);
        if (it != g_Files.end()) {
            std::shared_ptr<const Content> content = it->second.lock();
            if (content && SameFile(*content, size, found.m_Written))
                return NewObject<SharedFilePipe>(std::move(content));
        }
    }
    // Not make_shared: its control block brings std's type_info calls into the exports.
    std::shared_ptr<Content> content(new Content(std::move(found)));
    content->m_Bytes.resize(size_t(size));
    if (file->Seek(0, SeekBegin) != 0 ||
        ReadFully(*file, content->m_Bytes.data(), int(size)) != int(size) ||
        file->Seek(0, SeekBegin) != 0)
        return file.Handover(); // the decoder meets whatever went wrong itself
    {
        std::lock_guard<std::mutex> guard(g_Lock);
        for (auto it = g_Files.begin(); it != g_Files.end();)
            it = it->second.expired() ? g_Files.erase(it) : std::next(it);
        g_Files[key] = content;
    }
    return NewObject<SharedFilePipe>(std::move(content));
}

SharedFilePipe::SharedFilePipe(std::shared_ptr<const Content> content) noexcept
    : m_Content(std::move(content)) {}

int SharedFilePipe::Read(void* buffer, int n) {
    CriticalSectionLock lock(m_Section);
    const int available = Size() - m_Position;
    if (buffer == nullptr || n <= 0 || available <= 0)
        return 0;
    const int count = n < available ? n : available;
    std::memcpy(buffer, m_Content->m_Bytes.data() + m_Position, size_t(count));
    m_Position += count;
    return count;
}

int SharedFilePipe::Read() {
    CriticalSectionLock lock(m_Section);
    return m_Position < Size() ? m_Content->m_Bytes[size_t(m_Position++)] : -1;
}

int SharedFilePipe::PeekAt(int offset) {
    CriticalSectionLock lock(m_Section);
    if (offset < 0)
        return -1;
    const int64_t at = int64_t(m_Position) + offset;
    return at < Size() ? m_Content->m_Bytes[size_t(at)] : -1;
}

int SharedFilePipe::Skip(int n) {
    CriticalSectionLock lock(m_Section);
    const int available = Size() - m_Position;
    if (n <= 0 || available <= 0)
        return 0;
    const int count = n < available ? n : available;
    m_Position += count;
    return count;
}

int64_t SharedFilePipe::Seek(int64_t offset, int origin) {
    CriticalSectionLock lock(m_Section);
    int64_t base = 0;
    switch (origin) {
    case SeekBegin:
        break;
    case SeekCurrent:
        base = m_Position;
        break;
    case SeekEnd:
        base = Size();
        break;
    default:
        return -1;
    }
    if (offset > INT_MAX || offset < -int64_t(INT_MAX))
        return -1;
    const int64_t position = base + offset;
    if (position < 0 || position > Size())
        return -1;
    m_Position = static_cast<int>(position);
    return position;
}

void SharedFilePipe::GetFileTime(uint64_t& created, uint64_t& accessed, uint64_t& written) {
    created = m_Content->m_Created;
    accessed = m_Content->m_Accessed;
    written = m_Content->m_Written;
}

} // namespace Quorlix::DX8
