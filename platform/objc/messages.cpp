// Methods and message sending: installing methods, the word path (objc_msgSend) and the
// buffer path used by typed sends and invocations.
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <set>

#include "platform/objc/class_record.h"
#include "platform/objc/message.h"
#include "platform/objc/method.h"

namespace objc {

namespace detail {

Method InstallMethod(Class cls, const char* selector, IMP imp, std::string types, bool variadic,
                     WordCaller call_words, BufferCaller call_buffers) {
  SEL sel = sel_registerName(selector);
  if (!cls || !sel || !imp) return nullptr;
  auto method = std::make_unique<objc_method>();
  method->name = sel;
  method->imp = imp;
  method->types = std::move(types);
  method->variadic = variadic;
  method->call_words = call_words;
  method->call_buffers = call_buffers;
  // Split the encoding into the result and the parameters after self and _cmd.
  const char* p = method->types.c_str();
  int index = 0;
  while (*p) {
    size_t size = 0;
    size_t alignment = 0;
    const char* end = ParseType(p, &size, &alignment);
    if (!end) return nullptr;  // only a bad StructEncoding can make this happen
    if (index == 0) {
      method->return_type.assign(p, end);
      method->return_size = size;
    } else if (index >= 3) {
      method->argument_types.emplace_back(p, end);
      method->argument_sizes.push_back(size);
    }
    p = SkipOffset(end);
    ++index;
  }
  Method installed = method.get();
  cls->record->methods[sel] = std::move(method);
  return installed;
}

void WithNoExtraArguments(void (*body)(void* context, va_list* list), void* context, ...) {
  va_list list;
  va_start(list, context);
  body(context, &list);
  va_end(list);
}

uint64_t CallMethodWithWords(Method method, id self, SEL sel, ...) {
  va_list list;
  va_start(list, sel);
  uint64_t words[kMaxArguments] = {};
  size_t count = method->argument_types.size();
  for (size_t i = 0; i < count && i < kMaxArguments; ++i) words[i] = va_arg(list, uint64_t);
  uint64_t result =
      method->call_words(method->imp, self, sel, words, method->variadic ? &list : nullptr);
  va_end(list);
  return result;
}

void ReportUnrecognizedSelector([[maybe_unused]] id receiver, [[maybe_unused]] SEL sel) {
#ifndef NDEBUG
  static std::mutex mutex;                    // sends may come from the waiting threads too
  static auto* reported = new std::set<SEL>;  // never destroyed: static destructors still send
  std::lock_guard<std::mutex> lock(mutex);
  if (!reported->insert(sel).second) return;
  const bool is_class = class_isMetaClass(object_getClass(receiver));
  std::fprintf(stderr, "%c[%s %s]: unrecognized selector sent to %s %p\n", is_class ? '+' : '-',
               class_getName(object_getClass(receiver)), sel_getName(sel),
               is_class ? "class" : "instance", static_cast<void*>(receiver));
#endif
}

Class SuperclassForSend(id self, Class cls) {
  if (!cls) return nil;
  // From a class method the search runs among metaclasses.
  if (class_isMetaClass(object_getClass(self)) && !class_isMetaClass(cls)) cls = cls->isa;
  return class_getSuperclass(cls);
}

}  // namespace detail

void InvokeMethod(Method method, id self, SEL sel, void* const* arguments, void* result) {
  if (!method || !self) return;
  method->call_buffers(method->imp, self, sel, arguments, result);
}

}  // namespace objc

extern "C" SEL method_getName(Method method) {
  return method ? method->name : nullptr;
}

extern "C" IMP method_getImplementation(Method method) {
  return method ? method->imp : nullptr;
}

extern "C" const char* method_getTypeEncoding(Method method) {
  return method ? method->types.c_str() : nullptr;
}

extern "C" unsigned method_getNumberOfArguments(Method method) {
  return method ? static_cast<unsigned>(method->argument_types.size() + 2) : 0;
}

namespace {

// Reads the fixed words of method from list and calls it; the rest of list is its variadic part.
uint64_t CallWithList(Method method, id self, SEL sel, va_list* list) {
  uint64_t words[objc::kMaxArguments] = {};
  size_t count = method->argument_types.size();
  for (size_t i = 0; i < count && i < objc::kMaxArguments; ++i) words[i] = va_arg(*list, uint64_t);
  return method->call_words(method->imp, self, sel, words, method->variadic ? list : nullptr);
}

}  // namespace

extern "C" uint64_t objc_msgSend(id self, SEL sel, ...) {
  if (!self || !sel) return 0;
  Method method = class_getInstanceMethod(object_getClass(self), sel);
  if (!method) return 0;  // an unknown selector answers 0 and does nothing
  va_list list;
  va_start(list, sel);
  uint64_t result = CallWithList(method, self, sel, &list);
  va_end(list);
  return result;
}

extern "C" uint64_t objc_msgSendSuper(objc_super* super, SEL sel, ...) {
  if (!super || !super->receiver || !sel) return 0;
  Method method = class_getInstanceMethod(super->super_class, sel);
  if (!method) return 0;
  va_list list;
  va_start(list, sel);
  uint64_t result = CallWithList(method, super->receiver, sel, &list);
  va_end(list);
  return result;
}
