// NSString and NSMutableString (UTF-16 units), and the C++ helpers other platform code uses to
// make and read strings. A CFStringRef is an NSString.
#pragma once

#include <cstdarg>
#include <string>
#include <string_view>

#include "platform/objc/runtime.h"

namespace foundation {

void LoadNSStringClass();

// A new NSString holding units: +1 (New...) or autoreleased (Make...).
id NewString(std::u16string units);
id MakeString(std::u16string units);
id MakeStringFromUtf8(std::string_view utf8);  // invalid bytes become U+FFFD

// True for NSString and its subclasses.
bool IsString(id obj);
// The units of a string; empty for nil or an object that is not a string.
const std::u16string& StringUnits(id string);
std::string StringUtf8(id string);

// The text an object shows in "%@": a string's own units, a number's digits, "(null)" for
// nil, else its -description.
std::u16string DescriptionOf(id obj);

// Formats like +stringWithFormat: (%@ %S %C %c %s %d %i %u %x %X %o %f %e %g %p %% with
// flags, width, precision and h/l/ll/q/z lengths) reading the arguments from list.
std::u16string FormatString(const std::u16string& format, va_list list);

}  // namespace foundation
