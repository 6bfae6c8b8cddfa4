#pragma once

#include <ibase.h>

#include <ctime>

namespace db {

// Date-times are day counts from 30 December 1899 with the time of day as
// the fraction; on the wire they are the client library's timestamps.
// Fractions of a second are dropped both ways.
double DateTimeFromTimestamp(const ISC_QUAD& timestamp);
ISC_QUAD TimestampFromDateTime(double value);
// The calendar fields the client library's date encoders take.
std::tm BrokenDownTime(double value);

}  // namespace db
