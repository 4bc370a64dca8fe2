// Stream output: the pipe reference, the raw forwarders, number and text output, quoting and
// the chainable controls.

#include "quorlix/stream/Stream.h"
#include "StreamTestPipes.h"
#include "quorlix/stream/StreamPipeFile.h"
#include "quorlix/stream/StreamPipeFileCache.h"
#include "quorlix/stream/StreamPipeMemory.h"
#include "quorlix/stream/StreamPipeNull.h"

#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <climits>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <random>
#include <string>
#include <vector>

using namespace Quorlix;
using QuorlixTest::RecordingPipe;

namespace {

// What the stream wrote to a fresh memory pipe.
template <class Write>
std::string Written(Write write) {
    Obj<StreamPipeMemory> pipe = StreamPipeMemory::Create();
    Stream stream(pipe);
    write(stream);
    return std::string(reinterpret_cast<const char*>(pipe->GetData()),
                       static_cast<size_t>(pipe->GetSize()));
}

template <class T>
std::string Printed(T value) {
    return Written([&](Stream& s) { s << value; });
}

// printf's general form, with the point the stream adds to a text that reads as an integer.
std::string PrintfGeneral(double value, int precision) {
    char text[64];
    std::snprintf(text, sizeof(text), "%.*g", precision, value);
    std::string result(text);
    if (result.find_first_of(".e") == std::string::npos)
        result += '.';
    return result;
}

} // namespace

TEST(Stream, HoldsOneReferenceAndAlwaysAPipe) {
    Obj<StreamPipeMemory> a = StreamPipeMemory::Create();
    Obj<StreamPipeMemory> b = StreamPipeMemory::Create();
    {
        Stream stream(a);
        EXPECT_EQ(BlockRefCount(a.Get()), 2);
        stream.SetStreamPipe(a); // the same pipe again must not drop its last stream reference
        EXPECT_EQ(BlockRefCount(a.Get()), 2);
        stream.SetStreamPipe(b);
        EXPECT_EQ(BlockRefCount(a.Get()), 1);
        EXPECT_EQ(stream.GetStreamPipe(), b.Get());

        Stream copy(stream);
        Stream moved(std::move(copy));
        EXPECT_EQ(BlockRefCount(b.Get()), 4);
        EXPECT_EQ(copy.GetStreamPipe(), b.Get()); // a moved-from stream still writes somewhere
        copy << 1;
        EXPECT_EQ(b->GetSize(), 1);

        stream.SetStreamPipe(nullptr);
        EXPECT_EQ(stream.GetStreamPipe(), StreamPipeNull::GetSingleton());
        stream << "into the null pipe" << 1.5;
        EXPECT_EQ(Stream(nullptr).GetStreamPipe(), StreamPipeNull::GetSingleton());
    }
    EXPECT_EQ(BlockRefCount(a.Get()), 1);
    EXPECT_EQ(BlockRefCount(b.Get()), 1);

    // The pipe of the last reference goes with the stream.
    Stream last(StreamPipeMemory::Create());
    last.SetStreamPipe(b);
    EXPECT_EQ(BlockRefCount(b.Get()), 2);
}

// The path constructor picks the buffered pipe unless asked for the plain one.
TEST(Stream, OpensFilesBufferedOrPlain) {
    namespace fs = std::filesystem;
    const fs::path path =
        fs::temp_directory_path() / ("quorlix-stream-" + std::to_string(std::random_device()()));
    {
        Stream out(path.c_str(), IOWrite | 12); // create always
        EXPECT_NE(dynamic_cast<StreamPipeFileCache*>(out.GetStreamPipe()), nullptr);
        out << -12 << ' ' << 2.5f;
    } // the last reference flushes the buffer
    {
        Stream plain(path.c_str(), IORead | IOUnbuffered);
        EXPECT_EQ(dynamic_cast<StreamPipeFileCache*>(plain.GetStreamPipe()), nullptr);
        EXPECT_NE(dynamic_cast<StreamPipeFile*>(plain.GetStreamPipe()), nullptr);
        EXPECT_EQ(plain.Read(), '-');
        int value = 0;
        EXPECT_EQ(plain.s(value), Stream::ScanError); // a plain file cannot look ahead
    }
    Stream in(path.c_str(), IOReadDefault);
    int value = 0;
    float real = 0;
    EXPECT_EQ(in.s(value), Stream::ScanOk);
    EXPECT_EQ(in.sWS(), Stream::ScanOk);
    EXPECT_EQ(in.s(real), Stream::ScanOk);
    EXPECT_EQ(value, -12);
    EXPECT_EQ(real, 2.5f);
    fs::remove(path);

    Stream missing((path / "missing").c_str(), IOReadDefault);
    EXPECT_EQ(missing.Read(), -1);
}

TEST(Stream, ForwardsRawOperationsToThePipe) {
    Obj<StreamPipeMemory> pipe = StreamPipeMemory::Create();
    Stream stream(pipe);
    EXPECT_EQ(stream.Write("abcdef", 6), 6);
    EXPECT_EQ(stream.Seek(1, Stream::SeekBegin), 1);
    EXPECT_EQ(stream.Peek(), 'b');
    EXPECT_EQ(stream.PeekAt(2), 'd');
    EXPECT_EQ(stream.Read(), 'b');
    EXPECT_EQ(stream.Skip(1), 1);
    char two[2];
    EXPECT_EQ(stream.Read(two, 2), 2);
    EXPECT_EQ(std::string(two, 2), "de");
    EXPECT_EQ(stream.Seek(-1, Stream::SeekCurrent), 4);
    EXPECT_TRUE(stream.Truncate());
    EXPECT_EQ(stream.SeekCompressed(0, Stream::SeekEnd), 4);
    EXPECT_EQ(stream.Read(), -1);
    uint64_t created = 1, accessed = 1, written = 1;
    stream.GetFileTime(created, accessed, written);
    EXPECT_EQ(created + accessed + written, 0u);
    EXPECT_FALSE(stream.SetFileTime(1, 2, 3));
}

TEST(Stream, WritesIntegersInDecimalWithOneWriteEach) {
    EXPECT_EQ(Printed(0), "0");
    EXPECT_EQ(Printed(-7), "-7");
    EXPECT_EQ(Printed(INT_MAX), "2147483647");
    EXPECT_EQ(Printed(INT_MIN), "-2147483648");
    EXPECT_EQ(Printed(INT64_MIN), "-9223372036854775808");
    EXPECT_EQ(Printed(INT64_MAX), "9223372036854775807");
    EXPECT_EQ(Printed(UINT_MAX), "4294967295");
    EXPECT_EQ(Printed(UINT64_MAX), "18446744073709551615");
    EXPECT_EQ(Printed(-5LL), "-5");
    EXPECT_EQ(Printed(5ULL), "5");

    Obj<RecordingPipe> pipe = NewObject<RecordingPipe>();
    Stream(pipe) << INT_MIN << UINT64_MAX << -1.25f << 1e300 << 'x' << "text";
    EXPECT_EQ(pipe->m_Writes,
              (std::vector<std::string>{"-2147483648", "18446744073709551615", "-1.25",
                                        "1.00000000000000005e+300", "x", "text"}));
}

TEST(Stream, WritesCharactersAndTexts) {
    EXPECT_EQ(Printed('\xE9'), "\xE9");
    EXPECT_EQ(Printed('\0'), std::string(1, '\0'));
    EXPECT_EQ(Printed(static_cast<const char*>(nullptr)), "(NULL)");
    EXPECT_EQ(Printed(""), "");
    const String embedded("a\0b", 3);
    EXPECT_EQ(Written([&](Stream& s) { s << embedded; }), std::string("a\0b", 3));
}

TEST(Stream, WritesFloatsInGeneralFormWithAPoint) {
    EXPECT_EQ(Printed(3.0f), "3.");
    EXPECT_EQ(Printed(0.1f), "0.1");
    EXPECT_EQ(Printed(0.5), "0.5");
    EXPECT_EQ(Printed(-0.0f), "-0.");
    EXPECT_EQ(Printed(1234567.0f), "1234567.");
    EXPECT_EQ(Printed(12345678.0f), "1.234568e+07");
    // An exponent already marks the text as a real number: no point is added to it.
    EXPECT_EQ(Printed(1e-05f), "1e-05");
    EXPECT_EQ(Printed(1e20f), "1e+20");
    EXPECT_EQ(Printed(0.1), "0.100000000000000006");
    EXPECT_EQ(Printed(100.0), "100.");
    EXPECT_EQ(Printed(FLT_MAX), "3.402823e+38");
    EXPECT_EQ(Printed(DBL_MAX), "1.79769313486231571e+308");
    EXPECT_EQ(Printed(4.9406564584124654e-324), "4.94065645841246544e-324");
    EXPECT_EQ(Printed(std::numeric_limits<float>::infinity()), "inf");
    EXPECT_EQ(Printed(-std::numeric_limits<double>::infinity()), "-inf");
    EXPECT_EQ(Printed(std::numeric_limits<float>::quiet_NaN()), "nan");
    EXPECT_EQ(Printed(-std::numeric_limits<double>::quiet_NaN()), "nan");
}

// The stream's conversion must agree with printf's %.7g and %.18g everywhere, including the
// rounding of halfway digits, denormals and the switch between fixed and exponent form.
TEST(Stream, FloatTextEqualsPrintfGeneralForm) {
    std::mt19937_64 random(20240611);
    Obj<StreamPipeMemory> pipe = StreamPipeMemory::Create();
    Stream stream(pipe);
    auto check = [&](auto value, int precision) {
        pipe->Seek(0, SeekBegin);
        pipe->Truncate();
        stream << value;
        const std::string got(reinterpret_cast<const char*>(pipe->GetData()),
                              static_cast<size_t>(pipe->GetSize()));
        const std::string expected = PrintfGeneral(value, precision);
        if (got != expected)
            ADD_FAILURE() << std::hexfloat << value << ": stream wrote " << got << ", printf "
                          << expected;
        return got == expected;
    };
    int failures = 0;
    for (int i = 0; i < 200000 && failures < 10; ++i) {
        const uint64_t bits = random();
        float f = std::bit_cast<float>(static_cast<uint32_t>(bits));
        double d = std::bit_cast<double>(bits);
        // Raw bit patterns are mostly in exponent form; every other value is a short decimal
        // or an integer, which exercise the fixed form and the appended point.
        if (i % 2 == 1) {
            const double scale = std::pow(10.0, static_cast<int>(bits % 23) - 11);
            d = static_cast<double>(static_cast<int64_t>(bits >> 20) % 2000001 - 1000000) * scale;
            f = static_cast<float>(d);
        }
        if (std::isfinite(f) && !check(f, 7))
            ++failures;
        if (std::isfinite(d) && !check(d, 18))
            ++failures;
    }
}

TEST(Stream, NumbersIgnoreADecimalCommaLocale) {
    const std::string saved = std::setlocale(LC_ALL, nullptr);
    const char* german = std::setlocale(LC_ALL, "de_DE.UTF-8");
    ASSERT_NE(german, nullptr) << "the locale de_DE.UTF-8 is missing: `make deps` generates it";
    char check[16];
    std::snprintf(check, sizeof(check), "%g", 1.5);
    EXPECT_STREQ(check, "1,5") << "the locale does not use a decimal comma";

    EXPECT_EQ(Printed(1.5f), "1.5");
    EXPECT_EQ(Printed(-2.25), "-2.25");
    EXPECT_EQ(Printed(1234567.0f), "1234567.");
    EXPECT_EQ(Printed(123456789), "123456789");

    const char text[] = "1.5 2,5";
    Stream stream(StreamPipeMemory::Create(text, 7));
    double value = 0;
    EXPECT_EQ(stream.s(value), Stream::ScanOk);
    EXPECT_EQ(value, 1.5);
    EXPECT_EQ(stream.sWS(), Stream::ScanOk);
    float comma = 0;
    EXPECT_EQ(stream.s(comma), Stream::ScanOk); // the comma is not part of the number
    EXPECT_EQ(comma, 2.0f);
    EXPECT_EQ(stream.Peek(), ',');

    std::setlocale(LC_ALL, saved.c_str());
}

TEST(Stream, WritesHexadecimalAndAddresses) {
    EXPECT_EQ(Written([](Stream& s) { s.pHex(255, 4); }), "00FF");
    EXPECT_EQ(Written([](Stream& s) { s.pHex(255, 1); }), "FF");
    EXPECT_EQ(Written([](Stream& s) { s.pHex(0, 0); }), "0");
    EXPECT_EQ(Written([](Stream& s) { s.pHex(0xABCDEF01u, -3); }), "ABCDEF01");
    EXPECT_EQ(Written([](Stream& s) { s.pHex(0xABCDEF01u, 40); }), "00000000ABCDEF01");
    EXPECT_EQ(Written([](Stream& s) { s.pMemPtr(nullptr); }), "0");
    EXPECT_EQ(Written([](Stream& s) { s.pMemPtr(reinterpret_cast<const void*>(0xA0B)); }), "A0B");
    EXPECT_EQ(Written([](Stream& s) { s.pMemPtr(reinterpret_cast<const void*>(UINTPTR_MAX)); }),
              "FFFFFFFFFFFFFFFF");
}

TEST(Stream, QuotesTextWithCEscapes) {
    auto quoted = [](const char* text, int length, char quote) {
        return Written([&](Stream& s) { s.pQuotedC(text, length, quote); });
    };
    EXPECT_EQ(quoted("a\"b", -1, '"'), "\"a\\\"b\"");
    EXPECT_EQ(quoted("\xE9", -1, '"'), "\"\\xE9\"");
    // Both quote characters are escaped whichever one encloses the text.
    EXPECT_EQ(quoted("'\"", -1, '\''), "'\\'\\\"'");
    EXPECT_EQ(quoted("\b\t\n\f\r\\", -1, '"'), "\"\\b\\t\\n\\f\\r\\\\\"");
    EXPECT_EQ(quoted("\x01\x1F\x7F\x80\xFF\x0B", -1, 0), "\\x01\\x1F\\x7F\\x80\\xFF\\x0B");
    EXPECT_EQ(quoted(" ~", -1, 0), " ~");
    // Counted: NULs are bytes like any other; -1 stops at the first one; other lengths
    // below zero write nothing.
    EXPECT_EQ(quoted("a\0b", 3, '"'), "\"a\\x00b\"");
    EXPECT_EQ(quoted("a\0b", -1, '"'), "\"a\"");
    EXPECT_EQ(quoted("abc", -2, '"'), "\"\"");
    EXPECT_EQ(quoted(nullptr, -1, '"'), "\"(NULL)\"");
    EXPECT_EQ(quoted(nullptr, 5, 0), "(NULL)");
    const String embedded("x\0\n", 3);
    EXPECT_EQ(Written([&](Stream& s) { s.pQuotedC(embedded, '\''); }), "'x\\x00\\n'");

    // Plain runs go out whole, one write each, between the escapes.
    Obj<RecordingPipe> pipe = NewObject<RecordingPipe>();
    Stream(pipe).pQuotedC("ab\ncd\\\\e", -1, '"');
    EXPECT_EQ(pipe->m_Writes,
              (std::vector<std::string>{"\"", "ab", "\\n", "cd", "\\\\", "\\\\", "e", "\""}));
}

TEST(Stream, ControlsReachThePipeInOrder) {
    Obj<RecordingPipe> pipe = NewObject<RecordingPipe>();
    Stream stream(pipe);
    stream.pLock().pWS().pCR().pLF().pCRLF().pFlush().pColor(12, 1).pClear().pUnlock();
    EXPECT_EQ(pipe->m_Calls,
              (std::vector<std::string>{"Lock", "Write", "Write", "Write", "Flush", "Write",
                                        "Flush", "Flush", "Color 12 1", "Clear", "Unlock"}));
    EXPECT_EQ(pipe->Text(), " \r\n\r\n");
}

TEST(Stream, FormatPadsOnTheLeft) {
    auto formatted = [](int value, char fill, int width) {
        return std::string(Format(value, fill, width).GetCPtr());
    };
    EXPECT_EQ(formatted(7, ' ', 3), "  7");
    EXPECT_EQ(formatted(1234, '0', 2), "1234");
    EXPECT_EQ(formatted(-5, '0', 4), "-005");
    EXPECT_EQ(formatted(-5, ' ', 4), "-  5");
    EXPECT_EQ(formatted(-5, '0', 1), "-5");
    EXPECT_EQ(formatted(0, '*', -4), "0");
    EXPECT_EQ(formatted(INT_MIN, '0', 12), "-02147483648");
    EXPECT_EQ(Written([](Stream& s) { s << Format(42, '0', 5); }), "00042");
}
