#pragma once
// Formatted text and raw bytes over a StreamPipe. A Stream is one counted reference to its pipe;
// copies share the pipe. It writes numbers in decimal (hexadecimal where asked, upper case),
// strings as bytes or C-quoted, and scans numbers and strings from pipes that can look ahead.
// Number text never depends on the process locale.
//
// A Stream adds no lock of its own: a multi-part message is made atomic with pLock ... pUnlock,
// which hold the pipe's lock.

#include "quorlix/core/Obj.h"
#include "quorlix/core/String.h"
#include "quorlix/platform/Export.h"
#include "quorlix/stream/StreamPipe.h"

#include <cstdint>

namespace Quorlix {

class QUORLIX_API Stream {
public:
    using SeekStart = Quorlix::SeekStart;
    using enum Quorlix::SeekStart;

    /// What a scanner found. On anything but ScanOk nothing was consumed (sStringQuotedC may
    /// have consumed the characters before a bad escape; sString consumes what it returns with
    /// ScanEnd).
    enum ScanResult : int {
        ScanOk = 0,       // parsed and consumed
        ScanNoMatch = 1,  // the input does not start with what was asked for
        ScanError = 2,    // overflow, token too long, or the pipe cannot look ahead far enough
        ScanEnd = 0x8000, // end of data reached while reading a string
    };

    /// Takes a reference to `pipe`; null stands for the null pipe singleton, so a Stream always
    /// has a pipe to forward to.
    explicit Stream(StreamPipe* pipe);
    /// Opens `path` with the open-mode word `mode` through the buffered file pipe, or through the
    /// plain file pipe when `mode` has IOUnbuffered. A file that cannot be opened gives a pipe
    /// that reads as empty and accepts nothing.
    Stream(const char* path, unsigned mode);
    // A moved-from Stream keeps its pipe: moving copies the reference.
    Stream(const Stream& other) = default;
    Stream& operator=(const Stream& other) = default;
    ~Stream() = default;

    /// Takes the new reference before dropping the old one (the same pipe may be set again);
    /// null selects the null pipe singleton.
    void SetStreamPipe(StreamPipe* pipe);
    /// Never null.
    StreamPipe* GetStreamPipe() const noexcept { return m_Pipe.Get(); }

    // Raw operations, forwarded to the pipe (see StreamPipe for their conventions).
    int Read(void* buffer, int n) { return m_Pipe->Read(buffer, n); }
    int Read() { return m_Pipe->Read(); }
    int Peek() { return m_Pipe->Peek(); }
    int PeekAt(int offset) { return m_Pipe->PeekAt(offset); }
    int Skip(int n) { return m_Pipe->Skip(n); }
    int Write(const void* data, int n) { return m_Pipe->Write(data, n); }
    bool Truncate() { return m_Pipe->Truncate(); }
    void Flush() { m_Pipe->Flush(); }
    int64_t Seek(int64_t offset, SeekStart origin) { return m_Pipe->Seek(offset, origin); }
    int64_t SeekCompressed(int64_t offset, SeekStart origin) {
        return m_Pipe->SeekCompressed(offset, origin);
    }
    void GetFileTime(uint64_t& created, uint64_t& accessed, uint64_t& written) {
        m_Pipe->GetFileTime(created, accessed, written);
    }
    /// False when the pipe keeps no file times.
    bool SetFileTime(uint64_t created, uint64_t accessed, uint64_t written) {
        return m_Pipe->SetFileTime(created, accessed, written);
    }

    // Text output. Each operator is one pipe Write; a short write is not reported.
    Stream& operator<<(int value);
    Stream& operator<<(int64_t value);
    Stream& operator<<(unsigned value);
    Stream& operator<<(uint64_t value);
    // int64_t is long here: without these, long long arguments would be ambiguous.
    Stream& operator<<(long long value) { return *this << static_cast<int64_t>(value); }
    Stream& operator<<(unsigned long long value) { return *this << static_cast<uint64_t>(value); }
    /// The byte itself.
    Stream& operator<<(char value);
    /// The text up to its NUL; "(NULL)" for a null pointer.
    Stream& operator<<(const char* text);
    /// All Size() bytes, embedded NULs included.
    Stream& operator<<(const StringRef& text);
    /// Up to 7 significant digits, the shorter of fixed and exponent form ("%.7g"); a text
    /// with neither a point nor an exponent gets a "." appended ("3.", "0.5", "1e-05").
    /// Infinities are "inf" and "-inf", any NaN is "nan".
    Stream& operator<<(float value);
    /// The same with 18 significant digits, enough to read back every double exactly.
    Stream& operator<<(double value);

    /// An address (or number) in upper-case hexadecimal, no prefix, no leading zeros.
    Stream& pMemPtr(const void* address);
    /// Upper-case hexadecimal, zero-padded to `width` digits (at most 16).
    Stream& pHex(unsigned value, int width);
    /// `length` bytes of `text` (-1: up to its NUL) between two `quote` characters (none when
    /// `quote` is 0), escaped as C does: \b \t \n \f \r, \" \' \\, and \xHH for every other byte
    /// outside 32..126. Both quote characters are escaped whichever one encloses. A null `text`
    /// is written as (NULL).
    Stream& pQuotedC(const char* text, int length, char quote);
    Stream& pQuotedC(const StringRef& text, char quote);
    Stream& pWS();
    Stream& pCR();
    /// "\n", then Flush.
    Stream& pLF();
    /// "\r\n", then Flush.
    Stream& pCRLF();
    Stream& pFlush();
    /// The pipe's lock, re-entrant; every pLock needs its pUnlock on the same thread.
    Stream& pLock();
    Stream& pUnlock();
    Stream& pColor(int foreground, int background);
    Stream& pClear();

    // Scanners. They look ahead with PeekAt and consume only what they parsed, so they need a
    // pipe that can look ahead (memory, buffered file, resource and filter pipes); where the
    // pipe cannot, they return ScanError.

    /// Optional '+' or '-', then decimal digits. ScanError when the value does not fit.
    ScanResult s(int& value);
    ScanResult s(int64_t& value);
    /// Optional '+', then decimal digits. ScanError when the value does not fit.
    ScanResult s(unsigned& value);
    ScanResult s(uint64_t& value);
    /// Optional sign, digits with at most one '.', an optional exponent introduced by e, E, d or
    /// D with an optional sign; it must start with a digit or '.'. The whole token must form a
    /// number (else ScanNoMatch). ScanError for a token of 255 characters or more and for a
    /// value beyond the double range; a value too small for it reads as zero.
    ScanResult s(double& value);
    /// s(double&), then rounded to float; ScanError beyond the float range.
    ScanResult s(float& value);
    /// Skips blanks; ScanOk when there was at least one.
    ScanResult sWS();
    /// Skips blanks, tabs, CRs and LFs; ScanOk when there was at least one.
    ScanResult sWSTSCRLF();
    /// Reads the bytes before the first byte that occurs in `stops` (or a NUL byte) into `out`,
    /// leaving the stop byte in the pipe: ScanOk. At the end of the data `out` receives what
    /// was there: ScanEnd. ScanError (nothing read) when the pipe cannot look ahead.
    ScanResult sString(String& out, const char* stops);
    /// A string enclosed in `quote` with the escapes of pQuotedC (\x takes exactly two
    /// hexadecimal digits in either case); only `quote` ends it. ScanNoMatch when it does not
    /// start with `quote`, is not closed before the end of the data, or holds a bad escape (in
    /// that case the characters before the escape have been consumed).
    ScanResult sStringQuotedC(String& out, char quote);

private:
    Obj<StreamPipe> m_Pipe; // never null
};

/// `value` in decimal, right-aligned in at least `width` characters of `fill`; a negative value
/// puts its '-' on the first character: Format(-5, '0', 4) is "-005", Format(-5, ' ', 4) is
/// "-  5". Written with operator<<(const StringRef&).
QUORLIX_API String Format(int value, char fill, int width);

} // namespace Quorlix
