// NSGraphicsContext: a Core Graphics context wrapped for AppKit drawing, the current context
// that drawing calls such as drawAtPoint: land in, and the stack that saveGraphicsState and
// restoreGraphicsState keep.
//
// Cocoa keeps the current context per thread; the platform runs AppKit on the main thread
// only, so one current context and one stack serve the process.
#include <vector>

#include "platform/appkit/appkit.h"
#include "platform/appkit/image.h"

namespace {

// The state of one graphics context.
struct ContextState {
  CGContextRef port = nullptr;  // retained with CGContextRetain; released at dealloc
  bool flipped = false;         // y measured from the top (stored; drawing ignores it)
};

Class gContext;               // NSGraphicsContext
ptrdiff_t gStateOffset = -1;  // offset of ContextState

id gCurrent = nil;               // the current context, retained; nil when there is none
std::vector<id> gSavedContexts;  // retained (nil allowed), innermost last

ContextState& State(id self) {
  return objc::FieldAt<ContextState>(self, gStateOffset);
}

// +graphicsContextWithGraphicsPort:flipped:: an autoreleased context drawing into port; nil
// for a null port.
id ContextWithGraphicsPort(Class, SEL, void* port, BOOL flipped) {
  if (!port) return nil;
  id context = objc::Send(objc::Send(reinterpret_cast<id>(gContext), "alloc"), "init");
  if (!context) return nil;
  State(context).port = CGContextRetain(static_cast<CGContextRef>(port));
  State(context).flipped = flipped != NO;
  return objc_autorelease(context);
}

id CurrentContext(Class, SEL) {
  return gCurrent;
}
void SetCurrentContext(Class, SEL, id context) {
  appkit::AssignRetained(&gCurrent, context);
}

// +saveGraphicsState remembers the current context; +restoreGraphicsState makes the last one
// remembered current again. A restore without a save does nothing.
void SaveGraphicsState(Class, SEL) {
  gSavedContexts.push_back(objc_retain(gCurrent));
}
void RestoreGraphicsState(Class, SEL) {
  if (gSavedContexts.empty()) return;
  id saved = gSavedContexts.back();
  gSavedContexts.pop_back();
  appkit::AssignRetained(&gCurrent, saved);
  objc_release(saved);
}

void* GraphicsPort(id self, SEL) {
  return State(self).port;
}
BOOL IsFlipped(id self, SEL) {
  return State(self).flipped ? YES : NO;
}
// A context holds no drawing state of its own beyond its port (no clip, no transform), so
// the instance's save, restore and flush have nothing to do.
void DoNothing(id, SEL) {}

void Dealloc(id self, SEL sel) {
  CGContextRelease(State(self).port);
  State(self).port = nullptr;
  objc::SendSuper<void>(self, gContext, sel);
}

}  // namespace

CGContextRef CurrentGraphicsPort() {
  return gCurrent ? State(gCurrent).port : nullptr;
}

namespace appkit {

void LoadNSGraphicsContextClass() {
  Class cls = gContext = objc::DefineClass("NSGraphicsContext", "NSObject");
  gStateOffset = objc::AddCxxIvar<ContextState>(cls, "_contextState");
  objc::AddClassMethod(cls, "graphicsContextWithGraphicsPort:flipped:", &ContextWithGraphicsPort);
  objc::AddClassMethod(cls, "currentContext", &CurrentContext);
  objc::AddClassMethod(cls, "setCurrentContext:", &SetCurrentContext);
  objc::AddClassMethod(cls, "saveGraphicsState", &SaveGraphicsState);
  objc::AddClassMethod(cls, "restoreGraphicsState", &RestoreGraphicsState);
  objc::AddMethod(cls, "graphicsPort", &GraphicsPort);
  objc::AddMethod(cls, "CGContext", &GraphicsPort);
  objc::AddMethod(cls, "isFlipped", &IsFlipped);
  objc::AddMethod(cls, "saveGraphicsState", &DoNothing);
  objc::AddMethod(cls, "restoreGraphicsState", &DoNothing);
  objc::AddMethod(cls, "flushGraphics", &DoNothing);
  objc::AddMethod(cls, "dealloc", &Dealloc);
}

}  // namespace appkit
