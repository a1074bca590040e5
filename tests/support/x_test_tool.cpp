// What the graphical tests need of an X server that runs no window manager:
//
//   x_test_tool close TITLE          asks the top-level window titled TITLE to close, as a
//                                    window manager's close box does (WM_DELETE_WINDOW)
//   x_test_tool wait-tray S          waits up to S seconds until a system tray runs (its
//                                    MANAGER announcement on the root window)
//   x_test_tool wait-mapped PID S    prints "watching" once it watches, then waits up to S
//                                    seconds until a top-level window of process PID is on
//                                    screen (for timing how soon a window shows)
//   x_test_tool wait-docked PID S    waits up to S seconds until a window of process PID is
//                                    docked in a system tray (reparented below another
//                                    client's window), watching the server's notifications
//
// Exit codes: 0 done, 1 no such window or the time ran out, 2 bad use or no display.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <poll.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// The window named title at or below window (depth-first); 0 when none.
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

int Close(Display* display, const char* title) {
  const Window window = FindTitled(display, DefaultRootWindow(display), title, 0);
  if (!window) return 1;
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
  event.xclient.data.l[1] = CurrentTime;
  XSendEvent(display, window, False, NoEventMask, &event);
  XFlush(display);
  return 0;
}

long WindowPid(Display* display, Window window) {
  Atom type;
  int format;
  unsigned long count, after;
  unsigned char* data = nullptr;
  long pid = -1;
  if (XGetWindowProperty(display, window, XInternAtom(display, "_NET_WM_PID", False), 0, 1, False,
                         XA_CARDINAL, &type, &format, &count, &after, &data) == Success &&
      data && count == 1 && format == 32) {
    pid = *reinterpret_cast<long*>(data);
  }
  if (data) XFree(data);
  return pid;
}

// True when a window of pid lies below another top-level window (a tray's).
bool Docked(Display* display, Window window, long pid, bool below_other, int depth) {
  if (below_other && WindowPid(display, window) == pid) return true;
  if (depth > 6) return false;
  Window root, parent, *children = nullptr;
  unsigned int count = 0;
  if (!XQueryTree(display, window, &root, &parent, &children, &count)) return false;
  bool found = false;
  for (unsigned int i = 0; i < count && !found; ++i) {
    // Children of the root are top-level; below one of another process is "docked".
    const bool other = depth == 0 ? WindowPid(display, children[i]) != pid : below_other;
    found = Docked(display, children[i], pid, other, depth + 1);
  }
  if (children) XFree(children);
  return found;
}

// Waits up to seconds until done() holds, looking again at every notification of the events
// in mask on the root window (selected before the first look, so no change is missed).
template <class Done>
int WaitUntil(Display* display, long mask, double seconds, Done done) {
  XSelectInput(display, DefaultRootWindow(display), mask);
  XSync(display, False);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  for (;;) {
    if (done()) return 0;
    while (XPending(display)) {
      XEvent event;
      XNextEvent(display, &event);
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return 1;
    pollfd connection{ConnectionNumber(display), POLLIN, 0};
    poll(&connection, 1, static_cast<int>(left.count()));  // the next notification
  }
}

int WaitDocked(Display* display, long pid, double seconds) {
  return WaitUntil(display, SubstructureNotifyMask, seconds,
                   [&] { return Docked(display, DefaultRootWindow(display), pid, false, 0); });
}

// True when a top-level window of pid is mapped and viewable.
bool Mapped(Display* display, long pid) {
  Window root, parent, *children = nullptr;
  unsigned int count = 0;
  if (!XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count)) {
    return false;
  }
  bool found = false;
  for (unsigned int i = 0; i < count && !found; ++i) {
    XWindowAttributes attributes;
    found = WindowPid(display, children[i]) == pid &&
            XGetWindowAttributes(display, children[i], &attributes) &&
            attributes.map_state == IsViewable;
  }
  if (children) XFree(children);
  return found;
}

int WaitMapped(Display* display, long pid, double seconds) {
  bool said = false;
  return WaitUntil(display, SubstructureNotifyMask, seconds, [&] {
    if (!said) {
      said = true;
      std::printf("watching\n");
      std::fflush(stdout);
    }
    return Mapped(display, pid);
  });
}

int WaitTray(Display* display, double seconds) {
  const std::string name = "_NET_SYSTEM_TRAY_S" + std::to_string(DefaultScreen(display));
  const Atom selection = XInternAtom(display, name.c_str(), False);
  return WaitUntil(display, StructureNotifyMask, seconds,
                   [&] { return XGetSelectionOwner(display, selection) != None; });
}

}  // namespace

int main(int argc, char** argv) {
  Display* display = argc >= 3 ? XOpenDisplay(nullptr) : nullptr;
  int result = 2;
  if (display && argc == 3 && std::strcmp(argv[1], "close") == 0) {
    result = Close(display, argv[2]);
  } else if (display && argc == 3 && std::strcmp(argv[1], "wait-tray") == 0) {
    result = WaitTray(display, std::atof(argv[2]));
  } else if (display && argc == 4 && std::strcmp(argv[1], "wait-mapped") == 0) {
    result = WaitMapped(display, std::atol(argv[2]), std::atof(argv[3]));
  } else if (display && argc == 4 && std::strcmp(argv[1], "wait-docked") == 0) {
    result = WaitDocked(display, std::atol(argv[2]), std::atof(argv[3]));
  } else if (!display && argc >= 3) {
    std::fprintf(stderr, "x_test_tool: no display\n");
  } else {
    std::fprintf(stderr,
                 "usage: x_test_tool close TITLE | wait-tray SECONDS | wait-mapped PID SECONDS |"
                 " wait-docked PID SECONDS\n");
  }
  if (display) XCloseDisplay(display);
  return result;
}
