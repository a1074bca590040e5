// Global hot keys: the key-code table, registration and unregistration of shortcut texts,
// and the press handler that posts TaskKeyEvent or ClearKeyEvent.
#include "app/hot_keys.h"

#include <cstring>

#include "app/desktop_actions.h"
#include "app/end_program.h"
#include "core/list.h"
#include "core/map.h"
#include "core/memory.h"
#include "core/strings.h"
#include "core/temp_buffer.h"
#include "gui/event_queue.h"
#include "gui/message_requester.h"

Map* KeyCodeMap = nullptr;
List* HotKeyList = nullptr;
int HotKeysReady = 0;
int64_t NextHotKeyId = 1;

namespace {

constexpr int32_t kKeyCodeSlots = 512;
constexpr size_t kKeyTextUnits = 64;  // longest key part kept; a longer one is in no table

// One row of the key table.
struct KeyCode {
  const char16_t* text;  // key text as the shortcut gadget writes it
  int64_t code;          // macOS virtual key code
};

constexpr KeyCode kKeyCodes[] = {
    {u"A", 0},     {u"S", 1},     {u"D", 2},     {u"F", 3},        {u"H", 4},       {u"G", 5},
    {u"Z", 6},     {u"X", 7},     {u"C", 8},     {u"V", 9},        {u"\u00A7", 10}, {u"\u00B1", 10},
    {u"B", 11},    {u"Q", 12},    {u"W", 13},    {u"E", 14},       {u"R", 15},      {u"Y", 16},
    {u"T", 17},    {u"1", 18},    {u"!", 18},    {u"2", 19},       {u"@", 19},      {u"3", 20},
    {u"#", 20},    {u"4", 21},    {u"$", 21},    {u"6", 22},       {u"^", 22},      {u"5", 23},
    {u"%", 23},    {u"=", 24},    {u"+", 24},    {u"9", 25},       {u"(", 25},      {u"7", 26},
    {u"&", 26},    {u"-", 27},    {u"_", 27},    {u"8", 28},       {u"*", 28},      {u"0", 29},
    {u")", 29},    {u"]", 30},    {u"}", 30},    {u"O", 31},       {u"U", 32},      {u"[", 33},
    {u"{", 33},    {u"I", 34},    {u"P", 35},    {u"Return", 36},  {u"L", 37},      {u"J", 38},
    {u"'", 39},    {u"\"", 39},   {u"K", 40},    {u";", 41},       {u":", 41},      {u"\\", 42},
    {u"|", 42},    {u",", 43},    {u"<", 43},    {u"/", 44},       {u"?", 44},      {u"N", 45},
    {u"M", 46},    {u".", 47},    {u">", 47},    {u"Tab", 48},     {u"Space", 49},  {u"`", 50},
    {u"~", 50},    {u"Del", 51},  {u"Esc", 53},  {u"CAPS", 57},    {u"F17", 64},    {u"Clear", 71},
    {u"F18", 79},  {u"F19", 80},  {u"F20", 90},  {u"F5", 96},      {u"F6", 97},     {u"F7", 98},
    {u"F3", 99},   {u"F8", 100},  {u"F9", 101},  {u"F11", 103},    {u"F13", 105},   {u"F16", 106},
    {u"F14", 107}, {u"F10", 109}, {u"F12", 111}, {u"F15", 113},    {u"Home", 115},  {u"PgUp", 116},
    {u"F4", 118},  {u"End", 119}, {u"F2", 120},  {u"PgDown", 121}, {u"F1", 122},
};
static_assert(sizeof(kKeyCodes) / sizeof(kKeyCodes[0]) == 101, "the keyboard has 101 key texts");

// The identifier handed to the platform: 8 bytes holding the address of the entry's
// signature/id pair.
EventHotKeyID IdentifierOf(HotKeyEntry* entry) {
  static_assert(sizeof(EventHotKeyID) == sizeof(void*), "the identifier holds one address");
  EventHotKeyID identifier;
  const void* pair = &entry->signature;
  std::memcpy(&identifier, &pair, sizeof identifier);
  return identifier;
}

// Removes the list's current entry with the text it owns.
void DeleteCurrentEntry() {
  auto* entry = static_cast<HotKeyEntry*>(ListCurrent(HotKeyList));
  FreeStringVar(entry->text);
  entry->text = nullptr;
  ListDeleteCurrent(HotKeyList);
}

}  // namespace

void BuildKeyCodeMap() {
  MapCreate(sizeof(int64_t), 0, nullptr, &KeyCodeMap, kKeyCodeSlots);
  if (!KeyCodeMap) return;  // out of memory: every registration is then refused
  for (const KeyCode& key : kKeyCodes) {
    auto* code = static_cast<int64_t*>(MapFindOrAdd(KeyCodeMap, key.text));
    if (code) *code = key.code;
  }
}

void InstallHotKeyHandler() {
  HotKeyList = ListCreate(sizeof(HotKeyEntry), nullptr, nullptr, 0);
  const EventTypeSpec types[1] = {{kEventClassKeyboard, kEventHotKeyPressed}};
  HotKeysReady = 0;
  NextHotKeyId = 1;
  const OSStatus status = InstallEventHandler(GetApplicationEventTarget(), &HotKeyPressedHandler, 1,
                                              types, nullptr, nullptr);
  if (status != 0 || !HotKeyList) {
    RunMessageAlert(u"globalHK", u"Failed to install event handler.", 0);
    EndProgram();
  }
  HotKeysReady = 1;
}

int RegisterShortcutHotKey(const char16_t* text, int64_t event) {
  if (!HotKeysReady || !text || StringLength(text) < 2 || !KeyCodeMap) return 0;
  UInt32 modifiers = 0;
  char16_t key[kKeyTextUnits + 1] = {};
  size_t key_length = 0;
  for (const char16_t* c = text; *c; ++c) {
    switch (*c) {
      case u'\u2303':
        modifiers += controlKey;
        break;
      case u'\u2325':
        modifiers += optionKey;
        break;
      case u'\u21E7':
        modifiers += shiftKey;
        break;
      case u'\u2318':
        modifiers += cmdKey;
        break;
      case u'\u238B':  // escape glyph: replaces whatever key text came before
        CopyString(key, u"Esc");
        key_length = 3;
        break;
      case u'\u21A9':  // return glyph
        CopyString(key, u"Return");
        key_length = 6;
        break;
      default:
        if (key_length >= kKeyTextUnits) return 0;  // too long for any key text
        key[key_length++] = *c;
        key[key_length] = 0;
        break;
    }
  }
  if (key_length == 0) return 0;
  const auto* code = static_cast<const int64_t*>(MapFind(KeyCodeMap, key));
  if (!code) return 0;

  ListReset(HotKeyList);  // the new entry goes first; order carries no meaning
  auto* entry = static_cast<HotKeyEntry*>(ListAdd(HotKeyList));
  if (!entry) return 0;
  AssignStringVar(&entry->text, text);
  entry->id = static_cast<uint32_t>(NextHotKeyId);
  NextHotKeyId += 1;
  entry->signature = HotKeySignatureBase + entry->id;
  entry->event = event;
  entry->window = HotKeyNoTarget;
  entry->object = HotKeyNoTarget;
  entry->subtype = HotKeyNoTarget;
  entry->data = 0;
  const OSStatus status =
      RegisterEventHotKey(static_cast<UInt32>(*code), modifiers, IdentifierOf(entry),
                          GetApplicationEventTarget(), kEventHotKeyNoOptions, &entry->reference);
  if (status == 0) {
    // Desktops that bind global shortcuts by name bind this one as the action it performs.
    if (const char* action = DesktopActionOfEvent(event)) {
      SetEventHotKeyAction(entry->reference, action);
    }
    return 1;
  }
  DeleteCurrentEntry();  // the id stays used
  return 0;
}

void UnregisterShortcutHotKey(const char16_t* text, int64_t event) {
  if (!HotKeysReady || !HotKeyList) return;
  ListReset(HotKeyList);
  auto* entry = static_cast<HotKeyEntry*>(ListNext(HotKeyList));
  while (entry) {
    const bool same_text = text && entry->text && StringsEqual(entry->text, text);
    if (!same_text && entry->event != event) {
      entry = static_cast<HotKeyEntry*>(ListNext(HotKeyList));
      continue;
    }
    if (UnregisterEventHotKey(entry->reference) != 0) return;  // it keeps working
    // Deleting makes the previous entry current (or none), so ListNext reaches the next one.
    DeleteCurrentEntry();
    entry = static_cast<HotKeyEntry*>(ListNext(HotKeyList));
  }
}

OSStatus HotKeyPressedHandler(EventHandlerCallRef, EventRef event, void*) {
  void* pair = nullptr;  // the identifier: the address of an entry's signature/id pair
  if (GetEventParameter(event, kEventParamDirectObject, typeEventHotKeyID, nullptr, sizeof pair,
                        nullptr, &pair) != 0 ||
      !pair || !HotKeyList) {
    return 0;
  }
  const auto signature = static_cast<uint32_t>(ReadInt32(pair));
  const auto id = static_cast<uint32_t>(ReadInt32(static_cast<char*>(pair) + 4));
  ListReset(HotKeyList);
  while (auto* entry = static_cast<HotKeyEntry*>(ListNext(HotKeyList))) {
    if (entry->id == id && entry->signature == signature) {
      QueueProgramEvent(static_cast<int32_t>(entry->event), entry->window, entry->object,
                        entry->subtype, nullptr);
      break;
    }
  }
  return 0;
}
