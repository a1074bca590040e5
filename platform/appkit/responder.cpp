// NSResponder: the chain that unhandled key and mouse events and actions travel along.
#include "platform/appkit/appkit.h"

namespace {

Class gResponder;            // NSResponder
ptrdiff_t gNextOffset = -1;  // offset of the next responder (not retained, as in Cocoa)

id& Next(id self) {
  return objc::FieldAt<id>(self, gNextOffset);
}

id NextResponder(id self, SEL) {
  return Next(self);
}
void SetNextResponder(id self, SEL, id next) {
  Next(self) = next;
}
BOOL No(id, SEL) {
  return NO;
}
BOOL Yes(id, SEL) {
  return YES;
}
BOOL NoForEvent(id, SEL, id) {
  return NO;
}

// Unhandled events go on to the next responder; at the end of the chain they are dropped.
void PassOn(id self, SEL sel, id event) {
  if (Next(self)) objc_msgSend(Next(self), sel, event);
}

BOOL TryToPerform(id self, SEL, SEL action, id object) {
  for (id responder = self; responder; responder = objc::Send(responder, "nextResponder")) {
    if (class_respondsToSelector(object_getClass(responder), action)) {
      objc_msgSend(responder, action, object);
      return YES;
    }
  }
  return NO;
}

void NoResponderFor(id, SEL, SEL) {}

}  // namespace

namespace appkit {

void LoadNSResponderClass() {
  gResponder = objc::DefineClass("NSResponder", "NSObject");
  gNextOffset = objc::AddIvar<id>(gResponder, "_nextResponder");
  objc::AddMethod(gResponder, "nextResponder", &NextResponder);
  objc::AddMethod(gResponder, "setNextResponder:", &SetNextResponder);
  objc::AddMethod(gResponder, "acceptsFirstResponder", &No);
  objc::AddMethod(gResponder, "becomeFirstResponder", &Yes);
  objc::AddMethod(gResponder, "resignFirstResponder", &Yes);
  objc::AddMethod(gResponder, "performKeyEquivalent:", &NoForEvent);
  for (const char* selector : {"keyDown:", "keyUp:", "flagsChanged:", "mouseDown:", "mouseUp:",
                               "mouseDragged:", "rightMouseDown:", "rightMouseUp:"}) {
    objc::AddMethod(gResponder, selector, &PassOn);
  }
  objc::AddMethod(gResponder, "tryToPerform:with:", &TryToPerform);
  objc::AddMethod(gResponder, "noResponderFor:", &NoResponderFor);
}

}  // namespace appkit
