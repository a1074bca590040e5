// Fuzzes a shortcut text through the hot-key registration (glyphs and key text to a key
// code and modifiers, registered with the Carbon records of the process) and the desktop's
// key-name parser. A registration that succeeds can be pressed and posts its event; after
// unregistering, no registration, list entry or queued event is left for the next input.
//
// Index: a desktop that does nothing; registration; key names; the entry points.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "app/hot_keys.h"
#include "core/list.h"
#include "core/temp_buffer.h"
#include "fuzz/fuzz_check.h"
#include "fuzz/fuzz_input.h"
#include "fuzz/quiet_desktop.h"
#include "gui/application.h"
#include "gui/event_queue.h"
#include "platform/appkit/appkit.h"
#include "platform/carbon/carbon_desktop.h"
#include "platform/desktop/desktop.h"
#include "platform/desktop/key_names.h"
#include "platform/objc/references.h"

namespace {

constexpr int64_t kEvent = 65537;  // the enter-task hot key's program event

// --- Registration ---

// One registration as the Carbon records hold it.
struct Registered {
  uint32_t key_code;   // virtual key code
  uint32_t modifiers;  // Carbon modifier sum
};

std::vector<Registered> CarbonHotKeys() {
  std::vector<Registered> keys;
  CarbonForEachHotKey(
      +[](void* context, uint32_t key_code, uint32_t modifiers) {
        static_cast<std::vector<Registered>*>(context)->push_back({key_code, modifiers});
      },
      &keys);
  return keys;
}

// Empties the runtime's queue and the platform's, so nothing carries over.
void DrainEvents() {
  while (FetchEvent() != 0) {
  }
  while (objc::Send(NSApp, "nextEventMatchingMask:untilDate:inMode:dequeue:", ~NSUInteger{0},
                    static_cast<id>(nil), NSDefaultRunLoopMode, YES)) {
  }
}

void CheckRegistration(const std::u16string& text) {
  FUZZ_CHECK(CarbonHotKeys().empty() && ListCount(HotKeyList) == 0,
             "no hot key is left from an earlier input");
  FUZZ_CHECK(FetchEvent() == 0, "no event is left from an earlier input");
  const int registered = RegisterShortcutHotKey(text.c_str(), kEvent);
  const std::vector<Registered> keys = CarbonHotKeys();
  FUZZ_CHECK(registered == 0 || registered == 1, "registration answers 0 or 1");
  FUZZ_CHECK(static_cast<int64_t>(keys.size()) == registered && ListCount(HotKeyList) == registered,
             "exactly one platform registration and list entry per registered text");
  FUZZ_CHECK(g_temp.stack_depth == 0, "the temporary string stack is balanced");
  if (registered) {
    FUZZ_CHECK(keys[0].key_code < 128, "the key code is one of the keyboard's");
    FUZZ_CHECK(CarbonPressHotKey(keys[0].key_code, keys[0].modifiers),
               "the registered combination can be pressed");
    FUZZ_CHECK(FetchEvent() == kEvent, "a press posts the registration's event");
    FUZZ_CHECK(FetchEvent() == 0, "a press posts one event");
    // The same text again, under the other event: held by the first registration or not,
    // the records and the list agree.
    const int again = RegisterShortcutHotKey(text.c_str(), kEvent + 1);
    FUZZ_CHECK(static_cast<int64_t>(CarbonHotKeys().size()) == 1 + again &&
                   ListCount(HotKeyList) == 1 + again,
               "a second registration of the same text adds one record and entry, or none");
    UnregisterShortcutHotKey(text.c_str(), kEvent);
  }
  FUZZ_CHECK(CarbonHotKeys().empty() && ListCount(HotKeyList) == 0,
             "unregistering by text and event leaves nothing registered");
  DrainEvents();
}

// --- Key names ---

std::string AsciiCase(std::string text, bool upper) {
  for (char& c : text) {
    if (upper && c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    if (!upper && c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  }
  return text;
}

bool SameStroke(const KeyStroke& a, const KeyStroke& b) {
  return a.key_code == b.key_code && a.cocoa_modifiers == b.cocoa_modifiers &&
         a.carbon_modifiers == b.carbon_modifiers && a.characters == b.characters &&
         a.characters_ignoring_modifiers == b.characters_ignoring_modifiers;
}

void CheckKeyName(const std::string& name) {
  const KeyStroke untouched{999, 1, 1, u'?', u'?'};
  KeyStroke stroke = untouched;
  const bool parsed = ParseKeyName(name, &stroke);
  if (!parsed) {
    FUZZ_CHECK(SameStroke(stroke, untouched), "a refused name leaves the stroke alone");
  } else {
    FUZZ_CHECK(!name.empty() && name.size() <= kMaxKeyNameLength,
               "only names of 1 to kMaxKeyNameLength bytes are accepted");
    for (char c : name) {
      FUZZ_CHECK(c > ' ' && c < 0x7F, "accepted names hold printable ASCII only");
    }
    FUZZ_CHECK(stroke.key_code < 128, "the key code is one of the keyboard's");
    const uint32_t held = stroke.cocoa_modifiers & (kCocoaShiftFlag | kCocoaControlFlag |
                                                    kCocoaOptionFlag | kCocoaCommandFlag);
    const uint32_t carbon = ((held & kCocoaShiftFlag) ? kCarbonShift : 0) +
                            ((held & kCocoaControlFlag) ? kCarbonControl : 0) +
                            ((held & kCocoaOptionFlag) ? kCarbonOption : 0) +
                            ((held & kCocoaCommandFlag) ? kCarbonCommand : 0);
    FUZZ_CHECK(stroke.carbon_modifiers == carbon,
               "the Carbon modifiers are the Cocoa modifiers held");
    FUZZ_CHECK((stroke.cocoa_modifiers & ~(held | kCocoaNumericPadFlag | kCocoaFunctionFlag)) == 0,
               "the Cocoa flags hold modifiers, numeric-pad and function flags only");
  }
  // Names are matched without regard to case.
  for (bool upper : {false, true}) {
    KeyStroke other = untouched;
    const bool other_parsed = ParseKeyName(AsciiCase(name, upper), &other);
    FUZZ_CHECK(other_parsed == parsed && (!parsed || SameStroke(other, stroke)),
               "a name in another case is the same key");
  }
}

}  // namespace

// --- The entry points ---

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  static QuietDesktop desktop;
  SetCurrentDesktop(&desktop);
  StartApplication();
  InitTempBuffer();
  InitEventQueue();
  BuildKeyCodeMap();
  InstallHotKeyHandler();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  objc::AutoreleasePool pool;
  const std::u16string text = UnitsUpToZero(data, size);
  CheckRegistration(text);
  // The bytes as narrow text, so that ASCII shortcuts ("T", "Esc") turn up as well.
  std::u16string narrow;
  for (size_t i = 0; i < size && data[i]; i++) narrow += data[i];
  CheckRegistration(narrow);
  CheckKeyName(std::string(reinterpret_cast<const char*>(data), size));
  return 0;
}
