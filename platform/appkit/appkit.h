// The AppKit model for the platform: the class loader, the application global, the run-loop
// mode strings, and small helpers every AppKit file uses. The internal calls of one concern
// live in that concern's header (application.h, window.h, view.h, event.h, control.h,
// text_field.h, status_bar.h, alert.h).
#pragma once

#include "platform/foundation/run_loop.h"  // NSDefaultRunLoopMode, NSModalPanelRunLoopMode, ...
#include "platform/objc/objc.h"

// The shared application (an instance of the class sharedApplication was first sent to), or
// nil before that.
extern "C" {
extern id NSApp;
}

// Cocoa's event types, modifier flags and answers used across the model.
enum : NSUInteger {
  kEventLeftMouseDown = 1,
  kEventLeftMouseUp = 2,
  kEventRightMouseDown = 3,
  kEventRightMouseUp = 4,
  kEventKeyDown = 10,
  kEventKeyUp = 11,
  kEventFlagsChanged = 12,
  kEventApplicationDefined = 15,
};
enum : NSUInteger {
  kModifierShift = 0x20000,
  kModifierControl = 0x40000,
  kModifierOption = 0x80000,
  kModifierCommand = 0x100000,
  kModifierDeviceIndependentMask = 0xffff0000,
};
enum : NSInteger {
  kModalResponseStop = -1000,
  kModalResponseAbort = -1001,
  kModalResponseContinue = -1002,
};

namespace appkit {

// Defines every AppKit class, superclasses first. Called once when the classes load.
void LoadAppKitClasses();

// Stores value in *slot, retaining it (Retain) or keeping a copy (Copy), and releases what the
// slot held.
void AssignRetained(id* slot, id value);
void AssignCopied(id* slot, id value);
// A shared empty NSString, for getters that never answer nil.
id EmptyString();
id StringOrEmpty(id string);
// An autoreleased NSString of a UTF-8 literal.
id Utf8String(const char* text);

}  // namespace appkit
