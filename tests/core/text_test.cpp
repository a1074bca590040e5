// Tests of the string functions: clamping of positions, find, insert, replace,
// remove, numbers, text from memory, and the result protocol when an argument
// is itself a temporary result and the buffer grows during the call.
#include "core/text.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

#include "core/strings.h"
#include "core/temp_buffer.h"

namespace {

class Text : public ::testing::Test {
 protected:
  void SetUp() override { InitTempBuffer(); }
  void TearDown() override {
    EXPECT_EQ(g_temp.stack_depth, 0) << "every push must be popped";
    FreeTempBuffer();
  }
};

// Runs one string function as the application does and returns its result,
// checking that end lies just past it with a 0 unit there.
template <typename Call>
std::u16string Result(Call call) {
  PushTempStart();
  const int64_t offset = PopTempStart();
  call(offset);
  const std::u16string result(reinterpret_cast<char16_t*>(g_temp.base + offset));
  EXPECT_EQ(g_temp.end, offset + 2 * static_cast<int64_t>(result.size()))
      << "end must lie just past the result";
  TruncateTemp(offset);
  return result;
}

TEST_F(Text, LeftAndMiddleClampPositions) {
  EXPECT_EQ(TextLength(nullptr), 0);
  EXPECT_EQ(TextLength(u"abc"), 3);
  EXPECT_EQ(Result([](int64_t o) { TextLeft(u"abc", 5, o); }), u"abc");
  EXPECT_EQ(Result([](int64_t o) { TextLeft(u"abc", -1, o); }), u"");
  EXPECT_EQ(Result([](int64_t o) { TextLeft(u"abc", 2, o); }), u"ab");
  EXPECT_EQ(Result([](int64_t o) { TextLeft(nullptr, 2, o); }), u"");
  EXPECT_EQ(Result([](int64_t o) { TextMiddle(u"abcdef", 3, 2, o); }), u"cd");
  EXPECT_EQ(Result([](int64_t o) { TextMiddle(u"abcdef", 0, 2, o); }), u"ab");
  EXPECT_EQ(Result([](int64_t o) { TextMiddle(u"abcdef", 10, 2, o); }), u"");
  EXPECT_EQ(Result([](int64_t o) { TextMiddle(u"abcdef", 5, 100, o); }), u"ef");
  EXPECT_EQ(Result([](int64_t o) { TextMiddle(u"abcdef", 2, 0, o); }), u"");
  EXPECT_EQ(Result([](int64_t o) { TextMiddle(u"abcdef", 4, o); }), u"def");
  EXPECT_EQ(Result([](int64_t o) { TextMiddle(nullptr, 1, 3, o); }), u"");
  EXPECT_EQ(Result([](int64_t o) { TextMiddle(u"abcdef", 2, int64_t{1} << 40, o); }), u"bcdef")
      << "a huge count is clamped";
  constexpr int64_t kMost = std::numeric_limits<int64_t>::max();
  constexpr int64_t kLeast = std::numeric_limits<int64_t>::min();
  EXPECT_EQ(Result([](int64_t o) { TextMiddle(u"abcdef", 0, o); }), u"abcdef");
  EXPECT_EQ(Result([](int64_t o) { TextMiddle(u"abcdef", kLeast, o); }), u"abcdef")
      << "the most negative start reads from the first unit, without overflow";
  EXPECT_EQ(Result([](int64_t o) { TextMiddle(u"abcdef", kMost, o); }), u"");
  EXPECT_EQ(Result([](int64_t o) { TextMiddle(u"abcdef", kLeast, 2, o); }), u"ab");
  EXPECT_EQ(Result([](int64_t o) { TextMiddle(u"abcdef", kMost, kMost, o); }), u"");
}

TEST_F(Text, FindFromAPositionWithAndWithoutCase) {
  const char16_t* types = u"'APPL''caut''note''stop'";
  EXPECT_EQ(TextFind(types, u"'note'"), 13);
  EXPECT_EQ(TextFind(types, u"'note'", 14), 0) << "no occurrence at or after 14";
  EXPECT_EQ(TextFind(types, u"'"), 1);
  EXPECT_EQ(TextFind(types, u"'", 2), 6);
  EXPECT_EQ(TextFind(types, u"'", 100), 0) << "a start past the end finds nothing";
  EXPECT_EQ(TextFind(types, u""), 0) << "an empty part is never found";
  EXPECT_EQ(TextFind(nullptr, u"a"), 0);
  EXPECT_EQ(TextFind(types, u"'appl'"), 0);
  EXPECT_EQ(TextFind(types, u"'appl'", 1, kTextNoCase), 1);
  EXPECT_EQ(TextFind(types, u"NOTE", 0, kTextNoCase), 14);
}

TEST_F(Text, InsertPlacesTextBeforeAPosition) {
  EXPECT_EQ(Result([](int64_t o) { TextInsert(u"abc", u"X", 1, o); }), u"Xabc");
  EXPECT_EQ(Result([](int64_t o) { TextInsert(u"abc", u"X", 4, o); }), u"abcX");
  EXPECT_EQ(Result([](int64_t o) { TextInsert(u"abc", u"X", 9, o); }), u"abcX");
  EXPECT_EQ(Result([](int64_t o) { TextInsert(u"abc", u"X", 0, o); }), u"Xabc");
  EXPECT_EQ(Result([](int64_t o) { TextInsert(u"abc", nullptr, 2, o); }), u"abc");
  // The hot-key text: plus signs between the symbols.
  std::u16string shortcut = u"\u2303\u2325T";
  for (int position : {2, 4}) {
    shortcut = Result([&](int64_t o) { TextInsert(shortcut.c_str(), u"+", position, o); });
  }
  EXPECT_EQ(shortcut, u"\u2303+\u2325+T");
}

TEST_F(Text, ReplaceWithoutOverlapAndWithOptions) {
  EXPECT_EQ(Result([](int64_t o) { TextReplace(u"aaa", u"aa", u"b", o); }), u"ba");
  EXPECT_EQ(Result([](int64_t o) { TextReplace(u"abc", u"", u"x", o); }), u"abc");
  EXPECT_EQ(Result([](int64_t o) { TextReplace(nullptr, u"a", u"x", o); }), u"");
  EXPECT_EQ(Result([](int64_t o) {
              TextReplace(u"<key>{appid}</key><s>{apppath}</s>", u"{appid}", u"com.quorv.Mindel",
                          o);
            }),
            u"<key>com.quorv.Mindel</key><s>{apppath}</s>");
  EXPECT_EQ(Result([](int64_t o) { TextReplace(u"a-b-c", u"-", nullptr, o); }), u"abc");

  char16_t text[] = u"xAxaxa";
  EXPECT_EQ(Result([&](int64_t o) { TextReplace(text, u"a", u"__", kTextNoCase, 1, -1, o); }),
            u"x__x__x__");
  EXPECT_EQ(Result([&](int64_t o) { TextReplace(text, u"a", u"_", 0, 4, -1, o); }), u"xAx_x_")
      << "the part before the start is copied unchanged";
  EXPECT_EQ(Result([&](int64_t o) { TextReplace(text, u"x", u"y", 0, 1, 2, o); }), u"yAyaxa")
      << "at most count replacements";
  EXPECT_EQ(Result([&](int64_t o) { TextReplace(text, u"x", u"y", 0, 50, -1, o); }), u"xAxaxa");

  // In place: the string itself changes and the buffer is not written.
  char16_t room[32] = u"one two one";
  const int64_t end = g_temp.end;
  TextReplace(room, u"one", u"1", kTextInPlace, 1, -1, end);
  EXPECT_EQ(std::u16string(room), u"1 two 1");
  TextReplace(room, u"1", u"three", kTextInPlace, 2, -1, end);
  EXPECT_EQ(std::u16string(room), u"1 two three") << "a match before the start is kept";
  TextReplace(room, u"t", u"T", kTextInPlace | kTextNoCase, 1, 0, end);
  EXPECT_EQ(std::u16string(room), u"1 two three") << "count 0 does nothing";
  EXPECT_EQ(g_temp.end, end);
}

TEST_F(Text, RemoveEveryOrSomeOccurrences) {
  EXPECT_EQ(Result([](int64_t o) { TextRemove(u"a\nb\nc", u"\n", o); }), u"abc");
  EXPECT_EQ(Result([](int64_t o) { TextRemove(u"abc", nullptr, o); }), u"abc");
  EXPECT_EQ(Result([](int64_t o) { TextRemove(nullptr, u"a", o); }), u"");
  EXPECT_EQ(Result([](int64_t o) { TextRemove(u"aXbxcX", u"x", kTextNoCase, 1, -1, o); }), u"abc");
  EXPECT_EQ(Result([](int64_t o) { TextRemove(u"xaxbxc", u"x", 0, 2, -1, o); }), u"xabc");
  EXPECT_EQ(Result([](int64_t o) { TextRemove(u"xaxbxc", u"x", 0, 1, 2, o); }), u"abxc");
  EXPECT_EQ(Result([](int64_t o) { TextRemove(u"xaxbxc", u"x", 0, 99, -1, o); }), u"xaxbxc");
}

TEST_F(Text, NumbersToTextAndBack) {
  EXPECT_EQ(Result([](int64_t o) { NumberToText(0, o); }), u"0");
  EXPECT_EQ(Result([](int64_t o) { NumberToText(-1205, o); }), u"-1205");
  EXPECT_EQ(Result([](int64_t o) { NumberToText(INT64_MIN, o); }), u"-9223372036854775808");
  EXPECT_EQ(Result([](int64_t o) { NumberToText(INT64_MAX, o); }), u"9223372036854775807");

  EXPECT_EQ(TextToNumber(u"  42"), 42);
  EXPECT_EQ(TextToNumber(u"\t-17x"), -17);
  EXPECT_EQ(TextToNumber(u"$ff"), 255);
  EXPECT_EQ(TextToNumber(u"$68303030"), 0x68303030) << "the hot-key signature";
  EXPECT_EQ(TextToNumber(u"%101"), 5);
  EXPECT_EQ(TextToNumber(u"+%11"), 3);
  EXPECT_EQ(TextToNumber(u"- 5"), 0) << "no spaces after the sign";
  EXPECT_EQ(TextToNumber(u"3.9"), 3);
  EXPECT_EQ(TextToNumber(u"\n5"), 0);
  EXPECT_EQ(TextToNumber(u"%2"), 0) << "no digit of the base";
  EXPECT_EQ(TextToNumber(nullptr), 0);
  EXPECT_EQ(TextToNumber(u"18446744073709551617"), 1) << "wraps in 64 bits";
}

TEST_F(Text, TextFromMemoryInEachFormat) {
  const char* hello = "h\xC3\xA9llo";
  EXPECT_EQ(Result([&](int64_t o) { TextFromMemory(hello, 3, kTextFormatUtf8, o); }), u"h\u00e9l")
      << "the length counts characters";
  EXPECT_EQ(Result([&](int64_t o) {
              TextFromMemory(hello, 3, kTextFormatUtf8 | kTextFormatCountBytes, o);
            }),
            u"h\u00e9");
  EXPECT_EQ(Result([&](int64_t o) { TextFromMemory(hello, -1, kTextFormatUtf8, o); }),
            u"h\u00e9llo");
  EXPECT_EQ(Result([&](int64_t o) { TextFromMemory(hello, -1, kTextFormatOneByte, o); }),
            u"h\u00c3\u00a9llo");
  EXPECT_EQ(Result([&](int64_t o) { TextFromMemory("ab\0cd", 5, kTextFormatOneByte, o); }), u"ab")
      << "a 0 byte ends the text early";
  EXPECT_EQ(Result([&](int64_t o) { TextFromMemory(hello, -7, kTextFormatUtf8, o); }), u"");
  // Malformed sequences that decode to a 0 unit end the text there; Result checks that the
  // result's end agrees with its length.
  EXPECT_EQ(Result([&](int64_t o) {
              TextFromMemory(
                  "ab\xC0\x80"
                  "cd",
                  -1, kTextFormatUtf8, o);
            }),
            u"ab")
      << "an overlong 0 ends the text";
  EXPECT_EQ(Result([&](int64_t o) { TextFromMemory("h\xC0@x", -1, kTextFormatUtf8, o); }), u"h")
      << "a lead byte cut short with no payload gives 0 and ends the text";
  const char16_t units[] = u"wide\0rest";
  EXPECT_EQ(Result([&](int64_t o) { TextFromMemory(units, 9, kTextFormatUtf16, o); }), u"wide");
  EXPECT_EQ(Result([&](int64_t o) { TextFromMemory(units, 2, kTextFormatUtf16, o); }), u"wi");
  EXPECT_EQ(Result([&](int64_t o) { TextFromMemory(units, -1, kTextFormatUtf16, o); }), u"wide");
  EXPECT_EQ(Result([&](int64_t o) { TextFromMemory(nullptr, -1, kTextFormatUtf8, o); }), u"");
}

// Builds a temporary argument of `units` units at the current end, leaves end
// just past it (as a nested call would) and returns its offset.
int64_t TempArgument(const std::u16string& text) {
  PushTempStart();
  AppendTemp(text.c_str());
  return PopTempStart();
}

TEST_F(Text, ResultProtocolSurvivesBufferGrowth) {
  // Each call writes its result over its own argument (the argument's offset is
  // the result's offset) while the result is large enough to move the buffer.
  const std::u16string long_path =
      u"/Applications/Mindel.app/Contents/MacOS/" + std::u16string(9000, u'p');
  std::u16string expected = long_path;

  int64_t offset = TempArgument(long_path);
  auto argument = [&] { return reinterpret_cast<char16_t*>(g_temp.base + offset); };
  const int64_t capacity = g_temp.capacity;

  TextReplace(argument(), u"p", u"pq", offset);  // doubles the text
  EXPECT_GT(g_temp.capacity, capacity) << "the buffer had to grow";
  std::u16string doubled;
  for (char16_t unit : expected) {
    doubled += unit;
    if (unit == u'p') doubled += u'q';
  }
  EXPECT_EQ(std::u16string(argument()), doubled);
  EXPECT_EQ(g_temp.end, offset + 2 * static_cast<int64_t>(doubled.size()));

  std::u16string big(40000, u'z');
  TextInsert(argument(), big.c_str(), 1, offset);
  EXPECT_EQ(std::u16string(argument()), big + doubled);
  TextLeft(argument(), 20000, offset);
  EXPECT_EQ(std::u16string(argument()), big.substr(0, 20000));
  TextMiddle(argument(), 5, 7, offset);
  EXPECT_EQ(std::u16string(argument()), u"zzzzzzz");
  TextRemove(argument(), u"zz", offset);
  EXPECT_EQ(std::u16string(argument()), u"z");
  FreeTempBuffer();
  InitTempBuffer();

  // A result written behind the argument, whose growth moves the buffer while
  // the argument is still to be read.
  const std::u16string text(10000, u'a');
  const int64_t source = TempArgument(text);
  g_temp.end += 2;  // past the argument's terminator
  const int64_t before = g_temp.capacity;
  const char16_t* moving = reinterpret_cast<char16_t*>(g_temp.base + source);
  PushTempStart();
  const int64_t result = PopTempStart();
  TextLeft(moving, 10000, result);
  EXPECT_GT(g_temp.capacity, before);
  EXPECT_EQ(std::u16string(reinterpret_cast<char16_t*>(g_temp.base + result)), text);
  EXPECT_EQ(std::u16string(reinterpret_cast<char16_t*>(g_temp.base + source)), text)
      << "the argument stays intact";
  moving = reinterpret_cast<char16_t*>(g_temp.base + source);
  PushTempStart();
  const int64_t second = PopTempStart();
  TextReplace(moving, u"a", u"bb", second);
  EXPECT_EQ(std::u16string(reinterpret_cast<char16_t*>(g_temp.base + second)),
            std::u16string(20000, u'b'));
  moving = reinterpret_cast<char16_t*>(g_temp.base + source);
  PushTempStart();
  const int64_t third = PopTempStart();
  TextFromMemory(moving, -1, kTextFormatUtf16, third);
  EXPECT_EQ(std::u16string(reinterpret_cast<char16_t*>(g_temp.base + third)), text);
}

// A locale installed here whose numbers are written with a comma; "" when there is none.
std::string CommaLocale() {
  for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8", "nl_NL.UTF-8",
                           "es_ES.UTF-8", "it_IT.UTF-8", "ru_RU.UTF-8"}) {
    if (std::setlocale(LC_ALL, name) && std::strcmp(std::localeconv()->decimal_point, ",") == 0) {
      std::setlocale(LC_ALL, "C");
      return name;
    }
  }
  std::setlocale(LC_ALL, "C");
  return "";
}

TEST(Locale, NumbersUseAPointWhateverTheUsersLocale) {
  const std::string comma = CommaLocale();
  if (comma.empty()) {
    GTEST_SKIP() << "no locale that writes a decimal comma is installed (scripts/deps.sh makes "
                    "de_DE.UTF-8 for the tests)";
  }
  const char* saved = std::getenv("LC_ALL");
  const std::string old = saved ? saved : "";
  setenv("LC_ALL", comma.c_str(), 1);
  InitLocale();
  char text[16];
  std::snprintf(text, sizeof text, "%.1f", 2.5);
  EXPECT_STREQ(text, "2.5") << "numbers must keep their point under " << comma;
  EXPECT_STREQ(std::setlocale(LC_CTYPE, nullptr), comma.c_str())
      << "everything else follows the user's environment";
  std::setlocale(LC_ALL, "C");
  if (saved) {
    setenv("LC_ALL", old.c_str(), 1);
  } else {
    unsetenv("LC_ALL");
  }
}

}  // namespace
