// NSDate: a moment as seconds since 2001-01-01 00:00:00 UTC; +date reads the process's clock
// (platform/foundation/clock.h: real, or virtual for tests).
#pragma once

#include "platform/objc/runtime.h"

namespace foundation {

void LoadNSDateClass();

// Seconds between 1970-01-01 and 2001-01-01.
inline constexpr double kReferenceDateUnixSeconds = 978307200.0;

id MakeDate(double seconds_since_2001);  // autoreleased
bool IsDate(id obj);
double DateSeconds(id date);  // 0 for an object that is not a date

}  // namespace foundation
