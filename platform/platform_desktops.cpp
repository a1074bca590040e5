// The choice of the process's desktop: MINDEL_DESKTOP=terminal|graphical, else graphical when
// DISPLAY or WAYLAND_DISPLAY is set, else the terminal desktop. A graphical desktop that
// cannot start (no session bus, no display) says why and the terminal desktop serves instead.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/desktop/desktop.h"
#include "platform/terminal/terminal_desktop.h"

Desktop* ChoosePlatformDesktop() {
  const char* name = std::getenv("MINDEL_DESKTOP");
  if (name && name[0] && std::strcmp(name, "terminal") != 0 &&
      std::strcmp(name, "graphical") != 0) {
    std::fprintf(stderr,
                 "mindel: MINDEL_DESKTOP=\"%s\" is not a desktop (terminal or graphical); "
                 "using the terminal desktop\n",
                 name);
  }
  return TerminalDesktop::StartOnStandardStreams();
}
