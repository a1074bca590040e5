// NSWindow's internal calls: the first responder, for views and text fields that take or
// give up the keyboard without going through makeFirstResponder:.
#pragma once

#include "platform/objc/objc.h"

// The window's first responder (the window itself when nothing else is); nil for nil.
id WindowFirstResponder(id window);
// Records responder (nil: the window) as first responder without asking anyone.
void WindowSetFirstResponder(id window, id responder);

// The height of a titled window's title bar, in points.
inline constexpr double kWindowTitleBarHeight = 22;
