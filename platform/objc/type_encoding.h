// Objective-C type encodings: derived from C++ types at compile time, and measured at run time
// (size and alignment of one encoded type) for method signatures and invocations.
#pragma once

#include <cstddef>
#include <type_traits>

#include "platform/objc/geometry.h"
#include "platform/objc/runtime.h"

namespace objc {

// The encoding of a C++ parameter or result type: id '@', Class '#', SEL ':', char* '*',
// other pointers '^v', BOOL/char 'c', int 'i', long 'q', double 'd', structures through
// StructEncoding (geometry.h), enumerations as their underlying type.
template <class T>
constexpr const char* EncodingOf() {
  using U = std::remove_cv_t<T>;
  if constexpr (std::is_void_v<U>) {
    return "v";
  } else if constexpr (std::is_same_v<U, Class> || std::is_same_v<U, const objc_class*>) {
    return "#";
  } else if constexpr (std::is_same_v<U, SEL>) {
    return ":";
  } else if constexpr (std::is_pointer_v<U> &&
                       std::is_base_of_v<objc_object, std::remove_cv_t<std::remove_pointer_t<U>>>) {
    return "@";
  } else if constexpr (std::is_same_v<U, char*> || std::is_same_v<U, const char*>) {
    return "*";
  } else if constexpr (std::is_pointer_v<U> || std::is_null_pointer_v<U>) {
    return "^v";
  } else if constexpr (std::is_same_v<U, bool>) {
    return "B";
  } else if constexpr (std::is_same_v<U, signed char> || std::is_same_v<U, char>) {
    return "c";
  } else if constexpr (std::is_same_v<U, unsigned char>) {
    return "C";
  } else if constexpr (std::is_same_v<U, short>) {
    return "s";
  } else if constexpr (std::is_same_v<U, unsigned short> || std::is_same_v<U, char16_t>) {
    return "S";
  } else if constexpr (std::is_same_v<U, int>) {
    return "i";
  } else if constexpr (std::is_same_v<U, unsigned int> || std::is_same_v<U, char32_t>) {
    return "I";
  } else if constexpr (std::is_same_v<U, long> || std::is_same_v<U, long long>) {
    return "q";
  } else if constexpr (std::is_same_v<U, unsigned long> || std::is_same_v<U, unsigned long long>) {
    return "Q";
  } else if constexpr (std::is_same_v<U, float>) {
    return "f";
  } else if constexpr (std::is_same_v<U, double>) {
    return "d";
  } else if constexpr (std::is_enum_v<U>) {
    return EncodingOf<std::underlying_type_t<U>>();
  } else {
    static_assert(
        requires { StructEncoding<U>::value; },
        "a structure needs an objc::StructEncoding specialization");
    return StructEncoding<U>::value;
  }
}

// True when EncodingOf<T> is defined: scalars, pointers and structures with a StructEncoding.
template <class T>
constexpr bool HasEncoding() {
  using U = std::remove_cv_t<T>;
  if constexpr (std::is_class_v<U> || std::is_union_v<U>) {
    return requires {
      StructEncoding<U>::value;
    };
  } else {
    return true;
  }
}

// Reads one type at the start of type (after any qualifiers rnNoORV): sets its size and
// alignment in bytes and answers the address just past it (offset digits that follow are not
// skipped). nullptr when the encoding is malformed.
const char* ParseType(const char* type, size_t* size, size_t* alignment);

// Skips the offset digits that may follow a type in a method encoding ("v24@0:8").
const char* SkipOffset(const char* type);

// True for the encodings that travel as one integer word: integers, BOOL, pointers, objects.
bool IsIntegerType(const char* type);
// True for 'f' and 'd'.
bool IsFloatingType(const char* type);

}  // namespace objc
