// Typed message sending from C++: Send<R>(receiver, "selector:", args...) converts each
// argument to the method's declared parameter type (integers, BOOL, doubles, objects and
// structures by value) and the result to R, so doubles and structures travel correctly, which
// objc_msgSend's integer words cannot do.
//
//   id title = objc::Send(button, "title");                       // R defaults to id
//   objc::Send<void>(window, "setFrame:display:", frame, YES);
//   NSSize size = objc::Send<NSSize>(image, "size");
//   BOOL ok = objc::Send<BOOL>(object, "respondsToSelector:", sel_registerName("size"));
//   objc::SendSuper<void>(self, VoWindowClass, "setTitle:", title);   // inside an override
//
// A nil receiver or a selector the receiver does not implement answers R{} and sends nothing.
// In debug builds (without NDEBUG) the second is said on standard error, once per selector, as
// Cocoa would raise: a misspelt selector must not fail unnoticed.
#pragma once

#include <cstring>
#include <type_traits>

#include "platform/objc/method.h"
#include "platform/objc/runtime.h"
#include "platform/objc/type_encoding.h"

namespace objc {

namespace detail {

// Reads the method's fixed arguments as words and passes the rest as its variadic arguments.
uint64_t CallMethodWithWords(Method method, id self, SEL sel, ...);

inline constexpr size_t kSlotBytes = 64;  // largest argument or result Send carries (NSRect: 32)

inline bool IsSignedIntegerCode(char code) {
  return code == 'c' || code == 's' || code == 'i' || code == 'l' || code == 'q';
}

// Writes value into slot as a parameter of the encoded type (size bytes).
template <class T>
void StoreArgument(const std::string& type, size_t size, const T& value, unsigned char* slot) {
  using U = std::decay_t<const T>;  // string literals become const char*
  std::memset(slot, 0, size);
  if constexpr (std::is_arithmetic_v<U> || std::is_enum_v<U> || std::is_pointer_v<U> ||
                std::is_null_pointer_v<U>) {
    if (IsFloatingType(type.c_str())) {
      double number = 0;
      if constexpr (std::is_arithmetic_v<U>) number = static_cast<double>(value);
      if (size == sizeof(float)) {
        float single = static_cast<float>(number);
        std::memcpy(slot, &single, sizeof(single));
      } else if (size == sizeof(double)) {
        std::memcpy(slot, &number, sizeof(number));
      }
    } else if (IsIntegerType(type.c_str()) && size <= 8) {
      uint64_t word = 0;
      if constexpr (std::is_floating_point_v<U>) {
        word = static_cast<uint64_t>(static_cast<int64_t>(value));
      } else if constexpr (!std::is_null_pointer_v<U>) {
        word = ToWord<U>(value);
      }
      std::memcpy(slot, &word, size);  // little-endian: the low bytes
    }
  } else {
    static_assert(std::is_trivially_copyable_v<U>, "arguments travel as bytes");
    if (sizeof(U) == size) std::memcpy(slot, static_cast<const void*>(&value), size);
  }
}

// Reads a result of the encoded type (size bytes) from slot as R.
template <class R>
R LoadResult(const std::string& type, size_t size, const unsigned char* slot) {
  if constexpr (std::is_void_v<R>) {
    return;
  } else if constexpr (std::is_arithmetic_v<R> || std::is_enum_v<R> || std::is_pointer_v<R>) {
    if (IsFloatingType(type.c_str())) {
      double number = 0;
      if (size == sizeof(float)) {
        float single;
        std::memcpy(&single, slot, sizeof(single));
        number = single;
      } else {
        std::memcpy(&number, slot, sizeof(number));
      }
      if constexpr (std::is_arithmetic_v<R>) return static_cast<R>(number);
      return R{};
    }
    if (!IsIntegerType(type.c_str()) || size > 8) return R{};
    uint64_t word = 0;
    std::memcpy(&word, slot, size);
    if (size < 8 && IsSignedIntegerCode(type[0]) && (word >> (size * 8 - 1)) & 1) {
      word |= ~uint64_t{0} << (size * 8);  // sign-extend
    }
    if constexpr (std::is_floating_point_v<R>) {
      return static_cast<R>(static_cast<int64_t>(word));
    } else {
      return FromWord<R>(word);
    }
  } else {
    static_assert(std::is_trivially_copyable_v<R>, "results travel as bytes");
    R value{};
    if (sizeof(R) == size) std::memcpy(static_cast<void*>(&value), slot, size);
    return value;
  }
}

template <class R, class... A, size_t... I>
R SendThrough(Method method, id receiver, SEL sel, std::index_sequence<I...>, const A&... args) {
  if (method->variadic) {
    // Extra arguments go through C varargs exactly as given.
    uint64_t word = CallMethodWithWords(method, receiver, sel, args...);
    if constexpr (std::is_void_v<R>) {
      return;
    } else {
      unsigned char slot[8];
      std::memcpy(slot, &word, sizeof(word));
      return LoadResult<R>(method->return_type, method->return_size > 8 ? 0 : method->return_size,
                           slot);
    }
  } else {
    if (method->argument_types.size() != sizeof...(A) || method->return_size > kSlotBytes) {
      return R();  // the call does not match the method: send nothing
    }
    for (size_t size : method->argument_sizes) {
      if (size > kSlotBytes) return R();
    }
    alignas(16) unsigned char slots[sizeof...(A) > 0 ? sizeof...(A) : 1][kSlotBytes];
    void* pointers[sizeof...(A) > 0 ? sizeof...(A) : 1] = {};
    (void)slots;  // unused when there are no arguments
    ((StoreArgument(method->argument_types[I], method->argument_sizes[I], args, slots[I]),
      pointers[I] = slots[I]),
     ...);
    alignas(16) unsigned char result[kSlotBytes] = {};
    InvokeMethod(method, receiver, sel, pointers, result);
    return LoadResult<R>(method->return_type, method->return_size, result);
  }
}

// Says on standard error, in debug builds and once per selector, that receiver does not
// implement sel. Nothing in release builds.
void ReportUnrecognizedSelector(id receiver, SEL sel);

// The class where a super send starts looking: the superclass of cls, on the metaclass side
// when the receiver is a class object.
Class SuperclassForSend(id self, Class cls);

}  // namespace detail

// Sends sel to receiver (an object or a class). Answers R{} for a nil receiver or when the
// receiver does not implement sel, or when the arguments do not match the method's count.
template <class R = id, class... A>
R Send(id receiver, SEL sel, const A&... args) {
  if (!receiver || !sel) return R();
  Method method = class_getInstanceMethod(object_getClass(receiver), sel);
  if (!method) {
    detail::ReportUnrecognizedSelector(receiver, sel);
    return R();
  }
  return detail::SendThrough<R>(method, receiver, sel, std::index_sequence_for<A...>{}, args...);
}

template <class R = id, class... A>
R Send(id receiver, const char* selector, const A&... args) {
  return Send<R>(receiver, sel_registerName(selector), args...);
}

// Calls the superclass's implementation of sel from a method defined in cls (pass the class,
// not the metaclass, also from class methods).
template <class R = id, class... A>
R SendSuper(id self, Class cls, SEL sel, const A&... args) {
  if (!self || !sel) return R();
  Method method = class_getInstanceMethod(detail::SuperclassForSend(self, cls), sel);
  if (!method) return R();
  return detail::SendThrough<R>(method, self, sel, std::index_sequence_for<A...>{}, args...);
}

template <class R = id, class... A>
R SendSuper(id self, Class cls, const char* selector, const A&... args) {
  return SendSuper<R>(self, cls, sel_registerName(selector), args...);
}

}  // namespace objc
