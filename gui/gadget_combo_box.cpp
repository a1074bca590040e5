// The combo box gadget (kind 8): a pop-up list of texts (Vo_NSPopUpButton), or with flag 0x1
// an editable combo box (Vo_NSComboBox) whose items the functions object keeps as its data
// source. Choosing an item posts SubtypeChange.
//
// Sections: Shared, Pop-up variant, Editable variant, Vo_NSComboBox, Creation.
#include "gui/cocoa.h"
#include "gui/event_queue.h"
#include "gui/gadgets.h"

namespace {

// Creation flags.
enum : int32_t {
  kEditable = 0x1,   // the editable variant
  kLowerCase = 0x2,  // item texts converted to lower case (wins over kUpperCase)
  kUpperCase = 0x4,  // item texts converted to upper case
  kImages = 0x8,     // items carry images (pop-up variant only)
};
constexpr NSUInteger kArrayCapacity = 15;
constexpr double kBlankImageSide = 16;

Class g_popup_class = nil;       // Vo_NSPopUpButton
Class g_combo_class = nil;       // Vo_NSComboBox
Class g_popup_functions = nil;   // VoComboBoxGadgetFunctions
Class g_edit_functions = nil;    // VoEditComboBoxGadgetFunctions
ptrdiff_t g_items_ivar = -1;     // "Items": NSMutableArray of NSString; owned
ptrdiff_t g_values_ivar = -1;    // "Values": NSMutableArray of NSNumber or NSNull; owned
ptrdiff_t g_selected_ivar = -1;  // "SelectedIndex": int32_t, -1 when none
id g_blank_image = nil;          // 16 by 16 blank NSImage, kept for the whole run

// --- Shared ---

id View(id self) {
  GadgetRecord* record = GadgetOf(self);
  return record ? record->view : nil;
}
int32_t Flags(id self) {
  GadgetRecord* record = GadgetOf(self);
  return record ? record->flags : 0;
}
// The text in the case the flags ask for.
id Converted(id self, id text) {
  if (!text) text = CocoaStringFromUtf8("");
  if (Flags(self) & kLowerCase) return objc::Send(text, "lowercaseString");
  if (Flags(self) & kUpperCase) return objc::Send(text, "uppercaseString");
  return text;
}
id OrEmpty(id text) {
  return text ? text : CocoaStringFromUtf8("");
}
void SendChange(id self) {
  objc::Send<void>(self, "SendEvent:", int64_t{SubtypeChange});
}

id BlankImage() {
  if (!g_blank_image) {
    g_blank_image = objc::Send(objc::Send(CocoaClass("NSImage"), "alloc"),
                               "initWithSize:", NSMakeSize(kBlankImageSide, kBlankImageSide));
  }
  return g_blank_image;
}

// --- Pop-up variant ---

id Menu(id self) {
  return objc::Send(View(self), "menu");
}
id ItemAt(id self, int32_t index) {
  if (index < 0 || index >= objc::Send<NSInteger>(Menu(self), "numberOfItems")) return nil;
  return objc::Send(Menu(self), "itemAtIndex:", static_cast<NSInteger>(index));
}

// Adding items never selects one: a new box has no selection until the program sets it.
int64_t PopupAddItem(id self, SEL, int32_t position, id text, id image, int32_t) {
  id view = View(self);
  id menu = Menu(self);
  if (!menu) return 0;
  bool had_selection = objc::Send(view, "selectedItem") != nil;
  id item =
      objc::Autorelease(objc::Send(objc::Send(CocoaClass("NSMenuItem"), "alloc"),
                                   "initWithTitle:action:keyEquivalent:", Converted(self, text),
                                   static_cast<SEL>(nullptr), CocoaStringFromUtf8("")));
  if (!item) return 0;
  objc::Send<void>(item, "setTag:", NSInteger{0});
  if (Flags(self) & kImages) objc::Send<void>(item, "setImage:", image ? image : BlankImage());
  NSInteger count = objc::Send<NSInteger>(menu, "numberOfItems");
  if (position >= 0 && position < count) {
    objc::Send<void>(menu, "insertItem:atIndex:", item, static_cast<NSInteger>(position));
  } else {
    objc::Send<void>(menu, "addItem:", item);
  }
  if (!had_selection) objc::Send<void>(view, "selectItem:", static_cast<id>(nil));
  return static_cast<int64_t>(reinterpret_cast<intptr_t>(item));
}
void PopupRemoveItem(id self, SEL, int32_t index) {
  if (ItemAt(self, index)) {
    objc::Send<void>(Menu(self), "removeItemAtIndex:", static_cast<NSInteger>(index));
  }
}
void PopupClear(id self, SEL) {
  objc::Send<void>(View(self), "removeAllItems");
}
int32_t PopupCount(id self, SEL) {
  return static_cast<int32_t>(objc::Send<NSInteger>(Menu(self), "numberOfItems"));
}
void PopupSetState(id self, SEL, int64_t state) {
  objc::Send<void>(View(self), "selectItemAtIndex:", static_cast<NSInteger>(state));
}
int64_t PopupGetState(id self, SEL) {
  if (!View(self)) return -1;
  return static_cast<int64_t>(objc::Send<NSInteger>(View(self), "indexOfSelectedItem"));
}
void PopupSetText(id self, SEL, id text) {
  objc::Send<void>(View(self), "selectItemWithTitle:", Converted(self, text));
}
id PopupGetText(id self, SEL) {
  return OrEmpty(objc::Send(objc::Send(View(self), "selectedItem"), "title"));
}
void PopupSetItemText(id self, SEL, int32_t index, id text, int32_t) {
  objc::Send<void>(ItemAt(self, index), "setTitle:", Converted(self, text));
}
id PopupGetItemText(id self, SEL, int32_t index, int32_t) {
  return OrEmpty(objc::Send(ItemAt(self, index), "title"));
}
void PopupSetItemData(id self, SEL, int32_t index, int64_t value) {
  objc::Send<void>(ItemAt(self, index), "setTag:", static_cast<NSInteger>(value));
}
int64_t PopupGetItemData(id self, SEL, int32_t index) {
  return objc::Send<NSInteger>(ItemAt(self, index), "tag");
}
void PopupSetItemImage(id self, SEL, int32_t index, id image) {
  if (Flags(self) & kImages) objc::Send<void>(ItemAt(self, index), "setImage:", image);
}
void ChangeHandler(id self, SEL, id) {
  SendChange(self);
}

// --- Editable variant ---

id& Items(id self) {
  return objc::FieldAt<id>(self, g_items_ivar);
}
id& Values(id self) {
  return objc::FieldAt<id>(self, g_values_ivar);
}
int32_t& SelectedIndex(id self) {
  return objc::FieldAt<int32_t>(self, g_selected_ivar);
}
NSInteger ItemCount(id self) {
  return objc::Send<NSInteger>(Items(self), "count");
}
id NewArray() {
  return objc::Send(objc::Send(CocoaClass("NSMutableArray"), "alloc"),
                    "initWithCapacity:", kArrayCapacity);
}
id Null() {
  return objc::Send(CocoaClass("NSNull"), "null");
}

id EditInit(id self, SEL sel) {
  self = objc::SendSuper(self, g_edit_functions, sel);
  if (!self) return nil;
  Items(self) = NewArray();
  Values(self) = NewArray();
  SelectedIndex(self) = -1;
  return self;
}
void ReleaseArrays(id self) {
  objc::Release(Items(self));
  objc::Release(Values(self));
  Items(self) = Values(self) = nil;
}
void EditFreeGadget(id self, SEL) {
  // The box may outlive its gadget: it must not ask the freed object for items.
  id view = View(self);
  if (objc::Send(view, "dataSource") == self) {
    objc::Send<void>(view, "setDataSource:", static_cast<id>(nil));
  }
  if (objc::Send(view, "delegate") == self) {
    objc::Send<void>(view, "setDelegate:", static_cast<id>(nil));
  }
  ReleaseArrays(self);
}
void EditDealloc(id self, SEL sel) {
  ReleaseArrays(self);
  objc::SendSuper<void>(self, g_edit_functions, sel);
}
id ObjectValueForItem(id self, SEL, id, NSInteger index) {
  if (index < 0 || index >= ItemCount(self)) return CocoaStringFromUtf8("");
  SelectedIndex(self) = static_cast<int32_t>(index);
  return objc::Send(Items(self), "objectAtIndex:", static_cast<NSUInteger>(index));
}
NSInteger NumberOfItemsInComboBox(id self, SEL, id) {
  return ItemCount(self);
}
void NotificationHandler(id self, SEL, id) {
  SendChange(self);
}
int64_t EditAddItem(id self, SEL, int32_t position, id text, id, int32_t) {
  NSInteger count = ItemCount(self);
  NSUInteger index = position < 0 || position >= count ? static_cast<NSUInteger>(count)
                                                       : static_cast<NSUInteger>(position);
  objc::Send<void>(Items(self), "insertObject:atIndex:", Converted(self, text), index);
  objc::Send<void>(Values(self), "insertObject:atIndex:", Null(), index);
  return 1;
}
void EditRemoveItem(id self, SEL, int32_t index) {
  if (index < 0 || index >= ItemCount(self)) return;
  objc::Send<void>(Items(self), "removeObjectAtIndex:", static_cast<NSUInteger>(index));
  objc::Send<void>(Values(self), "removeObjectAtIndex:", static_cast<NSUInteger>(index));
}
void EditClear(id self, SEL) {
  objc::Send<void>(Items(self), "removeAllObjects");
  objc::Send<void>(Values(self), "removeAllObjects");
}
int32_t EditCount(id self, SEL) {
  return static_cast<int32_t>(ItemCount(self));
}
void EditSetState(id self, SEL, int64_t state) {
  if (state == -1) {
    SelectedIndex(self) = -1;
    objc::Send<void>(View(self), "setStringValue:", CocoaStringFromUtf8(""));
  } else if (state >= 0 && state < ItemCount(self)) {
    SelectedIndex(self) = static_cast<int32_t>(state);
    objc::Send<void>(View(self), "setStringValue:",
                     objc::Send(Items(self), "objectAtIndex:", static_cast<NSUInteger>(state)));
  }
}
int64_t EditGetState(id self, SEL) {
  return SelectedIndex(self);
}
void EditSetText(id self, SEL, id text) {
  id view = View(self);
  id converted = Converted(self, text);
  objc::Send<void>(view, "setStringValue:", converted);
  NSInteger count = ItemCount(self);
  for (NSInteger i = 0; i < count; ++i) {
    id item = objc::Send(Items(self), "objectAtIndex:", static_cast<NSUInteger>(i));
    if (objc::Send<BOOL>(item, "isEqualToString:", converted)) {
      objc::Send<void>(view, "selectItemAtIndex:", i);
      objc::Send<void>(view, "setStringValue:", converted);
      return;
    }
  }
  objc::Send<void>(view,
                   "deselectItemAtIndex:", objc::Send<NSInteger>(view, "indexOfSelectedItem"));
}
id EditGetText(id self, SEL) {
  return OrEmpty(objc::Send(View(self), "stringValue"));
}
void EditSetItemText(id self, SEL, int32_t index, id text, int32_t) {
  if (index < 0 || index >= ItemCount(self)) return;
  objc::Send<void>(Items(self), "replaceObjectAtIndex:withObject:", static_cast<NSUInteger>(index),
                   Converted(self, text));
}
id EditGetItemText(id self, SEL, int32_t index, int32_t) {
  if (index < 0 || index >= ItemCount(self)) return CocoaStringFromUtf8("");
  return objc::Send(Items(self), "objectAtIndex:", static_cast<NSUInteger>(index));
}
void EditSetItemData(id self, SEL, int32_t index, int64_t value) {
  if (index < 0 || index >= ItemCount(self)) return;
  id object = value ? objc::Send(CocoaClass("NSNumber"),
                                 "numberWithInteger:", static_cast<NSInteger>(value))
                    : Null();
  objc::Send<void>(Values(self), "replaceObjectAtIndex:withObject:", static_cast<NSUInteger>(index),
                   object);
}
int64_t EditGetItemData(id self, SEL, int32_t index) {
  if (index < 0 || index >= ItemCount(self)) return 0;
  id object = objc::Send(Values(self), "objectAtIndex:", static_cast<NSUInteger>(index));
  if (object == Null()) return 0;
  return objc::Send<NSInteger>(object, "integerValue");
}

// --- Vo_NSComboBox ---

void PostFocusEvent(id self, int64_t subtype) {
  QueueUiEvent(GadgetEvent, objc::Send<NSInteger>(self, "tag"), GadgetWindowNumber(self), subtype);
}
BOOL ComboBecomeFirstResponder(id self, SEL sel) {
  PostFocusEvent(self, SubtypeFocus);
  return objc::SendSuper<BOOL>(self, g_combo_class, sel);
}
// Editing that ends with Enter or Return is not a loss of focus.
void ComboTextDidEndEditing(id self, SEL sel, id notification) {
  objc::SendSuper<void>(self, g_combo_class, sel, notification);
  id event = objc::Send(SharedApplication(), "currentEvent");
  if (event && objc::Send<NSUInteger>(event, "type") == 10) {
    id characters = objc::Send(event, "charactersIgnoringModifiers");
    if (objc::Send<NSUInteger>(characters, "length") > 0) {
      unsigned short first =
          objc::Send<unsigned short>(characters, "characterAtIndex:", NSUInteger{0});
      if (first == 3 || first == 13) return;
    }
  }
  PostFocusEvent(self, SubtypeLostFocus);
}

}  // namespace

// --- Creation ---

void DefineComboBoxGadgetClasses() {
  g_popup_class = objc_lookUpClass("Vo_NSPopUpButton");
  g_combo_class = objc_lookUpClass("Vo_NSComboBox");
  objc::AddMethod(g_combo_class, "becomeFirstResponder", &ComboBecomeFirstResponder);
  objc::AddMethod(g_combo_class, "textDidEndEditing:", &ComboTextDidEndEditing);

  Class cls = objc::DefineClass("VoComboBoxGadgetFunctions", GadgetFunctionsClass());
  g_popup_functions = cls;
  objc::AddMethod(cls, "AddGadgetItem:text:image:flags:", &PopupAddItem);
  objc::AddMethod(cls, "RemoveGadgetItem:", &PopupRemoveItem);
  objc::AddMethod(cls, "ClearGadgetItems", &PopupClear);
  objc::AddMethod(cls, "CountGadgetItems", &PopupCount);
  objc::AddMethod(cls, "SetGadgetState:", &PopupSetState);
  objc::AddMethod(cls, "GetGadgetState", &PopupGetState);
  objc::AddMethod(cls, "SetGadgetText:", &PopupSetText);
  objc::AddMethod(cls, "GetGadgetText", &PopupGetText);
  objc::AddMethod(cls, "SetGadgetItemText:text:column:", &PopupSetItemText);
  objc::AddMethod(cls, "GetGadgetItemText:column:", &PopupGetItemText);
  objc::AddMethod(cls, "SetGadgetItemData:value:", &PopupSetItemData);
  objc::AddMethod(cls, "GetGadgetItemData:", &PopupGetItemData);
  objc::AddMethod(cls, "SetGadgetItemImage:image:", &PopupSetItemImage);
  objc::AddMethod(cls, "EventHandler:", &ChangeHandler);

  cls = objc::DefineClass("VoEditComboBoxGadgetFunctions", GadgetFunctionsClass());
  g_edit_functions = cls;
  g_items_ivar = objc::AddIvar<id>(cls, "Items");
  g_values_ivar = objc::AddIvar<id>(cls, "Values");
  g_selected_ivar = objc::AddIvar<int32_t>(cls, "SelectedIndex");
  objc::AddMethod(cls, "init", &EditInit);
  objc::AddMethod(cls, "FreeGadget", &EditFreeGadget);
  objc::AddMethod(cls, "dealloc", &EditDealloc);
  objc::AddMethod(cls, "comboBox:objectValueForItemAtIndex:", &ObjectValueForItem);
  objc::AddMethod(cls, "numberOfItemsInComboBox:", &NumberOfItemsInComboBox);
  objc::AddMethod(cls, "controlTextDidChange:", &NotificationHandler);
  objc::AddMethod(cls, "comboBoxSelectionDidChange:", &NotificationHandler);
  objc::AddMethod(cls, "AddGadgetItem:text:image:flags:", &EditAddItem);
  objc::AddMethod(cls, "RemoveGadgetItem:", &EditRemoveItem);
  objc::AddMethod(cls, "ClearGadgetItems", &EditClear);
  objc::AddMethod(cls, "CountGadgetItems", &EditCount);
  objc::AddMethod(cls, "SetGadgetState:", &EditSetState);
  objc::AddMethod(cls, "GetGadgetState", &EditGetState);
  objc::AddMethod(cls, "SetGadgetText:", &EditSetText);
  objc::AddMethod(cls, "GetGadgetText", &EditGetText);
  objc::AddMethod(cls, "SetGadgetItemText:text:column:", &EditSetItemText);
  objc::AddMethod(cls, "GetGadgetItemText:column:", &EditGetItemText);
  objc::AddMethod(cls, "SetGadgetItemData:value:", &EditSetItemData);
  objc::AddMethod(cls, "GetGadgetItemData:", &EditGetItemData);
}

int64_t CreateComboBoxGadget(int64_t number, int32_t x, int32_t y, int32_t width, int32_t height,
                             int32_t flags) {
  if (!g_popup_class) return 0;
  id view;
  id functions;
  if (flags & kEditable) {
    view = MakeGadgetView(g_combo_class, x, y, width, height);
    if (!view) return 0;
    functions = MakeGadgetFunctions(g_edit_functions);
  } else {
    view = objc::Send(objc::Send(reinterpret_cast<id>(g_popup_class), "alloc"),
                      "initWithFrame:pullsDown:", NSMakeRect(x, y, width, height), NO);
    if (!view) return 0;
    objc::Send<void>(view, "setAlreadyDestroyed:", YES);  // not a gadget before setup
    objc::Autorelease(view);
    functions = MakeGadgetFunctions(g_popup_functions);
  }
  if (!functions) return static_cast<int64_t>(reinterpret_cast<intptr_t>(view));
  GadgetRecord* record = SetupGadget(functions, number, GadgetKindComboBox, view, view, flags);
  if (!record) return 0;
  if (flags & kEditable) {
    objc::Send<void>(view, "setCompletes:", NO);
    objc::Send<void>(view, "setUsesDataSource:", YES);
    objc::Send<void>(view, "setDataSource:", functions);
    objc::Send<void>(view, "setDelegate:", functions);
  }
  return PlaceGadget(number, record);
}

int64_t CreateComboBoxGadget(int64_t number, int32_t x, int32_t y, int32_t width, int32_t height) {
  return CreateComboBoxGadget(number, x, y, width, height, 0);
}
