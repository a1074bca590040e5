// NSControl, NSCell and NSActionCell: target/action, tag, enabled state and the cell that
// stands for its control (setDefaultButtonCell: takes a button's cell).
#include "platform/appkit/control.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/appkit/appkit.h"
#include "platform/foundation/string.h"

namespace {

Class gControl;                  // NSControl
Class gCell;                     // NSCell
ptrdiff_t gStateOffset = -1;     // offset of ControlState
ptrdiff_t gCellViewOffset = -1;  // offset of the cell's control view (not retained)

ControlState& State(id self) {
  return objc::FieldAt<ControlState>(self, gStateOffset);
}
id& CellView(id self) {
  return objc::FieldAt<id>(self, gCellViewOffset);
}

// --- NSControl ---

id InitWithFrame(id self, SEL sel, NSRect frame) {
  self = objc::SendSuper(self, gControl, sel, frame);
  if (!self) return nil;
  Class cell_class = objc::Send<Class>(reinterpret_cast<id>(object_getClass(self)), "cellClass");
  if (cell_class) {
    id cell = objc::Send(objc::Send(reinterpret_cast<id>(cell_class), "alloc"), "init");
    objc::Send<void>(cell, "setControlView:", self);
    State(self).cell = cell;
  }
  return self;
}
Class CellClass(Class, SEL) {
  return gCell;
}
id Cell(id self, SEL) {
  return State(self).cell;
}
void SetCell(id self, SEL, id cell) {
  appkit::AssignRetained(&State(self).cell, cell);
  objc::Send<void>(cell, "setControlView:", self);
}
id Target(id self, SEL) {
  return State(self).target;
}
void SetTarget(id self, SEL, id target) {
  State(self).target = target;
}
SEL Action(id self, SEL) {
  return State(self).action;
}
void SetAction(id self, SEL, SEL action) {
  State(self).action = action;
}
NSInteger Tag(id self, SEL) {
  return State(self).tag;
}
void SetTag(id self, SEL, NSInteger tag) {
  State(self).tag = tag;
}
BOOL IsEnabled(id self, SEL) {
  return State(self).enabled ? YES : NO;
}
void SetEnabled(id self, SEL, BOOL enabled) {
  State(self).enabled = enabled != NO;
}
BOOL IsContinuous(id self, SEL) {
  return State(self).continuous ? YES : NO;
}
void SetContinuous(id self, SEL, BOOL on) {
  State(self).continuous = on != NO;
}
id Font(id self, SEL) {
  if (!State(self).font) {
    State(self).font =
        objc_retain(objc::Send(objc_lookUpClass("NSFont"), "systemFontOfSize:", 0.0));
  }
  return State(self).font;
}
void SetFont(id self, SEL, id font) {
  appkit::AssignRetained(&State(self).font, font);
}
NSUInteger Alignment(id self, SEL) {
  return State(self).alignment;
}
void SetAlignment(id self, SEL, NSUInteger alignment) {
  State(self).alignment = alignment;
}

// -sendAction:to: goes through the application, so a nil target walks the responder chain.
BOOL SendActionTo(id self, SEL, SEL action, id target) {
  if (!action || !NSApp) return NO;
  return objc::Send<BOOL>(NSApp, "sendAction:to:from:", action, target, self);
}

// The value accessors of a plain control work on its string value.
id StringValue(id, SEL) {
  return appkit::EmptyString();
}
void SetStringValue(id, SEL, id) {}
double DoubleValue(id self, SEL) {
  return std::strtod(foundation::StringUtf8(objc::Send(self, "stringValue")).c_str(), nullptr);
}
int IntValue(id self, SEL) {
  return static_cast<int>(DoubleValue(self, nullptr));
}
NSInteger IntegerValue(id self, SEL) {
  return static_cast<NSInteger>(DoubleValue(self, nullptr));
}
void SetDoubleValue(id self, SEL, double value) {
  char text[64];
  std::snprintf(text, sizeof(text), "%.17g", value);
  objc::Send<void>(self, "setStringValue:", appkit::Utf8String(text));
}
void SetIntegerValue(id self, SEL, NSInteger value) {
  objc::Send<void>(self, "setStringValue:", appkit::Utf8String(std::to_string(value).c_str()));
}
void SetIntValue(id self, SEL, int value) {
  SetIntegerValue(self, nullptr, value);
}
// A plain control's click is its action; buttons and steppers click in their own way.
void PerformClick(id self, SEL, id) {
  ControlState& state = State(self);
  if (!state.enabled || !state.action) return;
  objc_retain(self);
  SendActionTo(self, nullptr, state.action, state.target);
  objc_release(self);
}
void Nothing(id, SEL) {}
BOOL AbortEditing(id, SEL) {
  return NO;
}

void Dealloc(id self, SEL sel) {
  ControlState& state = State(self);
  if (state.cell) objc::Send<void>(state.cell, "setControlView:", static_cast<id>(nil));
  objc_release(state.cell);
  objc_release(state.font);
  state.cell = state.font = nil;
  objc::SendSuper<void>(self, gControl, sel);
}

// --- NSCell: forwards to its control ---

id ControlView(id self, SEL) {
  return CellView(self);
}
void SetControlView(id self, SEL, id view) {
  CellView(self) = view;
}
id CellTitle(id self, SEL) {
  return appkit::StringOrEmpty(objc::Send(CellView(self), "title"));
}
void CellSetTitle(id self, SEL, id title) {
  objc::Send<void>(CellView(self), "setTitle:", title);
}
BOOL CellIsEnabled(id self, SEL) {
  return objc::Send<BOOL>(CellView(self), "isEnabled");
}
void CellSetEnabled(id self, SEL, BOOL on) {
  objc::Send<void>(CellView(self), "setEnabled:", on);
}
NSInteger CellTag(id self, SEL) {
  return objc::Send<NSInteger>(CellView(self), "tag");
}
NSInteger CellState(id self, SEL) {
  return objc::Send<NSInteger>(CellView(self), "state");
}
void CellSetState(id self, SEL, NSInteger value) {
  objc::Send<void>(CellView(self), "setState:", value);
}
id CellStringValue(id self, SEL) {
  return appkit::StringOrEmpty(objc::Send(CellView(self), "stringValue"));
}
void CellPerformClick(id self, SEL, id sender) {
  objc::Send<void>(CellView(self), "performClick:", sender);
}

}  // namespace

ControlState* ControlStateOf(id control) {
  if (!control || !gControl || !objc::IsKindOf(control, gControl)) return nullptr;
  return &State(control);
}

namespace appkit {

void LoadNSControlClasses() {
  gCell = objc::DefineClass("NSCell", "NSObject");
  gCellViewOffset = objc::AddIvar<id>(gCell, "_controlView");
  objc::AddMethod(gCell, "controlView", &ControlView);
  objc::AddMethod(gCell, "setControlView:", &SetControlView);
  objc::AddMethod(gCell, "title", &CellTitle);
  objc::AddMethod(gCell, "setTitle:", &CellSetTitle);
  objc::AddMethod(gCell, "isEnabled", &CellIsEnabled);
  objc::AddMethod(gCell, "setEnabled:", &CellSetEnabled);
  objc::AddMethod(gCell, "tag", &CellTag);
  objc::AddMethod(gCell, "state", &CellState);
  objc::AddMethod(gCell, "setState:", &CellSetState);
  objc::AddMethod(gCell, "stringValue", &CellStringValue);
  objc::AddMethod(gCell, "performClick:", &CellPerformClick);
  objc::DefineClass("NSActionCell", gCell);

  gControl = objc::DefineClass("NSControl", "NSView");
  gStateOffset = objc::AddCxxIvar<ControlState>(gControl, "_controlState");
  Class cls = gControl;
  objc::AddClassMethod(cls, "cellClass", &CellClass);
  objc::AddMethod(cls, "initWithFrame:", &InitWithFrame);
  objc::AddMethod(cls, "cell", &Cell);
  objc::AddMethod(cls, "setCell:", &SetCell);
  objc::AddMethod(cls, "target", &Target);
  objc::AddMethod(cls, "setTarget:", &SetTarget);
  objc::AddMethod(cls, "action", &Action);
  objc::AddMethod(cls, "setAction:", &SetAction);
  objc::AddMethod(cls, "tag", &Tag);
  objc::AddMethod(cls, "setTag:", &SetTag);
  objc::AddMethod(cls, "isEnabled", &IsEnabled);
  objc::AddMethod(cls, "setEnabled:", &SetEnabled);
  objc::AddMethod(cls, "isContinuous", &IsContinuous);
  objc::AddMethod(cls, "setContinuous:", &SetContinuous);
  objc::AddMethod(cls, "font", &Font);
  objc::AddMethod(cls, "setFont:", &SetFont);
  objc::AddMethod(cls, "alignment", &Alignment);
  objc::AddMethod(cls, "setAlignment:", &SetAlignment);
  objc::AddMethod(cls, "sendAction:to:", &SendActionTo);
  objc::AddMethod(cls, "stringValue", &StringValue);
  objc::AddMethod(cls, "setStringValue:", &SetStringValue);
  objc::AddMethod(cls, "doubleValue", &DoubleValue);
  objc::AddMethod(cls, "intValue", &IntValue);
  objc::AddMethod(cls, "integerValue", &IntegerValue);
  objc::AddMethod(cls, "setDoubleValue:", &SetDoubleValue);
  objc::AddMethod(cls, "setIntegerValue:", &SetIntegerValue);
  objc::AddMethod(cls, "setIntValue:", &SetIntValue);
  objc::AddMethod(cls, "performClick:", &PerformClick);
  objc::AddMethod(cls, "sizeToFit", &Nothing);
  objc::AddMethod(cls, "validateEditing", &Nothing);
  objc::AddMethod(cls, "abortEditing", &AbortEditing);
  objc::AddMethod(cls, "dealloc", &Dealloc);
}

}  // namespace appkit
