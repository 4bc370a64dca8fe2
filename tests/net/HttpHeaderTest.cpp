// The response header reader and the date parser on their own: statuses, fields, numbers and
// dates as servers (and attackers) write them.

#include "quorlix/net/internal/HttpHeader.h"
#include "net/NetTestSupport.h"

#include <gtest/gtest.h>

#include <string>

using namespace Quorlix::Internal;
using QuorlixTest::FileTime;

namespace {

// A header fed line by line as ReceiveLine delivers it (pieces of at most 4095 bytes).
HttpResponseHeader Header(const std::string& text) {
    HttpResponseHeader header;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        end = end == std::string::npos ? text.size() : end + 1;
        if (end - at > 4095)
            end = at + 4095;
        if (!header.Add(text.data() + at, end - at))
            break;
        at = end;
    }
    return header;
}

TEST(HttpHeader, StatusComesFromTheStatusLineAndOnlyThenFromASearch) {
    EXPECT_EQ(Header("HTTP/1.1 200 OK\r\n\r\n").Status(), 200);
    EXPECT_EQ(Header("HTTP/1.0 206 Partial Content\r\n\r\n").Status(), 206);
    // A "404" elsewhere cannot fail a good reply, nor a "200 OK" rescue a bad one.
    EXPECT_EQ(Header("HTTP/1.1 200 OK\r\nX-Count: 404\r\nETag: \"500\"\r\n\r\n").Status(), 200);
    EXPECT_EQ(Header("HTTP/1.1 404 Not Found\r\nX-Note: 200 OK\r\n\r\n").Status(), 404);
    // Codes outside the list, and a status line without a reason.
    EXPECT_EQ(Header("HTTP/1.1 301 Moved\r\nLocation: /404\r\n\r\n").Status(), 1000);
    EXPECT_EQ(Header("HTTP/1.1 503\r\n\r\n").Status(), 503);
    // No status line: the first text of the list found anywhere decides.
    EXPECT_EQ(Header("garbage 404 and 500\r\n\r\n").Status(), 404);
    EXPECT_EQ(Header("HTTP/1.1 2000 OK\r\n\r\n").Status(), 1000);
    EXPECT_EQ(Header("").Status(), 1000);
    EXPECT_EQ(Header("HTTP/1.1 200 OK\r\n\r\n").StatusLineCode(), 200);
    EXPECT_EQ(Header("HTTPS/1.1 200 OK\r\n").StatusLineCode(), -1);
}

TEST(HttpHeader, EndsAtTheBlankLineWithOrWithoutCarriageReturns) {
    HttpResponseHeader header = Header("HTTP/1.1 200 OK\nContent-Length: 5\n\nbody\n");
    EXPECT_TRUE(header.IsComplete());
    EXPECT_EQ(header.Text(), "HTTP/1.1 200 OK\nContent-Length: 5\n");
    std::string value;
    EXPECT_TRUE(header.Field("content-length", value));
    EXPECT_EQ(value, "5");
    // A long line is one line, whatever the pieces: its own blank piece ends nothing.
    const std::string text =
        "HTTP/1.1 200 OK\r\nX-Long: " + std::string(9000, 'a') + "\r\nLast-Modified: x\r\n\r\n";
    HttpResponseHeader longHeader = Header(text);
    EXPECT_TRUE(longHeader.IsComplete());
    EXPECT_TRUE(longHeader.Field("LAST-MODIFIED", value));
    EXPECT_EQ(value, "x");
    // Without its blank line the header ends with the data, and is not complete.
    HttpResponseHeader cut = Header("HTTP/1.1 200 OK\r\nContent-Length: 5\r\n");
    EXPECT_FALSE(cut.Add(nullptr, 0));
    EXPECT_FALSE(cut.IsComplete());
    EXPECT_EQ(cut.Status(), 200);
    // Past 64 KiB the header is cut there and refused.
    std::string filler = "HTTP/1.1 200 OK\r\n";
    while (filler.size() < 70000)
        filler += "X-Filler: " + std::string(100, 'f') + "\r\n";
    HttpResponseHeader huge = Header(filler + "\r\n");
    EXPECT_TRUE(huge.IsTooLong());
    EXPECT_EQ(huge.Text().size(), k_HttpHeaderLimit);
}

TEST(HttpHeader, FieldsMatchWholeNamesAtLineStarts) {
    const HttpResponseHeader header =
        Header("HTTP/1.1 200 OK\r\nX-Content-Length: 1\r\nContent-Lengths: 2\r\n"
               "content-LENGTH:\t 42 \r\nContent-Length: 43\r\n\r\n");
    std::string value;
    EXPECT_TRUE(header.Field("Content-Length", value));
    EXPECT_EQ(value, "42");
    EXPECT_FALSE(header.Field("Content-Range", value));
    EXPECT_FALSE(Header("Content-Length: 3\r\n\r\n").Field("Content-Length", value))
        << "the status line is no field";
}

TEST(HttpHeader, NumbersAreDigitsOnlyAndFitInSixtyThreeBits) {
    uint64_t value = 7;
    EXPECT_TRUE(ParseHttpNumber("0", value));
    EXPECT_EQ(value, 0u);
    EXPECT_TRUE(ParseHttpNumber("9223372036854775807", value));
    EXPECT_EQ(value, 9223372036854775807u);
    value = 7;
    for (const char* bad : {"", "-1", "+1", " 1", "1 ", "12a", "0x10", "9223372036854775808",
                            "99999999999999999999", "1e3"})
        EXPECT_FALSE(ParseHttpNumber(bad, value)) << bad;
    EXPECT_EQ(value, 7u);
    EXPECT_TRUE(ParseContentRangeTotal("bytes 0-1/12345", value));
    EXPECT_EQ(value, 12345u);
    EXPECT_FALSE(ParseContentRangeTotal("bytes 0-1/*", value));
    EXPECT_FALSE(ParseContentRangeTotal("bytes 0-1", value));
}

TEST(HttpHeader, DatesFollowTheTemplateAndTheCalendar) {
    uint64_t time = 0;
    EXPECT_TRUE(ParseHttpDate("Sun, 29 Feb 2004 10:00:00 GMT", time));
    EXPECT_EQ(time, FileTime(1078048800));
    EXPECT_TRUE(ParseHttpDate("  Tue, 29 Feb 2000 00:00:00 GMT", time));
    EXPECT_EQ(time, FileTime(951782400));
    EXPECT_TRUE(ParseHttpDate("Thu, 01 Jan 1970 00:00:00 GMT", time));
    EXPECT_EQ(time, FileTime(0));
    // A leap second is accepted (61 at most), and the text after the time is not looked at.
    EXPECT_TRUE(ParseHttpDate("Wed, 31 Dec 2008 23:59:61 anything", time));
    EXPECT_EQ(time, FileTime(1230767999 + 2));
    EXPECT_TRUE(ParseHttpDate("Mon, 01 Jan 1601 00:00:00 GMT", time));
    EXPECT_EQ(time, 0u);

    time = 12345;
    for (const char* bad :
         {"Thu, 29 Feb 1900 10:00:00 GMT", "Fri, 31 Apr 2004 10:00:00 GMT",
          "Sat, 30 Feb 2004 10:00:00 GMT", "Sat, 29 Feb 2003 10:00:00 GMT",
          "Sun, 00 Jan 2004 10:00:00 GMT", "Sun, 32 Jan 2004 10:00:00 GMT",
          "Sun, 01 Jan 2004 24:00:00 GMT", "Sun, 01 Jan 2004 10:60:00 GMT",
          "Sun, 01 Jan 2004 10:00:62 GMT", "Sun, 01 jan 2004 10:00:00 GMT",
          "Sun, 01 JAN 2004 10:00:00 GMT", "Sun, 01 Jun 2004 10:00", "Sun, 1 Jan 2004 10:00:00",
          "Sunday", "", "Sun, 01 Foo 2004 10:00:00 GMT", "Sun, 01 Jan 1600 10:00:00 GMT",
          "Sun,  01 Jan 2004 10:00:00 GMT"})
        EXPECT_FALSE(ParseHttpDate(bad, time)) << bad;
    EXPECT_EQ(time, 12345u);
}

} // namespace
