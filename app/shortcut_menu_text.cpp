// The menu form of a shortcut text (see shortcut_menu_text.h).
#include "app/shortcut_menu_text.h"

#include "core/temp_buffer.h"
#include "core/text.h"

namespace {

// Replaces *variable by the text the string function leaves in the temporary buffer.
template <class StringFunction>
void Update(char16_t** variable, StringFunction function) {
  PushTempStart();
  const int64_t offset = PopTempStart();
  function(offset);
  StoreTemp(variable, offset);
}

}  // namespace

void ShortcutMenuText(const char16_t* text, int64_t offset) {
  char16_t* s = nullptr;  // the text being rewritten, a private string variable
  AssignStringVar(&s, text);
  const int64_t length = TextLength(s);
  if (length == 3 || length == 4) {
    // Positions 2, 4 (and 6) of the successive results: one "+" between every two symbols.
    for (int64_t position = 2; position <= 2 * (length - 1); position += 2) {
      Update(&s, [&](int64_t at) { TextInsert(s, u"+", position, at); });
    }
  }
  Update(&s, [&](int64_t at) { TextReplace(s, u"\u21E7", u"Shift", at); });  // ⇧
  Update(&s, [&](int64_t at) { TextReplace(s, u"\u2318", u"Cmd", at); });    // ⌘
  Update(&s, [&](int64_t at) { TextReplace(s, u"\u2325", u"Alt", at); });    // ⌥
  Update(&s, [&](int64_t at) { TextReplace(s, u"\u2303", u"Ctrl", at); });   // ⌃
  TextLeft(s, TextLength(s), offset);
  FreeStringVar(s);
}

void ShortcutItemText(const char16_t* label, const char16_t* shortcut, int64_t offset) {
  TextLeft(label, TextLength(label), offset);
  PushTempStart();
  ShortcutMenuText(shortcut, PopTempStart());
}
