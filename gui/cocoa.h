// Shortcuts the GUI runtime uses to reach the platform: classes by name, the shared
// application and platform strings made from runtime strings.
#pragma once

#include <cstdint>

#include "platform/appkit/appkit.h"
#include "platform/objc/objc.h"

// The platform class of that name; nil when there is none.
inline Class CocoaClass(const char* name) {
  return objc_lookUpClass(name);
}

// The shared application (NSApp); nil before StartApplication made it, and then every message
// the runtime would send to it is skipped (a nil receiver answers 0).
inline id SharedApplication() {
  return NSApp;
}

// An autoreleased NSString holding the units of a runtime string (empty for null).
id MakeCocoaString(const char16_t* string);
// An autoreleased NSString from ASCII or UTF-8 text.
id CocoaStringFromUtf8(const char* text);
