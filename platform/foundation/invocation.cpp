// NSInvocation: a message held as data (target, selector, argument bytes laid out by a method
// signature) that can be sent, and its result bytes kept for reading.
#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/foundation/foundation.h"
#include "platform/foundation/method_signature.h"
#include "platform/objc/objc.h"

namespace {

// The instance variable of an invocation.
struct InvocationFields {
  id signature = nil;                                 // retained NSMethodSignature
  id target = nil;                                    // not retained, as on the original platform
  SEL selector = nullptr;                             // the message to send
  std::vector<std::vector<unsigned char>> arguments;  // bytes of arguments 2...n, each its size
  std::vector<unsigned char> result;                  // bytes of the result (return length)
};

Class gInvocation;       // NSInvocation
ptrdiff_t gFields = -1;  // offset of InvocationFields

InvocationFields& Fields(id self) {
  return objc::FieldAt<InvocationFields>(self, gFields);
}

id WithSignature(Class cls, SEL, id signature) {
  const auto* arguments = foundation::SignatureArguments(signature);
  if (!arguments) return nil;
  id invocation = class_createInstance(cls, 0);
  if (!invocation) return nil;
  InvocationFields& f = Fields(invocation);
  f.signature = objc_retain(signature);
  for (size_t i = 2; i < arguments->size(); ++i) {
    f.arguments.emplace_back((*arguments)[i].size, 0);
  }
  f.result.assign(foundation::SignatureReturn(signature)->size, 0);
  return objc_autorelease(invocation);
}

void Dealloc(id self, SEL sel) {
  objc_release(Fields(self).signature);
  objc::SendSuper<void>(self, gInvocation, sel);
}

id MethodSignature(id self, SEL) {
  return Fields(self).signature;
}
void SetSelector(id self, SEL, SEL selector) {
  Fields(self).selector = selector;
}
SEL Selector(id self, SEL) {
  return Fields(self).selector;
}
void SetTarget(id self, SEL, id target) {
  Fields(self).target = target;
}
id Target(id self, SEL) {
  return Fields(self).target;
}

// Index 0 is the target and 1 the selector; the others copy the argument's size in bytes.
// An index out of range does nothing.
void SetArgument(id self, SEL, const void* bytes, NSInteger index) {
  InvocationFields& f = Fields(self);
  if (!bytes) return;
  if (index == 0) {
    std::memcpy(&f.target, bytes, sizeof(id));
  } else if (index == 1) {
    std::memcpy(&f.selector, bytes, sizeof(SEL));
  } else if (index >= 2 && static_cast<size_t>(index - 2) < f.arguments.size()) {
    auto& slot = f.arguments[index - 2];
    if (!slot.empty()) std::memcpy(slot.data(), bytes, slot.size());
  }
}
void GetArgument(id self, SEL, void* bytes, NSInteger index) {
  InvocationFields& f = Fields(self);
  if (!bytes) return;
  if (index == 0) {
    std::memcpy(bytes, &f.target, sizeof(id));
  } else if (index == 1) {
    std::memcpy(bytes, &f.selector, sizeof(SEL));
  } else if (index >= 2 && static_cast<size_t>(index - 2) < f.arguments.size()) {
    auto& slot = f.arguments[index - 2];
    if (!slot.empty()) std::memcpy(bytes, slot.data(), slot.size());
  }
}
void GetReturnValue(id self, SEL, void* bytes) {
  auto& result = Fields(self).result;
  if (bytes && !result.empty()) std::memcpy(bytes, result.data(), result.size());
}
void SetReturnValue(id self, SEL, const void* bytes) {
  auto& result = Fields(self).result;
  if (bytes && !result.empty()) std::memcpy(result.data(), bytes, result.size());
}

// Sends the message. Nothing is sent (and the result stays zero) when there is no target, the
// target does not implement the selector, or the method's parameter sizes differ from the
// signature's, since the bytes could not be read safely then.
void Invoke(id self, SEL) {
  InvocationFields& f = Fields(self);
  std::fill(f.result.begin(), f.result.end(), 0);
  if (!f.target || !f.selector) return;
  Method method = class_getInstanceMethod(object_getClass(f.target), f.selector);
  if (!method) return;
  if (method->argument_sizes.size() != f.arguments.size()) return;
  std::vector<void*> pointers;
  for (size_t i = 0; i < f.arguments.size(); ++i) {
    if (method->argument_sizes[i] != f.arguments[i].size()) return;
    pointers.push_back(f.arguments[i].data());
  }
  // The method writes its whole result; the signature's length decides what is kept.
  std::vector<unsigned char> result(std::max(method->return_size, f.result.size()) + 8, 0);
  objc::InvokeMethod(method, f.target, f.selector, pointers.data(), result.data());
  if (!f.result.empty()) std::memcpy(f.result.data(), result.data(), f.result.size());
}
void InvokeWithTarget(id self, SEL sel, id target) {
  Fields(self).target = target;
  Invoke(self, sel);
}

}  // namespace

namespace foundation {

void LoadNSInvocationClass() {
  gInvocation = objc::DefineClass("NSInvocation", "NSObject");
  gFields = objc::AddCxxIvar<InvocationFields>(gInvocation, "_fields");
  objc::AddClassMethod(gInvocation, "invocationWithMethodSignature:", &WithSignature);
  objc::AddMethod(gInvocation, "dealloc", &Dealloc);
  objc::AddMethod(gInvocation, "methodSignature", &MethodSignature);
  objc::AddMethod(gInvocation, "setSelector:", &SetSelector);
  objc::AddMethod(gInvocation, "selector", &Selector);
  objc::AddMethod(gInvocation, "setTarget:", &SetTarget);
  objc::AddMethod(gInvocation, "target", &Target);
  objc::AddMethod(gInvocation, "setArgument:atIndex:", &SetArgument);
  objc::AddMethod(gInvocation, "getArgument:atIndex:", &GetArgument);
  objc::AddMethod(gInvocation, "getReturnValue:", &GetReturnValue);
  objc::AddMethod(gInvocation, "setReturnValue:", &SetReturnValue);
  objc::AddMethod(gInvocation, "invoke", &Invoke);
  objc::AddMethod(gInvocation, "invokeWithTarget:", &InvokeWithTarget);
}

}  // namespace foundation
