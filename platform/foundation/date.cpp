// NSDate: immutable moments, the distant past and future, and intervals between them.
#include "platform/foundation/date.h"

#include <ctime>

#include "platform/foundation/clock.h"
#include "platform/foundation/foundation.h"
#include "platform/foundation/string.h"
#include "platform/objc/objc.h"

namespace {

// The distant dates, about two thousand years away, as on the original platform.
constexpr double kDistantFuture = 63113904000.0;
constexpr double kDistantPast = -63114076800.0;

Class gDate;              // NSDate
ptrdiff_t gSeconds = -1;  // offset of the double: seconds since 2001

double& Seconds(id self) {
  return objc::FieldAt<double>(self, gSeconds);
}

id Make(Class cls, double seconds) {
  id date = class_createInstance(cls, 0);
  if (!date) return nil;
  Seconds(date) = seconds;
  return objc_autorelease(date);
}

id Date(Class cls, SEL) {
  return Make(cls, ClockNow());
}
id SinceNow(Class cls, SEL, double interval) {
  return Make(cls, ClockNow() + interval);
}
id SinceReference(Class cls, SEL, double seconds) {
  return Make(cls, seconds);
}
id Since1970(Class cls, SEL, double seconds) {
  return Make(cls, seconds - foundation::kReferenceDateUnixSeconds);
}
id DistantFuture(Class cls, SEL) {
  return Make(cls, kDistantFuture);
}
id DistantPast(Class cls, SEL) {
  return Make(cls, kDistantPast);
}
double ClassSinceReference(Class, SEL) {
  return ClockNow();
}

id Init(id self, SEL) {
  Seconds(self) = ClockNow();
  return self;
}
double TimeSinceReference(id self, SEL) {
  return Seconds(self);
}
double TimeSince1970(id self, SEL) {
  return Seconds(self) + foundation::kReferenceDateUnixSeconds;
}
double TimeSinceNow(id self, SEL) {
  return Seconds(self) - ClockNow();
}
double TimeSinceDate(id self, SEL, id other) {
  return Seconds(self) - foundation::DateSeconds(other);
}
id ByAdding(id self, SEL, double interval) {
  return Make(gDate, Seconds(self) + interval);
}
id Earlier(id self, SEL, id other) {
  return foundation::IsDate(other) && Seconds(other) < Seconds(self) ? other : self;
}
id Later(id self, SEL, id other) {
  return foundation::IsDate(other) && Seconds(other) > Seconds(self) ? other : self;
}
NSInteger Compare(id self, SEL, id other) {
  double a = Seconds(self);
  double b = foundation::DateSeconds(other);
  return a < b ? -1 : (a > b ? 1 : 0);
}
BOOL IsEqual(id self, SEL, id other) {
  return foundation::IsDate(other) && Seconds(other) == Seconds(self) ? YES : NO;
}
NSUInteger Hash(id self, SEL) {
  return static_cast<NSUInteger>(static_cast<int64_t>(Seconds(self)));
}
id Copy(id self, SEL) {
  return objc_retain(self);
}
id Description(id self, SEL) {
  time_t unix_time = static_cast<time_t>(Seconds(self) + foundation::kReferenceDateUnixSeconds);
  struct tm parts;
  char text[64] = "";
  if (gmtime_r(&unix_time, &parts))
    std::strftime(text, sizeof(text), "%Y-%m-%d %H:%M:%S +0000", &parts);
  return foundation::MakeStringFromUtf8(text);
}

}  // namespace

namespace foundation {

id MakeDate(double seconds_since_2001) {
  objc::EnsureClassesLoaded();
  return Make(gDate, seconds_since_2001);
}
bool IsDate(id obj) {
  return obj && gDate && objc::IsKindOf(obj, gDate);
}
double DateSeconds(id date) {
  return IsDate(date) ? Seconds(date) : 0;
}

void LoadNSDateClass() {
  gDate = objc::DefineClass("NSDate", "NSObject");
  gSeconds = objc::AddIvar<double>(gDate, "_seconds");
  objc::AddClassMethod(gDate, "date", &Date);
  objc::AddClassMethod(gDate, "dateWithTimeIntervalSinceNow:", &SinceNow);
  objc::AddClassMethod(gDate, "dateWithTimeIntervalSinceReferenceDate:", &SinceReference);
  objc::AddClassMethod(gDate, "dateWithTimeIntervalSince1970:", &Since1970);
  objc::AddClassMethod(gDate, "distantFuture", &DistantFuture);
  objc::AddClassMethod(gDate, "distantPast", &DistantPast);
  objc::AddClassMethod(gDate, "timeIntervalSinceReferenceDate", &ClassSinceReference);
  objc::AddMethod(gDate, "init", &Init);
  objc::AddMethod(gDate, "timeIntervalSinceReferenceDate", &TimeSinceReference);
  objc::AddMethod(gDate, "timeIntervalSince1970", &TimeSince1970);
  objc::AddMethod(gDate, "timeIntervalSinceNow", &TimeSinceNow);
  objc::AddMethod(gDate, "timeIntervalSinceDate:", &TimeSinceDate);
  objc::AddMethod(gDate, "dateByAddingTimeInterval:", &ByAdding);
  objc::AddMethod(gDate, "earlierDate:", &Earlier);
  objc::AddMethod(gDate, "laterDate:", &Later);
  objc::AddMethod(gDate, "compare:", &Compare);
  objc::AddMethod(gDate, "isEqual:", &IsEqual);
  objc::AddMethod(gDate, "hash", &Hash);
  objc::AddMethod(gDate, "copy", &Copy);
  objc::AddMethod(gDate, "description", &Description);
}

}  // namespace foundation
