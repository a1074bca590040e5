// How a hot key's shortcut text is shown after the tab of a status menu item.
#pragma once

#include <cstdint>

// The menu form of a shortcut text, written into the temporary buffer at offset: "+"
// between the symbols of a three- or four-unit text, then the modifier symbols spelt out
// ("⌃⌥T" gives "Ctrl+Alt+T", "⌃⌥⇧T" gives "Ctrl+Alt+Shift+T"). Only the length decides
// where "+" goes, so a key written with several units is split like the modifiers.
void ShortcutMenuText(const char16_t* text, int64_t offset);

// A status menu item's text: label (ending in a tab) followed by ShortcutMenuText(shortcut),
// written into the temporary buffer at offset.
void ShortcutItemText(const char16_t* label, const char16_t* shortcut, int64_t offset);
