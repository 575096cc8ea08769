// Text conversions and string helpers.
#include "orvel/host/core/SysUtils.h"

#include "orvel/host/core/Exceptions.h"

#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <vector>

namespace orvel {

TFormatSettings& FormatSettings() {
    static TFormatSettings settings;
    return settings;
}

namespace {

bool IsBlankOrControl(unsigned char c) {
    return c <= ' ';
}

bool ParseInt64(const std::string& s, int64_t& value) {
    std::size_t i = 0;
    while (i < s.size() && s[i] == ' ')
        ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    if (i >= s.size()) return false;
    bool hex = false;
    if (s[i] == '$') {
        hex = true;
        ++i;
    } else if (s.size() - i > 2 && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
        hex = true;
        i += 2;
    }
    if (i >= s.size()) return false;
    uint64_t magnitude = 0;
    const uint64_t limit = negative ? uint64_t(1) << 63 : (uint64_t(1) << 63) - 1;
    for (; i < s.size(); ++i) {
        unsigned char c = s[i];
        unsigned digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (hex && std::isxdigit(c))
            digit = 10 + (std::tolower(c) - 'a');
        else
            return false;
        uint64_t base = hex ? 16 : 10;
        if (magnitude > (limit - digit) / base) return false;
        magnitude = magnitude * base + digit;
    }
    value = negative ? static_cast<int64_t>(0 - magnitude) : static_cast<int64_t>(magnitude);
    return true;
}

[[noreturn]] void InvalidInteger(const std::string& s) {
    RaiseRes<EConvertError>(SInvalidInteger, {s});
}

int DaysInMonth(int year, int month) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : days[month - 1];
}

// Days from 0001-01-01 to the given date (proleptic Gregorian).
long long DayNumber(int y, int m, int d) {
    long long days = 0;
    long long py = y - 1;
    days = py * 365 + py / 4 - py / 100 + py / 400;
    for (int i = 1; i < m; ++i)
        days += DaysInMonth(y, i);
    return days + d - 1;
}

const long long kDay1899_12_30 = DayNumber(1899, 12, 30);

std::vector<int> SplitNumbers(const std::string& s, char sep, bool& ok) {
    std::vector<int> parts;
    std::string cur;
    ok = true;
    for (char c : s) {
        if (c == sep) {
            if (cur.empty()) ok = false;
            int32_t v = 0;
            if (!TryStrToInt(cur, v)) ok = false;
            parts.push_back(v);
            cur.clear();
        } else {
            cur += c;
        }
    }
    int32_t v = 0;
    if (cur.empty() || !TryStrToInt(cur, v)) ok = false;
    parts.push_back(v);
    return parts;
}

bool ParseDatePart(const std::string& s, const TFormatSettings& fs, TDateTime& date) {
    bool ok = false;
    auto parts = SplitNumbers(s, fs.DateSeparator, ok);
    if (!ok && fs.DateSeparator != '-') parts = SplitNumbers(s, '-', ok);
    if (!ok || parts.size() != 3) return false;
    int y, m, d;
    TDateOrder order = fs.DateOrder;
    if (s.find('-') != std::string::npos && fs.DateSeparator != '-') order = TDateOrder::doYMD;
    switch (order) {
    case TDateOrder::doYMD:
        y = parts[0], m = parts[1], d = parts[2];
        break;
    case TDateOrder::doDMY:
        d = parts[0], m = parts[1], y = parts[2];
        break;
    default:
        m = parts[0], d = parts[1], y = parts[2];
        break;
    }
    if (!IsValidDate(y, m, d)) return false;
    date = EncodeDate(y, m, d);
    return true;
}

bool ParseTimePart(const std::string& s, const TFormatSettings& fs, TDateTime& time) {
    std::string main = s, frac;
    auto dot = s.find('.');
    if (dot != std::string::npos) {
        main = s.substr(0, dot);
        frac = s.substr(dot + 1);
    }
    bool ok = false;
    auto parts = SplitNumbers(main, fs.TimeSeparator, ok);
    if (!ok || parts.size() < 2 || parts.size() > 3) return false;
    int h = parts[0], mi = parts[1], se = parts.size() == 3 ? parts[2] : 0, ms = 0;
    if (!frac.empty()) {
        while (frac.size() < 3)
            frac += '0';
        int32_t v = 0;
        if (!TryStrToInt(frac.substr(0, 3), v)) return false;
        ms = v;
    }
    if (h < 0 || h > 23 || mi < 0 || mi > 59 || se < 0 || se > 59) return false;
    time = EncodeTime(h, mi, se, ms);
    return true;
}

} // namespace

bool TryStrToInt64(const std::string& s, int64_t& value) {
    return ParseInt64(s, value);
}

bool TryStrToInt(const std::string& s, int32_t& value) {
    int64_t v = 0;
    if (!ParseInt64(s, v) || v < std::numeric_limits<int32_t>::min() ||
        v > std::numeric_limits<int32_t>::max())
        return false;
    value = static_cast<int32_t>(v);
    return true;
}

int32_t StrToInt(const std::string& s) {
    int32_t v = 0;
    if (!TryStrToInt(s, v)) InvalidInteger(s);
    return v;
}

int64_t StrToInt64(const std::string& s) {
    int64_t v = 0;
    if (!ParseInt64(s, v)) InvalidInteger(s);
    return v;
}

int32_t StrToIntDef(const std::string& s, int32_t def) {
    int32_t v = 0;
    return TryStrToInt(s, v) ? v : def;
}

std::string IntToStr(int64_t value) {
    return std::to_string(value);
}

bool TryStrToFloat(const std::string& s, double& value, const TFormatSettings& fs) {
    std::string t = Trim(s);
    if (t.empty()) return false;
    for (char& c : t) {
        if (c == fs.DecimalSeparator)
            c = '.';
        else if (c == '.' && fs.DecimalSeparator != '.')
            return false;
    }
    // Decimal text only: no hexadecimal floats, "inf" or "nan".
    for (char c : t)
        if (!(std::isdigit(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == '+' ||
              c == 'e' || c == 'E'))
            return false;
    return ParseDecimalText(t, value);
}

double StrToFloat(const std::string& s, const TFormatSettings& fs) {
    double v = 0;
    if (!TryStrToFloat(s, v, fs)) RaiseRes<EConvertError>(SInvalidFloat, {s});
    return v;
}

std::string FloatToStr(double value, const TFormatSettings& fs) {
    std::string out = FormatGeneral(value, 15);
    if (fs.DecimalSeparator != '.')
        for (char& c : out)
            if (c == '.') c = fs.DecimalSeparator;
    return out;
}

bool ParseDecimalText(std::string_view text, double& value) {
    // from_chars reads the same text in every locale; it takes no leading '+', so skip one.
    const char* begin = text.data();
    const char* end = begin + text.size();
    if (begin != end && *begin == '+' && end - begin > 1 && begin[1] != '-' && begin[1] != '+')
        ++begin;
    double v = 0;
    auto [stop, ec] = std::from_chars(begin, end, v, std::chars_format::general);
    if (ec != std::errc() || stop != end || std::isnan(v) || std::isinf(v)) return false;
    value = v;
    return true;
}

std::string FormatGeneral(double value, int precision) {
    // Same digits as printf's "%.<precision>g", but always with a '.' whatever the C locale says.
    char buf[64];
    auto [stop, ec] =
        std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, precision);
    if (ec != std::errc()) return std::string();
    return std::string(buf, stop);
}

bool IsValidDate(int year, int month, int day) {
    return year >= 1 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 &&
           day <= DaysInMonth(year, month);
}

TDateTime EncodeDate(int year, int month, int day) {
    if (!IsValidDate(year, month, day)) throw EConvertError("Invalid argument to date encode");
    return static_cast<double>(DayNumber(year, month, day) - kDay1899_12_30);
}

TDateTime EncodeTime(int hour, int minute, int second, int msec) {
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 ||
        msec < 0 || msec > 999)
        throw EConvertError("Invalid argument to time encode");
    return (((hour * 60.0 + minute) * 60.0 + second) * 1000.0 + msec) / 86400000.0;
}

void DecodeDate(TDateTime dt, int& year, int& month, int& day) {
    // Only days of the years 1 to 9999 have a calendar date.
    static const double lowest = -static_cast<double>(kDay1899_12_30);
    static const double highest = static_cast<double>(DayNumber(9999, 12, 31) - kDay1899_12_30);
    if (!(std::floor(dt) >= lowest && std::floor(dt) <= highest))
        throw EConvertError("Invalid date: " + FloatToStr(dt));
    long long days = static_cast<long long>(std::floor(dt)) + kDay1899_12_30;
    int y = static_cast<int>(days / 366) + 1;
    while (DayNumber(y + 1, 1, 1) <= days)
        ++y;
    while (DayNumber(y, 1, 1) > days)
        --y;
    int m = 1;
    while (m < 12 && DayNumber(y, m + 1, 1) <= days)
        ++m;
    year = y;
    month = m;
    day = static_cast<int>(days - DayNumber(y, m, 1)) + 1;
}

void DecodeTime(TDateTime dt, int& hour, int& minute, int& second, int& msec) {
    double frac = std::fabs(dt - std::floor(dt));
    long long ms = std::llround(frac * 86400000.0);
    if (ms >= 86400000) ms = 86399999;
    hour = static_cast<int>(ms / 3600000);
    minute = static_cast<int>(ms / 60000 % 60);
    second = static_cast<int>(ms / 1000 % 60);
    msec = static_cast<int>(ms % 1000);
}

bool TryStrToDateTime(const std::string& s, TDateTime& value, const TFormatSettings& fs) {
    std::string t = Trim(s);
    if (t.empty()) return false;
    std::string datePart = t, timePart;
    auto split = t.find_first_of(" T");
    if (split != std::string::npos) {
        datePart = t.substr(0, split);
        timePart = Trim(t.substr(split + 1));
    }
    TDateTime date = 0, time = 0;
    if (ParseDatePart(datePart, fs, date)) {
        if (!timePart.empty() && !ParseTimePart(timePart, fs, time)) return false;
        value = date + time;
        return true;
    }
    if (timePart.empty() && ParseTimePart(datePart, fs, time)) {
        value = time;
        return true;
    }
    return false;
}

TDateTime StrToDateTime(const std::string& s, const TFormatSettings& fs) {
    TDateTime v = 0;
    if (!TryStrToDateTime(s, v, fs)) RaiseRes<EConvertError>(SInvalidDateTime, {s});
    return v;
}

std::string DateToStr(TDateTime dt, const TFormatSettings& fs) {
    int y, m, d;
    DecodeDate(dt, y, m, d);
    char buf[32];
    char sep = fs.DateSeparator;
    switch (fs.DateOrder) {
    case TDateOrder::doYMD:
        std::snprintf(buf, sizeof buf, "%04d%c%02d%c%02d", y, sep, m, sep, d);
        break;
    case TDateOrder::doDMY:
        std::snprintf(buf, sizeof buf, "%02d%c%02d%c%04d", d, sep, m, sep, y);
        break;
    default:
        std::snprintf(buf, sizeof buf, "%02d%c%02d%c%04d", m, sep, d, sep, y);
        break;
    }
    return buf;
}

std::string DateTimeToStr(TDateTime dt, const TFormatSettings& fs) {
    std::string out = DateToStr(dt, fs);
    int h, mi, se, ms;
    DecodeTime(dt, h, mi, se, ms);
    if (h || mi || se || ms) {
        char buf[32];
        std::snprintf(buf, sizeof buf, " %02d%c%02d%c%02d", h, fs.TimeSeparator, mi,
                      fs.TimeSeparator, se);
        out += buf;
    }
    return out;
}

std::string TrimLeft(const std::string& s) {
    std::size_t i = 0;
    while (i < s.size() && IsBlankOrControl(s[i]))
        ++i;
    return s.substr(i);
}

std::string TrimRight(const std::string& s) {
    std::size_t n = s.size();
    while (n > 0 && IsBlankOrControl(s[n - 1]))
        --n;
    return s.substr(0, n);
}

std::string Trim(const std::string& s) {
    return TrimLeft(TrimRight(s));
}

std::string UpperCase(const std::string& s) {
    std::string out = s;
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return out;
}

std::string LowerCase(const std::string& s) {
    std::string out = s;
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

int CompareText(const std::string& a, const std::string& b) {
    std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if (x >= 'a' && x <= 'z') x = static_cast<unsigned char>(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z') y = static_cast<unsigned char>(y - 'a' + 'A');
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

bool SameText(const std::string& a, const std::string& b) {
    return a.size() == b.size() && CompareText(a, b) == 0;
}

} // namespace orvel
