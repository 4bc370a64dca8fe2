// Audio cursors over the fake module's ramp: the streaming caches and their edges, whole-file
// buffers, the -1 answers and the whole-file limit.

#include "SoundTestSupport.h"
#include "support/LogCapture.h"

#include "quorlix/core/Obj.h"
#include "quorlix/sound/AudioSrcFile.h"

#include <vector>

using namespace Quorlix;
using namespace QuorlixTest;

namespace {

constexpr int k_Cache = AudioSrcFile::k_CacheBytes;

class AudioSrcFileCursors : public SoundTest {
protected:
    Obj<AudioSrcFile> Open(const char* spec, AudioSrcFile::CacheMode mode) {
        int64_t size = -1;
        Obj<AudioSrcFile> file = AudioSrcFile::Create(String(spec), size, mode);
        EXPECT_EQ(size, file ? file->GetSize() : 0);
        return file;
    }
};

// Reads `bytes` at the cursor and checks them against the ramp from `from`.
::testing::AssertionResult ReadsRamp(AudioSrcFile& file, int cursor, int bytes, int64_t from) {
    std::vector<unsigned char> data(static_cast<size_t>(bytes) + 1);
    const int got = file.Read(data.data(), bytes, cursor);
    if (got != bytes)
        return ::testing::AssertionFailure() << "read " << got << " of " << bytes;
    for (int i = 0; i < bytes; ++i)
        if (data[size_t(i)] != FakeRampByte(from + i))
            return ::testing::AssertionFailure() << "byte " << from + i << " differs";
    return ::testing::AssertionSuccess();
}

} // namespace

TEST_F(AudioSrcFileCursors, FormatComesFromTheModule) {
    const Obj<AudioSrcFile> file = Open("200000:200000:22050:1", AudioSrcFile::CacheStreaming);
    ASSERT_TRUE(file);
    uint32_t rate = 0, bits = 0, channels = 0;
    file->GetSrcFormat(rate, bits, channels);
    EXPECT_EQ(rate + bits + channels, 22050u + 16u + 1u);
    EXPECT_EQ(file->GetFrameBytes(), 2u);
    EXPECT_EQ(file->GetSize(), 200000);
    EXPECT_DOUBLE_EQ(file->GetPlayTime(), 200000.0 / 44100.0);
    EXPECT_EQ(file->GetFileType(), AudioSrcFile::FileWAV);
    EXPECT_EQ(file->GetCacheMode(), AudioSrcFile::CacheStreaming);
}

TEST_F(AudioSrcFileCursors, StreamingCursorCrossesCacheEdges) {
    Obj<AudioSrcFile> file = Open("200000", AudioSrcFile::CacheStreaming);
    ASSERT_TRUE(file);
    const int cursor = file->AddModePointer();
    EXPECT_EQ(cursor, 0);
    EXPECT_EQ(Probe().m_FillCalls.load(), 1); // filled once when added
    EXPECT_EQ(file->GetCurrentPos(cursor), 0);
    EXPECT_TRUE(ReadsRamp(*file, cursor, k_Cache - 200, 0));
    EXPECT_EQ(Probe().m_FillCalls.load(), 1);
    // 200 bytes from this cache, 200 from the next one filled at its end.
    EXPECT_TRUE(ReadsRamp(*file, cursor, 400, k_Cache - 200));
    EXPECT_EQ(Probe().m_FillCalls.load(), 2);
    EXPECT_EQ(Probe().m_LastFillPosition.load(), k_Cache);
    EXPECT_EQ(file->GetCurrentPos(cursor), k_Cache + 200);

    // The cache now holds 88000 bytes past the cursor: a move of half of them stays inside.
    EXPECT_EQ(file->Skip(44000, cursor), k_Cache + 44200);
    EXPECT_EQ(Probe().m_FillCalls.load(), 2);
    EXPECT_TRUE(ReadsRamp(*file, cursor, 3, k_Cache + 44200));
    // 43997 are left; 21999 is more than half: refilled from the cursor plus the move, at the
    // frame that holds it.
    const int64_t target = k_Cache + 44203 + 21999;
    EXPECT_EQ(file->Skip(21999, cursor), target);
    EXPECT_EQ(Probe().m_FillCalls.load(), 3);
    EXPECT_EQ(Probe().m_LastFillPosition.load(), target / 4 * 4);
    EXPECT_EQ(file->GetCurrentPos(cursor), target);
    EXPECT_TRUE(ReadsRamp(*file, cursor, 5, target));

    // A second cursor has its own cache and position.
    const int second = file->AddModePointer();
    EXPECT_EQ(second, 1);
    EXPECT_TRUE(ReadsRamp(*file, second, 10, 0));
    EXPECT_EQ(file->GetCurrentPos(cursor), target + 5);

    // PeekAt refills from the given position; the end reads nothing; Skip stops at the end.
    EXPECT_EQ(file->PeekAt(199999, cursor), 199999);
    EXPECT_EQ(Probe().m_LastFillPosition.load(), 199996); // its frame
    EXPECT_TRUE(ReadsRamp(*file, cursor, 1, 199999));
    unsigned char byte = 0;
    EXPECT_EQ(file->Read(&byte, 1, cursor), 0);
    EXPECT_EQ(file->PeekAt(200000, cursor), 200000);
    EXPECT_EQ(file->PeekAt(5, cursor), 5);
    EXPECT_EQ(file->Skip(int64_t(1) << 40, cursor), 200000);
    file->Clear(cursor);
    EXPECT_EQ(file->GetCurrentPos(cursor), 0);
    // A long read runs through several caches to the end.
    EXPECT_TRUE(ReadsRamp(*file, cursor, 200000, 0));
    EXPECT_EQ(file->Read(&byte, 1, cursor), 0);
}

TEST_F(AudioSrcFileCursors, WholeFileCursorsShareTheBuffer) {
    Obj<AudioSrcFile> file = Open("300000", AudioSrcFile::CacheWholeFile);
    ASSERT_TRUE(file);
    EXPECT_EQ(file->GetCacheMode(), AudioSrcFile::CacheWholeFile);
    const int fills = Probe().m_FillCalls.load();
    const int a = file->AddModeAll();
    const int b = file->AddModeAll();
    EXPECT_TRUE(ReadsRamp(*file, a, 100000, 0));
    EXPECT_TRUE(ReadsRamp(*file, b, 10, 0));
    EXPECT_EQ(file->Skip(150000, a), 250000);
    EXPECT_EQ(file->Skip(60000, a), 300000); // stops at the end
    EXPECT_EQ(file->PeekAt(299990, a), 299990);
    EXPECT_TRUE(ReadsRamp(*file, a, 10, 299990));
    unsigned char rest[20];
    EXPECT_EQ(file->PeekAt(299990, a), 299990);
    EXPECT_EQ(file->Read(rest, 20, a), 10);
    EXPECT_EQ(file->GetCurrentPos(b), 10);
    // A streaming cursor over a whole file copies from the buffer.
    const int pointer = file->AddModePointer();
    EXPECT_EQ(file->PeekAt(k_Cache - 3, pointer), k_Cache - 3);
    EXPECT_TRUE(ReadsRamp(*file, pointer, 10, k_Cache - 3));
    EXPECT_EQ(Probe().m_FillCalls.load(), fills);
}

TEST_F(AudioSrcFileCursors, UnusableCursorsAndArgumentsGiveMinusOne) {
    Obj<AudioSrcFile> file = Open("1000", AudioSrcFile::CacheStreaming);
    ASSERT_TRUE(file);
    const int good = file->AddModePointer();
    const int empty = file->AddModeAll(); // no whole-file buffer in streaming mode
    unsigned char buffer[16];
    struct Case {
        int m_Cursor;
        int m_Bytes;
        int64_t m_Position;
        int64_t m_Skip;
    };
    const Case cases[] = {
        {2, 1, 0, 0},       // unknown
        {-1, 1, 0, 0},      // unknown
        {empty, 1, 0, 0},   // without data
        {good, -1, -1, -1}, // negative count, position outside, negative move
        {good, -5, 1001, -7},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.m_Cursor);
        EXPECT_EQ(file->Read(buffer, c.m_Bytes, c.m_Cursor), -1);
        EXPECT_EQ(file->PeekAt(c.m_Position, c.m_Cursor), -1);
        EXPECT_EQ(file->Skip(c.m_Skip, c.m_Cursor), -1);
        if (c.m_Cursor != good) {
            EXPECT_EQ(file->GetCurrentPos(c.m_Cursor), -1);
        }
    }
    EXPECT_EQ(file->GetCurrentPos(good), 0); // the refused calls moved nothing
    EXPECT_EQ(file->GetCursorCount(), 2);
}

TEST_F(AudioSrcFileCursors, SizesAreWhatWasDecoded) {
    // The file announces 500000 bytes but delivers 300000.
    Obj<AudioSrcFile> whole = Open("500000:300000", AudioSrcFile::CacheWholeFile);
    ASSERT_TRUE(whole);
    EXPECT_EQ(whole->GetSize(), 300000);
    const int all = whole->AddModeAll();
    EXPECT_EQ(whole->Skip(400000, all), 300000);

    Obj<AudioSrcFile> streaming = Open("500000:300000", AudioSrcFile::CacheStreaming);
    ASSERT_TRUE(streaming);
    const int cursor = streaming->AddModePointer();
    std::vector<unsigned char> data(500000);
    EXPECT_EQ(streaming->Read(data.data(), 500000, cursor), 300000); // ends at the real end
    EXPECT_EQ(streaming->Read(data.data(), 1, cursor), 0);
}

TEST_F(AudioSrcFileCursors, WholeFileDecodingStopsPastTheLimit) {
    const int64_t limit = AudioSrcFile::k_WholeFileLimit;
    {
        LogCapture log;
        const std::string over = std::to_string(limit + 4);
        int64_t size = -1;
        EXPECT_EQ(AudioSrcFile::Create(String(over.c_str()), size, AudioSrcFile::CacheWholeFile),
                  nullptr);
        EXPECT_EQ(size, 0);
        EXPECT_EQ(log.Messages(),
                  std::vector<std::string>{"[Error]AudioSrcFile::DecodeWholeFile: the sound "
                                           "decodes to more than 67108864 bytes."});
    }
    Obj<AudioSrcFile> atLimit = Open(std::to_string(limit).c_str(), AudioSrcFile::CacheWholeFile);
    ASSERT_TRUE(atLimit);
    EXPECT_EQ(atLimit->GetSize(), limit);
    const int cursor = atLimit->AddModeAll();
    EXPECT_EQ(atLimit->PeekAt(limit - 8, cursor), limit - 8);
    EXPECT_TRUE(ReadsRamp(*atLimit, cursor, 8, limit - 8));
}
