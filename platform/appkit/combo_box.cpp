// NSComboBox: a text field with a list of items to choose from, kept by the box itself or by a
// data source (numberOfItemsInComboBox:, comboBox:objectValueForItemAtIndex:). Small: there is
// no list to pop up on this platform; choosing is selectItemAtIndex:.
#include <vector>

#include "platform/appkit/appkit.h"
#include "platform/foundation/notification.h"

namespace {

// The state of one combo box (the text is the text field's).
struct ComboBoxState {
  std::vector<id> items;          // object values, retained, when no data source is used
  bool uses_data_source = false;  // items come from the data source
  id data_source = nil;           // not retained, as in Cocoa
  bool completes = false;         // stored only
  NSInteger selected = -1;        // index of the selected item, -1 when none
};

Class gComboBox;              // NSComboBox
ptrdiff_t gStateOffset = -1;  // offset of ComboBoxState

ComboBoxState& State(id self) {
  return objc::FieldAt<ComboBoxState>(self, gStateOffset);
}

NSInteger NumberOfItems(id self, SEL) {
  ComboBoxState& state = State(self);
  if (!state.uses_data_source) return static_cast<NSInteger>(state.items.size());
  if (!foundation::RespondsTo(state.data_source, "numberOfItemsInComboBox:")) return 0;
  return objc::Send<NSInteger>(state.data_source, "numberOfItemsInComboBox:", self);
}
id ItemObjectValueAtIndex(id self, SEL, NSInteger index) {
  ComboBoxState& state = State(self);
  if (index < 0 || index >= NumberOfItems(self, nullptr)) return nil;
  if (!state.uses_data_source) return state.items[static_cast<size_t>(index)];
  if (!foundation::RespondsTo(state.data_source, "comboBox:objectValueForItemAtIndex:")) {
    return nil;
  }
  return objc::Send(state.data_source, "comboBox:objectValueForItemAtIndex:", self, index);
}
void AddItemWithObjectValue(id self, SEL, id value) {
  if (value) State(self).items.push_back(objc_retain(value));
}
void RemoveAllItems(id self, SEL) {
  for (id item : State(self).items) objc_release(item);
  State(self).items.clear();
  State(self).selected = -1;
}
NSInteger IndexOfSelectedItem(id self, SEL) {
  NSInteger selected = State(self).selected;
  return selected < NumberOfItems(self, nullptr) ? selected : -1;
}
id ObjectValueOfSelectedItem(id self, SEL) {
  return ItemObjectValueAtIndex(self, nullptr, IndexOfSelectedItem(self, nullptr));
}

// Choosing an item puts its text into the field and tells the delegate.
void SelectItemAtIndex(id self, SEL, NSInteger index) {
  id value = ItemObjectValueAtIndex(self, nullptr, index);
  if (!value) return;
  State(self).selected = index;
  id text = objc::Send<BOOL>(value, "isKindOfClass:", objc_lookUpClass("NSString"))
                ? value
                : objc::Send(value, "description");
  objc::Send<void>(self, "setStringValue:", text);
  foundation::SendNotification(objc::Send(self, "delegate"), "comboBoxSelectionDidChange:",
                               "NSComboBoxSelectionDidChangeNotification", self);
}
void DeselectItemAtIndex(id self, SEL, NSInteger index) {
  if (State(self).selected == index) State(self).selected = -1;
}
BOOL UsesDataSource(id self, SEL) {
  return State(self).uses_data_source ? YES : NO;
}
void SetUsesDataSource(id self, SEL, BOOL on) {
  State(self).uses_data_source = on != NO;
}
id DataSource(id self, SEL) {
  return State(self).data_source;
}
void SetDataSource(id self, SEL, id source) {
  State(self).data_source = source;
}
BOOL Completes(id self, SEL) {
  return State(self).completes ? YES : NO;
}
void SetCompletes(id self, SEL, BOOL on) {
  State(self).completes = on != NO;
}
void ReloadData(id, SEL) {}
void NoteNumberOfItemsChanged(id, SEL) {}

void Dealloc(id self, SEL sel) {
  RemoveAllItems(self, nullptr);
  objc::SendSuper<void>(self, gComboBox, sel);
}

}  // namespace

namespace appkit {

void LoadNSComboBoxClass() {
  objc::DefineClass("NSComboBoxCell", "NSTextFieldCell");
  gComboBox = objc::DefineClass("NSComboBox", "NSTextField");
  gStateOffset = objc::AddCxxIvar<ComboBoxState>(gComboBox, "_comboBoxState");
  Class cls = gComboBox;
  objc::AddMethod(cls, "numberOfItems", &NumberOfItems);
  objc::AddMethod(cls, "itemObjectValueAtIndex:", &ItemObjectValueAtIndex);
  objc::AddMethod(cls, "addItemWithObjectValue:", &AddItemWithObjectValue);
  objc::AddMethod(cls, "removeAllItems", &RemoveAllItems);
  objc::AddMethod(cls, "indexOfSelectedItem", &IndexOfSelectedItem);
  objc::AddMethod(cls, "objectValueOfSelectedItem", &ObjectValueOfSelectedItem);
  objc::AddMethod(cls, "selectItemAtIndex:", &SelectItemAtIndex);
  objc::AddMethod(cls, "deselectItemAtIndex:", &DeselectItemAtIndex);
  objc::AddMethod(cls, "usesDataSource", &UsesDataSource);
  objc::AddMethod(cls, "setUsesDataSource:", &SetUsesDataSource);
  objc::AddMethod(cls, "dataSource", &DataSource);
  objc::AddMethod(cls, "setDataSource:", &SetDataSource);
  objc::AddMethod(cls, "completes", &Completes);
  objc::AddMethod(cls, "setCompletes:", &SetCompletes);
  objc::AddMethod(cls, "reloadData", &ReloadData);
  objc::AddMethod(cls, "noteNumberOfItemsChanged", &NoteNumberOfItemsChanged);
  objc::AddMethod(cls, "dealloc", &Dealloc);
}

}  // namespace appkit
