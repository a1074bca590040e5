// The X connection in the main loop, and the screens.
#include "platform/graphical/x11_display.h"

#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>
#include <glib-unix.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// Errors of requests nobody traps (a window that went away) are not fatal here: they are
// ignored, where Xlib's default handler would end the process.
int IgnoreError(Display*, XErrorEvent*) {
  return 0;
}

// The server went away: the session is over.
int ConnectionLost(Display*) {
  std::fflush(nullptr);
  std::_Exit(0);
}

double ScreenScale() {
  const char* scale = std::getenv("GDK_SCALE");
  const int value = scale ? std::atoi(scale) : 1;
  return value >= 1 && value <= 8 ? value : 1;
}

}  // namespace

X11Display* X11Display::Open() {
  const char* name = std::getenv("DISPLAY");
  if (!name || !name[0]) return nullptr;
  Display* display = XOpenDisplay(name);
  if (!display) {
    std::fprintf(stderr, "mindel: the X display \"%s\" cannot be opened\n", name);
    return nullptr;
  }
  return new X11Display(display);
}

X11Display::X11Display(Display* display) : display_(display), root_(DefaultRootWindow(display)) {
  XSetErrorHandler(&IgnoreError);
  XSetIOErrorHandler(&ConnectionLost);
  int error_base;
  if (XRRQueryExtension(display_, &randr_event_base_, &error_base)) {
    XRRSelectInput(display_, root_, RRScreenChangeNotifyMask);
  } else {
    randr_event_base_ = -1;
  }
  // A system tray that starts announces itself to the root window's structure listeners; the
  // event wakes the wait, whose refresh then docks the icon there if no panel shows it.
  XSelectInput(display_, root_, StructureNotifyMask);
  ReadScreens();
  source_ = g_unix_fd_add(ConnectionNumber(display_), G_IO_IN, &OnReadable, this);
  XFlush(display_);
}

X11Display::~X11Display() {
  if (source_) g_source_remove(source_);
  XCloseDisplay(display_);
}

bool X11Display::HasSystemTray() {
  const std::string name = "_NET_SYSTEM_TRAY_S" + std::to_string(DefaultScreen(display_));
  const Atom selection = XInternAtom(display_, name.c_str(), False);
  return XGetSelectionOwner(display_, selection) != None;
}

void X11Display::ClaimConnectionLoss() {
  XSetIOErrorHandler(&ConnectionLost);
}

gboolean X11Display::OnReadable(gint, GIOCondition, gpointer self) {
  auto* x11 = static_cast<X11Display*>(self);
  // XPending reads what arrived; a closed connection ends the process in ConnectionLost.
  XPending(x11->display_);
  x11->DispatchPending();
  return G_SOURCE_CONTINUE;
}

bool X11Display::DispatchPending() {
  bool any = false;
  while (XQLength(display_) > 0) {
    XEvent event;
    XNextEvent(display_, &event);
    Handle(&event);
    any = true;
  }
  return any;
}

void X11Display::Handle(void* data) {
  XEvent* event = static_cast<XEvent*>(data);
  if (event->type == KeyPress || event->type == KeyRelease) {
    HandleKey(event);
  } else if (randr_event_base_ >= 0 && event->type == randr_event_base_ + RRScreenChangeNotify) {
    XRRUpdateConfiguration(event);
    ReadScreens();
  }
}

void X11Display::ReadScreens() {
  screens_.clear();
  const double scale = ScreenScale();
  int count = 0;
  XRRMonitorInfo* monitors =
      randr_event_base_ >= 0 ? XRRGetMonitors(display_, root_, True, &count) : nullptr;
  struct Area {
    int x, y, width, height;
  };
  std::vector<Area> areas;
  for (int i = 0; i < count; ++i) {
    const Area area{monitors[i].x, monitors[i].y, monitors[i].width, monitors[i].height};
    // The primary monitor is screen 0, the one with the menu bar.
    if (monitors[i].primary) {
      areas.insert(areas.begin(), area);
    } else {
      areas.push_back(area);
    }
  }
  if (monitors) XRRFreeMonitors(monitors);
  if (areas.empty()) {
    const int screen = DefaultScreen(display_);
    areas.push_back({0, 0, DisplayWidth(display_, screen), DisplayHeight(display_, screen)});
  }
  // X counts y downward from the top of the whole display; Cocoa upward from the bottom of
  // the primary monitor.
  const Area primary = areas.front();
  for (const Area& area : areas) {
    screens_.push_back(NSRect{
        {(area.x - primary.x) / scale, (primary.y + primary.height - area.y - area.height) / scale},
        {area.width / scale, area.height / scale}});
  }
}
