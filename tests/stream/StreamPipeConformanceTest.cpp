// The same read, peek, skip, seek and write cases against every pipe. Each pipe's traits say
// what it holds and where its contract differs: look-ahead, skipping, its seek rule, writing.
// The filters run over memory: the chunk over a window of a larger block, the TEA pipe over
// enciphered data (and writing enciphered data), the gzip pipe over zlib's gzip output.

#include "quorlix/core/Obj.h"
#include "quorlix/log/StreamPipeLog.h"
#include "quorlix/stream/StreamPipeChunk.h"
#include "quorlix/stream/StreamPipeCipherTEA.h"
#include "quorlix/stream/StreamPipeCompressZ.h"
#include "quorlix/stream/StreamPipeFile.h"
#include "quorlix/stream/StreamPipeFileCache.h"
#include "quorlix/stream/StreamPipeMemory.h"
#include "quorlix/stream/StreamPipeNull.h"
#include "quorlix/stream/StreamPipeResource.h"
#include "stream/PipeTestSupport.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <vector>

using namespace Quorlix;
using namespace QuorlixTest;

namespace {

// A fresh file, holding the pattern unless it is to be empty.
std::string FilePath(bool empty) {
    static TempDir s_Folder;
    static int s_Count = 0;
    const std::string path = s_Folder / ("file" + std::to_string(++s_Count));
    if (!empty)
        WriteFileBytes(path, Pattern());
    return path;
}

// Where a seek lands, -1 for none. Files go anywhere not negative, memory up to its end; a
// resource counts from its end backwards and never lands on it; the null pipe stays at 0; a
// chunk clamps to its range; the TEA pipe takes offset 0 only and the gzip pipe only a restart.
enum Rule { FileRule, MemoryRule, ResourceRule, NullRule, ClampRule, ZeroOnlyRule, RestartRule };
int64_t Seek(Rule rule, int64_t size, int64_t position, int64_t offset, int origin) {
    if (rule == NullRule)
        return 0;
    if (origin < -1 || origin > 1)
        return -1;
    if (rule == ZeroOnlyRule)
        return offset != 0 ? -1 : origin == SeekBegin ? 0 : origin == SeekCurrent ? position : size;
    if (rule == RestartRule)
        return offset == 0 && origin == SeekBegin ? 0 : -1;
    const int64_t base = origin == SeekBegin ? 0 : origin == SeekCurrent ? position : size;
    int64_t to;
    const bool overflow = rule == ResourceRule && origin == SeekEnd
                              ? __builtin_sub_overflow(size, offset, &to)
                              : __builtin_add_overflow(base, offset, &to);
    if (rule == ClampRule)
        return overflow ? (offset < 0 ? 0 : size) : to < 0 ? 0 : to > size ? size : to;
    if (overflow || to < 0 || (rule == MemoryRule && to > size) ||
        (rule == ResourceRule && to >= size))
        return -1;
    return to;
}

// What a write does: refused with 0 (read-only), refused with -1 (not supported), or taken.
enum Writing { RefusedWrites, UnsupportedWrites, Writes };

template <Rule R, int LookAhead, bool Skips, Writing W, bool Truncates = W == Writes>
struct Props {
    static constexpr Rule k_Rule = R;
    static constexpr int k_LookAhead = LookAhead;
    static constexpr bool k_Skips = Skips, k_Truncates = Truncates;
    static constexpr Writing k_Writing = W;
    // Where written bytes also went besides the pipe's own data, for pipes that copy them.
    static const StreamPipeMemory* Copy(StreamPipe&) { return nullptr; }
};
template <class Pipe, int LookAhead, bool Skips>
struct FilePipe : Props<FileRule, LookAhead, Skips, Writes> {
    static StreamPipe* Open(bool empty) {
        return Pipe::Create(FilePath(empty).c_str(), empty ? 15 : 1);
    }
};
using PlainFile = FilePipe<StreamPipeFile, 0, false>;
using CachedFile = FilePipe<StreamPipeFileCache, StreamPipeFileCache::k_BufferSize, true>;
StreamPipeMemory* MemoryHolding(const std::string& bytes) {
    return StreamPipeMemory::Create(bytes.data(), static_cast<int>(bytes.size()));
}
struct Memory : Props<MemoryRule, INT_MAX, true, Writes> {
    static StreamPipe* Open(bool empty) { return MemoryHolding(empty ? "" : Pattern()); }
};
struct Resource : Props<ResourceRule, INT_MAX, true, RefusedWrites> {
    static StreamPipe* Open(bool) {
        return StreamPipeResource::Create("QuorlixStreamTests/PATTERN.bin", IOReadDefault);
    }
};
struct Null : Props<NullRule, INT_MAX, true, RefusedWrites> {
    static StreamPipe* Open(bool) { return StreamPipeNull::Create(); }
};
// The pattern between other bytes; the chunk looks as far as the memory below it.
struct Chunk : Props<ClampRule, INT_MAX, true, RefusedWrites> {
    static StreamPipe* Open(bool) {
        Obj<StreamPipeChunk> chunk =
            StreamPipeChunk::Create(MemoryHolding("before" + Pattern() + "after"), 6, 20000);
        chunk->Seek(0, SeekBegin);
        return chunk.Handover();
    }
};
const unsigned k_Key[4] = {0x01234567u, 0x89ABCDEFu, 0xFEDCBA98u, 0x76543210u};
// Reads enciphered data, or writes it to empty memory.
struct Cipher : Props<ZeroOnlyRule, StreamPipeCipherTEA::k_BufferSize, true, Writes, false> {
    static StreamPipe* Open(bool empty) {
        std::string bytes = empty ? "" : Pattern();
        for (size_t at = 0; at + 8 <= bytes.size(); at += 8) {
            unsigned block[2];
            std::memcpy(block, bytes.data() + at, 8);
            EncipherTEA32(block, block, k_Key);
            std::memcpy(bytes.data() + at, block, 8);
        }
        return StreamPipeCipherTEA::Create(MemoryHolding(bytes), k_Key);
    }
};
struct Gzip : Props<RestartRule, StreamPipeCompressZ::k_BufferSize, true, UnsupportedWrites> {
    static StreamPipe* Open(bool) {
        const std::string text = Pattern();
        z_stream stream{};
        deflateInit2(&stream, 9, Z_DEFLATED, 31, 8, Z_DEFAULT_STRATEGY);
        std::string gzip(deflateBound(&stream, text.size()), '\0');
        stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
        stream.avail_in = static_cast<uInt>(text.size());
        stream.next_out = reinterpret_cast<Bytef*>(gzip.data());
        stream.avail_out = static_cast<uInt>(gzip.size());
        deflate(&stream, Z_FINISH);
        gzip.resize(stream.total_out);
        deflateEnd(&stream);
        return StreamPipeCompressZ::Create(MemoryHolding(gzip));
    }
};
// A log pipe with a cached file in its file slot, which it reads from, and memory as its
// console, which gets a copy of every write.
struct Log : Props<FileRule, StreamPipeFileCache::k_BufferSize, true, Writes> {
    static StreamPipe* Open(bool empty) {
        StreamPipeLog* log = StreamPipeLog::Create();
        log->SetStreamPipe(CachedFile::Open(empty), StreamPipeLog::SlotFile);
        log->SetStreamPipe(StreamPipeMemory::Create(), StreamPipeLog::SlotConsole);
        return log;
    }
    static const StreamPipeMemory* Copy(StreamPipe& pipe) {
        return static_cast<StreamPipeMemory*>(
            static_cast<StreamPipeLog&>(pipe).GetStreamPipe(StreamPipeLog::SlotConsole));
    }
};

template <class Traits>
class StreamPipeConformance : public testing::Test {
protected:
    void SetUp() override { m_Pipe = Traits::Open(false); }
    // The byte at `at` as the pipe must give it, -1 past the end.
    int At(int64_t at) const {
        return at < static_cast<int64_t>(m_Content.size())
                   ? static_cast<unsigned char>(m_Content[static_cast<size_t>(at)])
                   : -1;
    }
    std::string ReadAll(int chunk) {
        std::string all;
        std::vector<char> buffer(static_cast<size_t>(chunk));
        for (int count; (count = m_Pipe->Read(buffer.data(), chunk)) > 0;)
            all.append(buffer.data(), static_cast<size_t>(count));
        return all;
    }

    LogCapture m_Capture; // the filters' warnings about seeks they refuse
    Obj<StreamPipe> m_Pipe;
    const std::string m_Content = Traits::k_Rule == NullRule ? "" : Pattern();
    const int m_Size = static_cast<int>(m_Content.size());
};

using Pipes =
    testing::Types<PlainFile, CachedFile, Memory, Resource, Null, Chunk, Cipher, Gzip, Log>;
TYPED_TEST_SUITE(StreamPipeConformance, Pipes);

TYPED_TEST(StreamPipeConformance, ReadsPeeksAndSkips) {
    for (int chunk : {1, 7, 8191, 8192, 8193, 30000}) {
        this->SetUp();
        EXPECT_TRUE(this->ReadAll(chunk) == this->m_Content) << "chunk " << chunk;
        EXPECT_EQ(this->m_Pipe->Read(), -1);
    }
    // Peeks look as far as the pipe's look-ahead, and consume nothing; a 0xFF byte reads as 255.
    this->SetUp();
    StreamPipe& pipe = *this->m_Pipe;
    const auto peeked = [&](int offset, int position) {
        return offset >= TypeParam::k_LookAhead ? -2 : this->At(position + offset);
    };
    EXPECT_EQ(pipe.Peek(), peeked(0, 0));
    EXPECT_EQ(pipe.Read(), this->At(0));
    for (int offset : {0, 1, 100, 8190, 8191, 8192, 9000})
        EXPECT_EQ(pipe.PeekAt(offset), peeked(offset, 1)) << "offset " << offset;
    EXPECT_EQ(pipe.Read(), this->At(1));
    // Skips go to the end and no further; a pipe that does not skip stays.
    EXPECT_EQ(pipe.Skip(0), 0);
    EXPECT_EQ(pipe.Skip(-5), 0);
    if (!TypeParam::k_Skips) {
        EXPECT_EQ(pipe.Skip(10), 0);
        EXPECT_EQ(pipe.Read(), this->At(2));
    } else if (this->m_Size > 0) {
        EXPECT_EQ(pipe.Skip(10), 10);
        EXPECT_EQ(pipe.Read(), this->At(12));
        EXPECT_EQ(pipe.Skip(this->m_Size - 23), this->m_Size - 23);
        // Ten bytes are left: the look-ahead meets the end of the data.
        EXPECT_EQ(pipe.PeekAt(9), peeked(9, this->m_Size - 10));
        EXPECT_EQ(pipe.PeekAt(10), TypeParam::k_LookAhead > 10 ? -1 : -2);
        EXPECT_EQ(pipe.Skip(INT_MAX), 10);
    }
    EXPECT_EQ(pipe.Skip(1), 0);
}

TYPED_TEST(StreamPipeConformance, SeeksFromEveryOriginAndReadsThere) {
    StreamPipe& pipe = *this->m_Pipe;
    const int64_t size = this->m_Size;
    char three[3];
    int64_t position = pipe.Read(three, 3); // leaves read-ahead behind in buffered pipes
    const struct {
        int64_t m_Offset;
        int m_Origin;
    } steps[] = {
        {100, SeekBegin},     {10, SeekCurrent},       {-5, SeekCurrent},      {1, SeekEnd},
        {0, SeekEnd},         {-1, SeekBegin},         {-200000, SeekCurrent}, {5, 7},
        {9000, SeekBegin},    {0, SeekCurrent},        {size + 5, SeekBegin},  {-3, SeekEnd},
        {INT64_MIN, SeekEnd}, {INT64_MAX, SeekCurrent}};
    for (const auto& step : steps) {
        const int64_t expected =
            Seek(TypeParam::k_Rule, size, position, step.m_Offset, step.m_Origin);
        ASSERT_EQ(pipe.Seek(step.m_Offset, step.m_Origin), expected)
            << "Seek(" << step.m_Offset << ", " << step.m_Origin << ") from " << position;
        if (expected >= 0)
            position = expected;
        ASSERT_EQ(pipe.Read(), this->At(position)) << "after seeking to " << position;
        position += position < size ? 1 : 0;
    }
}

TYPED_TEST(StreamPipeConformance, WritesWhatReadsBackOrNothing) {
    const std::string bytes = Pattern();
    if constexpr (TypeParam::k_Writing != Writes) {
        const int refusal = TypeParam::k_Writing == RefusedWrites ? 0 : -1;
        EXPECT_EQ(this->m_Pipe->Write(bytes.data(), 100), refusal);
        EXPECT_EQ(this->m_Pipe->Write(bytes.data(), 0), refusal);
        EXPECT_FALSE(this->m_Pipe->Truncate());
        EXPECT_EQ(this->m_Pipe->Read(), this->At(0));
    } else {
        this->m_Pipe = TypeParam::Open(true);
        size_t done = 0;
        for (int chunk : {1, 7, 8191, 8192, 3609}) {
            EXPECT_EQ(this->m_Pipe->Write(bytes.data() + done, chunk), chunk);
            done += static_cast<size_t>(chunk);
        }
        EXPECT_EQ(this->m_Pipe->Seek(0, SeekBegin), 0);
        EXPECT_TRUE(this->ReadAll(5000) == bytes);
        if (const StreamPipeMemory* copy = TypeParam::Copy(*this->m_Pipe)) {
            EXPECT_TRUE(std::string(reinterpret_cast<const char*>(copy->GetData()),
                                    static_cast<size_t>(copy->GetSize())) == bytes);
        }
        if constexpr (TypeParam::k_Truncates) {
            // Cut at 100: the end is there.
            EXPECT_EQ(this->m_Pipe->Seek(100, SeekBegin), 100);
            EXPECT_TRUE(this->m_Pipe->Truncate());
            EXPECT_EQ(this->m_Pipe->Seek(0, SeekEnd), 100);
            EXPECT_EQ(this->m_Pipe->Read(), -1);
        } else {
            EXPECT_FALSE(this->m_Pipe->Truncate());
        }
    }
}

} // namespace
