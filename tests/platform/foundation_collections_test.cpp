// Tests of the Foundation values: arrays, dictionaries, numbers, NSNull and dates, including
// who owns what.
#include <gtest/gtest.h>

#include "platform/foundation/string.h"
#include "platform/objc/objc.h"

namespace {

id Str(const char* utf8) {
  return foundation::MakeStringFromUtf8(utf8);
}
id Class_(const char* name) {
  return objc_lookUpClass(name);
}

// Counts deallocations of a small NSObject subclass.
int gFreed = 0;
Class gCounted;
void CountedDealloc(id self, SEL sel) {
  ++gFreed;
  objc::SendSuper<void>(self, gCounted, sel);
}
id NewCounted() {
  if (!gCounted) {
    gCounted = objc::DefineClass("CollectionsCounted", "NSObject");
    objc::AddMethod(gCounted, "dealloc", &CountedDealloc);
  }
  return objc::Send(gCounted, "new");
}

TEST(NSArray, HoldsRetainedObjectsInOrder) {
  int before = gFreed;
  {
    objc::AutoreleasePool pool;
    id array = objc::Send(Class_("NSMutableArray"), "array");
    id a = NewCounted();
    id b = NewCounted();
    objc::Send<void>(array, "addObject:", a);
    objc::Send<void>(array, "addObject:", b);
    objc::Send<void>(array, "addObject:", a);
    objc::Release(a);
    objc::Release(b);
    EXPECT_EQ(gFreed, before) << "the array keeps its objects alive";
    EXPECT_EQ(objc::Send<NSUInteger>(array, "count"), 3u);
    EXPECT_EQ(objc::Send(array, "firstObject"), a);
    EXPECT_EQ(objc::Send(array, "lastObject"), a);
    EXPECT_EQ(objc::Send<NSUInteger>(array, "indexOfObject:", b), 1u);
    EXPECT_EQ(objc::Send(array, "objectAtIndex:", NSUInteger{7}), nullptr) << "out of range";
    objc::Send<void>(array, "removeObject:", a);
    EXPECT_EQ(objc::Send<NSUInteger>(array, "count"), 1u) << "every equal object is removed";
    EXPECT_EQ(gFreed, before + 1);
    objc::Send<void>(array, "removeObjectAtIndex:", NSUInteger{0});
    EXPECT_EQ(gFreed, before + 2);
    EXPECT_EQ(objc::Send(array, "firstObject"), nullptr);
    EXPECT_EQ(objc::Send<NSUInteger>(array, "indexOfObject:", Str("x")), NSNotFound);

    id listed = objc::Send(Class_("NSArray"), "arrayWithObjects:", Str("x"), Str("y"), nil);
    EXPECT_EQ(objc::Send<NSUInteger>(listed, "count"), 2u);
    EXPECT_EQ(objc::Send<NSUInteger>(listed, "indexOfObject:", Str("y")), 1u) << "by isEqual:";
    EXPECT_FALSE(objc::Send<BOOL>(listed, "respondsToSelector:", sel_registerName("addObject:")))
        << "an NSArray is immutable";
  }
}

TEST(NSDictionary, MapsEqualKeysToRetainedValues) {
  int before = gFreed;
  {
    objc::AutoreleasePool pool;
    id dictionary = objc::Send(Class_("NSMutableDictionary"), "dictionary");
    id value = NewCounted();
    id key = objc::Send(Class_("NSMutableString"), "stringWithString:", Str("key"));
    objc::Send<void>(dictionary, "setObject:forKey:", value, key);
    objc::Release(value);
    objc::Send<void>(key, "appendString:", Str("-changed"));
    EXPECT_EQ(objc::Send(dictionary, "objectForKey:", Str("key")), value)
        << "keys are copied, so a later change of the key does not matter";
    objc::Send<void>(dictionary, "setObject:forKey:", Str("v2"), Str("other"));
    EXPECT_EQ(objc::Send<NSUInteger>(dictionary, "count"), 2u);
    id keys = objc::Send(dictionary, "allKeys");
    EXPECT_EQ(foundation::StringUtf8(objc::Send(keys, "objectAtIndex:", NSUInteger{0})), "key");
    objc::Send<void>(dictionary, "setObject:forKey:", Str("v3"), Str("key"));
    EXPECT_EQ(gFreed, before + 1) << "a replaced value is released";
    objc::Send<void>(dictionary, "removeObjectForKey:", Str("key"));
    EXPECT_EQ(objc::Send(dictionary, "objectForKey:", Str("key")), nullptr);
    EXPECT_EQ(objc::Send<NSUInteger>(dictionary, "count"), 1u);
    id number_key = objc::Send(Class_("NSNumber"), "numberWithInteger:", 5L);
    objc::Send<void>(dictionary, "setObject:forKey:", Str("five"), number_key);
    EXPECT_EQ(
        foundation::StringUtf8(objc::Send(
            dictionary, "objectForKey:", objc::Send(Class_("NSNumber"), "numberWithDouble:", 5.0))),
        "five")
        << "equal numbers find the same entry";
  }
}

TEST(NSNumberAndNull, ValuesConvertBetweenKinds) {
  objc::AutoreleasePool pool;
  id integer = objc::Send(Class_("NSNumber"), "numberWithInteger:", NSInteger{-7});
  EXPECT_EQ(objc::Send<NSInteger>(integer, "integerValue"), -7);
  EXPECT_DOUBLE_EQ(objc::Send<double>(integer, "doubleValue"), -7.0);
  EXPECT_TRUE(objc::Send<BOOL>(integer, "boolValue"));
  id real = objc::Send(Class_("NSNumber"), "numberWithDouble:", 2.75);
  EXPECT_EQ(objc::Send<int>(real, "intValue"), 2);
  EXPECT_DOUBLE_EQ(objc::Send<double>(real, "doubleValue"), 2.75);
  id flag = objc::Send(Class_("NSNumber"), "numberWithBool:", YES);
  EXPECT_EQ(objc::Send<NSInteger>(flag, "integerValue"), 1);
  EXPECT_EQ(foundation::StringUtf8(objc::Send(integer, "stringValue")), "-7");
  id null = objc::Send(Class_("NSNull"), "null");
  EXPECT_EQ(null, objc::Send(Class_("NSNull"), "null")) << "one NSNull";
  objc::Send<void>(null, "release");
  EXPECT_EQ(objc_retainCount(null), 1) << "the singleton ignores release";
  EXPECT_EQ(foundation::StringUtf8(objc::Send(null, "description")), "<null>");
}

TEST(NSDate, IntervalsAndDistantDates) {
  objc::AutoreleasePool pool;
  id now = objc::Send(Class_("NSDate"), "date");
  double seconds = objc::Send<double>(now, "timeIntervalSinceReferenceDate");
  EXPECT_GT(seconds, 7e8) << "after 2023, counted from 2001";
  id later = objc::Send(Class_("NSDate"), "dateWithTimeIntervalSinceNow:", 90.0);
  EXPECT_GE(objc::Send<double>(later, "timeIntervalSinceReferenceDate") - seconds, 90.0);
  id future = objc::Send(Class_("NSDate"), "distantFuture");
  EXPECT_GT(objc::Send<double>(future, "timeIntervalSinceReferenceDate"), 6e10);
  EXPECT_EQ(objc::Send(now, "earlierDate:", future), now);
  EXPECT_DOUBLE_EQ(objc::Send<double>(now, "timeIntervalSince1970"), seconds + 978307200.0);
}

}  // namespace
