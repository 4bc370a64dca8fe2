// Sound file fuzzer: the input is a whole sound file, decoded by the sound modules' decoder over
// a memory pipe in both cache modes and read through two cursors. It must refuse or deliver
// whole frames of a playable format, never read past the size it reports, and give the same
// bytes at a position however a cursor got there.

#include "AudioSrcFile_D.h"

#include "quorlix/core/Obj.h"
#include "quorlix/stream/StreamPipeMemory.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

using namespace Quorlix;

#define EXPECT(c)                                                                                  \
    ((c) ? void()                                                                                  \
         : (std::fprintf(stderr, "audio_src_file: line %d: %s\n", __LINE__, #c), std::abort()))

namespace {

// A claimed size may be far beyond the data, and a small compressed file may decode to far
// more than it holds: reading stops here.
constexpr int64_t k_ReadLimit = int64_t(16) << 20;

void Check(const uint8_t* data, size_t size, AudioSrcFile::CacheMode mode) {
    Obj<StreamPipeMemory> pipe(StreamPipeMemory::Create(data, static_cast<int>(size)));
    int64_t reported = -1;
    Obj<AudioSrcFile> file(AudioSrcFile_D::Open(pipe.Get(), String("fuzz"), reported, mode));
    if (!file) {
        EXPECT(reported == 0);
        return;
    }
    const int64_t fileSize = file->GetSize();
    const int64_t frame = file->GetFrameBytes();
    EXPECT(reported == fileSize && fileSize > 0);
    EXPECT(file->GetBitsPerSample() == 16);
    EXPECT(file->GetChannels() >= 1 && file->GetChannels() <= AudioSrcFile_D::k_MaxChannels);
    EXPECT(file->GetSamplesPerSecond() >= AudioSrcFile_D::k_MinSamplesPerSecond &&
           file->GetSamplesPerSecond() <= AudioSrcFile_D::k_MaxSamplesPerSecond);
    EXPECT(fileSize % frame == 0);
    EXPECT(mode == AudioSrcFile::CacheStreaming || fileSize <= AudioSrcFile::k_WholeFileLimit);

    const bool whole = mode == AudioSrcFile::CacheWholeFile;
    const int a = whole ? file->AddModeAll() : file->AddModePointer();
    const int b = whole ? file->AddModeAll() : file->AddModePointer();
    std::string decoded;
    char buffer[4099];
    int n = 0;
    while (static_cast<int64_t>(decoded.size()) < k_ReadLimit &&
           (n = file->Read(buffer, sizeof buffer, a)) > 0)
        decoded.append(buffer, static_cast<size_t>(n));
    EXPECT(n >= 0);
    const auto total = static_cast<int64_t>(decoded.size());
    EXPECT(total <= fileSize && total % frame == 0);
    EXPECT(file->GetCurrentPos(a) == total);
    EXPECT(!whole || total == fileSize || total >= k_ReadLimit);

    // The other cursor jumps about and reads what the first read in one go.
    const int64_t positions[] = {0,
                                 frame,
                                 total / 2 / frame * frame,
                                 AudioSrcFile::k_CacheBytes - frame,
                                 AudioSrcFile::k_CacheBytes + 2 * frame,
                                 total - frame,
                                 total};
    for (const int64_t position : positions) {
        if (position < 0 || position > total)
            continue;
        EXPECT(file->PeekAt(position, b) == position);
        const int got = file->Read(buffer, 64, b);
        EXPECT(got >= 0 && got <= 64);
        EXPECT(std::memcmp(buffer, decoded.data() + position,
                           static_cast<size_t>(std::min<int64_t>(got, total - position))) == 0);
    }
    EXPECT(file->PeekAt(fileSize + 1, b) == -1);
    EXPECT(file->PeekAt(0, b) == 0);
    for (const int64_t step : {int64_t(100) * frame, int64_t(AudioSrcFile::k_CacheBytes)}) {
        const int64_t from = file->GetCurrentPos(b);
        const int64_t to = file->Skip(step, b);
        EXPECT(to == std::min(from + step, fileSize));
        const int got = file->Read(buffer, 32, b);
        if (to < total)
            EXPECT(got > 0 &&
                   std::memcmp(buffer, decoded.data() + to,
                               static_cast<size_t>(std::min<int64_t>(got, total - to))) == 0);
    }
    EXPECT(file->Skip(-1, b) == -1);
    EXPECT(file->Read(buffer, -1, b) == -1);
}

} // namespace

// libsndfile leaves libvorbis's codec setup behind when a Vorbis header is corrupt (a plain
// sf_open of such a file leaks the same): not ours to free.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:vorbis_info_init\n";
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (256u << 10))
        return 0;
    Check(data, size, AudioSrcFile::CacheStreaming);
    Check(data, size, AudioSrcFile::CacheWholeFile);
    return 0;
}
