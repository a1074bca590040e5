// X keysyms of the characters a key equivalent or a key can carry, with the names that
// GTK accelerators and dbusmenu shortcuts use. A table of public protocol constants: nothing
// here needs a display, so the menu export uses it on Wayland too.
#pragma once

#include <cstdint>

struct Keysym {
  uint32_t value;    // the X keysym
  const char* name;  // its name ("t", "slash", "F5", "Page_Up")
  bool shifted;      // the character is the shifted form of the keysym ("T" of "t")
};

// The keysym that types character: printable ASCII (an upper-case letter gives the letter's
// keysym with shifted set), return, tab, escape, backspace, and Cocoa's function-key
// characters (arrows, F1 to F20, home, end, page up and down, insert, forward delete).
// False for anything else.
bool KeysymForCharacter(char16_t character, Keysym* out);
