// The key names of the desktop protocol ("ctrl+alt+t", "cmd+esc", "shift+f5") and the key
// event a Mac keyboard with the ANSI US layout gives for each.
//
// A name is zero or more modifiers, each followed by "+", then one key:
//   modifiers  ctrl (or control), alt (or option, opt), shift, cmd (or command); each at most
//              once, in any order.
//   keys       a letter, a digit, or a printable punctuation character; space, tab, return,
//              esc (or escape), backspace, delete (forward delete), insert, home, end, pgup,
//              pgdown, left, right, up, down, f1 to f20; plus (the "+" key, also written "+").
// Names and letters are matched without regard to case, and a letter does not imply shift:
// "ctrl+T" is "ctrl+t". A shifted punctuation character names the key that carries it with
// shift held: "ctrl+?" is "ctrl+shift+/". The last "+" before the key separates, so "ctrl++"
// is control with the "+" key (that is, control-shift-=), and "+" alone is the "+" key.
// Anything else (empty text, an unknown name, a modifier without a key as in "ctrl+",
// whitespace, non-ASCII bytes, texts longer than kMaxKeyNameLength) is refused.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Cocoa's modifier flags of a key event.
constexpr uint32_t kCocoaShiftFlag = 0x20000;
constexpr uint32_t kCocoaControlFlag = 0x40000;
constexpr uint32_t kCocoaOptionFlag = 0x80000;
constexpr uint32_t kCocoaCommandFlag = 0x100000;
constexpr uint32_t kCocoaNumericPadFlag = 0x200000;  // set for the arrow keys, as on a Mac
constexpr uint32_t kCocoaFunctionFlag = 0x800000;    // set for keys with function-key characters

// Carbon's modifier values of a hot key (they add up).
constexpr uint32_t kCarbonCommand = 256;
constexpr uint32_t kCarbonShift = 512;
constexpr uint32_t kCarbonOption = 2048;
constexpr uint32_t kCarbonControl = 4096;

// The longest name accepted; "ctrl+alt+shift+cmd+pgdown" is 25 characters.
constexpr size_t kMaxKeyNameLength = 64;

// One key press as the platform's key events carry it.
struct KeyStroke {
  uint16_t key_code;          // macOS virtual key code (ANSI US layout), 0 to 127
  uint32_t cocoa_modifiers;   // kCocoa*Flag bits: the modifiers held, plus numeric-pad and
                              // function flags where a Mac sets them
  uint32_t carbon_modifiers;  // sum of kCarbon* values for the modifiers held
  // The event's `characters`: one UTF-16 unit. Shift applies; control turns a letter into its
  // control character (control-a gives U+0001); option and command change nothing (the
  // option layer of the layout is not modelled).
  char16_t characters;
  // The event's `charactersIgnoringModifiers`: as Cocoa, every modifier but shift is ignored,
  // so shift-1 gives "!" and shift-a gives "A". Shift-tab gives U+0019 (back tab) in both.
  char16_t characters_ignoring_modifiers;
};

// Parses a key name. On success fills *out and returns true; on failure returns false and
// leaves *out unchanged.
bool ParseKeyName(std::string_view text, KeyStroke* out);

// The character a key types without modifiers (for the named keys, what a Mac sends: "\r",
// "\x1b", a function-key character such as U+F704 for F1). False for a code no key has.
bool KeyCodeCharacter(uint16_t key_code, char16_t* character);

// The modifiers of Cocoa flags in the protocol's form: a "+"-joined subset of
// "ctrl+alt+shift+cmd" in that order, or "-" when none is set.
std::string ModifierNames(uint32_t cocoa_modifiers);
