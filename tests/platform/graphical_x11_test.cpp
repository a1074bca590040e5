// The X display of the graphical desktop against a real X server (run under Xvfb by CTest's
// platform_x11 test; skipped without DISPLAY): hot-key grabs that another client holds are
// refused and leave nothing grabbed, keys missing from the keyboard are refused, and the
// screens are the server's.
// gtest first: Xlib defines None, Bool and Status as macros.
// clang-format off
#include <gtest/gtest.h>
#include <X11/Xlib.h>
// clang-format on

#include <memory>

#include "platform/carbon/carbon.h"
#include "platform/carbon/carbon_desktop.h"
#include "platform/desktop/key_names.h"
#include "platform/graphical/x11_display.h"

namespace {

constexpr uint32_t kT = 17;      // the Mac key code of T
constexpr uint32_t kSlash = 44;  // of /
constexpr uint32_t kControlOption = kCarbonControl | kCarbonOption;

// Another X client, as a program holding a combination would be.
class OtherClient {
 public:
  OtherClient() : display_(XOpenDisplay(nullptr)) {}
  ~OtherClient() {
    if (display_) XCloseDisplay(display_);
  }
  // Grabs keysym with modifiers on the root window.
  void Grab(KeySym keysym, unsigned int modifiers) {
    XGrabKey(display_, XKeysymToKeycode(display_, keysym), modifiers, DefaultRootWindow(display_),
             False, GrabModeAsync, GrabModeAsync);
    XSync(display_, False);
  }
  Display* display() { return display_; }

 private:
  Display* display_;
};

class GraphicalX11Test : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "needs an X server (DISPLAY)";
    x11_.reset(X11Display::Open());
    ASSERT_NE(x11_, nullptr);
  }
  std::unique_ptr<X11Display> x11_;
};

TEST_F(GraphicalX11Test, CombinationsHeldByAnotherClientAreRefusedAndLeaveNothingGrabbed) {
  auto other = std::make_unique<OtherClient>();
  ASSERT_NE(other->display(), nullptr);
  other->Grab(XStringToKeysym("t"), ControlMask | Mod1Mask);
  EXPECT_FALSE(x11_->GrabHotKey(kT, kControlOption)) << "ctrl+alt+t is held by the other client";
  EXPECT_TRUE(x11_->GrabHotKey(kSlash, kControlOption)) << "ctrl+alt+/ is free";
  EXPECT_FALSE(x11_->GrabHotKey(kT, kControlOption)) << "refused again, not half taken";

  // Once the other client is gone the combination is free: a refused grab left no variant
  // (with Caps Lock or Num Lock) of it behind that would now clash with our own.
  other.reset();
  EXPECT_TRUE(x11_->GrabHotKey(kT, kControlOption));
  x11_->UngrabHotKey(kT, kControlOption);
  x11_->UngrabHotKey(kSlash, kControlOption);

  // Released keys are free for the next client.
  OtherClient next;
  next.Grab(XStringToKeysym("slash"), ControlMask | Mod1Mask);
  EXPECT_FALSE(x11_->GrabHotKey(kSlash, kControlOption));
}

TEST_F(GraphicalX11Test, RegistrationFailsWhereTheServerRefusesTheKey) {
  x11_->ServeHotKeys();
  OtherClient other;
  other.Grab(XStringToKeysym("t"), ControlMask | Mod1Mask);
  EventHotKeyRef ref = nullptr;
  EXPECT_EQ(RegisterEventHotKey(kT, kControlOption, EventHotKeyID{1, 1},
                                GetApplicationEventTarget(), 0, &ref),
            eventHotKeyExistsErr);
  // Key code 10 is a key no table names; it can never be grabbed.
  EXPECT_FALSE(x11_->GrabHotKey(10, kControlOption));
  EXPECT_EQ(RegisterEventHotKey(kSlash, kControlOption, EventHotKeyID{1, 2},
                                GetApplicationEventTarget(), 0, &ref),
            noErr);
  EXPECT_EQ(UnregisterEventHotKey(ref), noErr);
  SetHotKeyService(nullptr);
}

TEST_F(GraphicalX11Test, ScreensAreTheServersInPointsFromTheLowerLeft) {
  ASSERT_EQ(x11_->Screens().size(), 1u);
  const NSRect screen = x11_->Screens()[0];
  EXPECT_EQ(screen.origin.x, 0);
  EXPECT_EQ(screen.origin.y, 0);
  EXPECT_EQ(screen.size.width, 1920);
  EXPECT_EQ(screen.size.height, 1080);
}

}  // namespace
