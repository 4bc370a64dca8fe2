// The same read, peek, skip, seek and write cases against every pipe. Each pipe's traits say
// what it holds and where its contract differs: look-ahead, skipping, its seek rule, writing.

#include "quorlix/core/Obj.h"
#include "quorlix/stream/StreamPipeFile.h"
#include "quorlix/stream/StreamPipeFileCache.h"
#include "quorlix/stream/StreamPipeMemory.h"
#include "quorlix/stream/StreamPipeNull.h"
#include "quorlix/stream/StreamPipeResource.h"
#include "stream/PipeTestSupport.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <type_traits>
#include <vector>

using namespace Quorlix;
using namespace QuorlixTest;

namespace {

TempDir& Folder() {
    static TempDir s_Folder;
    return s_Folder;
}

std::string FreshPath() {
    static int s_Count = 0;
    return Folder() / ("file" + std::to_string(++s_Count));
}

// The file-like seek rule: base + offset, anything not negative (past the end too).
int64_t FileSeek(int64_t size, int64_t position, int64_t offset, int origin) {
    const int64_t base = origin == SeekBegin ? 0 : origin == SeekCurrent ? position : size;
    int64_t result;
    if (origin < -1 || origin > 1 || __builtin_add_overflow(base, offset, &result) || result < 0)
        return -1;
    return result;
}

template <class Pipe>
struct FileTraits {
    static constexpr bool k_Writable = true, k_Skips = false;
    static constexpr int k_LookAhead = 0;
    static std::string Content() { return Pattern(); }
    static StreamPipe* Open() {
        const std::string path = FreshPath();
        WriteFileBytes(path, Pattern());
        return Pipe::Create(path.c_str(), IOReadDefault);
    }
    static StreamPipe* OpenEmpty() { return Pipe::Create(FreshPath().c_str(), 15); }
    static int64_t Seek(int64_t size, int64_t position, int64_t offset, int origin) {
        return FileSeek(size, position, offset, origin);
    }
};

struct PlainFile : FileTraits<StreamPipeFile> {};
struct CachedFile : FileTraits<StreamPipeFileCache> {
    static constexpr bool k_Skips = true;
    static constexpr int k_LookAhead = StreamPipeFileCache::k_BufferSize;
};

struct Memory {
    static constexpr bool k_Writable = true, k_Skips = true;
    static constexpr int k_LookAhead = INT_MAX;
    static std::string Content() { return Pattern(); }
    static StreamPipe* Open() {
        const std::string bytes = Pattern();
        return StreamPipeMemory::Create(bytes.data(), static_cast<int>(bytes.size()));
    }
    static StreamPipe* OpenEmpty() { return StreamPipeMemory::Create(); }
    static int64_t Seek(int64_t size, int64_t position, int64_t offset, int origin) {
        const int64_t result = FileSeek(size, position, offset, origin);
        return result > size ? -1 : result;
    }
};

struct Resource {
    static constexpr bool k_Writable = false, k_Skips = true;
    static constexpr int k_LookAhead = INT_MAX;
    static std::string Content() { return Pattern(); }
    static StreamPipe* Open() {
        return StreamPipeResource::Create("QuorlixStreamTests/PATTERN.bin", IOReadDefault);
    }
    // From the end the offset counts backwards, and the end itself is no position.
    static int64_t Seek(int64_t size, int64_t position, int64_t offset, int origin) {
        int64_t result = FileSeek(size, position, offset, origin);
        if (origin == SeekEnd && __builtin_sub_overflow(size, offset, &result))
            return -1;
        return result < 0 || result >= size ? -1 : result;
    }
};

struct Null {
    static constexpr bool k_Writable = false, k_Skips = true;
    static constexpr int k_LookAhead = INT_MAX;
    static std::string Content() { return {}; }
    static StreamPipe* Open() { return StreamPipeNull::Create(); }
    static int64_t Seek(int64_t, int64_t, int64_t, int) { return 0; }
};

template <class Traits>
class StreamPipeConformance : public testing::Test {
protected:
    void SetUp() override {
        m_Pipe = Traits::Open();
        m_Content = Traits::Content();
    }
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

    Obj<StreamPipe> m_Pipe;
    std::string m_Content;
};

using Pipes = testing::Types<PlainFile, CachedFile, Memory, Resource, Null>;
class PipeNames {
public:
    template <class T>
    static std::string GetName(int) {
        if (std::is_same_v<T, PlainFile>)
            return "File";
        if (std::is_same_v<T, CachedFile>)
            return "FileCache";
        if (std::is_same_v<T, Memory>)
            return "Memory";
        if (std::is_same_v<T, Resource>)
            return "Resource";
        return "Null";
    }
};
TYPED_TEST_SUITE(StreamPipeConformance, Pipes, PipeNames);

TYPED_TEST(StreamPipeConformance, ReadsEveryByteWhateverTheChunkSize) {
    for (int chunk : {1, 7, 8191, 8192, 8193, 30000}) {
        this->SetUp();
        EXPECT_TRUE(this->ReadAll(chunk) == this->m_Content) << "chunk " << chunk;
        EXPECT_EQ(this->m_Pipe->Read(), -1);
    }
    this->SetUp();
    std::string bytes;
    for (int byte; (byte = this->m_Pipe->Read()) >= 0;)
        bytes += static_cast<char>(byte); // the leading 0xFF must not read as the end
    EXPECT_TRUE(bytes == this->m_Content);
    EXPECT_EQ(this->m_Pipe->Read(), -1);
}

TYPED_TEST(StreamPipeConformance, PeeksWithinItsLookAheadWithoutConsuming) {
    StreamPipe& pipe = *this->m_Pipe;
    const int size = static_cast<int>(this->m_Content.size());
    const auto expect = [&](int offset, int position) {
        return offset >= TypeParam::k_LookAhead ? -2 : this->At(position + offset);
    };
    EXPECT_EQ(pipe.Peek(), TypeParam::k_LookAhead > 0 ? this->At(0) : -2);
    EXPECT_EQ(pipe.Read(), this->At(0));
    for (int offset : {0, 1, 100, 8190, 8191, 8192, 9000})
        EXPECT_EQ(pipe.PeekAt(offset), expect(offset, 1)) << "offset " << offset;
    EXPECT_EQ(pipe.Read(), this->At(1));
    // Close to the end the look-ahead meets the end of the data.
    if (size > 10 && pipe.Seek(size - 10, SeekBegin) == size - 10) {
        EXPECT_EQ(pipe.PeekAt(9), expect(9, size - 10));
        EXPECT_EQ(pipe.PeekAt(10), TypeParam::k_LookAhead > 10 ? -1 : -2);
        EXPECT_EQ(pipe.Read(), this->At(size - 10));
    }
}

TYPED_TEST(StreamPipeConformance, SkipsAndStopsAtTheEnd) {
    StreamPipe& pipe = *this->m_Pipe;
    const int size = static_cast<int>(this->m_Content.size());
    if (!TypeParam::k_Skips) {
        EXPECT_EQ(pipe.Skip(10), 0);
        EXPECT_EQ(pipe.Read(), this->At(0));
        return;
    }
    EXPECT_EQ(pipe.Skip(0), 0);
    EXPECT_EQ(pipe.Skip(-5), 0);
    const int first = size < 10 ? size : 10;
    EXPECT_EQ(pipe.Skip(10), first);
    EXPECT_EQ(pipe.Read(), this->At(10));
    EXPECT_EQ(pipe.Skip(INT_MAX), size > 11 ? size - 11 : 0);
    EXPECT_EQ(pipe.Skip(1), 0);
    EXPECT_EQ(pipe.Read(), -1);
}

TYPED_TEST(StreamPipeConformance, SeeksFromEveryOriginAndReadsThere) {
    StreamPipe& pipe = *this->m_Pipe;
    const int64_t size = static_cast<int64_t>(this->m_Content.size());
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
        const int64_t expected = TypeParam::Seek(size, position, step.m_Offset, step.m_Origin);
        ASSERT_EQ(pipe.Seek(step.m_Offset, step.m_Origin), expected)
            << "Seek(" << step.m_Offset << ", " << step.m_Origin << ") from " << position;
        if (expected >= 0)
            position = expected;
        ASSERT_EQ(pipe.Read(), this->At(position)) << "after seeking to " << position;
        position += position < size ? 1 : 0;
    }
}

TYPED_TEST(StreamPipeConformance, WritesWhatReadsBackOrAcceptsNothing) {
    const std::string bytes = Pattern();
    if constexpr (!TypeParam::k_Writable) {
        EXPECT_EQ(this->m_Pipe->Write(bytes.data(), 100), 0);
        EXPECT_FALSE(this->m_Pipe->Truncate());
        EXPECT_EQ(this->m_Pipe->Read(), this->At(0));
    } else {
        this->m_Pipe = TypeParam::OpenEmpty();
        StreamPipe& pipe = *this->m_Pipe;
        size_t done = 0;
        for (int chunk : {1, 7, 8191, 8192}) {
            EXPECT_EQ(pipe.Write(bytes.data() + done, chunk), chunk);
            done += static_cast<size_t>(chunk);
        }
        EXPECT_EQ(pipe.Write(bytes.data() + done, static_cast<int>(bytes.size() - done)),
                  static_cast<int>(bytes.size() - done));
        EXPECT_EQ(pipe.Write(bytes.data(), 0), 0);
        EXPECT_EQ(pipe.Seek(0, SeekBegin), 0);
        EXPECT_TRUE(this->ReadAll(5000) == bytes);
        // Cut at 100: the end is there.
        EXPECT_EQ(pipe.Seek(100, SeekBegin), 100);
        EXPECT_TRUE(pipe.Truncate());
        EXPECT_EQ(pipe.Seek(0, SeekEnd), 100);
        EXPECT_EQ(pipe.Read(), -1);
    }
}

TYPED_TEST(StreamPipeConformance, GivesFileTimesOnlyForFiles) {
    uint64_t created = 1, accessed = 1, written = 1;
    this->m_Pipe->GetFileTime(created, accessed, written);
    const bool file = std::is_base_of_v<FileTraits<StreamPipeFile>, TypeParam> ||
                      std::is_base_of_v<FileTraits<StreamPipeFileCache>, TypeParam>;
    if (!file) {
        EXPECT_EQ(created + accessed + written, 0u);
        EXPECT_FALSE(this->m_Pipe->SetFileTime(0, 1, 1));
        return;
    }
    EXPECT_GT(written, 116444736000000000u); // after 1970
    EXPECT_TRUE(this->m_Pipe->SetFileTime(0, 0, 0));
    const uint64_t year2001 = 126227808000000000u;
    EXPECT_TRUE(this->m_Pipe->SetFileTime(0, year2001 + 1234567, year2001));
    this->m_Pipe->GetFileTime(created, accessed, written);
    EXPECT_EQ(accessed, year2001 + 1234567);
    EXPECT_EQ(written, year2001);
    // The creation time stays the file system's: asking for another one is not success.
    EXPECT_FALSE(this->m_Pipe->SetFileTime(created + 10000000, 0, 0));
    EXPECT_TRUE(this->m_Pipe->SetFileTime(created, 0, 0));
}

} // namespace
