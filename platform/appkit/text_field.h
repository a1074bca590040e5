// NSTextField's internal calls: typing into a field as the desktops do, and its selection.
#pragma once

#include <cstddef>
#include <string>

#include "platform/objc/objc.h"

// Replaces the field's selection with text (length UTF-16 units), puts the insertion point
// after it and sends controlTextDidChange: (an NSNotification whose object is the field) to
// the field's delegate when it responds. Does nothing for nil, an object that is not an
// NSTextField, or a field that is not editable.
void TextFieldReplaceSelection(id field, const char16_t* text, size_t length);
inline void TextFieldReplaceSelection(id field, const std::u16string& text) {
  TextFieldReplaceSelection(field, text.data(), text.size());
}

// The selected range of the field's text (an insertion point when its length is 0).
NSRange TextFieldSelection(id field);
void TextFieldSetSelection(id field, NSRange range);
