// The local time of day, for the record of each command.
#ifndef VEXMOR_PLATFORM_LOCAL_TIME_H_
#define VEXMOR_PLATFORM_LOCAL_TIME_H_

#include <time.h>

// Breaks `when` down into local time. Returns false when the platform cannot.
bool LocalTime(time_t when, struct tm* out);

#endif  // VEXMOR_PLATFORM_LOCAL_TIME_H_
