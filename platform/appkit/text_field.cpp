// NSTextField (a minimal one-line editable text), its cell, and the window's field editor
// (NSText/NSTextView), which here stands for the field being edited and forwards to it. The
// field itself is its window's first responder while it is edited.
//
// Index:
//   --- State ---
//   --- Editing ---
//   --- NSTextField methods ---
//   --- Field editor (NSText, NSTextView) ---
//   --- Internal interface and loader ---
#include "platform/appkit/text_field.h"

#include <algorithm>
#include <string>

#include "platform/appkit/appkit.h"
#include "platform/appkit/control.h"
#include "platform/appkit/event.h"
#include "platform/appkit/window.h"
#include "platform/foundation/notification.h"
#include "platform/foundation/string.h"

namespace {

// --- State ---

// The state of one text field.
struct TextFieldState {
  std::u16string text;           // the field's string value
  NSRange selection{0, 0};       // within text; length 0 is an insertion point
  bool editable = true;          // typing changes the text
  bool editing = false;          // changed since it last became first responder
  bool selectable = true;        // can take the keyboard
  bool bezeled = true;           // stored only
  bool bordered = false;         // stored only
  bool draws_background = true;  // stored only
  id delegate = nil;             // not retained, as in Cocoa
  id text_color = nil;           // NSColor, retained
  id background_color = nil;     // NSColor, retained
  id placeholder = nil;          // NSString, copied
};

// The state of the field editor: the field it edits, or its own text when it edits none.
struct TextState {
  id delegate = nil;          // the edited NSTextField or another delegate; not retained
  bool field_editor = false;  // setFieldEditor:
  std::u16string text;        // used when the delegate is not a text field
  NSRange selection{0, 0};    // likewise
};

Class gTextField;                 // NSTextField
Class gTextFieldCell;             // NSTextFieldCell
Class gText;                      // NSText
ptrdiff_t gStateOffset = -1;      // offset of TextFieldState
ptrdiff_t gTextStateOffset = -1;  // offset of TextState
std::u16string gPasteboard;       // what copy: and cut: left for paste: (this process only)

TextFieldState& State(id self) {
  return objc::FieldAt<TextFieldState>(self, gStateOffset);
}
TextState& EditorState(id self) {
  return objc::FieldAt<TextState>(self, gTextStateOffset);
}
bool IsTextField(id obj) {
  return obj && gTextField && objc::IsKindOf(obj, gTextField);
}

NSRange Clamp(NSRange range, size_t size) {
  NSUInteger location = std::min<NSUInteger>(range.location, size);
  NSUInteger length = std::min<NSUInteger>(range.length, size - location);
  return NSRange{location, length};
}

// --- Editing ---

// The first change after the field took the keyboard begins an editing session.
void Changed(id self) {
  if (!State(self).editing) {
    State(self).editing = true;
    foundation::SendNotification(State(self).delegate, "controlTextDidBeginEditing:",
                                 "NSControlTextDidBeginEditingNotification", self);
  }
  foundation::SendNotification(State(self).delegate,
                               "controlTextDidChange:", "NSControlTextDidChangeNotification", self);
}

void Replace(id self, const std::u16string& text) {
  TextFieldState& state = State(self);
  NSRange range = Clamp(state.selection, state.text.size());
  state.text.replace(range.location, range.length, text);
  state.selection = NSRange{range.location + text.size(), 0};
}

// Typed characters replace the selection; Backspace deletes it or the character before the
// insertion point; Return sends the field's action. Other keys go on up the chain.
void KeyDown(id self, SEL sel, id event) {
  TextFieldState& state = State(self);
  const std::u16string& chars = foundation::StringUnits(objc::Send(event, "characters"));
  NSUInteger flags = objc::Send<NSUInteger>(event, "modifierFlags");
  bool plain = (flags & (kModifierCommand | kModifierControl)) == 0;
  if (state.editable && plain && chars.size() == 1 && (chars[0] == 0x7f || chars[0] == 0x08)) {
    NSRange range = Clamp(state.selection, state.text.size());
    if (range.length == 0 && range.location > 0) range = NSRange{range.location - 1, 1};
    if (range.length > 0) {
      state.text.erase(range.location, range.length);
      state.selection = NSRange{range.location, 0};
      Changed(self);
    }
    return;
  }
  if (plain && chars.size() == 1 && (chars[0] == u'\r' || chars[0] == 3)) {
    ControlState* control = ControlStateOf(self);
    if (control && control->action) {
      objc::Send<BOOL>(self, "sendAction:to:", control->action, control->target);
      return;
    }
  }
  bool printable = !chars.empty() && std::all_of(chars.begin(), chars.end(), [](char16_t c) {
    return c >= 0x20 && c != 0x7f && (c < 0xf700 || c > 0xf8ff);
  });
  if (state.editable && plain && printable) {
    Replace(self, chars);
    Changed(self);
    return;
  }
  objc::SendSuper<void>(self, gTextField, sel, event);
}

// --- NSTextField methods ---

Class CellClass(Class, SEL) {
  return gTextFieldCell;
}
id StringValue(id self, SEL) {
  return foundation::MakeString(State(self).text);
}
void SetStringValue(id self, SEL, id value) {
  State(self).text = foundation::StringUnits(value);
  State(self).selection = NSRange{State(self).text.size(), 0};
}
BOOL AcceptsFirstResponder(id self, SEL) {
  return State(self).selectable || State(self).editable ? YES : NO;
}

// -becomeFirstResponder selects the whole text, as a field does when it gains focus, and makes
// the field its window's first responder (also when a program sends it directly).
BOOL BecomeFirstResponder(id self, SEL) {
  if (!AcceptsFirstResponder(self, nullptr)) return NO;
  State(self).selection = NSRange{0, State(self).text.size()};
  State(self).editing = false;
  if (id window = objc::Send(self, "window")) WindowSetFirstResponder(window, self);
  return YES;
}

BOOL ResignFirstResponder(id self, SEL) {
  objc::Send<void>(self, "textDidEndEditing:", static_cast<id>(nil));
  return YES;
}
void TextDidEndEditing(id self, SEL, id) {
  foundation::SendNotification(State(self).delegate, "controlTextDidEndEditing:",
                               "NSControlTextDidEndEditingNotification", self);
}

id CurrentEditor(id self, SEL) {
  id window = objc::Send(self, "window");
  if (!window || WindowFirstResponder(window) != self) return nil;
  return objc::Send(window, "fieldEditor:forObject:", YES, self);
}
void SelectText(id self, SEL, id) {
  if (id window = objc::Send(self, "window")) {
    if (WindowFirstResponder(window) != self) {
      objc::Send<BOOL>(window, "makeFirstResponder:", self);
      return;
    }
  }
  State(self).selection = NSRange{0, State(self).text.size()};
}

void SelectAll(id self, SEL, id) {
  State(self).selection = NSRange{0, State(self).text.size()};
}
void Copy(id self, SEL, id) {
  NSRange range = Clamp(State(self).selection, State(self).text.size());
  if (range.length) gPasteboard = State(self).text.substr(range.location, range.length);
}
void Cut(id self, SEL, id sender) {
  NSRange range = Clamp(State(self).selection, State(self).text.size());
  if (!range.length || !State(self).editable) return;
  Copy(self, nullptr, sender);
  Replace(self, u"");
  Changed(self);
}
void Paste(id self, SEL, id) {
  if (!State(self).editable || gPasteboard.empty()) return;
  Replace(self, gPasteboard);
  Changed(self);
}

BOOL IsEditable(id self, SEL) {
  return State(self).editable ? YES : NO;
}
void SetEditable(id self, SEL, BOOL on) {
  State(self).editable = on != NO;
  if (on) State(self).selectable = true;
}
BOOL IsSelectable(id self, SEL) {
  return State(self).selectable ? YES : NO;
}
// A field that cannot be selected cannot be edited either, as in Cocoa.
void SetSelectable(id self, SEL, BOOL on) {
  State(self).selectable = on != NO;
  if (!on) State(self).editable = false;
}
BOOL IsBezeled(id self, SEL) {
  return State(self).bezeled ? YES : NO;
}
void SetBezeled(id self, SEL, BOOL on) {
  State(self).bezeled = on != NO;
}
BOOL IsBordered(id self, SEL) {
  return State(self).bordered ? YES : NO;
}
void SetBordered(id self, SEL, BOOL on) {
  State(self).bordered = on != NO;
}
BOOL DrawsBackground(id self, SEL) {
  return State(self).draws_background ? YES : NO;
}
void SetDrawsBackground(id self, SEL, BOOL on) {
  State(self).draws_background = on != NO;
}
id Delegate(id self, SEL) {
  return State(self).delegate;
}
void SetDelegate(id self, SEL, id delegate) {
  State(self).delegate = delegate;
}
id TextColor(id self, SEL) {
  return State(self).text_color;
}
void SetTextColor(id self, SEL, id color) {
  appkit::AssignRetained(&State(self).text_color, color);
}
id BackgroundColor(id self, SEL) {
  return State(self).background_color;
}
void SetBackgroundColor(id self, SEL, id color) {
  appkit::AssignRetained(&State(self).background_color, color);
}
id PlaceholderString(id self, SEL) {
  return State(self).placeholder;
}
void SetPlaceholderString(id self, SEL, id text) {
  appkit::AssignCopied(&State(self).placeholder, text);
}

void Dealloc(id self, SEL sel) {
  TextFieldState& state = State(self);
  objc_release(state.text_color);
  objc_release(state.background_color);
  objc_release(state.placeholder);
  state.text_color = state.background_color = state.placeholder = nil;
  objc::SendSuper<void>(self, gTextField, sel);
}

// --- Field editor (NSText, NSTextView) ---

id EditedField(id self) {
  id delegate = EditorState(self).delegate;
  return IsTextField(delegate) ? delegate : nil;
}
id TextString(id self, SEL) {
  if (id field = EditedField(self)) return foundation::MakeString(State(field).text);
  return foundation::MakeString(EditorState(self).text);
}
void TextSetString(id self, SEL, id value) {
  if (id field = EditedField(self)) {
    SetStringValue(field, nullptr, value);
    return;
  }
  EditorState(self).text = foundation::StringUnits(value);
  EditorState(self).selection = NSRange{EditorState(self).text.size(), 0};
}
NSRange SelectedRange(id self, SEL) {
  if (id field = EditedField(self)) return Clamp(State(field).selection, State(field).text.size());
  return Clamp(EditorState(self).selection, EditorState(self).text.size());
}
void SetSelectedRange(id self, SEL, NSRange range) {
  if (id field = EditedField(self)) {
    State(field).selection = Clamp(range, State(field).text.size());
    return;
  }
  EditorState(self).selection = Clamp(range, EditorState(self).text.size());
}
void InsertText(id self, SEL, id text) {
  if (id field = EditedField(self)) {
    const std::u16string& units = foundation::StringUnits(text);
    TextFieldReplaceSelection(field, units.data(), units.size());
  }
}
id TextDelegate(id self, SEL) {
  return EditorState(self).delegate;
}
void TextSetDelegate(id self, SEL, id delegate) {
  EditorState(self).delegate = delegate;
}
BOOL IsFieldEditor(id self, SEL) {
  return EditorState(self).field_editor ? YES : NO;
}
void SetFieldEditor(id self, SEL, BOOL on) {
  EditorState(self).field_editor = on != NO;
}
void TextSelectAll(id self, SEL, id) {
  SetSelectedRange(self, nullptr, NSRange{0, NSNotFound});
}

}  // namespace

// --- Internal interface and loader ---

void TextFieldReplaceSelection(id field, const char16_t* text, size_t length) {
  if (!IsTextField(field) || !State(field).editable) return;
  Replace(field, std::u16string(text ? text : u"", text ? length : 0));
  Changed(field);
}

NSRange TextFieldSelection(id field) {
  if (!IsTextField(field)) return NSRange{0, 0};
  return Clamp(State(field).selection, State(field).text.size());
}

void TextFieldSetSelection(id field, NSRange range) {
  if (IsTextField(field)) State(field).selection = Clamp(range, State(field).text.size());
}

namespace appkit {

void LoadNSTextFieldClasses() {
  gTextFieldCell = objc::DefineClass("NSTextFieldCell", "NSActionCell");
  gTextField = objc::DefineClass("NSTextField", "NSControl");
  gStateOffset = objc::AddCxxIvar<TextFieldState>(gTextField, "_textFieldState");
  Class cls = gTextField;
  objc::AddClassMethod(cls, "cellClass", &CellClass);
  objc::AddMethod(cls, "stringValue", &StringValue);
  objc::AddMethod(cls, "setStringValue:", &SetStringValue);
  objc::AddMethod(cls, "acceptsFirstResponder", &AcceptsFirstResponder);
  objc::AddMethod(cls, "becomeFirstResponder", &BecomeFirstResponder);
  objc::AddMethod(cls, "resignFirstResponder", &ResignFirstResponder);
  objc::AddMethod(cls, "textDidEndEditing:", &TextDidEndEditing);
  objc::AddMethod(cls, "currentEditor", &CurrentEditor);
  objc::AddMethod(cls, "selectText:", &SelectText);
  objc::AddMethod(cls, "selectAll:", &SelectAll);
  objc::AddMethod(cls, "copy:", &Copy);
  objc::AddMethod(cls, "cut:", &Cut);
  objc::AddMethod(cls, "paste:", &Paste);
  objc::AddMethod(cls, "keyDown:", &KeyDown);
  objc::AddMethod(cls, "isEditable", &IsEditable);
  objc::AddMethod(cls, "setEditable:", &SetEditable);
  objc::AddMethod(cls, "isSelectable", &IsSelectable);
  objc::AddMethod(cls, "setSelectable:", &SetSelectable);
  objc::AddMethod(cls, "isBezeled", &IsBezeled);
  objc::AddMethod(cls, "setBezeled:", &SetBezeled);
  objc::AddMethod(cls, "isBordered", &IsBordered);
  objc::AddMethod(cls, "setBordered:", &SetBordered);
  objc::AddMethod(cls, "drawsBackground", &DrawsBackground);
  objc::AddMethod(cls, "setDrawsBackground:", &SetDrawsBackground);
  objc::AddMethod(cls, "delegate", &Delegate);
  objc::AddMethod(cls, "setDelegate:", &SetDelegate);
  objc::AddMethod(cls, "textColor", &TextColor);
  objc::AddMethod(cls, "setTextColor:", &SetTextColor);
  objc::AddMethod(cls, "backgroundColor", &BackgroundColor);
  objc::AddMethod(cls, "setBackgroundColor:", &SetBackgroundColor);
  objc::AddMethod(cls, "placeholderString", &PlaceholderString);
  objc::AddMethod(cls, "setPlaceholderString:", &SetPlaceholderString);
  objc::AddMethod(cls, "dealloc", &Dealloc);

  gText = objc::DefineClass("NSText", "NSView");
  gTextStateOffset = objc::AddCxxIvar<TextState>(gText, "_textState");
  objc::AddMethod(gText, "string", &TextString);
  objc::AddMethod(gText, "setString:", &TextSetString);
  objc::AddMethod(gText, "selectedRange", &SelectedRange);
  objc::AddMethod(gText, "setSelectedRange:", &SetSelectedRange);
  objc::AddMethod(gText, "insertText:", &InsertText);
  objc::AddMethod(gText, "delegate", &TextDelegate);
  objc::AddMethod(gText, "setDelegate:", &TextSetDelegate);
  objc::AddMethod(gText, "isFieldEditor", &IsFieldEditor);
  objc::AddMethod(gText, "setFieldEditor:", &SetFieldEditor);
  objc::AddMethod(gText, "selectAll:", &TextSelectAll);
  objc::DefineClass("NSTextView", gText);
}

}  // namespace appkit
