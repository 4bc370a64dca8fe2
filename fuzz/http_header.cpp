// HTTP response header fuzzer: the input arrives as the client receives it, in lines of at most
// 4095 bytes. Whatever it holds, the header stays within its cap, the status is one the client
// documents, the status line decides when there is one, and fields come out as single lines.

#include "quorlix/net/internal/HttpHeader.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

using namespace Quorlix::Internal;

#define EXPECT(c)                                                                                  \
    ((c) ? void()                                                                                  \
         : (std::fprintf(stderr, "http_header: line %d: %s\n", __LINE__, #c), std::abort()))

namespace {

bool IsDocumented(int status) {
    switch (status) {
    case 200:
    case 206:
    case 400:
    case 401:
    case 403:
    case 404:
    case 500:
    case 501:
    case 502:
    case 503:
    case 1000:
        return true;
    default:
        return false;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* text = reinterpret_cast<const char*>(data);
    HttpResponseHeader header;
    size_t at = 0;
    bool open = true;
    while (open && at < size) {
        size_t end = at;
        while (end < size && end - at < 4095 && text[end] != '\n')
            ++end;
        if (end < size && text[end] == '\n' && end - at < 4095)
            ++end;
        open = header.Add(text + at, end - at);
        at = end;
    }
    if (open)
        header.Add(nullptr, 0); // the peer closed
    EXPECT(header.Text().size() <= k_HttpHeaderLimit);
    EXPECT(!(header.IsComplete() && header.IsTooLong()));

    const int status = header.Status();
    EXPECT(IsDocumented(status));
    const int code = header.StatusLineCode();
    EXPECT(code >= -1 && code <= 999);
    if (code >= 0)
        EXPECT(status == (IsDocumented(code) && code != 1000 ? code : 1000));

    for (const char* name : {"Content-Length", "content-range", "LAST-MODIFIED", "X"}) {
        std::string value;
        if (header.Field(name, value)) {
            EXPECT(value.find('\n') == std::string::npos);
            EXPECT(value.empty() || (value.back() != '\r' && value.back() != ' '));
            uint64_t number = 0;
            if (ParseHttpNumber(value, number))
                EXPECT(number <= uint64_t{INT64_MAX} && !value.empty() && value.size() <= 19);
            uint64_t total = 0;
            (void)ParseContentRangeTotal(value, total);
            uint64_t time = 7;
            if (!ParseHttpDate(value, time))
                EXPECT(time == 7);
        }
    }
    return 0;
}
