// The tagged view classes (Vo_NSButton, Vo_NSTextField, ...): views that carry their gadget's
// number (Vo_tag) and whether it has been freed (Vo_alreadyDestroyed), so that a view
// deallocated before its gadget frees the gadget, and one deallocated after frees nothing.
#include <vector>

#include "gui/gadgets.h"

namespace {

std::vector<Class> g_tagged_classes;  // the tagged view classes, for their super calls

// The tagged class whose method is running for self: the first one up self's class chain.
Class TaggedClassOf(id self) {
  for (Class cls = object_getClass(self); cls; cls = class_getSuperclass(cls)) {
    for (Class tagged : g_tagged_classes) {
      if (tagged == cls) return cls;
    }
  }
  return nil;
}

int64_t* TagField(id self) {
  return objc::IvarPointer<int64_t>(self, "Vo_tag");
}
BOOL* DestroyedField(id self) {
  return objc::IvarPointer<BOOL>(self, "Vo_alreadyDestroyed");
}

void TaggedSetTag(id self, SEL, NSInteger tag) {
  *TagField(self) = tag;
}
void TaggedSetAlreadyDestroyed(id self, SEL, BOOL destroyed) {
  *DestroyedField(self) = destroyed;
}
NSInteger TaggedTag(id self, SEL) {
  return static_cast<NSInteger>(*TagField(self));
}
void TaggedDealloc(id self, SEL sel) {
  if (!*DestroyedField(self)) FreeGadgetRecord(*TagField(self));
  objc::SendSuper<void>(self, TaggedClassOf(self), sel);
}
void TaggedFinalize(id self, SEL sel) {
  if (!*DestroyedField(self)) {
    *DestroyedField(self) = YES;
    FreeGadgetRecord(*TagField(self));
  }
  objc::SendSuper<void>(self, TaggedClassOf(self), sel);
}
// No view registers dragged types, so these are never called: no drop is possible.
NSUInteger DraggingNone(id, SEL, id) {
  return 0;
}
BOOL DragRefused(id, SEL, id) {
  return NO;
}

}  // namespace

Class DefineTaggedViewClass(const char* name, const char* base) {
  Class cls = objc::DefineClass(name, base);
  if (!cls) return nil;
  g_tagged_classes.push_back(cls);
  objc::AddIvar<int64_t>(cls, "Vo_tag");
  objc::AddIvar<BOOL>(cls, "Vo_alreadyDestroyed");
  objc::AddMethod(cls, "setTag:", &TaggedSetTag);
  objc::AddMethod(cls, "setAlreadyDestroyed:", &TaggedSetAlreadyDestroyed);
  objc::AddMethod(cls, "tag", &TaggedTag);
  objc::AddMethod(cls, "dealloc", &TaggedDealloc);
  objc::AddMethod(cls, "finalize", &TaggedFinalize);
  objc::AddMethod(cls, "draggingEntered:", &DraggingNone);
  objc::AddMethod(cls, "draggingUpdated:", &DraggingNone);
  objc::AddMethod(cls, "prepareForDragOperation:", &DragRefused);
  objc::AddMethod(cls, "performDragOperation:", &DragRefused);
  return cls;
}
