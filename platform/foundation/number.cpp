// NSNumber: an immutable integer, real or boolean, and NSNull, the one object that stands for
// nothing inside collections.
#include "platform/foundation/number.h"

#include <cmath>
#include <cstdio>

#include "platform/foundation/foundation.h"
#include "platform/foundation/string.h"
#include "platform/objc/objc.h"

namespace {

using foundation::NumberKind;

// The instance variable of a number.
struct NumberFields {
  NumberKind kind = NumberKind::Integer;  // which of the two values holds the number
  int64_t integer = 0;                    // Integer and Boolean (0 or 1)
  double real = 0;                        // Real
};

Class gNumber;           // NSNumber
Class gNull;             // NSNull
ptrdiff_t gFields = -1;  // offset of NumberFields
id gNullObject;          // the NSNull singleton, never freed

NumberFields& Fields(id self) {
  return objc::FieldAt<NumberFields>(self, gFields);
}

id Make(Class cls, NumberKind kind, int64_t integer, double real) {
  id number = class_createInstance(cls, 0);
  if (!number) return nil;
  Fields(number) = NumberFields{kind, integer, real};
  return objc_autorelease(number);
}

int64_t AsInteger(const NumberFields& f) {
  if (f.kind != NumberKind::Real) return f.integer;
  if (std::isnan(f.real)) return 0;
  if (f.real >= 9.2e18) return INT64_MAX;
  if (f.real <= -9.2e18) return INT64_MIN;
  return static_cast<int64_t>(f.real);
}
double AsReal(const NumberFields& f) {
  return f.kind == NumberKind::Real ? f.real : static_cast<double>(f.integer);
}

id WithInteger(Class cls, SEL, NSInteger value) {
  return Make(cls, NumberKind::Integer, value, 0);
}
id WithInt(Class cls, SEL, int value) {
  return Make(cls, NumberKind::Integer, value, 0);
}
id WithUnsigned(Class cls, SEL, NSUInteger value) {
  return Make(cls, NumberKind::Integer, static_cast<int64_t>(value), 0);
}
id WithBool(Class cls, SEL, BOOL value) {
  return Make(cls, NumberKind::Boolean, value ? 1 : 0, 0);
}
id WithDouble(Class cls, SEL, double value) {
  return Make(cls, NumberKind::Real, 0, value);
}
id WithFloat(Class cls, SEL, float value) {
  return Make(cls, NumberKind::Real, 0, value);
}

NSInteger IntegerValue(id self, SEL) {
  return AsInteger(Fields(self));
}
int IntValue(id self, SEL) {
  return static_cast<int>(AsInteger(Fields(self)));
}
NSUInteger UnsignedIntegerValue(id self, SEL) {
  return static_cast<NSUInteger>(AsInteger(Fields(self)));
}
BOOL BoolValue(id self, SEL) {
  return AsReal(Fields(self)) != 0 ? YES : NO;
}
double DoubleValue(id self, SEL) {
  return AsReal(Fields(self));
}
float FloatValue(id self, SEL) {
  return static_cast<float>(AsReal(Fields(self)));
}

id StringValue(id self, SEL) {
  char text[64];
  const NumberFields& f = Fields(self);
  if (f.kind == NumberKind::Real) {
    std::snprintf(text, sizeof(text), "%.17g", f.real);
  } else {
    std::snprintf(text, sizeof(text), "%lld", static_cast<long long>(f.integer));
  }
  return foundation::MakeStringFromUtf8(text);
}

BOOL IsEqual(id self, SEL, id other) {
  if (self == other) return YES;
  if (!foundation::IsNumber(other)) return NO;
  const NumberFields& a = Fields(self);
  const NumberFields& b = Fields(other);
  if (a.kind != NumberKind::Real && b.kind != NumberKind::Real) {
    return a.integer == b.integer ? YES : NO;
  }
  return AsReal(a) == AsReal(b) ? YES : NO;
}
NSUInteger Hash(id self, SEL) {
  const NumberFields& f = Fields(self);
  double real = AsReal(f);
  // Equal numbers hash equally: whole reals hash as their integer.
  if (f.kind != NumberKind::Real || real == std::floor(real)) {
    return static_cast<NSUInteger>(AsInteger(f)) * 2654435761u;
  }
  return static_cast<NSUInteger>(real * 1000003.0);
}
NSInteger Compare(id self, SEL, id other) {
  double a = AsReal(Fields(self));
  double b = foundation::NumberReal(other);
  return a < b ? -1 : (a > b ? 1 : 0);
}
id Copy(id self, SEL) {
  return objc_retain(self);
}

id NullSingleton(Class, SEL) {
  return gNullObject;
}
id NullDescription(id, SEL) {
  return foundation::MakeString(u"<null>");
}
// The singleton ignores reference counting, like a class object.
id NullRetain(id self, SEL) {
  return self;
}
void NullRelease(id, SEL) {}
void NullDealloc(id, SEL) {}  // an unbalanced release never frees the singleton

}  // namespace

namespace foundation {

id MakeInteger(int64_t value) {
  objc::EnsureClassesLoaded();
  return Make(gNumber, NumberKind::Integer, value, 0);
}
id MakeReal(double value) {
  objc::EnsureClassesLoaded();
  return Make(gNumber, NumberKind::Real, 0, value);
}
id MakeBoolean(bool value) {
  objc::EnsureClassesLoaded();
  return Make(gNumber, NumberKind::Boolean, value ? 1 : 0, 0);
}
bool IsNumber(id obj) {
  return obj && gNumber && objc::IsKindOf(obj, gNumber);
}
NumberKind NumberKindOf(id number) {
  return IsNumber(number) ? Fields(number).kind : NumberKind::Integer;
}
int64_t NumberInteger(id number) {
  return IsNumber(number) ? AsInteger(Fields(number)) : 0;
}
double NumberReal(id number) {
  return IsNumber(number) ? AsReal(Fields(number)) : 0;
}
id Null() {
  objc::EnsureClassesLoaded();
  return gNullObject;
}

void LoadNSNumberClass() {
  gNumber = objc::DefineClass("NSNumber", "NSObject");
  gFields = objc::AddIvar<NumberFields>(gNumber, "_value");
  objc::AddClassMethod(gNumber, "numberWithInteger:", &WithInteger);
  objc::AddClassMethod(gNumber, "numberWithLong:", &WithInteger);
  objc::AddClassMethod(gNumber, "numberWithLongLong:", &WithInteger);
  objc::AddClassMethod(gNumber, "numberWithInt:", &WithInt);
  objc::AddClassMethod(gNumber, "numberWithUnsignedInteger:", &WithUnsigned);
  objc::AddClassMethod(gNumber, "numberWithBool:", &WithBool);
  objc::AddClassMethod(gNumber, "numberWithDouble:", &WithDouble);
  objc::AddClassMethod(gNumber, "numberWithFloat:", &WithFloat);
  objc::AddMethod(gNumber, "integerValue", &IntegerValue);
  objc::AddMethod(gNumber, "longValue", &IntegerValue);
  objc::AddMethod(gNumber, "longLongValue", &IntegerValue);
  objc::AddMethod(gNumber, "intValue", &IntValue);
  objc::AddMethod(gNumber, "unsignedIntegerValue", &UnsignedIntegerValue);
  objc::AddMethod(gNumber, "boolValue", &BoolValue);
  objc::AddMethod(gNumber, "doubleValue", &DoubleValue);
  objc::AddMethod(gNumber, "floatValue", &FloatValue);
  objc::AddMethod(gNumber, "stringValue", &StringValue);
  objc::AddMethod(gNumber, "description", &StringValue);
  objc::AddMethod(gNumber, "isEqual:", &IsEqual);
  objc::AddMethod(gNumber, "isEqualToNumber:", &IsEqual);
  objc::AddMethod(gNumber, "hash", &Hash);
  objc::AddMethod(gNumber, "compare:", &Compare);
  objc::AddMethod(gNumber, "copy", &Copy);

  gNull = objc::DefineClass("NSNull", "NSObject");
  objc::AddClassMethod(gNull, "null", &NullSingleton);
  objc::AddMethod(gNull, "description", &NullDescription);
  objc::AddMethod(gNull, "retain", &NullRetain);
  objc::AddMethod(gNull, "release", &NullRelease);
  objc::AddMethod(gNull, "autorelease", &NullRetain);
  objc::AddMethod(gNull, "dealloc", &NullDealloc);
  gNullObject = class_createInstance(gNull, 0);
}

}  // namespace foundation
