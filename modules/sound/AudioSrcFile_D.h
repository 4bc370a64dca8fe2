#pragma once
// The modules' decoder: an AudioSrcFile over a library pipe, read by libsndfile and delivered
// as 16-bit samples. Both modules compile it in; the fuzz target drives it over memory pipes.

#include "quorlix/core/Obj.h"
#include "quorlix/core/String.h"
#include "quorlix/sound/AudioSrcFile.h"
#include "quorlix/stream/StreamPipe.h"

#include <cstdint>
#include <vector>

struct sf_private_tag;

namespace Quorlix {

class AudioSrcFile_D final : public AudioSrcFile {
public:
    /// Files with more channels are refused: the sources mix at most this many down.
    static constexpr uint32_t k_MaxChannels = 8;
    /// Rates outside the range a source's frequency may take are refused too.
    static constexpr uint32_t k_MinSamplesPerSecond = 100;
    static constexpr uint32_t k_MaxSamplesPerSecond = 200000;

    /// Opens `path` through the library's storage (archives included).
    static AudioSrcFile_D* Open(const StringRef& path, int64_t& size, CacheMode cacheMode);
    /// Decodes what `pipe` holds from its position 0 on; `name` names it in log lines. A new
    /// object (reference count 0) with `size` its decoded size in bytes, or null (logged, size
    /// 0) for a pipe the decoder does not take, a format the modules cannot play, or a sound
    /// without data.
    static AudioSrcFile_D* Open(StreamPipe* pipe, const StringRef& name, int64_t& size,
                                CacheMode cacheMode);

    AudioSrcFile_D(StreamPipe* pipe, const StringRef& name) noexcept;
    ~AudioSrcFile_D() override;

protected:
    int32_t FillCache(void* cache, int64_t position, int32_t capacity) override;

private:
    bool Start(CacheMode cacheMode);
    bool MakeSeekable();
    /// Moves the decoder to `frame`; false when the data ends before it.
    bool Reach(int64_t frame);
    int64_t ReadFloatFrames(short* out, int64_t frames);
    int64_t CountFrames();

    // libsndfile's virtual I/O over m_Pipe.
    static int64_t PipeLength(void* self);
    static int64_t PipeSeek(int64_t offset, int whence, void* self);
    static int64_t PipeRead(void* buffer, int64_t count, void* self);
    static int64_t PipeWrite(const void* buffer, int64_t count, void* self);
    static int64_t PipeTell(void* self);

    Obj<StreamPipe> m_Pipe;
    String m_Name;
    sf_private_tag* m_File = nullptr;
    int64_t m_PipeLength = 0;
    int64_t m_DecoderFrame = 0;  // the frame the decoder reads next; -1 when unknown
    bool m_DecodeToSeek = false; // the decoder's seek is not exact: decode up to the frame
    std::vector<short> m_Scratch;
    std::vector<float> m_FloatScratch;
    bool m_Float = false; // float or double samples, scaled to 16 bits by ReadFloatFrames
};

} // namespace Quorlix
