// Stream scanners: limits, token rules, consumption, and pipes that cannot look ahead.

#include "StreamTestPipes.h"
#include "quorlix/stream/Stream.h"
#include "quorlix/stream/StreamPipeMemory.h"

#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <utility>
#include <vector>

using namespace Quorlix;
using QuorlixTest::LookAheadPipe;

namespace {

// A stream over a memory pipe holding `text`, and how far the scanners got.
struct Input {
    explicit Input(const std::string& text)
        : m_Pipe(StreamPipeMemory::Create(text.data(), static_cast<int>(text.size()))),
          m_Stream(m_Pipe) {}
    int Position() const { return m_Pipe->GetPosition(); }

    Obj<StreamPipeMemory> m_Pipe;
    Stream m_Stream;
};

// Scans one T from `text`; the result, the value (untouched: `initial`) and the position.
template <class T>
struct Scanned {
    Stream::ScanResult m_Result;
    T m_Value;
    int m_Position;
};

template <class T>
Scanned<T> Scan(const std::string& text, T initial = T{}) {
    Input in(text);
    T value = initial;
    const Stream::ScanResult result = in.m_Stream.s(value);
    return {result, value, in.Position()};
}

// Expects `result` with nothing consumed and the value left alone.
template <class T>
void ExpectRefused(const std::string& text, Stream::ScanResult result) {
    const Scanned<T> got = Scan<T>(text, T{42});
    EXPECT_EQ(got.m_Result, result) << text;
    EXPECT_EQ(got.m_Value, T{42}) << text;
    EXPECT_EQ(got.m_Position, 0) << text;
}

template <class T>
void ExpectScanned(const std::string& text, T expected, int position) {
    const Scanned<T> got = Scan<T>(text);
    EXPECT_EQ(got.m_Result, Stream::ScanOk) << text;
    EXPECT_EQ(got.m_Value, expected) << text;
    EXPECT_EQ(got.m_Position, position) << text;
}

} // namespace

TEST(StreamScan, IntegersAcceptExactlyTheirRange) {
    ExpectScanned<int>("-2147483648", INT32_MIN, 11);
    ExpectScanned<int>("+2147483647;", INT32_MAX, 11);
    ExpectRefused<int>("2147483648", Stream::ScanError);
    ExpectRefused<int>("+2147483648", Stream::ScanError);
    ExpectRefused<int>("-2147483649", Stream::ScanError);
    ExpectRefused<int>("21474836470", Stream::ScanError);

    ExpectScanned<int64_t>("-9223372036854775808", INT64_MIN, 20);
    ExpectScanned<int64_t>("9223372036854775807", INT64_MAX, 19);
    ExpectRefused<int64_t>("9223372036854775808", Stream::ScanError);
    ExpectRefused<int64_t>("-9223372036854775809", Stream::ScanError);

    ExpectScanned<unsigned>("4294967295", UINT32_MAX, 10);
    ExpectScanned<unsigned>("+0", 0u, 2);
    ExpectRefused<unsigned>("4294967296", Stream::ScanError);
    ExpectRefused<unsigned>("-1", Stream::ScanNoMatch);

    ExpectScanned<uint64_t>("18446744073709551615", UINT64_MAX, 20);
    ExpectRefused<uint64_t>("18446744073709551616", Stream::ScanError);
    ExpectRefused<uint64_t>("99999999999999999999", Stream::ScanError);
}

TEST(StreamScan, IntegersNeedADigitAndStopAfterTheLast) {
    ExpectScanned<int>("12abc", 12, 2);
    ExpectScanned<int>("-0", 0, 2);
    ExpectScanned<int>("007 8", 7, 3);
    for (const char* text : {"", "-", "+", "- 1", "--1", "+-1", "x1", " 1", ".5"})
        ExpectRefused<int>(text, Stream::ScanNoMatch);
    ExpectRefused<uint64_t>("+", Stream::ScanNoMatch);

    // Leading zeros do not count towards the range, however many there are.
    const std::string zeros(100000, '0');
    ExpectScanned<int>(zeros + "1", 1, 100001);
    ExpectScanned<uint64_t>(zeros, 0u, 100000);
    ExpectRefused<int64_t>(std::string(100000, '9'), Stream::ScanError);
}

TEST(StreamScan, DoublesFollowTheTokenRules) {
    ExpectScanned<double>("1.5d3", 1500.0, 5);
    ExpectScanned<double>("1.5D3", 1500.0, 5);
    ExpectScanned<double>("2E-3", 0.002, 4);
    ExpectScanned<double>("1e+2", 100.0, 4);
    ExpectScanned<double>(".5", 0.5, 2);
    ExpectScanned<double>("+.5", 0.5, 3);
    ExpectScanned<double>("-3.", -3.0, 3);
    ExpectScanned<double>("1.e1", 10.0, 4);
    ExpectScanned<double>("42", 42.0, 2);
    // The token ends at the first character that cannot continue it.
    ExpectScanned<double>("1.2.3", 1.2, 3);
    ExpectScanned<double>("1e5e3", 1e5, 3);
    ExpectScanned<double>("1e5.3", 1e5, 3);
    ExpectScanned<double>("7-1", 7.0, 1);
    ExpectScanned<double>("0.1f", 0.1, 3);

    const Scanned<double> negativeZero = Scan<double>("-0.0");
    EXPECT_EQ(negativeZero.m_Result, Stream::ScanOk);
    EXPECT_TRUE(std::signbit(negativeZero.m_Value));

    // A token that is not a whole number is refused, not cut short.
    for (const char* text :
         {"-", "+", "", ".", "-.", "e5", "1e", "1e+", ".e1", "x", " 1", "+-1", "inf", "nan"})
        ExpectRefused<double>(text, Stream::ScanNoMatch);
    ExpectScanned<double>("0x1p3", 0.0, 1); // no hexadecimal form: the 0, then x ends it
}

TEST(StreamScan, DoublesOutOfRange) {
    ExpectRefused<double>("1e309", Stream::ScanError);
    ExpectRefused<double>("-1.8e308", Stream::ScanError);
    ExpectRefused<double>("1e99999999999999999999", Stream::ScanError);
    ExpectRefused<double>("0.0000000000000000000001e332", Stream::ScanError);
    ExpectScanned<double>("1.7976931348623157e308", DBL_MAX, 22);
    // Too small to be told from zero is zero, with its sign.
    ExpectScanned<double>("1e-400", 0.0, 6);
    ExpectScanned<double>("12345e-99999999999999999999", 0.0, 27);
    const Scanned<double> tiny = Scan<double>("-1e-400");
    EXPECT_EQ(tiny.m_Result, Stream::ScanOk);
    EXPECT_TRUE(std::signbit(tiny.m_Value));
    ExpectScanned<double>("4.9406564584124654e-324", 4.9406564584124654e-324, 23);
    ExpectScanned<double>("0e999999", 0.0, 8);

    ExpectScanned<float>("0.1", 0.1f, 3);
    ExpectScanned<float>("3.4028235e38", FLT_MAX, 12);
    ExpectScanned<float>("-3.40282356e38", -FLT_MAX, 14); // just under half a step beyond
    ExpectRefused<float>("3.4028236e38", Stream::ScanError);
    ExpectRefused<float>("1e39", Stream::ScanError);
    ExpectScanned<float>("1e-50", 0.0f, 5);
}

// The limit on a floating-point token is 254 characters, sign and all.
TEST(StreamScan, NumberTokensEndAt254Characters) {
    const std::string digits253 = "1" + std::string(252, '0');
    ExpectScanned<double>(digits253 + "0", 1e253, 254);
    ExpectRefused<double>(digits253 + "00", Stream::ScanError);
    ExpectScanned<double>("-" + digits253, -1e252, 254);
    ExpectRefused<double>("-" + digits253 + "0", Stream::ScanError);
    ExpectScanned<float>("0." + std::string(251, '0') + "1", 0.0f, 254);
    ExpectRefused<float>("0." + std::string(252, '0') + "1", Stream::ScanError);
    // The character after the limit ends the token: it may be anything else.
    ExpectScanned<double>(digits253 + "0 1", 1e253, 254);
}

TEST(StreamScan, WhiteSpaceSkippers) {
    Input blanks("  \t x");
    EXPECT_EQ(blanks.m_Stream.sWS(), Stream::ScanOk);
    EXPECT_EQ(blanks.Position(), 2);
    EXPECT_EQ(blanks.m_Stream.sWS(), Stream::ScanNoMatch);
    EXPECT_EQ(blanks.m_Stream.sWSTSCRLF(), Stream::ScanOk);
    EXPECT_EQ(blanks.Position(), 4);
    EXPECT_EQ(blanks.m_Stream.sWSTSCRLF(), Stream::ScanNoMatch);

    Input lines("\r\n\t \n\v");
    EXPECT_EQ(lines.m_Stream.sWSTSCRLF(), Stream::ScanOk);
    EXPECT_EQ(lines.Position(), 5); // a vertical tab is not among them

    Input empty("");
    EXPECT_EQ(empty.m_Stream.sWS(), Stream::ScanNoMatch);
    EXPECT_EQ(empty.m_Stream.sWSTSCRLF(), Stream::ScanNoMatch);
}

TEST(StreamScan, StringsStopAtAStopByteANulOrTheEnd) {
    String out("old");
    Input line("abc\ndef");
    EXPECT_EQ(line.m_Stream.sString(out, "\n"), Stream::ScanOk);
    EXPECT_EQ(out, "abc");
    EXPECT_EQ(line.m_Stream.Peek(), '\n');
    EXPECT_EQ(line.m_Stream.sString(out, "\n"), Stream::ScanOk); // stops at once: empty
    EXPECT_EQ(out, "");
    EXPECT_EQ(line.Position(), 3);

    Input unterminated("abc");
    EXPECT_EQ(unterminated.m_Stream.sString(out, "\n"), Stream::ScanEnd);
    EXPECT_EQ(out, "abc");
    EXPECT_EQ(unterminated.Position(), 3);
    EXPECT_EQ(unterminated.m_Stream.sString(out, "\n"), Stream::ScanEnd);
    EXPECT_EQ(out, "");

    Input nul(std::string("ab\0cd;", 6));
    EXPECT_EQ(nul.m_Stream.sString(out, ";"), Stream::ScanOk);
    EXPECT_EQ(out, "ab");
    EXPECT_EQ(nul.Position(), 2);

    Input several("key=value;\xFF");
    EXPECT_EQ(several.m_Stream.sString(out, ";="), Stream::ScanOk);
    EXPECT_EQ(out, "key");
    several.m_Stream.Skip(1);
    EXPECT_EQ(several.m_Stream.sString(out, "\xFF;"), Stream::ScanOk);
    EXPECT_EQ(out, "value");

    Input noStops("all of it");
    EXPECT_EQ(noStops.m_Stream.sString(out, nullptr), Stream::ScanEnd);
    EXPECT_EQ(out, "all of it");
}

TEST(StreamScan, QuotedStringsDecodeEveryEscape) {
    String out;
    Input all(R"("q\"s\'b\\\b\f\n\r\t\x41\xe9\xFf'"rest)");
    EXPECT_EQ(all.m_Stream.sStringQuotedC(out, '"'), Stream::ScanOk);
    EXPECT_EQ(std::string(out.GetCPtr(), static_cast<size_t>(out.Size())),
              "q\"s'b\\\b\f\n\r\tA\xE9\xFF'");
    EXPECT_EQ(all.m_Stream.Peek(), 'r');

    Input single(R"('a"b\'c'd)");
    EXPECT_EQ(single.m_Stream.sStringQuotedC(out, '\''), Stream::ScanOk);
    EXPECT_EQ(out, "a\"b'c");

    Input empty(R"(""x)");
    EXPECT_EQ(empty.m_Stream.sStringQuotedC(out, '"'), Stream::ScanOk);
    EXPECT_EQ(out, "");
    EXPECT_EQ(empty.Position(), 2);

    Input raw(std::string("\"a\0\n\"", 5));
    EXPECT_EQ(raw.m_Stream.sStringQuotedC(out, '"'), Stream::ScanOk);
    EXPECT_EQ(std::string(out.GetCPtr(), static_cast<size_t>(out.Size())), std::string("a\0\n", 3));

    // What pQuotedC writes, sStringQuotedC reads back.
    std::string bytes;
    for (int c = 0; c < 256; ++c)
        bytes += static_cast<char>(c);
    Obj<StreamPipeMemory> pipe = StreamPipeMemory::Create();
    Stream stream(pipe);
    stream.pQuotedC(bytes.data(), 256, '\'');
    stream.Seek(0, Stream::SeekBegin);
    EXPECT_EQ(stream.sStringQuotedC(out, '\''), Stream::ScanOk);
    EXPECT_EQ(std::string(out.GetCPtr(), static_cast<size_t>(out.Size())), bytes);
    EXPECT_EQ(stream.Read(), -1);
}

TEST(StreamScan, QuotedStringsRefuseWhatIsNotOne) {
    // Wrong opening and unterminated strings consume nothing.
    for (const char* text :
         {"", "abc\"", "'abc'", "\"abc", "\"abc\\\"", "\"\\", "\"\\x4\"", "\"ab\\x\""}) {
        Input in(text);
        String out("kept");
        EXPECT_EQ(in.m_Stream.sStringQuotedC(out, '"'), Stream::ScanNoMatch) << text;
        EXPECT_EQ(out, "kept") << text;
        EXPECT_EQ(in.Position(), 0) << text;
    }
    // A bad escape is found while reading; the string stays as it was.
    for (const char* text : {R"("ab\q")", R"("\xG1")", R"("\x1G")", R"("\0")", R"("\a")"}) {
        Input in(text);
        String out("kept");
        EXPECT_EQ(in.m_Stream.sStringQuotedC(out, '"'), Stream::ScanNoMatch) << text;
        EXPECT_EQ(out, "kept") << text;
    }
}

// Scanners never guess past what the pipe can show them: ScanError, nothing consumed.
TEST(StreamScan, PipesThatCannotLookAheadGiveScanError) {
    auto run = [](const std::string& text, int limit, auto scan) {
        Obj<LookAheadPipe> pipe = NewObject<LookAheadPipe>(text, limit);
        Stream stream(pipe);
        const Stream::ScanResult result = scan(stream);
        return std::make_pair(result, pipe->Position());
    };
    using Result = std::pair<Stream::ScanResult, size_t>;
    const Result refused{Stream::ScanError, 0};
    String out("kept");
    auto scanInt = [](Stream& s) {
        int v = 0;
        return s.s(v);
    };
    auto scanUnsigned64 = [](Stream& s) {
        uint64_t v = 0;
        return s.s(v);
    };
    auto scanDouble = [](Stream& s) {
        double v = 0;
        return s.s(v);
    };
    auto scanFloat = [](Stream& s) {
        float v = 0;
        return s.s(v);
    };
    auto scanString = [&](Stream& s) { return s.sString(out, ";"); };
    auto scanQuoted = [&](Stream& s) { return s.sStringQuotedC(out, '"'); };
    auto skipBlanks = [](Stream& s) { return s.sWS(); };
    auto skipSpace = [](Stream& s) { return s.sWSTSCRLF(); };

    // No look-ahead at all.
    EXPECT_EQ(run("12", 0, scanInt), refused);
    EXPECT_EQ(run("12", 0, scanUnsigned64), refused);
    EXPECT_EQ(run("1.5", 0, scanDouble), refused);
    EXPECT_EQ(run("1.5", 0, scanFloat), refused);
    EXPECT_EQ(run("ab;", 0, scanString), refused);
    EXPECT_EQ(run("\"a\"", 0, scanQuoted), refused);
    EXPECT_EQ(run("  ", 0, skipBlanks), refused);
    EXPECT_EQ(run("\t ", 0, skipSpace), refused);

    // The token runs on where the pipe cannot see.
    EXPECT_EQ(run("-", 1, scanInt), refused);
    EXPECT_EQ(run("12345", 3, scanInt), refused);
    EXPECT_EQ(run("+12345", 3, scanUnsigned64), refused);
    EXPECT_EQ(run("1.2345", 3, scanDouble), refused);
    EXPECT_EQ(run("1e-5", 2, scanFloat), refused);
    EXPECT_EQ(run("abcd;", 3, scanString), refused);
    EXPECT_EQ(run("\"abcd\"", 3, scanQuoted), refused);
    EXPECT_EQ(run("\"a\\n\"", 3, scanQuoted), refused);
    EXPECT_EQ(out, "kept");

    // Within sight they succeed.
    EXPECT_EQ(run("123 45", 4, scanInt), Result(Stream::ScanOk, 3));
    EXPECT_EQ(run("1.5;", 4, scanDouble), Result(Stream::ScanOk, 3));
    EXPECT_EQ(run("ab;", 3, scanString), Result(Stream::ScanOk, 2));
    EXPECT_EQ(run("\"a\\n\"", 5, scanQuoted), Result(Stream::ScanOk, 5));
}

TEST(StreamScan, PrintedNumbersReadBack) {
    std::mt19937_64 random(7);
    Obj<StreamPipeMemory> pipe = StreamPipeMemory::Create();
    Stream stream(pipe);
    std::vector<double> doubles;
    std::vector<float> floats;
    std::vector<int64_t> integers{INT64_MIN, INT64_MAX, 0, -1};
    for (int i = 0; i < 20000; ++i) {
        const uint64_t bits = random();
        const double d = std::bit_cast<double>(bits);
        if (std::isfinite(d))
            doubles.push_back(d);
        // Floats go out with 7 digits, which name every float nearest to a 6-digit decimal.
        const double decimal = static_cast<double>(static_cast<int64_t>(bits >> 8) % 1000000) *
                               std::pow(10.0, static_cast<int>(bits % 41) - 20);
        floats.push_back(static_cast<float>(decimal));
        integers.push_back(static_cast<int64_t>(bits));
    }
    for (double d : doubles)
        stream << d << ' ';
    for (float f : floats)
        stream << f << ' ';
    for (int64_t n : integers)
        stream << n << ' ';
    stream.Seek(0, Stream::SeekBegin);
    for (double expected : doubles) {
        double d = 0;
        ASSERT_EQ(stream.s(d), Stream::ScanOk);
        ASSERT_EQ(std::bit_cast<uint64_t>(d), std::bit_cast<uint64_t>(expected));
        ASSERT_EQ(stream.sWS(), Stream::ScanOk);
    }
    for (float expected : floats) {
        float f = 0;
        ASSERT_EQ(stream.s(f), Stream::ScanOk);
        ASSERT_EQ(f, expected);
        ASSERT_EQ(stream.sWS(), Stream::ScanOk);
    }
    for (int64_t expected : integers) {
        int64_t n = 0;
        ASSERT_EQ(stream.s(n), Stream::ScanOk);
        ASSERT_EQ(n, expected);
        ASSERT_EQ(stream.sWS(), Stream::ScanOk);
    }
    EXPECT_EQ(stream.Read(), -1);
}
