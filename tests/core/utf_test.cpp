// Tests of the conversions between runtime strings and UTF-8 or one-byte text:
// surrogate pairs, lone surrogates, invalid lead bytes and truncated sequences.
#include "core/utf.h"

#include <gtest/gtest.h>

#include <string>

#include "core/temp_buffer.h"

namespace {

std::string Utf8Of(const std::u16string& text) {
  char* converted = ToUtf8(text.c_str());
  std::string result(converted);
  FreeUtf8(converted);
  return result;
}

std::u16string Utf16Of(const std::string& bytes) {
  char16_t out[64] = {};
  const int64_t written =
      MultiByteToUtf16(kCodePageUtf8, 0, bytes.data(), static_cast<int64_t>(bytes.size()), out, 64);
  return std::u16string(out, static_cast<size_t>(written));
}

TEST(Utf, OneByteTextDropsUnitsAbove255) {
  const char16_t text[] = {u'a', 0x20AC, 0xE9, 0};
  char out[8] = {};
  EXPECT_EQ(Utf16ToMultiByte(kCodePageOneByte, 0, text, -1, nullptr, 0), 3)
      << "a, e-acute and the terminator are counted, the euro sign is not";
  EXPECT_EQ(Utf16ToMultiByte(kCodePageOneByte, 0, text, -1, out, 8), 3);
  EXPECT_EQ(std::string(out), "a\xE9");
  EXPECT_EQ(Utf16ToMultiByte(kCodePageOneByte, 0, text, -1, out, 1), 1) << "stops when full";

  char16_t units[4] = {};
  EXPECT_EQ(MultiByteToUtf16(kCodePageOneByte, 0, "\xE9z", 2, nullptr, 0), 2);
  EXPECT_EQ(MultiByteToUtf16(kCodePageOneByte, 0, "\xE9z", 2, units, 4), 2);
  EXPECT_EQ(units[0], 0xE9) << "bytes are zero-extended";
  EXPECT_EQ(MultiByteToUtf16(kCodePageOneByte, 0, "abcdef", 6, units, 4), 4);
  EXPECT_EQ(MultiByteToUtf16(1252, 0, "abc", 3, units, 4), 0) << "unknown code page";
  EXPECT_EQ(Utf16ToMultiByte(1252, 0, u"abc", 3, out, 8), 0);
}

TEST(Utf, SurrogatePairsRoundTripAsFourBytes) {
  EXPECT_EQ(Utf8Of(u"\u00e9"), "\xC3\xA9") << "U+00E9 takes two bytes";
  EXPECT_EQ(Utf8Of(u"\u20ac"), "\xE2\x82\xAC");
  EXPECT_EQ(Utf8Of(u"\U0001F600"), "\xF0\x9F\x98\x80") << "a pair becomes four bytes";
  EXPECT_EQ(Utf16Of("\xF0\x9F\x98\x80"), u"\U0001F600") << "and comes back as the same pair";
  EXPECT_EQ(Utf16Of("\xF4\x8F\xBF\xBF"), u"\U0010FFFF");
  EXPECT_EQ(Utf16ToMultiByte(kCodePageUtf8, 0, u"a\U0001F600", -1, nullptr, 0), 6);
  EXPECT_EQ(Utf16ToMultiByte(kCodePageUtf8, 0, u"x", 0, nullptr, 0), 0);

  char small[4];
  EXPECT_EQ(Utf16ToMultiByte(kCodePageUtf8, 0, u"ab\U0001F600", 4, small, 4), 2)
      << "a character that does not fit whole is not written";
}

TEST(Utf, LoneSurrogates) {
  const char16_t lone_low[] = {u'a', 0xDC00, u'b', 0};
  EXPECT_EQ(Utf8Of(lone_low),
            "a\xED\xB0\x80"
            "b")
      << "a lone low surrogate takes three bytes";

  const char16_t broken[] = {u'a', 0xD800, u'b', 0};
  char out[16] = {'?'};
  EXPECT_EQ(Utf16ToMultiByte(kCodePageUtf8, 0, broken, -1, nullptr, 0), 1)
      << "counting ends at a high surrogate without its low half";
  EXPECT_EQ(Utf16ToMultiByte(kCodePageUtf8, 0, broken, -1, out, 16), 0)
      << "writing a broken pair fails";
  EXPECT_EQ(Utf8Of(broken), "") << "ToUtf8 of an unconvertible string is empty";

  const char16_t trailing[] = {u'a', 0xD800};
  EXPECT_EQ(Utf16ToMultiByte(kCodePageUtf8, 0, trailing, 2, nullptr, 0), 1);
  EXPECT_EQ(Utf16ToMultiByte(kCodePageUtf8, 0, trailing, 2, out, 16), 1)
      << "a high surrogate as the last unit ends the output";
  EXPECT_EQ(out[0], 'a');
}

TEST(Utf, InvalidAndTruncatedUtf8) {
  char16_t out[16];
  EXPECT_EQ(MultiByteToUtf16(kCodePageUtf8, 0,
                             "ab\x80"
                             "cd",
                             5, nullptr, 0),
            2)
      << "counting stops at a lone continuation byte";
  EXPECT_EQ(MultiByteToUtf16(kCodePageUtf8, 0,
                             "ab\x80"
                             "cd",
                             5, out, 16),
            0)
      << "writing text with a lone continuation byte gives 0 units";
  EXPECT_EQ(MultiByteToUtf16(kCodePageUtf8, 0, "a\xF8", 2, out, 16), 0) << "0xF8 cannot lead";
  EXPECT_EQ(Utf16Of("ab\xE2\x82"), u"ab") << "a truncated sequence ends the conversion";
  EXPECT_EQ(Utf16Of("a\xF0\x9F"), u"a");
  EXPECT_EQ(Utf16Of("\xC3"
                    "A"
                    "z"),
            std::u16string(u"\x0003z"))
      << "a byte that does not continue ends the sequence and is consumed with it";
  EXPECT_EQ(Utf16Of("a\xF7\xBF\xBF\xBF"
                    "b"),
            u"a")
      << "beyond U+10FFFF ends the conversion";
  EXPECT_EQ(MultiByteToUtf16(kCodePageUtf8, 0, "\xF0\x9F\x98\x80", 4, out, 1), 0)
      << "a pair is only written when two units of room remain";
  EXPECT_EQ(MultiByteToUtf16(kCodePageUtf8, 0, "h\xC3\xA9", -1, nullptr, 0), 3)
      << "-1 counts the terminator";
}

TEST(Utf, CopiesIntoHeapAndTemporaryBuffer) {
  InitTempBuffer();
  AppendTemp(u"keep");
  PushTempStart();
  Utf8ToTemp("h\xC3\xA9llo \xF0\x9F\x98\x80", PopTempStart());
  EXPECT_EQ(std::u16string(reinterpret_cast<char16_t*>(g_temp.base + 8)), u"h\u00e9llo \U0001F600");
  EXPECT_EQ(g_temp.end, 8 + 2 * 8) << "end lies just past the result";
  EXPECT_EQ(std::u16string(reinterpret_cast<char16_t*>(g_temp.base)), u"keeph\u00e9llo \U0001F600");

  PushTempStart();
  Utf8ToTemp(nullptr, PopTempStart());
  EXPECT_EQ(g_temp.end, 24) << "null text gives an empty result";
  PushTempStart();
  Utf8ToTemp("bad\x80", PopTempStart());
  EXPECT_EQ(g_temp.end, 24) << "invalid text gives an empty result";
  EXPECT_EQ(*reinterpret_cast<char16_t*>(g_temp.base + 24), 0);
  PushTempStart();
  Utf8ToTemp("x\xC3", PopTempStart());
  EXPECT_EQ(std::u16string(reinterpret_cast<char16_t*>(g_temp.base + 24)),
            std::u16string(u"x\x0003"));
  FreeTempBuffer();

  char16_t* copy = Utf8ToUtf16Copy("\xE2\x82\xAC!");
  EXPECT_EQ(std::u16string(copy), u"\u20ac!");
  free(copy);
  char* empty = ToUtf8(nullptr);
  ASSERT_NE(empty, nullptr) << "a null string gives an allocated empty text";
  EXPECT_EQ(empty[0], 0);
  FreeUtf8(empty);
}

TEST(Utf, OffsetOfCharSkipsBrokenSequences) {
  EXPECT_EQ(Utf8OffsetOfChar("h\xC3\xA9llo", 3), 4) << "h, e-acute, l";
  EXPECT_EQ(Utf8OffsetOfChar("h\xC3\xA9llo", 100), 6) << "stops at the 0 byte";
  EXPECT_EQ(Utf8OffsetOfChar("\xF0\x9F\x98\x80z", 1), 4);
  EXPECT_EQ(Utf8OffsetOfChar("\x80\x80"
                             "ab",
                             1),
            3)
      << "invalid leads are skipped, not counted";
  EXPECT_EQ(Utf8OffsetOfChar("\xC3"
                             "ab",
                             1),
            2)
      << "a lead without continuation: one byte";
  EXPECT_EQ(Utf8OffsetOfChar("\xE2\x82"
                             "ab",
                             1),
            3)
      << "one good continuation: two bytes";
  EXPECT_EQ(Utf8OffsetOfChar("\xE2\x82", 5), 2) << "never passes the terminator";
  EXPECT_EQ(Utf8OffsetOfChar("abc", 0), 0);
}

TEST(Utf, FormatStringConvertsBothWays) {
  char16_t out[64];
  EXPECT_EQ(FormatString(nullptr, u"%s \u00e9 %d", "x", 42), 7) << "null destination: bytes";
  EXPECT_EQ(FormatString(out, u"%s \u00e9 %d", "x", 42), 6) << "units without the terminator";
  EXPECT_EQ(std::u16string(out), u"x \u00e9 42");
  EXPECT_EQ(FormatString(out, u"%.2f", 1.5), 4);
  EXPECT_EQ(std::u16string(out), u"1.50");
  EXPECT_EQ(FormatString(out, nullptr), 0);
  EXPECT_EQ(out[0], 0);
}

}  // namespace
