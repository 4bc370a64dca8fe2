#include "quorlix/net/internal/HttpHeader.h"

#include <cstring>

namespace Quorlix::Internal {

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// The codes the client reports as they are.
bool IsKnownStatus(int code) {
    switch (code) {
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
        return true;
    default:
        return false;
    }
}

// Does `text` match the date template from its start? '#' digit, '@' upper-case letter, '$'
// lower-case letter, '&' hexadecimal digit, '~' blank or digit, '*' ends the match.
bool MatchesTemplate(std::string_view text, const char* pattern) {
    size_t i = 0;
    for (const char* p = pattern; *p != '\0'; ++p, ++i) {
        if (*p == '*')
            return true;
        if (i >= text.size())
            return false;
        const char c = text[i];
        bool ok;
        switch (*p) {
        case '#':
            ok = IsDigit(c);
            break;
        case '@':
            ok = c >= 'A' && c <= 'Z';
            break;
        case '$':
            ok = c >= 'a' && c <= 'z';
            break;
        case '&':
            ok = IsDigit(c) || (Lower(c) >= 'a' && Lower(c) <= 'f');
            break;
        case '~':
            ok = c == ' ' || IsDigit(c);
            break;
        default:
            ok = c == *p;
            break;
        }
        if (!ok)
            return false;
    }
    return true;
}

int Digits(std::string_view text, size_t at, size_t count) {
    int value = 0;
    for (size_t i = 0; i < count; ++i)
        value = value * 10 + (text[at + i] - '0');
    return value;
}

// Days from 1970-01-01 to the given Gregorian date.
int64_t DaysFromCivil(int64_t year, int month, int day) {
    year -= month <= 2 ? 1 : 0;
    const int64_t era = (year >= 0 ? year : year - 399) / 400;
    const int64_t yearOfEra = year - era * 400;
    const int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

} // namespace

bool HttpResponseHeader::Add(const char* data, size_t n) {
    if (data == nullptr || n == 0)
        return false;
    const std::string_view piece(data, n);
    if (m_AtLineStart && (piece == "\r\n" || piece == "\n")) {
        m_Complete = true;
        return false;
    }
    if (m_Text.size() + n > k_HttpHeaderLimit) {
        m_Text.append(piece.substr(0, k_HttpHeaderLimit - m_Text.size()));
        m_TooLong = true;
        return false;
    }
    m_Text.append(piece);
    m_AtLineStart = piece.back() == '\n';
    return true;
}

int HttpResponseHeader::StatusLineCode() const {
    // "HTTP/" digit "." digit, one or more blanks, three digits, then a blank or the line end.
    std::string_view text(m_Text);
    if (text.size() < 12 || text.substr(0, 5) != "HTTP/" || !IsDigit(text[5]) || text[6] != '.' ||
        !IsDigit(text[7]) || !IsBlank(text[8]))
        return -1;
    size_t at = 8;
    while (at < text.size() && IsBlank(text[at]))
        ++at;
    if (at + 3 > text.size() || !IsDigit(text[at]) || !IsDigit(text[at + 1]) ||
        !IsDigit(text[at + 2]))
        return -1;
    if (at + 3 < text.size() && !IsBlank(text[at + 3]) && text[at + 3] != '\r' &&
        text[at + 3] != '\n')
        return -1;
    return Digits(text, at, 3);
}

int HttpResponseHeader::Status() const {
    const int code = StatusLineCode();
    if (code >= 0)
        return IsKnownStatus(code) ? code : 1000;
    // A header without a status line: the first of these found anywhere decides.
    static const struct {
        const char* m_Text;
        int m_Code;
    } k_Searched[] = {{"200 OK", 200}, {"206", 206}, {"400", 400}, {"401", 401}, {"403", 403},
                      {"404", 404},    {"500", 500}, {"501", 501}, {"502", 502}, {"503", 503}};
    for (const auto& searched : k_Searched)
        if (m_Text.find(searched.m_Text) != std::string::npos)
            return searched.m_Code;
    return 1000;
}

bool HttpResponseHeader::Field(std::string_view name, std::string& value) const {
    return FindHttpField(m_Text, name, value);
}

bool FindHttpField(std::string_view text, std::string_view name, std::string& value) {
    // The status line is never a field.
    size_t line = text.find('\n');
    while (line != std::string_view::npos && line + 1 < text.size()) {
        const size_t start = line + 1;
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        const std::string_view current = text.substr(start, end - start);
        bool match = current.size() > name.size() && current[name.size()] == ':';
        for (size_t i = 0; match && i < name.size(); ++i)
            match = Lower(current[i]) == Lower(name[i]);
        if (match) {
            size_t from = name.size() + 1;
            size_t to = current.size();
            while (from < to && IsBlank(current[from]))
                ++from;
            while (to > from && (IsBlank(current[to - 1]) || current[to - 1] == '\r'))
                --to;
            value.assign(current.substr(from, to - from));
            return true;
        }
        line = end < text.size() ? end : std::string_view::npos;
    }
    return false;
}

bool ParseHttpNumber(std::string_view text, uint64_t& value) {
    if (text.empty() || text.size() > 19)
        return false;
    uint64_t result = 0;
    for (char c : text) {
        if (!IsDigit(c))
            return false;
        result = result * 10 + static_cast<uint64_t>(c - '0');
    }
    if (result > uint64_t{INT64_MAX})
        return false;
    value = result;
    return true;
}

bool ParseContentRangeTotal(std::string_view value, uint64_t& total) {
    const size_t slash = value.rfind('/');
    return slash != std::string_view::npos && ParseHttpNumber(value.substr(slash + 1), total);
}

bool ParseHttpDate(std::string_view text, uint64_t& fileTime) {
    size_t at = 0;
    while (at < text.size() && text[at] == ' ')
        ++at;
    const size_t blank = text.find(' ', at);
    if (blank == std::string_view::npos)
        return false;
    const std::string_view date = text.substr(blank + 1);
    if (!MatchesTemplate(date, "## @$$ #### ##:##:## *"))
        return false;
    static const char* const k_Months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                           "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    int month = 0;
    for (int i = 0; i < 12; ++i)
        if (date.substr(3, 3) == k_Months[i])
            month = i + 1;
    const int day = Digits(date, 0, 2);
    const int year = Digits(date, 7, 4);
    const int hour = Digits(date, 12, 2);
    const int minute = Digits(date, 15, 2);
    const int second = Digits(date, 18, 2);
    if (month == 0 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 61)
        return false;
    if (day == 31 && (month == 4 || month == 6 || month == 9 || month == 11))
        return false;
    const bool leap = year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
    if (month == 2 && day > (leap ? 29 : 28))
        return false;
    // FILETIME counts from 1601, which is before 1970 by this many days.
    constexpr int64_t k_DaysFrom1601To1970 = 134774;
    const int64_t seconds = (DaysFromCivil(year, month, day) + k_DaysFrom1601To1970) * 86400 +
                            hour * 3600 + minute * 60 + second;
    if (seconds < 0)
        return false;
    fileTime = static_cast<uint64_t>(seconds) * 10000000u;
    return true;
}

} // namespace Quorlix::Internal
