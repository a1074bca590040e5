// A desktop that shows nothing and never waits: one 1920x1080 screen in the light appearance,
// for fuzz targets that drive the model without a screen.
#pragma once

#include "platform/appkit/appkit.h"
#include "platform/desktop/desktop.h"

class QuietDesktop : public Desktop {
 public:
  void Wait(double) override {}
  int ScreenCount() override { return 1; }
  NSRect ScreenFrame(int) override { return NSMakeRect(0, 0, 1920, 1080); }
  bool PrefersDark() override { return false; }
};
