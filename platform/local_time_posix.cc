#include "platform/local_time.h"

bool LocalTime(time_t when, struct tm* out) {
  // localtime_r, unlike localtime, does not look at the time zone settings again on
  // every call.
  return localtime_r(&when, out) != nullptr;
}
