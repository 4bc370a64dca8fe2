// Stream output, scanners and the pipe reference: limits, token rules, what scanners consume,
// pipes that cannot look ahead. Random input and round trips are the stream_scan fuzzer's.

#include "quorlix/stream/Stream.h"
#include "quorlix/stream/StreamPipeMemory.h"
#include "quorlix/stream/StreamPipeNull.h"
#include "support/FaultPipe.h"

#include <gtest/gtest.h>

#include <bit>
#include <climits>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>

using namespace Quorlix;
using QuorlixTest::FaultPipe;

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

// The stream over `text` that a scan reads, and what the scan consumed.
struct Input {
    explicit Input(const std::string& text)
        : m_Pipe(StreamPipeMemory::Create(text.data(), static_cast<int>(text.size()))),
          m_Stream(m_Pipe) {}
    int Position() const { return m_Pipe->GetPosition(); }

    Obj<StreamPipeMemory> m_Pipe;
    Stream m_Stream;
};

// A scanner's result and its string as "result:text".
std::string Scanned(Stream::ScanResult result, const String& out) {
    return std::to_string(result) + ":" + std::string(out.GetCPtr(), size_t(out.Size()));
}

// Scans one T from `text` and expects `result`, `value` and `consumed` characters; a refusal
// must leave the value alone and consume nothing.
template <class T>
void Expect(const std::string& text, Stream::ScanResult result, T value = T{42}, int consumed = 0) {
    Input in(text);
    T got = T{42};
    EXPECT_EQ(in.m_Stream.s(got), result) << text;
    EXPECT_EQ(got, value) << text;
    EXPECT_EQ(std::signbit(static_cast<double>(got)), std::signbit(static_cast<double>(value)));
    EXPECT_EQ(in.Position(), consumed) << text;
}

constexpr auto Ok = Stream::ScanOk, NoMatch = Stream::ScanNoMatch, Error = Stream::ScanError;

} // namespace

TEST(Stream, HoldsOneReferenceAndAlwaysAPipe) {
    Obj<StreamPipeMemory> pipe = StreamPipeMemory::Create();
    {
        Stream stream(pipe);
        stream.SetStreamPipe(pipe); // the same pipe again must not drop the stream's reference
        Stream moved(std::move(stream));
        EXPECT_EQ(BlockRefCount(pipe.Get()), 3);
        stream << 1; // a moved-from stream still has its pipe
        EXPECT_EQ(pipe->GetSize(), 1);
        stream.SetStreamPipe(nullptr);
        EXPECT_EQ(stream.GetStreamPipe(), StreamPipeNull::GetSingleton());
    }
    EXPECT_EQ(BlockRefCount(pipe.Get()), 1);
}

// Agreement with printf's %.7g and %.18g, including halfway rounding, denormals and the switch
// between fixed and exponent form; the point goes only where the text would otherwise read as
// an integer.
TEST(Stream, FloatTextEqualsPrintfGeneralForm) {
    auto expected = [](double value, int precision) {
        char text[64];
        std::snprintf(text, sizeof(text), "%.*g", precision, value);
        return std::string(text) + (std::strpbrk(text, ".e") == nullptr ? "." : "");
    };
    std::mt19937_64 random(20240611);
    for (int i = 0; i < 200000 && !HasFailure(); ++i) {
        const uint64_t bits = random();
        float f = std::bit_cast<float>(static_cast<uint32_t>(bits));
        double d = std::bit_cast<double>(bits);
        if (i % 2 == 1) { // short decimals and integers, in fixed and exponent form
            const auto range = static_cast<int64_t>(std::pow(10.0, (bits >> 8) % 7));
            d = static_cast<double>(static_cast<int64_t>(bits >> 20) % (2 * range + 1) - range) *
                std::pow(10.0, static_cast<int>(bits % 47) - 23);
            f = static_cast<float>(d);
        }
        EXPECT_TRUE(!std::isfinite(f) || Printed(f) == expected(f, 7)) << Printed(f);
        EXPECT_TRUE(!std::isfinite(d) || Printed(d) == expected(d, 18)) << Printed(d);
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

TEST(Stream, WritesNumbersHexQuotedTextAndFormats) {
    EXPECT_EQ(Written([](Stream& s) {
                  s << INT_MIN << " " << INT64_MIN << " " << UINT64_MAX << " "
                    << static_cast<const char*>(nullptr) << String("a\0b", 3) << -0.0 << " "
                    << -HUGE_VALF << " " << -NAN;
              }),
              std::string("-2147483648 -9223372036854775808 18446744073709551615 (NULL)a\0b-0. "
                          "-inf nan",
                          75));

    EXPECT_EQ(Written([](Stream& s) {
                  s.pHex(255, 4).pWS().pHex(255, 1).pWS().pHex(0, 0).pWS();
                  s.pHex(0xABCDEF01u, -3).pWS().pHex(1, 40).pWS().pMemPtr(nullptr).pWS();
                  s.pMemPtr(reinterpret_cast<void*>(UINTPTR_MAX));
              }),
              "00FF FF 0 ABCDEF01 0000000000000001 0 FFFFFFFFFFFFFFFF");

    auto quoted = [](const char* text, int length, char quote) {
        return Written([&](Stream& s) { s.pQuotedC(text, length, quote); });
    };
    EXPECT_EQ(quoted("a\"b", -1, '"'), "\"a\\\"b\"");
    EXPECT_EQ(quoted("'\"\\\b\t\n\f\r ~", -1, '\''), "'\\'\\\"\\\\\\b\\t\\n\\f\\r ~'");
    EXPECT_EQ(quoted("\xE9\x01\x7F\x0B", -1, 0), "\\xE9\\x01\\x7F\\x0B");
    EXPECT_EQ(quoted("a\0b", 3, '"'), "\"a\\x00b\""); // counted: a NUL is a byte like others
    EXPECT_EQ(quoted("a\0b", -1, '"') + quoted(nullptr, 5, '"'), "\"a\"\"(NULL)\"");
    EXPECT_EQ(Written([](Stream& s) { s.pQuotedC(String("x\0", 2), 0); }), "x\\x00");

    EXPECT_EQ(Written([](Stream& s) {
                  s << Format(7, ' ', 3) << "|" << Format(1234, '0', 2) << "|" << Format(-5, '0', 4)
                    << "|" << Format(-5, ' ', 4) << "|" << Format(0, '*', -4) << "|"
                    << Format(INT_MIN, '0', 12);
              }),
              "  7|1234|-005|-  5|0|-02147483648");
}

TEST(StreamScan, IntegersAcceptExactlyTheirRange) {
    Expect<int>("-2147483648", Ok, INT32_MIN, 11);
    Expect<int>("+2147483647;", Ok, INT32_MAX, 11);
    for (const char* text : {"2147483648", "-2147483649", "21474836470"})
        Expect<int>(text, Error);
    for (const char* text : {"", "-", "+", "- 1", "+-1", " 1", ".5"})
        Expect<int>(text, NoMatch);
    Expect<int64_t>("-9223372036854775808", Ok, INT64_MIN, 20);
    Expect<int64_t>("9223372036854775808", Error);
    Expect<unsigned>("4294967296", Error);
    Expect<unsigned>("-1", NoMatch);
    Expect<uint64_t>("+18446744073709551615", Ok, UINT64_MAX, 21);
    Expect<uint64_t>("18446744073709551616", Error);
    // Leading zeros do not count towards the range, however many there are.
    Expect<int>(std::string(100000, '0') + "1", Ok, 1, 100001);
    Expect<int64_t>(std::string(100000, '9'), Error);
}

TEST(StreamScan, DoublesFollowTheTokenRules) {
    Expect<double>("1.5d3", Ok, 1500.0, 5);
    Expect<double>(".5", Ok, 0.5, 2);
    Expect<double>("-0.0", Ok, -0.0, 4);
    // The token ends at the first character that cannot continue it, and must be a number.
    Expect<double>("1.2.3", Ok, 1.2, 3);
    Expect<double>("2E-3e3", Ok, 0.002, 4);
    Expect<double>("0x1p3", Ok, 0.0, 1);
    for (const char* text : {"-", "+", "", ".", "-.", "e5", "1e", "1e+", ".e1", " 1", "inf"})
        Expect<double>(text, NoMatch);
    // Beyond the range is an error; too small to tell from zero is zero, with its sign.
    for (const char* text : {"1e309", "-1.8e308", "1e99999999999999999999", "0.0000001e317"})
        Expect<double>(text, Error);
    Expect<double>("-1e-400", Ok, -0.0, 7);
    Expect<double>("12345e-99999999999999999999", Ok, 0.0, 27);
    Expect<float>("3.4028236e38", Error);
    // A token may have 254 characters, sign included.
    const std::string digits = "-1" + std::string(252, '0');
    Expect<double>(digits + " 1", Ok, -1e252, 254);
    Expect<double>(digits + "0", Error);
    Expect<double>(digits.substr(1) + "0 1", Ok, 1e253, 254);
    Expect<double>(digits.substr(1) + "00", Error);
}

TEST(StreamScan, StringsStopBeforeTheirStopsOrEnd) {
    Input in(std::string("a=b\xFF\0c\ndef", 10));
    const auto until = [&](const char* stops) {
        String out("old");
        return Scanned(in.m_Stream.sString(out, stops), out);
    };
    EXPECT_EQ(until(";="), "0:a");
    EXPECT_EQ(until("="), "0:"); // the stop byte stays
    EXPECT_EQ(in.m_Stream.Skip(1), 1);
    EXPECT_EQ(until(nullptr), "0:b\xFF"); // a NUL always stops
    EXPECT_EQ(in.m_Stream.Skip(1), 1);
    EXPECT_EQ(until("\n"), "0:c");
    EXPECT_EQ(in.m_Stream.Skip(1), 1);
    EXPECT_EQ(until("\n"), "32768:def"); // ScanEnd, with what was there
    EXPECT_EQ(until("\n"), "32768:");
}

TEST(StreamScan, QuotedStringsDecodeEveryEscape) {
    auto quoted = [](const std::string& text, char quote, int consumed = -1) {
        Input in(text);
        String out("old");
        const Stream::ScanResult result = in.m_Stream.sStringQuotedC(out, quote);
        EXPECT_TRUE(consumed < 0 || in.Position() == consumed) << text;
        return Scanned(result, out);
    };
    EXPECT_EQ(quoted(R"("q\"s\'b\\\b\f\n\r\t\x41\xe9\xFf'"rest)", '"', 34),
              "0:q\"s'b\\\b\f\n\r\tA\xE9\xFF'");
    EXPECT_EQ(quoted(std::string("\"\0\n\"", 4), '"'), std::string("0:\0\n", 4));
    // Not a string, or not closed: nothing consumed.
    for (const char* text : {"", "x\"", "'a'", "\"abc", "\"a\\\"", "\"\\", "\"\\x4\"", "\"\\x\""})
        EXPECT_EQ(quoted(text, '"', 0), "1:old");
    // A bad escape shows only while reading: the string is left as it was.
    for (const char* text : {R"("ab\q")", R"("\xG1")", R"("\x1G")", R"("\0")"})
        EXPECT_EQ(quoted(text, '"'), "1:old");
}

// Scanners never guess past what the pipe can show them: ScanError, nothing consumed.
TEST(StreamScan, PipesThatCannotLookAheadGiveScanError) {
    String out("old");
    int i = 0;
    double d = 0;
    float f = 0;
    const auto scan = [&](const char* text, int lookAhead, auto scanner,
                          Stream::ScanResult result = Error, int consumed = 0) {
        Obj<FaultPipe> pipe = NewObject<FaultPipe>(
            StreamPipeMemory::Create(text, static_cast<int>(std::strlen(text))));
        pipe->LookAhead(lookAhead);
        Stream stream(pipe);
        EXPECT_EQ(scanner(stream), result) << text;
        EXPECT_EQ(pipe->Position(), consumed) << text;
        EXPECT_TRUE(result == Ok || out == "old") << text;
    };
    const auto integer = [&](Stream& s) { return s.s(i); };
    const auto quoted = [&](Stream& s) { return s.sStringQuotedC(out, '"'); };
    for (int lookAhead : {0, 1, 2})
        scan("123", lookAhead, integer);
    scan("-", 1, integer);
    scan("1.2345", 3, [&](Stream& s) { return s.s(d); });
    scan("1e-5", 2, [&](Stream& s) { return s.s(f); });
    scan("abcd;", 3, [&](Stream& s) { return s.sString(out, ";"); });
    scan("\"a\\n\"", 3, quoted);
    scan("  ", 0, [](Stream& s) { return s.sWS(); });
    // What fits into the look-ahead is read.
    scan("123 45", 4, integer, Ok, 3);
    scan("\"a\\n\"", 5, quoted, Ok, 5);
}
