// NSButton and NSButtonCell: a titled control that sends its action when clicked or when its
// key equivalent is pressed; switch and toggle buttons flip their state first. Kept small:
// the full controls build on it.
#include <cstdlib>
#include <string>

#include "platform/appkit/appkit.h"
#include "platform/appkit/control.h"
#include "platform/appkit/event.h"
#include "platform/foundation/string.h"

namespace {

// Cocoa's button types whose state flips on every click.
enum : NSUInteger {
  kPushOnPushOff = 1,
  kToggle = 2,
  kSwitch = 3,
  kRadio = 4,
  kOnOff = 6,
};

// The state of one button (target, action, tag and enabled live in ControlState).
struct ButtonState {
  id title = nil;                   // NSString, copied; "Button" at first
  id key_equivalent = nil;          // NSString, copied; none at first
  NSUInteger key_mask = 0;          // modifier flags of the key equivalent
  NSInteger state = 0;              // 0 off, 1 on, -1 mixed
  NSUInteger button_type = 0;       // NSButtonType
  NSUInteger bezel_style = 1;       // stored only
  id image = nil;                   // NSImage, retained
  bool bordered = true;             // stored only
  bool allows_mixed_state = false;  // a click cycles through mixed too
  bool highlighted = false;         // pressed by a mouse-down not yet released
};

Class gButton;                // NSButton
Class gButtonCell;            // NSButtonCell
ptrdiff_t gStateOffset = -1;  // offset of ButtonState

ButtonState& State(id self) {
  return objc::FieldAt<ButtonState>(self, gStateOffset);
}

id InitWithFrame(id self, SEL sel, NSRect frame) {
  self = objc::SendSuper(self, gButton, sel, frame);
  if (self) State(self).title = foundation::NewString(u"Button");
  return self;
}
Class CellClass(Class, SEL) {
  return gButtonCell;
}

id Title(id self, SEL) {
  return appkit::StringOrEmpty(State(self).title);
}
void SetTitle(id self, SEL, id title) {
  appkit::AssignCopied(&State(self).title, title);
}
id KeyEquivalent(id self, SEL) {
  return appkit::StringOrEmpty(State(self).key_equivalent);
}
void SetKeyEquivalent(id self, SEL, id key) {
  appkit::AssignCopied(&State(self).key_equivalent, key);
}
NSUInteger KeyMask(id self, SEL) {
  return State(self).key_mask;
}
void SetKeyMask(id self, SEL, NSUInteger mask) {
  State(self).key_mask = mask;
}
NSInteger GetState(id self, SEL) {
  return State(self).state;
}
void SetState(id self, SEL, NSInteger value) {
  if (value < 0 && !State(self).allows_mixed_state) value = 1;
  State(self).state = value > 0 ? 1 : value;
}
NSUInteger ButtonType(id self, SEL) {
  return State(self).button_type;
}
void SetButtonType(id self, SEL, NSUInteger type) {
  State(self).button_type = type;
}
NSUInteger BezelStyle(id self, SEL) {
  return State(self).bezel_style;
}
void SetBezelStyle(id self, SEL, NSUInteger style) {
  State(self).bezel_style = style;
}
id Image(id self, SEL) {
  return State(self).image;
}
void SetImage(id self, SEL, id image) {
  appkit::AssignRetained(&State(self).image, image);
}
BOOL IsBordered(id self, SEL) {
  return State(self).bordered ? YES : NO;
}
void SetBordered(id self, SEL, BOOL on) {
  State(self).bordered = on != NO;
}
BOOL AllowsMixedState(id self, SEL) {
  return State(self).allows_mixed_state ? YES : NO;
}
void SetAllowsMixedState(id self, SEL, BOOL on) {
  State(self).allows_mixed_state = on != NO;
}
// A button's value is its state.
id StringValue(id self, SEL) {
  return appkit::Utf8String(std::to_string(State(self).state).c_str());
}
void SetStringValue(id self, SEL, id value) {
  SetState(self, nullptr, std::strtol(foundation::StringUtf8(value).c_str(), nullptr, 10));
}
void SetIntegerValue(id self, SEL, NSInteger value) {
  SetState(self, nullptr, value);
}
NSInteger IntegerValue(id self, SEL) {
  return State(self).state;
}
int IntValue(id self, SEL) {
  return static_cast<int>(State(self).state);
}
double DoubleValue(id self, SEL) {
  return static_cast<double>(State(self).state);
}
void SetDoubleValue(id self, SEL, double value) {
  SetState(self, nullptr, static_cast<NSInteger>(value));
}

// -performClick: flips the state of switch-like buttons, then sends the action. A disabled
// button does nothing.
void PerformClick(id self, SEL, id) {
  ControlState* control = ControlStateOf(self);
  if (!control || !control->enabled) return;
  ButtonState& state = State(self);
  switch (state.button_type) {
    case kPushOnPushOff:
    case kToggle:
    case kSwitch:
    case kOnOff:
      if (state.allows_mixed_state) {
        // Cocoa's order for three states: on, off, mixed, on ...
        state.state = state.state == 1 ? 0 : (state.state == 0 ? -1 : 1);
      } else {
        state.state = state.state == 0 ? 1 : 0;
      }
      break;
    case kRadio:
      state.state = 1;
      break;
    default:
      break;
  }
  objc_retain(self);
  objc::Send<BOOL>(self, "sendAction:to:", control->action, control->target);
  objc_release(self);
}

BOOL PerformKeyEquivalent(id self, SEL, id event) {
  ControlState* control = ControlStateOf(self);
  if (!control || !control->enabled || objc::Send<BOOL>(self, "isHiddenOrHasHiddenAncestor")) {
    return NO;
  }
  if (!KeyEquivalentMatches(event, State(self).key_equivalent, State(self).key_mask)) return NO;
  objc::Send<void>(self, "performClick:", self);
  return YES;
}

void MouseDown(id self, SEL, id) {
  ControlState* control = ControlStateOf(self);
  State(self).highlighted = control && control->enabled;
}

// -mouseUp: clicks the button when the mouse went down on it and comes up inside it.
void MouseUp(id self, SEL, id event) {
  if (!State(self).highlighted) return;
  State(self).highlighted = false;
  NSPoint point = objc::Send<NSPoint>(
      self, "convertPoint:fromView:", objc::Send<NSPoint>(event, "locationInWindow"),
      static_cast<id>(nil));
  NSRect bounds = objc::Send<NSRect>(self, "bounds");
  if (point.x >= 0 && point.y >= 0 && point.x < bounds.size.width && point.y < bounds.size.height) {
    objc::Send<void>(self, "performClick:", self);
  }
}
void Highlight(id self, SEL, BOOL on) {
  State(self).highlighted = on != NO;
}
BOOL IsHighlighted(id self, SEL) {
  return State(self).highlighted ? YES : NO;
}

void Dealloc(id self, SEL sel) {
  ButtonState& state = State(self);
  objc_release(state.title);
  objc_release(state.key_equivalent);
  objc_release(state.image);
  state.title = state.key_equivalent = state.image = nil;
  objc::SendSuper<void>(self, gButton, sel);
}

}  // namespace

namespace appkit {

void LoadNSButtonClasses() {
  gButtonCell = objc::DefineClass("NSButtonCell", "NSActionCell");
  gButton = objc::DefineClass("NSButton", "NSControl");
  gStateOffset = objc::AddCxxIvar<ButtonState>(gButton, "_buttonState");
  Class cls = gButton;
  objc::AddClassMethod(cls, "cellClass", &CellClass);
  objc::AddMethod(cls, "initWithFrame:", &InitWithFrame);
  objc::AddMethod(cls, "title", &Title);
  objc::AddMethod(cls, "setTitle:", &SetTitle);
  objc::AddMethod(cls, "keyEquivalent", &KeyEquivalent);
  objc::AddMethod(cls, "setKeyEquivalent:", &SetKeyEquivalent);
  objc::AddMethod(cls, "keyEquivalentModifierMask", &KeyMask);
  objc::AddMethod(cls, "setKeyEquivalentModifierMask:", &SetKeyMask);
  objc::AddMethod(cls, "state", &GetState);
  objc::AddMethod(cls, "setState:", &SetState);
  objc::AddMethod(cls, "buttonType", &ButtonType);
  objc::AddMethod(cls, "setButtonType:", &SetButtonType);
  objc::AddMethod(cls, "bezelStyle", &BezelStyle);
  objc::AddMethod(cls, "setBezelStyle:", &SetBezelStyle);
  objc::AddMethod(cls, "image", &Image);
  objc::AddMethod(cls, "setImage:", &SetImage);
  objc::AddMethod(cls, "isBordered", &IsBordered);
  objc::AddMethod(cls, "setBordered:", &SetBordered);
  objc::AddMethod(cls, "allowsMixedState", &AllowsMixedState);
  objc::AddMethod(cls, "setAllowsMixedState:", &SetAllowsMixedState);
  objc::AddMethod(cls, "stringValue", &StringValue);
  objc::AddMethod(cls, "setStringValue:", &SetStringValue);
  objc::AddMethod(cls, "integerValue", &IntegerValue);
  objc::AddMethod(cls, "setIntegerValue:", &SetIntegerValue);
  objc::AddMethod(cls, "intValue", &IntValue);
  objc::AddMethod(cls, "doubleValue", &DoubleValue);
  objc::AddMethod(cls, "setDoubleValue:", &SetDoubleValue);
  objc::AddMethod(cls, "performClick:", &PerformClick);
  objc::AddMethod(cls, "performKeyEquivalent:", &PerformKeyEquivalent);
  objc::AddMethod(cls, "mouseDown:", &MouseDown);
  objc::AddMethod(cls, "mouseUp:", &MouseUp);
  objc::AddMethod(cls, "highlight:", &Highlight);
  objc::AddMethod(cls, "isHighlighted", &IsHighlighted);
  objc::AddMethod(cls, "dealloc", &Dealloc);
}

}  // namespace appkit
