// Tests of the conversions between runtime strings and CFStrings: round trips with surrogate
// pairs, null strings, the temporary-buffer result protocol and caller buffers that are short.
#include "core/cfstring.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "core/temp_buffer.h"

namespace {

class CFStringConversion : public ::testing::Test {
 protected:
  void SetUp() override { InitTempBuffer(); }
  void TearDown() override { FreeTempBuffer(); }
};

// In a process of its own, where no class has been looked up yet: the conversion loads the
// platform's classes itself.
TEST(CFStringConversionFirst, WorksBeforeAnyClassIsLookedUp) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");  // a fresh process, not a fork of this one
  EXPECT_EXIT(
      {
        CFStringRef string = StringToCFString(u"first");
        std::exit(string && CFStringGetLength(string) == 5 ? 0 : 1);
      },
      testing::ExitedWithCode(0), "");
}

TEST_F(CFStringConversion, RoundTripKeepsEveryUnit) {
  const char16_t* text = u"Caf\u00e9 \U0001F514 \u2318T";  // a surrogate pair included
  CFStringRef string = StringToCFString(text);
  ASSERT_NE(string, nullptr);
  EXPECT_EQ(CFStringGetLength(string), static_cast<CFIndex>(std::u16string(text).size()));

  AppendTemp(u"prefix");
  PushTempStart();
  int64_t offset = PopTempStart();
  EXPECT_EQ(CFStringToTemp(string, offset), 10);
  EXPECT_EQ(std::u16string(reinterpret_cast<char16_t*>(g_temp.base + offset)), text);
  EXPECT_EQ(g_temp.end, offset + 20) << "end lies just past the result";
  EXPECT_EQ(std::u16string(reinterpret_cast<char16_t*>(g_temp.base)),
            u"prefix" + std::u16string(text))
      << "the result follows what was in the buffer";
  CFRelease(string);
}

TEST_F(CFStringConversion, NullAndEmptyStrings) {
  CFStringRef empty = StringToCFString(nullptr);
  ASSERT_NE(empty, nullptr) << "a null string gives an empty CFString";
  EXPECT_EQ(CFStringGetLength(empty), 0);
  CFRelease(empty);

  AppendTemp(u"abc");
  EXPECT_EQ(CFStringToTemp(nullptr, 2), 0) << "a null CFString counts as empty";
  EXPECT_EQ(g_temp.end, 2);
  EXPECT_EQ(std::u16string(reinterpret_cast<char16_t*>(g_temp.base)), u"a");
}

TEST_F(CFStringConversion, BufferTakesAtMostSizeMinusOneUnits) {
  CFStringRef string = StringToCFString(u"Preferences");
  char16_t buffer[6] = {u'x', u'x', u'x', u'x', u'x', u'x'};
  EXPECT_EQ(CFStringToBuffer(buffer, string, 6), 5);
  EXPECT_EQ(std::u16string(buffer), u"Prefe");
  EXPECT_EQ(CFStringToBuffer(buffer, string, 1), 0);
  EXPECT_EQ(buffer[0], 0) << "a one-unit buffer gets only the terminator";
  buffer[0] = u'x';
  EXPECT_EQ(CFStringToBuffer(buffer, string, 0), 0);
  EXPECT_EQ(buffer[0], u'x') << "a zero-size buffer is not touched";
  EXPECT_EQ(CFStringToBuffer(buffer, nullptr, 6), 0);
  EXPECT_EQ(buffer[0], 0);
  CFRelease(string);
}

}  // namespace
