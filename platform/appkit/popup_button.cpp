// NSPopUpButton: a button that shows one item of its menu and lets the user choose another.
// There is no menu tracking on this platform: a desktop chooses with selectItemAtIndex: and
// sends the button's action itself (the terminal's `select`).
#include <algorithm>

#include "platform/appkit/appkit.h"
#include "platform/appkit/control.h"
#include "platform/foundation/string.h"

namespace {

// The state of one pop-up button.
struct PopUpState {
  id menu = nil;            // NSMenu holding the items, retained
  id selected = nil;        // the selected NSMenuItem, retained; nil when none
  bool pulls_down = false;  // stored only: a pull-down shows its first item as title
};

Class gPopUp;                 // NSPopUpButton
ptrdiff_t gStateOffset = -1;  // offset of PopUpState

PopUpState& State(id self) {
  return objc::FieldAt<PopUpState>(self, gStateOffset);
}

id Menu(id self, SEL) {
  return State(self).menu;
}
NSInteger Count(id self) {
  return objc::Send<NSInteger>(State(self).menu, "numberOfItems");
}
id ItemAt(id self, NSInteger index) {
  if (index < 0 || index >= Count(self)) return nil;
  return objc::Send(State(self).menu, "itemAtIndex:", index);
}

// The selected item, forgotten when it has left the menu since.
id SelectedItem(id self, SEL) {
  PopUpState& state = State(self);
  if (state.selected && objc::Send<NSInteger>(state.menu, "indexOfItem:", state.selected) < 0) {
    appkit::AssignRetained(&state.selected, nil);
  }
  return state.selected;
}
void SelectItem(id self, SEL, id item) {
  if (item && objc::Send<NSInteger>(State(self).menu, "indexOfItem:", item) < 0) return;
  appkit::AssignRetained(&State(self).selected, item);
}

id InitWithFramePullsDown(id self, SEL, NSRect frame, BOOL pulls_down) {
  self = objc::SendSuper(self, gPopUp, "initWithFrame:", frame);
  if (!self) return nil;
  State(self).menu = objc::Send(objc::Send(objc_lookUpClass("NSMenu"), "alloc"),
                                "initWithTitle:", appkit::EmptyString());
  State(self).pulls_down = pulls_down != NO;
  objc::SendSuper<void>(self, gPopUp, "setTitle:", appkit::EmptyString());
  return self;
}
id InitWithFrame(id self, SEL, NSRect frame) {
  return InitWithFramePullsDown(self, nullptr, frame, NO);
}
void SetMenu(id self, SEL, id menu) {
  if (!menu) return;  // a pop-up always has a menu
  appkit::AssignRetained(&State(self).menu, menu);
  appkit::AssignRetained(&State(self).selected, nil);
}
BOOL PullsDown(id self, SEL) {
  return State(self).pulls_down ? YES : NO;
}
void SetPullsDown(id self, SEL, BOOL on) {
  State(self).pulls_down = on != NO;
}

// Adding the first item selects it, as in Cocoa; adding through the menu does not.
void InsertItemWithTitle(id self, SEL, id title, NSInteger index) {
  if (index < 0 || index > Count(self)) return;
  id item = objc::Send(objc::Send(objc_lookUpClass("NSMenuItem"), "alloc"),
                       "initWithTitle:action:keyEquivalent:", appkit::StringOrEmpty(title),
                       static_cast<SEL>(nullptr), appkit::EmptyString());
  objc::Send<void>(State(self).menu, "insertItem:atIndex:", item, index);
  objc_release(item);
  if (!SelectedItem(self, nullptr)) SelectItem(self, nullptr, item);
}
void AddItemWithTitle(id self, SEL, id title) {
  InsertItemWithTitle(self, nullptr, title, Count(self));
}
void AddItemsWithTitles(id self, SEL, id titles) {
  NSUInteger count = objc::Send<NSUInteger>(titles, "count");
  for (NSUInteger i = 0; i < count; ++i) {
    AddItemWithTitle(self, nullptr, objc::Send(titles, "objectAtIndex:", i));
  }
}
void RemoveItemAtIndex(id self, SEL, NSInteger index) {
  if (index < 0 || index >= Count(self)) return;
  objc::Send<void>(State(self).menu, "removeItemAtIndex:", index);
}
void RemoveItemWithTitle(id self, SEL, id title) {
  id item = objc::Send(State(self).menu, "itemWithTitle:", title);
  if (item) objc::Send<void>(State(self).menu, "removeItem:", item);
}
void RemoveAllItems(id self, SEL) {
  objc::Send<void>(State(self).menu, "removeAllItems");
  appkit::AssignRetained(&State(self).selected, nil);
}
NSInteger NumberOfItems(id self, SEL) {
  return Count(self);
}
id ItemArray(id self, SEL) {
  return objc::Send(State(self).menu, "itemArray");
}
id ItemAtIndex(id self, SEL, NSInteger index) {
  return ItemAt(self, index);
}
id ItemWithTitle(id self, SEL, id title) {
  return objc::Send(State(self).menu, "itemWithTitle:", title);
}
NSInteger IndexOfItem(id self, SEL, id item) {
  return objc::Send<NSInteger>(State(self).menu, "indexOfItem:", item);
}
NSInteger IndexOfItemWithTitle(id self, SEL, id title) {
  id item = ItemWithTitle(self, nullptr, title);
  return item ? IndexOfItem(self, nullptr, item) : -1;
}
id LastItem(id self, SEL) {
  return ItemAt(self, Count(self) - 1);
}
id ItemTitleAtIndex(id self, SEL, NSInteger index) {
  return appkit::StringOrEmpty(objc::Send(ItemAt(self, index), "title"));
}
id ItemTitles(id self, SEL) {
  id titles = objc::Send(objc_lookUpClass("NSMutableArray"), "array");
  for (NSInteger i = 0; i < Count(self); ++i) {
    objc::Send<void>(titles, "addObject:", ItemTitleAtIndex(self, nullptr, i));
  }
  return titles;
}

NSInteger IndexOfSelectedItem(id self, SEL) {
  id item = SelectedItem(self, nullptr);
  return item ? IndexOfItem(self, nullptr, item) : -1;
}
// An index out of range (-1 among them) clears the selection, as in Cocoa.
void SelectItemAtIndex(id self, SEL, NSInteger index) {
  SelectItem(self, nullptr, ItemAt(self, index));
}
BOOL SelectItemWithTag(id self, SEL, NSInteger tag) {
  id item = objc::Send(State(self).menu, "itemWithTag:", tag);
  if (!item) return NO;
  SelectItem(self, nullptr, item);
  return YES;
}
void SelectItemWithTitle(id self, SEL, id title) {
  SelectItem(self, nullptr, ItemWithTitle(self, nullptr, title));
}
id TitleOfSelectedItem(id self, SEL) {
  return appkit::StringOrEmpty(objc::Send(SelectedItem(self, nullptr), "title"));
}

// A pop-up's title is its selected item's; setting it selects the item of that title.
id Title(id self, SEL) {
  return TitleOfSelectedItem(self, nullptr);
}
void SetTitle(id self, SEL, id title) {
  if (id item = ItemWithTitle(self, nullptr, title)) SelectItem(self, nullptr, item);
}
// Its value is the selected index.
id StringValue(id self, SEL) {
  return TitleOfSelectedItem(self, nullptr);
}
NSInteger IntegerValue(id self, SEL) {
  return IndexOfSelectedItem(self, nullptr);
}
int IntValue(id self, SEL) {
  return static_cast<int>(IndexOfSelectedItem(self, nullptr));
}
double DoubleValue(id self, SEL) {
  return static_cast<double>(IndexOfSelectedItem(self, nullptr));
}
void SetIntegerValue(id self, SEL, NSInteger index) {
  SelectItemAtIndex(self, nullptr, index);
}
void SetIntValue(id self, SEL, int index) {
  SelectItemAtIndex(self, nullptr, index);
}
// The menu would open under the mouse; with no menu tracking nothing happens.
void Ignore(id, SEL, id) {}

void Dealloc(id self, SEL sel) {
  PopUpState& state = State(self);
  objc_release(state.selected);
  objc_release(state.menu);
  state.selected = state.menu = nil;
  objc::SendSuper<void>(self, gPopUp, sel);
}

}  // namespace

namespace appkit {

void LoadNSPopUpButtonClass() {
  objc::DefineClass("NSPopUpButtonCell", "NSButtonCell");
  gPopUp = objc::DefineClass("NSPopUpButton", "NSButton");
  gStateOffset = objc::AddCxxIvar<PopUpState>(gPopUp, "_popUpState");
  Class cls = gPopUp;
  objc::AddMethod(cls, "initWithFrame:", &InitWithFrame);
  objc::AddMethod(cls, "initWithFrame:pullsDown:", &InitWithFramePullsDown);
  objc::AddMethod(cls, "menu", &Menu);
  objc::AddMethod(cls, "setMenu:", &SetMenu);
  objc::AddMethod(cls, "pullsDown", &PullsDown);
  objc::AddMethod(cls, "setPullsDown:", &SetPullsDown);
  objc::AddMethod(cls, "addItemWithTitle:", &AddItemWithTitle);
  objc::AddMethod(cls, "addItemsWithTitles:", &AddItemsWithTitles);
  objc::AddMethod(cls, "insertItemWithTitle:atIndex:", &InsertItemWithTitle);
  objc::AddMethod(cls, "removeItemAtIndex:", &RemoveItemAtIndex);
  objc::AddMethod(cls, "removeItemWithTitle:", &RemoveItemWithTitle);
  objc::AddMethod(cls, "removeAllItems", &RemoveAllItems);
  objc::AddMethod(cls, "numberOfItems", &NumberOfItems);
  objc::AddMethod(cls, "itemArray", &ItemArray);
  objc::AddMethod(cls, "itemAtIndex:", &ItemAtIndex);
  objc::AddMethod(cls, "itemWithTitle:", &ItemWithTitle);
  objc::AddMethod(cls, "indexOfItem:", &IndexOfItem);
  objc::AddMethod(cls, "indexOfItemWithTitle:", &IndexOfItemWithTitle);
  objc::AddMethod(cls, "lastItem", &LastItem);
  objc::AddMethod(cls, "itemTitleAtIndex:", &ItemTitleAtIndex);
  objc::AddMethod(cls, "itemTitles", &ItemTitles);
  objc::AddMethod(cls, "selectedItem", &SelectedItem);
  objc::AddMethod(cls, "selectItem:", &SelectItem);
  objc::AddMethod(cls, "indexOfSelectedItem", &IndexOfSelectedItem);
  objc::AddMethod(cls, "selectItemAtIndex:", &SelectItemAtIndex);
  objc::AddMethod(cls, "selectItemWithTag:", &SelectItemWithTag);
  objc::AddMethod(cls, "selectItemWithTitle:", &SelectItemWithTitle);
  objc::AddMethod(cls, "titleOfSelectedItem", &TitleOfSelectedItem);
  objc::AddMethod(cls, "title", &Title);
  objc::AddMethod(cls, "setTitle:", &SetTitle);
  objc::AddMethod(cls, "stringValue", &StringValue);
  objc::AddMethod(cls, "integerValue", &IntegerValue);
  objc::AddMethod(cls, "intValue", &IntValue);
  objc::AddMethod(cls, "doubleValue", &DoubleValue);
  objc::AddMethod(cls, "setIntegerValue:", &SetIntegerValue);
  objc::AddMethod(cls, "setIntValue:", &SetIntValue);
  objc::AddMethod(cls, "performClick:", &Ignore);
  objc::AddMethod(cls, "mouseDown:", &Ignore);
  objc::AddMethod(cls, "mouseUp:", &Ignore);
  objc::AddMethod(cls, "dealloc", &Dealloc);
}

}  // namespace appkit
