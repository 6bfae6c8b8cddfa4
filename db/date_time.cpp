#include "db/date_time.h"

#include <ctime>

#include "db/client_library.h"
#include "formats/date_time.h"

namespace db {

double DateTimeFromTimestamp(const ISC_QUAD& timestamp) {
    std::tm broken{};
    Api().isc_decode_date(&timestamp, &broken);
    return formats::EncodeDateTime(formats::PartsOf(broken));
}

std::tm BrokenDownTime(double value) {
    const formats::DateTimeParts parts = formats::DecodeDateTime(value);
    std::tm broken{};
    broken.tm_year = parts.year - 1900;
    broken.tm_mon = parts.month - 1;
    broken.tm_mday = parts.day;
    broken.tm_hour = parts.hour;
    broken.tm_min = parts.minute;
    broken.tm_sec = parts.second;  // milliseconds dropped
    return broken;
}

ISC_QUAD TimestampFromDateTime(double value) {
    std::tm broken = BrokenDownTime(value);
    ISC_QUAD timestamp{};
    Api().isc_encode_date(&broken, &timestamp);
    return timestamp;
}

}  // namespace db
