// Audio cursors over the fake module's ramp: streaming caches and their edges, whole-file
// buffers, the -1 answers, decoded sizes and the whole-file limit.

#include "SoundTestSupport.h"
#include "support/LogCapture.h"

#include "quorlix/core/Obj.h"
#include "quorlix/sound/AudioSrcFile.h"

#include <atomic>
#include <thread>
#include <vector>

using namespace Quorlix;
using namespace QuorlixTest;

namespace {

constexpr int k_Cache = AudioSrcFile::k_CacheBytes;

class AudioSrcFileCursors : public SoundTest {
protected:
    static Obj<AudioSrcFile> Open(const std::string& shape, AudioSrcFile::CacheMode mode) {
        int64_t size = -1;
        Obj<AudioSrcFile> file = AudioSrcFile::Create(String(shape.c_str()), size, mode);
        EXPECT_EQ(size, file ? file->GetSize() : 0);
        return file;
    }
};
using AudioSrcFileThreads = AudioSrcFileCursors;

// Reads `bytes` at the cursor and compares them with the ramp from `from`.
testing::AssertionResult ReadsRamp(AudioSrcFile& file, int cursor, int bytes, int64_t from) {
    std::vector<unsigned char> data(size_t(bytes) + 1);
    const int got = file.Read(data.data(), bytes, cursor);
    if (got != bytes)
        return testing::AssertionFailure() << "read " << got << " of " << bytes;
    for (int i = 0; i < bytes; ++i)
        if (data[size_t(i)] != FakeRampByte(from + i))
            return testing::AssertionFailure() << "byte " << from + i << " differs";
    return testing::AssertionSuccess();
}

} // namespace

TEST_F(AudioSrcFileCursors, StreamingCursorCrossesCacheEdges) {
    Obj<AudioSrcFile> file = Open("200000", AudioSrcFile::CacheStreaming); // 16-bit stereo
    ASSERT_TRUE(file);
    EXPECT_EQ(file->GetFrameBytes(), 4u);
    EXPECT_DOUBLE_EQ(file->GetPlayTime(), 200000.0 / (44100 * 4));
    const int cursor = file->AddModePointer();
    EXPECT_EQ(Probe().m_FillCalls.load(), 1); // filled once when added
    EXPECT_TRUE(ReadsRamp(*file, cursor, k_Cache - 200, 0));
    // 200 bytes from this cache, 200 from the next one, filled where this one ends.
    EXPECT_TRUE(ReadsRamp(*file, cursor, 400, k_Cache - 200));
    EXPECT_EQ(Probe().m_FillCalls.load(), 2);
    EXPECT_EQ(Probe().m_LastFillPosition.load(), k_Cache);
    EXPECT_EQ(file->GetCurrentPos(cursor), k_Cache + 200);

    // 88000 bytes are left in the cache: a move of half of them stays inside.
    EXPECT_EQ(file->Skip(44000, cursor), k_Cache + 44200);
    EXPECT_TRUE(ReadsRamp(*file, cursor, 3, k_Cache + 44200));
    EXPECT_EQ(Probe().m_FillCalls.load(), 2);
    // 43997 left; 21999 is more: refilled from the cursor plus the move, at its frame.
    const int64_t target = k_Cache + 44203 + 21999;
    EXPECT_EQ(file->Skip(21999, cursor), target);
    EXPECT_EQ(Probe().m_LastFillPosition.load(), target / 4 * 4);
    EXPECT_EQ(file->GetCurrentPos(cursor), target);
    EXPECT_TRUE(ReadsRamp(*file, cursor, 5, target));

    const int second = file->AddModePointer(); // its own cache and position
    EXPECT_TRUE(ReadsRamp(*file, second, 10, 0));
    EXPECT_EQ(file->GetCurrentPos(cursor), target + 5);

    EXPECT_EQ(file->PeekAt(199999, cursor), 199999);
    EXPECT_EQ(Probe().m_LastFillPosition.load(), 199996);
    EXPECT_TRUE(ReadsRamp(*file, cursor, 1, 199999));
    EXPECT_TRUE(ReadsRamp(*file, cursor, 0, 0)); // the end
    EXPECT_EQ(file->Skip(int64_t(1) << 40, second), 200000);
    file->Clear(cursor);
    EXPECT_TRUE(ReadsRamp(*file, cursor, 200000, 0)); // through three caches
}

TEST_F(AudioSrcFileCursors, WholeFileCursorsAndDecodedSizes) {
    // Announces 500000 bytes, delivers 300000: the size is what was decoded.
    Obj<AudioSrcFile> file = Open("500000:300000", AudioSrcFile::CacheWholeFile);
    ASSERT_TRUE(file);
    EXPECT_EQ(file->GetSize(), 300000);
    const int fills = Probe().m_FillCalls.load();
    const int a = file->AddModeAll(), b = file->AddModeAll();
    EXPECT_TRUE(ReadsRamp(*file, a, 100000, 0));
    EXPECT_TRUE(ReadsRamp(*file, b, 10, 0));
    EXPECT_EQ(file->Skip(150000, a), 250000);
    EXPECT_EQ(file->Skip(60000, a), 300000); // stops at the end
    EXPECT_EQ(file->PeekAt(299990, a), 299990);
    unsigned char rest[20];
    EXPECT_EQ(file->Read(rest, 20, a), 10);
    EXPECT_EQ(file->GetCurrentPos(b), 10);
    // A streaming cursor over a whole file copies from the buffer.
    const int pointer = file->AddModePointer();
    EXPECT_EQ(file->PeekAt(k_Cache - 3, pointer), k_Cache - 3);
    EXPECT_TRUE(ReadsRamp(*file, pointer, 10, k_Cache - 3));
    EXPECT_EQ(Probe().m_FillCalls.load(), fills);

    // Streaming trusts the announced size only until the data ends.
    Obj<AudioSrcFile> streaming = Open("500000:300000", AudioSrcFile::CacheStreaming);
    ASSERT_TRUE(streaming);
    std::vector<unsigned char> data(500000);
    EXPECT_EQ(streaming->Read(data.data(), 500000, streaming->AddModePointer()), 300000);
}

TEST_F(AudioSrcFileCursors, UnusableCursorsAndArgumentsGiveMinusOne) {
    Obj<AudioSrcFile> file = Open("1000", AudioSrcFile::CacheStreaming);
    ASSERT_TRUE(file);
    const int good = file->AddModePointer();
    const int empty = file->AddModeAll(); // no whole-file buffer in streaming mode
    unsigned char buffer[16];
    struct Case {
        int m_Cursor, m_Bytes;
        int64_t m_Position, m_Skip;
    };
    const Case cases[] = {
        {2, 1, 0, 0}, {-1, 1, 0, 0}, {empty, 1, 0, 0}, {good, -1, -1, -1}, {good, -5, 1001, -7}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.m_Cursor);
        EXPECT_EQ(file->Read(buffer, c.m_Bytes, c.m_Cursor), -1);
        EXPECT_EQ(file->PeekAt(c.m_Position, c.m_Cursor), -1);
        EXPECT_EQ(file->Skip(c.m_Skip, c.m_Cursor), -1);
        EXPECT_EQ(file->GetCurrentPos(c.m_Cursor), c.m_Cursor == good ? 0 : -1);
    }
}

TEST_F(AudioSrcFileCursors, WholeFileDecodingStopsPastTheLimit) {
    const int64_t limit = AudioSrcFile::k_WholeFileLimit;
    {
        LogCapture log;
        EXPECT_FALSE(Open(std::to_string(limit + 4), AudioSrcFile::CacheWholeFile));
        EXPECT_EQ(log.Messages(),
                  std::vector<std::string>{"[Error]AudioSrcFile::DecodeWholeFile: the sound "
                                           "decodes to more than 67108864 bytes."});
    }
    Obj<AudioSrcFile> atLimit = Open(std::to_string(limit), AudioSrcFile::CacheWholeFile);
    ASSERT_TRUE(atLimit);
    const int cursor = atLimit->AddModeAll();
    EXPECT_EQ(atLimit->PeekAt(limit - 8, cursor), limit - 8);
    EXPECT_TRUE(ReadsRamp(*atLimit, cursor, 8, limit - 8));
}

// The module's playback thread reads while the scene's thread moves the cursor and adds more.
TEST_F(AudioSrcFileThreads, ReadsStayWholeWhileAnotherThreadMovesCursors) {
    Obj<AudioSrcFile> file = Open("400000", AudioSrcFile::CacheStreaming);
    ASSERT_TRUE(file);
    const int cursor = file->AddModePointer();
    std::atomic<bool> torn{false};
    std::thread reader([&] {
        std::vector<unsigned char> chunk(4096);
        for (int i = 0; i < 400; ++i) {
            const int got = file->Read(chunk.data(), 4096, cursor);
            for (int k = 1; k < got; ++k)
                if (chunk[size_t(k)] != (chunk[size_t(k) - 1] + 1) % 251)
                    torn = true;
            if (got == 0)
                file->Clear(cursor);
        }
    });
    for (int i = 0; i < 200; ++i) {
        EXPECT_GE(file->PeekAt((i * 7919) % 400000, cursor), 0);
        EXPECT_GE(file->Skip(i * 13, cursor), 0);
        if (i % 20 == 0)
            file->AddModePointer();
    }
    reader.join();
    EXPECT_FALSE(torn.load());
    EXPECT_EQ(file->GetCursorCount(), 11);
}
