// NSFont: a font name and a point size; the system fonts are named "System" and
// "System-Bold".
#include "platform/appkit/appkit.h"
#include "platform/foundation/string.h"

namespace {

constexpr double kSystemFontSize = 13;       // Cocoa's regular control size
constexpr double kSmallSystemFontSize = 11;  // Cocoa's small control size

// The state of one font.
struct FontState {
  id name = nil;    // NSString, copied
  double size = 0;  // points
};

Class gFont;                  // NSFont
ptrdiff_t gStateOffset = -1;  // offset of FontState

FontState& State(id self) {
  return objc::FieldAt<FontState>(self, gStateOffset);
}

id Make(Class cls, id name, double size) {
  id font = objc::Send(objc::Send(cls, "alloc"), "init");
  if (!font) return nil;
  appkit::AssignCopied(&State(font).name, name);
  State(font).size = size > 0 ? size : kSystemFontSize;  // 0 or less: the standard size
  return objc_autorelease(font);
}

id SystemFont(Class cls, SEL, double size) {
  return Make(cls, appkit::Utf8String("System"), size);
}
id BoldSystemFont(Class cls, SEL, double size) {
  return Make(cls, appkit::Utf8String("System-Bold"), size);
}
id FontWithName(Class cls, SEL, id name, double size) {
  return name ? Make(cls, name, size) : nil;
}
double SystemFontSize(Class, SEL) {
  return kSystemFontSize;
}
double SmallSystemFontSize(Class, SEL) {
  return kSmallSystemFontSize;
}
double PointSize(id self, SEL) {
  return State(self).size;
}
id FontName(id self, SEL) {
  return appkit::StringOrEmpty(State(self).name);
}

void Dealloc(id self, SEL sel) {
  objc_release(State(self).name);
  State(self).name = nil;
  objc::SendSuper<void>(self, gFont, sel);
}

}  // namespace

namespace appkit {

void LoadNSFontClass() {
  gFont = objc::DefineClass("NSFont", "NSObject");
  gStateOffset = objc::AddCxxIvar<FontState>(gFont, "_fontState");
  objc::AddClassMethod(gFont, "systemFontOfSize:", &SystemFont);
  objc::AddClassMethod(gFont, "boldSystemFontOfSize:", &BoldSystemFont);
  objc::AddClassMethod(gFont, "fontWithName:size:", &FontWithName);
  objc::AddClassMethod(gFont, "systemFontSize", &SystemFontSize);
  objc::AddClassMethod(gFont, "smallSystemFontSize", &SmallSystemFontSize);
  objc::AddMethod(gFont, "pointSize", &PointSize);
  objc::AddMethod(gFont, "fontName", &FontName);
  objc::AddMethod(gFont, "dealloc", &Dealloc);
}

}  // namespace appkit
