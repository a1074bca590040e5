// NSStepper: a pair of arrows that move a number between a minimum and a maximum by an
// increment and send the control's action after each step. A click in the upper half of the
// stepper is the up arrow, in the lower half the down arrow.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/appkit/appkit.h"
#include "platform/appkit/control.h"
#include "platform/foundation/string.h"

namespace {

// The state of one stepper; the defaults are Cocoa's.
struct StepperState {
  double value = 0;        // always within [minimum, maximum] once set
  double minimum = 0;      // minValue
  double maximum = 59;     // maxValue
  double increment = 1;    // one step
  bool wraps = true;       // past one end comes the other end
  bool autorepeat = true;  // stored only: a click here is always one step
  int pressed = 0;         // arrow under a mouse-down not yet released: 1 up, -1 down
};

Class gStepper;               // NSStepper
ptrdiff_t gStateOffset = -1;  // offset of StepperState

StepperState& State(id self) {
  return objc::FieldAt<StepperState>(self, gStateOffset);
}

double Clamp(const StepperState& state, double value) {
  if (std::isnan(value)) return state.minimum;
  if (value > state.maximum) value = state.maximum;
  if (value < state.minimum) value = state.minimum;
  return value;
}

double DoubleValue(id self, SEL) {
  return State(self).value;
}
void SetDoubleValue(id self, SEL, double value) {
  State(self).value = Clamp(State(self), value);
}
int IntValue(id self, SEL) {
  return static_cast<int>(State(self).value);
}
NSInteger IntegerValue(id self, SEL) {
  return static_cast<NSInteger>(State(self).value);
}
void SetIntValue(id self, SEL, int value) {
  SetDoubleValue(self, nullptr, value);
}
void SetIntegerValue(id self, SEL, NSInteger value) {
  SetDoubleValue(self, nullptr, static_cast<double>(value));
}
id StringValue(id self, SEL) {
  char text[64];
  std::snprintf(text, sizeof(text), "%.15g", State(self).value);
  return appkit::Utf8String(text);
}
void SetStringValue(id self, SEL, id text) {
  SetDoubleValue(self, nullptr, std::strtod(foundation::StringUtf8(text).c_str(), nullptr));
}
double MinValue(id self, SEL) {
  return State(self).minimum;
}
void SetMinValue(id self, SEL, double value) {
  State(self).minimum = value;
}
double MaxValue(id self, SEL) {
  return State(self).maximum;
}
void SetMaxValue(id self, SEL, double value) {
  State(self).maximum = value;
}
double Increment(id self, SEL) {
  return State(self).increment;
}
void SetIncrement(id self, SEL, double value) {
  State(self).increment = value;
}
BOOL ValueWraps(id self, SEL) {
  return State(self).wraps ? YES : NO;
}
void SetValueWraps(id self, SEL, BOOL on) {
  State(self).wraps = on != NO;
}
BOOL Autorepeat(id self, SEL) {
  return State(self).autorepeat ? YES : NO;
}
void SetAutorepeat(id self, SEL, BOOL on) {
  State(self).autorepeat = on != NO;
}

// One step up (direction 1) or down (-1), wrapping or stopping at the ends, then the action.
void Step(id self, int direction) {
  StepperState& state = State(self);
  double value = state.value + direction * state.increment;
  if (value > state.maximum) value = state.wraps ? state.minimum : state.maximum;
  if (value < state.minimum) value = state.wraps ? state.maximum : state.minimum;
  state.value = value;
  ControlState* control = ControlStateOf(self);
  if (!control) return;
  objc_retain(self);
  objc::Send<BOOL>(self, "sendAction:to:", control->action, control->target);
  objc_release(self);
}

// The arrow under a point of the window: the upper half (in the stepper's own coordinates) is
// up.
int ArrowAt(id self, id event) {
  NSPoint point = objc::Send<NSPoint>(
      self, "convertPoint:fromView:", objc::Send<NSPoint>(event, "locationInWindow"),
      static_cast<id>(nil));
  NSRect bounds = objc::Send<NSRect>(self, "bounds");
  if (point.x < 0 || point.y < 0 || point.x >= bounds.size.width || point.y >= bounds.size.height) {
    return 0;
  }
  bool upper = objc::Send<BOOL>(self, "isFlipped") ? point.y < bounds.size.height / 2
                                                   : point.y >= bounds.size.height / 2;
  return upper ? 1 : -1;
}

void MouseDown(id self, SEL, id event) {
  ControlState* control = ControlStateOf(self);
  State(self).pressed = control && control->enabled ? ArrowAt(self, event) : 0;
}
// A step happens when the mouse comes up over the arrow it went down on.
void MouseUp(id self, SEL, id event) {
  int pressed = State(self).pressed;
  State(self).pressed = 0;
  if (pressed != 0 && ArrowAt(self, event) == pressed) Step(self, pressed);
}
BOOL No(id, SEL) {
  return NO;
}

}  // namespace

// One click on an arrow, as a desktop makes it; nothing for a disabled stepper.
void StepperClick(id stepper, bool up) {
  ControlState* control = ControlStateOf(stepper);
  if (!gStepper || !control || !objc::IsKindOf(stepper, gStepper) || !control->enabled) return;
  Step(stepper, up ? 1 : -1);
}

namespace appkit {

void LoadNSStepperClass() {
  objc::DefineClass("NSStepperCell", "NSActionCell");
  gStepper = objc::DefineClass("NSStepper", "NSControl");
  gStateOffset = objc::AddCxxIvar<StepperState>(gStepper, "_stepperState");
  Class cls = gStepper;
  objc::AddMethod(cls, "doubleValue", &DoubleValue);
  objc::AddMethod(cls, "setDoubleValue:", &SetDoubleValue);
  objc::AddMethod(cls, "intValue", &IntValue);
  objc::AddMethod(cls, "setIntValue:", &SetIntValue);
  objc::AddMethod(cls, "integerValue", &IntegerValue);
  objc::AddMethod(cls, "setIntegerValue:", &SetIntegerValue);
  objc::AddMethod(cls, "stringValue", &StringValue);
  objc::AddMethod(cls, "setStringValue:", &SetStringValue);
  objc::AddMethod(cls, "minValue", &MinValue);
  objc::AddMethod(cls, "setMinValue:", &SetMinValue);
  objc::AddMethod(cls, "maxValue", &MaxValue);
  objc::AddMethod(cls, "setMaxValue:", &SetMaxValue);
  objc::AddMethod(cls, "increment", &Increment);
  objc::AddMethod(cls, "setIncrement:", &SetIncrement);
  objc::AddMethod(cls, "valueWraps", &ValueWraps);
  objc::AddMethod(cls, "setValueWraps:", &SetValueWraps);
  objc::AddMethod(cls, "autorepeat", &Autorepeat);
  objc::AddMethod(cls, "setAutorepeat:", &SetAutorepeat);
  objc::AddMethod(cls, "mouseDown:", &MouseDown);
  objc::AddMethod(cls, "mouseUp:", &MouseUp);
  objc::AddMethod(cls, "acceptsFirstResponder", &No);
}

}  // namespace appkit
