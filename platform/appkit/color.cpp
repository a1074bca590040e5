// NSColor: colours as recorded components (red, green, blue, alpha from 0 to 1); the named
// system colours are shared instances with fixed light-appearance components.
#include "platform/appkit/appkit.h"

namespace {

// The components of one colour.
struct ColorState {
  double red = 0;
  double green = 0;
  double blue = 0;
  double alpha = 1;
};

Class gColor;                 // NSColor
ptrdiff_t gStateOffset = -1;  // offset of ColorState

ColorState& State(id self) {
  return objc::FieldAt<ColorState>(self, gStateOffset);
}

id Make(Class cls, double red, double green, double blue, double alpha) {
  id color = objc::Send(objc::Send(cls, "alloc"), "init");
  if (!color) return nil;
  State(color) = ColorState{red, green, blue, alpha};
  return color;
}

id WithComponents(Class cls, SEL, double red, double green, double blue, double alpha) {
  return objc_autorelease(Make(cls, red, green, blue, alpha));
}
id WithWhite(Class cls, SEL, double white, double alpha) {
  return objc_autorelease(Make(cls, white, white, white, alpha));
}

// A named colour, made once and kept for the whole run.
template <int kRed, int kGreen, int kBlue, int kAlpha>
id Named(Class cls, SEL) {
  static id color = Make(cls, kRed / 255.0, kGreen / 255.0, kBlue / 255.0, kAlpha / 255.0);
  return color;
}

double Red(id self, SEL) {
  return State(self).red;
}
double Green(id self, SEL) {
  return State(self).green;
}
double Blue(id self, SEL) {
  return State(self).blue;
}
double Alpha(id self, SEL) {
  return State(self).alpha;
}
id WithAlpha(id self, SEL, double alpha) {
  const ColorState& c = State(self);
  return objc_autorelease(Make(object_getClass(self), c.red, c.green, c.blue, alpha));
}
id Same(id self, SEL, id) {
  return self;
}
// Drawing is the desktop's business; setting a colour for drawing does nothing here.
void Set(id, SEL) {}

}  // namespace

namespace appkit {

void LoadNSColorClass() {
  gColor = objc::DefineClass("NSColor", "NSObject");
  gStateOffset = objc::AddCxxIvar<ColorState>(gColor, "_colorState");
  Class cls = gColor;
  for (const char* selector :
       {"colorWithCalibratedRed:green:blue:alpha:", "colorWithDeviceRed:green:blue:alpha:",
        "colorWithRed:green:blue:alpha:", "colorWithSRGBRed:green:blue:alpha:"}) {
    objc::AddClassMethod(cls, selector, &WithComponents);
  }
  objc::AddClassMethod(cls, "colorWithCalibratedWhite:alpha:", &WithWhite);
  objc::AddClassMethod(cls, "colorWithWhite:alpha:", &WithWhite);
  objc::AddClassMethod(cls, "windowBackgroundColor", &Named<236, 236, 236, 255>);
  objc::AddClassMethod(cls, "controlColor", &Named<255, 255, 255, 255>);
  objc::AddClassMethod(cls, "controlBackgroundColor", &Named<255, 255, 255, 255>);
  objc::AddClassMethod(cls, "controlTextColor", &Named<0, 0, 0, 216>);
  objc::AddClassMethod(cls, "textColor", &Named<0, 0, 0, 216>);
  objc::AddClassMethod(cls, "textBackgroundColor", &Named<255, 255, 255, 255>);
  objc::AddClassMethod(cls, "secondarySelectedControlColor", &Named<220, 220, 220, 255>);
  objc::AddClassMethod(cls, "selectedControlColor", &Named<179, 215, 255, 255>);
  objc::AddClassMethod(cls, "clearColor", &Named<0, 0, 0, 0>);
  objc::AddClassMethod(cls, "blackColor", &Named<0, 0, 0, 255>);
  objc::AddClassMethod(cls, "whiteColor", &Named<255, 255, 255, 255>);
  objc::AddClassMethod(cls, "grayColor", &Named<128, 128, 128, 255>);
  objc::AddClassMethod(cls, "redColor", &Named<255, 0, 0, 255>);
  objc::AddMethod(cls, "redComponent", &Red);
  objc::AddMethod(cls, "greenComponent", &Green);
  objc::AddMethod(cls, "blueComponent", &Blue);
  objc::AddMethod(cls, "alphaComponent", &Alpha);
  objc::AddMethod(cls, "colorWithAlphaComponent:", &WithAlpha);
  objc::AddMethod(cls, "colorUsingColorSpace:", &Same);
  objc::AddMethod(cls, "colorUsingColorSpaceName:", &Same);
  objc::AddMethod(cls, "set", &Set);
  objc::AddMethod(cls, "setFill", &Set);
  objc::AddMethod(cls, "setStroke", &Set);
}

}  // namespace appkit
