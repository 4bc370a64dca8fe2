// HTTP date fuzzer: the parser against the calendar of the C++ library. A date is taken exactly
// when its text fits the template and names a real day and time (seconds up to 61), and then
// gives the same count as the calendar; anything else leaves the time as it was.

#include "quorlix/net/internal/HttpHeader.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

using namespace Quorlix::Internal;

#define EXPECT(c)                                                                                  \
    ((c) ? void() : (std::fprintf(stderr, "http_date: line %d: %s\n", __LINE__, #c), std::abort()))

namespace {

bool Digits(std::string_view text, size_t at, size_t count, int& value) {
    value = 0;
    for (size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
        value = value * 10 + (text[i] - '0');
    }
    return true;
}

// The oracle: the fields of "dd Mon yyyy hh:mm:ss " after the first blank, checked with
// std::chrono; true with the 100-ns count when the date is one.
bool Expected(std::string_view text, uint64_t& fileTime) {
    size_t at = text.find_first_not_of(' ');
    if (at == std::string_view::npos)
        return false;
    const size_t blank = text.find(' ', at);
    if (blank == std::string_view::npos)
        return false;
    const std::string_view d = text.substr(blank + 1);
    if (d.size() < 21 || d[2] != ' ' || d[6] != ' ' || d[11] != ' ' || d[14] != ':' ||
        d[17] != ':' || d[20] != ' ')
        return false;
    int day, year, hour, minute, second;
    if (!Digits(d, 0, 2, day) || !Digits(d, 7, 4, year) || !Digits(d, 12, 2, hour) ||
        !Digits(d, 15, 2, minute) || !Digits(d, 18, 2, second))
        return false;
    static const char k_Months[] = "JanFebMarAprMayJunJulAugSepOctNovDec";
    unsigned month = 0;
    for (unsigned m = 0; m < 12; ++m)
        if (d.substr(3, 3) == std::string_view(k_Months + 3 * m, 3))
            month = m + 1;
    namespace chr = std::chrono;
    const chr::year_month_day date{chr::year(year), chr::month(month),
                                   chr::day(static_cast<unsigned>(day))};
    if (month == 0 || !date.ok() || year < 1601 || hour > 23 || minute > 59 || second > 61)
        return false;
    const int64_t days = chr::sys_days(date).time_since_epoch().count();
    fileTime = static_cast<uint64_t>((days * 86400 + hour * 3600 + minute * 60 + second) +
                                     int64_t{11644473600}) *
               10000000u;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    uint64_t time = 0x5A5A5A5A;
    const bool parsed = ParseHttpDate(text, time);
    uint64_t expected = 0;
    EXPECT(parsed == Expected(text, expected));
    EXPECT(parsed ? time == expected : time == 0x5A5A5A5A);
    return 0;
}
