#pragma once
// Dates, times and numbers as the data layer shows and reads them: the date-time value (days since
// 30 December 1899, the time of day as the fraction), the locale settings fields format with, and
// the display-format formatting of numbers and dates.
#include "core/AnsiString.h"

#include <array>
#include <cstdint>

using TDateTime = double;

// The locale the fields use. Taiwanese defaults: 2024/03/05 14:07:09.
struct TFormatSettings {
    char DateSeparator = '/';
    char TimeSeparator = ':';
    char DecimalSeparator = '.';
    char ThousandSeparator = ',';
    AnsiString ShortDateFormat = "yyyy/mm/dd";
    AnsiString LongTimeFormat = "hh:nn:ss";
    std::array<AnsiString, 12> ShortMonthNames{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                               "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
};
TFormatSettings& FormatSettings();

// "Invalid argument to date encode" / "Invalid argument to time encode" (EConvertError) when out of range.
TDateTime EncodeDate(int year, int month, int day);
TDateTime EncodeTime(int hour, int minute, int second, int msec);
bool TryEncodeDate(int year, int month, int day, TDateTime& out);
void DecodeDate(TDateTime value, int& year, int& month, int& day);
void DecodeTime(TDateTime value, int& hour, int& minute, int& second, int& msec);
// The time of day of a value in milliseconds, rounded but never into the next day: the last half
// millisecond of a day is 23:59:59.999.
int32_t TimeOfDayMs(TDateTime value);
bool IsLeapYear(int year);
int DaysInMonth(int year, int month);

// Tokens: yyyy yy m mm mmm d dd h hh n nn s ss z zzz am/pm, "..." and '...' literals; "c" is the short
// date followed by the long time (the time left off at midnight).
AnsiString FormatDateTime(std::string_view format, TDateTime value);
AnsiString DateToStr(TDateTime value);
AnsiString TimeToStr(TDateTime value);
AnsiString DateTimeToStr(TDateTime value);
// Reads a date (in the short date format's order of year, month and day), a time, or both.
// "'%s' is not a valid date", "'%s' is not a valid time", "'%s' is not a valid date and time" (EConvertError).
TDateTime StrToDate(std::string_view s);
TDateTime StrToTime(std::string_view s);
TDateTime StrToDateTime(std::string_view s);
bool TryStrToDateTime(std::string_view s, TDateTime& out);

// Formats a number with a display format: sections "positive;negative;zero", placeholders "0" and
// "#", one "." for the decimals, "," anywhere in the integer part for grouping, "E+00"-style
// exponents, quoted literals. An empty format gives the general form of 15 significant digits.
AnsiString FormatFloat(std::string_view format, double value);
