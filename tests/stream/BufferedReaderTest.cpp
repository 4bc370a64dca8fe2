// The buffered reader on its own, over a source that counts and checks what it is asked for:
// block-sized fills for a block source, direct reads for large requests, look-ahead across
// refills, and reading a memory block in place.

#include "quorlix/stream/BufferedReader.h"
#include "stream/PipeTestSupport.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

using namespace Quorlix;
using namespace QuorlixTest;

namespace {

// Delivers `data` in pieces of at most `trickle` bytes (0: as asked), whole granules only
// except at the end, as a block cipher does.
class Source final : public BufferedReader {
public:
    Source(std::string data, int granule, int trickle)
        : BufferedReader(granule), m_Data(std::move(data)), m_Granule(granule), m_Trickle(trickle) {
    }

    int m_Fills = 0;
    int m_Directs = 0;
    int m_BadSizes = 0;

private:
    int Deliver(unsigned char* out, int size) {
        if (size <= 0 || size % m_Granule != 0)
            ++m_BadSizes;
        int count = static_cast<int>(m_Data.size() - m_At);
        count = size < count ? size : count;
        if (m_Trickle > 0 && count > m_Trickle)
            count = m_Trickle < m_Granule ? m_Granule : m_Trickle / m_Granule * m_Granule;
        std::memcpy(out, m_Data.data() + m_At, static_cast<size_t>(count));
        m_At += static_cast<size_t>(count);
        return count;
    }
    int FillBuffer(unsigned char* data, int size) override {
        ++m_Fills;
        return Deliver(data, size);
    }
    int ReadDirect(unsigned char* data, int size) override {
        ++m_Directs;
        if (size < k_BufferSize)
            ++m_BadSizes;
        return Deliver(data, size);
    }

    std::string m_Data;
    size_t m_At = 0;
    int m_Granule;
    int m_Trickle;
};

// Reads a block in place; it must never ask a source.
class InPlace final : public BufferedReader {
public:
    InPlace(const void* data, int size) : BufferedReader(data, size) {}

private:
    int FillBuffer(unsigned char*, int) override {
        ADD_FAILURE() << "an in-place reader has no source";
        return 0;
    }
};

std::string ReadAll(BufferedReader& reader, int chunk) {
    std::string all;
    std::vector<char> buffer(static_cast<size_t>(chunk));
    for (int count; (count = reader.Read(buffer.data(), chunk)) > 0;)
        all.append(buffer.data(), static_cast<size_t>(count));
    return all;
}

TEST(BufferedReader, DeliversEveryRequestSizeAndAsksTheSourceOnlyForWholeGranules) {
    const std::string data = Pattern() + "odd";
    for (int granule : {1, 8})
        for (int trickle : {0, 5, 3000})
            for (int chunk : {1, 7, 8191, 8192, 8195, 30000}) {
                Source source(data, granule, trickle);
                EXPECT_TRUE(ReadAll(source, chunk) == data)
                    << granule << " " << trickle << " " << chunk;
                EXPECT_EQ(source.m_BadSizes, 0);
                EXPECT_EQ(source.Read(), -1);
                EXPECT_EQ(source.Peek(), -1);
            }
    // Single bytes ask the source only when the buffer is empty; a large request goes straight
    // to the caller's buffer in one call, and a rest below 8192 bytes costs one refill.
    Source bytes(data, 1, 0);
    for (size_t i = 0; i < data.size(); ++i)
        ASSERT_EQ(bytes.Read(), data[i] & 255) << i;
    EXPECT_EQ(bytes.m_Fills, 3);
    EXPECT_EQ(bytes.Read(), -1);
    EXPECT_EQ(bytes.m_Fills, 4);
    Source large(data, 8, 0);
    std::vector<char> buffer(30000);
    EXPECT_EQ(large.Read(buffer.data(), 10), 10);
    EXPECT_EQ(large.GetBuffered(), 8182);
    EXPECT_EQ(large.Read(buffer.data(), 8182 + 9000 + 3), 8182 + 9000 + 3);
    EXPECT_EQ(large.m_Directs, 1);
    EXPECT_EQ(large.m_Fills, 2); // the first read, then the 3 bytes behind the 9000 direct ones
    EXPECT_TRUE(std::string(buffer.data(), 17185) == data.substr(10, 17185));
    EXPECT_EQ(large.Read(buffer.data(), 100), 100);
    EXPECT_EQ(large.m_Fills, 2);
    EXPECT_EQ(large.Read(nullptr, 5) + large.Read(buffer.data(), 0) + large.Read(buffer.data(), -1),
              0);
}

TEST(BufferedReader, LooksAheadAcrossRefillsUpToTheBufferSize) {
    const std::string data = Pattern();
    for (int granule : {1, 8}) {
        Source source(data, granule, 5);
        EXPECT_EQ(source.Skip(3), 3);
        // Unread bytes of any count stay in front of what is fetched behind them.
        EXPECT_EQ(source.PeekAt(8191), data[3 + 8191] & 255);
        EXPECT_EQ(source.PeekAt(8192), -2);
        EXPECT_EQ(source.PeekAt(INT_MAX), -2);
        EXPECT_EQ(source.PeekAt(-1), -1);
        EXPECT_EQ(source.Peek(), data[3] & 255);
        EXPECT_EQ(source.Skip(10000), 10000);
        std::string rest;
        for (int peeked = source.PeekAt(1), byte; (byte = source.Read()) >= 0;) {
            ASSERT_EQ(source.Peek(), peeked);
            peeked = source.PeekAt(1);
            rest += static_cast<char>(byte);
        }
        EXPECT_TRUE(rest == data.substr(10003));
        EXPECT_EQ(source.PeekAt(0), -1);
        EXPECT_EQ(source.PeekAt(9000), -1); // nothing left at all
        EXPECT_EQ(source.Skip(1), 0);
        EXPECT_EQ(source.m_BadSizes, 0);
    }
    Source shortData("abc", 8, 0);
    EXPECT_EQ(shortData.PeekAt(2), 'c');
    EXPECT_EQ(shortData.PeekAt(3), -1);
    EXPECT_EQ(shortData.Skip(INT_MAX), 3);
}

TEST(BufferedReader, ReadsAMemoryBlockInPlace) {
    const std::string data = Pattern();
    InPlace reader(data.data(), static_cast<int>(data.size()));
    EXPECT_EQ(reader.GetBuffered(), 20000);
    EXPECT_EQ(reader.Peek(), 255);
    EXPECT_EQ(reader.PeekAt(8191), data[8191] & 255);
    EXPECT_EQ(reader.PeekAt(8192), -2);
    EXPECT_EQ(reader.Read(), 255);
    std::vector<char> buffer(30000);
    EXPECT_EQ(reader.Read(buffer.data(), 10000), 10000);
    EXPECT_TRUE(std::string(buffer.data(), 10000) == data.substr(1, 10000));
    EXPECT_EQ(reader.Skip(9990), 9990);
    EXPECT_EQ(reader.PeekAt(8), data[19999] & 255);
    EXPECT_EQ(reader.PeekAt(9), -1);
    EXPECT_EQ(reader.Read(buffer.data(), 100), 9);
    EXPECT_EQ(reader.Read(), -1);
    EXPECT_EQ(reader.PeekAt(0), -1);
    EXPECT_EQ(reader.Skip(5), 0);
    InPlace empty(nullptr, 5);
    EXPECT_EQ(empty.Read() + empty.Peek() + empty.PeekAt(0), -3);
}

} // namespace
