// The settings store over the user defaults, reached through the selector bridge on the
// Defaults object fetched at start-up.
#include "app/settings.h"

#include "app/state.h"
#include "core/temp_buffer.h"
#include "core/utf.h"
#include "gui/selector_bridge.h"

namespace {

constexpr char16_t kFirstRunAddKey[] = u"\u2303\u2325T";  // ⌃⌥T
constexpr char16_t kFirstRunClrKey[] = u"\u2303\u2325/";  // ⌃⌥/
constexpr int64_t kFirstRunRefresh = 5;                   // minutes

}  // namespace

// --- Writing ---

void StoreSettingText(const char16_t* key, const char16_t* value) {
  SelectorSend2(nullptr, Defaults, u"setObject:$", SelectorWord(TextOrEmpty(value)), u"forKey:$",
                SelectorWord(key));
}

void StoreSettingInteger(const char16_t* key, int64_t value) {
  SelectorSend2(nullptr, Defaults, u"setInteger:", SelectorWord(value), u"forKey:$",
                SelectorWord(key));
}

void SynchronizeSettings() {
  SelectorSend0(nullptr, Defaults, u"synchronize");
}

void WriteFirstRunSettings() {
  AssignStringVar(&AddKey, kFirstRunAddKey);
  AssignStringVar(&ClrKey, kFirstRunClrKey);
  NagType = 0;
  Login = 0;
  Refresh = kFirstRunRefresh;
  StoreSettingText(u"Val1", AddKey);
  StoreSettingText(u"Val9", ClrKey);
  StoreSettingInteger(u"Val5", Login);
  StoreSettingInteger(u"Val7", NagType);
  StoreSettingInteger(u"Val18", Refresh);
  SynchronizeSettings();
}

// --- Reading ---

void LoadSettingText(const char16_t* key, int64_t offset) {
  id object =
      SelectorObject(SelectorSend1(nullptr, Defaults, u"stringForKey:$", SelectorWord(key)));
  const char* text =
      object ? reinterpret_cast<const char*>(SelectorSend0(nullptr, object, u"UTF8String"))
             : nullptr;
  Utf8ToTemp(text ? text : "", offset);
}

void LoadSettingTextInto(char16_t** variable, const char16_t* key) {
  PushTempStart();
  const int64_t offset = PopTempStart();
  LoadSettingText(key, offset);
  StoreTemp(variable, offset);
}

int64_t LoadSettingInteger(const char16_t* key) {
  return static_cast<int64_t>(
      SelectorSend1(nullptr, Defaults, u"integerForKey:$", SelectorWord(key)));
}

void LoadSettings() {
  LoadSettingTextInto(&AddKey, u"Val1");
  LoadSettingTextInto(&ClrKey, u"Val9");
  LoadSettingTextInto(&TaskText, u"Val16");
  Refresh = LoadSettingInteger(u"Val18");
  NagType = LoadSettingInteger(u"Val7");
  Login = static_cast<int8_t>(LoadSettingInteger(u"Val5") & 0xFF);
}
