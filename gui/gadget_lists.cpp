// VoGadgetList: per window, the stack of views that says where a new gadget goes, and the
// current list (the window gadgets are being made in).
#include <cstdlib>

#include "gui/cocoa.h"
#include "gui/gadgets.h"

namespace {

Class g_list_class = nil;  // VoGadgetList

// VoGadgetList's instance variables.
ptrdiff_t g_top_window_ivar = -1;   // "TopWindow": the NSWindow; not retained
ptrdiff_t g_top_view_ivar = -1;     // "TopView": the view receiving new gadgets; not retained
ptrdiff_t g_views_ivar = -1;        // "Views": malloc'd array of saved views (id*)
ptrdiff_t g_stack_size_ivar = -1;   // "StackSize": capacity of Views
ptrdiff_t g_stack_index_ivar = -1;  // "StackIndex": number of saved views

constexpr int32_t kStackStep = 10;  // initial capacity of Views, and its growth

id g_current_list = nil;  // the current VoGadgetList; held by g_lists
id g_lists = nil;         // NSMutableArray of every VoGadgetList; owned for the whole run

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

}  // namespace

void DefineGadgetListClass() {
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

id GadgetListSetWindow(id window) {
  InitGadgetClasses();
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
