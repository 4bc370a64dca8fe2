#include "quorlix/sound/AudioSrcFile.h"

#include "quorlix/log/LogStream.h"
#include "quorlix/platform/DynamicLibrary.h"
#include "quorlix/platform/Memory.h"
#include "quorlix/platform/Process.h"
#include "quorlix/sound/internal/SoundModule.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace Quorlix {

namespace {

using AudioSrcFileFactory = AudioSrcFile* (*)(const StringRef&, int64_t&, AudioSrcFile::CacheMode);

// Whole-file decoding asks for this much per call.
constexpr int32_t k_DecodeChunk = 1 << 20;

void LogFileError(const char* what, int64_t number, const char* rest) {
    Xerr.pLockError() << what << number << rest;
    Xerr.pLF();
    Xerr.pUnlockMessage();
}

} // namespace

AudioSrcFile* AudioSrcFile::Create(const StringRef& path, int64_t& size, CacheMode cacheMode) {
    size = 0;
    const Internal::SoundModule module =
        Internal::LoadSoundModule("AudioSrcFile::Create", Internal::SoundFactory::AudioFile);
    if (module.m_Library == nullptr)
        return nullptr;
    const auto factory = reinterpret_cast<AudioSrcFileFactory>(module.m_Factory);
    int64_t reported = 0;
    AudioSrcFile* file = factory(path, reported, cacheMode);
    if (file == nullptr) {
        Platform::UnloadDynamicLibrary(module.m_Library);
        return nullptr;
    }
    AttachSoundObject(file, module.m_Library, nullptr);
    // What the file holds, whatever the module reported.
    size = file->GetSize();
    return file;
}

AudioSrcFile::~AudioSrcFile() {
    for (Cursor& c : m_Cursors)
        Platform::FreePages(c.m_Cache, k_CacheBytes);
}

uint64_t AudioSrcFile::FrameBytes() const noexcept {
    return uint64_t(m_Channels) * (m_BitsPerSample / 8);
}

int32_t AudioSrcFile::CacheCapacity() const noexcept {
    const uint64_t frame = FrameBytes();
    if (frame == 0 || frame > uint64_t(k_CacheBytes))
        return 0;
    return static_cast<int32_t>(k_CacheBytes / frame * frame);
}

AudioSrcFile::Cursor* AudioSrcFile::FindCursor(int cursor) noexcept {
    if (cursor < 0 || cursor >= static_cast<int>(m_Cursors.size()))
        return nullptr;
    return &m_Cursors[static_cast<size_t>(cursor)];
}

const AudioSrcFile::Cursor* AudioSrcFile::FindCursor(int cursor) const noexcept {
    return const_cast<AudioSrcFile*>(this)->FindCursor(cursor);
}

bool AudioSrcFile::HasData(const Cursor& c) const noexcept {
    if (c.m_Whole)
        return m_CacheMode == CacheWholeFile;
    return c.m_Cache != nullptr && CacheCapacity() > 0;
}

int64_t AudioSrcFile::PositionOf(const Cursor& c) const noexcept {
    return c.m_Whole ? c.m_Position : c.m_FilePos - c.m_Fill + c.m_Offset;
}

// Fills a streaming cache so that the cursor stands at `position`. The decoder is asked from
// the frame that holds the position; when it delivers nothing there (the end, or an error) the
// cache is left empty at `position`, so that position = file position - fill + offset holds.
void AudioSrcFile::Refill(Cursor& c, int64_t position) {
    const int64_t frame = static_cast<int64_t>(FrameBytes());
    const int64_t start = position - position % frame;
    const int32_t capacity = CacheCapacity();
    int32_t got = 0;
    if (start < m_Size) {
        if (m_CacheMode == CacheWholeFile) {
            const int64_t available = static_cast<int64_t>(m_Whole.size()) - start;
            got = static_cast<int32_t>(std::clamp<int64_t>(available, 0, capacity));
            if (got > 0)
                std::memcpy(c.m_Cache, m_Whole.data() + start, static_cast<size_t>(got));
        } else {
            got = FillCache(c.m_Cache, start, capacity);
            if (got < 0 || got > capacity)
                got = 0; // a decoding error ends what this cursor can read here
        }
    }
    if (got > position - start) {
        c.m_FilePos = start + got;
        c.m_Fill = got;
        c.m_Offset = static_cast<int32_t>(position - start);
    } else {
        c.m_FilePos = position;
        c.m_Fill = 0;
        c.m_Offset = 0;
    }
}

int64_t AudioSrcFile::MoveTo(Cursor& c, int64_t position) {
    if (c.m_Whole)
        c.m_Position = position;
    else
        Refill(c, position);
    return position;
}

int AudioSrcFile::Read(void* buffer, int bytes, int cursor) {
    std::lock_guard<std::mutex> guard(m_Lock);
    Cursor* c = FindCursor(cursor);
    if (c == nullptr || !HasData(*c) || bytes < 0)
        return -1;
    if (bytes > 0 && buffer == nullptr)
        return -1;
    unsigned char* out = static_cast<unsigned char*>(buffer);
    if (c->m_Whole) {
        // The buffer, not the size, bounds the copy: a module may announce whole-file mode
        // without decoding.
        const int64_t rest =
            std::max<int64_t>(static_cast<int64_t>(m_Whole.size()) - c->m_Position, 0);
        const int count = static_cast<int>(std::min<int64_t>(bytes, rest));
        if (count > 0)
            std::memcpy(out, m_Whole.data() + c->m_Position, static_cast<size_t>(count));
        c->m_Position += count;
        return count;
    }
    int copied = 0;
    while (copied < bytes) {
        if (c->m_Offset == c->m_Fill) {
            const int64_t position = PositionOf(*c);
            if (position >= m_Size)
                break;
            Refill(*c, position);
            if (c->m_Fill == 0)
                break; // the real end came before the announced size
        }
        const int count = std::min(bytes - copied, c->m_Fill - c->m_Offset);
        std::memcpy(out + copied, c->m_Cache + c->m_Offset, static_cast<size_t>(count));
        c->m_Offset += count;
        copied += count;
    }
    return copied;
}

int64_t AudioSrcFile::PeekAt(int64_t position, int cursor) {
    std::lock_guard<std::mutex> guard(m_Lock);
    Cursor* c = FindCursor(cursor);
    if (c == nullptr || !HasData(*c) || position < 0 || position > m_Size)
        return -1;
    return MoveTo(*c, position);
}

int64_t AudioSrcFile::Skip(int64_t bytes, int cursor) {
    std::lock_guard<std::mutex> guard(m_Lock);
    Cursor* c = FindCursor(cursor);
    if (c == nullptr || !HasData(*c) || bytes < 0)
        return -1;
    const int64_t position = PositionOf(*c);
    // A short move stays in the cache; anything longer refills from where the cursor stands
    // plus the move (not from where the cache ends).
    if (!c->m_Whole && bytes <= (c->m_Fill - c->m_Offset) / 2) {
        c->m_Offset += static_cast<int32_t>(bytes);
        return position + bytes;
    }
    const int64_t rest = std::max<int64_t>(m_Size - position, 0);
    return MoveTo(*c, position + std::min(bytes, rest));
}

int64_t AudioSrcFile::GetCurrentPos(int cursor) const {
    std::lock_guard<std::mutex> guard(m_Lock);
    const Cursor* c = FindCursor(cursor);
    if (c == nullptr || !HasData(*c))
        return -1;
    return PositionOf(*c);
}

void AudioSrcFile::Clear(int cursor) {
    std::lock_guard<std::mutex> guard(m_Lock);
    Cursor* c = FindCursor(cursor);
    if (c != nullptr && HasData(*c))
        MoveTo(*c, 0);
}

int AudioSrcFile::AddModePointer() {
    std::lock_guard<std::mutex> guard(m_Lock);
    const int number = static_cast<int>(m_Cursors.size());
    Cursor c;
    c.m_Cache = static_cast<unsigned char*>(Platform::AllocatePages(k_CacheBytes));
    if (c.m_Cache == nullptr) {
        const int error = errno;
        Xerr.pLockError() << "AudioSrcFile_D::AddModePointer: can't alloc memory for cache["
                          << number << "].";
        Xerr.pLF();
        Xerr << "    Error:" << Platform::SystemErrorText(error).c_str();
        Xerr.pLF();
        Xerr.pUnlockMessage();
    }
    m_Cursors.push_back(c);
    if (HasData(m_Cursors.back()))
        Refill(m_Cursors.back(), 0);
    return number;
}

int AudioSrcFile::AddModeAll() {
    std::lock_guard<std::mutex> guard(m_Lock);
    Cursor c;
    c.m_Whole = true;
    m_Cursors.push_back(c);
    return static_cast<int>(m_Cursors.size()) - 1;
}

void AudioSrcFile::GetSrcFormat(uint32_t& samplesPerSecond, uint32_t& bitsPerSample,
                                uint32_t& channels) const noexcept {
    samplesPerSecond = m_SamplesPerSecond;
    bitsPerSample = m_BitsPerSample;
    channels = m_Channels;
}

double AudioSrcFile::GetPlayTime() const noexcept {
    const double bytesPerSecond = double(m_SamplesPerSecond) * double(FrameBytes());
    return bytesPerSecond > 0.0 ? double(m_Size) / bytesPerSecond : 0.0;
}

void AudioSrcFile::SetFormat(uint32_t samplesPerSecond, uint32_t bitsPerSample, uint32_t channels,
                             FileType fileType, CacheMode cacheMode, int64_t size) noexcept {
    std::lock_guard<std::mutex> guard(m_Lock);
    m_SamplesPerSecond = samplesPerSecond;
    m_BitsPerSample = bitsPerSample;
    m_Channels = channels;
    m_FileType = fileType;
    m_CacheMode = cacheMode;
    m_Size = std::max<int64_t>(size, 0);
}

bool AudioSrcFile::DecodeWholeFile() {
    std::lock_guard<std::mutex> guard(m_Lock);
    const uint64_t frame = FrameBytes();
    if (frame == 0 || frame > uint64_t(k_DecodeChunk)) {
        LogFileError("AudioSrcFile::DecodeWholeFile: frames of ", static_cast<int64_t>(frame),
                     " bytes cannot be decoded.");
        return false;
    }
    const int32_t chunk = static_cast<int32_t>(k_DecodeChunk / frame * frame);
    // No header count is trusted: the buffer grows with what the decoder delivers, never past
    // the limit plus one chunk.
    const int64_t ceiling = k_WholeFileLimit + chunk;
    std::vector<unsigned char> data;
    int64_t total = 0;
    for (;;) {
        if (total > k_WholeFileLimit)
            break;
        const int64_t needed = total + chunk;
        if (int64_t(data.capacity()) < needed)
            data.reserve(static_cast<size_t>(
                std::min(std::max<int64_t>(needed, int64_t(data.capacity()) * 2), ceiling)));
        data.resize(static_cast<size_t>(needed));
        const int32_t got = FillCache(data.data() + total, total, chunk);
        if (got < 0 || got > chunk) {
            LogFileError("AudioSrcFile::DecodeWholeFile: decoding failed at byte ", total, ".");
            return false;
        }
        total += got;
        if (got < chunk)
            break;
    }
    if (total > k_WholeFileLimit) {
        LogFileError("AudioSrcFile::DecodeWholeFile: the sound decodes to more than ",
                     k_WholeFileLimit, " bytes.");
        return false;
    }
    data.resize(static_cast<size_t>(total));
    m_Whole = std::move(data);
    m_Size = total;
    m_CacheMode = CacheWholeFile;
    for (Cursor& c : m_Cursors)
        if (c.m_Whole)
            c.m_Position = 0;
    return true;
}

} // namespace Quorlix
