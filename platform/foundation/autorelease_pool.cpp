// NSAutoreleasePool: an object form of the runtime's pool stack; -drain (or -release) releases
// everything autoreleased since -init, including the contents of pools opened after it.
#include "platform/foundation/foundation.h"
#include "platform/objc/objc.h"

namespace {

ptrdiff_t gToken = -1;  // offset of the instance variable holding the runtime's pool token

id Init(id self, SEL) {
  objc::FieldAt<void*>(self, gToken) = objc_autoreleasePoolPush();
  return self;
}

void Drain(id self, SEL) {
  objc_autoreleasePoolPop(objc::FieldAt<void*>(self, gToken));
  object_dispose(self);
}

// A pool is never retained or autoreleased: these keep it out of its own contents.
id RetainPool(id self, SEL) {
  return self;
}
id AutoreleasePool(id self, SEL) {
  return self;
}

}  // namespace

namespace foundation {

void LoadNSAutoreleasePoolClass() {
  Class cls = objc::DefineClass("NSAutoreleasePool", "NSObject");
  gToken = objc::AddIvar<void*>(cls, "_token");
  objc::AddMethod(cls, "init", &Init);
  objc::AddMethod(cls, "drain", &Drain);
  objc::AddMethod(cls, "release", &Drain);
  objc::AddMethod(cls, "retain", &RetainPool);
  objc::AddMethod(cls, "autorelease", &AutoreleasePool);
}

}  // namespace foundation
