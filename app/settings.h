// The settings store: the six settings in the user defaults under the keys "Val<n>", the
// first-run defaults, loading, and the write rule (every change is synchronized at once).
//
// Keys: "Val1" AddKey, "Val9" ClrKey, "Val16" TaskText (strings); "Val5" Login, "Val7"
// NagType, "Val18" Refresh (integers). The label keys "Val0", "Val4", "Val6", "Val8" and
// "Val17" are written beside their settings by the preferences window and never read.
#pragma once

#include <cstdint>

// First run: sets AddKey "⌃⌥T", ClrKey "⌃⌥/", Login 0, NagType 0, Refresh 5 and stores them
// under "Val1", "Val9", "Val5", "Val7", "Val18" in that order, then synchronizes once. The
// task is not stored.
void WriteFirstRunSettings();

// Reads AddKey, ClrKey, TaskText, Refresh, NagType and Login (the low 8 bits of "Val5"), in
// this order, without validating anything.
void LoadSettings();

// The string stored under key, written into the temporary buffer at offset (the result
// protocol); "" when the key holds nothing.
void LoadSettingText(const char16_t* key, int64_t offset);
// LoadSettingText into a string variable.
void LoadSettingTextInto(char16_t** variable, const char16_t* key);
// The integer stored under key; 0 for a key that holds nothing.
int64_t LoadSettingInteger(const char16_t* key);

// Writers; the caller synchronizes after each change (a key, or a label and value pair).
void StoreSettingText(const char16_t* key, const char16_t* value);
void StoreSettingInteger(const char16_t* key, int64_t value);
void SynchronizeSettings();
