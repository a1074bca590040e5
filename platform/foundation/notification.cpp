// NSNotification: what the platform hands to delegate methods such as windowDidBecomeKey:.
#include "platform/foundation/notification.h"

#include "platform/foundation/string.h"
#include "platform/objc/objc.h"

namespace {

// The contents of one notification.
struct NotificationState {
  id name = nil;       // NSString, retained
  id object = nil;     // retained
  id user_info = nil;  // NSDictionary or nil, retained
};

Class gNotification;          // NSNotification
ptrdiff_t gStateOffset = -1;  // offset of the NotificationState

NotificationState& State(id self) {
  return objc::FieldAt<NotificationState>(self, gStateOffset);
}

id InitWithName(id self, SEL, id name, id object, id user_info) {
  self = objc::SendSuper(self, gNotification, "init");
  if (!self) return nil;
  State(self).name = objc::Send(name, "copy");
  State(self).object = objc_retain(object);
  State(self).user_info = objc_retain(user_info);
  return self;
}
id WithNameObject(Class cls, SEL, id name, id object) {
  id note = objc::Send(objc::Send(cls, "alloc"), "initWithName:object:userInfo:", name, object,
                       static_cast<id>(nil));
  return objc_autorelease(note);
}
id WithNameObjectInfo(Class cls, SEL, id name, id object, id user_info) {
  id note = objc::Send(objc::Send(cls, "alloc"), "initWithName:object:userInfo:", name, object,
                       user_info);
  return objc_autorelease(note);
}
id Name(id self, SEL) {
  return State(self).name;
}
id Object(id self, SEL) {
  return State(self).object;
}
id UserInfo(id self, SEL) {
  return State(self).user_info;
}
void Dealloc(id self, SEL sel) {
  objc_release(State(self).name);
  objc_release(State(self).object);
  objc_release(State(self).user_info);
  State(self) = NotificationState{};
  objc::SendSuper<void>(self, gNotification, sel);
}

}  // namespace

namespace foundation {

void LoadNSNotificationClass() {
  gNotification = objc::DefineClass("NSNotification", "NSObject");
  gStateOffset = objc::AddCxxIvar<NotificationState>(gNotification, "_state");
  objc::AddClassMethod(gNotification, "notificationWithName:object:", &WithNameObject);
  objc::AddClassMethod(gNotification, "notificationWithName:object:userInfo:", &WithNameObjectInfo);
  objc::AddMethod(gNotification, "initWithName:object:userInfo:", &InitWithName);
  objc::AddMethod(gNotification, "name", &Name);
  objc::AddMethod(gNotification, "object", &Object);
  objc::AddMethod(gNotification, "userInfo", &UserInfo);
  objc::AddMethod(gNotification, "dealloc", &Dealloc);
}

id NewNotification(id name, id object, id user_info) {
  id note = objc::Send(static_cast<id>(gNotification), "alloc");
  return objc::Send(note, "initWithName:object:userInfo:", name, object, user_info);
}

bool RespondsTo(id obj, const char* selector) {
  return obj && class_respondsToSelector(object_getClass(obj), sel_registerName(selector));
}

void SendNotification(id receiver, const char* selector, const char* name_utf8, id object) {
  if (!RespondsTo(receiver, selector)) return;
  id name =
      NewString(std::u16string(name_utf8, name_utf8 + std::char_traits<char>::length(name_utf8)));
  id note = NewNotification(name, object, nil);
  objc_release(name);
  objc_retain(receiver);
  objc_msgSend(receiver, sel_registerName(selector), note);
  objc_release(receiver);
  objc_release(note);
}

void SendNotificationReusing(id* cache, id receiver, const char* selector, const char* name_utf8,
                             id object) {
  if (!RespondsTo(receiver, selector)) return;
  if (!*cache || objc_retainCount(*cache) != 1) {
    objc_release(*cache);  // a receiver kept the old one: it stays as it is
    id name = MakeStringFromUtf8(name_utf8);
    *cache = NewNotification(name, nil, nil);
  }
  NotificationState& state = State(*cache);
  state.object = objc_retain(object);
  objc_retain(receiver);
  objc_msgSend(receiver, sel_registerName(selector), *cache);
  objc_release(receiver);
  objc_release(state.object);
  state.object = nil;
}

}  // namespace foundation
