// VoGadgetFunctions: the functions object every gadget has, and the base behaviour every kind
// inherits (events, geometry, font, state and text of a control view; the item and colour
// operations that most kinds do not have answer nothing).
#include "core/registry.h"
#include "gui/cocoa.h"
#include "gui/event_queue.h"
#include "gui/gadgets.h"
#include "gui/windows.h"

namespace {

Class g_functions_class = nil;  // VoGadgetFunctions
ptrdiff_t g_id_ivar = -1;       // VoGadgetFunctions's "GadgetID" (int64_t)
ptrdiff_t g_record_ivar = -1;   // VoGadgetFunctions's "Gadget" (GadgetRecord*)
ptrdiff_t g_control_ivar = -1;  // VoGadgetFunctions's "isNSControl" (BOOL)

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
  ObjectRegistry* registry = GadgetRegistry();
  if (!registry) return nullptr;
  // A gadget that already has the number is destroyed first (the registry's free callback).
  auto* record = static_cast<GadgetRecord*>(AllocateObject(registry, number));
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

}  // namespace

void DefineGadgetFunctionsClass() {
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

Class GadgetFunctionsClass() {
  return g_functions_class;
}

int64_t GadgetIdOf(id functions) {
  return functions ? GadgetID(functions) : -1;
}
GadgetRecord* GadgetOf(id functions) {
  return functions ? Record(functions) : nullptr;
}
