// NSEvent: key, mouse and application-defined events, made by the desktops (and by the GUI
// runtime's wake-up) and dispatched by the application.
#include "platform/appkit/event.h"

#include "platform/appkit/appkit.h"
#include "platform/appkit/application.h"
#include "platform/foundation/string.h"

namespace {

// The fields of one event; which ones mean something depends on the type.
struct EventState {
  NSUInteger type = 0;            // kEvent* value
  NSPoint location{0, 0};         // in the window's base coordinates
  NSUInteger modifier_flags = 0;  // Cocoa modifier flags
  double timestamp = 0;           // seconds, as given
  NSInteger window_number = 0;    // the window the event is for, 0 for none
  id characters = nil;            // key events: NSString, retained
  id characters_ignoring = nil;   // key events: NSString, retained
  bool is_repeat = false;         // key events
  unsigned short key_code = 0;    // key events: the virtual key code
  NSInteger event_number = 0;     // mouse events
  NSInteger click_count = 0;      // mouse events
  float pressure = 0;             // mouse events
  short subtype = 0;              // application-defined events
  NSInteger data1 = 0;            // application-defined events
  NSInteger data2 = 0;            // application-defined events
};

Class gEvent;                 // NSEvent
ptrdiff_t gStateOffset = -1;  // offset of EventState

EventState& State(id self) {
  return objc::FieldAt<EventState>(self, gStateOffset);
}

id Make(Class cls, NSUInteger type, NSPoint location, NSUInteger flags, double timestamp,
        NSInteger window_number) {
  id event = objc::Send(objc::Send(cls, "alloc"), "init");
  if (!event) return nil;
  EventState& state = State(event);
  state.type = type;
  state.location = location;
  state.modifier_flags = flags;
  state.timestamp = timestamp;
  state.window_number = window_number;
  return objc_autorelease(event);
}

// +keyEventWithType:location:modifierFlags:timestamp:windowNumber:context:characters:
//  charactersIgnoringModifiers:isARepeat:keyCode:
id KeyEvent(Class cls, SEL, NSUInteger type, NSPoint location, NSUInteger flags, double timestamp,
            NSInteger window_number, id, id characters, id ignoring, BOOL repeat,
            unsigned short key_code) {
  if (type != kEventKeyDown && type != kEventKeyUp && type != kEventFlagsChanged) return nil;
  id event = Make(cls, type, location, flags, timestamp, window_number);
  if (!event) return nil;
  EventState& state = State(event);
  state.characters = objc::Send(characters, "copy");
  state.characters_ignoring = objc::Send(ignoring, "copy");
  state.is_repeat = repeat != NO;
  state.key_code = key_code;
  return event;
}

// +mouseEventWithType:location:modifierFlags:timestamp:windowNumber:context:eventNumber:
//  clickCount:pressure:
id MouseEvent(Class cls, SEL, NSUInteger type, NSPoint location, NSUInteger flags, double timestamp,
              NSInteger window_number, id, NSInteger event_number, NSInteger click_count,
              float pressure) {
  if (type < kEventLeftMouseDown || type > kEventRightMouseUp) return nil;
  id event = Make(cls, type, location, flags, timestamp, window_number);
  if (!event) return nil;
  State(event).event_number = event_number;
  State(event).click_count = click_count;
  State(event).pressure = pressure;
  return event;
}

// +otherEventWithType:location:modifierFlags:timestamp:windowNumber:context:subtype:data1:data2:
id OtherEvent(Class cls, SEL, NSUInteger type, NSPoint location, NSUInteger flags, double timestamp,
              NSInteger window_number, id, short subtype, NSInteger data1, NSInteger data2) {
  id event = Make(cls, type, location, flags, timestamp, window_number);
  if (!event) return nil;
  State(event).subtype = subtype;
  State(event).data1 = data1;
  State(event).data2 = data2;
  return event;
}

NSUInteger Type(id self, SEL) {
  return State(self).type;
}
NSUInteger ModifierFlags(id self, SEL) {
  return State(self).modifier_flags;
}
unsigned short KeyCode(id self, SEL) {
  return State(self).key_code;
}
id Characters(id self, SEL) {
  return appkit::StringOrEmpty(State(self).characters);
}
id CharactersIgnoring(id self, SEL) {
  return appkit::StringOrEmpty(State(self).characters_ignoring);
}
BOOL IsARepeat(id self, SEL) {
  return State(self).is_repeat ? YES : NO;
}
NSInteger ClickCount(id self, SEL) {
  return State(self).click_count;
}
NSInteger EventNumber(id self, SEL) {
  return State(self).event_number;
}
float Pressure(id self, SEL) {
  return State(self).pressure;
}
NSPoint LocationInWindow(id self, SEL) {
  return State(self).location;
}
id Window(id self, SEL) {
  return ApplicationWindowWithNumber(State(self).window_number);
}
NSInteger WindowNumber(id self, SEL) {
  return State(self).window_number;
}
short Subtype(id self, SEL) {
  return State(self).subtype;
}
NSInteger Data1(id self, SEL) {
  return State(self).data1;
}
NSInteger Data2(id self, SEL) {
  return State(self).data2;
}
double Timestamp(id self, SEL) {
  return State(self).timestamp;
}

void Dealloc(id self, SEL sel) {
  objc_release(State(self).characters);
  objc_release(State(self).characters_ignoring);
  State(self).characters = nil;
  State(self).characters_ignoring = nil;
  objc::SendSuper<void>(self, gEvent, sel);
}

char16_t Lower(char16_t c) {
  return c >= u'A' && c <= u'Z' ? c + 32 : c;
}

}  // namespace

NSUInteger EventType(id event) {
  if (!event || !gEvent || !objc::IsKindOf(event, gEvent)) return 0;
  return State(event).type;
}

NSInteger EventWindowNumber(id event) {
  if (!event || !gEvent || !objc::IsKindOf(event, gEvent)) return 0;
  return State(event).window_number;
}

bool KeyEquivalentMatches(id event, id key_equivalent, NSUInteger mask) {
  if (EventType(event) != kEventKeyDown) return false;
  const std::u16string& key = foundation::StringUnits(key_equivalent);
  const std::u16string& pressed = foundation::StringUnits(State(event).characters_ignoring);
  if (key.empty() || key.size() != pressed.size()) return false;
  constexpr NSUInteger kRelevant =
      kModifierShift | kModifierControl | kModifierOption | kModifierCommand;
  NSUInteger wanted = mask & kRelevant;
  if (key.size() == 1 && key[0] >= u'A' && key[0] <= u'Z') wanted |= kModifierShift;
  if ((State(event).modifier_flags & kRelevant) != wanted) return false;
  for (size_t i = 0; i < key.size(); ++i) {
    if (Lower(key[i]) != Lower(pressed[i])) return false;
  }
  return true;
}

namespace appkit {

void LoadNSEventClass() {
  gEvent = objc::DefineClass("NSEvent", "NSObject");
  gStateOffset = objc::AddCxxIvar<EventState>(gEvent, "_state");
  objc::AddClassMethod(gEvent,
                       "keyEventWithType:location:modifierFlags:timestamp:windowNumber:context:"
                       "characters:charactersIgnoringModifiers:isARepeat:keyCode:",
                       &KeyEvent);
  objc::AddClassMethod(gEvent,
                       "mouseEventWithType:location:modifierFlags:timestamp:windowNumber:context:"
                       "eventNumber:clickCount:pressure:",
                       &MouseEvent);
  objc::AddClassMethod(gEvent,
                       "otherEventWithType:location:modifierFlags:timestamp:windowNumber:context:"
                       "subtype:data1:data2:",
                       &OtherEvent);
  objc::AddMethod(gEvent, "type", &Type);
  objc::AddMethod(gEvent, "modifierFlags", &ModifierFlags);
  objc::AddMethod(gEvent, "keyCode", &KeyCode);
  objc::AddMethod(gEvent, "characters", &Characters);
  objc::AddMethod(gEvent, "charactersIgnoringModifiers", &CharactersIgnoring);
  objc::AddMethod(gEvent, "isARepeat", &IsARepeat);
  objc::AddMethod(gEvent, "clickCount", &ClickCount);
  objc::AddMethod(gEvent, "eventNumber", &EventNumber);
  objc::AddMethod(gEvent, "pressure", &Pressure);
  objc::AddMethod(gEvent, "locationInWindow", &LocationInWindow);
  objc::AddMethod(gEvent, "window", &Window);
  objc::AddMethod(gEvent, "windowNumber", &WindowNumber);
  objc::AddMethod(gEvent, "subtype", &Subtype);
  objc::AddMethod(gEvent, "data1", &Data1);
  objc::AddMethod(gEvent, "data2", &Data2);
  objc::AddMethod(gEvent, "timestamp", &Timestamp);
  objc::AddMethod(gEvent, "dealloc", &Dealloc);
}

}  // namespace appkit
