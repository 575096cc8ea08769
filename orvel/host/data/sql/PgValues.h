// The values a PostgreSQL server sends: the binary format of the built-in types, read into the
// same numbers and texts as their text form gives, and the server's text form of numbers. A value
// whose bytes do not fit its type raises EDatabaseError instead of giving a wrong value.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace orvel::pgvalues {

// Type identifiers of the built-in types (fixed in the server's catalog).
enum : uint32_t {
    kBool = 16,
    kBytea = 17,
    kName = 19,
    kInt8 = 20,
    kInt2 = 21,
    kInt4 = 23,
    kText = 25,
    kOid = 26,
    kFloat4 = 700,
    kFloat8 = 701,
    kUnknown = 705,
    kMoney = 790,
    kBpChar = 1042,
    kVarChar = 1043,
    kDate = 1082,
    kTime = 1083,
    kTimestamp = 1114,
    kTimestampTz = 1184,
    kNumeric = 1700,
};

// Whether values of the type are read from the binary format exactly as from their text. Dates
// and times count only where the session writes them in ISO style (the text the datasets read);
// types whose text depends on other settings (time zones, currency) never do.
bool BinaryReadable(uint32_t type, bool isoDates);

// Whether the type's binary form is its text (texts, names).
bool BinaryIsText(uint32_t type);

// A value in binary format as an integer: Booleans 0 or 1, integers as they are, other numbers
// without their fraction (an error when they have no integer), texts as their leading number.
int64_t BinaryInt64(uint32_t type, std::string_view bytes);
// A value in binary format as a floating-point number (a numeric rounded to the nearest).
double BinaryDouble(uint32_t type, std::string_view bytes);
// The text the server writes for a value in binary format (bytea in its hex form).
std::string BinaryText(uint32_t type, std::string_view bytes);

// A number as the server writes it (a point whatever the locale; NaN and Infinity spelled out),
// rounded to the nearest double. A magnitude beyond the double range is an error; one below it
// reads as zero. Text that is no number reads as 0.
double TextDouble(std::string_view text);

} // namespace orvel::pgvalues
