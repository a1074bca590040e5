// NSScreen: the desktop's screens, their frames and the part below the status bar.
#include "platform/appkit/screen.h"

#include <vector>

#include "platform/appkit/appkit.h"
#include "platform/desktop/desktop.h"
#include "platform/foundation/array.h"

namespace {

// The frames of one screen, read from the desktop when the screen object was made.
struct ScreenState {
  NSRect frame{};          // points, Cocoa coordinates
  NSRect visible_frame{};  // the frame below the status bar
};

Class gScreen;                // NSScreen
ptrdiff_t gStateOffset = -1;  // offset of ScreenState

ScreenState& State(id self) {
  return objc::FieldAt<ScreenState>(self, gStateOffset);
}

NSRect VisiblePart(NSRect frame) {
  double top = frame.size.height < kStatusBarThickness ? frame.size.height : kStatusBarThickness;
  frame.size.height -= top;
  return frame;
}

id MakeScreen(NSRect frame) {
  id screen = objc::Send(objc::Send(gScreen, "alloc"), "init");
  if (!screen) return nil;
  State(screen).frame = frame;
  State(screen).visible_frame = VisiblePart(frame);
  return objc_autorelease(screen);
}

// +screens and +mainScreen ask the desktop every time, so a changed screen shows at once.
id Screens(Class, SEL) {
  Desktop* desktop = CurrentDesktop();
  std::vector<id> screens;
  int count = desktop->ScreenCount();
  for (int i = 0; i < count; ++i) {
    if (id screen = MakeScreen(desktop->ScreenFrame(i))) screens.push_back(screen);
  }
  return foundation::MakeArray(screens);
}
id MainScreen(Class, SEL) {
  Desktop* desktop = CurrentDesktop();
  return desktop->ScreenCount() > 0 ? MakeScreen(desktop->ScreenFrame(0)) : nil;
}
NSRect Frame(id self, SEL) {
  return State(self).frame;
}
NSRect VisibleFrame(id self, SEL) {
  return State(self).visible_frame;
}
double BackingScaleFactor(id, SEL) {
  return 1.0;
}

}  // namespace

bool ScreenMainFrames(NSRect* frame, NSRect* visible_frame) {
  Desktop* desktop = CurrentDesktop();
  if (desktop->ScreenCount() < 1) return false;
  *frame = desktop->ScreenFrame(0);
  *visible_frame = VisiblePart(*frame);
  return true;
}

namespace appkit {

void LoadNSScreenClass() {
  gScreen = objc::DefineClass("NSScreen", "NSObject");
  gStateOffset = objc::AddCxxIvar<ScreenState>(gScreen, "_screenState");
  objc::AddClassMethod(gScreen, "screens", &Screens);
  objc::AddClassMethod(gScreen, "mainScreen", &MainScreen);
  objc::AddMethod(gScreen, "frame", &Frame);
  objc::AddMethod(gScreen, "visibleFrame", &VisibleFrame);
  objc::AddMethod(gScreen, "backingScaleFactor", &BackingScaleFactor);
}

}  // namespace appkit
