#pragma once

#include <ctime>

namespace formats {

// A date-time is a double: the integer part counts days from 30 December
// 1899 (day 0) and the fraction is the time of day. For days before day 0
// the time of day is subtracted, so -1.25 is 29 December 1899 06:00.
// Dates run over the proleptic Gregorian calendar from year 1 to 9999.
struct DateTimeParts {
    int year = 1899;
    int month = 12;
    int day = 30;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;

    bool operator==(const DateTimeParts&) const = default;
};

// The time of day is rounded to the nearest millisecond; a time that rounds
// up to 24:00 becomes midnight of the next day. Raises
// runtime::EConvertError for a value outside years 1 to 9999, infinities and
// not-a-number.
DateTimeParts DecodeDateTime(double value);

// Raises runtime::EConvertError when any part is out of its range (a day the
// month does not have included).
double EncodeDateTime(const DateTimeParts& parts);

// The parts of a C broken-down time (years from 1900, months from 0).
DateTimeParts PartsOf(const std::tm& broken);

}  // namespace formats
