// Parses the desktop protocol's key names into key strokes of a Mac keyboard (ANSI US layout).
#include "platform/desktop/key_names.h"

#include <cstddef>

namespace {

// --- Tables ---

// A key that types a printable character.
struct PrintableKey {
  char base;     // the character without shift
  char shifted;  // the character with shift
  uint8_t code;  // virtual key code
};

constexpr PrintableKey kPrintableKeys[] = {
    {'a', 'A', 0},   {'s', 'S', 1},  {'d', 'D', 2},   {'f', 'F', 3},  {'h', 'H', 4},
    {'g', 'G', 5},   {'z', 'Z', 6},  {'x', 'X', 7},   {'c', 'C', 8},  {'v', 'V', 9},
    {'b', 'B', 11},  {'q', 'Q', 12}, {'w', 'W', 13},  {'e', 'E', 14}, {'r', 'R', 15},
    {'y', 'Y', 16},  {'t', 'T', 17}, {'1', '!', 18},  {'2', '@', 19}, {'3', '#', 20},
    {'4', '$', 21},  {'6', '^', 22}, {'5', '%', 23},  {'=', '+', 24}, {'9', '(', 25},
    {'7', '&', 26},  {'-', '_', 27}, {'8', '*', 28},  {'0', ')', 29}, {']', '}', 30},
    {'o', 'O', 31},  {'u', 'U', 32}, {'[', '{', 33},  {'i', 'I', 34}, {'p', 'P', 35},
    {'l', 'L', 37},  {'j', 'J', 38}, {'\'', '"', 39}, {'k', 'K', 40}, {';', ':', 41},
    {'\\', '|', 42}, {',', '<', 43}, {'/', '?', 44},  {'n', 'N', 45}, {'m', 'M', 46},
    {'.', '>', 47},  {'`', '~', 50},
};

// A key known by its name.
struct NamedKey {
  const char* name;      // lower case
  uint8_t code;          // virtual key code
  char16_t character;    // what it types (a Cocoa function-key character for most)
  uint32_t extra_flags;  // Cocoa flags the key itself sets
};

constexpr uint32_t kFn = kCocoaFunctionFlag;
constexpr uint32_t kArrow = kCocoaFunctionFlag | kCocoaNumericPadFlag;

constexpr NamedKey kNamedKeys[] = {
    {"space", 49, u' ', 0},           {"tab", 48, u'\t', 0},
    {"return", 36, u'\r', 0},         {"esc", 53, u'\x1b', 0},
    {"escape", 53, u'\x1b', 0},       {"backspace", 51, u'\x7f', 0},  // the Mac's "delete" key
    {"delete", 117, u'\xF728', kFn},                                  // forward delete
    {"insert", 114, u'\xF727', kFn},  // the Mac's "help" key sits here
    {"home", 115, u'\xF729', kFn},    {"end", 119, u'\xF72B', kFn},
    {"pgup", 116, u'\xF72C', kFn},    {"pgdown", 121, u'\xF72D', kFn},
    {"up", 126, u'\xF700', kArrow},   {"down", 125, u'\xF701', kArrow},
    {"left", 123, u'\xF702', kArrow}, {"right", 124, u'\xF703', kArrow},
    {"f1", 122, u'\xF704', kFn},      {"f2", 120, u'\xF705', kFn},
    {"f3", 99, u'\xF706', kFn},       {"f4", 118, u'\xF707', kFn},
    {"f5", 96, u'\xF708', kFn},       {"f6", 97, u'\xF709', kFn},
    {"f7", 98, u'\xF70A', kFn},       {"f8", 100, u'\xF70B', kFn},
    {"f9", 101, u'\xF70C', kFn},      {"f10", 109, u'\xF70D', kFn},
    {"f11", 103, u'\xF70E', kFn},     {"f12", 111, u'\xF70F', kFn},
    {"f13", 105, u'\xF710', kFn},     {"f14", 107, u'\xF711', kFn},
    {"f15", 113, u'\xF712', kFn},     {"f16", 106, u'\xF713', kFn},
    {"f17", 64, u'\xF714', kFn},      {"f18", 79, u'\xF715', kFn},
    {"f19", 80, u'\xF716', kFn},      {"f20", 90, u'\xF717', kFn},
};

struct Modifier {
  const char* name;  // lower case
  uint32_t cocoa;    // Cocoa flag
  uint32_t carbon;   // Carbon value
};

constexpr Modifier kModifiers[] = {
    {"ctrl", kCocoaControlFlag, kCarbonControl}, {"control", kCocoaControlFlag, kCarbonControl},
    {"alt", kCocoaOptionFlag, kCarbonOption},    {"option", kCocoaOptionFlag, kCarbonOption},
    {"opt", kCocoaOptionFlag, kCarbonOption},    {"shift", kCocoaShiftFlag, kCarbonShift},
    {"cmd", kCocoaCommandFlag, kCarbonCommand},  {"command", kCocoaCommandFlag, kCarbonCommand},
};

constexpr char16_t kBackTab = u'\x19';

// --- Matching ---

char Lower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool IsLetter(char c) {
  return Lower(c) >= 'a' && Lower(c) <= 'z';
}

// Compares text with a lower-case name, ignoring the case of text.
bool EqualsName(std::string_view text, const char* name) {
  size_t i = 0;
  for (; name[i] != '\0'; ++i) {
    if (i >= text.size() || Lower(text[i]) != name[i]) return false;
  }
  return i == text.size();
}

const Modifier* FindModifier(std::string_view token) {
  for (const Modifier& modifier : kModifiers) {
    if (EqualsName(token, modifier.name)) return &modifier;
  }
  return nullptr;
}

// The key part of a name, before modifiers are applied.
struct Key {
  uint8_t code;          // virtual key code
  char16_t plain;        // character without shift
  char16_t shifted;      // character with shift
  uint32_t extra_flags;  // Cocoa flags the key sets
  bool implies_shift;    // named by its shifted character
  bool is_letter;        // control turns it into a control character
};

bool FindKey(std::string_view text, Key* key) {
  if (text.size() == 1) {
    const char c = text[0];
    for (const PrintableKey& printable : kPrintableKeys) {
      const bool letter = IsLetter(printable.base);
      if (Lower(c) == printable.base || (!letter && c == printable.shifted)) {
        *key = {printable.code,
                static_cast<char16_t>(printable.base),
                static_cast<char16_t>(printable.shifted),
                0,
                !letter && c == printable.shifted,
                letter};
        return true;
      }
    }
    return false;
  }
  if (EqualsName(text, "plus")) {
    *key = {24, u'=', u'+', 0, true, false};
    return true;
  }
  for (const NamedKey& named : kNamedKeys) {
    if (!EqualsName(text, named.name)) continue;
    // Only tab changes with shift among the named keys.
    const char16_t shifted = named.code == 48 ? kBackTab : named.character;
    *key = {named.code, named.character, shifted, named.extra_flags, false, false};
    return true;
  }
  return false;
}

}  // namespace

// --- Parsing ---

bool ParseKeyName(std::string_view text, KeyStroke* out) {
  if (out == nullptr || text.empty() || text.size() > kMaxKeyNameLength) return false;
  for (char c : text) {
    // Printable ASCII only: no spaces, control characters or bytes of UTF-8 sequences.
    if (c < '!' || c > '~') return false;
  }
  uint32_t cocoa = 0;
  uint32_t carbon = 0;
  size_t start = 0;
  for (;;) {
    const size_t plus = text.find('+', start);
    // A "+" that ends the text is the key itself (or part of a bad name).
    if (plus == std::string_view::npos || plus + 1 == text.size()) break;
    const Modifier* modifier = FindModifier(text.substr(start, plus - start));
    if (modifier == nullptr || (cocoa & modifier->cocoa) != 0) return false;
    cocoa |= modifier->cocoa;
    carbon |= modifier->carbon;
    start = plus + 1;
  }
  Key key;
  if (!FindKey(text.substr(start), &key)) return false;
  if (key.implies_shift) {
    cocoa |= kCocoaShiftFlag;
    carbon |= kCarbonShift;
  }
  const bool shift = (cocoa & kCocoaShiftFlag) != 0;
  const char16_t ignoring = shift ? key.shifted : key.plain;
  char16_t characters = ignoring;
  if (key.is_letter && (cocoa & kCocoaControlFlag) != 0) {
    characters = static_cast<char16_t>(ignoring & 0x1F);
  }
  *out = {key.code, cocoa | key.extra_flags, carbon, characters, ignoring};
  return true;
}

bool KeyCodeCharacter(uint16_t key_code, char16_t* character) {
  if (character == nullptr) return false;
  for (const PrintableKey& printable : kPrintableKeys) {
    if (printable.code != key_code) continue;
    *character = static_cast<char16_t>(printable.base);
    return true;
  }
  for (const NamedKey& named : kNamedKeys) {
    if (named.code != key_code) continue;
    *character = named.character;
    return true;
  }
  return false;
}

std::string ModifierNames(uint32_t cocoa_modifiers) {
  static constexpr Modifier kOrder[] = {{"ctrl", kCocoaControlFlag, 0},
                                        {"alt", kCocoaOptionFlag, 0},
                                        {"shift", kCocoaShiftFlag, 0},
                                        {"cmd", kCocoaCommandFlag, 0}};
  std::string names;
  for (const Modifier& modifier : kOrder) {
    if ((cocoa_modifiers & modifier.cocoa) == 0) continue;
    if (!names.empty()) names += '+';
    names += modifier.name;
  }
  return names.empty() ? "-" : names;
}
