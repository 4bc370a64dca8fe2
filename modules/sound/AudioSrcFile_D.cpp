#include "AudioSrcFile_D.h"

#include "quorlix/log/LogStream.h"
#include "quorlix/sound/SoundDevice.h"
#include "quorlix/stream/Storage.h"
#include "quorlix/stream/StreamPipeCompressZ.h"
#include "quorlix/stream/StreamPipeMemory.h"
#include "quorlix/stream/StreamPipeNull.h"

#include <sndfile.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <vector>

namespace Quorlix {

namespace {

void LogRefusal(const StringRef& name, const char* why, const char* detail = nullptr) {
    Xerr.pLockError() << "AudioSrcFile_D::Open(" << name << "): " << why;
    if (detail != nullptr)
        Xerr << ": " << detail;
    Xerr << ".";
    Xerr.pLF();
    Xerr.pUnlockMessage();
}

AudioSrcFile::FileType TypeOfFormat(int format) noexcept {
    switch (format & SF_FORMAT_TYPEMASK) {
    case SF_FORMAT_WAV:
    case SF_FORMAT_WAVEX:
    case SF_FORMAT_RF64:
        return AudioSrcFile::FileWAV;
    case SF_FORMAT_AIFF:
        return AudioSrcFile::FileAIFF;
    case SF_FORMAT_FLAC:
        return AudioSrcFile::FileFLAC;
    case SF_FORMAT_OGG:
        return AudioSrcFile::FileOgg;
    default:
        return AudioSrcFile::FileUnknown;
    }
}

} // namespace

AudioSrcFile_D::AudioSrcFile_D(StreamPipe* pipe, const StringRef& name) noexcept
    : m_Pipe(pipe), m_Name(name) {}

AudioSrcFile_D::~AudioSrcFile_D() {
    if (m_File != nullptr)
        sf_close(m_File);
}

AudioSrcFile_D* AudioSrcFile_D::Open(const StringRef& path, int64_t& size, CacheMode cacheMode) {
    size = 0;
    Obj<StreamPipe> pipe(Storage::OpenStream(path, IORead));
    if (!pipe || pipe.Get() == StreamPipeNull::GetSingleton()) {
        LogRefusal(path, "cannot open the file");
        return nullptr;
    }
    return Open(pipe.Get(), path, size, cacheMode);
}

AudioSrcFile_D* AudioSrcFile_D::Open(StreamPipe* pipe, const StringRef& name, int64_t& size,
                                     CacheMode cacheMode) {
    size = 0;
    if (pipe == nullptr)
        return nullptr;
    Obj<AudioSrcFile_D> file(NewObject<AudioSrcFile_D>(pipe, name));
    if (!file->Start(cacheMode))
        return nullptr; // the handle destroys it
    size = file->GetSize();
    return file.Handover();
}

bool AudioSrcFile_D::Start(CacheMode cacheMode) {
    if (!MakeSeekable())
        return false;
    SF_VIRTUAL_IO io{&PipeLength, &PipeSeek, &PipeRead, &PipeWrite, &PipeTell};
    SF_INFO info{};
    SNDFILE* sound = sf_open_virtual(&io, SFM_READ, &info, this);
    if (sound == nullptr) {
        LogRefusal(m_Name, "not a sound file the decoder reads", sf_strerror(nullptr));
        return false;
    }
    m_File = sound;
    const int container = info.format & SF_FORMAT_TYPEMASK;
    // libmpg123 behind it does not come back to a position once it has lost the stream's
    // sync, and MPEG files are not among the formats sounds ship in.
    if (container == SF_FORMAT_MPEG) {
        LogRefusal(m_Name, "MPEG audio is not supported");
        return false;
    }
    // Cursors move about: an encoding the decoder cannot seek in (G.72x) is of no use.
    if (info.seekable == 0) {
        LogRefusal(m_Name, "the decoder cannot seek in this encoding");
        return false;
    }
    if (info.channels < 1 || static_cast<uint32_t>(info.channels) > k_MaxChannels) {
        LogRefusal(m_Name, "unsupported channel count");
        return false;
    }
    if (info.samplerate < int(k_MinSamplesPerSecond) ||
        static_cast<uint32_t>(info.samplerate) > k_MaxSamplesPerSecond) {
        LogRefusal(m_Name, "unsupported sample rate");
        return false;
    }
    // Float data is read as floats and scaled to 16 bits here: the decoder's own float to
    // integer scaling normalises to the file's peak, which would play a quiet file at full
    // level.
    const int encoding = info.format & SF_FORMAT_SUBMASK;
    m_Float = encoding == SF_FORMAT_FLOAT || encoding == SF_FORMAT_DOUBLE;

    m_DecodeToSeek = container == SF_FORMAT_OGG;
    const auto rate = static_cast<uint32_t>(info.samplerate);
    const auto channels = static_cast<uint32_t>(info.channels);
    const FileType type = TypeOfFormat(info.format);
    const int64_t frameBytes = int64_t(channels) * 2;
    if (cacheMode == CacheWholeFile) {
        SetFormat(rate, 16, channels, type, cacheMode, 0);
        if (!DecodeWholeFile())
            return false; // logged by DecodeWholeFile
        if (GetSize() == 0) {
            LogRefusal(m_Name, "no sound data");
            return false;
        }
        return true;
    }
    // A header's count is trusted only as the size; reads still end where the data does.
    int64_t frames = info.frames;
    if (frames < 0 || frames == SF_COUNT_MAX || frames > INT64_MAX / frameBytes)
        frames = CountFrames();
    if (frames <= 0) {
        LogRefusal(m_Name, "no sound data");
        return false;
    }
    SetFormat(rate, 16, channels, type, cacheMode, frames * frameBytes);
    return true;
}

bool AudioSrcFile_D::MakeSeekable() {
    // A compressed archive member seeks only to its start: the decoder gets a copy in memory.
    if (dynamic_cast<StreamPipeCompressZ*>(m_Pipe.Get()) != nullptr) {
        if (m_Pipe->Seek(0, SeekBegin) != 0) {
            LogRefusal(m_Name, "cannot read the file from its start");
            return false;
        }
        Obj<StreamPipeMemory> copy(StreamPipeMemory::Create());
        std::vector<unsigned char> piece(size_t(1) << 16);
        int64_t total = 0;
        for (int n; (n = ReadFully(*m_Pipe, piece.data(), int(piece.size()))) > 0;) {
            total += n;
            if (total > k_WholeFileLimit) {
                LogRefusal(m_Name, "compressed file too large to hold");
                return false;
            }
            copy->Write(piece.data(), n);
        }
        copy->Seek(0, SeekBegin);
        m_Pipe = copy.Get();
    }
    const int64_t length = m_Pipe->Seek(0, SeekEnd);
    if (length <= 0 || m_Pipe->Seek(0, SeekBegin) != 0) {
        LogRefusal(m_Name, "empty or not seekable");
        return false;
    }
    m_PipeLength = length;
    return true;
}

// For a decoder that cannot tell the length: decode once and go back to the start.
int64_t AudioSrcFile_D::CountFrames() {
    SNDFILE* sound = m_File;
    SF_INFO info{};
    sf_command(sound, SFC_GET_CURRENT_SF_INFO, &info, sizeof info);
    const int channels = std::max(info.channels, 1);
    std::vector<short> scratch(size_t(4096) * size_t(channels));
    int64_t frames = 0;
    for (sf_count_t n; (n = sf_readf_short(sound, scratch.data(), 4096)) > 0;)
        frames += n;
    m_DecoderFrame = sf_seek(sound, 0, SEEK_SET) == 0 ? 0 : -1;
    return frames;
}

int32_t AudioSrcFile_D::FillCache(void* cache, int64_t position, int32_t capacity) {
    const int64_t frameBytes = GetFrameBytes();
    if (m_File == nullptr || frameBytes <= 0 || cache == nullptr || capacity < 0 || position < 0 ||
        position % frameBytes != 0)
        return -1;
    SNDFILE* sound = m_File;
    const int64_t frame = position / frameBytes;
    // A position the decoder cannot reach lies past the real end of the data.
    if (frame != m_DecoderFrame && !Reach(frame)) {
        m_DecoderFrame = -1;
        return 0;
    }
    const int64_t wanted = capacity / frameBytes;
    auto* samples = static_cast<short*>(cache);
    int64_t done = 0;
    while (done < wanted) {
        short* out = samples + done * int64_t(GetChannels());
        const sf_count_t n = m_Float ? ReadFloatFrames(out, wanted - done)
                                     : sf_readf_short(sound, out, wanted - done);
        if (n <= 0)
            break;
        done += n;
    }
    m_DecoderFrame = frame + done;
    return static_cast<int32_t>(done * frameBytes);
}

// Full scale is 1.0; what lies beyond it is clipped.
int64_t AudioSrcFile_D::ReadFloatFrames(short* out, int64_t frames) {
    constexpr int64_t k_Step = 4096;
    const int64_t channels = GetChannels();
    m_FloatScratch.resize(size_t(k_Step * channels));
    const sf_count_t n = sf_readf_float(m_File, m_FloatScratch.data(), std::min(k_Step, frames));
    for (int64_t i = 0; i < n * channels; ++i) {
        const float v = m_FloatScratch[size_t(i)] * 32767.0f;
        out[i] = static_cast<short>(v >= 32767.0f    ? 32767
                                    : v <= -32768.0f ? -32768
                                    : v == v         ? std::lrint(v)
                                                     : 0);
    }
    return n;
}

bool AudioSrcFile_D::Reach(int64_t frame) {
    if (!m_DecodeToSeek) {
        m_DecoderFrame = sf_seek(m_File, frame, SEEK_SET);
        if (m_DecoderFrame == frame)
            return true;
        // A seek the decoder refuses is tried once more by decoding forward.
        m_DecodeToSeek = true;
        m_DecoderFrame = -1;
    }
    // The decoder's own seek in Vorbis streams lands some hundred frames off, depending on
    // where it stood; going back to the start is exact, and so is decoding forward.
    if (m_DecoderFrame < 0 || frame < m_DecoderFrame) {
        m_DecoderFrame = sf_seek(m_File, 0, SEEK_SET);
        if (m_DecoderFrame != 0)
            return false;
    }
    constexpr int64_t k_Step = 4096;
    m_Scratch.resize(size_t(k_Step) * GetChannels());
    while (m_DecoderFrame < frame) {
        const sf_count_t n =
            sf_readf_short(m_File, m_Scratch.data(), std::min(k_Step, frame - m_DecoderFrame));
        if (n <= 0)
            return false;
        m_DecoderFrame += n;
    }
    return true;
}

int64_t AudioSrcFile_D::PipeLength(void* self) {
    return static_cast<AudioSrcFile_D*>(self)->m_PipeLength;
}

int64_t AudioSrcFile_D::PipeSeek(int64_t offset, int whence, void* self) {
    StreamPipe& pipe = *static_cast<AudioSrcFile_D*>(self)->m_Pipe;
    switch (whence) {
    case SEEK_SET:
        return pipe.Seek(offset, SeekBegin);
    case SEEK_CUR:
        return pipe.Seek(offset, SeekCurrent);
    case SEEK_END:
        return pipe.Seek(offset, SeekEnd);
    default:
        return -1;
    }
}

int64_t AudioSrcFile_D::PipeRead(void* buffer, int64_t count, void* self) {
    StreamPipe& pipe = *static_cast<AudioSrcFile_D*>(self)->m_Pipe;
    auto* bytes = static_cast<unsigned char*>(buffer);
    int64_t done = 0;
    while (done < count) {
        const int piece = static_cast<int>(std::min<int64_t>(count - done, 1 << 30));
        const int n = ReadFully(pipe, bytes + done, piece);
        if (n <= 0)
            break;
        done += n;
        if (n < piece)
            break;
    }
    return done;
}

int64_t AudioSrcFile_D::PipeWrite(const void*, int64_t, void*) {
    return 0;
}

int64_t AudioSrcFile_D::PipeTell(void* self) {
    return static_cast<AudioSrcFile_D*>(self)->m_Pipe->Seek(0, SeekCurrent);
}

// The audio-file factory of every sound module.
QUORLIX_API AudioSrcFile* CreateAudioSrcFileWindows(const StringRef& path, int64_t& size,
                                                    AudioSrcFile::CacheMode cacheMode) {
    return AudioSrcFile_D::Open(path, size, cacheMode);
}

} // namespace Quorlix
