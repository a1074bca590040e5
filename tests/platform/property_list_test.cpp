// Tests of the XML property-list reader, writer and atomic file write.
#include "platform/foundation/property_list.h"

#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

namespace {

using plist::Kind;
using plist::Value;

// --- Helpers ---

bool Parse(const std::string& text, Value* out) {
  return plist::ParseXml(text.data(), text.size(), out);
}

Value ParseOk(const std::string& text) {
  Value v;
  EXPECT_TRUE(Parse(text, &v)) << "expected this to read without damage:\n" << text;
  return v;
}

// The value of one <plist> whose body is `body`.
Value ParseBody(const std::string& body) {
  return ParseOk("<plist version=\"1.0\">" + body + "</plist>");
}

std::string Utf8(std::u16string_view s) {
  return plist::Utf8FromUtf16(s);
}

// A value with every kind, nested both ways, and awkward strings.
Value Sample() {
  Value inner = Value::Dictionary({
      {u"empty dict", Value::Dictionary()},
      {u"empty array", Value::Array()},
      {u"list", Value::Array({Value::Integer(-7), Value::Boolean(false), Value::String(u"")})},
  });
  return Value::Dictionary({
      {u"Val1", Value::String(u"\u2303\u2325T")},
      {u"Val5", Value::Integer(257)},
      {u"big", Value::Integer(INT64_MIN)},
      {u"pi", Value::Real(3.141592653589793)},
      {u"tiny", Value::Real(-1e-300)},
      {u"yes", Value::Boolean(true)},
      {u"when", Value::Date(-978307200.0)},  // 1970-01-01
      {u"bytes", Value::Data(std::string("\0\x01\xff\x80 abc", 8))},
      {u"long bytes", Value::Data(std::string(200, '\x5a'))},
      {u"markup <&>\"'", Value::String(u"a < b && c > d \"q\" 'a' ]]> \t\n\r end \U0001F600")},
      {u"nested", Value::Array({inner, Value::Array({Value::Array({Value::Real(0.5)})})})},
      {u"", Value::String(u"empty key")},
  });
}

int CountLeaves(const Value& v) {
  int n = 0;
  if (v.kind == Kind::Array) {
    for (const Value& item : v.array) n += CountLeaves(item);
  } else if (v.kind == Kind::Dictionary) {
    for (const auto& entry : v.dictionary) n += CountLeaves(entry.second);
  } else {
    n = 1;
  }
  return n;
}

// Whether part is what a reader may keep of full: equal, except that the last
// entry of a container may itself be a partial container.
bool IsPartOf(const Value& part, const Value& full) {
  if (part.kind != full.kind) return false;
  if (part.kind == Kind::Array) {
    const size_t n = part.array.size();
    if (n > full.array.size()) return false;
    for (size_t i = 0; i + 1 < n; ++i) {
      if (!(part.array[i] == full.array[i])) return false;
    }
    return n == 0 || IsPartOf(part.array[n - 1], full.array[n - 1]);
  }
  if (part.kind == Kind::Dictionary) {
    const size_t n = part.dictionary.size();
    if (n > full.dictionary.size()) return false;
    for (size_t i = 0; i + 1 < n; ++i) {
      if (!(part.dictionary[i] == full.dictionary[i])) return false;
    }
    return n == 0 || (part.dictionary[n - 1].first == full.dictionary[n - 1].first &&
                      IsPartOf(part.dictionary[n - 1].second, full.dictionary[n - 1].second));
  }
  return part == full;
}

// A temporary folder removed with everything in it at the end of the test.
class TempFolder {
 public:
  TempFolder() {
    char pattern[] = "/tmp/plist_test.XXXXXX";
    path_ = mkdtemp(pattern) ? pattern : "";
  }
  ~TempFolder() {
    if (path_.empty()) return;
    chmod(path_.c_str(), 0700);
    nftw(
        path_.c_str(),
        [](const char* p, const struct stat*, int, struct FTW*) {
          chmod(p, 0700);  // a folder made read-only by a test
          return remove(p);
        },
        16, FTW_DEPTH | FTW_PHYS);
  }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

std::string ReadWhole(const std::string& path) {
  std::string bytes;
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) return "<missing>";
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, f)) > 0) bytes.append(buffer, n);
  fclose(f);
  return bytes;
}

// Entries of a folder, "." and ".." not counted.
int CountEntries(const std::string& folder) {
  int n = 0;
  if (DIR* dir = opendir(folder.c_str())) {
    while (const dirent* entry = readdir(dir)) {
      n += strcmp(entry->d_name, ".") != 0 && strcmp(entry->d_name, "..") != 0;
    }
    closedir(dir);
  }
  return n;
}

// --- Writing and reading back ---

TEST(PropertyList, EveryKindRoundTripsThroughTheWriter) {
  const Value sample = Sample();
  const std::string text = plist::WriteXml(sample);
  const Value back = ParseOk(text);
  EXPECT_TRUE(back == sample) << "expected the written value back from:\n" << text;
  EXPECT_EQ(plist::WriteXml(back), text) << "expected writing the read value to give the same text";

  for (const Value& root : {Value::Array({Value::Integer(1)}), Value::String(u"alone"),
                            Value::Integer(INT64_MAX), Value::Dictionary()}) {
    EXPECT_TRUE(ParseOk(plist::WriteXml(root)) == root)
        << "expected a root of kind " << static_cast<int>(root.kind) << " to round-trip";
  }
}

TEST(PropertyList, WriterUsesTheAppleLayout) {
  const Value v = Value::Dictionary({
      {u"a", Value::String(u"x")},
      {u"b", Value::Array({Value::Boolean(true), Value::Dictionary()})},
      {u"c", Value::Data("abcd")},
      {u"d", Value::Date(0)},
      {u"e", Value::Real(2.5)},
  });
  EXPECT_EQ(plist::WriteXml(v),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
            "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
            "<plist version=\"1.0\">\n"
            "<dict>\n"
            "\t<key>a</key>\n"
            "\t<string>x</string>\n"
            "\t<key>b</key>\n"
            "\t<array>\n"
            "\t\t<true/>\n"
            "\t\t<dict/>\n"
            "\t</array>\n"
            "\t<key>c</key>\n"
            "\t<data>\n"
            "\tYWJjZA==\n"
            "\t</data>\n"
            "\t<key>d</key>\n"
            "\t<date>2001-01-01T00:00:00Z</date>\n"
            "\t<key>e</key>\n"
            "\t<real>2.5</real>\n"
            "</dict>\n"
            "</plist>\n");
}

TEST(PropertyList, MarkupCharactersAreEscapedAndLineEndsSurvive) {
  const std::u16string s = u"<tag> & \"q\" 'a'\tTAB\nLF\r\nCRLF\rCR \U0001F600";
  const std::string text = plist::WriteXml(Value::String(s));
  EXPECT_NE(text.find("&lt;tag&gt; &amp; \"q\" 'a'\tTAB\nLF&#13;\nCRLF&#13;CR \xF0\x9F\x98\x80"),
            std::string::npos)
      << "expected escapes, literal tab and line feed, CR as &#13; and the emoji in 4 bytes:\n"
      << text;
  EXPECT_EQ(text.find('\r'), std::string::npos) << "expected no raw carriage return";
  EXPECT_EQ(ParseOk(text).string, s) << "expected the string back unchanged";

  // Raw line ends in a file are normalised as XML requires; references are not.
  EXPECT_EQ(ParseBody("<string>a\r\nb\rc&#13;&#10;d<![CDATA[\r\n]]></string>").string,
            u"a\nb\nc\r\nd\n");
}

TEST(PropertyList, CharactersXmlCannotHoldBecomeReplacementCharacters) {
  std::u16string bad = u"a";
  for (char16_t c : {0x00, 0x01, 0x08, 0x0B, 0x0C, 0x1F, 0xFFFE, 0xFFFF, 0xDC00, 0xD800}) {
    bad.push_back(c);  // the last two are lone surrogates, in the wrong order for a pair
  }
  bad += u"\u007F\u0085z";  // DEL and NEL are allowed
  bad.push_back(0xDBFF);    // a high surrogate at the end is not
  const std::string text = plist::WriteXml(Value::Dictionary({{bad, Value::String(bad)}}));
  for (unsigned char c : text) {
    EXPECT_TRUE(c >= 0x20 || c == '\t' || c == '\n') << "expected no control byte " << int{c};
  }
  const std::u16string expected =
      u"a\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD"
      u"\u007F\u0085z\uFFFD";
  const Value back = ParseOk(text);
  ASSERT_EQ(back.dictionary.size(), 1u);
  EXPECT_EQ(back.dictionary[0].first, expected) << "expected the key cleaned the same way";
  EXPECT_EQ(back.dictionary[0].second.string, expected);

  // The reader maps them the same way, so what it reads can always be written.
  EXPECT_EQ(ParseBody("<string>&#0;&#1;&#xFFFE;&#xD800;&#x110000;\x01\x1f</string>").string,
            u"\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD");
}

// --- What the reader accepts ---

TEST(PropertyList, ReaderAcceptsTheStandardForms) {
  const Value v = ParseOk(
      "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<!-- a comment -->\n"
      "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" \"x.dtd\" [ <!ENTITY e \"]>\"> ]>\n"
      "<plist version='1.0'>\n"
      "<dict><!-- between entries -->\n"
      "  <key>refs</key><string>&lt;&gt;&amp;&quot;&apos;&#65;&#x42;&#x1F600;</string>\n"
      "  <key>cdata</key><string>a<![CDATA[<b>&amp;]]>c<!-- gone -->d<?pi x?>e</string>\n"
      "  <key>utf8</key><string>\xC3\xA9\xE2\x8C\x83\xF0\x9F\x98\x80</string>\n"
      "  <key>bad utf8</key><string>a\xFF\xC3(\xED\xA0\x80z</string>\n"
      "  <key>empty</key><string/>\n"
      "  <key>empty2</key><string></string>\n"
      "  <key>amp</key><string>R&D &foo; &#xZZ; & end</string>\n"
      "  <key>dict</key><dict/>\n"
      "  <key>array</key><array ></array >\n"
      "  <key>ints</key><array><integer>42</integer><integer> -17 </integer>"
      "<integer>+3</integer><integer>0x1F</integer>"
      "<integer>99999999999999999999</integer><integer>-9223372036854775809</integer></array>\n"
      "  <key>reals</key><array><real>1.5e3</real><real>-0</real><real>7</real>"
      "<real>+infinity</real><real>-inf</real><real>nan</real></array>\n"
      "  <key>date</key><date>2024-02-29T23:59:59Z</date>\n"
      "  <key>data</key><data>\n\tAAEC\n\tAw==\n\t</data>\n"
      "  <key>unpadded</key><data>AAECAw</data>\n"
      "  <key>bools</key><array><true/><false/><true></true></array>\n"
      "  <key/><string>empty key</string>\n"
      "  <key>refs</key><string>duplicate: last value, first place</string>\n"
      "</dict>\n"
      "</plist>\n"
      "<!-- trailing comment -->\n");
  auto find = [&](std::u16string_view key) {
    const Value* found = plist::Find(v, key);
    EXPECT_NE(found, nullptr) << "expected key " << Utf8(key);
    return found ? *found : Value();
  };
  EXPECT_EQ(v.dictionary[0].first, u"refs");
  EXPECT_EQ(find(u"refs").string, u"duplicate: last value, first place");
  EXPECT_EQ(find(u"cdata").string, u"a<b>&amp;cde");
  EXPECT_EQ(find(u"utf8").string, u"\u00E9\u2303\U0001F600");
  EXPECT_EQ(find(u"bad utf8").string, u"a\uFFFD\uFFFD(\uFFFD\uFFFD\uFFFDz");
  EXPECT_EQ(find(u"empty").string, u"");
  EXPECT_EQ(find(u"empty2").kind, Kind::String);
  EXPECT_EQ(find(u"amp").string, u"R&D &foo; &#xZZ; & end");
  EXPECT_EQ(find(u"dict").kind, Kind::Dictionary);
  EXPECT_EQ(find(u"array").kind, Kind::Array);
  const Value ints = find(u"ints");
  ASSERT_EQ(ints.array.size(), 6u);
  EXPECT_EQ(ints.array[0].integer, 42);
  EXPECT_EQ(ints.array[1].integer, -17);
  EXPECT_EQ(ints.array[2].integer, 3);
  EXPECT_EQ(ints.array[3].integer, 31);
  EXPECT_EQ(ints.array[4].integer, INT64_MAX) << "expected out-of-range integers to saturate";
  EXPECT_EQ(ints.array[5].integer, INT64_MIN) << "expected out-of-range integers to saturate";
  const Value reals = find(u"reals");
  ASSERT_EQ(reals.array.size(), 6u);
  EXPECT_EQ(reals.array[0].real, 1500.0);
  EXPECT_TRUE(std::signbit(reals.array[1].real));
  EXPECT_EQ(reals.array[2].real, 7.0);
  EXPECT_EQ(reals.array[3].real, INFINITY);
  EXPECT_EQ(reals.array[4].real, -INFINITY);
  EXPECT_TRUE(std::isnan(reals.array[5].real));
  EXPECT_EQ(find(u"date").kind, Kind::Date);
  EXPECT_EQ(find(u"date").real, 730943999.0) << "expected 2024-02-29T23:59:59Z";
  EXPECT_EQ(find(u"data").data, std::string("\0\1\2\3", 4));
  EXPECT_EQ(find(u"unpadded").data, std::string("\0\1\2\3", 4));
  const Value bools = find(u"bools");
  ASSERT_EQ(bools.array.size(), 3u);
  EXPECT_EQ(bools.array[0].integer, 1);
  EXPECT_EQ(bools.array[1].integer, 0);
  EXPECT_EQ(bools.array[2].kind, Kind::Boolean);
  EXPECT_EQ(find(u"").string, u"empty key");

  // Whatever was read writes back to a file that reads as the same value.
  EXPECT_TRUE(ParseOk(plist::WriteXml(v)) == v) << "expected the accepted file to round-trip";

  // Without the <plist> wrapper, and an empty wrapper.
  EXPECT_EQ(ParseOk("<dict><key>k</key><true/></dict>").dictionary.size(), 1u);
  EXPECT_EQ(ParseOk("<plist version=\"1.0\"/>").kind, Kind::Dictionary);
  EXPECT_EQ(ParseOk("<plist>\n</plist>").kind, Kind::Dictionary);
}

TEST(PropertyList, DatesAreWholeSecondsOfYearsOneTo9999) {
  const struct {
    const char* text;
    double seconds;
  } dates[] = {
      {"2001-01-01T00:00:00Z", 0},
      {"2000-12-31T23:59:59Z", -1},
      {"1970-01-01T00:00:00Z", -978307200},
      {"0001-01-01T00:00:00Z", -63113904000},
      {"9999-12-31T23:59:59Z", 252423993599},
  };
  for (const auto& d : dates) {
    const Value v = ParseBody(std::string("<date>") + d.text + "</date>");
    EXPECT_EQ(v.real, d.seconds) << "expected " << d.text << " to read as " << d.seconds;
    EXPECT_NE(plist::WriteXml(Value::Date(d.seconds)).find(d.text), std::string::npos)
        << "expected " << d.seconds << " to be written as " << d.text;
  }
  EXPECT_NE(plist::WriteXml(Value::Date(-0.5)).find("2000-12-31T23:59:59Z"), std::string::npos)
      << "expected fractions to round down";
  EXPECT_NE(plist::WriteXml(Value::Date(1e300)).find("9999-12-31T23:59:59Z"), std::string::npos)
      << "expected far dates to be clamped into the readable range";
  EXPECT_NE(plist::WriteXml(Value::Date(NAN)).find("2001-01-01T00:00:00Z"), std::string::npos);
  for (const char* bad : {"2001-02-29T00:00:00Z", "2001-13-01T00:00:00Z", "0000-01-01T00:00:00Z",
                          "2001-01-01T24:00:00Z", "2001-01-01T00:00:00.5Z", "2001-01-01T00:00:00",
                          "2001-1-01T00:00:00Z"}) {
    Value v;
    EXPECT_FALSE(Parse(std::string("<plist><date>") + bad + "</date></plist>", &v))
        << "expected date " << bad << " to be damage";
  }
}

// --- Damage ---

TEST(PropertyList, DamageIsReportedAndWhatCameBeforeIsKept) {
  const char* damaged[] = {
      "",
      "not xml at all",
      "<plist><dict><key>a</key></dict></plist>",            // key without value
      "<plist><dict><string>x</string></dict></plist>",      // value without key
      "<plist><dict><key>a</key><string>x</dict></plist>",   // mismatched end tag
      "<plist><array><integer>1</array></integer></plist>",  // wrong nesting
      "<plist><dict>text</dict></plist>",                    // text between entries
      "<plist><foo/></plist>",                               // unknown element
      "<plist><key>a</key></plist>",                         // key outside a dictionary
      "<plist><string>a<b/></string></plist>",               // element inside a string
      "<plist><integer>12a</integer></plist>",
      "<plist><integer/></plist>",
      "<plist><real>1,5</real></plist>",
      "<plist><data>@@@@</data></plist>",
      "<plist><data>AAA=A</data></plist>",
      "<plist><data>A</data></plist>",
      "<plist><true>x</true></plist>",
      "<plist><dict/></plist> trailing",
      "<plist><dict/><dict/></plist>",
      "<plist><dict/>",
      "<!-- unterminated",
      "<plist><string><![CDATA[open</string></plist>",
      "bplist00\x01\x02",
  };
  for (const char* text : damaged) {
    Value v = Value::String(u"stale");
    EXPECT_FALSE(Parse(text, &v)) << "expected damage in: " << text;
    EXPECT_EQ(v.kind, Kind::Dictionary) << "expected a dictionary after damage in: " << text;
  }

  Value v;
  EXPECT_FALSE(
      Parse("<plist><dict><key>a</key><integer>1</integer>"
            "<key>n</key><dict><key>b</key><true/><key>c</key><bogus/></dict>"
            "<key>z</key><integer>2</integer></dict></plist>",
            &v));
  EXPECT_TRUE(v == Value::Dictionary({{u"a", Value::Integer(1)},
                                      {u"n", Value::Dictionary({{u"b", Value::Boolean(true)}})}}))
      << "expected the entries before the damage, and the open dictionary's complete part";

  EXPECT_FALSE(Parse("<plist><array><integer>1</integer><bogus/></array></plist>", &v));
  EXPECT_TRUE(v == Value::Dictionary()) << "expected a non-dictionary root to give an empty one";

  EXPECT_FALSE(plist::ParseXml(nullptr, 0, &v));
  EXPECT_FALSE(plist::ParseXml("<dict/>", 7, nullptr));
}

TEST(PropertyList, EveryPrefixOfAFileKeepsWhatWasCompleteInIt) {
  const Value full = Sample();
  const std::string text = plist::WriteXml(full);
  // Where each leaf of the written file ends; a prefix must hold exactly those.
  std::vector<size_t> leaf_ends;
  for (const char* end_tag :
       {"</string>", "</integer>", "</real>", "</date>", "</data>", "<true/>", "<false/>"}) {
    for (size_t at = text.find(end_tag); at != std::string::npos; at = text.find(end_tag, at + 1)) {
      leaf_ends.push_back(at + strlen(end_tag));
    }
  }
  ASSERT_EQ(leaf_ends.size(), static_cast<size_t>(CountLeaves(full)));

  for (size_t length = 0; length <= text.size(); ++length) {
    // An exact-size heap copy, so that reading past the end is caught.
    std::unique_ptr<char[]> bytes(new char[length]);
    memcpy(bytes.get(), text.data(), length);
    Value part;
    const bool ok = plist::ParseXml(bytes.get(), length, &part);
    EXPECT_EQ(ok, length + 1 >= text.size()) << "expected damage only when cut, at " << length;
    ASSERT_TRUE(IsPartOf(part, full)) << "expected a part of the full value at length " << length;
    size_t complete = 0;
    for (size_t end : leaf_ends) complete += end <= length;
    ASSERT_EQ(static_cast<size_t>(CountLeaves(part)), complete)
        << "expected every leaf complete in the first " << length << " bytes to be kept";
  }
}

TEST(PropertyList, DeepNestingIsDamageNotACrash) {
  std::string text = "<plist><dict><key>a</key><integer>1</integer><key>deep</key>";
  for (int i = 0; i < 100000; ++i) text += "<array>";
  Value v;
  EXPECT_FALSE(Parse(text, &v));
  ASSERT_EQ(v.kind, Kind::Dictionary);
  EXPECT_TRUE(v.dictionary[0].second == Value::Integer(1)) << "expected the entry before kept";

  // kMaxDepth containers nested read fine; the writer cuts deeper ones to empty.
  Value deep = Value::Array();
  for (int i = 1; i < plist::kMaxDepth + 10; ++i) deep = Value::Array({std::move(deep)});
  const Value back = ParseOk(plist::WriteXml(deep));
  int depth = 0;
  for (const Value* p = &back; p->kind == Kind::Array; p = &p->array[0]) {
    ++depth;
    if (p->array.empty()) break;
  }
  EXPECT_EQ(depth, plist::kMaxDepth + 1) << "expected content below the limit written as empty";
}

TEST(PropertyList, LargeFilesReadInOnePass) {
  // Many keys (a reader that searched for duplicates linearly would take hours)
  // and one long string.
  std::string text = "<plist><dict>";
  constexpr int kKeys = 200000;
  for (int i = 0; i < kKeys; ++i) {
    text += "<key>k" + std::to_string(i) + "</key><integer>" + std::to_string(i) + "</integer>";
  }
  text += "<key>k7</key><string>" + std::string(8 << 20, 'x') + "</string></dict></plist>";
  const Value v = ParseOk(text);
  ASSERT_EQ(v.dictionary.size(), static_cast<size_t>(kKeys));
  EXPECT_EQ(v.dictionary[7].second.string.size(), size_t{8} << 20)
      << "expected the repeated key to replace the value in place";
  EXPECT_EQ(v.dictionary[kKeys - 1].second.integer, kKeys - 1);
}

// --- Helpers ---

TEST(PropertyList, FindSetAndRemoveWorkOnDictionariesOnly) {
  Value dict = Value::Dictionary();
  plist::Set(&dict, u"a", Value::Integer(1));
  plist::Set(&dict, u"b", Value::String(u"x"));
  plist::Set(&dict, u"a", Value::Integer(2));
  ASSERT_EQ(dict.dictionary.size(), 2u);
  EXPECT_EQ(dict.dictionary[0].first, u"a") << "expected a replaced key to keep its place";
  EXPECT_EQ(plist::Find(dict, u"a")->integer, 2);
  EXPECT_EQ(plist::Find(dict, u"missing"), nullptr);
  plist::Find(&dict, u"b")->string = u"y";
  EXPECT_EQ(plist::Find(dict, u"b")->string, u"y");
  EXPECT_TRUE(plist::Remove(&dict, u"a"));
  EXPECT_FALSE(plist::Remove(&dict, u"a"));
  EXPECT_EQ(dict.dictionary.size(), 1u);

  Value text = Value::String(u"not a dictionary");
  plist::Set(&text, u"a", Value::Integer(1));
  EXPECT_TRUE(text == Value::String(u"not a dictionary"));
  EXPECT_EQ(plist::Find(text, u"a"), nullptr);
  plist::Set(nullptr, u"a", Value::Integer(1));
  EXPECT_EQ(plist::Find(nullptr, u"a"), nullptr);

  EXPECT_EQ(plist::Utf16FromUtf8("a\xE2\x8C\x83\x01\xF0\x9F\x98\x80\xC0"),
            u"a\u2303\u0001\U0001F600\uFFFD");
  EXPECT_EQ(plist::Utf8FromUtf16(u"a\u2303\U0001F600\xDC00"),
            "a\xE2\x8C\x83\xF0\x9F\x98\x80\xEF\xBF\xBD");
}

// --- Files ---

TEST(PropertyList, ReadFileTellsMissingFromDamaged) {
  TempFolder folder;
  Value v = Value::String(u"stale");
  EXPECT_EQ(plist::ReadFile((folder / "none.plist").c_str(), &v), plist::ReadResult::Missing);
  EXPECT_TRUE(v == Value::Dictionary());
  EXPECT_EQ(plist::ReadFile((folder / "none/deeper.plist").c_str(), &v),
            plist::ReadResult::Missing);

  ASSERT_TRUE(
      plist::WriteFileAtomically((folder / "good.plist").c_str(), plist::WriteXml(Sample())));
  EXPECT_EQ(plist::ReadFile((folder / "good.plist").c_str(), &v), plist::ReadResult::Ok);
  EXPECT_TRUE(v == Sample());

  ASSERT_TRUE(plist::WriteFileAtomically((folder / "bad.plist").c_str(),
                                         "<plist><dict><key>a</key><true/><key>b</key>"));
  EXPECT_EQ(plist::ReadFile((folder / "bad.plist").c_str(), &v), plist::ReadResult::Damaged);
  EXPECT_TRUE(v == Value::Dictionary({{u"a", Value::Boolean(true)}}));

  EXPECT_EQ(plist::ReadFile(folder.path().c_str(), &v), plist::ReadResult::Damaged)
      << "expected a folder to read as damaged";
  EXPECT_TRUE(v == Value::Dictionary());
}

TEST(PropertyList, AtomicWriteLeavesEitherTheOldOrTheNewFile) {
  TempFolder folder;
  const std::string path = folder / "Library/Preferences/Mindel.plist";
  ASSERT_TRUE(plist::WriteFileAtomically(path.c_str(), "old"))
      << "expected missing parent folders to be made";
  EXPECT_EQ(ReadWhole(path), "old");
  struct stat st;
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u) << "expected a new file to be private";
  ASSERT_EQ(chmod(path.c_str(), 0640), 0);
  ASSERT_TRUE(plist::WriteFileAtomically(path.c_str(), "new"));
  EXPECT_EQ(ReadWhole(path), "new");
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u) << "expected a replaced file to keep its permissions";
  const std::string preferences = folder / "Library/Preferences";
  EXPECT_EQ(CountEntries(preferences), 1) << "expected no temporary file left";

  // Failures leave the old file and no temporary behind.
  EXPECT_FALSE(plist::WriteFileAtomically((path + "/under_a_file").c_str(), "x"));
  ASSERT_EQ(mkdir((folder / "Library/Preferences/folder.plist").c_str(), 0700), 0);
  EXPECT_FALSE(
      plist::WriteFileAtomically((folder / "Library/Preferences/folder.plist").c_str(), "x"))
      << "expected renaming over a folder to fail";
  EXPECT_FALSE(plist::WriteFileAtomically((folder / "ends/in/slash/").c_str(), "x"));
  EXPECT_FALSE(plist::WriteFileAtomically(nullptr, "x"));
  EXPECT_EQ(CountEntries(preferences), 2) << "expected only the file and the folder";

  // A write that fails half-way (here: past the file size limit) leaves the old file.
  const std::string big(1 << 20, 'b');
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    struct rlimit limit = {4096, 4096};
    signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &limit);
    _exit(plist::WriteFileAtomically(path.c_str(), big) ? 1 : 0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
      << "expected the write past the size limit to fail";
  EXPECT_EQ(ReadWhole(path), "new") << "expected the old content after a failed write";
  EXPECT_EQ(CountEntries(preferences), 2) << "expected the temporary file removed";

  // A read-only folder stops everyone but root.
  if (geteuid() != 0) {
    ASSERT_EQ(chmod(preferences.c_str(), 0500), 0);
    EXPECT_FALSE(plist::WriteFileAtomically(path.c_str(), "newer"));
    EXPECT_EQ(ReadWhole(path), "new");
    chmod(preferences.c_str(), 0700);
  }
}

// --- Standard tools ---

bool HavePlistlib() {
  return system("python3 -c 'import plistlib' >/dev/null 2>&1") == 0;
}

TEST(PropertyList, PythonPlistlibReadsWhatWeWriteAndWeReadWhatItWrites) {
  if (!HavePlistlib()) GTEST_SKIP() << "python3 with plistlib is not installed";
  TempFolder folder;
  const std::string ours = folder / "ours.plist";
  const std::string theirs = folder / "theirs.plist";
  const std::string script = folder / "check.py";
  const Value v = Value::Dictionary({
      {u"text", Value::String(u"<&> \"q\"\t\n\r \U0001F600 \u2303\u2325T \x01 end")},
      {u"n", Value::Integer(-9223372036854775807 - 1)},
      {u"r", Value::Real(0.1)},
      {u"inf", Value::Real(INFINITY)},
      {u"b", Value::Boolean(true)},
      {u"d", Value::Date(-978307200 + 86399)},
      {u"bytes", Value::Data(std::string("\0\1\2\xff", 4) + std::string(100, 'z'))},
      {u"nested", Value::Array({Value::Dictionary(), Value::Array(), Value::Boolean(false)})},
  });
  ASSERT_TRUE(plist::WriteFileAtomically(ours.c_str(), plist::WriteXml(v)));
  ASSERT_TRUE(plist::WriteFileAtomically(
      script.c_str(),
      "import datetime, plistlib, sys\n"
      "with open(sys.argv[1], 'rb') as f:\n"
      "    got = plistlib.load(f)\n"
      "want = {'text': '<&> \"q\"\\t\\n\\r \\U0001F600 \\u2303\\u2325T \\ufffd end',\n"
      "        'n': -2**63, 'r': 0.1, 'inf': float('inf'), 'b': True,\n"
      "        'd': datetime.datetime(1970, 1, 1, 23, 59, 59),\n"
      "        'bytes': b'\\x00\\x01\\x02\\xff' + b'z' * 100,\n"
      "        'nested': [{}, [], False]}\n"
      "if got != want or list(got) != list(want):\n"
      "    print(got, file=sys.stderr)\n"
      "    sys.exit(1)\n"
      "with open(sys.argv[2], 'wb') as f:\n"
      "    plistlib.dump({'z': 'caf\\u00e9 <&>\\r\\n', 'a': [1, 2.5, True, b'\\x00x'],\n"
      "                   'd': datetime.datetime(2024, 2, 29, 12, 0, 0), 'e': {}}, f,\n"
      "                  sort_keys=False)\n"));
  ASSERT_EQ(system(("python3 '" + script + "' '" + ours + "' '" + theirs + "'").c_str()), 0)
      << "expected plistlib to read our file as the same values";

  Value back;
  ASSERT_EQ(plist::ReadFile(theirs.c_str(), &back), plist::ReadResult::Ok);
  EXPECT_TRUE(back == Value::Dictionary({
                          {u"z", Value::String(u"caf\u00e9 <&>\n")},  // plistlib writes CR as LF
                          {u"a", Value::Array({Value::Integer(1), Value::Real(2.5),
                                               Value::Boolean(true), Value::Data({"\0x", 2})})},
                          {u"d", Value::Date(730900800)},
                          {u"e", Value::Dictionary()},
                      }))
      << "expected plistlib's file to read as the values it wrote:\n"
      << ReadWhole(theirs);
}

}  // namespace
