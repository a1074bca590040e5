// Tests of the desktop protocol's key names: every documented name, the modifiers, the
// characters a Mac would give, and refusal of bad input.
#include "platform/desktop/key_names.h"

#include <gtest/gtest.h>

#include <string>

namespace {

KeyStroke Parse(const std::string& text) {
  KeyStroke key{};
  EXPECT_TRUE(ParseKeyName(text, &key)) << "\"" << text << "\" should parse";
  return key;
}

bool Refused(std::string_view text) {
  KeyStroke key{0xABC, 1, 2, u'x', u'y'};
  const bool refused = !ParseKeyName(text, &key);
  const bool untouched = key.key_code == 0xABC && key.cocoa_modifiers == 1 &&
                         key.carbon_modifiers == 2 && key.characters == u'x' &&
                         key.characters_ignoring_modifiers == u'y';
  EXPECT_TRUE(untouched) << "a refused name leaves the result alone";
  return refused;
}

TEST(KeyNames, EveryLetterAndDigitHasItsAnsiKeyCode) {
  const std::string letters = "asdfhgzxcvbqweryt";  // codes 0 to 17, 10 being absent
  const int letter_codes[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 11, 12, 13, 14, 15, 16, 17};
  for (size_t i = 0; i < letters.size(); ++i) {
    EXPECT_EQ(Parse(std::string(1, letters[i])).key_code, letter_codes[i]) << letters[i];
  }
  const struct {
    char c;
    int code;
  } more[] = {{'o', 31}, {'u', 32}, {'i', 34}, {'p', 35}, {'l', 37}, {'j', 38}, {'k', 40},
              {'n', 45}, {'m', 46}, {'1', 18}, {'2', 19}, {'3', 20}, {'4', 21}, {'6', 22},
              {'5', 23}, {'9', 25}, {'7', 26}, {'8', 28}, {'0', 29}};
  for (const auto& key : more) EXPECT_EQ(Parse(std::string(1, key.c)).key_code, key.code) << key.c;

  for (char c = 'a'; c <= 'z'; ++c) {
    const KeyStroke lower = Parse(std::string(1, c));
    const KeyStroke upper = Parse(std::string(1, static_cast<char>(c - 'a' + 'A')));
    EXPECT_EQ(lower.key_code, upper.key_code) << "letters ignore case: " << c;
    EXPECT_EQ(upper.cocoa_modifiers, 0u) << "an upper-case letter does not imply shift: " << c;
    EXPECT_EQ(lower.characters, static_cast<char16_t>(c));
    EXPECT_EQ(lower.characters_ignoring_modifiers, static_cast<char16_t>(c));
  }
}

TEST(KeyNames, PunctuationNamesItsKeyAndShiftedOnesImplyShift) {
  const struct {
    char base;
    char shifted;
    int code;
  } keys[] = {{'1', '!', 18}, {'2', '@', 19},  {'3', '#', 20}, {'4', '$', 21}, {'5', '%', 23},
              {'6', '^', 22}, {'7', '&', 26},  {'8', '*', 28}, {'9', '(', 25}, {'0', ')', 29},
              {'-', '_', 27}, {'=', '+', 24},  {']', '}', 30}, {'[', '{', 33}, {'\'', '"', 39},
              {';', ':', 41}, {'\\', '|', 42}, {',', '<', 43}, {'/', '?', 44}, {'.', '>', 47},
              {'`', '~', 50}};
  for (const auto& key : keys) {
    const KeyStroke plain = Parse(std::string("ctrl+") + key.base);
    EXPECT_EQ(plain.key_code, key.code) << key.base;
    EXPECT_EQ(plain.carbon_modifiers, 4096u) << key.base;
    EXPECT_EQ(plain.characters, static_cast<char16_t>(key.base)) << key.base;
    EXPECT_EQ(plain.characters_ignoring_modifiers, static_cast<char16_t>(key.base)) << key.base;

    const KeyStroke shifted = Parse(std::string("ctrl+") + key.shifted);
    EXPECT_EQ(shifted.key_code, key.code) << key.shifted << " shares its key";
    EXPECT_EQ(shifted.carbon_modifiers, 4096u + 512u) << key.shifted << " implies shift";
    EXPECT_EQ(shifted.cocoa_modifiers, 0x40000u | 0x20000u) << key.shifted;
    EXPECT_EQ(shifted.characters, static_cast<char16_t>(key.shifted)) << key.shifted;
    EXPECT_EQ(shifted.characters_ignoring_modifiers, static_cast<char16_t>(key.shifted))
        << key.shifted;

    const KeyStroke via_shift = Parse(std::string("ctrl+shift+") + key.base);
    EXPECT_EQ(via_shift.key_code, key.code) << key.base;
    EXPECT_EQ(via_shift.carbon_modifiers, 4096u + 512u) << key.base;
    EXPECT_EQ(via_shift.characters_ignoring_modifiers, static_cast<char16_t>(key.shifted))
        << "shift applies to charactersIgnoringModifiers: " << key.base;
  }
}

TEST(KeyNames, NamedKeysGiveTheirCodesAndFunctionCharacters) {
  const struct {
    const char* name;
    int code;
    char16_t character;
    uint32_t flags;
  } keys[] = {
      {"space", 49, u' ', 0},
      {"tab", 48, u'\t', 0},
      {"return", 36, u'\r', 0},
      {"esc", 53, u'\x1b', 0},
      {"escape", 53, u'\x1b', 0},
      {"backspace", 51, u'\x7f', 0},
      {"delete", 117, u'\xF728', 0x800000},
      {"insert", 114, u'\xF727', 0x800000},
      {"home", 115, u'\xF729', 0x800000},
      {"end", 119, u'\xF72B', 0x800000},
      {"pgup", 116, u'\xF72C', 0x800000},
      {"pgdown", 121, u'\xF72D', 0x800000},
      {"up", 126, u'\xF700', 0xA00000},
      {"down", 125, u'\xF701', 0xA00000},
      {"left", 123, u'\xF702', 0xA00000},
      {"right", 124, u'\xF703', 0xA00000},
  };
  for (const auto& key : keys) {
    const KeyStroke stroke = Parse(key.name);
    EXPECT_EQ(stroke.key_code, key.code) << key.name;
    EXPECT_EQ(stroke.characters, key.character) << key.name;
    EXPECT_EQ(stroke.characters_ignoring_modifiers, key.character) << key.name;
    EXPECT_EQ(stroke.cocoa_modifiers, key.flags) << key.name;
    EXPECT_EQ(stroke.carbon_modifiers, 0u) << key.name;
  }

  const int f_codes[] = {122, 120, 99,  118, 96,  97,  98, 100, 101, 109,
                         103, 111, 105, 107, 113, 106, 64, 79,  80,  90};
  for (int n = 1; n <= 20; ++n) {
    const std::string name = "f" + std::to_string(n);
    const KeyStroke stroke = Parse(name);
    EXPECT_EQ(stroke.key_code, f_codes[n - 1]) << name;
    EXPECT_EQ(stroke.characters, static_cast<char16_t>(0xF704 + n - 1)) << name;
    EXPECT_EQ(stroke.cocoa_modifiers, 0x800000u) << name;
    EXPECT_EQ(Parse("F" + std::to_string(n)).key_code, f_codes[n - 1]) << "names ignore case";
  }
  EXPECT_EQ(Parse("PgDown").key_code, 121);
  EXPECT_EQ(Parse("ESC").key_code, 53);
}

TEST(KeyNames, ModifiersGiveCocoaFlagsAndCarbonValues) {
  const KeyStroke t = Parse("ctrl+alt+t");
  EXPECT_EQ(t.key_code, 17);
  EXPECT_EQ(t.carbon_modifiers, 6144u);
  EXPECT_EQ(t.cocoa_modifiers, 0x40000u | 0x80000u);
  EXPECT_EQ(t.characters, u'\x14') << "control turns a letter into its control character";
  EXPECT_EQ(t.characters_ignoring_modifiers, u't');

  const KeyStroke esc = Parse("cmd+esc");
  EXPECT_EQ(esc.key_code, 53);
  EXPECT_EQ(esc.carbon_modifiers, 256u);
  EXPECT_EQ(esc.cocoa_modifiers, 0x100000u);

  const KeyStroke f5 = Parse("ctrl+alt+f5");
  EXPECT_EQ(f5.key_code, 96);
  EXPECT_EQ(f5.carbon_modifiers, 6144u);
  EXPECT_EQ(f5.cocoa_modifiers, 0x40000u | 0x80000u | 0x800000u);

  const KeyStroke bang = Parse("shift+1");
  EXPECT_EQ(bang.key_code, 18);
  EXPECT_EQ(bang.carbon_modifiers, 512u);
  EXPECT_EQ(bang.characters, u'!');
  EXPECT_EQ(bang.characters_ignoring_modifiers, u'!') << "shift is not ignored";

  const KeyStroke slash = Parse("ctrl+alt+/");
  EXPECT_EQ(slash.key_code, 44);
  EXPECT_EQ(slash.carbon_modifiers, 6144u);
  EXPECT_EQ(slash.characters, u'/');

  const KeyStroke all = Parse("cmd+shift+alt+ctrl+a");
  EXPECT_EQ(all.carbon_modifiers, 4096u + 2048u + 512u + 256u) << "modifiers in any order";
  EXPECT_EQ(all.cocoa_modifiers, 0x1E0000u);
  EXPECT_EQ(all.characters, u'\x01');
  EXPECT_EQ(all.characters_ignoring_modifiers, u'A');

  EXPECT_EQ(Parse("shift+a").characters, u'A');
  EXPECT_EQ(Parse("alt+a").characters, u'a') << "the option layer is not modelled";
  EXPECT_EQ(Parse("cmd+a").characters, u'a');
  EXPECT_EQ(Parse("shift+tab").characters_ignoring_modifiers, u'\x19') << "back tab";
  EXPECT_EQ(Parse("shift+return").characters, u'\r');
  EXPECT_EQ(Parse("control+option+command+t").carbon_modifiers, 4096u + 2048u + 256u);
  EXPECT_EQ(Parse("CTRL+Opt+t").carbon_modifiers, 6144u);
}

TEST(KeyNames, PlusIsTheLastSeparatorOrTheKey) {
  const KeyStroke plus = Parse("+");
  EXPECT_EQ(plus.key_code, 24);
  EXPECT_EQ(plus.carbon_modifiers, 512u) << "+ is shift-=";
  EXPECT_EQ(plus.characters, u'+');

  const KeyStroke ctrl_plus = Parse("ctrl++");
  EXPECT_EQ(ctrl_plus.key_code, 24);
  EXPECT_EQ(ctrl_plus.carbon_modifiers, 4096u + 512u);

  const KeyStroke named = Parse("ctrl+plus");
  EXPECT_EQ(named.key_code, 24);
  EXPECT_EQ(named.carbon_modifiers, 4096u + 512u);

  EXPECT_EQ(Parse("shift++").carbon_modifiers, 512u) << "explicit and implied shift agree";
  EXPECT_EQ(Parse("ctrl+=").carbon_modifiers, 4096u);
}

TEST(KeyNames, BadNamesAreRefused) {
  const char* bad[] = {
      "",  // empty
      "ctrl+",
      "ctrl+alt+",
      "ctrl",
      "shift",
      "++",
      "+++",
      "ctrl+ctrl+t",     // a modifier twice
      "ctrl+control+t",  // the same modifier by two names
      "t+ctrl",
      "ctrl+a+b",
      "a+b",
      "hyper+t",
      "ctrl+tt",
      "f0",
      "f21",
      "f100",
      "fn+f1",
      "ctrl+alt+ t",  // whitespace
      " t",
      "t ",
      "ctrl + t",
      "ctrl\t+t",
      "enter",
      "ctrl+\xc2\xa7",  // "§": not on the ANSI layout, and not ASCII
      "ctrl+\xc3\xa9",  // "é"
      "\xe2\x8c\x83t",  // "⌃t"
      "ctrl+alt+\x7f",
      "ctrl+-t",
  };
  for (const char* text : bad) EXPECT_TRUE(Refused(text)) << "\"" << text << "\" is refused";

  EXPECT_TRUE(Refused(std::string_view("t\0", 2))) << "an embedded NUL is refused";
  EXPECT_TRUE(Refused(std::string(kMaxKeyNameLength + 1, 'a')));
  EXPECT_TRUE(Refused(std::string(100000, '+')));
  std::string long_valid;
  for (int i = 0; i < 20; ++i) long_valid += "ctrl+";
  EXPECT_TRUE(Refused(long_valid + "t")) << "repeated modifiers in a long text";
  EXPECT_FALSE(ParseKeyName("t", nullptr)) << "no place for the result";
}

TEST(KeyNames, ModifierNamesFollowTheProtocolOrder) {
  EXPECT_EQ(ModifierNames(0), "-");
  EXPECT_EQ(ModifierNames(0x800000), "-") << "the function flag is not a modifier";
  EXPECT_EQ(ModifierNames(0x100000 | 0x40000), "ctrl+cmd");
  EXPECT_EQ(ModifierNames(0x1E0000), "ctrl+alt+shift+cmd");
  EXPECT_EQ(ModifierNames(Parse("cmd+shift+alt+ctrl+x").cocoa_modifiers), "ctrl+alt+shift+cmd");
}

}  // namespace
