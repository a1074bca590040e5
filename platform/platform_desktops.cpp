// The choice of the process's desktop: MINDEL_DESKTOP=terminal|graphical, else graphical when
// DISPLAY or WAYLAND_DISPLAY is set, else the terminal desktop. A graphical desktop that
// cannot start (no session bus) says why and the terminal desktop serves instead.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/desktop/desktop.h"
#include "platform/graphical/graphical_desktop.h"
#include "platform/terminal/terminal_desktop.h"

namespace {

bool IsSet(const char* name) {
  const char* value = std::getenv(name);
  return value && value[0];
}

}  // namespace

Desktop* ChoosePlatformDesktop() {
  const char* name = std::getenv("MINDEL_DESKTOP");
  bool graphical = IsSet("DISPLAY") || IsSet("WAYLAND_DISPLAY");
  if (name && name[0]) {
    if (std::strcmp(name, "graphical") == 0) {
      graphical = true;
    } else if (std::strcmp(name, "terminal") == 0) {
      graphical = false;
    } else {
      std::fprintf(stderr,
                   "mindel: MINDEL_DESKTOP=\"%s\" is not a desktop (terminal or graphical); "
                   "choosing from the environment\n",
                   name);
    }
  }
  if (graphical) {
    if (Desktop* desktop = GraphicalDesktop::Start()) return desktop;
    std::fprintf(stderr, "mindel: using the terminal desktop\n");
  }
  return TerminalDesktop::StartOnStandardStreams();
}
