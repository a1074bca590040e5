// Tests of NSString and the Core Foundation string calls: formats, encodings (characters
// outside the Basic Multilingual Plane included), searching, case and numbers.
#include <gtest/gtest.h>

#include <string>

#include "platform/foundation/core_foundation.h"
#include "platform/foundation/string.h"
#include "platform/objc/objc.h"

namespace {

Class StringClass() {
  return objc_lookUpClass("NSString");
}
id Str(const char* utf8) {
  return foundation::MakeStringFromUtf8(utf8);
}
std::string Utf8(id s) {
  return foundation::StringUtf8(s);
}

id Format(const char* format, ...) {
  va_list list;
  va_start(list, format);
  std::u16string text = foundation::FormatString(foundation::StringUnits(Str(format)), list);
  va_end(list);
  return foundation::MakeString(text);
}

TEST(NSString, FormatsTheRuntimeUses) {
  objc::AutoreleasePool pool;
  const char16_t units[] = u"T\u00e9\U0001F600";
  id made = reinterpret_cast<id>(
      objc_msgSend(StringClass(), sel_registerName("stringWithFormat:"), Str("%S"), units));
  EXPECT_EQ(foundation::StringUnits(made), std::u16string(units)) << "%S copies 16-bit units";
  EXPECT_EQ(Utf8(Format("<%@|%@>", Str("x\xC3\xA9"), nil)), "<x\xC3\xA9|(null)>");
  EXPECT_EQ(Utf8(Format("%C%C", 0x2303, 'T')), "\xE2\x8C\x83T") << "%C is one UTF-16 unit";
  EXPECT_EQ(Utf8(Format("%d|%5d|%-3d|%i|%ld|%u|%x|%%", -42, 7, 1, 0, 1L << 40, 3000000000u, 255)),
            "-42|    7|1  |0|1099511627776|3000000000|ff|%");
  EXPECT_EQ(Utf8(Format("%.2f %s %c", 2.5, "abc", 'z')), "2.50 abc z");
  EXPECT_EQ(Utf8(Format("%@", foundation::MakeString(u"%d"))), "%d") << "arguments are not formats";
  EXPECT_EQ(Utf8(objc::Send(StringClass(), "stringWithFormat:", Str("%d-%@"), 5, Str("a"))), "5-a")
      << "typed sends pass variadic arguments through";
}

TEST(NSString, EncodingsRoundTripIncludingAstralCharacters) {
  objc::AutoreleasePool pool;
  // UTF-8 in and out, with a character outside the BMP (a surrogate pair).
  id utf8 = objc::Send(StringClass(), "stringWithCString:encoding:", "a\xF0\x9F\x98\x80\xC3\xA9",
                       NSUInteger{4});
  ASSERT_NE(utf8, nullptr);
  EXPECT_EQ(objc::Send<NSUInteger>(utf8, "length"), 4u) << "the astral character is two units";
  EXPECT_EQ(objc::Send<char16_t>(utf8, "characterAtIndex:", NSUInteger{1}), 0xD83D);
  EXPECT_STREQ(objc::Send<const char*>(utf8, "UTF8String"), "a\xF0\x9F\x98\x80\xC3\xA9");
  EXPECT_EQ(objc::Send(StringClass(), "stringWithCString:encoding:", "\xC3\x28", NSUInteger{4}),
            nullptr)
      << "invalid UTF-8 gives no string";
  EXPECT_EQ(objc::Send(StringClass(), "stringWithCString:encoding:", "\xED\xA0\x80", NSUInteger{4}),
            nullptr)
      << "an encoded surrogate is not UTF-8";
  // Latin-1: every byte is the character of the same number.
  id latin = objc::Send(StringClass(), "stringWithCString:encoding:", "caf\xE9\xFF", NSUInteger{5});
  EXPECT_EQ(foundation::StringUnits(latin), u"caf\u00e9\u00ff");
  // A lone surrogate becomes U+FFFD in UTF-8.
  EXPECT_EQ(foundation::StringUtf8(foundation::MakeString(std::u16string(1, char16_t(0xD800)))),
            "\xEF\xBF\xBD");

  // CFString: UTF-16 in; UTF-16 and Latin-1 with a loss byte out.
  const char16_t units[] = u"Z\u00e9\U0001F600\u20ac";
  CFStringRef cf =
      CFStringCreateWithBytes(kCFAllocatorDefault, reinterpret_cast<const UInt8*>(units), 5 * 2,
                              kCFStringEncodingUnicode, false);
  ASSERT_NE(cf, nullptr);
  EXPECT_EQ(CFStringGetLength(cf), 5);
  char16_t back[8] = {};
  CFIndex used = 0;
  EXPECT_EQ(CFStringGetBytes(cf, CFRangeMake(0, 5), kCFStringEncodingUnicode, '?', false,
                             reinterpret_cast<UInt8*>(back), sizeof(back), &used),
            5);
  EXPECT_EQ(used, 10);
  EXPECT_EQ(std::u16string(back), std::u16string(units));
  UInt8 latin_bytes[8] = {};
  EXPECT_EQ(CFStringGetBytes(cf, CFRangeMake(0, 5), kCFStringEncodingISOLatin1, '?', false,
                             latin_bytes, sizeof(latin_bytes), &used),
            5);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(latin_bytes), used), "Z\xE9??")
      << "one loss byte per character, the surrogate pair counting as one";
  EXPECT_EQ(CFStringGetBytes(cf, CFRangeMake(0, 5), kCFStringEncodingISOLatin1, 0, false,
                             latin_bytes, sizeof(latin_bytes), &used),
            2)
      << "without a loss byte the conversion stops";
  EXPECT_EQ(
      CFStringGetBytes(cf, CFRangeMake(0, 5), kCFStringEncodingUTF8, 0, false, nullptr, 0, &used),
      5);
  EXPECT_EQ(used, 1 + 2 + 4 + 3) << "a null buffer measures";
  EXPECT_EQ(CFStringGetBytes(cf, CFRangeMake(0, 5), kCFStringEncodingUnicode, 0, false,
                             reinterpret_cast<UInt8*>(back), 4, &used),
            2)
      << "a short buffer takes whole units only";
  CFRelease(cf);
  EXPECT_EQ(CFStringCreateWithBytes(nullptr, reinterpret_cast<const UInt8*>("abc"), 3,
                                    kCFStringEncodingUnicode, false),
            nullptr)
      << "an odd number of UTF-16 bytes is refused";
  CFStringRef empty = CFStringCreateWithBytes(nullptr, nullptr, 0, kCFStringEncodingUnicode, false);
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(CFStringGetLength(empty), 0);
  CFRelease(empty);
  EXPECT_EQ(CFStringGetLength(nullptr), 0);
  CFStringRef roman = CFStringCreateWithBytes(nullptr, reinterpret_cast<const UInt8*>("\x80\xDB"),
                                              2, kCFStringEncodingMacRoman, false);
  EXPECT_EQ(foundation::StringUnits(reinterpret_cast<id>(const_cast<__CFString*>(roman))),
            u"\u00c4\u20ac");
  CFRelease(roman);
}

TEST(NSString, SearchingSplittingCaseAndNumbers) {
  objc::AutoreleasePool pool;
  id parts = objc::Send(Str("a,,b,"), "componentsSeparatedByString:", Str(","));
  ASSERT_EQ(objc::Send<NSUInteger>(parts, "count"), 4u);
  EXPECT_EQ(Utf8(objc::Send(parts, "objectAtIndex:", NSUInteger{1})), "");
  EXPECT_EQ(Utf8(objc::Send(parts, "componentsJoinedByString:", Str("+"))), "a++b+");
  EXPECT_EQ(Utf8(objc::Send(Str("aXbXX"), "stringByReplacingOccurrencesOfString:withString:",
                            Str("X"), Str("yy"))),
            "ayybyyyy");
  EXPECT_EQ(Utf8(objc::Send(Str("stra\xC3\x9F"
                                "e \xC3\xA9t\xC3\xA9 \xCE\xB1"),
                            "uppercaseString")),
            "STRASSE \xC3\x89T\xC3\x89 \xCE\x91");
  EXPECT_EQ(Utf8(objc::Send(Str("\xC3\x89T\xC3\x89 ABC"), "lowercaseString")),
            "\xC3\xA9t\xC3\xA9 abc");
  EXPECT_EQ(objc::Send<int>(Str("  -42abc"), "intValue"), -42);
  EXPECT_EQ(objc::Send<int>(Str("abc"), "intValue"), 0);
  EXPECT_EQ(objc::Send<int>(Str("99999999999"), "intValue"), 2147483647) << "clamped";
  EXPECT_EQ(objc::Send<NSInteger>(Str("99999999999"), "integerValue"), 99999999999);
  EXPECT_TRUE(objc::Send<BOOL>(Str("YES"), "boolValue"));
  EXPECT_FALSE(objc::Send<BOOL>(Str("0"), "boolValue"));
  EXPECT_TRUE(objc::Send<BOOL>(Str("abc"), "isEqualToString:", Str("abc")));
  EXPECT_FALSE(objc::Send<BOOL>(Str("abc"), "isEqualToString:", Str("abd")));
  EXPECT_TRUE(objc::Send<BOOL>(Str("abc"), "isEqual:", Str("abc")));
  EXPECT_EQ(objc::Send<NSUInteger>(Str("abc"), "hash"), objc::Send<NSUInteger>(Str("abc"), "hash"));
  EXPECT_FALSE(objc::Send<BOOL>(
      Str("1"), "isEqual:", objc::Send(objc_lookUpClass("NSNumber"), "numberWithInteger:", 1L)));
  id copy =
      objc::Send(objc::Send(objc_lookUpClass("NSString"), "alloc"), "initWithString:", Str("kept"));
  EXPECT_EQ(Utf8(copy), "kept");
  objc::Release(copy);
  id mutable_string =
      objc::Send(objc_lookUpClass("NSMutableString"), "stringWithString:", Str("a"));
  objc::Send<void>(mutable_string, "appendString:", Str("b"));
  EXPECT_EQ(Utf8(mutable_string), "ab");
  EXPECT_TRUE(objc::Send<BOOL>(mutable_string, "isKindOfClass:", StringClass()));
}

TEST(NSString, UTF8StringOutlivesTheStringUntilThePoolEnds) {
  const char* bytes = nullptr;
  {
    objc::AutoreleasePool pool;
    id s = objc::Send(objc::Send(StringClass(), "alloc"), "initWithString:", Str("still here"));
    bytes = objc::Send<const char*>(s, "UTF8String");
    objc::Release(s);
    EXPECT_STREQ(bytes, "still here") << "the bytes belong to the pool as well as the string";
  }
}

}  // namespace
