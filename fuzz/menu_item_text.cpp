// Fuzzes the parsing of menu item texts ("Sa&ve\tCmd+Shift+S") into title, key equivalent and
// modifier mask. Any units give a title, a key and a mask of the four modifier bits; the title
// is the text before the first tab without ampersands; for ASCII texts key and mask match a
// plain model of the token rules.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "fuzz/fuzz_input.h"
#include "gui/menus.h"
#include "platform/foundation/string.h"
#include "platform/objc/references.h"

namespace {

constexpr NSUInteger kCommand = 0x100000;
constexpr NSUInteger kShift = 0x20000;
constexpr NSUInteger kOption = 0x80000;
constexpr NSUInteger kControl = 0x40000;

// What an item text should give.
struct Parsed {
  std::u16string title;  // the units before the first tab, ampersands dropped
  std::u16string key;    // the key equivalent
  NSUInteger mask;       // the modifier bits
};

std::u16string AsciiCase(std::u16string text, bool upper) {
  for (char16_t& unit : text) {
    if (upper && unit >= u'a' && unit <= u'z') unit = static_cast<char16_t>(unit - 32);
    if (!upper && unit >= u'A' && unit <= u'Z') unit = static_cast<char16_t>(unit + 32);
  }
  return text;
}

std::vector<std::u16string> SplitAt(const std::u16string& text, char16_t separator) {
  std::vector<std::u16string> parts(1);
  for (char16_t unit : text) {
    if (unit == separator) {
      parts.emplace_back();
    } else {
      parts.back() += unit;
    }
  }
  return parts;
}

// The rules for text of ASCII units: the part after the first tab is cut at "+" into
// tokens, compared without case; CMD, SHIFT, ALT and CTRL set their bits, F1 to F12 give
// Cocoa's function-key characters, any other token is the key (a later one wins).
Parsed Model(const std::u16string& text) {
  std::u16string whole;
  for (char16_t unit : text) {
    if (unit != u'&') whole += unit;
  }
  const std::vector<std::u16string> parts = SplitAt(whole, u'\t');
  Parsed parsed{parts[0], u"", 0};
  if (parts.size() < 2) return parsed;
  for (const std::u16string& token : SplitAt(AsciiCase(parts[1], true), u'+')) {
    if (token == u"CMD") {
      parsed.mask |= kCommand;
    } else if (token == u"SHIFT") {
      parsed.mask |= kShift;
    } else if (token == u"ALT") {
      parsed.mask |= kOption;
    } else if (token == u"CTRL") {
      parsed.mask |= kControl;
    } else {
      parsed.key = AsciiCase(token, false);
      for (int f = 1; f <= 12; f++) {
        std::u16string name = u"F";
        if (f >= 10) name += u'1';
        name += static_cast<char16_t>(u'0' + f % 10);
        if (token == name) parsed.key = std::u16string(1, static_cast<char16_t>(0xF704 + f - 1));
      }
    }
  }
  return parsed;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::u16string text = UnitsUpToZero(data, size);
  objc::AutoreleasePool pool;
  id title = nil;
  id key = nil;
  NSUInteger mask = 1;
  ParseMenuItemText(text.c_str(), &title, &key, &mask);
  FUZZ_CHECK(title != nil && key != nil, "every text gives a title and a key string");
  FUZZ_CHECK((mask & ~(kCommand | kShift | kOption | kControl)) == 0,
             "the mask holds modifier bits only");

  const Parsed expected = Model(text);
  FUZZ_CHECK(foundation::StringUnits(title) == expected.title,
             "the title is the text before the first tab without ampersands");
  bool ascii = true;
  for (char16_t unit : text) ascii = ascii && unit < 0x80;
  if (ascii) {
    FUZZ_CHECK(foundation::StringUnits(key) == expected.key, "the key follows the token rules");
    FUZZ_CHECK(mask == expected.mask, "the mask follows the token rules");
  }
  return 0;
}
