// Conversions between property-list values and Foundation objects (NSString, NSNumber,
// NSDate, NSArray, NSDictionary).
#pragma once

#include "platform/foundation/property_list.h"
#include "platform/objc/runtime.h"

namespace foundation {

// An autoreleased object for value; nil for data, which no object here holds, and data
// inside containers is left out.
id ObjectFromPlist(const plist::Value& value);

// The value of obj; false for nil and for objects a property list cannot hold (a dictionary
// key that is not a string, NSNull, ...).
bool PlistFromObject(id obj, plist::Value* out);

}  // namespace foundation
