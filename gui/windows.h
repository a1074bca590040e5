// Numbered windows over NSWindow: each has a delegate (VoWindowEvents) that turns window
// notifications into queue events and a flipped content view (VoFlippedWindowView) that
// reports clicks and repaints. Screen queries sit beside them.
#pragma once

#include <cstdint>

#include "platform/objc/objc.h"

// --- Window flags ---
enum : int32_t {
  WindowInvisible = 0x1,         // never ordered front, not attached to its parent
  WindowResizable = 0x2,         // resizable
  WindowCloseBox = 0x4,          // closable
  WindowResizeBox = 0x10,        // closable and resizable
  WindowMinimizeBox = 0x20,      // closable and miniaturizable
  WindowCentered = 0x40,         // centred on the screen after creation
  WindowBorderless = 0x80,       // style mask 0; other style bits ignored
  WindowCenterOnParent = 0x100,  // centred over the parent, or over the key window
  WindowStartZoomed = 0x200,     // resizable; zoomed after showing
  WindowStartMinimized = 0x400,  // miniaturizable; miniaturized after showing
  WindowNoGadgets = 0x1000,      // does not become the current gadget list window
  WindowNoActivate = 0x2000,     // shown with orderFront: instead of makeKeyAndOrderFront:
};

// The value that asks for a centred window as x or y.
constexpr int32_t kWindowPositionCentered = -65535;

// One numbered window; its first field is non-zero exactly while the window exists.
struct WindowRecord {
  id window;            // the VoWindow
  id parent;            // parent given at opening, or nil; not owned
  id delegate;          // the VoWindowEvents; owned (it releases itself when the window closes)
  id timers;            // NSMutableArray of the window's NSTimers, or nil; owned
  id shortcuts;         // NSMutableArray or nil; owned; released at closing
  uint32_t noActivate;  // non-zero: refuses to become key or main (nothing sets it here)
  id previousKey;       // the application's key window when this one opened; not owned
  NSSize minSize;       // contentMinSize read after creation
  NSSize maxSize;       // contentMaxSize read after creation
};

// --- Set-up ---
void InitWindows();
// Disposes of every window (program end).
void EndWindows();

// --- Windows ---
// For a given number answers the NSWindow, for -1 the new dynamic number; 0 on failure.
// x and y are the distance from the main screen's left and top edges to the window's frame.
int64_t NewWindow(int64_t number, int32_t x, int32_t y, int32_t width, int32_t height,
                  const char16_t* title, int32_t flags, id parent);
// The same without a parent.
int64_t OpenWindow(int64_t number, int32_t x, int32_t y, int32_t width, int32_t height,
                   const char16_t* title, int32_t flags);
// The same with the flags fixed to WindowCloseBox.
int64_t OpenWindowWithCloseBox(int64_t number, int32_t x, int32_t y, int32_t width, int32_t height,
                               const char16_t* title);
// -1 disposes of every window.
void DisposeWindow(int64_t number);
// The NSWindow; 0 when no such window.
id WindowObject(int64_t number);
void SetWindowFloating(int64_t number, uint32_t on);
// The record of a window; null when no such window.
WindowRecord* FindWindowRecord(int64_t number);
// The number of any NSWindow: its delegate's windowID when the delegate answers it, else -1.
int64_t WindowNumberOf(id window);

// --- Screens ---
// The number of screens, remembered for ScreenWidth.
int64_t CountScreens();
// The width of screen index; 0 when index is below 0 or not below the remembered count.
int32_t ScreenWidth(int32_t index);

// --- Gadget list hooks ---
// The gadget framework (gui/gadgets.h) makes a window the current gadget list window, forgets
// a closed window's list and frees a window's gadgets.
void GadgetListSetWindowHook(id window);
void GadgetListRemoveWindowHook(id window);
void FreeWindowGadgetsHook(int64_t window);
