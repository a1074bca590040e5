// NSNumber (an integer, a real or a boolean) and NSNull, with C++ helpers.
#pragma once

#include <cstdint>

#include "platform/objc/runtime.h"

namespace foundation {

void LoadNSNumberClass();

enum class NumberKind { Integer, Real, Boolean };

// Autoreleased numbers.
id MakeInteger(int64_t value);
id MakeReal(double value);
id MakeBoolean(bool value);
bool IsNumber(id obj);
NumberKind NumberKindOf(id number);  // Integer for an object that is not a number
int64_t NumberInteger(id number);    // 0 for an object that is not a number
double NumberReal(id number);

// The NSNull singleton.
id Null();

}  // namespace foundation
