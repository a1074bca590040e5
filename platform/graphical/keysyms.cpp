// Characters to X keysyms: Latin-1 keysyms equal their character's code, the rest come from
// a table.
#include "platform/graphical/keysyms.h"

namespace {

struct NamedCharacter {
  char16_t character;
  uint32_t value;
  const char* name;
};

// Printable ASCII that is neither a letter nor a digit, by its keysym name.
constexpr NamedCharacter kPunctuation[] = {
    {u' ', 0x20, "space"},
    {u'!', 0x21, "exclam"},
    {u'"', 0x22, "quotedbl"},
    {u'#', 0x23, "numbersign"},
    {u'$', 0x24, "dollar"},
    {u'%', 0x25, "percent"},
    {u'&', 0x26, "ampersand"},
    {u'\'', 0x27, "apostrophe"},
    {u'(', 0x28, "parenleft"},
    {u')', 0x29, "parenright"},
    {u'*', 0x2a, "asterisk"},
    {u'+', 0x2b, "plus"},
    {u',', 0x2c, "comma"},
    {u'-', 0x2d, "minus"},
    {u'.', 0x2e, "period"},
    {u'/', 0x2f, "slash"},
    {u':', 0x3a, "colon"},
    {u';', 0x3b, "semicolon"},
    {u'<', 0x3c, "less"},
    {u'=', 0x3d, "equal"},
    {u'>', 0x3e, "greater"},
    {u'?', 0x3f, "question"},
    {u'@', 0x40, "at"},
    {u'[', 0x5b, "bracketleft"},
    {u'\\', 0x5c, "backslash"},
    {u']', 0x5d, "bracketright"},
    {u'^', 0x5e, "asciicircum"},
    {u'_', 0x5f, "underscore"},
    {u'`', 0x60, "grave"},
    {u'{', 0x7b, "braceleft"},
    {u'|', 0x7c, "bar"},
    {u'}', 0x7d, "braceright"},
    {u'~', 0x7e, "asciitilde"},
    // Keys without a printable character, as Cocoa's key events carry them.
    {u'\r', 0xff0d, "Return"},
    {u'\t', 0xff09, "Tab"},
    {u'\x1b', 0xff1b, "Escape"},
    {u'\x7f', 0xff08, "BackSpace"},
    {u'\x08', 0xff08, "BackSpace"},
    {u'\xF700', 0xff52, "Up"},
    {u'\xF701', 0xff54, "Down"},
    {u'\xF702', 0xff51, "Left"},
    {u'\xF703', 0xff53, "Right"},
    {u'\xF727', 0xff63, "Insert"},
    {u'\xF728', 0xffff, "Delete"},
    {u'\xF729', 0xff50, "Home"},
    {u'\xF72B', 0xff57, "End"},
    {u'\xF72C', 0xff55, "Page_Up"},
    {u'\xF72D', 0xff56, "Page_Down"},
};

// "a" to "z" and "0" to "9", and "F1" to "F20": names that are the character or a number.
constexpr const char* kLetters[] = {"a", "b", "c", "d", "e", "f", "g", "h", "i",
                                    "j", "k", "l", "m", "n", "o", "p", "q", "r",
                                    "s", "t", "u", "v", "w", "x", "y", "z"};
constexpr const char* kDigits[] = {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9"};
constexpr const char* kFunctionKeys[] = {"F1",  "F2",  "F3",  "F4",  "F5",  "F6",  "F7",
                                         "F8",  "F9",  "F10", "F11", "F12", "F13", "F14",
                                         "F15", "F16", "F17", "F18", "F19", "F20"};
constexpr char16_t kFirstFunctionKey = u'\xF704';  // NSF1FunctionKey
constexpr uint32_t kF1Keysym = 0xffbe;

}  // namespace

bool KeysymForCharacter(char16_t character, Keysym* out) {
  if (out == nullptr) return false;
  if (character >= u'a' && character <= u'z') {
    *out = {character, kLetters[character - u'a'], false};
    return true;
  }
  if (character >= u'A' && character <= u'Z') {
    const char16_t lower = static_cast<char16_t>(character - u'A' + u'a');
    *out = {lower, kLetters[lower - u'a'], true};
    return true;
  }
  if (character >= u'0' && character <= u'9') {
    *out = {character, kDigits[character - u'0'], false};
    return true;
  }
  if (character >= kFirstFunctionKey && character < kFirstFunctionKey + 20) {
    const int index = character - kFirstFunctionKey;
    *out = {kF1Keysym + static_cast<uint32_t>(index), kFunctionKeys[index], false};
    return true;
  }
  for (const NamedCharacter& named : kPunctuation) {
    if (named.character != character) continue;
    *out = {named.value, named.name, false};
    return true;
  }
  return false;
}
