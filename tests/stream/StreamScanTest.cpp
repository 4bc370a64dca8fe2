// Stream scanners: limits, token rules, what they consume, and pipes that cannot look ahead.

#include "StreamTestPipes.h"
#include "quorlix/stream/Stream.h"
#include "quorlix/stream/StreamPipeMemory.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <functional>
#include <string>

using namespace Quorlix;
using QuorlixTest::LookAheadPipe;

namespace {

struct Input {
    explicit Input(const std::string& text)
        : m_Pipe(StreamPipeMemory::Create(text.data(), static_cast<int>(text.size()))),
          m_Stream(m_Pipe) {}
    int Position() const { return m_Pipe->GetPosition(); }
    std::string Scanned(Stream::ScanResult (Stream::*scan)(String&, const char*),
                        const char* stops) {
        String out("old");
        const Stream::ScanResult result = (m_Stream.*scan)(out, stops);
        return std::to_string(result) + ":" + std::string(out.GetCPtr(), size_t(out.Size()));
    }

    Obj<StreamPipeMemory> m_Pipe;
    Stream m_Stream;
};

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

TEST(StreamScan, IntegersAcceptExactlyTheirRange) {
    Expect<int>("-2147483648", Ok, INT32_MIN, 11);
    Expect<int>("+2147483647;", Ok, INT32_MAX, 11);
    Expect<int>("007 8", Ok, 7, 3);
    for (const char* text : {"2147483648", "+2147483648", "-2147483649", "21474836470"})
        Expect<int>(text, Error);
    for (const char* text : {"", "-", "+", "- 1", "--1", "+-1", " 1", ".5"})
        Expect<int>(text, NoMatch);
    Expect<int64_t>("-9223372036854775808", Ok, INT64_MIN, 20);
    Expect<int64_t>("9223372036854775808", Error);
    Expect<int64_t>("-9223372036854775809", Error);
    Expect<unsigned>("4294967295", Ok, UINT32_MAX, 10);
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
    Expect<double>("1.5D3", Ok, 1500.0, 5);
    Expect<double>("2E-3", Ok, 0.002, 4);
    Expect<double>("1e+2", Ok, 100.0, 4);
    Expect<double>(".5", Ok, 0.5, 2);
    Expect<double>("+.5", Ok, 0.5, 3);
    Expect<double>("-3.", Ok, -3.0, 3);
    Expect<double>("-0.0", Ok, -0.0, 4);
    // The token ends at the first character that cannot continue it, and must be a number.
    Expect<double>("1.2.3", Ok, 1.2, 3);
    Expect<double>("1e5e3", Ok, 1e5, 3);
    Expect<double>("1e5.3", Ok, 1e5, 3);
    Expect<double>("7-1", Ok, 7.0, 1);
    Expect<double>("0x1p3", Ok, 0.0, 1);
    for (const char* text : {"-", "+", "", ".", "-.", "e5", "1e", "1e+", ".e1", " 1", "inf"})
        Expect<double>(text, NoMatch);

    // Beyond the range is an error; too small to tell from zero is zero, with its sign.
    Expect<double>("1.7976931348623157e308", Ok, DBL_MAX, 22);
    for (const char* text : {"1e309", "-1.8e308", "1e99999999999999999999", "0.0000001e317"})
        Expect<double>(text, Error);
    Expect<double>("-1e-400", Ok, -0.0, 7);
    Expect<double>("12345e-99999999999999999999", Ok, 0.0, 27);
    Expect<double>("4.9406564584124654e-324", Ok, 4.9406564584124654e-324, 23);
    Expect<float>("3.4028235e38", Ok, FLT_MAX, 12);
    Expect<float>("-3.40282356e38", Ok, -FLT_MAX, 14); // just under half a step beyond
    Expect<float>("3.4028236e38", Error);
    Expect<float>("1e-50", Ok, 0.0f, 5);

    // A token may have 254 characters, sign included.
    const std::string digits = "1" + std::string(252, '0');
    Expect<double>(digits + "0 1", Ok, 1e253, 254);
    Expect<double>(digits + "00", Error);
    Expect<double>("-" + digits, Ok, -1e252, 254);
    Expect<double>("-" + digits + "0", Error);
    Expect<float>("0." + std::string(251, '0') + "1", Ok, 0.0f, 254);
    Expect<float>("0." + std::string(252, '0') + "1", Error);
}

TEST(StreamScan, WhiteSpaceAndStrings) {
    Input space("  \t\r\n\v");
    EXPECT_EQ(space.m_Stream.sWS(), Ok);
    EXPECT_EQ(space.m_Stream.sWS(), NoMatch);
    EXPECT_EQ(space.Position(), 2);
    EXPECT_EQ(space.m_Stream.sWSTSCRLF(), Ok);
    EXPECT_EQ(space.m_Stream.sWSTSCRLF(), NoMatch);
    EXPECT_EQ(space.Position(), 5); // not the vertical tab

    const auto sString = &Stream::sString;
    Input lines("abc\ndef");
    EXPECT_EQ(lines.Scanned(sString, "\n"), "0:abc");
    EXPECT_EQ(lines.Scanned(sString, "\n"), "0:"); // the stop byte stays
    EXPECT_EQ(lines.m_Stream.Skip(1), 1);
    EXPECT_EQ(lines.Scanned(sString, "\n"), "32768:def"); // ScanEnd, with what was there
    EXPECT_EQ(lines.Scanned(sString, "\n"), "32768:");
    Input fields(std::string("k=v;\xFF\0x", 7));
    EXPECT_EQ(fields.Scanned(sString, ";="), "0:k");
    EXPECT_EQ(fields.m_Stream.Skip(1), 1);
    EXPECT_EQ(fields.Scanned(sString, "\xFF;"), "0:v");
    EXPECT_EQ(fields.m_Stream.Skip(1), 1);
    EXPECT_EQ(fields.Scanned(sString, nullptr), "0:\xFF"); // a NUL always stops
}

TEST(StreamScan, QuotedStringsDecodeEveryEscape) {
    auto quoted = [](const std::string& text, char quote, int consumed = -1) {
        Input in(text);
        String out("old");
        const Stream::ScanResult result = in.m_Stream.sStringQuotedC(out, quote);
        if (consumed >= 0) {
            EXPECT_EQ(in.Position(), consumed) << text;
        }
        return std::to_string(result) + ":" + std::string(out.GetCPtr(), size_t(out.Size()));
    };
    EXPECT_EQ(quoted(R"("q\"s\'b\\\b\f\n\r\t\x41\xe9\xFf'"rest)", '"', 34),
              "0:q\"s'b\\\b\f\n\r\tA\xE9\xFF'");
    EXPECT_EQ(quoted(R"('a"b\'c'd)", '\''), "0:a\"b'c");
    EXPECT_EQ(quoted(std::string("\"\0\n\"", 4), '"'), std::string("0:\0\n", 4));
    // Not a string, or not closed: nothing consumed.
    for (const char* text : {"", "x\"", "'a'", "\"abc", "\"a\\\"", "\"\\", "\"\\x4\"", "\"\\x\""})
        EXPECT_EQ(quoted(text, '"', 0), "1:old");
    // A bad escape shows only while reading: the string is left as it was.
    for (const char* text : {R"("ab\q")", R"("\xG1")", R"("\x1G")", R"("\0")"})
        EXPECT_EQ(quoted(text, '"'), "1:old");

    // Every byte survives pQuotedC and back.
    std::string bytes;
    for (int c = 0; c < 256; ++c)
        bytes += static_cast<char>(c);
    Input all("");
    all.m_Stream.pQuotedC(bytes.data(), 256, '\'').Seek(0, Stream::SeekBegin);
    String out;
    EXPECT_EQ(all.m_Stream.sStringQuotedC(out, '\''), Ok);
    EXPECT_EQ(std::string(out.GetCPtr(), size_t(out.Size())), bytes);
}

// Scanners never guess past what the pipe can show them: ScanError, nothing consumed.
TEST(StreamScan, PipesThatCannotLookAheadGiveScanError) {
    String out("old");
    const std::function<Stream::ScanResult(Stream&)> scanners[] = {
        [](Stream& s) {
            int v;
            return s.s(v);
        },
        [](Stream& s) {
            uint64_t v;
            return s.s(v);
        },
        [](Stream& s) {
            double v;
            return s.s(v);
        },
        [](Stream& s) {
            float v;
            return s.s(v);
        },
        [&](Stream& s) { return s.sString(out, ";"); },
        [&](Stream& s) { return s.sStringQuotedC(out, '"'); },
        [](Stream& s) { return s.sWS(); },
        [](Stream& s) { return s.sWSTSCRLF(); },
    };
    const struct {
        int m_Scanner;
        const char* m_Text;
        int m_Limit;
        Stream::ScanResult m_Result;
        size_t m_Consumed;
    } cases[] = {
        {0, "12", 0, Error, 0},       {1, "12", 0, Error, 0},     {2, "1.5", 0, Error, 0},
        {3, "1.5", 0, Error, 0},      {4, "ab;", 0, Error, 0},    {5, "\"a\"", 0, Error, 0},
        {6, "  ", 0, Error, 0},       {7, "\t ", 0, Error, 0},    {0, "-", 1, Error, 0},
        {0, "12345", 3, Error, 0},    {1, "+12345", 3, Error, 0}, {2, "1.2345", 3, Error, 0},
        {3, "1e-5", 2, Error, 0},     {4, "abcd;", 3, Error, 0},  {5, "\"abcd\"", 3, Error, 0},
        {5, "\"a\\n\"", 3, Error, 0}, {0, "123 45", 4, Ok, 3},    {2, "1.5;", 4, Ok, 3},
        {4, "ab;", 3, Ok, 2},         {5, "\"a\\n\"", 5, Ok, 5},
    };
    for (const auto& c : cases) {
        Obj<LookAheadPipe> pipe = NewObject<LookAheadPipe>(c.m_Text, c.m_Limit);
        Stream stream(pipe);
        EXPECT_EQ(scanners[c.m_Scanner](stream), c.m_Result) << c.m_Scanner << " " << c.m_Text;
        EXPECT_EQ(pipe->m_Position, c.m_Consumed) << c.m_Scanner << " " << c.m_Text;
        if (c.m_Result != Ok) { // the refusals come first
            EXPECT_EQ(out, "old");
        }
    }
}
