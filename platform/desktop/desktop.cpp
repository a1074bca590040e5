// Chooses the process's desktop once: MINDEL_DESKTOP=terminal|x11, else x11 when DISPLAY is
// set and the x11 desktop was built, else the terminal desktop.
#include "platform/desktop/desktop.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/desktop/terminal_desktop.h"

namespace {

Desktop* gInstalled = nullptr;  // set by SetCurrentDesktop; not owned
Desktop* gChosen = nullptr;     // the desktop chosen from the environment, made once, never freed

Desktop* ChooseDesktop() {
  const char* name = std::getenv("MINDEL_DESKTOP");
  if (name && name[0]) {
    if (std::strcmp(name, "x11") == 0) {
      std::fprintf(stderr,
                   "mindel: MINDEL_DESKTOP=x11, but this build has no x11 desktop; "
                   "using the terminal desktop\n");
    } else if (std::strcmp(name, "terminal") != 0) {
      std::fprintf(stderr,
                   "mindel: MINDEL_DESKTOP=\"%s\" is not a desktop (terminal or x11); "
                   "using the terminal desktop\n",
                   name);
    }
  }
  // FIXME: choose the x11 desktop when DISPLAY is set, once it is built.
  return TerminalDesktop::StartOnStandardStreams();
}

}  // namespace

Desktop* CurrentDesktop() {
  if (gInstalled) return gInstalled;
  if (!gChosen) gChosen = ChooseDesktop();
  return gChosen;
}

void SetCurrentDesktop(Desktop* desktop) {
  gInstalled = desktop;
}
