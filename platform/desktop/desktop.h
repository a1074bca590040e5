// The one seam between the AppKit model and a screen. The model tells the desktop what
// changed and waits on it for input; the desktop turns input into platform events (posted
// to the application) or performed actions, and reports screens and appearance.
//
// Exactly one desktop serves a process, chosen once by CurrentDesktop():
// MINDEL_DESKTOP=terminal|graphical, else graphical when DISPLAY or WAYLAND_DISPLAY is set,
// else terminal.
#pragma once

#include "platform/objc/objc.h"

class Desktop {
 public:
  virtual ~Desktop() = default;

  // Blocks until input arrives or the clock reaches deadline (seconds of ClockNow();
  // +infinity = no deadline). Input is turned into events or actions before it returns;
  // the caller (the application's event fetch) then looks at its queue and its timers
  // again and calls Wait once more when nothing came of it.
  virtual void Wait(double deadline) = 0;

  // Screens in points, in Cocoa coordinates (origin at the lower left of screen 0).
  virtual int ScreenCount() = 0;
  virtual NSRect ScreenFrame(int index) = 0;
  // True when the user's desktop asks for a dark appearance.
  virtual bool PrefersDark() = 0;

  // Reports from the model; a desktop overrides the ones it shows.
  virtual void WindowShown(id /*window*/) {}   // a window was ordered in
  virtual void WindowHidden(id /*window*/) {}  // ordered out or closed
  virtual void AlertStarted(id /*alert*/) {}   // an alert is about to run its modal loop
  virtual void AlertEnded(id /*alert*/) {}     // its modal loop ended
  virtual void SpeechStarted(const char16_t* /*text*/) {}
  virtual void StatusItemChanged(id /*item*/) {}  // title, image, menu or length changed
  virtual void ApplicationActivated() {}
};

// The desktop of this process, made on first use.
Desktop* CurrentDesktop();
// Replaces the desktop (tests install a scripted one); the caller keeps ownership.
void SetCurrentDesktop(Desktop* desktop);
// Makes the desktop the environment asks for (platform_desktops.cpp); called once.
Desktop* ChoosePlatformDesktop();
