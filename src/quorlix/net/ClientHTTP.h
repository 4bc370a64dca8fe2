#pragma once
// Plain HTTP/1.1 downloads: the size and modification time of a remote file, whether the server
// honours byte ranges, and whole or partial downloads into a stream or a local file, with
// progress. Every request connects anew (the connection is closed after it, or left open for
// the body by OpenUrl), sends a hand-built request and reads the response header line by line.
// There are no redirects and no chunked bodies; a Content-Length, when given, bounds the body.
//
// URLs: "http://host[:port]/path" (port 80 without one; '\' reads as '/'), or a bare host name,
// which asks for "/". URLs holding control bytes are refused, so no text can be smuggled into
// the request header.

#include "quorlix/core/Obj.h"
#include "quorlix/core/String.h"
#include "quorlix/net/ClientTCP.h"
#include "quorlix/platform/Export.h"

#include <cstdint>

namespace Quorlix {

class ProgressBar;
class Stream;

/// The result of every request.
enum ErrorsHTTP : int {
    HTTPOk = 200,             // success
    HTTPPartialContent = 206, // a range was served
    HTTPBadRequest = 400,
    HTTPUnauthorized = 401,
    HTTPForbidden = 403,
    HTTPNotFound = 404,
    HTTPServerError = 500,
    HTTPNotImplemented = 501,
    HTTPBadGateway = 502,
    HTTPUnavailable = 503,
    HTTPUnknownResponse = 1000, // no status above: another code, garbage, no answer, a header
                                // past 64 KiB
    HTTPConnectFailed = 1001,   // a refused URL, or no connection to the host
    HTTPRangeRefused = 1002,    // a range request not answered with 206
    HTTPIncomplete = 1003,      // the body ended before its Content-Length, or the output
                                // refused it
};

/// What GetFileInfo learns of a remote file.
struct QUORLIX_API HTTPFileInfo {
    uint64_t m_LastModified = 0; // 100-ns units since 1601, UTC; unchanged when not given
    uint64_t m_Size = 0;         // bytes; unchanged when not given as a number
    int m_Resumable = 0;         // 1 when a range request was answered with 206
};

class QUORLIX_API ClientHTTP : public ClientTCP {
public:
    static constexpr int k_DefaultTimeout = 10;
    static constexpr int k_ReadTimeout = 5;

    /// A new client (count 0; hold it in an Obj).
    static ClientHTTP* Create();

    ClientHTTP();
    ~ClientHTTP() override;

    /// Body bytes after OpenUrl: a Receive with a 5-second time-out (results as Receive's).
    virtual int Read(char* buffer, int size);
    /// HEAD request; on 200 the Content-Length is the size (left unchanged when it is not a
    /// number). The status.
    virtual ErrorsHTTP GetFileSize(const StringRef& url, uint64_t& size);
    /// Asks for the bytes 0-1: HTTPPartialContent when served as a range, HTTPConnectFailed
    /// without a connection, else HTTPRangeRefused.
    virtual ErrorsHTTP CheckResume(const StringRef& url);
    /// Asks for the bytes 0-1. 206 sets m_Resumable 1 and the size from Content-Range, 200 sets
    /// it 0 and the size from Content-Length; both read Last-Modified and give HTTPOk. Any other
    /// status is returned with `info` unchanged.
    virtual ErrorsHTTP GetFileInfo(const StringRef& url, HTTPFileInfo& info);
    /// GET; the status, the connection left open for Read or ReceiveBody.
    virtual ErrorsHTTP OpenUrl(const StringRef& url);
    /// GET of the bytes from-to (both included): HTTPPartialContent with the connection open,
    /// HTTPConnectFailed, or HTTPRangeRefused (closed).
    virtual ErrorsHTTP OpenUrl(const StringRef& url, uint64_t from, uint64_t to);
    /// Downloads into a file: written as `localPath`.part, which replaces `localPath` once the
    /// body is complete. A bad status touches no file; an incomplete body leaves the .part file
    /// (which a ranged request can complete) and `localPath` as it was.
    virtual ErrorsHTTP GetFile(const StringRef& url, const StringRef& localPath);
    /// Downloads into a stream: on 200 or 206 the body is copied (see ReceiveBody) and the
    /// result is HTTPOk or HTTPIncomplete; any other status is returned.
    virtual ErrorsHTTP GetFile(const StringRef& url, Stream& stream);
    /// The same for the bytes from-to. A server that ignores the range answers 200 and the
    /// whole body is copied.
    virtual ErrorsHTTP PartialGetFile(const StringRef& url, const StringRef& localPath,
                                      uint64_t from, uint64_t to);
    virtual ErrorsHTTP PartialGetFile(const StringRef& url, Stream& stream, uint64_t from,
                                      uint64_t to);
    /// The bytes from the stream's position P (0 for a stream that cannot tell) to P + count.
    virtual ErrorsHTTP PartialGetFile(const StringRef& url, Stream& stream, uint64_t count);
    /// Receives the body's progress (the fraction of the Content-Length) after every block;
    /// null for none.
    virtual void SetProgressBar(ProgressBar* bar);

    /// Copies the body of the open response into `stream` in blocks, up to the Content-Length
    /// when there is one, else until the peer closes or the time-out passes without data; then
    /// flushes the stream and closes the connection. HTTPIncomplete (logged) when fewer bytes
    /// than the Content-Length came or the stream refused some, else HTTPOk. A connection the
    /// peer closed already gives an empty body.
    ErrorsHTTP ReceiveBody(Stream& stream);
    /// The longest wait for the response, in seconds (10 unless set; at least 1).
    void SetTimeout(int seconds) noexcept { m_Timeout = seconds < 1 ? 1 : seconds; }
    int GetTimeout() const noexcept { return m_Timeout; }
    /// The Content-Length of the last response, -1 when it had none that was a number.
    int64_t GetContentLength() const noexcept { return m_ContentLength; }
    /// The code of the last response's status line, -1 when it had none.
    int GetStatusCode() const noexcept { return m_StatusCode; }
    /// The host (with its port when the URL gave one) and path of the last URL.
    const String& GetUrlHost() const noexcept { return m_UrlHost; }
    const String& GetUrlPath() const noexcept { return m_Path; }

    /// Splits a URL: host as written (with the port), host name, port (80 without one) and
    /// path ("/" when none). False, with a log line, for control bytes, an empty host or a port
    /// that is not 1..65535.
    static bool SplitUrl(const StringRef& url, String& host, String& name, int& port, String& path);

private:
    /// Connects and sends the request; false (after closing) when that fails.
    bool SendRequest(const StringRef& url, const char* method, bool ranged, uint64_t from,
                     uint64_t to);
    /// Reads the response header; the status (HTTPUnknownResponse for a header that is too
    /// long, which also closes the connection).
    ErrorsHTTP ReadResponse();
    /// A request and its response header in one: HTTPConnectFailed when the request could not
    /// be sent.
    ErrorsHTTP Request(const StringRef& url, const char* method, bool ranged, uint64_t from,
                       uint64_t to);
    ErrorsHTTP Download(const StringRef& url, Stream& stream, bool ranged, uint64_t from,
                        uint64_t to);
    ErrorsHTTP DownloadToFile(const StringRef& url, const StringRef& localPath, bool ranged,
                              uint64_t from, uint64_t to);

    String m_UrlHost;
    String m_Path;
    Obj<ProgressBar> m_ProgressBar;
    String m_Header; // the last response header
    int64_t m_ContentLength = -1;
    int m_StatusCode = -1;
    int m_Timeout = k_DefaultTimeout;
};

} // namespace Quorlix
