#pragma once
// The response header of the HTTP client as it arrives, piece by piece from ReceiveLine, and
// what is read out of it: the status, named fields, numbers and dates. Everything here comes
// from the network and is taken as untrusted: sizes are capped, numbers checked.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace Quorlix::Internal {

/// The most header bytes kept; a header that goes on is cut and marked too long.
constexpr size_t k_HttpHeaderLimit = 64 * 1024;

class HttpResponseHeader {
public:
    /// Adds a piece as ReceiveLine stored it: a whole line with its line feed, or part of a
    /// longer one. False once the header is over: an empty line ("\r\n" or "\n") at a line's
    /// start, or the limit reached. An empty piece (a read that failed) also ends it.
    bool Add(const char* data, size_t n);

    /// The status: the code of the status line ("HTTP/1.x NNN") when it is one of 200, 206,
    /// 400, 401, 403, 404, 500, 501, 502, 503, 1000 for another code. Without a status line,
    /// the first of "200 OK", "206", "400", ... "503" found anywhere in the header, else 1000.
    int Status() const;
    /// The three-digit code of the status line, or -1 when there is none.
    int StatusLineCode() const;
    /// The value of the first field `name` (matched at a line's start without regard to case,
    /// followed by ':'), without the blanks around it and the line end. False when absent.
    bool Field(std::string_view name, std::string& value) const;
    /// Whether the header ended with its blank line (not by a failed read or the limit).
    bool IsComplete() const noexcept { return m_Complete; }
    bool IsTooLong() const noexcept { return m_TooLong; }
    const std::string& Text() const noexcept { return m_Text; }

private:
    std::string m_Text;
    bool m_AtLineStart = true;
    bool m_Complete = false;
    bool m_TooLong = false;
};

/// The value of the first field `name` in a header's text (see HttpResponseHeader::Field).
bool FindHttpField(std::string_view text, std::string_view name, std::string& value);

/// A decimal number of 1 to 19 digits and nothing else; false for anything else (blanks, signs,
/// a value past 2^63 - 1).
bool ParseHttpNumber(std::string_view text, uint64_t& value);

/// The total of a Content-Range value ("bytes 0-1/12345": the number after the last '/').
bool ParseContentRangeTotal(std::string_view value, uint64_t& total);

/// An HTTP date ("Sun, 29 Feb 2004 10:00:00 GMT") as a 100-ns count since 1601. The date starts
/// after the first blank (blanks before it are skipped) and must match "## @$$ #### ##:##:##"
/// ('#' a digit, '@' an upper-case letter, '$' a lower-case one); day 1-31 and valid for the
/// month (29 February only in a leap year), hour up to 23, minute 59, second 61, month Jan to
/// Dec. False, leaving `fileTime` as it was, for anything else.
bool ParseHttpDate(std::string_view text, uint64_t& fileTime);

} // namespace Quorlix::Internal
