// Methods: the record behind a Method, and the template adaptor that turns a plain C++ function
// (self, _cmd, arguments...) into a method with its type encoding and its two callers.
//
//   static id Title(id self, SEL) { ... }
//   static void SetTitle(id self, SEL, id title) { ... }
//   static void SetFrame(id self, SEL, NSRect frame) { ... }
//   objc::AddMethod(cls, "title", &Title);           // encoding "@@:"
//   objc::AddMethod(cls, "setTitle:", &SetTitle);    // encoding "v@:@"
//   objc::AddMethod(cls, "setFrame:", &SetFrame);    // "v@:{CGRect={CGPoint=dd}{CGSize=dd}}"
//   objc::AddClassMethod(cls, "shared", &Shared);    // into the metaclass
//
// self may be declared as id, Class or a pointer to any record derived from objc_object.
// A variadic method (stringWithFormat:) takes an objc::VarArgs* as its last parameter.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <cstring>
#include <string>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#include "platform/objc/runtime.h"
#include "platform/objc/type_encoding.h"

namespace objc {

// The extra arguments of a variadic method; read them with va_arg(args->list, T).
struct VarArgs {
  va_list list;  // positioned at the first argument after the fixed ones
};

// Calls the implementation with the fixed arguments as 64-bit words; rest holds the variadic
// arguments (nullptr when the method is not variadic). Answers the result as a word.
typedef uint64_t (*WordCaller)(IMP imp, id self, SEL sel, const uint64_t* words, va_list* rest);
// Calls the implementation with each argument read from its own buffer (laid out as its type)
// and stores the result, when there is one, at result.
typedef void (*BufferCaller)(IMP imp, id self, SEL sel, void* const* arguments, void* result);

inline constexpr unsigned kMaxArguments = 16;  // fixed parameters after self and _cmd

}  // namespace objc

// One method of a class; owned by the class, alive for the whole run.
struct objc_method {
  SEL name;                                 // the selector it answers
  IMP imp;                                  // the C++ function, cast
  std::string types;                        // full encoding: result, self, _cmd, parameters
  std::string return_type;                  // encoding of the result
  size_t return_size;                       // bytes of the result (0 for void)
  std::vector<std::string> argument_types;  // encodings of the parameters after _cmd
  std::vector<size_t> argument_sizes;       // their sizes in bytes
  bool variadic;                            // takes further arguments through objc::VarArgs
  objc::WordCaller call_words;              // the direct path
  objc::BufferCaller call_buffers;          // the invocation path
};

namespace objc {

// --- Adaptor internals ---
namespace detail {

template <class T>
T FromWord(uint64_t word) {
  using U = std::remove_cv_t<T>;
  if constexpr (std::is_pointer_v<U>) {
    return reinterpret_cast<U>(static_cast<uintptr_t>(word));
  } else if constexpr (std::is_same_v<U, bool>) {
    return (word & 0xff) != 0;
  } else if constexpr (std::is_integral_v<U> || std::is_enum_v<U>) {
    return static_cast<U>(word);
  } else {
    return U{};  // floating-point and structure parameters do not travel as words
  }
}

template <class T>
uint64_t ToWord(const T& value) {
  using U = std::remove_cv_t<T>;
  if constexpr (std::is_pointer_v<U>) {
    return static_cast<uint64_t>(reinterpret_cast<uintptr_t>(value));
  } else if constexpr (std::is_same_v<U, bool>) {
    return value ? 1 : 0;
  } else if constexpr (std::is_enum_v<U>) {
    return static_cast<uint64_t>(
        static_cast<int64_t>(static_cast<std::underlying_type_t<U>>(value)));
  } else if constexpr (std::is_integral_v<U> && std::is_signed_v<U>) {
    return static_cast<uint64_t>(static_cast<int64_t>(value));
  } else if constexpr (std::is_integral_v<U>) {
    return static_cast<uint64_t>(value);
  } else {
    return 0;  // floating-point and structure results are not available as words
  }
}

template <class T>
T FromBuffer(const void* buffer) {
  std::remove_cv_t<T> value;
  std::memcpy(static_cast<void*>(&value), buffer, sizeof(value));
  return value;
}

template <class Self, class R, class... A>
using Function = R (*)(Self, SEL, A...);

template <class Self, class R, class... A, size_t... I>
uint64_t CallWordsImpl(IMP imp, id self, SEL sel, const uint64_t* words,
                       std::index_sequence<I...>) {
  auto fn = reinterpret_cast<Function<Self, R, A...>>(imp);
  if constexpr (std::is_void_v<R>) {
    fn(static_cast<Self>(self), sel, FromWord<A>(words[I])...);
    return 0;
  } else {
    return ToWord<R>(fn(static_cast<Self>(self), sel, FromWord<A>(words[I])...));
  }
}

template <class Self, class R, class... A>
uint64_t CallWords(IMP imp, id self, SEL sel, const uint64_t* words, va_list*) {
  return CallWordsImpl<Self, R, A...>(imp, self, sel, words, std::index_sequence_for<A...>{});
}

template <class Self, class R, class... A, size_t... I>
void CallBuffersImpl(IMP imp, id self, SEL sel, void* const* arguments, void* result,
                     std::index_sequence<I...>) {
  auto fn = reinterpret_cast<Function<Self, R, A...>>(imp);
  if constexpr (std::is_void_v<R>) {
    fn(static_cast<Self>(self), sel, FromBuffer<A>(arguments[I])...);
  } else {
    R value = fn(static_cast<Self>(self), sel, FromBuffer<A>(arguments[I])...);
    if (result) std::memcpy(result, static_cast<const void*>(&value), sizeof(value));
  }
}

template <class Self, class R, class... A>
void CallBuffers(IMP imp, id self, SEL sel, void* const* arguments, void* result) {
  CallBuffersImpl<Self, R, A...>(imp, self, sel, arguments, result,
                                 std::index_sequence_for<A...>{});
}

// Variadic methods: R fn(Self, SEL, Fixed..., VarArgs*). Fixed is the pack without its last.
template <class Self, class R, class... Fixed>
struct Variadic {
  using Fn = R (*)(Self, SEL, Fixed..., VarArgs*);

  template <size_t... I>
  static uint64_t Words(IMP imp, id self, SEL sel, const uint64_t* words, va_list* rest,
                        std::index_sequence<I...>) {
    VarArgs args;
    va_copy(args.list, *rest);
    uint64_t word = 0;
    if constexpr (std::is_void_v<R>) {
      reinterpret_cast<Fn>(imp)(static_cast<Self>(self), sel, FromWord<Fixed>(words[I])..., &args);
    } else {
      word = ToWord<R>(reinterpret_cast<Fn>(imp)(static_cast<Self>(self), sel,
                                                 FromWord<Fixed>(words[I])..., &args));
    }
    va_end(args.list);
    return word;
  }
  static uint64_t CallWords(IMP imp, id self, SEL sel, const uint64_t* words, va_list* rest) {
    return Words(imp, self, sel, words, rest, std::index_sequence_for<Fixed...>{});
  }

  // The invocation path passes no extra arguments: an empty va_list is made by a variadic
  // helper (WithNoExtraArguments) that hands its own list to Buffers.
  struct BufferCall {
    IMP imp;
    id self;
    SEL sel;
    void* const* arguments;
    void* result;
  };
  template <size_t... I>
  static void Buffers(BufferCall* call, va_list* rest, std::index_sequence<I...>) {
    VarArgs args;
    va_copy(args.list, *rest);
    auto fn = reinterpret_cast<Fn>(call->imp);
    if constexpr (std::is_void_v<R>) {
      fn(static_cast<Self>(call->self), call->sel, FromBuffer<Fixed>(call->arguments[I])..., &args);
    } else {
      R value = fn(static_cast<Self>(call->self), call->sel,
                   FromBuffer<Fixed>(call->arguments[I])..., &args);
      if (call->result) std::memcpy(call->result, static_cast<const void*>(&value), sizeof(value));
    }
    va_end(args.list);
  }
  static void BuffersThunk(void* context, va_list* rest) {
    Buffers(static_cast<BufferCall*>(context), rest, std::index_sequence_for<Fixed...>{});
  }
  static void CallBuffers(IMP imp, id self, SEL sel, void* const* arguments, void* result);
  static std::string Encoding() {
    std::string encoding;
    ((encoding += EncodingOf<Fixed>()), ...);
    return encoding;
  }
};

// Calls body(context, list) with an empty argument list.
void WithNoExtraArguments(void (*body)(void* context, va_list* list), void* context, ...);

template <class Self, class R, class... Fixed>
void Variadic<Self, R, Fixed...>::CallBuffers(IMP imp, id self, SEL sel, void* const* arguments,
                                              void* result) {
  BufferCall call{imp, self, sel, arguments, result};
  WithNoExtraArguments(&BuffersThunk, &call);
}

// Splits the parameter pack of a variadic method into its fixed part.
template <class Self, class R, class Seen, class... Rest>
struct SplitVariadic;
template <class Self, class R, class... Seen>
struct SplitVariadic<Self, R, std::tuple<Seen...>, VarArgs*> {
  using type = Variadic<Self, R, Seen...>;
};
template <class Self, class R, class... Seen, class Next, class... Rest>
struct SplitVariadic<Self, R, std::tuple<Seen...>, Next, Rest...> {
  using type = typename SplitVariadic<Self, R, std::tuple<Seen..., Next>, Rest...>::type;
};

template <class Self, class R, class... A>
void CheckSignature() {
  static_assert(std::is_pointer_v<Self> &&
                    std::is_base_of_v<objc_object, std::remove_cv_t<std::remove_pointer_t<Self>>>,
                "a method's first parameter is self: id, Class or a pointer to an object record");
  static_assert(sizeof...(A) <= kMaxArguments, "too many parameters for a method");
  static_assert((std::is_trivially_copyable_v<A> && ...),
                "method parameters travel as bytes and must be trivially copyable");
}

// Registers a method record; replaces an existing method of the same class. Answers it.
Method InstallMethod(Class cls, const char* selector, IMP imp, std::string types, bool variadic,
                     WordCaller call_words, BufferCaller call_buffers);

template <class... A>
constexpr bool EndsWithVarArgs() {
  if constexpr (sizeof...(A) == 0) {
    return false;
  } else {
    return std::is_same_v<std::tuple_element_t<sizeof...(A) - 1, std::tuple<A...>>, VarArgs*>;
  }
}

template <class... A>
std::string ParameterEncodings() {
  std::string encoding;
  ((encoding += EncodingOf<A>()), ...);
  return encoding;
}

}  // namespace detail

// --- Defining methods ---

// Adds (or replaces) the instance method selector of cls, implemented by fn.
template <class Self, class R, class... A>
Method AddMethod(Class cls, const char* selector, R (*fn)(Self, SEL, A...)) {
  detail::CheckSignature<Self, R, A...>();
  if constexpr (detail::EndsWithVarArgs<A...>()) {
    using V = typename detail::SplitVariadic<Self, R, std::tuple<>, A...>::type;
    std::string types = std::string(EncodingOf<R>()) + "@:" + V::Encoding();
    return detail::InstallMethod(cls, selector, reinterpret_cast<IMP>(fn), types, true,
                                 &V::CallWords, &V::CallBuffers);
  } else {
    std::string types = std::string(EncodingOf<R>()) + "@:" + detail::ParameterEncodings<A...>();
    return detail::InstallMethod(cls, selector, reinterpret_cast<IMP>(fn), types, false,
                                 &detail::CallWords<Self, R, A...>,
                                 &detail::CallBuffers<Self, R, A...>);
  }
}

// Adds a class method: an instance method of the class's metaclass.
template <class Self, class R, class... A>
Method AddClassMethod(Class cls, const char* selector, R (*fn)(Self, SEL, A...)) {
  return AddMethod(object_getClass(cls), selector, fn);
}

// Calls method on self with each argument read from its own buffer and the result written
// to result (return_size bytes; may be nullptr). Variadic methods receive no extra arguments.
void InvokeMethod(Method method, id self, SEL sel, void* const* arguments, void* result);

}  // namespace objc
