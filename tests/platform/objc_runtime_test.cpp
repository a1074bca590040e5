// Tests of the object runtime: classes and metaclasses, run-time subclasses with instance
// variables, the word and typed message paths, type encodings and reference counting.
#include <gtest/gtest.h>

#include <cstdarg>
#include <string>

#include "platform/objc/objc.h"

namespace {

// --- A run-time class hierarchy: Shape <- Square ---

Class gShape;
Class gSquare;
ptrdiff_t gSide = -1;  // Shape's "side" (double)
ptrdiff_t gTag = -1;   // Square's "Vo_tag" (int64_t)
ptrdiff_t gName = -1;  // Square's C++ "name" (std::string)
int gDeallocs = 0;     // objects of these classes disposed so far

double Area(id self, SEL) {
  double side = objc::FieldAt<double>(self, gSide);
  return side * side;
}
void SetSide(id self, SEL, double side) {
  objc::FieldAt<double>(self, gSide) = side;
}
long Describe(id, SEL) {
  return 1;
}
void ShapeDealloc(id self, SEL sel) {
  ++gDeallocs;
  objc::SendSuper<void>(self, gShape, sel);
}
id MakeShape(Class cls, SEL) {
  return objc::Autorelease(objc::Send(cls, "new"));
}

// Overrides Describe and adds the superclass's answer to its own.
long SquareDescribe(id self, SEL sel) {
  return 10 + objc::SendSuper<long>(self, gSquare, sel);
}
void SetTag(id self, SEL, int64_t tag) {
  objc::FieldAt<int64_t>(self, gTag) = tag;
}
int64_t Tag(id self, SEL) {
  return objc::FieldAt<int64_t>(self, gTag);
}
int64_t AddWords(id, SEL, int64_t a, int b, BOOL c, id d) {
  return a + b + (c ? 1000 : 0) + (d ? 1 : 0);
}
BOOL IsPositive(id, SEL, long value) {
  return value > 0 ? YES : NO;
}
double Half(id, SEL, double value) {
  return value / 2;
}
NSRect Inset(id, SEL, NSRect rect, CGFloat by) {
  return NSMakeRect(rect.origin.x + by, rect.origin.y + by, rect.size.width - 2 * by,
                    rect.size.height - 2 * by);
}
int SumInts(id, SEL, int count, objc::VarArgs* rest) {
  int sum = 0;
  for (int i = 0; i < count; ++i) sum += va_arg(rest->list, int);
  return sum;
}
// The class method "version" of Square calls Shape's through super.
long ShapeVersion(Class, SEL) {
  return 1;
}
long SquareVersion(Class self, SEL sel) {
  return 1 + objc::SendSuper<long>(self, gSquare, sel);
}

void DefineShapes() {
  if (gShape) return;
  gShape = objc::DefineClass("TestShape", "NSObject");
  gSide = objc::AddIvar<double>(gShape, "side");
  objc::AddMethod(gShape, "area", &Area);
  objc::AddMethod(gShape, "setSide:", &SetSide);
  objc::AddMethod(gShape, "describe", &Describe);
  objc::AddMethod(gShape, "dealloc", &ShapeDealloc);
  objc::AddClassMethod(gShape, "shape", &MakeShape);
  objc::AddClassMethod(gShape, "version", &ShapeVersion);

  gSquare = objc_allocateClassPair(gShape, "TestSquare", 0);
  gTag = objc::AddIvar<int64_t>(gSquare, "Vo_tag");
  gName = objc::AddCxxIvar<std::string>(gSquare, "name");
  objc::AddMethod(gSquare, "describe", &SquareDescribe);
  objc::AddMethod(gSquare, "setTag:", &SetTag);
  objc::AddMethod(gSquare, "tag", &Tag);
  objc::AddMethod(gSquare, "addWords:b:c:d:", &AddWords);
  objc::AddMethod(gSquare, "isPositive:", &IsPositive);
  objc::AddMethod(gSquare, "half:", &Half);
  objc::AddMethod(gSquare, "inset:by:", &Inset);
  objc::AddMethod(gSquare, "sumInts:", &SumInts);
  objc::AddClassMethod(gSquare, "version", &SquareVersion);
  objc_registerClassPair(gSquare);
}

uint64_t Word(const void* pointer) {
  return reinterpret_cast<uintptr_t>(pointer);
}

TEST(ObjcRuntime, ClassMethodsAreFoundThroughTheMetaclass) {
  DefineShapes();
  Class cls = objc_lookUpClass("TestShape");
  ASSERT_EQ(cls, gShape) << "a registered class is found by name";
  Class meta = object_getClass(cls);
  EXPECT_TRUE(class_isMetaClass(meta)) << "a class object's class is its metaclass";
  EXPECT_NE(class_getInstanceMethod(meta, sel_registerName("shape")), nullptr)
      << "class methods live in the metaclass";
  EXPECT_EQ(class_getInstanceMethod(cls, sel_registerName("shape")), nullptr)
      << "class methods are not instance methods";
  EXPECT_NE(class_getInstanceMethod(meta, sel_registerName("alloc")), nullptr)
      << "inherited class methods are found through the superclass's metaclass";
  EXPECT_NE(class_getInstanceMethod(meta, sel_registerName("retain")), nullptr)
      << "class objects answer the root class's instance methods";

  objc::AutoreleasePool pool;
  id shape = reinterpret_cast<id>(objc_msgSend(cls, sel_registerName("shape")));
  ASSERT_NE(shape, nullptr);
  EXPECT_EQ(object_getClass(shape), cls);
  EXPECT_STREQ(object_getClassName(shape), "TestShape");
  EXPECT_EQ(objc::Send<long>(objc_lookUpClass("TestSquare"), "version"), 2)
      << "a class method override reaches the superclass's class method through super";
  EXPECT_EQ(objc::Send(cls, "class"), cls) << "+class answers the class itself";
}

TEST(ObjcRuntime, RunTimeSubclassHasIvarsAndOverridesCallingSuper) {
  DefineShapes();
  EXPECT_EQ(objc_lookUpClass("TestSquare"), gSquare);
  EXPECT_EQ(class_getSuperclass(gSquare), gShape);
  EXPECT_EQ(objc_allocateClassPair(gShape, "TestSquare", 0), nullptr) << "names are unique";
  EXPECT_FALSE(class_addIvar(gShape, "late", 8, 3, "q"))
      << "a class with subclasses takes no more instance variables";
  Ivar tag = class_getInstanceVariable(gSquare, "Vo_tag");
  ASSERT_NE(tag, nullptr);
  EXPECT_STREQ(ivar_getTypeEncoding(tag), "q");
  EXPECT_NE(class_getInstanceVariable(gSquare, "side"), nullptr) << "inherited ivars are found";
  EXPECT_GE(ivar_getOffset(tag), ivar_getOffset(class_getInstanceVariable(gSquare, "side")) + 8)
      << "a subclass's ivars follow its superclass's";

  int before = gDeallocs;
  {
    objc::Ref square(objc::Send(gSquare, "new"));
    EXPECT_EQ(*objc::IvarPointer<int64_t>(square, "Vo_tag"), 0) << "new ivars start at zero";
    EXPECT_TRUE(objc::FieldAt<std::string>(square, gName).empty()) << "C++ ivars are built";
    objc::FieldAt<std::string>(square, gName) = std::string(100, 'x');  // heap-owned
    objc::Send<void>(square, "setTag:", int64_t{-7});
    EXPECT_EQ(objc::Send<int64_t>(square, "tag"), -7);
    objc::Send<void>(square, "setSide:", 3.0);
    EXPECT_DOUBLE_EQ(objc::Send<double>(square, "area"), 9.0) << "inherited method and ivar";
    EXPECT_EQ(objc::Send<long>(square, "describe"), 11) << "override adds super's answer";
    EXPECT_TRUE(objc::Send<BOOL>(square, "isKindOfClass:", gShape));
    EXPECT_FALSE(objc::Send<BOOL>(square, "isMemberOfClass:", gShape));
  }
  EXPECT_EQ(gDeallocs, before + 1) << "the last release runs the inherited dealloc override";
}

TEST(ObjcRuntime, MissingSelectorIsAbsentAndAnswersZero) {
  DefineShapes();
  objc::AutoreleasePool pool;
  id shape = objc::Send(gShape, "shape");
  SEL missing = sel_registerName("noSuchMessage:");
  EXPECT_EQ(class_getInstanceMethod(object_getClass(shape), missing), nullptr);
  EXPECT_FALSE(objc::Send<BOOL>(shape, "respondsToSelector:", missing));
  EXPECT_TRUE(objc::Send<BOOL>(shape, "respondsToSelector:", sel_registerName("area")));
  EXPECT_EQ(objc_msgSend(shape, missing, uint64_t{5}), 0u) << "nothing is sent";
  testing::internal::CaptureStderr();
  EXPECT_EQ(objc::Send<long>(shape, "noSuchMessage:", 5L), 0);
  EXPECT_EQ(objc::Send<long>(shape, "noSuchMessage:", 6L), 0);
  EXPECT_EQ(objc::Send(nil, "noSuchMessage:", 7L), nil);
  const std::string said = testing::internal::GetCapturedStderr();
#ifdef NDEBUG
  EXPECT_EQ(said, "") << "release builds stay silent";
#else
  EXPECT_EQ(said.find("-[TestShape noSuchMessage:]: unrecognized selector sent to instance"), 0u)
      << said;
  EXPECT_EQ(said.find("noSuchMessage:", 20), std::string::npos)
      << "said once per selector, and never for nil: " << said;
#endif
  EXPECT_EQ(objc_msgSend(nil, sel_registerName("area")), 0u) << "messages to nil answer 0";
  EXPECT_EQ(objc_lookUpClass("NoSuchClass"), nullptr);
  EXPECT_EQ(sel_registerName("area"), sel_registerName(std::string("area").c_str()))
      << "selectors are interned";
  EXPECT_STREQ(sel_getName(sel_registerName("area")), "area");
}

TEST(ObjcRuntime, MsgSendPassesIntegerWords) {
  DefineShapes();
  objc::Ref square(objc::Send(gSquare, "new"));
  SEL add = sel_registerName("addWords:b:c:d:");
  Method method = class_getInstanceMethod(object_getClass(square), add);
  ASSERT_NE(method, nullptr);
  EXPECT_STREQ(method_getTypeEncoding(method), "q@:qic@");
  EXPECT_EQ(method_getNumberOfArguments(method), 6u);
  uint64_t result = objc_msgSend(square, add, uint64_t(-5), uint64_t{0xffffffff00000003},
                                 uint64_t{0x101}, Word(square.get()));
  EXPECT_EQ(static_cast<int64_t>(result), -5 + 3 + 1000 + 1)
      << "each parameter takes the low bytes of its word";
  EXPECT_EQ(objc_msgSend(square, sel_registerName("isPositive:"), uint64_t{4}), 1u);
  EXPECT_EQ(objc_msgSend(square, sel_registerName("isPositive:"), uint64_t(-4)), 0u);
  objc_msgSend(square, sel_registerName("setTag:"), uint64_t(-2));
  EXPECT_EQ(objc_msgSend(square, sel_registerName("tag")), uint64_t(-2))
      << "signed results are sign-extended";
  EXPECT_EQ(objc_msgSend(square, sel_registerName("half:"), uint64_t{8}), 0u)
      << "floating-point parameters and results do not travel as words";
  EXPECT_EQ(objc_msgSend(square, sel_registerName("sumInts:"), uint64_t{3}, 1, 2, 3), 6u)
      << "a variadic method reads the arguments after its fixed ones";
  objc_super super{square, gShape};
  EXPECT_EQ(objc_msgSendSuper(&super, sel_registerName("describe")), 1u);
}

TEST(ObjcRuntime, TypedSendCarriesDoublesAndStructures) {
  DefineShapes();
  objc::Ref square(objc::Send(gSquare, "new"));
  EXPECT_DOUBLE_EQ(objc::Send<double>(square, "half:", 5), 2.5) << "an int argument to double";
  NSRect inset = objc::Send<NSRect>(square, "inset:by:", NSMakeRect(10, 20, 100, 50), 5.0);
  EXPECT_DOUBLE_EQ(inset.origin.x, 15);
  EXPECT_DOUBLE_EQ(inset.origin.y, 25);
  EXPECT_DOUBLE_EQ(inset.size.width, 90);
  EXPECT_DOUBLE_EQ(inset.size.height, 40);
  EXPECT_STREQ(
      method_getTypeEncoding(class_getInstanceMethod(gSquare, sel_registerName("inset:by:"))),
      "{CGRect={CGPoint=dd}{CGSize=dd}}@:{CGRect={CGPoint=dd}{CGSize=dd}}d");
  EXPECT_EQ(objc::Send<long>(square, "inset:by:", 1), 0) << "a mismatched call sends nothing";
  EXPECT_EQ(objc::Send<int>(square, "sumInts:", 2, 40, 2), 42);
}

TEST(ObjcRuntime, TypeEncodingsMeasureSizes) {
  size_t size = 0;
  size_t alignment = 0;
  const char* rect = "{CGRect={CGPoint=dd}{CGSize=dd}}";
  ASSERT_NE(objc::ParseType(rect, &size, &alignment), nullptr);
  EXPECT_EQ(size, sizeof(NSRect));
  ASSERT_NE(objc::ParseType("{_NSRange=QQ}", &size, &alignment), nullptr);
  EXPECT_EQ(size, sizeof(NSRange));
  ASSERT_NE(objc::ParseType("{mixed=cid}", &size, &alignment), nullptr);
  EXPECT_EQ(size, 16u) << "fields are aligned like C";
  ASSERT_NE(objc::ParseType("[4s]", &size, &alignment), nullptr);
  EXPECT_EQ(size, 8u);
  ASSERT_NE(objc::ParseType("r^{CGSize=dd}", &size, &alignment), nullptr);
  EXPECT_EQ(size, 8u);
  EXPECT_EQ(objc::ParseType("{CGSize=dd", &size, &alignment), nullptr) << "unterminated";
  EXPECT_EQ(objc::ParseType("", &size, &alignment), nullptr);
  EXPECT_STREQ(objc::EncodingOf<BOOL>(), "c");
  EXPECT_STREQ(objc::EncodingOf<Class>(), "#");
  EXPECT_STREQ(objc::EncodingOf<SEL>(), ":");
  EXPECT_STREQ(objc::EncodingOf<const char*>(), "*");
  EXPECT_STREQ(objc::EncodingOf<void*>(), "^v");
  EXPECT_STREQ(objc::EncodingOf<unsigned>(), "I");
  EXPECT_STREQ(objc::EncodingOf<NSUInteger>(), "Q");
  EXPECT_STREQ(objc::EncodingOf<float>(), "f");
  EXPECT_STREQ(objc::EncodingOf<NSSize>(), "{CGSize=dd}");
}

TEST(ObjcRuntime, AutoreleasePoolsReallyFreeObjects) {
  DefineShapes();
  int before = gDeallocs;
  void* outer = objc_autoreleasePoolPush();
  id kept = objc::Send(gShape, "shape");
  objc::Retain(kept);
  EXPECT_EQ(objc::Send<NSUInteger>(kept, "retainCount"), 2u);
  {
    objc::AutoreleasePool inner;
    for (int i = 0; i < 5; ++i) objc::Send(gShape, "shape");
    EXPECT_EQ(gDeallocs, before) << "nothing is freed before its pool ends";
  }
  EXPECT_EQ(gDeallocs, before + 5) << "the inner pool frees its own objects only";
  id pool_object = objc::Send(objc::Send(objc_lookUpClass("NSAutoreleasePool"), "alloc"), "init");
  ASSERT_NE(pool_object, nullptr);
  objc::Send(gShape, "shape");
  void* nested = objc_autoreleasePoolPush();  // left open: the object pool's drain ends it
  objc::Send(gShape, "shape");
  (void)nested;
  objc::Send<void>(pool_object, "drain");
  EXPECT_EQ(gDeallocs, before + 7) << "NSAutoreleasePool drains its objects and inner pools";
  objc_autoreleasePoolPop(outer);
  EXPECT_EQ(gDeallocs, before + 7) << "a retained object outlives its pool";
  EXPECT_EQ(objc_retainCount(kept), 1);
  objc::Release(kept);
  EXPECT_EQ(gDeallocs, before + 8);
  EXPECT_EQ(objc_retain(gShape), gShape) << "class objects ignore reference counting";
  objc_release(gShape);
  EXPECT_EQ(objc_lookUpClass("TestShape"), gShape);
}

}  // namespace
