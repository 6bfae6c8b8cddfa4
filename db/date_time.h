#pragma once

#include <ibase.h>

namespace db {

// Date-times are day counts from 30 December 1899 with the time of day as
// the fraction; on the wire they are the client library's timestamps.
// Fractions of a second are dropped both ways.
double DateTimeFromTimestamp(const ISC_QUAD& timestamp);
ISC_QUAD TimestampFromDateTime(double value);

}  // namespace db
