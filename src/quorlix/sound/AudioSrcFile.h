#pragma once
// Decoded sample data with numbered read cursors.
//
// The sound module decodes; this class keeps the cursors. A streaming file (cache mode 0)
// gives each cursor added by AddModePointer a private cache of k_CacheBytes taken from whole
// pages, which the module's FillCache fills from the cursor's file position. A whole-file
// file (cache mode 1) holds every decoded byte in one buffer that the cursors of AddModeAll
// share. Positions and sizes count decoded bytes (16-bit samples, channels interleaved).

#include "quorlix/core/String.h"
#include "quorlix/platform/Export.h"
#include "quorlix/sound/SoundObject.h"

#include <cstdint>
#include <mutex>
#include <vector>

namespace Quorlix {

class QUORLIX_API AudioSrcFile : public SoundObject {
public:
    enum CacheMode : int32_t { CacheStreaming = 0, CacheWholeFile = 1 };
    /// The container, as the decoder reports it.
    enum FileType : int32_t {
        FileUnknown = 0,
        FileWAV = 1,
        FileAIFF = 2,
        FileFLAC = 3,
        FileOgg = 4
    };

    /// Bytes of one streaming cursor's cache.
    static constexpr int32_t k_CacheBytes = 88200;
    /// Whole-file decoding stops with an error beyond this many bytes.
    static constexpr int64_t k_WholeFileLimit = int64_t(64) << 20;

    /// Loads the sound module and has it open `path` through the library's storage (archives
    /// included). `size` receives the decoded size in bytes (0 on failure). Null on failure,
    /// logged.
    static AudioSrcFile* Create(const StringRef& path, int64_t& size, CacheMode cacheMode);

    ~AudioSrcFile() override;

    /// Copies up to `bytes` bytes at the cursor's position into `buffer` and moves the cursor
    /// past them: the count copied (0 at the end), or -1 for an unknown cursor, a cursor
    /// without data or a negative count.
    int Read(void* buffer, int bytes, int cursor);
    /// Moves the cursor to `position`: the new position, or -1 outside [0, size], for an
    /// unknown cursor or one without data. A streaming cursor refills its cache from there.
    int64_t PeekAt(int64_t position, int cursor);
    /// Moves the cursor `bytes` forward (stopping at the end): the new position, or -1 as for
    /// PeekAt (also for a negative count). A streaming cursor serves a move of at most half the
    /// bytes still cached from the cache, and refills from GetCurrentPos + bytes otherwise.
    int64_t Skip(int64_t bytes, int cursor);
    /// The cursor's position in decoded bytes, or -1 for an unknown cursor or one without data.
    int64_t GetCurrentPos(int cursor) const;
    /// Moves the cursor back to 0 (a streaming cursor refills its cache).
    void Clear(int cursor);
    /// Adds a streaming cursor with its own cache at position 0, filled once; its number. When
    /// the cache cannot be had the failure is logged and the cursor is still added, without
    /// data.
    int AddModePointer();
    /// Adds a cursor over the whole-file buffer at position 0; its number. In streaming mode the
    /// cursor has no data.
    int AddModeAll();
    /// The number of cursors added so far.
    int GetCursorCount() const noexcept { return static_cast<int>(m_Cursors.size()); }

    void GetSrcFormat(uint32_t& samplesPerSecond, uint32_t& bitsPerSample,
                      uint32_t& channels) const noexcept;
    uint32_t GetSamplesPerSecond() const noexcept { return m_SamplesPerSecond; }
    uint32_t GetBitsPerSample() const noexcept { return m_BitsPerSample; }
    uint32_t GetChannels() const noexcept { return m_Channels; }
    /// Bytes of one frame (one sample of every channel).
    uint32_t GetFrameBytes() const noexcept { return m_Channels * (m_BitsPerSample / 8); }
    int64_t GetSize() const noexcept { return m_Size; }
    /// Seconds of sound: size / (rate * frame bytes).
    double GetPlayTime() const noexcept;
    FileType GetFileType() const noexcept { return m_FileType; }
    CacheMode GetCacheMode() const noexcept { return m_CacheMode; }

protected:
    AudioSrcFile() noexcept = default;

    /// Decodes into `cache` (room for `capacity` bytes) from decoded byte `position`: the count
    /// written (less than `capacity` only at the end of the sound), or -1 on a decoding error.
    /// `position` is a multiple of the frame size.
    virtual int32_t FillCache(void* cache, int64_t position, int32_t capacity) = 0;

    /// Set by the module once the file is open: the format, the file type, the cache mode and,
    /// for streaming files, the decoded size (what the decoder can deliver, not what a header
    /// claims).
    void SetFormat(uint32_t samplesPerSecond, uint32_t bitsPerSample, uint32_t channels,
                   FileType fileType, CacheMode cacheMode, int64_t size) noexcept;
    /// Whole-file mode: decodes the sound into the shared buffer through FillCache from 0 to
    /// its end. More than k_WholeFileLimit bytes is an error (logged); false on any error. The
    /// size becomes what was decoded.
    bool DecodeWholeFile();

private:
    struct Cursor {
        unsigned char* m_Cache = nullptr; // streaming: private cache; null without one
        int64_t m_FilePos = 0;            // streaming: decoded position the cache ends at
        int32_t m_Fill = 0;               // streaming: bytes in the cache
        int32_t m_Offset = 0;             // streaming: read offset into the cache
        int64_t m_Position = 0;           // whole file: position in the shared buffer
        bool m_Whole = false;             // added by AddModeAll
    };

    Cursor* FindCursor(int cursor) noexcept;
    const Cursor* FindCursor(int cursor) const noexcept;
    bool HasData(const Cursor& c) const noexcept;
    void Refill(Cursor& c, int64_t position);
    int64_t PositionOf(const Cursor& c) const noexcept;
    int64_t MoveTo(Cursor& c, int64_t position);
    /// Bytes a streaming cache is filled with: whole frames, 0 when a frame does not fit.
    int32_t CacheCapacity() const noexcept;
    /// Bytes of one frame, computed without overflow.
    uint64_t FrameBytes() const noexcept;

    // Cursors may be used from the module's playback thread and the scene's thread at once;
    // every cursor operation holds this lock, FillCache included.
    mutable std::mutex m_Lock;
    std::vector<Cursor> m_Cursors;
    std::vector<unsigned char> m_Whole; // whole-file mode: every decoded byte
    uint32_t m_SamplesPerSecond = 0;
    uint32_t m_BitsPerSample = 16;
    uint32_t m_Channels = 0;
    int64_t m_Size = 0;
    FileType m_FileType = FileUnknown;
    CacheMode m_CacheMode = CacheStreaming;
};

} // namespace Quorlix
