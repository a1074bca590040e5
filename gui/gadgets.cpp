// The gadget framework: registry, VoGadgetFunctions (the base behaviour every kind inherits),
// the tagged view classes, VoGadgetList and the number-taking operations.
//
// Sections: State, VoGadgetFunctions, Tagged views, VoGadgetList, Class definitions,
// Set-up, Number-taking operations, Freeing, For the kinds.
//
// Lifetimes: a gadget's record and functions object are freed exactly once, by whichever of
// DestroyGadget, window close (FreeWindowGadgets), re-creation under its number or its view's
// dealloc comes first. FreeGadgetRecord marks the view (Vo_alreadyDestroyed) before anything
// else, so a later dealloc of the view frees nothing more.
#include "gui/gadgets.h"

#include <cstdlib>
#include <vector>

#include "core/cfstring.h"
#include "core/registry.h"
#include "gui/cocoa.h"
#include "gui/event_queue.h"
#include "gui/windows.h"

namespace {

// --- State ---

ObjectRegistry* g_gadgets = nullptr;  // GadgetRecord by gadget number
constexpr int32_t kGadgetSlots = 16;  // initial slots of the gadget registry

Class g_functions_class = nil;  // VoGadgetFunctions
Class g_list_class = nil;       // VoGadgetList
ptrdiff_t g_id_ivar = -1;       // VoGadgetFunctions's "GadgetID" (int64_t)
ptrdiff_t g_record_ivar = -1;   // VoGadgetFunctions's "Gadget" (GadgetRecord*)
ptrdiff_t g_control_ivar = -1;  // VoGadgetFunctions's "isNSControl" (BOOL)

// VoGadgetList's instance variables.
ptrdiff_t g_top_window_ivar = -1;   // "TopWindow": the NSWindow; not retained
ptrdiff_t g_top_view_ivar = -1;     // "TopView": the view receiving new gadgets; not retained
ptrdiff_t g_views_ivar = -1;        // "Views": malloc'd array of saved views (id*)
ptrdiff_t g_stack_size_ivar = -1;   // "StackSize": capacity of Views
ptrdiff_t g_stack_index_ivar = -1;  // "StackIndex": number of saved views

constexpr int32_t kStackStep = 10;  // initial capacity of Views, and its growth

id g_current_list = nil;  // the current VoGadgetList; held by g_lists
id g_lists = nil;         // NSMutableArray of every VoGadgetList; owned for the whole run

std::vector<Class> g_tagged_classes;  // the tagged view classes, for their super calls

// --- VoGadgetFunctions ---

int64_t& GadgetID(id self) {
  return objc::FieldAt<int64_t>(self, g_id_ivar);
}
GadgetRecord*& Record(id self) {
  return objc::FieldAt<GadgetRecord*>(self, g_record_ivar);
}
BOOL& IsControl(id self) {
  return objc::FieldAt<BOOL>(self, g_control_ivar);
}
id View(id self) {
  GadgetRecord* record = Record(self);
  return record ? record->view : nil;
}
id Container(id self) {
  GadgetRecord* record = Record(self);
  return record ? record->container : nil;
}
// The view when it is a control, else nil (messages to nil do nothing and answer 0).
id ControlView(id self) {
  return IsControl(self) ? View(self) : nil;
}

GadgetRecord* Setup(id self, SEL, int64_t number, int32_t kind, id view, id container,
                    int32_t flags) {
  if (!g_gadgets) return nullptr;
  // A gadget that already has the number is destroyed first (the registry's free callback).
  auto* record = static_cast<GadgetRecord*>(AllocateObject(g_gadgets, number));
  if (!record) return nullptr;
  int64_t gadget = number == -1 ? static_cast<int64_t>(reinterpret_cast<intptr_t>(record)) : number;
  GadgetID(self) = gadget;
  Record(self) = record;
  IsControl(self) = objc::IsKindOf(view, CocoaClass("NSControl")) ? YES : NO;
  record->view = view;
  record->container = container;
  record->functions = self;
  record->kind = kind;
  record->flags = flags;
  record->window = WindowNumberOf(GadgetListCurrentWindow());
  objc::Send<void>(view, "setTag:", static_cast<NSInteger>(gadget));
  objc::Send<void>(view, "setAlreadyDestroyed:", NO);
  if (IsControl(self)) {
    objc::Send<void>(view, "setTarget:", self);
    objc::Send<void>(view, "setAction:", sel_registerName("EventHandler:"));
  }
  return record;
}

void Reuse(id self, SEL, GadgetRecord* record, int32_t kind) {
  if (!record) return;
  id old = record->functions;
  Record(self) = record;
  record->functions = self;
  if (old != self) objc::Release(old);
  record->kind = kind;
  GadgetID(self) = objc::Send<NSInteger>(record->view, "tag");
  IsControl(self) = objc::IsKindOf(record->view, CocoaClass("NSControl")) ? YES : NO;
  if (IsControl(self)) objc::Send<void>(record->view, "setTarget:", self);
}

void SendEvent(id self, SEL, int64_t subtype) {
  GadgetRecord* record = Record(self);
  QueueUiEvent(GadgetEvent, GadgetID(self), record ? record->window : -1, subtype);
}
void EventHandler(id self, SEL, id) {
  objc::Send<void>(self, "SendEvent:", int64_t{SubtypeDefault});
}
void Nothing(id, SEL) {}

void ActivateGadget(id self, SEL) {
  id view = View(self);
  id window = objc::Send(view, "window");
  objc::Send<void>(window, "makeKeyWindow");
  objc::Send<BOOL>(window, "makeFirstResponder:", view);
}
void GadgetToolTip(id self, SEL, id text) {
  objc::Send<void>(View(self), "setToolTip:", text);
}
void HideGadget(id self, SEL, int32_t hide) {
  objc::Send<void>(Container(self), "setHidden:", hide ? YES : NO);
}
void DisableGadgetMethod(id self, SEL, int32_t state) {
  id control = ControlView(self);
  if (!control) return;
  objc::Send<void>(control, "validateEditing");
  objc::Send<void>(control, "setEnabled:", state ? NO : YES);
}

// The container's top-left corner in its own coordinates.
NSPoint TopLeft(id container) {
  if (objc::Send<BOOL>(container, "isFlipped")) return NSMakePoint(0, 0);
  return NSMakePoint(0, objc::Send<NSRect>(container, "frame").size.height);
}

int32_t GadgetX(id self, SEL, int32_t mode) {
  id container = Container(self);
  if (!container) return 0;
  if (mode == 1) {
    NSPoint point = objc::Send<NSPoint>(container, "convertPoint:toView:", NSMakePoint(0, 0),
                                        static_cast<id>(nil));
    point = objc::Send<NSPoint>(objc::Send(container, "window"), "convertBaseToScreen:", point);
    return static_cast<int32_t>(point.x);
  }
  if (mode == 2) {
    id content = objc::Send(objc::Send(container, "window"), "contentView");
    return static_cast<int32_t>(
        objc::Send<NSPoint>(container, "convertPoint:toView:", NSMakePoint(0, 0), content).x);
  }
  return static_cast<int32_t>(objc::Send<NSRect>(container, "frame").origin.x);
}

int32_t GadgetY(id self, SEL, int32_t mode) {
  id container = Container(self);
  if (!container) return 0;
  if (mode == 1) {
    id screen = objc::Send(CocoaClass("NSScreen"), "mainScreen");
    if (!screen) return 0;
    NSPoint point = objc::Send<NSPoint>(container, "convertPoint:toView:", TopLeft(container),
                                        static_cast<id>(nil));
    point = objc::Send<NSPoint>(objc::Send(container, "window"), "convertBaseToScreen:", point);
    return static_cast<int32_t>(objc::Send<NSRect>(screen, "frame").size.height - point.y);
  }
  if (mode == 2) {
    id content = objc::Send(objc::Send(container, "window"), "contentView");
    return static_cast<int32_t>(
        objc::Send<NSPoint>(container, "convertPoint:toView:", TopLeft(container), content).y);
  }
  return static_cast<int32_t>(objc::Send<NSRect>(container, "frame").origin.y);
}

int32_t GadgetWidth(id self, SEL) {
  return static_cast<int32_t>(objc::Send<NSRect>(Container(self), "frame").size.width);
}
int32_t GadgetHeight(id self, SEL) {
  return static_cast<int32_t>(objc::Send<NSRect>(Container(self), "frame").size.height);
}

void ResizeGadget(id self, SEL, int32_t x, int32_t y, int32_t width, int32_t height) {
  id container = Container(self);
  if (!container) return;
  NSRect frame = objc::Send<NSRect>(container, "frame");
  if (x != kGadgetKeep) frame.origin.x = x;
  if (y != kGadgetKeep) frame.origin.y = y;
  if (width != kGadgetKeep) frame.size.width = width;
  if (height != kGadgetKeep) frame.size.height = height;
  objc::Send<void>(container, "setFrame:", frame);
  objc::Send<void>(container, "setNeedsDisplay:", YES);
}

void SetGadgetFont(id self, SEL, id font) {
  objc::Send<void>(ControlView(self), "setFont:", font);
}
id GetGadgetFont(id self, SEL) {
  return objc::Send(ControlView(self), "font");
}
int64_t AddGadgetItemMethod(id, SEL, int32_t, id, id, int32_t) {
  return 0;
}
void IgnoreInt(id, SEL, int32_t) {}
int32_t CountGadgetItems(id, SEL) {
  return 0;
}
void AddGadgetColumn(id, SEL, int32_t, id, int32_t) {}
void SetGadgetStateMethod(id self, SEL, int64_t state) {
  objc::Send<void>(ControlView(self), "setIntValue:", static_cast<int>(state));
}
int64_t GetGadgetStateMethod(id self, SEL) {
  return static_cast<int32_t>(objc::Send<int>(ControlView(self), "intValue"));
}
void SetGadgetItemState(id, SEL, int32_t, int32_t) {}
int32_t GetGadgetItemState(id, SEL, int32_t) {
  return 0;
}
void SetGadgetItemImage(id, SEL, int32_t, id) {}
void SetGadgetTextMethod(id self, SEL, id text) {
  objc::Send<void>(ControlView(self), "setStringValue:", text);
}
id EmptyString() {
  return CocoaStringFromUtf8("");
}
id GetGadgetTextMethod(id self, SEL) {
  id control = ControlView(self);
  id text = control ? objc::Send(control, "stringValue") : nil;
  return text ? text : EmptyString();
}
void SetGadgetItemText(id, SEL, int32_t, id, int32_t) {}
id GetGadgetItemText(id, SEL, int32_t, int32_t) {
  return EmptyString();
}
void SetGadgetAttribute(id, SEL, int32_t, int64_t) {}
int64_t GetGadgetAttribute(id, SEL, int32_t) {
  return 0;
}
void SetGadgetItemAttribute(id, SEL, int32_t, int32_t, int64_t, int32_t) {}
int64_t GetGadgetItemAttribute(id, SEL, int32_t, int32_t, int32_t) {
  return 0;
}
void SetGadgetColor(id, SEL, int32_t, id) {}
id GetGadgetColor(id, SEL, int32_t) {
  return nil;
}
void SetGadgetItemColor(id, SEL, int32_t, int32_t, id, int32_t) {}
id GetGadgetItemColor(id, SEL, int32_t, int32_t, int32_t) {
  return nil;
}
void SetGadgetItemData(id, SEL, int32_t, int64_t) {}
int64_t GetGadgetItemData(id, SEL, int32_t) {
  return 0;
}

// --- Tagged views ---

// The tagged class whose method is running for self: the first one up self's class chain.
Class TaggedClassOf(id self) {
  for (Class cls = object_getClass(self); cls; cls = class_getSuperclass(cls)) {
    for (Class tagged : g_tagged_classes) {
      if (tagged == cls) return cls;
    }
  }
  return nil;
}

int64_t* TagField(id self) {
  return objc::IvarPointer<int64_t>(self, "Vo_tag");
}
BOOL* DestroyedField(id self) {
  return objc::IvarPointer<BOOL>(self, "Vo_alreadyDestroyed");
}

void TaggedSetTag(id self, SEL, NSInteger tag) {
  *TagField(self) = tag;
}
void TaggedSetAlreadyDestroyed(id self, SEL, BOOL destroyed) {
  *DestroyedField(self) = destroyed;
}
NSInteger TaggedTag(id self, SEL) {
  return static_cast<NSInteger>(*TagField(self));
}
void TaggedDealloc(id self, SEL sel) {
  if (!*DestroyedField(self)) FreeGadgetRecord(*TagField(self));
  objc::SendSuper<void>(self, TaggedClassOf(self), sel);
}
void TaggedFinalize(id self, SEL sel) {
  if (!*DestroyedField(self)) {
    *DestroyedField(self) = YES;
    FreeGadgetRecord(*TagField(self));
  }
  objc::SendSuper<void>(self, TaggedClassOf(self), sel);
}
// No view registers dragged types, so these are never called: no drop is possible.
NSUInteger DraggingNone(id, SEL, id) {
  return 0;
}
BOOL DragRefused(id, SEL, id) {
  return NO;
}

// --- VoGadgetList ---

id& TopWindow(id self) {
  return objc::FieldAt<id>(self, g_top_window_ivar);
}
id& TopView(id self) {
  return objc::FieldAt<id>(self, g_top_view_ivar);
}
id*& Views(id self) {
  return objc::FieldAt<id*>(self, g_views_ivar);
}
int32_t& StackSize(id self) {
  return objc::FieldAt<int32_t>(self, g_stack_size_ivar);
}
int32_t& StackIndex(id self) {
  return objc::FieldAt<int32_t>(self, g_stack_index_ivar);
}

id ListInitWithWindow(id self, SEL, id window) {
  self = objc::SendSuper(self, g_list_class, "init");
  if (!self) return nil;
  TopWindow(self) = window;
  id content = objc::Send(window, "contentView");
  if (!content) {
    NSRect frame = objc::Send<NSRect>(window, "frame");
    content = objc::Autorelease(
        objc::Send(objc::Send(CocoaClass("Vo_NSFlippedView"), "alloc"), "initWithFrame:", frame));
    objc::Send<void>(window, "setContentView:", content);
  }
  TopView(self) = content;
  Views(self) = static_cast<id*>(std::calloc(kStackStep, sizeof(id)));
  StackSize(self) = Views(self) ? kStackStep : 0;
  StackIndex(self) = 0;
  return self;
}
void ListDealloc(id self, SEL sel) {
  std::free(Views(self));
  Views(self) = nullptr;
  objc::SendSuper<void>(self, g_list_class, sel);
}
void ListFinalize(id self, SEL sel) {
  std::free(Views(self));
  Views(self) = nullptr;
  objc::SendSuper<void>(self, g_list_class, sel);
}
id ListWindow(id self, SEL) {
  return TopWindow(self);
}
id ListTop(id self, SEL) {
  return TopView(self);
}
int32_t ListStackIndex(id self, SEL) {
  return StackIndex(self);
}
// When the stack cannot grow, the view is not saved and pop will not come back to it.
void ListPush(id self, SEL, id view) {
  if (StackIndex(self) >= StackSize(self)) {
    int32_t size = StackSize(self) + kStackStep;
    auto* grown = static_cast<id*>(std::realloc(Views(self), sizeof(id) * size));
    if (grown) {
      Views(self) = grown;
      StackSize(self) = size;
    }
  }
  if (StackIndex(self) < StackSize(self)) Views(self)[StackIndex(self)++] = TopView(self);
  TopView(self) = view;
}
void ListPushNoView(id self, SEL) {
  ListPush(self, nullptr, nil);
}
void ListSet(id self, SEL, id view) {
  TopView(self) = view;
}
void ListPop(id self, SEL) {
  if (StackIndex(self) > 0) {
    int32_t index = --StackIndex(self);
    TopView(self) = Views(self)[index];
    Views(self)[index] = nil;
    return;
  }
  StackIndex(self) = 0;
  TopView(self) = objc::Send(TopWindow(self), "contentView");
}

id ListsArray() {
  if (!g_lists) {
    g_lists = objc::Send(objc::Send(CocoaClass("NSMutableArray"), "alloc"),
                         "initWithCapacity:", NSUInteger{5});
  }
  return g_lists;
}
id CurrentList(Class, SEL) {
  return g_current_list;
}
id CurrentView(Class, SEL) {
  return g_current_list ? TopView(g_current_list) : nil;
}
id CurrentWindow(Class, SEL) {
  return g_current_list ? TopWindow(g_current_list) : nil;
}
id ListFromWindow(Class, SEL, id window) {
  id lists = ListsArray();
  NSUInteger count = objc::Send<NSUInteger>(lists, "count");
  for (NSUInteger i = 0; i < count; ++i) {
    id list = objc::Send(lists, "objectAtIndex:", i);
    if (objc::Send<BOOL>(TopWindow(list), "isEqual:", window)) return list;
  }
  return nil;
}
id SetWindow(Class cls, SEL, id window) {
  id previous = g_current_list ? TopWindow(g_current_list) : nil;
  if (!window) return previous;
  id list = ListFromWindow(cls, nullptr, window);
  if (!list) {
    list =
        objc::Autorelease(objc::Send(objc::Send(g_list_class, "alloc"), "initWithWindow:", window));
    if (!list) return previous;
    objc::Send<void>(ListsArray(), "addObject:", list);
  }
  g_current_list = list;
  return previous;
}
void RemoveWindow(Class cls, SEL, id window) {
  id list = ListFromWindow(cls, nullptr, window);
  if (!list) return;
  if (list == g_current_list) g_current_list = nil;
  objc::Send<void>(ListsArray(), "removeObject:", list);  // may free the list
}

// --- Class definitions ---

void DefineFunctionsClass() {
  Class cls = objc::DefineClass("VoGadgetFunctions", "NSObject");
  g_functions_class = cls;
  g_id_ivar = objc::AddIvar<int64_t>(cls, "GadgetID");
  g_record_ivar = objc::AddIvar<GadgetRecord*>(cls, "Gadget");
  g_control_ivar = objc::AddIvar<BOOL>(cls, "isNSControl");
  objc::AddMethod(cls, "setup:type:view:container:flags:", &Setup);
  objc::AddMethod(cls, "reuse:type:", &Reuse);
  objc::AddMethod(cls, "SendEvent:", &SendEvent);
  objc::AddMethod(cls, "EventHandler:", &EventHandler);
  objc::AddMethod(cls, "FreeGadget", &Nothing);
  objc::AddMethod(cls, "ActivateGadget", &ActivateGadget);
  objc::AddMethod(cls, "GadgetToolTip:", &GadgetToolTip);
  objc::AddMethod(cls, "HideGadget:", &HideGadget);
  objc::AddMethod(cls, "DisableGadget:", &DisableGadgetMethod);
  objc::AddMethod(cls, "GadgetX:", &GadgetX);
  objc::AddMethod(cls, "GadgetY:", &GadgetY);
  objc::AddMethod(cls, "GadgetWidth", &GadgetWidth);
  objc::AddMethod(cls, "GadgetHeight", &GadgetHeight);
  objc::AddMethod(cls, "ResizeGadget:y:width:height:", &ResizeGadget);
  objc::AddMethod(cls, "SetGadgetFont:", &SetGadgetFont);
  objc::AddMethod(cls, "GetGadgetFont", &GetGadgetFont);
  objc::AddMethod(cls, "AddGadgetItem:text:image:flags:", &AddGadgetItemMethod);
  objc::AddMethod(cls, "RemoveGadgetItem:", &IgnoreInt);
  objc::AddMethod(cls, "ClearGadgetItems", &Nothing);
  objc::AddMethod(cls, "CountGadgetItems", &CountGadgetItems);
  objc::AddMethod(cls, "AddGadgetColumn:title:width:", &AddGadgetColumn);
  objc::AddMethod(cls, "RemoveGadgetColumn:", &IgnoreInt);
  objc::AddMethod(cls, "SetGadgetState:", &SetGadgetStateMethod);
  objc::AddMethod(cls, "GetGadgetState", &GetGadgetStateMethod);
  objc::AddMethod(cls, "SetGadgetItemState:state:", &SetGadgetItemState);
  objc::AddMethod(cls, "GetGadgetItemState:", &GetGadgetItemState);
  objc::AddMethod(cls, "SetGadgetItemImage:image:", &SetGadgetItemImage);
  objc::AddMethod(cls, "SetGadgetText:", &SetGadgetTextMethod);
  objc::AddMethod(cls, "GetGadgetText", &GetGadgetTextMethod);
  objc::AddMethod(cls, "SetGadgetItemText:text:column:", &SetGadgetItemText);
  objc::AddMethod(cls, "GetGadgetItemText:column:", &GetGadgetItemText);
  objc::AddMethod(cls, "SetGadgetAttribute:value:", &SetGadgetAttribute);
  objc::AddMethod(cls, "GetGadgetAttribute:", &GetGadgetAttribute);
  objc::AddMethod(cls, "SetGadgetItemAttribute:attribute:value:column:", &SetGadgetItemAttribute);
  objc::AddMethod(cls, "GetGadgetItemAttribute:attribute:column:", &GetGadgetItemAttribute);
  objc::AddMethod(cls, "SetGadgetColor:color:", &SetGadgetColor);
  objc::AddMethod(cls, "GetGadgetColor:", &GetGadgetColor);
  objc::AddMethod(cls, "SetGadgetItemColor:type:color:column:", &SetGadgetItemColor);
  objc::AddMethod(cls, "GetGadgetItemColor:type:column:", &GetGadgetItemColor);
  objc::AddMethod(cls, "SetGadgetItemData:value:", &SetGadgetItemData);
  objc::AddMethod(cls, "GetGadgetItemData:", &GetGadgetItemData);
  objc::AddMethod(cls, "OpenGadgetList:", &IgnoreInt);
}

void DefineListClass() {
  Class cls = objc::DefineClass("VoGadgetList", "NSObject");
  g_list_class = cls;
  g_top_window_ivar = objc::AddIvar<id>(cls, "TopWindow");
  g_top_view_ivar = objc::AddIvar<id>(cls, "TopView");
  g_views_ivar = objc::AddIvar<id*>(cls, "Views");
  g_stack_size_ivar = objc::AddIvar<int32_t>(cls, "StackSize");
  g_stack_index_ivar = objc::AddIvar<int32_t>(cls, "StackIndex");
  objc::AddMethod(cls, "initWithWindow:", &ListInitWithWindow);
  objc::AddMethod(cls, "dealloc", &ListDealloc);
  objc::AddMethod(cls, "finalize", &ListFinalize);
  objc::AddMethod(cls, "window", &ListWindow);
  objc::AddMethod(cls, "top", &ListTop);
  objc::AddMethod(cls, "stackIndex", &ListStackIndex);
  objc::AddMethod(cls, "push:", &ListPush);
  objc::AddMethod(cls, "pushNoView", &ListPushNoView);
  objc::AddMethod(cls, "set:", &ListSet);
  objc::AddMethod(cls, "pop", &ListPop);
  objc::AddClassMethod(cls, "currentList", &CurrentList);
  objc::AddClassMethod(cls, "currentView", &CurrentView);
  objc::AddClassMethod(cls, "currentWindow", &CurrentWindow);
  objc::AddClassMethod(cls, "listFromWindow:", &ListFromWindow);
  objc::AddClassMethod(cls, "setWindow:", &SetWindow);
  objc::AddClassMethod(cls, "removeWindow:", &RemoveWindow);
}

// Defines every gadget class once: the framework's, then the kinds'.
void EnsureGadgetClasses() {
  if (g_functions_class) return;
  objc::EnsureClassesLoaded();
  InitWindows();  // Vo_NSFlippedView, which lists may need as a content view
  DefineFunctionsClass();
  DefineListClass();
  DefineTaggedViewClass("Vo_NSButton", "NSButton");
  DefineTaggedViewClass("Vo_NSTextField", "NSTextField");
  DefineTaggedViewClass("Vo_NSPopUpButton", "NSPopUpButton");
  DefineTaggedViewClass("Vo_NSComboBox", "NSComboBox");
  DefineTaggedViewClass("VoButtonGadgetView", "NSButton");
  DefineTaggedViewClass("VoShortcutView", "NSTextField");
  DefineButtonGadgetClasses();
  DefineCheckboxGadgetClasses();
  DefineTextGadgetClasses();
  DefineComboBoxGadgetClasses();
  DefineSpinGadgetClasses();
  DefineShortcutGadgetClasses();
}

void DestroyGadgetCallback(int64_t gadget) {
  DestroyGadget(gadget);
}

id FunctionsOf(int64_t gadget) {
  GadgetRecord* record = FindGadgetRecord(gadget);
  return record ? record->functions : nil;
}

}  // namespace

// --- Set-up ---

void InitGadgets() {
  EnsureGadgetClasses();
  if (!g_gadgets) {
    g_gadgets = CreateRegistry(sizeof(GadgetRecord), kGadgetSlots, &DestroyGadgetCallback);
  }
}

void EndGadgets() {
  DestroyGadget(-1);
}

// --- Number-taking operations ---

int64_t AddGadgetItem(int64_t gadget, int32_t position, const char16_t* text, id image,
                      int32_t flags) {
  id functions = FunctionsOf(gadget);
  if (!functions) return 0;
  CFStringRef string = StringToCFString(text);
  int64_t result =
      objc::Send<int64_t>(functions, "AddGadgetItem:text:image:flags:", position,
                          reinterpret_cast<id>(const_cast<__CFString*>(string)), image, flags);
  if (string) CFRelease(string);
  return result;
}
int64_t AddGadgetItem(int64_t gadget, int32_t position, const char16_t* text, id image) {
  return AddGadgetItem(gadget, position, text, image, 0);
}
int64_t AddGadgetItem(int64_t gadget, int32_t position, const char16_t* text) {
  return AddGadgetItem(gadget, position, text, nil, 0);
}

void DisableGadget(int64_t gadget, int32_t state) {
  objc::Send<void>(FunctionsOf(gadget), "DisableGadget:", state);
}

void GadgetToolTip(int64_t gadget, const char16_t* text) {
  id functions = FunctionsOf(gadget);
  if (functions) objc::Send<void>(functions, "GadgetToolTip:", MakeCocoaString(text));
}

int64_t GetGadgetState(int64_t gadget) {
  return objc::Send<int64_t>(FunctionsOf(gadget), "GetGadgetState");
}

void SetGadgetState(int64_t gadget, int64_t state) {
  objc::Send<void>(FunctionsOf(gadget), "SetGadgetState:", state);
}

void GetGadgetText(int64_t gadget, int64_t offset) {
  id functions = FunctionsOf(gadget);
  id text = functions ? objc::Send(functions, "GetGadgetText") : nil;
  CFStringToTemp(reinterpret_cast<CFStringRef>(text), offset);
}

void SetGadgetText(int64_t gadget, const char16_t* text) {
  id functions = FunctionsOf(gadget);
  if (!functions) return;
  CFStringRef string = StringToCFString(text);
  objc::Send<void>(functions,
                   "SetGadgetText:", reinterpret_cast<id>(const_cast<__CFString*>(string)));
  if (string) CFRelease(string);
}

id GadgetView(int64_t gadget) {
  GadgetRecord* record = FindGadgetRecord(gadget);
  return record ? record->view : nil;
}

void DestroyGadget(int64_t gadget) {
  if (!g_gadgets) return;
  if (gadget == -1) {
    FreeAllObjects(g_gadgets);
    return;
  }
  GadgetRecord* record = FindGadgetRecord(gadget);
  if (!record) return;
  // Held across the removal so that the views' dealloc, if it comes now, finds them marked.
  objc::Ref container = objc::Ref::Retained(record->container);
  objc::Ref view = objc::Ref::Retained(record->view);
  objc::Send<void>(container.get(), "removeFromSuperview");
  FreeGadgetRecord(gadget);
}

// --- Freeing ---

GadgetRecord* FindGadgetRecord(int64_t gadget) {
  if (!g_gadgets) return nullptr;
  return static_cast<GadgetRecord*>(FindObject(g_gadgets, gadget));
}

void FreeGadgetRecord(int64_t gadget) {
  GadgetRecord* record = FindGadgetRecord(gadget);
  if (!record) return;
  GadgetRecord gone = *record;
  objc::Send<void>(gone.view, "setAlreadyDestroyed:", YES);
  objc::Send<void>(gone.functions, "FreeGadget");
  // The view may outlive the gadget (in a closing window): it must not message the freed
  // functions object any more.
  if (objc::IsKindOf(gone.view, CocoaClass("NSControl")) &&
      objc::Send(gone.view, "target") == gone.functions) {
    objc::Send<void>(gone.view, "setTarget:", static_cast<id>(nil));
    objc::Send<void>(gone.view, "setAction:", static_cast<SEL>(nullptr));
  }
  objc::Release(gone.functions);
  *record = GadgetRecord{};
  FreeObject(g_gadgets, gadget);
}

void FreeWindowGadgets(int64_t window) {
  if (!g_gadgets) return;
  // Numbers first: freeing while enumerating would unlink the nodes the walk stands on.
  std::vector<int64_t> numbers;
  ResetObjectEnumeration(g_gadgets);
  int64_t number = 0;
  while (auto* record = static_cast<GadgetRecord*>(NextObject(g_gadgets, &number))) {
    if (record->view && record->window == window) numbers.push_back(number);
  }
  for (int64_t gadget : numbers) FreeGadgetRecord(gadget);
}

// --- Gadget lists ---

id GadgetListSetWindow(id window) {
  EnsureGadgetClasses();
  return objc::Send(reinterpret_cast<id>(g_list_class), "setWindow:", window);
}
void GadgetListRemoveWindow(id window) {
  if (!g_list_class) return;
  objc::Send<void>(reinterpret_cast<id>(g_list_class), "removeWindow:", window);
}
id GadgetListCurrentView() {
  if (!g_list_class) return nil;
  return objc::Send(reinterpret_cast<id>(g_list_class), "currentView");
}
id GadgetListCurrentWindow() {
  if (!g_list_class) return nil;
  return objc::Send(reinterpret_cast<id>(g_list_class), "currentWindow");
}

// --- For the kinds ---

Class GadgetFunctionsClass() {
  return g_functions_class;
}

Class DefineTaggedViewClass(const char* name, const char* base) {
  Class cls = objc::DefineClass(name, base);
  if (!cls) return nil;
  g_tagged_classes.push_back(cls);
  objc::AddIvar<int64_t>(cls, "Vo_tag");
  objc::AddIvar<BOOL>(cls, "Vo_alreadyDestroyed");
  objc::AddMethod(cls, "setTag:", &TaggedSetTag);
  objc::AddMethod(cls, "setAlreadyDestroyed:", &TaggedSetAlreadyDestroyed);
  objc::AddMethod(cls, "tag", &TaggedTag);
  objc::AddMethod(cls, "dealloc", &TaggedDealloc);
  objc::AddMethod(cls, "finalize", &TaggedFinalize);
  objc::AddMethod(cls, "draggingEntered:", &DraggingNone);
  objc::AddMethod(cls, "draggingUpdated:", &DraggingNone);
  objc::AddMethod(cls, "prepareForDragOperation:", &DragRefused);
  objc::AddMethod(cls, "performDragOperation:", &DragRefused);
  return cls;
}

int64_t GadgetIdOf(id functions) {
  return functions ? GadgetID(functions) : -1;
}
GadgetRecord* GadgetOf(id functions) {
  return functions ? Record(functions) : nullptr;
}

GadgetRecord* SetupGadget(id functions, int64_t number, int32_t kind, id view, id container,
                          int32_t flags) {
  auto* record = reinterpret_cast<GadgetRecord*>(objc::Send<void*>(
      functions, "setup:type:view:container:flags:", number, kind, view, container, flags));
  if (!record) objc::Release(functions);
  return record;
}

int64_t PlaceGadget(int64_t number, GadgetRecord* record) {
  objc::Send<void>(GadgetListCurrentView(), "addSubview:", record->container);
  if (number == -1) return static_cast<int64_t>(reinterpret_cast<intptr_t>(record));
  return static_cast<int64_t>(reinterpret_cast<intptr_t>(record->view));
}

id MakeGadgetView(Class cls, int32_t x, int32_t y, int32_t width, int32_t height) {
  id view = objc::Send(objc::Send(reinterpret_cast<id>(cls), "alloc"),
                       "initWithFrame:", NSMakeRect(x, y, width, height));
  // Not a gadget until setup: its dealloc must not free anything before that.
  objc::Send<void>(view, "setAlreadyDestroyed:", YES);
  return objc::Autorelease(view);
}

id MakeGadgetFunctions(Class cls) {
  return objc::Send(objc::Send(reinterpret_cast<id>(cls), "alloc"), "init");
}

GadgetRecord* BeginSimpleGadget(Class view_class, Class functions_class, int64_t number,
                                int32_t kind, int32_t x, int32_t y, int32_t width, int32_t height,
                                int32_t flags, int64_t* failure) {
  *failure = 0;
  if (!view_class) return nullptr;
  id view = MakeGadgetView(view_class, x, y, width, height);
  if (!view) return nullptr;
  id functions = MakeGadgetFunctions(functions_class);
  if (!functions) {
    *failure = static_cast<int64_t>(reinterpret_cast<intptr_t>(view));
    return nullptr;
  }
  return SetupGadget(functions, number, kind, view, view, flags);
}

void SetGadgetTitleText(id functions, SEL, id text) {
  GadgetRecord* record = GadgetOf(functions);
  objc::Send<void>(record ? record->view : nil, "setTitle:", text);
}

id GetGadgetTitleText(id functions, SEL) {
  GadgetRecord* record = GadgetOf(functions);
  id title = objc::Send(record ? record->view : nil, "title");
  return title ? title : CocoaStringFromUtf8("");
}

int64_t GadgetWindowNumber(id view) {
  id window = objc::Send(view, "window");
  return window ? WindowNumberOf(window) : -1;
}
