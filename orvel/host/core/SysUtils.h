// Text conversions and string helpers with the host's rules, under one format-settings object.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace orvel {

// A date and time as days since 1899-12-30 (the fraction is the time of day).
using TDateTime = double;

enum class TDateOrder { doMDY, doDMY, doYMD };

// How numbers and dates are written and read. Defaults: decimal separator '.', dates year first
// as 2024-03-31 (separator '-'), times as 13:45:10 (separator ':'). The defaults never depend on
// the machine's locale, so stored texts read back the same everywhere.
struct TFormatSettings {
    char DecimalSeparator = '.';
    char DateSeparator = '-';
    char TimeSeparator = ':';
    TDateOrder DateOrder = TDateOrder::doYMD;
};

// The settings every conversion without an explicit settings argument uses.
TFormatSettings& FormatSettings();

// 32-bit conversion: accepts leading blanks and a sign, rejects empty text, trailing characters
// and values outside the 32-bit range (EConvertError "'x' is not a valid integer value").
int32_t StrToInt(const std::string& s);
int64_t StrToInt64(const std::string& s);
bool TryStrToInt(const std::string& s, int32_t& value);
bool TryStrToInt64(const std::string& s, int64_t& value);
int32_t StrToIntDef(const std::string& s, int32_t def);
std::string IntToStr(int64_t value);

double StrToFloat(const std::string& s, const TFormatSettings& fs = FormatSettings());
bool TryStrToFloat(const std::string& s, double& value,
                   const TFormatSettings& fs = FormatSettings());
// Shortest text that reads back as the same double (up to 15 significant digits, as the host).
std::string FloatToStr(double value, const TFormatSettings& fs = FormatSettings());
// Locale-free number text ('.' as the decimal point whatever setlocale chose), for texts that are
// not for the user: form files, messages, stored values. ParseDecimalText takes the whole text,
// an optional sign, no blanks; FormatGeneral gives the digits of printf's "%.<precision>g".
bool ParseDecimalText(std::string_view text, double& value);
std::string FormatGeneral(double value, int precision);

TDateTime EncodeDate(int year, int month, int day);
TDateTime EncodeTime(int hour, int minute, int second, int msec);
void DecodeDate(TDateTime dt, int& year, int& month, int& day);
void DecodeTime(TDateTime dt, int& hour, int& minute, int& second, int& msec);
bool IsValidDate(int year, int month, int day);
// Reads a date, a time, or a date followed by a blank and a time, in the settings' order and
// separators; ISO text (2024-03-31T13:45:10) is always accepted too.
TDateTime StrToDateTime(const std::string& s, const TFormatSettings& fs = FormatSettings());
bool TryStrToDateTime(const std::string& s, TDateTime& value,
                      const TFormatSettings& fs = FormatSettings());
// The date alone when the time is midnight, else date and time (seconds always written).
std::string DateTimeToStr(TDateTime dt, const TFormatSettings& fs = FormatSettings());
std::string DateToStr(TDateTime dt, const TFormatSettings& fs = FormatSettings());

std::string Trim(const std::string& s); // removes blanks and control characters at both ends
std::string TrimLeft(const std::string& s);
std::string TrimRight(const std::string& s);
std::string UpperCase(const std::string& s); // ASCII letters only, as the host's UpperCase
std::string LowerCase(const std::string& s);
bool SameText(const std::string& a, const std::string& b); // ASCII, without regard to case
int CompareText(const std::string& a, const std::string& b);

} // namespace orvel
