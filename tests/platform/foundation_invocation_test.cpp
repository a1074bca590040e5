// Tests of NSMethodSignature and NSInvocation, and of the two ways the selector bridge sends a
// message (integer words through objc_msgSend; argument bytes through an invocation), done
// here exactly as the bridge does them, with C entry points only.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/objc/objc.h"

namespace {

// --- A target class recording what it receives ---

Class gTarget;
ptrdiff_t gTitle = -1;   // retained NSString
ptrdiff_t gLength = -1;  // double
ptrdiff_t gSize = -1;    // NSSize
ptrdiff_t gFrame = -1;   // NSRect

void SetTitle(id self, SEL, id title) {
  objc_retain(title);
  objc_release(objc::FieldAt<id>(self, gTitle));
  objc::FieldAt<id>(self, gTitle) = title;
}
id Title(id self, SEL) {
  return objc::FieldAt<id>(self, gTitle);
}
void SetLength(id self, SEL, double length) {
  objc::FieldAt<double>(self, gLength) = length;
}
double Length(id self, SEL) {
  return objc::FieldAt<double>(self, gLength);
}
void SetSize(id self, SEL, NSSize size) {
  objc::FieldAt<NSSize>(self, gSize) = size;
}
NSSize Size(id self, SEL) {
  return objc::FieldAt<NSSize>(self, gSize);
}
void SetFrame(id self, SEL, NSRect frame) {
  objc::FieldAt<NSRect>(self, gFrame) = frame;
}
BOOL IsWide(id self, SEL) {
  return objc::FieldAt<NSSize>(self, gSize).width > 100 ? YES : NO;
}
BOOL IsLonger(id self, SEL, long than) {
  return objc::FieldAt<double>(self, gLength) > than ? YES : NO;
}
long SetCount(id, SEL, long count, id key) {
  return key ? count * 2 : -1;  // answers something that shows both arguments arrived
}
void Dealloc(id self, SEL sel) {
  objc_release(objc::FieldAt<id>(self, gTitle));
  objc::SendSuper<void>(self, gTarget, sel);
}

void DefineTarget() {
  if (gTarget) return;
  gTarget = objc::DefineClass("BridgeTarget", "NSObject");
  gTitle = objc::AddIvar<id>(gTarget, "title");
  gLength = objc::AddIvar<double>(gTarget, "length");
  gSize = objc::AddIvar<NSSize>(gTarget, "size");
  gFrame = objc::AddIvar<NSRect>(gTarget, "frame");
  objc::AddMethod(gTarget, "setTitle:", &SetTitle);
  objc::AddMethod(gTarget, "title", &Title);
  objc::AddMethod(gTarget, "setLength:", &SetLength);
  objc::AddMethod(gTarget, "length", &Length);
  objc::AddMethod(gTarget, "setSize:", &SetSize);
  objc::AddMethod(gTarget, "size", &Size);
  objc::AddMethod(gTarget, "setFrame:", &SetFrame);
  objc::AddMethod(gTarget, "isWide", &IsWide);
  objc::AddMethod(gTarget, "isLonger:", &IsLonger);
  objc::AddMethod(gTarget, "setCount:forKey:", &SetCount);
  objc::AddMethod(gTarget, "dealloc", &Dealloc);
}

// --- The bridge's two paths, with C entry points only ---

uint64_t Word(const void* pointer) {
  return reinterpret_cast<uintptr_t>(pointer);
}
id Object(uint64_t word) {
  return reinterpret_cast<id>(static_cast<uintptr_t>(word));
}

uint64_t SendClass(const char* cls, const char* selector, uint64_t argument = 0) {
  return objc_msgSend(objc_lookUpClass(cls), sel_registerName(selector), argument);
}

// The direct path: at most four plain words; 0 when the receiver lacks the method.
uint64_t Direct(id receiver, const char* selector, const uint64_t* words, int count) {
  SEL sel = sel_registerName(selector);
  if (!class_getInstanceMethod(object_getClass(receiver), sel)) return 0;
  switch (count) {
    case 0:
      return objc_msgSend(receiver, sel);
    case 1:
      return objc_msgSend(receiver, sel, words[0]);
    case 2:
      return objc_msgSend(receiver, sel, words[0], words[1]);
    default:
      return objc_msgSend(receiver, sel, words[0], words[1], words[2]);
  }
}

// The invocation path. markers[k] is 0 (plain word), '$' (a NUL-terminated string of 16-bit
// units to convert) or '@' (the address of the bytes). With a result buffer the whole result
// goes there and 0 is answered; otherwise results of 1 to 8 bytes come back in a zeroed word.
uint64_t Invoked(id receiver, const char* selector, const char* markers, const uint64_t* words,
                 int count, void* result_buffer) {
  SEL sel = sel_registerName(selector);
  Method method = class_getInstanceMethod(object_getClass(receiver), sel);
  if (!method) return 0;
  id signature = Object(SendClass("NSMethodSignature",
                                  "signatureWithObjCTypes:", Word(method_getTypeEncoding(method))));
  id invocation =
      Object(SendClass("NSInvocation", "invocationWithMethodSignature:", Word(signature)));
  objc_msgSend(invocation, sel_registerName("setSelector:"), Word(sel));
  for (int k = 0; k < count; ++k) {
    uint64_t word = words[k];
    if (markers[k] && word == 0) continue;  // stays zero or nil
    if (markers[k] == '$') {
      id format = Object(SendClass("NSString", "stringWithUTF8String:", Word("%S")));
      word = objc_msgSend(objc_lookUpClass("NSString"), sel_registerName("stringWithFormat:"),
                          Word(format), word);
    }
    const void* source = markers[k] == '@' ? Object(word) : static_cast<const void*>(&word);
    objc_msgSend(invocation, sel_registerName("setArgument:atIndex:"), Word(source),
                 uint64_t(k + 2));
  }
  objc_msgSend(invocation, sel_registerName("invokeWithTarget:"), Word(receiver));
  uint64_t length = objc_msgSend(signature, sel_registerName("methodReturnLength"));
  if (length < 1) return 0;
  if (result_buffer) {
    objc_msgSend(invocation, sel_registerName("getReturnValue:"), Word(result_buffer));
    return 0;
  }
  if (length > 8) return 0;
  uint64_t result = 0;
  objc_msgSend(invocation, sel_registerName("getReturnValue:"), Word(&result));
  return result;
}

std::string Utf8(id string) {
  const char* text =
      reinterpret_cast<const char*>(objc_msgSend(string, sel_registerName("UTF8String")));
  return text ? text : "";
}

TEST(SelectorBridgePaths, BothPathsReachTheMethods) {
  DefineTarget();
  objc::AutoreleasePool pool;
  id target = Object(SendClass("BridgeTarget", "new"));
  ASSERT_NE(target, nullptr) << "a class receiver answers its class methods";

  // Direct path: an object argument and an object result.
  const char16_t wide_title[] = u"Task \U0001F600";
  uint64_t string_words[1] = {Word(wide_title)};
  Invoked(target, "setTitle:", "$", string_words, 1, nullptr);
  uint64_t title = Direct(target, "title", nullptr, 0);
  EXPECT_EQ(Utf8(Object(title)), "Task \xF0\x9F\x98\x80") << "%S makes the string, UTF-8 reads it";

  // A double through its address; it does not reach the method through a word.
  double length = -1.0;
  uint64_t length_words[1] = {Word(&length)};
  Invoked(target, "setLength:", "@", length_words, 1, nullptr);
  EXPECT_DOUBLE_EQ(objc::Send<double>(target, "length"), -1.0);
  uint64_t bits = Invoked(target, "length", "", nullptr, 0, nullptr);
  double read;
  std::memcpy(&read, &bits, sizeof(read));
  EXPECT_DOUBLE_EQ(read, -1.0) << "a floating-point result arrives as its bit pattern";
  uint64_t plain[1] = {5};
  Direct(target, "setLength:", plain, 1);
  EXPECT_DOUBLE_EQ(objc::Send<double>(target, "length"), 0.0)
      << "a word does not reach a double parameter on the direct path";

  // A structure argument and a structure result through a result buffer.
  double size[2] = {20.0, 20.0};
  uint64_t size_words[1] = {Word(size)};
  Invoked(target, "setSize:", "@", size_words, 1, nullptr);
  NSSize got = {0, 0};
  EXPECT_EQ(Invoked(target, "size", "", nullptr, 0, &got), 0u) << "a result buffer answers 0";
  EXPECT_DOUBLE_EQ(got.width, 20.0);
  EXPECT_DOUBLE_EQ(got.height, 20.0);
  EXPECT_EQ(Invoked(target, "size", "", nullptr, 0, nullptr), 0u)
      << "a 16-byte result without a buffer is dropped";
  NSRect frame = NSMakeRect(1, 2, 3, 4);
  uint64_t frame_words[1] = {Word(&frame)};
  Invoked(target, "setFrame:", "@", frame_words, 1, nullptr);
  NSRect stored = objc::FieldAt<NSRect>(target, gFrame);
  EXPECT_DOUBLE_EQ(stored.origin.y, 2);
  EXPECT_DOUBLE_EQ(stored.size.height, 4);

  // BOOL results: 0 or 1 with the rest of the word zero, on both paths.
  EXPECT_EQ(Invoked(target, "isWide", "", nullptr, 0, nullptr), 0u);
  size[0] = 200;
  Invoked(target, "setSize:", "@", size_words, 1, nullptr);
  EXPECT_EQ(Invoked(target, "isWide", "", nullptr, 0, nullptr), 1u);
  EXPECT_EQ(Direct(target, "isWide", nullptr, 0), 1u);

  // A plain word and a converted string in one message.
  const char16_t key[] = u"Val18";
  uint64_t pair[2] = {7, Word(key)};
  EXPECT_EQ(Invoked(target, "setCount:forKey:", "\0$", pair, 2, nullptr), 14u);
  uint64_t nil_pair[2] = {7, 0};
  EXPECT_EQ(Invoked(target, "setCount:forKey:", "\0$", nil_pair, 2, nullptr), uint64_t(-1))
      << "a marked argument of 0 stays nil";
  EXPECT_EQ(Direct(target, "setCount:forKey:", pair, 2), 14u)
      << "the direct path passes both words";

  // Missing selectors are found absent and nothing is sent.
  EXPECT_EQ(Invoked(target, "noSuchMessage", "", nullptr, 0, nullptr), 0u);
  EXPECT_EQ(class_getInstanceMethod(object_getClass(target), sel_registerName("noSuchMessage")),
            nullptr);
  objc_release(target);
}

TEST(NSInvocation, ArgumentsAndResultsOfAnySize) {
  DefineTarget();
  objc::AutoreleasePool pool;
  id target = objc::Send(gTarget, "new");
  id signature =
      objc::Send(objc_lookUpClass("NSMethodSignature"), "signatureWithObjCTypes:", "c24@0:8q16");
  ASSERT_NE(signature, nullptr) << "encodings with offsets are read";
  EXPECT_EQ(objc::Send<NSUInteger>(signature, "numberOfArguments"), 3u);
  EXPECT_STREQ(objc::Send<const char*>(signature, "getArgumentTypeAtIndex:", NSUInteger{2}), "q");
  EXPECT_EQ(objc::Send<NSUInteger>(signature, "methodReturnLength"), 1u);
  EXPECT_STREQ(objc::Send<const char*>(signature, "methodReturnType"), "c");

  id invocation =
      objc::Send(objc_lookUpClass("NSInvocation"), "invocationWithMethodSignature:", signature);
  objc::Send<void>(invocation, "setSelector:", sel_registerName("isLonger:"));
  objc::Send<void>(target, "setLength:", 10.5);
  long than = 10;
  objc::Send<void>(invocation, "setArgument:atIndex:", static_cast<const void*>(&than), 2L);
  objc::Send<void>(invocation, "invokeWithTarget:", target);
  uint64_t answer = 0;
  objc::Send<void>(invocation, "getReturnValue:", static_cast<void*>(&answer));
  EXPECT_EQ(answer, 1u) << "a BOOL result fills one byte";
  long back = 0;
  objc::Send<void>(invocation, "getArgument:atIndex:", static_cast<void*>(&back), 2L);
  EXPECT_EQ(back, 10);
  EXPECT_EQ(objc::Send(invocation, "target"), target);
  EXPECT_EQ(objc::Send<SEL>(invocation, "selector"), sel_registerName("isLonger:"));

  // A structure result with a signature made from the method's own encoding.
  Method size_method = class_getInstanceMethod(gTarget, sel_registerName("size"));
  id size_signature = objc::Send(objc_lookUpClass("NSMethodSignature"),
                                 "signatureWithObjCTypes:", method_getTypeEncoding(size_method));
  EXPECT_EQ(objc::Send<NSUInteger>(size_signature, "methodReturnLength"), sizeof(NSSize));
  id size_invocation = objc::Send(objc_lookUpClass("NSInvocation"),
                                  "invocationWithMethodSignature:", size_signature);
  objc::Send<void>(size_invocation, "setSelector:", sel_registerName("size"));
  objc::Send<void>(target, "setSize:", NSMakeSize(3, 4));
  objc::Send<void>(size_invocation, "setTarget:", target);
  objc::Send<void>(size_invocation, "invoke");
  NSSize size{};
  objc::Send<void>(size_invocation, "getReturnValue:", static_cast<void*>(&size));
  EXPECT_DOUBLE_EQ(size.width, 3);
  EXPECT_DOUBLE_EQ(size.height, 4);

  // A signature whose sizes differ from the method's sends nothing.
  id wrong = objc::Send(objc_lookUpClass("NSMethodSignature"), "signatureWithObjCTypes:", "v@:i");
  id wrong_invocation =
      objc::Send(objc_lookUpClass("NSInvocation"), "invocationWithMethodSignature:", wrong);
  objc::Send<void>(wrong_invocation, "setSelector:", sel_registerName("setLength:"));
  int small = 99;
  objc::Send<void>(wrong_invocation, "setArgument:atIndex:", static_cast<const void*>(&small), 2L);
  objc::Send<void>(wrong_invocation, "invokeWithTarget:", target);
  EXPECT_DOUBLE_EQ(objc::Send<double>(target, "length"), 10.5);

  EXPECT_EQ(objc::Send(objc_lookUpClass("NSMethodSignature"), "signatureWithObjCTypes:", "{bad"),
            nullptr)
      << "a malformed encoding gives no signature";
  objc_release(target);
}

}  // namespace
