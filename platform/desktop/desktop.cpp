// The process's desktop: chosen once on first use by ChoosePlatformDesktop (platform_desktops.cpp,
// beside the class loaders, since the desktops sit above AppKit), or installed by a test.
#include "platform/desktop/desktop.h"

namespace {

Desktop* gInstalled = nullptr;  // set by SetCurrentDesktop; not owned
Desktop* gChosen = nullptr;     // the desktop chosen from the environment, made once, never freed

}  // namespace

Desktop* CurrentDesktop() {
  if (gInstalled) return gInstalled;
  if (!gChosen) gChosen = ChoosePlatformDesktop();
  return gChosen;
}

void SetCurrentDesktop(Desktop* desktop) {
  gInstalled = desktop;
}
