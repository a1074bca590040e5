// NSControl and NSCell: the target/action base of buttons and text fields. A cell here is a
// thin companion of its control (controlView) that forwards to it; the control holds the
// state. Subclasses (NSButton, NSTextField, ...) name their cell class with +cellClass.
#pragma once

#include "platform/objc/objc.h"

// The state every control has.
struct ControlState {
  id target = nil;           // not retained, as in Cocoa
  SEL action = nullptr;      // sent with sendAction:to:
  NSInteger tag = 0;         // setTag:
  bool enabled = true;       // setEnabled:
  bool continuous = false;   // stored only
  id cell = nil;             // retained; made from +cellClass at init
  id font = nil;             // NSFont, retained
  NSUInteger alignment = 0;  // stored only (NSTextAlignment)
};

// The control state of control; nullptr for an object that is not an NSControl.
ControlState* ControlStateOf(id control);

// One click on an arrow of an NSStepper (up or down), as a desktop makes it: the value moves
// by the increment and the action is sent. Nothing for other objects or a disabled stepper.
void StepperClick(id stepper, bool up);
