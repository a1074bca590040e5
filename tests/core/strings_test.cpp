// Tests of the elementary string operations.
#include "core/strings.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

TEST(Strings, LengthCopyAndDuplicateReadNullAsEmpty) {
  EXPECT_EQ(StringLength(nullptr), 0);
  EXPECT_EQ(StringLength(u"h\u00e9\U0001F600"), 4) << "a surrogate pair counts as two units";
  for (size_t length = 0; length < 10; ++length) {
    // Exactly sized, so that reading a unit past the terminator is caught by the sanitizer.
    std::vector<char16_t> text(length + 1, u'a');
    text[length] = 0;
    EXPECT_EQ(StringLength(text.data()), static_cast<int64_t>(length)) << "every length";
  }
  char16_t buffer[8] = {u'x', u'x', u'x'};
  CopyString(buffer, nullptr);
  EXPECT_EQ(buffer[0], 0);
  CopyString(buffer, u"abc");
  EXPECT_EQ(std::u16string(buffer), u"abc");
  char16_t* copy = DuplicateString(u"dup");
  EXPECT_EQ(std::u16string(copy), u"dup");
  std::free(copy);

  char16_t padded[6] = {u'1', u'2', u'3', u'4', u'5', u'6'};
  CopyStringN(padded, u"ab", 5);
  EXPECT_EQ(std::u16string(padded, 6), std::u16string(u"ab\0\0\0"
                                                      u"6",
                                                      6))
      << "the rest of the count is zero-filled, nothing beyond it";
  CopyStringN(padded, u"wxyz", 2);
  EXPECT_EQ(padded[0], u'w');
  EXPECT_EQ(padded[2], 0);
}

TEST(Strings, ComparisonTakesUnitsAsSigned16Bit) {
  const char16_t high[] = {0x8000, 0};
  EXPECT_LT(CompareStrings(high, u"A"), 0) << "0x8000 sorts before 'A'";
  EXPECT_EQ(CompareStrings(high, u"A"), -32768 - 0x41);
  EXPECT_GT(CompareStrings(u"b", u"a"), 0);
  EXPECT_LT(CompareStrings(u"ab", u"abc"), 0);
  EXPECT_EQ(CompareStrings(nullptr, u""), 0);
  EXPECT_EQ(CompareStringsN(u"abcX", u"abcY", 3), 0);
  EXPECT_NE(CompareStringsN(u"abcX", u"abcY", 4), 0);
  EXPECT_EQ(CompareStringsN(u"ab", u"ab", 10), 0) << "stops at the common terminator";
  EXPECT_EQ(CompareStringsNoCase(u"HeLLo", u"hello"), 0);
  EXPECT_LT(CompareStringsNoCase(u"apple", u"BANANA"), 0);
  EXPECT_EQ(CompareStringsNoCaseN(u"ABCx", u"abcy", 3), 0);
  EXPECT_EQ(StringsEqual(nullptr, u""), 1);
  EXPECT_EQ(StringsEqual(u"a", u"a"), 1);
  EXPECT_EQ(StringsEqual(u"a", u"b"), 0);
}

TEST(Strings, FindSubstring) {
  const char16_t* text = u"'APPL''caut''note''stop'";
  EXPECT_EQ(FindSubstring(text, u"'note'"), text + 12);
  EXPECT_EQ(FindSubstring(text, u""), text) << "an empty needle is found at the start";
  EXPECT_EQ(FindSubstring(u"ab", u"abc"), nullptr) << "a longer needle is absent";
  EXPECT_EQ(FindSubstring(text, u"nope"), nullptr);
  const char16_t* tail = u"xxab";
  EXPECT_EQ(FindSubstring(tail, u"ab"), tail + 2) << "a match at the very end";
}

}  // namespace
