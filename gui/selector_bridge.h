// The selector-string bridge: sends any platform message written as text, such as
// "NSUserDefaults standardUserDefaults" or "setObject:$" + "forKey:$", to an object or to a
// class named in the text.
//
// A message is an optional class name and a space, then the selector in one to eight parts.
// A part may end in a marker that says how its argument travels:
//   "$"  the argument is a string of the message's own width, passed as an NSString;
//   "@"  the argument is the address of the bytes to pass (doubles, sizes, rectangles);
//   none the argument word itself is passed.
// A message is wide (runtime strings of 16-bit units) when the second byte of part 1 is 0,
// else narrow (8-bit characters); an empty part 1 leaves that to the first part that is not
// empty. In a wide message only the low byte of each unit counts: a unit whose low byte is 0
// ends its part. Messages without markers, with at most four arguments and
// no result buffer take the direct path (objc_msgSend with 64-bit words); all others go through
// an NSMethodSignature and an NSInvocation.
//
// Result: the direct path answers the integer result register; the invocation path answers a
// result of 1 to 8 bytes in a zeroed word (a double as its bit pattern). With a result buffer
// the whole value is written there and 0 is answered. Every failure answers 0: no such class
// or method, no class name when the target is 0, more than eight parts, or a class name or
// selector of 256 characters or more (refused rather than cut).
#pragma once

#include <cstdint>
#include <type_traits>

#include "platform/objc/runtime.h"

// The words of a message, in order: result buffer, target, part 1 ... part N, 0, argument 1 ...
// argument N.
typedef uint64_t SelectorMessage;

constexpr int kSelectorMaxParts = 8;     // parts of one message
constexpr int kSelectorNameBytes = 256;  // buffer of the class name and of the selector

uint64_t SelectorSend(const SelectorMessage* message);

uint64_t SelectorSend0(void* result, id target, const void* part);
uint64_t SelectorSend1(void* result, id target, const void* part1, uint64_t argument1);
uint64_t SelectorSend2(void* result, id target, const void* part1, uint64_t argument1,
                       const void* part2, uint64_t argument2);
uint64_t SelectorSend3(void* result, id target, const void* part1, uint64_t argument1,
                       const void* part2, uint64_t argument2, const void* part3,
                       uint64_t argument3);
uint64_t SelectorSend4(void* result, id target, const void* part1, uint64_t argument1,
                       const void* part2, uint64_t argument2, const void* part3, uint64_t argument3,
                       const void* part4, uint64_t argument4);
uint64_t SelectorSend5(void* result, id target, const void* part1, uint64_t argument1,
                       const void* part2, uint64_t argument2, const void* part3, uint64_t argument3,
                       const void* part4, uint64_t argument4, const void* part5,
                       uint64_t argument5);
uint64_t SelectorSend6(void* result, id target, const void* part1, uint64_t argument1,
                       const void* part2, uint64_t argument2, const void* part3, uint64_t argument3,
                       const void* part4, uint64_t argument4, const void* part5, uint64_t argument5,
                       const void* part6, uint64_t argument6);
uint64_t SelectorSend7(void* result, id target, const void* part1, uint64_t argument1,
                       const void* part2, uint64_t argument2, const void* part3, uint64_t argument3,
                       const void* part4, uint64_t argument4, const void* part5, uint64_t argument5,
                       const void* part6, uint64_t argument6, const void* part7,
                       uint64_t argument7);
uint64_t SelectorSend8(void* result, id target, const void* part1, uint64_t argument1,
                       const void* part2, uint64_t argument2, const void* part3, uint64_t argument3,
                       const void* part4, uint64_t argument4, const void* part5, uint64_t argument5,
                       const void* part6, uint64_t argument6, const void* part7, uint64_t argument7,
                       const void* part8, uint64_t argument8);

// A pointer or an integer as an argument word: SelectorWord(title), SelectorWord(-1).
template <class T>
uint64_t SelectorWord(T value) {
  if constexpr (std::is_null_pointer_v<T>) {
    return 0;
  } else if constexpr (std::is_pointer_v<T>) {
    return static_cast<uint64_t>(reinterpret_cast<uintptr_t>(value));
  } else {
    return static_cast<uint64_t>(static_cast<int64_t>(value));
  }
}

// The result word as an object.
inline id SelectorObject(uint64_t word) {
  return reinterpret_cast<id>(static_cast<uintptr_t>(word));
}
