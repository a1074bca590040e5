// The shortcut gadget (kind 32): a text field that captures a key combination. While it has
// the focus, an event filter takes every key press before the application dispatches it, turns
// it into a shortcut value and shows it as a shortcut text such as ⌃⌥T. It posts no events.
#include "gui/cocoa.h"
#include "gui/event_queue.h"
#include "gui/gadgets.h"
#include "gui/windows.h"

namespace {

// Bits of a shortcut value above the key.
enum : uint32_t {
  kShortcutShift = 0x10000,
  kShortcutControl = 0x20000,
  kShortcutOption = 0x40000,
  kShortcutCommand = 0x80000,
  kShortcutModifiers = 0xF0000,
  kShortcutKey = 0xFFFF,
};
constexpr uint32_t kFunctionKeyBase = 256;  // function keys: 256 + their virtual key code
constexpr uint32_t kNoKeyCode = 0xFFFFFFFF;
constexpr NSUInteger kKeyDown = 10;
constexpr int kTextUnits = 16;  // room for the longest shortcut text (10 units) and more

// The macOS virtual key codes of F1 to F12.
constexpr uint32_t kFunctionKeyCodes[] = {122, 120, 99, 118, 96, 97, 98, 100, 101, 109, 103, 111};

// How keys that are not printable characters are shown, by key value.
struct KeyName {
  uint32_t key;          // the low 16 bits of a shortcut value
  const char16_t* text;  // glyph or name
};
constexpr KeyName ShortcutKeyNameTable[] = {
    {1, u"\u2196"},  {4, u"\u2198"},  {5, u"Insert"},  {8, u"\u232B"},  {9, u"Tab"},
    {11, u"\u21DE"}, {12, u"\u21DF"}, {13, u"\u21A9"}, {27, u"\u238B"}, {28, u"\u2190"},
    {29, u"\u2192"}, {30, u"\u2191"}, {31, u"\u2193"}, {32, u"Space"},  {127, u"\u2326"},
    {352, u"F5"},    {353, u"F6"},    {354, u"F7"},    {355, u"F3"},    {356, u"F8"},
    {357, u"F9"},    {359, u"F11"},   {365, u"F10"},   {367, u"F12"},   {374, u"F4"},
    {376, u"F2"},    {378, u"F1"},
};

Class g_view_class = nil;       // VoShortcutView
Class g_functions_class = nil;  // VoShortcutGadgetFunctions
ptrdiff_t g_current_ivar = -1;  // "CurrentShortcut": the shortcut value shown (uint32_t)
ptrdiff_t g_filter_ivar = -1;   // "GlobalEventHandler": the event filter entry; owned

uint32_t& CurrentShortcut(id self) {
  return objc::FieldAt<uint32_t>(self, g_current_ivar);
}
// Kept as an opaque pointer: the entry's record belongs to the event queue.
EventFilter*& GlobalEventHandler(id self) {
  return reinterpret_cast<EventFilter*&>(objc::FieldAt<void*>(self, g_filter_ivar));
}

int Filter(id event, void* context) {
  return objc::Send<int64_t>(static_cast<id>(context), "HandleGlobalEvent:", event) != 0;
}

// The tag of the first view on the responder chain from the key window's first responder
// (a field editor leads to its field); -1 when there is none.
int64_t FocusedGadgetNumber() {
  id window = objc::Send(SharedApplication(), "keyWindow");
  id responder = objc::Send(window, "firstResponder");
  if (!responder) return -1;
  Class view_class = CocoaClass("NSView");
  for (; responder; responder = objc::Send(responder, "nextResponder")) {
    if (!objc::IsKindOf(responder, view_class)) continue;
    NSInteger tag = objc::Send<NSInteger>(responder, "tag");
    if (tag != -1) return tag;
  }
  return -1;
}

id Init(id self, SEL sel) {
  self = objc::SendSuper(self, g_functions_class, sel);
  if (self) GlobalEventHandler(self) = AddEventFilter(&Filter, self);
  return self;
}
void RemoveFilter(id self) {
  if (GlobalEventHandler(self)) RemoveEventFilter(GlobalEventHandler(self));
  GlobalEventHandler(self) = nullptr;
}
void FreeGadget(id self, SEL) {
  RemoveFilter(self);
  GadgetRecord* record = GadgetOf(self);
  if (record && objc::Send(record->view, "delegate") == self) {
    objc::Send<void>(record->view, "setDelegate:", static_cast<id>(nil));
  }
}
// A functions object freed without FreeGadget (a failed creation) must not stay a filter.
void Dealloc(id self, SEL sel) {
  RemoveFilter(self);
  objc::SendSuper<void>(self, g_functions_class, sel);
}

int64_t HandleGlobalEvent(id self, SEL, id event) {
  if (objc::Send<NSUInteger>(event, "type") != kKeyDown) return 0;
  if (FocusedGadgetNumber() != GadgetIdOf(self)) return 0;
  int32_t character = 0;
  id characters = objc::Send(event, "charactersIgnoringModifiers");
  if (objc::Send<NSUInteger>(characters, "length") > 0) {
    character = objc::Send<unsigned short>(characters, "characterAtIndex:", NSUInteger{0});
  }
  uint32_t value = objc::Send<uint32_t>(
      self, "MapToShortcut:keyCode:character:",
      static_cast<uint32_t>(objc::Send<NSUInteger>(event, "modifierFlags")),
      static_cast<uint32_t>(objc::Send<unsigned short>(event, "keyCode")), character);
  objc::Send<void>(self, "SetGadgetState:", static_cast<int64_t>(value));
  GadgetRecord* record = GadgetOf(self);
  if (record) {
    id editor =
        objc::Send(WindowObject(record->window), "fieldEditor:forObject:", YES, record->view);
    objc::Send<void>(editor, "setSelectedRange:", NSRange{0, 0});
  }
  return 1;
}

void EventHandler(id, SEL, id) {}

uint32_t MapToShortcut(id, SEL, uint32_t flags, uint32_t code, int32_t character) {
  uint32_t modifiers = (flags >> 1) & kShortcutModifiers;
  if (code == kNoKeyCode) return 0;
  for (uint32_t function_key : kFunctionKeyCodes) {
    if (code == function_key) return modifiers | (code + kFunctionKeyBase);
  }
  if (character <= 0 || character > 126) return 0;
  return modifiers | static_cast<uint32_t>(character);
}

void UpdateContent(id self, SEL) {
  char16_t text[kTextUnits];
  int length = 0;
  uint32_t value = CurrentShortcut(self);
  if (value & kShortcutControl) text[length++] = u'\u2303';
  if (value & kShortcutOption) text[length++] = u'\u2325';
  if (value & kShortcutShift) text[length++] = u'\u21E7';
  if (value & kShortcutCommand) text[length++] = u'\u2318';
  uint32_t key = value & kShortcutKey;
  if (key >= 0x61 && key <= 0x7A) {
    text[length++] = static_cast<char16_t>(key - 0x20);
  } else if (key >= 0x21 && key <= 0x7E) {
    text[length++] = static_cast<char16_t>(key);
  } else {
    for (const KeyName& name : ShortcutKeyNameTable) {
      if (name.key != key) continue;
      for (const char16_t* unit = name.text; *unit && length < kTextUnits; ++unit) {
        text[length++] = *unit;
      }
      break;
    }
  }
  GadgetRecord* record = GadgetOf(self);
  if (!record) return;
  objc::Send<void>(record->view, "setStringValue:",
                   objc::Send(CocoaClass("NSString"), "stringWithCharacters:length:",
                              static_cast<const char16_t*>(text), static_cast<NSUInteger>(length)));
}

void SetGadgetState(id self, SEL, int64_t value) {
  CurrentShortcut(self) = static_cast<uint32_t>(value);
  objc::Send<void>(self, "UpdateContent");
}
int64_t GetGadgetState(id self, SEL) {
  return static_cast<int32_t>(CurrentShortcut(self));
}

}  // namespace

void DefineShortcutGadgetClasses() {
  g_view_class = objc_lookUpClass("VoShortcutView");
  Class cls = objc::DefineClass("VoShortcutGadgetFunctions", GadgetFunctionsClass());
  g_functions_class = cls;
  g_current_ivar = objc::AddIvar<uint32_t>(cls, "CurrentShortcut");
  g_filter_ivar = objc::AddIvar<void*>(cls, "GlobalEventHandler");
  objc::AddMethod(cls, "init", &Init);
  objc::AddMethod(cls, "FreeGadget", &FreeGadget);
  objc::AddMethod(cls, "HandleGlobalEvent:", &HandleGlobalEvent);
  objc::AddMethod(cls, "EventHandler:", &EventHandler);
  objc::AddMethod(cls, "MapToShortcut:keyCode:character:", &MapToShortcut);
  objc::AddMethod(cls, "UpdateContent", &UpdateContent);
  objc::AddMethod(cls, "SetGadgetState:", &SetGadgetState);
  objc::AddMethod(cls, "GetGadgetState", &GetGadgetState);
  objc::AddMethod(cls, "dealloc", &Dealloc);
}

int64_t CreateShortcutGadget(int64_t number, int32_t x, int32_t y, int32_t width, int32_t height,
                             uint32_t value) {
  int64_t failure = 0;
  GadgetRecord* record = BeginSimpleGadget(g_view_class, g_functions_class, number,
                                           GadgetKindShortcut, x, y, width, height, 0, &failure);
  if (!record) return failure;
  id view = record->view;
  id functions = record->functions;
  objc::Send<void>(view, "setDelegate:", functions);
  objc::Send<void>(functions, "SetGadgetState:", static_cast<int64_t>(value));
  return PlaceGadget(number, record);
}
