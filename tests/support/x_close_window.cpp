// Asks the top-level X window titled TITLE to close, as a window manager's close box does: a
// WM_DELETE_WINDOW message. For the graphical tests, whose X server runs no window manager.
//
//   x_close_window TITLE      (exit code 0 when a window got the message, 1 when none has
//                              the title, 2 without a display)
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <cstdio>
#include <cstring>

namespace {

// The client window named title at or below window (depth-first); 0 when none.
Window FindTitled(Display* display, Window window, const char* title, int depth) {
  char* name = nullptr;
  if (XFetchName(display, window, &name) && name) {
    const bool match = std::strcmp(name, title) == 0;
    XFree(name);
    if (match) return window;
  }
  if (depth > 3) return 0;
  Window root, parent, *children = nullptr;
  unsigned int count = 0;
  if (!XQueryTree(display, window, &root, &parent, &children, &count)) return 0;
  Window found = 0;
  for (unsigned int i = 0; i < count && !found; ++i) {
    found = FindTitled(display, children[i], title, depth + 1);
  }
  if (children) XFree(children);
  return found;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: x_close_window TITLE\n");
    return 2;
  }
  Display* display = XOpenDisplay(nullptr);
  if (!display) return 2;
  const Window window = FindTitled(display, DefaultRootWindow(display), argv[1], 0);
  if (!window) {
    XCloseDisplay(display);
    return 1;
  }
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
  event.xclient.data.l[1] = CurrentTime;
  XSendEvent(display, window, False, NoEventMask, &event);
  XCloseDisplay(display);  // flushes the message
  return 0;
}
