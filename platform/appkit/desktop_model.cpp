// The model as every desktop reads and drives it.
#include "platform/appkit/desktop_model.h"

#include <cstring>

#include "platform/appkit/appkit.h"
#include "platform/foundation/array.h"
#include "platform/foundation/clock.h"
#include "platform/foundation/string.h"

namespace desktop_model {

namespace {

// Appends the views below parent, depth-first, leaving out skip and what lies below it.
void CollectViews(id parent, id skip, std::vector<id>* views) {
  for (id view : foundation::ArrayItems(objc::Send(parent, "subviews"))) {
    if (view == skip) continue;
    views->push_back(view);
    CollectViews(view, skip, views);
  }
}

}  // namespace

bool Answers(id obj, const char* selector) {
  return obj && objc::Send<BOOL>(obj, "respondsToSelector:", sel_registerName(selector));
}

std::u16string StringUnitsOf(id string) {
  return foundation::IsString(string) ? foundation::StringUnits(string) : std::u16string();
}

id MakeNSString(const std::u16string& units) {
  return foundation::MakeString(units);
}

std::vector<id> ApplicationWindows() {
  return foundation::ArrayItems(objc::Send(NSApp, "windows"));
}

bool WindowNumberOf(id window, int64_t* number) {
  id delegate = objc::Send(window, "delegate");
  if (!Answers(delegate, "windowID")) return false;
  *number = objc::Send<int64_t>(delegate, "windowID");
  return *number >= 0;  // -1 is the runtime's "no window"
}

id FindNumberedWindow(int64_t number) {
  for (id window : ApplicationWindows()) {
    int64_t window_number;
    if (WindowNumberOf(window, &window_number) && window_number == number) return window;
  }
  return nil;
}

std::vector<id> NumberedViews(id window) {
  std::vector<id> views;
  id field_editor = objc::Send(window, "fieldEditor:forObject:", NO, static_cast<id>(nil));
  CollectViews(objc::Send(window, "contentView"), field_editor, &views);
  return views;
}

std::string PlatformClassName(id obj) {
  Class own = object_getClass(obj);
  for (Class cls = own; cls; cls = class_getSuperclass(cls)) {
    if (std::strncmp(class_getName(cls), "NS", 2) == 0) return class_getName(cls);
  }
  return own ? class_getName(own) : "nil";
}

std::u16string ViewText(id view) {
  if (Answers(view, "title")) return StringUnitsOf(objc::Send(view, "title"));
  if (Answers(view, "stringValue")) return StringUnitsOf(objc::Send(view, "stringValue"));
  return std::u16string();
}

bool ViewIsEnabled(id view) {
  return !Answers(view, "isEnabled") || objc::Send<BOOL>(view, "isEnabled");
}

id FindTextField(id view) {
  Class text_field = objc_lookUpClass("NSTextField");
  if (!view || !text_field) return nil;
  if (objc::IsKindOf(view, text_field)) return view;
  for (id subview : foundation::ArrayItems(objc::Send(view, "subviews"))) {
    if (id found = FindTextField(subview)) return found;
  }
  return nil;
}

// --- What a person does ---

void SendControlAction(id control) {
  SEL action = objc::Send<SEL>(control, "action");
  if (!action) return;
  objc::Send<BOOL>(NSApp, "sendAction:to:from:", action, objc::Send(control, "target"), control);
}

namespace {

id MouseEvent(NSUInteger type, NSPoint location, NSInteger window_number, float pressure) {
  return objc::Send(objc_lookUpClass("NSEvent"),
                    "mouseEventWithType:location:modifierFlags:timestamp:windowNumber:context:"
                    "eventNumber:clickCount:pressure:",
                    type, location, NSUInteger{0}, ClockNow(), window_number, static_cast<id>(nil),
                    NSInteger{0}, NSInteger{1}, pressure);
}

id KeyEvent(NSUInteger type, const KeyStroke& key, NSInteger window_number) {
  id characters = MakeNSString(std::u16string(1, key.characters));
  id ignoring = MakeNSString(std::u16string(1, key.characters_ignoring_modifiers));
  return objc::Send(objc_lookUpClass("NSEvent"),
                    "keyEventWithType:location:modifierFlags:timestamp:windowNumber:context:"
                    "characters:charactersIgnoringModifiers:isARepeat:keyCode:",
                    type, NSMakePoint(0, 0), static_cast<NSUInteger>(key.cocoa_modifiers),
                    ClockNow(), window_number, static_cast<id>(nil), characters, ignoring, NO,
                    static_cast<unsigned short>(key.key_code));
}

}  // namespace

bool ClickView(id window, id view) {
  const NSRect bounds = objc::Send<NSRect>(view, "bounds");
  const NSPoint centre = NSMakePoint(bounds.origin.x + bounds.size.width / 2,
                                     bounds.origin.y + bounds.size.height / 2);
  const NSPoint location =
      objc::Send<NSPoint>(view, "convertPoint:toView:", centre, static_cast<id>(nil));
  const NSInteger number = objc::Send<NSInteger>(window, "windowNumber");
  id down = MouseEvent(kEventLeftMouseDown, location, number, 1.0f);
  id up = MouseEvent(kEventLeftMouseUp, location, number, 0.0f);
  if (!down || !up) return false;
  objc::Send<void>(NSApp, "postEvent:atStart:", down, NO);
  objc::Send<void>(NSApp, "postEvent:atStart:", up, NO);
  return true;
}

bool FocusView(id window, id view) {
  if (!objc::Send<BOOL>(view, "acceptsFirstResponder")) return false;
  if (!objc::Send<BOOL>(window, "makeFirstResponder:", view)) return false;
  // A person clicking into a field also brings its window to the keyboard.
  if (!objc::Send<BOOL>(window, "isKeyWindow") && objc::Send<BOOL>(window, "canBecomeKeyWindow")) {
    objc::Send<void>(window, "makeKeyWindow");
  }
  return true;
}

bool PressKey(id window, const KeyStroke& key) {
  const NSInteger number = objc::Send<NSInteger>(window, "windowNumber");
  id down = KeyEvent(kEventKeyDown, key, number);
  id up = KeyEvent(kEventKeyUp, key, number);
  if (!down || !up) return false;
  objc::Send<void>(NSApp, "postEvent:atStart:", down, NO);
  objc::Send<void>(NSApp, "postEvent:atStart:", up, NO);
  return true;
}

void ChoosePopUpItem(id view, NSInteger index) {
  objc::Send<void>(view, "selectItemAtIndex:", index);
  SendControlAction(view);
}

void StepStepper(id view, bool up) {
  const double increment = objc::Send<double>(view, "increment");
  const double minimum = objc::Send<double>(view, "minValue");
  const double maximum = objc::Send<double>(view, "maxValue");
  const bool wraps = Answers(view, "valueWraps") && objc::Send<BOOL>(view, "valueWraps");
  double value = objc::Send<double>(view, "doubleValue") + (up ? increment : -increment);
  if (value > maximum) value = wraps ? minimum : maximum;
  if (value < minimum) value = wraps ? maximum : minimum;
  objc::Send<void>(view, "setDoubleValue:", value);
  SendControlAction(view);
}

void CloseWindow(id window) {
  objc::Send<void>(window, "performClose:", static_cast<id>(nil));
}

}  // namespace desktop_model
