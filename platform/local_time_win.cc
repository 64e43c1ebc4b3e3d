#include "platform/local_time.h"

bool LocalTime(time_t when, struct tm* out) {
  return localtime_s(out, &when) == 0;
}
