// The binary format of the server's built-in types, decoded into the values and texts the text
// format gives for them (see PgValues.h).
#include "orvel/host/data/sql/PgValues.h"

#include "orvel/host/data/sql/SqlEngine.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <type_traits>

namespace orvel::pgvalues {

namespace {

// Days from 2000-01-01 (the server's epoch) to 1970-01-01.
constexpr int64_t kEpochDays = 10957;
constexpr int64_t kMicrosPerDay = int64_t{86400} * 1000000;

[[noreturn]] void Unreadable(const char* what, std::string_view bytes) {
    RaiseEngineError(std::string("The server sent ") + what + " this program cannot read (" +
                     std::to_string(bytes.size()) + " bytes)");
}

uint64_t BigEndian(std::string_view bytes) {
    uint64_t value = 0;
    for (char c : bytes)
        value = value << 8 | static_cast<unsigned char>(c);
    return value;
}

// A fixed-size value of type T, checked for its size (the network's byte order).
template <typename T> T Fixed(std::string_view bytes, const char* what) {
    if (bytes.size() != sizeof(T)) Unreadable(what, bytes);
    if constexpr (sizeof(T) == 1) {
        return static_cast<T>(static_cast<unsigned char>(bytes[0]));
    } else {
        using TUnsigned =
            std::conditional_t<sizeof(T) == 2, uint16_t,
                               std::conditional_t<sizeof(T) == 4, uint32_t, uint64_t>>;
        TUnsigned raw;
        std::memcpy(&raw, bytes.data(), sizeof raw);
        if constexpr (std::endian::native == std::endian::little) {
            if constexpr (sizeof(T) == 2)
                raw = __builtin_bswap16(raw);
            else if constexpr (sizeof(T) == 4)
                raw = __builtin_bswap32(raw);
            else
                raw = __builtin_bswap64(raw);
        }
        return static_cast<T>(raw);
    }
}

double Float8Of(std::string_view bytes) {
    uint64_t bits = Fixed<uint64_t>(bytes, "a double precision value");
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

float Float4Of(std::string_view bytes) {
    uint32_t bits = Fixed<uint32_t>(bytes, "a real value");
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// A real as the double its text reads as: the shortest text that gives the float back (the
// server's text form), so 0.1 stays 0.1 rather than 0.100000001490116.
double WidenedFloat4(float value) {
    if (!std::isfinite(value)) return static_cast<double>(value);
    char buffer[32];
    auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
    double wide = 0;
    std::from_chars(buffer, end, wide);
    return wide;
}

std::string FloatText(double value) {
    if (std::isnan(value)) return "NaN";
    if (std::isinf(value)) return value > 0 ? "Infinity" : "-Infinity";
    char buffer[40];
    auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
    return std::string(buffer, end);
}

std::string Float4Text(float value) {
    if (!std::isfinite(value)) return FloatText(static_cast<double>(value));
    char buffer[32];
    auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
    return std::string(buffer, end);
}

// numeric: digit count, weight (of the first digit, in powers of 10,000), sign, display scale,
// then the base-10,000 digits; written as the server writes it (exactly dscale decimals).
std::string NumericText(std::string_view bytes) {
    constexpr const char* what = "a numeric value";
    if (bytes.size() < 8) Unreadable(what, bytes);
    int ndigits = static_cast<int16_t>(BigEndian(bytes.substr(0, 2)));
    int weight = static_cast<int16_t>(BigEndian(bytes.substr(2, 2)));
    uint32_t sign = static_cast<uint32_t>(BigEndian(bytes.substr(4, 2)));
    uint32_t dscale = static_cast<uint32_t>(BigEndian(bytes.substr(6, 2)));
    if (ndigits < 0 || bytes.size() != 8 + 2 * static_cast<std::size_t>(ndigits) || dscale > 0x3FFF)
        Unreadable(what, bytes);
    if (sign == 0xC000) return "NaN";
    if (sign == 0xD000) return "Infinity";
    if (sign == 0xF000) return "-Infinity";
    if (sign != 0x0000 && sign != 0x4000) Unreadable(what, bytes);
    auto digit = [&](int i) -> int {
        if (i < 0 || i >= ndigits) return 0;
        int d =
            static_cast<int16_t>(BigEndian(bytes.substr(8 + 2 * static_cast<std::size_t>(i), 2)));
        if (d < 0 || d > 9999) Unreadable(what, bytes);
        return d;
    };
    std::string text;
    if (sign == 0x4000) text += '-';
    char group[8];
    if (weight < 0) {
        text += '0';
    } else {
        for (int i = 0; i <= weight; ++i) {
            int d = digit(i);
            if (i == 0)
                text.append(group, std::to_chars(group, group + sizeof group, d).ptr);
            else
                for (int div = 1000; div > 0; div /= 10)
                    text += static_cast<char>('0' + d / div % 10);
        }
    }
    // Every digit is read (and so checked), whether shown or not.
    for (int i = std::max(weight + 1, 0); i < ndigits; ++i)
        digit(i);
    if (dscale > 0) {
        text += '.';
        std::size_t end = text.size() + dscale;
        for (int i = weight + 1; text.size() < end; ++i) {
            int d = digit(i);
            for (int div = 1000; div > 0 && text.size() < end; div /= 10)
                text += static_cast<char>('0' + d / div % 10);
        }
    }
    return text;
}

// A day of the proleptic Gregorian calendar, counted from 1970-01-01.
struct TCivil {
    int64_t Year;
    int Month;
    int Day;
};
TCivil CivilOf(int64_t days) {
    days += 719468;
    int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    int64_t doe = days - era * 146097;
    int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    int64_t mp = (5 * doy + 2) / 153;
    int day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    int month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    return {yoe + era * 400 + (month <= 2), month, day};
}

void AppendPadded(std::string& text, int64_t value, int width) {
    char buffer[24];
    auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
    for (int n = static_cast<int>(end - buffer); n < width; ++n)
        text += '0';
    text.append(buffer, end);
}

// The ISO form of a day counted from the server's epoch; the era after the time, as the server
// writes it ("0044-03-15 BC").
void AppendDate(std::string& text, int64_t days) {
    TCivil c = CivilOf(days + kEpochDays);
    AppendPadded(text, c.Year > 0 ? c.Year : 1 - c.Year, 4);
    text += '-';
    AppendPadded(text, c.Month, 2);
    text += '-';
    AppendPadded(text, c.Day, 2);
}

// HH:MM:SS and the fraction of the second without its trailing zeros.
void AppendTime(std::string& text, int64_t micros) {
    int64_t seconds = micros / 1000000;
    int64_t fraction = micros % 1000000;
    AppendPadded(text, seconds / 3600, 2);
    text += ':';
    AppendPadded(text, seconds / 60 % 60, 2);
    text += ':';
    AppendPadded(text, seconds % 60, 2);
    if (fraction == 0) return;
    std::string digits;
    AppendPadded(digits, fraction, 6);
    while (digits.back() == '0')
        digits.pop_back();
    text += '.';
    text += digits;
}

std::string DateText(std::string_view bytes) {
    int32_t days = Fixed<int32_t>(bytes, "a date");
    if (days == std::numeric_limits<int32_t>::min()) return "-infinity";
    if (days == std::numeric_limits<int32_t>::max()) return "infinity";
    std::string text;
    AppendDate(text, days);
    if (CivilOf(days + kEpochDays).Year <= 0) text += " BC";
    return text;
}

std::string TimestampText(std::string_view bytes) {
    int64_t micros = Fixed<int64_t>(bytes, "a timestamp");
    if (micros == std::numeric_limits<int64_t>::min()) return "-infinity";
    if (micros == std::numeric_limits<int64_t>::max()) return "infinity";
    int64_t days = micros / kMicrosPerDay;
    int64_t rest = micros % kMicrosPerDay;
    if (rest < 0) {
        rest += kMicrosPerDay;
        --days;
    }
    std::string text;
    AppendDate(text, days);
    text += ' ';
    AppendTime(text, rest);
    if (CivilOf(days + kEpochDays).Year <= 0) text += " BC";
    return text;
}

std::string TimeText(std::string_view bytes) {
    int64_t micros = Fixed<int64_t>(bytes, "a time of day");
    if (micros < 0 || micros > kMicrosPerDay) Unreadable("a time of day", bytes);
    std::string text;
    AppendTime(text, micros);
    return text;
}

std::string HexText(std::string_view bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string text = "\\x";
    text.reserve(2 + bytes.size() * 2);
    for (char c : bytes) {
        unsigned char b = static_cast<unsigned char>(c);
        text += digits[b >> 4];
        text += digits[b & 15];
    }
    return text;
}

// Whether the decimal number in text (no sign) is at least 1: the magnitude an out-of-range
// result overflowed with rather than underflowed.
bool AtLeastOne(std::string_view text) {
    std::size_t e = text.find_first_of("eE");
    std::string_view mantissa = text.substr(0, e);
    long exponent = 0;
    if (e != std::string_view::npos) {
        std::string_view digits = text.substr(e + 1);
        if (!digits.empty() && digits[0] == '+') digits.remove_prefix(1);
        std::from_chars(digits.data(), digits.data() + digits.size(), exponent);
    }
    // The place of the first significant digit, relative to the point.
    std::size_t point = mantissa.find('.');
    if (point == std::string_view::npos) point = mantissa.size();
    std::size_t first = mantissa.find_first_of("123456789");
    if (first == std::string_view::npos) return false;
    long place =
        first < point ? static_cast<long>(point - first) - 1 : -static_cast<long>(first - point);
    return place + exponent >= 0;
}

} // namespace

bool BinaryReadable(uint32_t type, bool isoDates) {
    switch (type) {
    case kBool:
    case kBytea:
    case kInt2:
    case kInt4:
    case kInt8:
    case kOid:
    case kFloat4:
    case kFloat8:
    case kNumeric:
        return true;
    case kDate:
    case kTime:
    case kTimestamp:
        return isoDates;
    default:
        return BinaryIsText(type);
    }
}

bool BinaryIsText(uint32_t type) {
    return type == kText || type == kVarChar || type == kBpChar || type == kName ||
           type == kUnknown;
}

int64_t BinaryInt64(uint32_t type, std::string_view bytes) {
    switch (type) {
    case kBool:
        return Fixed<uint8_t>(bytes, "a Boolean") != 0 ? 1 : 0;
    case kInt2:
        return Fixed<int16_t>(bytes, "a smallint");
    case kInt4:
        return Fixed<int32_t>(bytes, "an integer");
    case kInt8:
        return Fixed<int64_t>(bytes, "a bigint");
    case kOid:
        return Fixed<uint32_t>(bytes, "an object identifier");
    case kFloat4:
    case kFloat8:
    case kNumeric: {
        double value = BinaryDouble(type, bytes);
        // -2^63 is the least integer, 2^63 the first double beyond the greatest.
        if (!(value >= -9223372036854775808.0 && value < 9223372036854775808.0))
            RaiseEngineError("The number " + FloatText(value) + " is not an integer in range");
        return static_cast<int64_t>(value);
    }
    default: {
        std::string text = BinaryText(type, bytes);
        return std::strtoll(text.c_str(), nullptr, 10);
    }
    }
}

double BinaryDouble(uint32_t type, std::string_view bytes) {
    switch (type) {
    case kFloat8:
        return Float8Of(bytes);
    case kFloat4:
        return WidenedFloat4(Float4Of(bytes));
    case kBool:
    case kInt2:
    case kInt4:
    case kInt8:
    case kOid:
        return static_cast<double>(BinaryInt64(type, bytes));
    default:
        return TextDouble(BinaryText(type, bytes));
    }
}

std::string BinaryText(uint32_t type, std::string_view bytes) {
    switch (type) {
    case kBool:
        return BinaryInt64(type, bytes) ? "t" : "f";
    case kInt2:
    case kInt4:
    case kInt8:
    case kOid:
        return std::to_string(BinaryInt64(type, bytes));
    case kFloat8:
        return FloatText(Float8Of(bytes));
    case kFloat4:
        return Float4Text(Float4Of(bytes));
    case kNumeric:
        return NumericText(bytes);
    case kBytea:
        return HexText(bytes);
    case kDate:
        return DateText(bytes);
    case kTime:
        return TimeText(bytes);
    case kTimestamp:
        return TimestampText(bytes);
    default:
        if (BinaryIsText(type)) return std::string(bytes);
        RaiseEngineError("The server sent a value of type " + std::to_string(type) +
                         " in a form this program cannot read");
    }
}

double TextDouble(std::string_view text) {
    double value = 0;
    const char* begin = text.data();
    const char* end = begin + text.size();
    auto [ptr, ec] = std::from_chars(begin, end, value);
    if (ec == std::errc() && ptr != begin) return value;
    if (ec == std::errc::result_out_of_range) {
        bool negative = !text.empty() && text[0] == '-';
        if (AtLeastOne(negative ? text.substr(1) : text))
            RaiseEngineError("The number " + std::string(text) +
                             " is too large for a floating-point value");
        return negative ? -0.0 : 0.0;
    }
    if (text == "NaN") return std::numeric_limits<double>::quiet_NaN();
    if (text == "Infinity") return std::numeric_limits<double>::infinity();
    if (text == "-Infinity") return -std::numeric_limits<double>::infinity();
    return 0;
}

} // namespace orvel::pgvalues
