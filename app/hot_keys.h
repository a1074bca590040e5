// The two global hot keys: shortcut texts ("⌃⌥T") turned into platform hot-key
// registrations, and presses turned into program events for the main loop.
#pragma once

#include <cstdint>

#include "platform/carbon/carbon.h"

struct List;
struct Map;

// One registered hot key. The signature and id sit side by side in the layout of the
// platform's 8-byte identifier; the platform is handed their address and gives it back.
struct HotKeyEntry {
  char16_t* text;            // shortcut text it was registered from; owned by the entry
  int64_t event;             // program event to post: TaskKeyEvent or ClearKeyEvent
  int64_t window;            // always HotKeyNoTarget
  int64_t object;            // always HotKeyNoTarget
  int64_t subtype;           // always HotKeyNoTarget
  int64_t data;              // always 0
  uint32_t signature;        // HotKeySignatureBase + id
  uint32_t id;               // NextHotKeyId at registration
  EventHotKeyRef reference;  // the platform's registration, for UnregisterEventHotKey
};

// The window, object and subtype of a hot key's program event: none.
constexpr int64_t HotKeyNoTarget = -65535;

extern Map* KeyCodeMap;       // key text ("T", "Esc", "F5") -> virtual key code (int64_t)
extern List* HotKeyList;      // HotKeyEntry records, one per live registration; never freed
extern int HotKeysReady;      // 1 once the press handler is installed
extern int64_t NextHotKeyId;  // id of the next registration attempt; ids are never reused
constexpr uint32_t HotKeySignatureBase = 0x68303030;  // "h000": signatures read h001, h002...

// Fills KeyCodeMap with the 101 key texts of the keyboard layout.
void BuildKeyCodeMap();

// Creates HotKeyList and installs HotKeyPressedHandler; when the platform refuses, tells the
// user and ends the program.
void InstallHotKeyHandler();

// Registers the shortcut text as a hot key that posts `event`, and tells the platform which
// of the program's desktop actions it performs. Answers 1 when registered, 0 when the text is
// too short, has no key, names a key outside KeyCodeMap or is refused.
int RegisterShortcutHotKey(const char16_t* text, int64_t event);

// Unregisters every hot key whose text equals `text` or whose event equals `event`; stops at
// the first one the platform will not unregister.
void UnregisterShortcutHotKey(const char16_t* text, int64_t event);

// The platform's callback for a press: posts the matching entry's event.
OSStatus HotKeyPressedHandler(EventHandlerCallRef call, EventRef event, void* user_data);
