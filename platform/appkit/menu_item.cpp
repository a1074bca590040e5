// NSMenuItem: a titled entry of a menu with a target/action, a key equivalent, a tag, a
// represented object, an enabled flag, a state and an optional submenu.
#include "platform/appkit/appkit.h"
#include "platform/appkit/menu.h"
#include "platform/foundation/string.h"

namespace {

// The state of one menu item.
struct MenuItemState {
  id title = nil;                          // NSString, copied
  SEL action = nullptr;                    // sent to target through the application
  id key_equivalent = nil;                 // NSString, copied
  NSUInteger key_mask = kModifierCommand;  // Cocoa's default: command
  NSInteger tag = 0;                       // setTag:
  id target = nil;                         // not retained, as in Cocoa
  id represented_object = nil;             // retained
  bool enabled = true;                     // setEnabled: (overruled in an autoenabling menu)
  bool separator = false;                  // made by +separatorItem
  bool hidden = false;                     // setHidden:
  NSInteger state = 0;                     // 0 off, 1 on, -1 mixed
  id submenu = nil;                        // NSMenu, retained
  id menu = nil;                           // the menu holding the item, not retained
  id image = nil;                          // NSImage, retained
  id tool_tip = nil;                       // NSString, copied
};

Class gMenuItem;              // NSMenuItem
ptrdiff_t gStateOffset = -1;  // offset of MenuItemState

MenuItemState& State(id self) {
  return objc::FieldAt<MenuItemState>(self, gStateOffset);
}

id InitWithTitle(id self, SEL, id title, SEL action, id key) {
  self = objc::SendSuper(self, gMenuItem, "init");
  if (!self) return nil;
  appkit::AssignCopied(&State(self).title, title);
  State(self).action = action;
  appkit::AssignCopied(&State(self).key_equivalent, key);
  return self;
}
id Init(id self, SEL) {
  return objc::Send(self, "initWithTitle:action:keyEquivalent:", appkit::EmptyString(),
                    static_cast<SEL>(nullptr), appkit::EmptyString());
}
id SeparatorItem(Class cls, SEL) {
  id item = objc::Send(objc::Send(cls, "alloc"), "init");
  if (!item) return nil;
  State(item).separator = true;
  State(item).enabled = false;
  return objc_autorelease(item);
}

BOOL IsSeparatorItem(id self, SEL) {
  return State(self).separator ? YES : NO;
}
id Title(id self, SEL) {
  return appkit::StringOrEmpty(State(self).title);
}
void SetTitle(id self, SEL, id title) {
  appkit::AssignCopied(&State(self).title, title);
}
id KeyEquivalent(id self, SEL) {
  return appkit::StringOrEmpty(State(self).key_equivalent);
}
void SetKeyEquivalent(id self, SEL, id key) {
  appkit::AssignCopied(&State(self).key_equivalent, key);
}
NSUInteger KeyMask(id self, SEL) {
  return State(self).key_mask;
}
void SetKeyMask(id self, SEL, NSUInteger mask) {
  State(self).key_mask = mask;
}
NSInteger Tag(id self, SEL) {
  return State(self).tag;
}
void SetTag(id self, SEL, NSInteger tag) {
  State(self).tag = tag;
}
id Target(id self, SEL) {
  return State(self).target;
}
void SetTarget(id self, SEL, id target) {
  State(self).target = target;
}
SEL Action(id self, SEL) {
  return State(self).action;
}
void SetAction(id self, SEL, SEL action) {
  State(self).action = action;
}
id RepresentedObject(id self, SEL) {
  return State(self).represented_object;
}
void SetRepresentedObject(id self, SEL, id object) {
  appkit::AssignRetained(&State(self).represented_object, object);
}
// Cocoa's automatic enabling, for an item of a menu that autoenables its items: an item with a
// submenu is enabled; an item with an action is enabled exactly when its target (or, without
// one, the object the application would send the action to) answers the action, and then as
// that object's -validateMenuItem: says when it has one. An item without an action keeps its
// own flag (Cocoa would disable it; the pop-up buttons' items, which choose through the
// button's action, rely on staying enabled).
BOOL IsEnabled(id self, SEL) {
  const MenuItemState& state = State(self);
  if (!state.menu || !objc::Send<BOOL>(state.menu, "autoenablesItems")) {
    return state.enabled ? YES : NO;
  }
  if (state.submenu) return YES;
  if (!state.action) return state.enabled ? YES : NO;
  id target = state.target;
  if (target && !class_respondsToSelector(object_getClass(target), state.action)) return NO;
  if (!target) target = objc::Send(NSApp, "targetForAction:", state.action);
  if (!target) return NO;
  if (class_respondsToSelector(object_getClass(target), sel_registerName("validateMenuItem:"))) {
    return objc::Send<BOOL>(target, "validateMenuItem:", self);
  }
  return YES;
}
void SetEnabled(id self, SEL, BOOL on) {
  State(self).enabled = on != NO;
}
BOOL IsHidden(id self, SEL) {
  return State(self).hidden ? YES : NO;
}
void SetHidden(id self, SEL, BOOL on) {
  State(self).hidden = on != NO;
}
NSInteger GetState(id self, SEL) {
  return State(self).state;
}
void SetState(id self, SEL, NSInteger value) {
  State(self).state = value;
}
id Submenu(id self, SEL) {
  return State(self).submenu;
}
BOOL HasSubmenu(id self, SEL) {
  return State(self).submenu ? YES : NO;
}
void SetSubmenu(id self, SEL, id submenu) {
  MenuItemState& state = State(self);
  if (state.submenu == submenu) return;
  if (state.submenu) objc::Send<void>(state.submenu, "setSupermenu:", static_cast<id>(nil));
  appkit::AssignRetained(&state.submenu, submenu);
  if (submenu) objc::Send<void>(submenu, "setSupermenu:", state.menu);
}
id Menu(id self, SEL) {
  return State(self).menu;
}
id Image(id self, SEL) {
  return State(self).image;
}
void SetImage(id self, SEL, id image) {
  appkit::AssignRetained(&State(self).image, image);
}
id ToolTip(id self, SEL) {
  return State(self).tool_tip;
}
void SetToolTip(id self, SEL, id tip) {
  appkit::AssignCopied(&State(self).tool_tip, tip);
}

void Dealloc(id self, SEL sel) {
  MenuItemState& state = State(self);
  if (state.submenu) objc::Send<void>(state.submenu, "setSupermenu:", static_cast<id>(nil));
  for (id* slot : {&state.title, &state.key_equivalent, &state.represented_object, &state.submenu,
                   &state.image, &state.tool_tip}) {
    objc_release(*slot);
    *slot = nil;
  }
  objc::SendSuper<void>(self, gMenuItem, sel);
}

}  // namespace

void MenuItemSetMenu(id item, id menu) {
  if (!item || !gMenuItem || !objc::IsKindOf(item, gMenuItem)) return;
  State(item).menu = menu;
  if (State(item).submenu) objc::Send<void>(State(item).submenu, "setSupermenu:", menu);
}

namespace appkit {

void LoadNSMenuItemClass() {
  gMenuItem = objc::DefineClass("NSMenuItem", "NSObject");
  gStateOffset = objc::AddCxxIvar<MenuItemState>(gMenuItem, "_itemState");
  Class cls = gMenuItem;
  objc::AddClassMethod(cls, "separatorItem", &SeparatorItem);
  objc::AddMethod(cls, "initWithTitle:action:keyEquivalent:", &InitWithTitle);
  objc::AddMethod(cls, "init", &Init);
  objc::AddMethod(cls, "isSeparatorItem", &IsSeparatorItem);
  objc::AddMethod(cls, "title", &Title);
  objc::AddMethod(cls, "setTitle:", &SetTitle);
  objc::AddMethod(cls, "keyEquivalent", &KeyEquivalent);
  objc::AddMethod(cls, "setKeyEquivalent:", &SetKeyEquivalent);
  objc::AddMethod(cls, "keyEquivalentModifierMask", &KeyMask);
  objc::AddMethod(cls, "setKeyEquivalentModifierMask:", &SetKeyMask);
  objc::AddMethod(cls, "tag", &Tag);
  objc::AddMethod(cls, "setTag:", &SetTag);
  objc::AddMethod(cls, "target", &Target);
  objc::AddMethod(cls, "setTarget:", &SetTarget);
  objc::AddMethod(cls, "action", &Action);
  objc::AddMethod(cls, "setAction:", &SetAction);
  objc::AddMethod(cls, "representedObject", &RepresentedObject);
  objc::AddMethod(cls, "setRepresentedObject:", &SetRepresentedObject);
  objc::AddMethod(cls, "isEnabled", &IsEnabled);
  objc::AddMethod(cls, "setEnabled:", &SetEnabled);
  objc::AddMethod(cls, "isHidden", &IsHidden);
  objc::AddMethod(cls, "setHidden:", &SetHidden);
  objc::AddMethod(cls, "state", &GetState);
  objc::AddMethod(cls, "setState:", &SetState);
  objc::AddMethod(cls, "submenu", &Submenu);
  objc::AddMethod(cls, "setSubmenu:", &SetSubmenu);
  objc::AddMethod(cls, "hasSubmenu", &HasSubmenu);
  objc::AddMethod(cls, "menu", &Menu);
  objc::AddMethod(cls, "image", &Image);
  objc::AddMethod(cls, "setImage:", &SetImage);
  objc::AddMethod(cls, "toolTip", &ToolTip);
  objc::AddMethod(cls, "setToolTip:", &SetToolTip);
  objc::AddMethod(cls, "dealloc", &Dealloc);
}

}  // namespace appkit
