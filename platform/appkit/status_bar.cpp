// NSStatusBar and NSStatusItem: the system status bar keeps its items in order and tells the
// desktop whenever one is added, changed or removed.
#include "platform/appkit/status_bar.h"

#include <algorithm>
#include <vector>

#include "platform/appkit/appkit.h"
#include "platform/desktop/desktop.h"
#include "platform/foundation/array.h"

namespace {

constexpr double kThickness = 22;       // the status bar's height in points
constexpr double kVariableLength = -1;  // NSVariableStatusItemLength

// The state of one status item.
struct StatusItemState {
  id title = nil;                   // NSString, copied
  id image = nil;                   // NSImage, retained
  id menu = nil;                    // NSMenu, retained
  id tool_tip = nil;                // NSString, copied
  double length = kVariableLength;  // points, or -1 for "as long as the title needs"
  bool highlight_mode = false;      // stored only
  bool visible = true;              // setVisible:
  id status_bar = nil;              // the bar holding the item, not retained; nil once removed
};

Class gStatusBar;             // NSStatusBar
Class gStatusItem;            // NSStatusItem
ptrdiff_t gStateOffset = -1;  // offset of StatusItemState
id gSystemBar = nil;          // the one status bar, kept for the whole run
std::vector<id> gItems;       // the bar's items, retained, in order

StatusItemState& State(id self) {
  return objc::FieldAt<StatusItemState>(self, gStateOffset);
}

void Changed(id item) {
  if (State(item).status_bar) CurrentDesktop()->StatusItemChanged(item);
}

// --- NSStatusBar ---

id SystemStatusBar(Class cls, SEL) {
  if (!gSystemBar) gSystemBar = objc::Send(objc::Send(cls, "alloc"), "init");
  return gSystemBar;
}
// The bar keeps the item; the caller does not own it (retain it to keep it past removal).
id StatusItemWithLength(id self, SEL, double length) {
  id item = objc::Send(objc::Send(gStatusItem, "alloc"), "init");
  if (!item) return nil;
  State(item).length = length;
  State(item).status_bar = self;
  gItems.push_back(item);
  Changed(item);
  return item;
}
void RemoveStatusItem(id, SEL, id item) {
  auto found = std::find(gItems.begin(), gItems.end(), item);
  if (found == gItems.end()) return;
  gItems.erase(found);
  CurrentDesktop()->StatusItemChanged(item);
  State(item).status_bar = nil;
  objc_release(item);
}
double Thickness(id, SEL) {
  return kThickness;
}
BOOL IsVertical(id, SEL) {
  return NO;
}

// --- NSStatusItem ---

id Title(id self, SEL) {
  return State(self).title;
}
void SetTitle(id self, SEL, id title) {
  appkit::AssignCopied(&State(self).title, title);
  Changed(self);
}
id Image(id self, SEL) {
  return State(self).image;
}
void SetImage(id self, SEL, id image) {
  appkit::AssignRetained(&State(self).image, image);
  Changed(self);
}
id Menu(id self, SEL) {
  return State(self).menu;
}
void SetMenu(id self, SEL, id menu) {
  appkit::AssignRetained(&State(self).menu, menu);
  Changed(self);
}
double Length(id self, SEL) {
  return State(self).length;
}
void SetLength(id self, SEL, double length) {
  State(self).length = length;
  Changed(self);
}
BOOL HighlightMode(id self, SEL) {
  return State(self).highlight_mode ? YES : NO;
}
void SetHighlightMode(id self, SEL, BOOL on) {
  State(self).highlight_mode = on != NO;
}
id ToolTip(id self, SEL) {
  return State(self).tool_tip;
}
void SetToolTip(id self, SEL, id tip) {
  appkit::AssignCopied(&State(self).tool_tip, tip);
}
BOOL IsVisible(id self, SEL) {
  return State(self).visible ? YES : NO;
}
void SetVisible(id self, SEL, BOOL on) {
  State(self).visible = on != NO;
  Changed(self);
}
// The item has no separate button view on this platform.
id Button(id, SEL) {
  return nil;
}
id StatusBar(id self, SEL) {
  return State(self).status_bar;
}

void Dealloc(id self, SEL sel) {
  StatusItemState& state = State(self);
  for (id* slot : {&state.title, &state.image, &state.menu, &state.tool_tip}) {
    objc_release(*slot);
    *slot = nil;
  }
  objc::SendSuper<void>(self, gStatusItem, sel);
}

}  // namespace

id StatusBarItems() {
  return foundation::MakeArray(gItems);
}

namespace appkit {

void LoadNSStatusBarClasses() {
  gStatusBar = objc::DefineClass("NSStatusBar", "NSObject");
  objc::AddClassMethod(gStatusBar, "systemStatusBar", &SystemStatusBar);
  objc::AddMethod(gStatusBar, "statusItemWithLength:", &StatusItemWithLength);
  objc::AddMethod(gStatusBar, "removeStatusItem:", &RemoveStatusItem);
  objc::AddMethod(gStatusBar, "thickness", &Thickness);
  objc::AddMethod(gStatusBar, "isVertical", &IsVertical);

  gStatusItem = objc::DefineClass("NSStatusItem", "NSObject");
  gStateOffset = objc::AddCxxIvar<StatusItemState>(gStatusItem, "_itemState");
  Class cls = gStatusItem;
  objc::AddMethod(cls, "title", &Title);
  objc::AddMethod(cls, "setTitle:", &SetTitle);
  objc::AddMethod(cls, "image", &Image);
  objc::AddMethod(cls, "setImage:", &SetImage);
  objc::AddMethod(cls, "menu", &Menu);
  objc::AddMethod(cls, "setMenu:", &SetMenu);
  objc::AddMethod(cls, "length", &Length);
  objc::AddMethod(cls, "setLength:", &SetLength);
  objc::AddMethod(cls, "highlightMode", &HighlightMode);
  objc::AddMethod(cls, "setHighlightMode:", &SetHighlightMode);
  objc::AddMethod(cls, "toolTip", &ToolTip);
  objc::AddMethod(cls, "setToolTip:", &SetToolTip);
  objc::AddMethod(cls, "isVisible", &IsVisible);
  objc::AddMethod(cls, "setVisible:", &SetVisible);
  objc::AddMethod(cls, "button", &Button);
  objc::AddMethod(cls, "statusBar", &StatusBar);
  objc::AddMethod(cls, "dealloc", &Dealloc);
}

}  // namespace appkit
