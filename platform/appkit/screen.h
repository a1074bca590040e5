// NSScreen's internal calls: the desktop's screens as frames.
#pragma once

#include "platform/objc/objc.h"

// The status bar's height: the top of a screen that windows are not placed under.
inline constexpr double kStatusBarThickness = 22;

// The frame and the visible frame (the frame below the status bar) of the main screen (the
// desktop's first). Answers false, leaving both alone, when the desktop has no screen.
bool ScreenMainFrames(NSRect* frame, NSRect* visible_frame);
