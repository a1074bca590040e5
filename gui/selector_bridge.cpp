// The selector-string bridge's engine and its front doors.
#include "gui/selector_bridge.h"

#include "gui/cocoa.h"
#include "platform/objc/objc.h"

namespace {

// Reads the characters of one message part, wide or narrow. Only the low byte of a wide unit
// takes part in names, so a unit whose low byte is 0 ends the part like its terminator, and one
// whose low byte is a space is a space.
struct PartReader {
  const unsigned char* bytes;  // the part
  int step;                    // 2 for a wide message, 1 for a narrow one

  char Char(int index) const { return static_cast<char>(bytes[index * step]); }
};

// Makes the NSString for a "$" argument (autoreleased).
id StringArgument(uint64_t word, bool wide) {
  Class string_class = CocoaClass("NSString");
  if (wide) {
    static id format = objc::Retain(CocoaStringFromUtf8("%S"));
    return SelectorObject(
        objc_msgSend(reinterpret_cast<id>(string_class), sel_registerName("stringWithFormat:"),
                     format, reinterpret_cast<const char16_t*>(static_cast<uintptr_t>(word))));
  }
  return objc::Send(string_class, "stringWithCString:encoding:",
                    reinterpret_cast<const char*>(static_cast<uintptr_t>(word)), NSUInteger{5});
}

uint64_t SendDirect(id receiver, SEL sel, const uint64_t* arguments, int count) {
  switch (count) {
    case 0:
      return objc_msgSend(receiver, sel);
    case 1:
      return objc_msgSend(receiver, sel, arguments[0]);
    case 2:
      return objc_msgSend(receiver, sel, arguments[0], arguments[1]);
    case 3:
      return objc_msgSend(receiver, sel, arguments[0], arguments[1], arguments[2]);
    default:
      return objc_msgSend(receiver, sel, arguments[0], arguments[1], arguments[2], arguments[3]);
  }
}

uint64_t SendThroughInvocation(id receiver, SEL sel, Method method, const uint64_t* arguments,
                               const char* markers, int count, bool wide, void* result) {
  id signature = objc::Send(CocoaClass("NSMethodSignature"),
                            "signatureWithObjCTypes:", method_getTypeEncoding(method));
  id invocation =
      objc::Send(CocoaClass("NSInvocation"), "invocationWithMethodSignature:", signature);
  if (!invocation) return 0;
  objc::Send<void>(invocation, "setSelector:", sel);
  for (int k = 0; k < count; ++k) {
    uint64_t word = arguments[k];
    char marker = markers[k];
    if (marker && word == 0) continue;  // the argument stays zero or nil
    if (marker == '$') word = SelectorWord(StringArgument(word, wide));
    void* source = marker == '@' ? reinterpret_cast<void*>(static_cast<uintptr_t>(word))
                                 : static_cast<void*>(&word);
    objc::Send<void>(invocation, "setArgument:atIndex:", source, NSInteger{k + 2});
  }
  objc::Send<void>(invocation, "invokeWithTarget:", receiver);
  NSUInteger length = objc::Send<NSUInteger>(signature, "methodReturnLength");
  if (length < 1) return 0;
  if (result) {
    objc::Send<void>(invocation, "getReturnValue:", result);
    return 0;
  }
  if (length > 8) return 0;
  uint64_t word = 0;
  objc::Send<void>(invocation, "getReturnValue:", static_cast<void*>(&word));
  return word;
}

}  // namespace

uint64_t SelectorSend(const SelectorMessage* message) {
  if (!message) return 0;
  void* result = reinterpret_cast<void*>(static_cast<uintptr_t>(message[0]));
  id receiver = SelectorObject(message[1]);
  const uint64_t* parts = message + 2;

  int part_count = 0;
  while (parts[part_count] != 0) {
    if (part_count == kSelectorMaxParts) return 0;  // a ninth part: refused
    ++part_count;
  }
  if (part_count == 0) return 0;
  const uint64_t* arguments = parts + part_count + 1;

  // Width, decided once from the second byte of part 1. A narrow part 1 of a single character
  // would read as wide; no platform selector or class name is that short. An empty part 1 has
  // no second byte to look at (a narrow one ends at its first): the first part that is not
  // empty decides, and the empty one adds nothing to the selector.
  auto* first = reinterpret_cast<const unsigned char*>(static_cast<uintptr_t>(parts[0]));
  const unsigned char* decider = first;
  for (int k = 1; decider[0] == 0 && k < part_count; ++k) {
    decider = reinterpret_cast<const unsigned char*>(static_cast<uintptr_t>(parts[k]));
  }
  const bool wide = decider[0] == 0 || decider[1] == 0;
  const int step = wide ? 2 : 1;

  // Receiver by name: "ClassName selector...".
  int part1_start = 0;  // index of the first selector character of part 1
  if (!receiver) {
    PartReader reader{first, step};
    char name[kSelectorNameBytes];
    int length = 0;
    char c;
    while ((c = reader.Char(length)) != 0 && c != ' ') {
      if (length == kSelectorNameBytes - 1) return 0;
      name[length++] = c;
    }
    if (c != ' ') return 0;  // no class name: nothing to send to
    name[length] = 0;
    receiver = reinterpret_cast<id>(objc_lookUpClass(name));
    if (!receiver) return 0;
    part1_start = length + 1;
  }

  // Selector and markers.
  char selector[kSelectorNameBytes];
  int selector_length = 0;
  char markers[kSelectorMaxParts] = {};
  bool has_marker = false;
  for (int k = 0; k < part_count; ++k) {
    PartReader reader{reinterpret_cast<const unsigned char*>(static_cast<uintptr_t>(parts[k])),
                      step};
    int appended = 0;
    for (int i = k == 0 ? part1_start : 0;; ++i) {
      const char c = reader.Char(i);
      if (c == 0) break;
      if (selector_length == kSelectorNameBytes - 1) return 0;
      selector[selector_length++] = c;
      ++appended;
    }
    char last = appended > 0 ? selector[selector_length - 1] : 0;
    if (last == '$' || last == '@') {
      markers[k] = last;
      has_marker = true;
      --selector_length;
    }
  }
  int argument_count = part_count;
  if (selector_length == 0 || selector[selector_length - 1] != ':') --argument_count;
  if (argument_count == 0 && part_count == 1 && markers[0]) {
    // A one-part name keeps its trailing mark. The message still counts as marked, so it takes
    // the invocation path (a floating-point or structure result is then available).
    selector[selector_length++] = markers[0];
    markers[0] = 0;
  }
  selector[selector_length] = 0;
  if (selector_length == 0) return 0;

  SEL sel = sel_registerName(selector);
  Method method = class_getInstanceMethod(object_getClass(receiver), sel);
  if (!method) return 0;

  if (argument_count <= 4 && !has_marker && !result) {
    return SendDirect(receiver, sel, arguments, argument_count);
  }
  return SendThroughInvocation(receiver, sel, method, arguments, markers, argument_count, wide,
                               result);
}

// --- Front doors ---

namespace {

uint64_t Word(const void* pointer) {
  return static_cast<uint64_t>(reinterpret_cast<uintptr_t>(pointer));
}

}  // namespace

uint64_t SelectorSend0(void* result, id target, const void* part) {
  const SelectorMessage message[] = {Word(result), Word(target), Word(part), 0, 0};
  return SelectorSend(message);
}

uint64_t SelectorSend1(void* result, id target, const void* part1, uint64_t argument1) {
  const SelectorMessage message[] = {Word(result), Word(target), Word(part1), 0, argument1};
  return SelectorSend(message);
}

uint64_t SelectorSend2(void* result, id target, const void* part1, uint64_t argument1,
                       const void* part2, uint64_t argument2) {
  const SelectorMessage message[] = {Word(result), Word(target), Word(part1), Word(part2), 0,
                                     argument1,    argument2};
  return SelectorSend(message);
}

uint64_t SelectorSend3(void* result, id target, const void* part1, uint64_t argument1,
                       const void* part2, uint64_t argument2, const void* part3,
                       uint64_t argument3) {
  const SelectorMessage message[] = {Word(result), Word(target), Word(part1),
                                     Word(part2),  Word(part3),  0,
                                     argument1,    argument2,    argument3};
  return SelectorSend(message);
}

uint64_t SelectorSend4(void* result, id target, const void* part1, uint64_t argument1,
                       const void* part2, uint64_t argument2, const void* part3, uint64_t argument3,
                       const void* part4, uint64_t argument4) {
  const SelectorMessage message[] = {Word(result), Word(target), Word(part1), Word(part2),
                                     Word(part3),  Word(part4),  0,           argument1,
                                     argument2,    argument3,    argument4};
  return SelectorSend(message);
}

uint64_t SelectorSend5(void* result, id target, const void* part1, uint64_t argument1,
                       const void* part2, uint64_t argument2, const void* part3, uint64_t argument3,
                       const void* part4, uint64_t argument4, const void* part5,
                       uint64_t argument5) {
  const SelectorMessage message[] = {Word(result), Word(target), Word(part1), Word(part2),
                                     Word(part3),  Word(part4),  Word(part5), 0,
                                     argument1,    argument2,    argument3,   argument4,
                                     argument5};
  return SelectorSend(message);
}

uint64_t SelectorSend6(void* result, id target, const void* part1, uint64_t argument1,
                       const void* part2, uint64_t argument2, const void* part3, uint64_t argument3,
                       const void* part4, uint64_t argument4, const void* part5, uint64_t argument5,
                       const void* part6, uint64_t argument6) {
  const SelectorMessage message[] = {
      Word(result), Word(target), Word(part1), Word(part2), Word(part3),
      Word(part4),  Word(part5),  Word(part6), 0,           argument1,
      argument2,    argument3,    argument4,   argument5,   argument6};
  return SelectorSend(message);
}

uint64_t SelectorSend7(void* result, id target, const void* part1, uint64_t argument1,
                       const void* part2, uint64_t argument2, const void* part3, uint64_t argument3,
                       const void* part4, uint64_t argument4, const void* part5, uint64_t argument5,
                       const void* part6, uint64_t argument6, const void* part7,
                       uint64_t argument7) {
  const SelectorMessage message[] = {
      Word(result), Word(target), Word(part1), Word(part2), Word(part3), Word(part4),
      Word(part5),  Word(part6),  Word(part7), 0,           argument1,   argument2,
      argument3,    argument4,    argument5,   argument6,   argument7};
  return SelectorSend(message);
}

uint64_t SelectorSend8(void* result, id target, const void* part1, uint64_t argument1,
                       const void* part2, uint64_t argument2, const void* part3, uint64_t argument3,
                       const void* part4, uint64_t argument4, const void* part5, uint64_t argument5,
                       const void* part6, uint64_t argument6, const void* part7, uint64_t argument7,
                       const void* part8, uint64_t argument8) {
  const SelectorMessage message[] = {
      Word(result), Word(target), Word(part1), Word(part2), Word(part3), Word(part4), Word(part5),
      Word(part6),  Word(part7),  Word(part8), 0,           argument1,   argument2,   argument3,
      argument4,    argument5,    argument6,   argument7,   argument8};
  return SelectorSend(message);
}
