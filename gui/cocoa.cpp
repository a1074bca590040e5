// Shortcuts the GUI runtime uses to reach the platform.
#include "gui/cocoa.h"

#include "core/strings.h"

namespace {

id g_application = nil;  // the shared application made by StartApplication; not owned

}  // namespace

id SharedApplication() {
  return g_application;
}

void SetSharedApplication(id application) {
  g_application = application;
}

id MakeCocoaString(const char16_t* string) {
  static const char16_t kEmpty[1] = {0};
  if (!string) string = kEmpty;
  return objc::Send(CocoaClass("NSString"), "stringWithCharacters:length:", string,
                    static_cast<NSUInteger>(StringLength(string)));
}

id CocoaStringFromUtf8(const char* text) {
  return objc::Send(CocoaClass("NSString"), "stringWithUTF8String:", text ? text : "");
}

id DefaultRunLoopMode() {
  // FIXME: use the platform's exported NSDefaultRunLoopMode once the run loop provides it.
  static id mode = objc::Retain(CocoaStringFromUtf8("kCFRunLoopDefaultMode"));
  return mode;
}
