// Tests of the terminal protocol's text side: JSON literals, UTF-8 checks, the argument
// parsers and the line reader, all fed with hostile input.
#include "platform/terminal/terminal_text.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace {

using terminal::LineReader;

TEST(TerminalText, JsonStringsEscapeQuotesBackslashesAndControls) {
  EXPECT_EQ(terminal::JsonString(std::string_view("")), "\"\"");
  EXPECT_EQ(terminal::JsonString(std::string_view("say \"hi\"\\now")), "\"say \\\"hi\\\"\\\\now\"");
  EXPECT_EQ(terminal::JsonString(std::string_view("a\nb\tc")), "\"a\\nb\\tc\"");
  EXPECT_EQ(terminal::JsonString(std::string_view("\r\x1b\x01\x1f", 4)),
            "\"\\u000d\\u001b\\u0001\\u001f\"")
      << "other control characters are written as \\u00xx";
  EXPECT_EQ(terminal::JsonString(std::string_view("nul\0here", 8)), "\"nul\\u0000here\"");
  EXPECT_EQ(terminal::JsonString(std::string_view("caf\xC3\xA9 \xE2\x8C\x98 \xF0\x9F\x98\x80")),
            "\"caf\xC3\xA9 \xE2\x8C\x98 \xF0\x9F\x98\x80\"")
      << "non-ASCII text stays UTF-8";
  EXPECT_EQ(terminal::JsonString(std::string_view("\x7f/")), "\"\x7f/\"") << "DEL and / are plain";
  EXPECT_EQ(terminal::JsonString(std::string_view("a\xFF"
                                                  "b\xC3")),
            "\"a\xEF\xBF\xBD"
            "b\xEF\xBF\xBD\"")
      << "invalid bytes become U+FFFD";
}

TEST(TerminalText, JsonStringsFromUtf16PairSurrogatesAndReplaceLoneOnes) {
  EXPECT_EQ(terminal::JsonString(std::u16string_view(u"\u2318T\n")), "\"\xE2\x8C\x98T\\n\"");
  EXPECT_EQ(terminal::JsonString(std::u16string_view(u"\U0001F600")), "\"\xF0\x9F\x98\x80\"");
  const char16_t lone[] = {u'a', 0xD800, u'b', 0xDC00, 0};
  EXPECT_EQ(terminal::JsonString(std::u16string_view(lone)),
            "\"a\xEF\xBF\xBD"
            "b\xEF\xBF\xBD\"");
  const char16_t cut[] = {u'x', 0xD83D, 0};
  EXPECT_EQ(terminal::JsonString(std::u16string_view(cut)), "\"x\xEF\xBF\xBD\"");
}

TEST(TerminalText, Utf8ValidationRefusesEveryMalformedForm) {
  EXPECT_TRUE(terminal::IsValidUtf8(""));
  EXPECT_TRUE(terminal::IsValidUtf8("plain ascii"));
  EXPECT_TRUE(terminal::IsValidUtf8("\xC3\xA9\xE2\x8C\x98\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF"));
  const char* bad[] = {
      "\x80",              // a continuation byte alone
      "\xC3",              // cut short at the end
      "\xC3(",             // cut short before ASCII
      "\xC0\xAF",          // overlong "/"
      "\xE0\x80\xAF",      // overlong, three bytes
      "\xF0\x80\x80\xAF",  // overlong, four bytes
      "\xED\xA0\x80",      // a surrogate
      "\xF4\x90\x80\x80",  // above U+10FFFF
      "\xF8\x88\x80\x80\x80",
      "\xFE",
      "ok then \xFF",
  };
  for (const char* text : bad) EXPECT_FALSE(terminal::IsValidUtf8(text)) << "refuses " << text;
  EXPECT_EQ(terminal::Utf16FromUtf8("a\xE2\x8C\x98\xF0\x9F\x98\x80"), u"a\u2318\U0001F600");
}

TEST(TerminalText, CommandLinesSplitIntoVerbAndLiteralRest) {
  auto line = terminal::SplitCommand("type  two  spaces ");
  EXPECT_EQ(line.verb, "type");
  EXPECT_EQ(line.rest, " two  spaces ") << "the rest after one separator is kept literally";
  line = terminal::SplitCommand("  \tshow");
  EXPECT_EQ(line.verb, "show");
  EXPECT_EQ(line.rest, "");
  line = terminal::SplitCommand("   ");
  EXPECT_EQ(line.verb, "");
  EXPECT_EQ(line.rest, "");
  line = terminal::SplitCommand("press\tDon't Save");
  EXPECT_EQ(line.verb, "press");
  EXPECT_EQ(line.rest, "Don't Save");

  const auto words = terminal::SplitWords(" select \t1.2   3 ");
  ASSERT_EQ(words.size(), 3u);
  EXPECT_EQ(words[0], "select");
  EXPECT_EQ(words[1], "1.2");
  EXPECT_EQ(words[2], "3");
  EXPECT_TRUE(terminal::SplitWords("  ").empty());
}

TEST(TerminalText, IntegersAreStrictDecimalWithinRange) {
  int64_t value = 77;
  EXPECT_TRUE(terminal::ParseInteger("0", 0, 10, &value));
  EXPECT_EQ(value, 0);
  EXPECT_TRUE(terminal::ParseInteger("-4", -10, 10, &value));
  EXPECT_EQ(value, -4);
  EXPECT_TRUE(terminal::ParseInteger("999999999999999999", 0, INT64_MAX, &value));
  EXPECT_EQ(value, 999999999999999999);
  value = 77;
  for (const char* text : {"", "-", "+1", "01", "-0", "1a", " 1", "1 ", "0x10", "1.5",
                           "9999999999999999999", "11", "-11"}) {
    EXPECT_FALSE(terminal::ParseInteger(text, -10, 10, &value)) << "refuses \"" << text << "\"";
  }
  EXPECT_EQ(value, 77) << "a refused number leaves the result alone";
  EXPECT_FALSE(terminal::ParseInteger("-1", 0, 10, &value)) << "below the minimum";
}

TEST(TerminalText, DurationsTakeMillisecondsSecondsMinutesAndHours) {
  int64_t ms = -1;
  EXPECT_TRUE(terminal::ParseDuration("250ms", &ms));
  EXPECT_EQ(ms, 250);
  EXPECT_TRUE(terminal::ParseDuration("90s", &ms));
  EXPECT_EQ(ms, 90000);
  EXPECT_TRUE(terminal::ParseDuration("5m", &ms));
  EXPECT_EQ(ms, 300000);
  EXPECT_TRUE(terminal::ParseDuration("2h", &ms));
  EXPECT_EQ(ms, 7200000);
  EXPECT_TRUE(terminal::ParseDuration("0s", &ms));
  EXPECT_EQ(ms, 0);
  EXPECT_TRUE(terminal::ParseDuration("8784h", &ms));
  EXPECT_EQ(ms, terminal::kMaxDurationMilliseconds);
  ms = -1;
  for (const char* text : {"", "5", "m", "5 m", "5M", "5min", "1.5s", "-5s", "+5s", "5ms5", "8785h",
                           "999999999999999999h", "99999999999999999999ms", "05s"}) {
    EXPECT_FALSE(terminal::ParseDuration(text, &ms)) << "refuses \"" << text << "\"";
  }
  EXPECT_EQ(ms, -1);
}

TEST(TerminalText, ViewIdsAndScreenSizesNeedTwoPositiveNumbers) {
  terminal::ViewId id{};
  ASSERT_TRUE(terminal::ParseViewId("1.12", &id));
  EXPECT_EQ(id.window, 1);
  EXPECT_EQ(id.view, 12);
  ASSERT_TRUE(terminal::ParseViewId("0.1", &id)) << "windows are numbered from 0";
  EXPECT_EQ(id.window, 0);
  for (const char* text :
       {"", "1", "1.", ".1", "00.1", "1.0", "-1.2", "1.2.3", "a.b", "1 .2", "1.2 "}) {
    EXPECT_FALSE(terminal::ParseViewId(text, &id)) << "refuses \"" << text << "\"";
  }
  int64_t w = 0, h = 0;
  ASSERT_TRUE(terminal::ParseScreenSize("1280x800", &w, &h));
  EXPECT_EQ(w, 1280);
  EXPECT_EQ(h, 800);
  for (const char* text : {"", "1280", "1280x", "x800", "0x800", "1280X800", "1280x800x2", "-1x5",
                           "100001x5", " 1x1", "none"}) {
    EXPECT_FALSE(terminal::ParseScreenSize(text, &w, &h)) << "refuses \"" << text << "\"";
  }
}

// Takes every item the reader has now, as text: lines as they are, "<too long>" for skips.
std::vector<std::string> Drain(LineReader* reader) {
  std::vector<std::string> items;
  std::string line;
  for (;;) {
    const LineReader::Item item = reader->Next(&line);
    if (item == LineReader::Item::kNone) return items;
    items.push_back(item == LineReader::Item::kLine ? line : "<too long>");
  }
}

using Items = std::vector<std::string>;

TEST(TerminalLineReader, LinesComeOutWholeWhateverTheChunks) {
  LineReader reader;
  reader.Feed("sh");
  EXPECT_EQ(Drain(&reader), Items{}) << "a partial line waits";
  reader.Feed("ow\nmenu 1\r\n\nty");
  EXPECT_EQ(Drain(&reader), (Items{"show", "menu 1", ""})) << "\\r\\n ends a line too";
  reader.Feed("pe a\rb\n");
  EXPECT_EQ(Drain(&reader), Items{"type a\rb"}) << "a \\r inside a line stays";
  EXPECT_FALSE(reader.Finished());
  reader.Feed("last");
  reader.FeedEnd();
  EXPECT_EQ(Drain(&reader), Items{"last"}) << "an unterminated last line still counts";
  EXPECT_TRUE(reader.Finished());
}

TEST(TerminalLineReader, OverlongLinesAreSkippedInTheirPlaceAndReadingGoesOn) {
  const size_t max = terminal::kMaxLineBytes;
  LineReader reader;
  const std::string longest(max, 'a');
  reader.Feed("one\n" + longest + "\n" + longest + "\r\n" + std::string(max + 1, 'b') + "\ntwo\n");
  EXPECT_EQ(Drain(&reader), (Items{"one", longest, longest, "<too long>", "two"}))
      << "64 KiB is accepted, one byte more is not";

  // An endless line arriving in pieces is dropped as it comes, and its end is found later.
  reader.Feed("three\nxx");
  for (int i = 0; i < 40; ++i) reader.Feed(std::string(16 * 1024, 'c'));
  EXPECT_EQ(Drain(&reader), Items{"three"});
  reader.Feed(std::string(100, 'c'));
  EXPECT_EQ(Drain(&reader), Items{});
  reader.Feed("ccc\nfour\nfi");
  reader.Feed("ve\n");
  EXPECT_EQ(Drain(&reader), (Items{"<too long>", "four", "five"}));

  // An overlong line cut by the end of input is still answered.
  reader.Feed(std::string(max + 10, 'd'));
  EXPECT_EQ(Drain(&reader), Items{});
  reader.FeedEnd();
  EXPECT_EQ(Drain(&reader), Items{"<too long>"});
  EXPECT_TRUE(reader.Finished());
}

TEST(TerminalLineReader, ReadsADescriptorUntilItsEnd) {
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  const std::string text = "help\nshow\npartial";
  ASSERT_EQ(write(fds[1], text.data(), text.size()), static_cast<ssize_t>(text.size()));
  close(fds[1]);
  LineReader reader;
  reader.ReadFrom(fds[0]);
  EXPECT_EQ(Drain(&reader), (Items{"help", "show"}));
  EXPECT_FALSE(reader.Finished());
  reader.ReadFrom(fds[0]);  // end of input
  EXPECT_EQ(Drain(&reader), Items{"partial"});
  EXPECT_TRUE(reader.Finished());
  close(fds[0]);
}

}  // namespace
