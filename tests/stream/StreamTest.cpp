// Stream output, the pipe reference and the forwarders. Round trips through the scanners are
// checked by the stream_scan fuzzer.

#include "quorlix/stream/Stream.h"
#include "StreamTestPipes.h"
#include "quorlix/stream/StreamPipeFileCache.h"
#include "quorlix/stream/StreamPipeMemory.h"
#include "quorlix/stream/StreamPipeNull.h"

#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <climits>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <random>
#include <string>
#include <vector>

using namespace Quorlix;
using QuorlixTest::RecordingPipe;
using Log = std::vector<std::string>;

namespace {

template <class Write>
std::string Written(Write write) {
    Obj<StreamPipeMemory> pipe = StreamPipeMemory::Create();
    Stream stream(pipe);
    write(stream);
    return std::string(reinterpret_cast<const char*>(pipe->GetData()), size_t(pipe->GetSize()));
}

template <class T>
std::string Printed(const T& value) {
    return Written([&](Stream& s) { s << value; });
}

} // namespace

TEST(Stream, HoldsOneReferenceAndAlwaysAPipe) {
    Obj<StreamPipeMemory> a = StreamPipeMemory::Create(), b = StreamPipeMemory::Create();
    {
        Stream stream(a);
        stream.SetStreamPipe(a); // the same pipe again must not drop the stream's reference
        EXPECT_EQ(BlockRefCount(a.Get()), 2);
        stream.SetStreamPipe(b);
        EXPECT_EQ(BlockRefCount(a.Get()), 1);
        Stream copy(stream);
        Stream moved(std::move(copy));
        EXPECT_EQ(BlockRefCount(b.Get()), 4);
        copy << 1; // a moved-from stream still has its pipe
        EXPECT_EQ(b->GetSize(), 1);
        stream.SetStreamPipe(nullptr);
        EXPECT_EQ(stream.GetStreamPipe(), StreamPipeNull::GetSingleton());
        EXPECT_EQ(Stream(nullptr).GetStreamPipe(), StreamPipeNull::GetSingleton());
    }
    EXPECT_EQ(BlockRefCount(b.Get()), 1);
}

TEST(Stream, ForwardsRawOperationsAndOpensFiles) {
    Stream memory(StreamPipeMemory::Create("abcdef", 6));
    char two[2];
    EXPECT_EQ(memory.Seek(1, Stream::SeekBegin), 1);
    EXPECT_EQ(memory.PeekAt(2), 'd');
    EXPECT_EQ(memory.Read(), 'b');
    EXPECT_EQ(memory.Skip(1), 1);
    EXPECT_EQ(memory.Read(two, 2), 2);
    EXPECT_EQ(memory.Seek(-1, Stream::SeekCurrent), 4);
    EXPECT_TRUE(memory.Truncate());
    EXPECT_EQ(memory.SeekCompressed(0, Stream::SeekEnd), 4);
    EXPECT_FALSE(memory.SetFileTime(1, 2, 3));

    namespace fs = std::filesystem;
    const fs::path path =
        fs::temp_directory_path() / ("quorlix-stream-" + std::to_string(std::random_device()()));
    Stream(path.c_str(), IOWrite | 12) << -12 << ' ' << 2.5f; // create always; flushed at the end
    Stream plain(path.c_str(), IORead | IOUnbuffered);
    EXPECT_EQ(dynamic_cast<StreamPipeFileCache*>(plain.GetStreamPipe()), nullptr);
    int value = 0;
    EXPECT_EQ(plain.s(value), Stream::ScanError); // a plain file pipe cannot look ahead
    Stream buffered(path.c_str(), IOReadDefault);
    float real = 0;
    EXPECT_TRUE(buffered.s(value) == Stream::ScanOk && buffered.sWS() == Stream::ScanOk &&
                buffered.s(real) == Stream::ScanOk);
    EXPECT_EQ(value, -12);
    EXPECT_EQ(real, 2.5f);
    fs::remove(path);
    EXPECT_EQ(Stream((path / "missing").c_str(), IOReadDefault).Read(), -1);
}

TEST(Stream, WritesNumbersAndTextsWithOneWriteEach) {
    EXPECT_EQ(Printed(INT_MIN), "-2147483648");
    EXPECT_EQ(Printed(INT64_MIN), "-9223372036854775808");
    EXPECT_EQ(Printed(UINT_MAX), "4294967295");
    EXPECT_EQ(Printed(UINT64_MAX), "18446744073709551615");
    EXPECT_EQ(Printed(-5LL), "-5");
    EXPECT_EQ(Printed(static_cast<const char*>(nullptr)), "(NULL)");
    EXPECT_EQ(Printed(String("a\0b", 3)), std::string("a\0b", 3));
    // The point goes only where the text would otherwise read as an integer.
    const std::pair<double, const char*> doubles[] = {
        {0.5, "0.5"},
        {100.0, "100."},
        {-0.0, "-0."},
        {0.1, "0.100000000000000006"},
        {DBL_MAX, "1.79769313486231571e+308"},
        {4.9406564584124654e-324, "4.94065645841246544e-324"},
        {-HUGE_VAL, "-inf"},
        {-std::numeric_limits<double>::quiet_NaN(), "nan"}};
    for (const auto& [value, text] : doubles)
        EXPECT_EQ(Printed(value), text);
    const std::pair<float, const char*> floats[] = {{3.0f, "3."},
                                                    {0.1f, "0.1"},
                                                    {1234567.0f, "1234567."},
                                                    {12345678.0f, "1.234568e+07"},
                                                    {1e-05f, "1e-05"},
                                                    {1e20f, "1e+20"},
                                                    {FLT_MAX, "3.402823e+38"},
                                                    {HUGE_VALF, "inf"}};
    for (const auto& [value, text] : floats)
        EXPECT_EQ(Printed(value), text);

    Obj<RecordingPipe> pipe = NewObject<RecordingPipe>();
    Stream(pipe) << INT_MIN << UINT64_MAX << -1.25f << 1e300 << '\xE9' << "text";
    EXPECT_EQ(pipe->m_Log, (Log{"-2147483648", "18446744073709551615", "-1.25",
                                "1.00000000000000005e+300", "\xE9", "text"}));
}

// Agreement with printf's %.7g and %.18g, including halfway rounding, denormals and the switch
// between fixed and exponent form.
TEST(Stream, FloatTextEqualsPrintfGeneralForm) {
    auto expected = [](double value, int precision) {
        char text[64];
        std::snprintf(text, sizeof(text), "%.*g", precision, value);
        return std::string(text) + (std::strpbrk(text, ".e") == nullptr ? "." : "");
    };
    std::mt19937_64 random(20240611);
    int failures = 0;
    for (int i = 0; i < 200000 && failures < 10; ++i) {
        const uint64_t bits = random();
        float f = std::bit_cast<float>(static_cast<uint32_t>(bits));
        double d = std::bit_cast<double>(bits);
        if (i % 2 == 1) { // short decimals and integers, in fixed form mostly
            d = static_cast<double>(static_cast<int64_t>(bits >> 20) % 2000001 - 1000000) *
                std::pow(10.0, static_cast<int>(bits % 23) - 11);
            f = static_cast<float>(d);
        }
        if (std::isfinite(f) && Printed(f) != expected(f, 7)) {
            ++failures;
            ADD_FAILURE() << std::hexfloat << f << ": " << Printed(f);
        }
        if (std::isfinite(d) && Printed(d) != expected(d, 18)) {
            ++failures;
            ADD_FAILURE() << std::hexfloat << d << ": " << Printed(d);
        }
    }
}

TEST(Stream, NumbersIgnoreADecimalCommaLocale) {
    const std::string saved = std::setlocale(LC_ALL, nullptr);
    ASSERT_NE(std::setlocale(LC_ALL, "de_DE.UTF-8"), nullptr)
        << "the locale de_DE.UTF-8 is missing: `make deps` generates it";
    char comma[16];
    std::snprintf(comma, sizeof(comma), "%g", 1.5);
    EXPECT_STREQ(comma, "1,5") << "the locale does not use a decimal comma";
    EXPECT_EQ(Printed(1.5f), "1.5");
    EXPECT_EQ(Printed(-2.25), "-2.25");
    EXPECT_EQ(Printed(1234567.0f), "1234567.");
    Stream stream(StreamPipeMemory::Create("1.5 2,5", 7));
    double value = 0;
    float part = 0;
    EXPECT_TRUE(stream.s(value) == Stream::ScanOk && stream.sWS() == Stream::ScanOk &&
                stream.s(part) == Stream::ScanOk);
    EXPECT_EQ(value, 1.5);
    EXPECT_EQ(part, 2.0f); // the comma is not part of a number
    std::setlocale(LC_ALL, saved.c_str());
}

TEST(Stream, WritesHexQuotedTextAndFormats) {
    EXPECT_EQ(Written([](Stream& s) { s.pHex(255, 4).pWS().pHex(255, 1).pWS().pHex(0, 0); }),
              "00FF FF 0");
    EXPECT_EQ(Written([](Stream& s) { s.pHex(0xABCDEF01u, -3).pWS().pHex(1, 40); }),
              "ABCDEF01 0000000000000001");
    EXPECT_EQ(Written([](Stream& s) {
                  s.pMemPtr(nullptr).pWS().pMemPtr(reinterpret_cast<void*>(UINTPTR_MAX));
              }),
              "0 FFFFFFFFFFFFFFFF");

    auto quoted = [](const char* text, int length, char quote) {
        return Written([&](Stream& s) { s.pQuotedC(text, length, quote); });
    };
    EXPECT_EQ(quoted("a\"b", -1, '"'), "\"a\\\"b\"");
    EXPECT_EQ(quoted("'\"\\\b\t\n\f\r ~", -1, '\''), "'\\'\\\"\\\\\\b\\t\\n\\f\\r ~'");
    EXPECT_EQ(quoted("\xE9\x01\x7F\x0B", -1, 0), "\\xE9\\x01\\x7F\\x0B");
    EXPECT_EQ(quoted("a\0b", 3, '"'), "\"a\\x00b\""); // counted: a NUL is a byte like others
    EXPECT_EQ(quoted("a\0b", -1, '"'), "\"a\"");
    EXPECT_EQ(quoted("abc", -2, '"'), "\"\"");
    EXPECT_EQ(quoted(nullptr, 5, '"'), "\"(NULL)\"");
    EXPECT_EQ(Written([](Stream& s) { s.pQuotedC(String("x\0", 2), 0); }), "x\\x00");

    const std::pair<std::string, const char*> formats[] = {
        {Format(7, ' ', 3).GetCPtr(), "  7"},
        {Format(1234, '0', 2).GetCPtr(), "1234"},
        {Format(-5, '0', 4).GetCPtr(), "-005"},
        {Format(-5, ' ', 4).GetCPtr(), "-  5"},
        {Format(0, '*', -4).GetCPtr(), "0"},
        {Format(INT_MIN, '0', 12).GetCPtr(), "-02147483648"}};
    for (const auto& [got, text] : formats)
        EXPECT_EQ(got, text);
    EXPECT_EQ(Written([](Stream& s) { s << Format(42, '0', 5); }), "00042");
}

TEST(Stream, SplitsWritesAtEscapesAndForwardsControls) {
    Obj<RecordingPipe> pipe = NewObject<RecordingPipe>();
    Stream(pipe)
        .pLock()
        .pQuotedC("ab\ncd\\e", -1, '"')
        .pWS()
        .pCR()
        .pLF()
        .pCRLF()
        .pFlush()
        .pColor(12, 1)
        .pClear()
        .pUnlock();
    EXPECT_EQ(pipe->m_Log,
              (Log{"<Lock>", "\"", "ab", "\\n", "cd", "\\\\", "e", "\"", " ", "\r", "\n", "<Flush>",
                   "\r\n", "<Flush>", "<Flush>", "<Color 12 1>", "<Clear>", "<Unlock>"}));
}
