// Shortcuts the GUI runtime uses to reach the platform.
#include "gui/cocoa.h"

#include "core/strings.h"

id MakeCocoaString(const char16_t* string) {
  static const char16_t kEmpty[1] = {0};
  if (!string) string = kEmpty;
  return objc::Send(CocoaClass("NSString"), "stringWithCharacters:length:", string,
                    static_cast<NSUInteger>(StringLength(string)));
}

id CocoaStringFromUtf8(const char* text) {
  return objc::Send(CocoaClass("NSString"), "stringWithUTF8String:", text ? text : "");
}
