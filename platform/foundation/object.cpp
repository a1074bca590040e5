// NSObject, the root class: making and disposing of objects, reference counting, identity and
// introspection.
#include "platform/foundation/foundation.h"
#include "platform/objc/objc.h"

namespace {

// --- Class methods ---

id Alloc(Class cls, SEL) {
  return class_createInstance(cls, 0);
}
id AllocWithZone(Class cls, SEL, void*) {
  return class_createInstance(cls, 0);
}
id New(Class cls, SEL) {
  return objc::Send(objc::Send(cls, "alloc"), "init");
}
id ClassSelf(Class cls, SEL) {
  return cls;
}
BOOL InstancesRespond(Class cls, SEL, SEL sel) {
  return class_respondsToSelector(cls, sel);
}

// --- Instance methods ---

id Init(id self, SEL) {
  return self;
}
void Dealloc(id self, SEL) {
  object_dispose(self);
}
id Retain(id self, SEL) {
  return objc_retain(self);
}
void Release(id self, SEL) {
  objc_release(self);
}
id Autorelease(id self, SEL) {
  return objc_autorelease(self);
}
NSUInteger RetainCount(id self, SEL) {
  return static_cast<NSUInteger>(objc_retainCount(self));
}
id Self(id self, SEL) {
  return self;
}
Class GetClass(id self, SEL) {
  return object_getClass(self);
}
Class Superclass(id self, SEL) {
  return class_getSuperclass(object_getClass(self));
}
Class ClassSuperclass(Class cls, SEL) {
  return class_getSuperclass(cls);
}
BOOL IsKindOfClass(id self, SEL, Class cls) {
  return objc::IsKindOf(self, cls) ? YES : NO;
}
BOOL IsMemberOfClass(id self, SEL, Class cls) {
  return object_getClass(self) == cls ? YES : NO;
}
BOOL IsEqual(id self, SEL, id other) {
  return self == other ? YES : NO;
}
NSUInteger Hash(id self, SEL) {
  return static_cast<NSUInteger>(reinterpret_cast<uintptr_t>(self) >> 4);
}
BOOL RespondsToSelector(id self, SEL, SEL sel) {
  return class_respondsToSelector(object_getClass(self), sel);
}
id PerformSelector(id self, SEL, SEL sel) {
  return reinterpret_cast<id>(static_cast<uintptr_t>(objc_msgSend(self, sel)));
}
id PerformSelectorWith(id self, SEL, SEL sel, id object) {
  return reinterpret_cast<id>(static_cast<uintptr_t>(objc_msgSend(self, sel, object)));
}
id PerformSelectorWithWith(id self, SEL, SEL sel, id first, id second) {
  return reinterpret_cast<id>(static_cast<uintptr_t>(objc_msgSend(self, sel, first, second)));
}

}  // namespace

namespace foundation {

void LoadNSObjectClass() {
  Class cls = objc::DefineClass("NSObject", static_cast<Class>(nil));
  objc::AddClassMethod(cls, "alloc", &Alloc);
  objc::AddClassMethod(cls, "allocWithZone:", &AllocWithZone);
  objc::AddClassMethod(cls, "new", &New);
  objc::AddClassMethod(cls, "class", &ClassSelf);
  objc::AddClassMethod(cls, "superclass", &ClassSuperclass);
  objc::AddClassMethod(cls, "instancesRespondToSelector:", &InstancesRespond);
  objc::AddMethod(cls, "init", &Init);
  objc::AddMethod(cls, "dealloc", &Dealloc);
  objc::AddMethod(cls, "retain", &Retain);
  objc::AddMethod(cls, "release", &Release);
  objc::AddMethod(cls, "autorelease", &Autorelease);
  objc::AddMethod(cls, "retainCount", &RetainCount);
  objc::AddMethod(cls, "self", &Self);
  objc::AddMethod(cls, "class", &GetClass);
  objc::AddMethod(cls, "superclass", &Superclass);
  objc::AddMethod(cls, "isKindOfClass:", &IsKindOfClass);
  objc::AddMethod(cls, "isMemberOfClass:", &IsMemberOfClass);
  objc::AddMethod(cls, "isEqual:", &IsEqual);
  objc::AddMethod(cls, "hash", &Hash);
  objc::AddMethod(cls, "respondsToSelector:", &RespondsToSelector);
  objc::AddMethod(cls, "performSelector:", &PerformSelector);
  objc::AddMethod(cls, "performSelector:withObject:", &PerformSelectorWith);
  objc::AddMethod(cls, "performSelector:withObject:withObject:", &PerformSelectorWithWith);
}

}  // namespace foundation
