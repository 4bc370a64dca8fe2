// The filter pipes: the byte-range chunk, the gzip decoder (on data made by the gzip program and
// by zlib) and the TEA cipher (on published vectors and a plain reference loop).

#include "quorlix/core/Obj.h"
#include "quorlix/stream/StreamPipeChunk.h"
#include "quorlix/stream/StreamPipeCipherTEA.h"
#include "quorlix/stream/StreamPipeCompressZ.h"
#include "quorlix/stream/StreamPipeFilter.h"
#include "quorlix/stream/StreamPipeMemory.h"
#include "quorlix/stream/StreamPipeNull.h"
#include "stream/PipeTestSupport.h"
#include "support/FaultPipe.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <iterator>
#include <numeric>
#include <string>
#include <vector>

using namespace Quorlix;
using namespace QuorlixTest;

namespace {

StreamPipeMemory* Memory(const std::string& bytes) {
    return StreamPipeMemory::Create(bytes.data(), static_cast<int>(bytes.size()));
}

std::string ReadAll(StreamPipe& pipe, int chunk) {
    std::string all;
    std::vector<char> buffer(static_cast<size_t>(chunk));
    for (int count; (count = pipe.Read(buffer.data(), chunk)) > 0;)
        all.append(buffer.data(), static_cast<size_t>(count));
    return all;
}

// Reads byte by byte, checking that Peek and PeekAt agree with what Read gives next.
std::string ReadBytes(StreamPipe& pipe) {
    std::string all;
    for (int peeked = pipe.PeekAt(1), byte; (byte = pipe.Read()) >= 0;) {
        EXPECT_EQ(pipe.Peek(), peeked);
        peeked = pipe.PeekAt(1);
        all += static_cast<char>(byte);
    }
    EXPECT_EQ(pipe.Peek(), -1);
    return all;
}

// ---- Chunk ------------------------------------------------------------------------------------

TEST(StreamPipeChunk, ClampsToItsRangeAndKeepsItsPlaceWhenTheInnerSeekFails) {
    const std::string file = Pattern().substr(0, 1000);
    Obj<FaultPipe> inner = NewObject<FaultPipe>(Memory(file));
    Obj<StreamPipeChunk> chunk = StreamPipeChunk::Create(inner, 100, 10);
    char buffer[50];
    const struct {
        int64_t m_Offset;
        int m_Origin;
        int64_t m_Position;
    } seeks[] = {{20, SeekBegin, 10},
                 {-5, SeekBegin, 0},
                 {-3, SeekEnd, 7},
                 {2, SeekCurrent, 9},
                 {INT64_MAX, SeekCurrent, 10},
                 {INT64_MIN, SeekEnd, 0},
                 {4, SeekBegin, 4},
                 {1, 7, -1}};
    for (const auto& seek : seeks)
        EXPECT_EQ(chunk->Seek(seek.m_Offset, seek.m_Origin), seek.m_Position) << seek.m_Offset;
    EXPECT_EQ(chunk->PeekAt(5), file[109] & 255);
    EXPECT_EQ(chunk->PeekAt(6), -1);
    EXPECT_EQ(chunk->PeekAt(-1), -1);
    EXPECT_EQ(chunk->Read(buffer, 50), 6);
    EXPECT_EQ(std::string(buffer, 6), file.substr(104, 6));
    EXPECT_EQ(chunk->Read(), -1);
    EXPECT_EQ(chunk->Peek(), -1);
    EXPECT_EQ(chunk->Skip(5) + chunk->Write("x", 1), 0);

    // A failed inner seek, or one that lands outside the range, leaves the position.
    EXPECT_EQ(chunk->Seek(3, SeekBegin), 3);
    inner->FailSeeks(FaultPipe::Fault::Once);
    EXPECT_EQ(chunk->Seek(8, SeekBegin), -1);
    EXPECT_EQ(chunk->Read(), file[103] & 255);
    Obj<StreamPipeChunk> overNull = StreamPipeChunk::Create(StreamPipeNull::Create(), 100, 10);
    EXPECT_EQ(overNull->Seek(0, SeekBegin), -1);
    EXPECT_EQ(overNull->Read(buffer, 50), 0);

    // The chunk keeps its own write time and passes none down.
    uint64_t created = 1, accessed = 1, written = 1;
    EXPECT_FALSE(chunk->SetFileTime(5, 6, 7));
    chunk->GetFileTime(created, accessed, written);
    EXPECT_EQ(created + accessed, 0u);
    EXPECT_EQ(written, 7u);
}

TEST(StreamPipeChunk, CountsPastTwoGigabytesAndRefusesNegativeCounts) {
    Obj<StreamPipeChunk> chunk = StreamPipeChunk::Create(Memory(Pattern()), 0, int64_t{3} << 30);
    char buffer[8];
    EXPECT_EQ(chunk->Read(buffer, -1) + chunk->Skip(-1) + chunk->Skip(0), 0);
    EXPECT_EQ(chunk->Skip(INT_MAX), 20000);
    EXPECT_EQ(chunk->Seek(0, SeekEnd), -1); // the memory pipe is shorter than the range
    EXPECT_EQ(chunk->Seek(0, SeekCurrent), 20000);
    Obj<StreamPipeChunk> near = StreamPipeChunk::Create(Memory("abc"), INT64_MAX - 2, INT64_MAX);
    EXPECT_EQ(near->GetLength(), 2);
}

// ---- TEA --------------------------------------------------------------------------------------

// The algorithm as published, one block at a time: the reference for the pipe's bulk code.
void ReferenceBlocks(std::string& bytes, const unsigned k[4], bool encipher) {
    for (size_t at = 0; at + 8 <= bytes.size(); at += 8) {
        uint32_t v[2];
        std::memcpy(v, bytes.data() + at, 8);
        uint32_t sum = encipher ? 0 : 0xC6EF3720u;
        for (int i = 0; i < 32; ++i) {
            if (encipher) {
                sum += 0x9E3779B9u;
                v[0] += ((v[1] << 4) + k[0]) ^ (v[1] + sum) ^ ((v[1] >> 5) + k[1]);
                v[1] += ((v[0] << 4) + k[2]) ^ (v[0] + sum) ^ ((v[0] >> 5) + k[3]);
            } else {
                v[1] -= ((v[0] << 4) + k[2]) ^ (v[0] + sum) ^ ((v[0] >> 5) + k[3]);
                v[0] -= ((v[1] << 4) + k[0]) ^ (v[1] + sum) ^ ((v[1] >> 5) + k[1]);
                sum -= 0x9E3779B9u;
            }
        }
        std::memcpy(bytes.data() + at, v, 8);
    }
}

const unsigned k_Key[4] = {0x01234567u, 0x89ABCDEFu, 0xFEDCBA98u, 0x76543210u};

TEST(TEA, MatchesThePublishedVectorAndDeciphersBack) {
    const unsigned zero[4] = {0, 0, 0, 0};
    unsigned block[2] = {0, 0};
    EncipherTEA32(block, block, zero);
    EXPECT_EQ(block[0], 0x41EA3A0Au);
    EXPECT_EQ(block[1], 0x94BAA940u);
    DecipherTEA32(block, block, zero);
    EXPECT_EQ(block[0] | block[1], 0u);
}

TEST(StreamPipeCipherTEA, AgreesWithTheReferenceWhateverTheReadsBelowDeliver) {
    // 20003 bytes: a damaged stream's trailing partial block comes through undeciphered.
    const std::string plain = Pattern() + "abc";
    std::string cipher = plain;
    ReferenceBlocks(cipher, k_Key, true);
    for (int trickle : {0, 3, 13})
        for (int chunk : {1, 7, 8192, 8195, 30000}) {
            Obj<FaultPipe> inner = NewObject<FaultPipe>(Memory(cipher));
            inner->Trickle(trickle);
            Obj<StreamPipeCipherTEA> pipe = StreamPipeCipherTEA::Create(inner, k_Key);
            EXPECT_TRUE(ReadAll(*pipe, chunk) == plain) << trickle << " " << chunk;
        }
    Obj<FaultPipe> inner = NewObject<FaultPipe>(Memory(cipher));
    inner->Trickle(5);
    Obj<StreamPipeCipherTEA> pipe = StreamPipeCipherTEA::Create(inner, k_Key);
    EXPECT_EQ(pipe->Skip(3), 3);
    EXPECT_EQ(pipe->PeekAt(8191), plain[3 + 8191] & 255);
    EXPECT_EQ(pipe->PeekAt(9000), -2);
    EXPECT_EQ(pipe->Skip(10000), 10000);
    EXPECT_TRUE(ReadBytes(*pipe) == plain.substr(10003));

    // Written in pieces and padded, the stream is the reference's.
    Obj<StreamPipeMemory> out = StreamPipeMemory::Create();
    pipe = StreamPipeCipherTEA::Create(out, k_Key);
    size_t done = 0;
    for (int piece : {1, 7, 8192, 8191, 3612})
        done += static_cast<size_t>(pipe->Write(plain.data() + done, piece));
    pipe = nullptr;
    std::string padded = plain + std::string(5, '\0');
    ReferenceBlocks(padded, k_Key, true);
    EXPECT_TRUE(std::string(reinterpret_cast<const char*>(out->GetData()), 20008) == padded);
}

// Counts the writes that reach the pipe below, and their sizes.
class WriteCounter final : public StreamPipeFilter {
public:
    explicit WriteCounter(StreamPipe* inner) : StreamPipeFilter(inner) {}
    int Read(void* buffer, int n) override { return m_Inner->Read(buffer, n); }
    int Read() override { return m_Inner->Read(); }
    int Peek() override { return m_Inner->Peek(); }
    int PeekAt(int offset) override { return m_Inner->PeekAt(offset); }
    int Skip(int n) override { return m_Inner->Skip(n); }
    int Write(const void* data, int n) override {
        ++m_Writes;
        if (n % 8 != 0)
            ++m_PartialBlocks;
        return m_Inner->Write(data, n);
    }
    int64_t Seek(int64_t offset, int origin) override { return m_Inner->Seek(offset, origin); }

    int m_Writes = 0;
    int m_PartialBlocks = 0;
};

TEST(StreamPipeCipherTEA, SendsEveryWholeBlockDownWithTheWriteThatCompletesIt) {
    const std::string plain = Pattern() + Pattern() + Pattern();
    Obj<StreamPipeMemory> out = StreamPipeMemory::Create();
    Obj<WriteCounter> counter = NewObject<WriteCounter>(out);
    Obj<StreamPipeCipherTEA> pipe = StreamPipeCipherTEA::Create(counter, k_Key);
    int done = 0;
    const int pieces[] = {1, 6, 1, 13, 3, 8192, 8189, 16384, 7467};
    ASSERT_LE(std::accumulate(std::begin(pieces), std::end(pieces), size_t{0}), plain.size());
    for (int piece : pieces) {
        EXPECT_EQ(pipe->Write(plain.data() + done, piece), piece);
        done += piece;
        EXPECT_EQ(out->GetSize(), done / 8 * 8) << "after " << done;
    }
    pipe->Flush(); // nothing more: the partial block waits for more data or the end
    EXPECT_EQ(out->GetSize(), done / 8 * 8);
    EXPECT_EQ(counter->m_PartialBlocks, 0);
    pipe = nullptr;
    std::string expected = plain.substr(0, static_cast<size_t>(done));
    expected.resize((expected.size() + 7) / 8 * 8, '\0');
    ReferenceBlocks(expected, k_Key, true);
    EXPECT_TRUE(std::string(reinterpret_cast<const char*>(out->GetData()), expected.size()) ==
                expected);

    // A large write goes down in large pieces.
    std::string big(1 << 20, 'b');
    counter = NewObject<WriteCounter>(StreamPipeMemory::Create());
    pipe = StreamPipeCipherTEA::Create(counter, k_Key);
    EXPECT_EQ(pipe->Write(big.data(), 1 << 20), 1 << 20);
    EXPECT_EQ(counter->m_Writes, (1 << 20) / StreamPipeCipherTEA::k_WritePiece);
}

TEST(StreamPipeCipherTEA, SeeksOnlyToZeroAndReportsWhatCouldNotBeWritten) {
    LogCapture capture;
    std::string cipher = Pattern();
    ReferenceBlocks(cipher, k_Key, true);
    Obj<StreamPipeCipherTEA> pipe = StreamPipeCipherTEA::Create(Memory(cipher), k_Key);
    EXPECT_EQ(pipe->Read(), Pattern()[0] & 255);
    EXPECT_EQ(pipe->Seek(0, SeekCurrent), 1); // asking where it is loses no read-ahead
    EXPECT_EQ(pipe->Read(), Pattern()[1] & 255);
    EXPECT_EQ(pipe->Seek(5, SeekBegin), -1);
    EXPECT_EQ(pipe->Seek(0, SeekBegin), 0);
    EXPECT_TRUE(ReadAll(*pipe, 4096) == Pattern());

    // Refused blocks stay enciphered in the write buffer until it is full.
    Obj<FaultPipe> full = NewObject<FaultPipe>(StreamPipeMemory::Create());
    full->FailWrites(FaultPipe::Fault::Always);
    pipe = StreamPipeCipherTEA::Create(full, k_Key);
    const std::string four = cipher + cipher + cipher + cipher;
    EXPECT_EQ(pipe->Write(four.data(), 60000), 60000);
    EXPECT_EQ(pipe->Write(four.data(), 20000), StreamPipeCipherTEA::k_WritePiece - 60000);
    EXPECT_EQ(pipe->Write(four.data(), 8), 0);
    pipe = nullptr;
    EXPECT_EQ(capture.Messages(),
              (std::vector<std::string>{
                  "[Warn ]StreamPipeCipherTEA::Seek: random seek within compressed file not "
                  "supported.",
                  "[Warn ]StreamPipeCipherTEA::~StreamPipeCipherTEA: 65536 bytes could not be "
                  "written."}));
}

// ---- gzip -------------------------------------------------------------------------------------

// Compresses with zlib's own gzip writer, or with a header carrying every optional field.
std::string ZlibGzip(const std::string& data, bool fullHeader) {
    z_stream stream{};
    deflateInit2(&stream, 9, Z_DEFLATED, 31, 8, Z_DEFAULT_STRATEGY);
    std::string extra = "xy\4\0data", name = "name.txt", comment = "a comment";
    gz_header header{};
    header.extra = reinterpret_cast<Bytef*>(extra.data());
    header.extra_len = static_cast<uInt>(extra.size());
    header.name = reinterpret_cast<Bytef*>(name.data());
    header.comment = reinterpret_cast<Bytef*>(comment.data());
    header.hcrc = 1;
    if (fullHeader)
        deflateSetHeader(&stream, &header);
    std::string out(deflateBound(&stream, data.size()) + 64, '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    stream.avail_in = static_cast<uInt>(data.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

// The gzip program's output, with the file name stored.
std::string GzipProgram(const std::string& data) {
    TempDir folder;
    WriteFileBytes(folder / "input.txt", data);
    const std::string command =
        "gzip -9 -c '" + folder / "input.txt" + "' > '" + folder / "out.gz" + "'";
    EXPECT_EQ(std::system(command.c_str()), 0);
    return ReadFileBytes(folder / "out.gz");
}

std::string GzwriteFile(const std::string& data) {
    TempDir folder;
    gzFile file = gzopen((folder / "out.gz").c_str(), "wb9");
    gzwrite(file, data.data(), static_cast<unsigned>(data.size()));
    gzclose(file);
    return ReadFileBytes(folder / "out.gz");
}

std::string Patched(std::string bytes, size_t fromEnd, char value) {
    bytes[bytes.size() - fromEnd] = value;
    return bytes;
}

TEST(StreamPipeCompressZ, DecodesRealGzipDataAndEndsCleanlyOnDamage) {
    const std::string text = Pattern() + std::string(30000, 'q') + "tail";
    const std::string gzip = GzipProgram(text);
    ASSERT_GT(gzip.size(), 20u);
    ASSERT_EQ(gzip[3] & 8, 8) << "the gzip program stores the name";
    const struct {
        const char* m_Name;
        std::string m_Input;
        std::string m_Output;
        bool m_Damaged;
    } cases[] = {
        {"gzip program", gzip, text, false},
        {"gzwrite", GzwriteFile(text), text, false},
        {"extra, name, comment, header CRC", ZlibGzip(text, true), text, false},
        {"concatenated members", gzip + ZlibGzip("second", false) + GzipProgram(""),
         text + "second", false},
        {"zero padding after a member", gzip + std::string(7, '\0'), text, false},
        {"not gzip", "plain text\x1f", "plain text\x1f", false},
        {"one magic byte", "\x1f", "\x1f", false},
        {"empty", "", "", false},
        {"bad CRC", Patched(gzip, 8, 'x'), text, true},
        {"bad length", Patched(gzip, 4, 'x'), text, true},
        {"method 7", Patched(gzip, gzip.size() - 2, 7), "", true},
        {"reserved flag", Patched(gzip, gzip.size() - 3, 0x20), "", true},
        {"header cut short", gzip.substr(0, 9), "", true},
        {"name never ends", gzip.substr(0, 14), "", true},
        {"member cut short", gzip.substr(0, gzip.size() / 2), "", true},
        {"trailer cut short", gzip.substr(0, gzip.size() - 3), text, true},
        {"bad second header", gzip + Patched(gzip, gzip.size() - 2, 9), text, true},
    };
    for (const auto& c : cases) {
        for (int trickle : {0, 7})
            for (int chunk : {0, 1, 4096, 8192, 100000}) {
                Obj<FaultPipe> inner = NewObject<FaultPipe>(Memory(c.m_Input));
                inner->Trickle(trickle);
                Obj<StreamPipeCompressZ> pipe = StreamPipeCompressZ::Create(inner);
                const std::string out = chunk == 0 ? ReadBytes(*pipe) : ReadAll(*pipe, chunk);
                // What a damaged member gives before the damage is a prefix of its data.
                if (c.m_Output.empty() && c.m_Damaged)
                    EXPECT_TRUE(text.compare(0, out.size(), out) == 0) << c.m_Name;
                else
                    EXPECT_TRUE(out == c.m_Output) << c.m_Name << ", chunk " << chunk;
                EXPECT_EQ(pipe->IsDamaged(), c.m_Damaged) << c.m_Name;
                EXPECT_EQ(pipe->Read(), -1);
            }
    }
}

TEST(StreamPipeCompressZ, PeeksSkipsAndRestartsFromTheBeginningOnly) {
    LogCapture capture;
    const std::string text = Pattern();
    Obj<StreamPipeMemory> inner = Memory("not compressed");
    Obj<StreamPipeCompressZ> pipe = StreamPipeCompressZ::Create(inner);
    EXPECT_EQ(ReadAll(*pipe, 3), "not compressed");
    // A restart forgets everything: the same pipe now decodes gzip data.
    const std::string gzip = GzipProgram(text);
    inner->Seek(0, SeekBegin);
    inner->Write(gzip.data(), static_cast<int>(gzip.size()));
    EXPECT_EQ(pipe->Seek(0, SeekBegin), 0);
    EXPECT_EQ(pipe->Skip(5), 5);
    EXPECT_EQ(pipe->PeekAt(8191), text[5 + 8191] & 255);
    EXPECT_EQ(pipe->PeekAt(8192), -2);
    EXPECT_EQ(pipe->Read(), text[5] & 255);
    EXPECT_EQ(pipe->Skip(19990), 19990);
    EXPECT_EQ(pipe->PeekAt(3), text[19999] & 255);
    EXPECT_EQ(pipe->PeekAt(4), -1);
    EXPECT_EQ(pipe->Seek(5, SeekBegin), -1);
    EXPECT_EQ(pipe->Seek(0, SeekCurrent), -1);
    EXPECT_EQ(pipe->SeekCompressed(3, SeekBegin), -1);
    EXPECT_EQ(pipe->Seek(0, SeekBegin), 0);
    EXPECT_TRUE(ReadAll(*pipe, 10000) == text);
    EXPECT_EQ(pipe->SeekCompressed(0, SeekCurrent), static_cast<int64_t>(gzip.size()));
    EXPECT_EQ(pipe->SeekCompressed(0, SeekBegin), 0);
    EXPECT_EQ(pipe->SeekCompressed(0, SeekEnd), static_cast<int64_t>(gzip.size()));
    EXPECT_EQ(pipe->Read(), -1);
    // Only the chunk answers a write with 0; the decoder does not write at all.
    EXPECT_EQ(pipe->Write("x", 1), -1);
    EXPECT_EQ(pipe->Write(nullptr, 0), -1);
    EXPECT_EQ(inner->GetSize(), static_cast<int>(gzip.size()));
    // A missing inner pipe reads as empty in every filter.
    for (StreamPipe* empty : {static_cast<StreamPipe*>(StreamPipeCompressZ::Create(nullptr)),
                              static_cast<StreamPipe*>(StreamPipeCipherTEA::Create(nullptr, k_Key)),
                              static_cast<StreamPipe*>(StreamPipeChunk::Create(nullptr, 0, 9))})
        EXPECT_EQ(Obj<StreamPipe>(empty)->Read(), -1);
    const std::string warning = ": random seek within compressed file not supported.";
    EXPECT_EQ(capture.Messages(),
              (std::vector<std::string>{"[Warn ]StreamPipeCompressZ::Seek" + warning,
                                        "[Warn ]StreamPipeCompressZ::Seek" + warning,
                                        "[Warn ]StreamPipeCompressZ::SeekCompressed" + warning}));
}

TEST(FilterPipes, StackAsArchiveMembersDo) {
    // gzip data enciphered (and so padded to whole blocks) inside a larger file: chunk, then
    // cipher, then decoder give back exactly the text.
    const std::string text = Pattern(), gzip = GzipProgram(text);
    Obj<StreamPipeMemory> file = Memory("head");
    file->Seek(0, SeekEnd);
    {
        Obj<StreamPipeCipherTEA> cipher = StreamPipeCipherTEA::Create(file, k_Key);
        cipher->Write(gzip.data(), static_cast<int>(gzip.size()));
    }
    const int64_t stored = file->GetSize() - 4;
    ASSERT_EQ(stored % 8, 0);
    file->Write("tail", 4);
    Obj<StreamPipeChunk> chunk = StreamPipeChunk::Create(file, 4, stored);
    ASSERT_EQ(chunk->Seek(0, SeekBegin), 0);
    Obj<StreamPipeCompressZ> pipe =
        StreamPipeCompressZ::Create(StreamPipeCipherTEA::Create(chunk, k_Key));
    EXPECT_TRUE(ReadAll(*pipe, 1000) == text);
    EXPECT_FALSE(pipe->IsDamaged());
}

TEST(StreamPipeCompressZ, StreamsAGigabyteOfZerosAsItIsRead) {
    // One gigabyte of zeros deflates to about a megabyte; reading a megabyte of it must not
    // inflate more than a sliver of the input.
    z_stream stream{};
    deflateInit2(&stream, 9, Z_DEFLATED, 31, 8, Z_DEFAULT_STRATEGY);
    std::vector<unsigned char> zeros(1 << 20), out(1 << 21);
    std::string gzip;
    for (int i = 0; i < 1024; ++i) {
        stream.next_in = zeros.data();
        stream.avail_in = static_cast<uInt>(zeros.size());
        do {
            stream.next_out = out.data();
            stream.avail_out = static_cast<uInt>(out.size());
            deflate(&stream, i == 1023 ? Z_FINISH : Z_NO_FLUSH);
            gzip.append(reinterpret_cast<char*>(out.data()), out.size() - stream.avail_out);
        } while (stream.avail_out == 0);
    }
    deflateEnd(&stream);
    Obj<FaultPipe> inner = NewObject<FaultPipe>(Memory(gzip));
    Obj<StreamPipeCompressZ> pipe = StreamPipeCompressZ::Create(inner);
    std::vector<char> buffer(1 << 20, 'x');
    EXPECT_EQ(pipe->Read(buffer.data(), 1 << 20), 1 << 20);
    EXPECT_EQ(std::count(buffer.begin(), buffer.end(), 0), 1 << 20);
    EXPECT_LT(inner->Position(), 64 << 10);
    EXPECT_EQ(pipe->Skip(1 << 24), 1 << 24);
    EXPECT_FALSE(pipe->IsDamaged());
}

} // namespace
