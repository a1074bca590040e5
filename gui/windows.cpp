// Numbered windows: the window registry, VoWindow, VoWindowEvents, the flipped content views,
// opening and disposing, and the screen queries.
//
// Sections: Classes, Windows, Screens, Gadget list hooks.
#include "gui/windows.h"

#include "core/registry.h"
#include "gui/application.h"
#include "gui/cocoa.h"
#include "gui/event_queue.h"
#include "gui/gadgets.h"
#include "gui/menus.h"

namespace {

Class g_window_class = nil;        // VoWindow
Class g_events_class = nil;        // VoWindowEvents
Class g_flipped_view_class = nil;  // Vo_NSFlippedView
Class g_content_view_class = nil;  // VoFlippedWindowView

ptrdiff_t g_window_record_ivar = -1;  // VoWindow's "Window" (WindowRecord*)
ptrdiff_t g_instance_ivar = -1;       // VoWindowEvents's "WindowInstance" (NSWindow)
ptrdiff_t g_events_id_ivar = -1;      // VoWindowEvents's "WindowID" (int64_t)
ptrdiff_t g_zoom_event_ivar = -1;     // VoWindowEvents's "ZoomEvent" (int32_t)
ptrdiff_t g_view_id_ivar = -1;        // VoFlippedWindowView's "WindowID" (int64_t)

ObjectRegistry* g_windows = nullptr;  // WindowRecord by window number
int64_t g_screen_count = 0;           // remembered by CountScreens for ScreenWidth

constexpr int32_t kWindowSlots = 8;  // initial slots of the window registry
constexpr NSUInteger kStyleTitled = 1;
constexpr NSUInteger kStyleClosable = 2;
constexpr NSUInteger kStyleMiniaturizable = 4;
constexpr NSUInteger kStyleResizable = 8;
constexpr NSUInteger kBackingBuffered = 2;
constexpr NSInteger kLevelFloating = 3;
constexpr NSInteger kLevelNormal = 0;
constexpr NSInteger kOrderedAbove = 1;

// --- Classes ---

WindowRecord* RecordOfWindow(id window) {
  return static_cast<WindowRecord*>(objc::FieldAt<void*>(window, g_window_record_ivar));
}

BOOL CanBecomeKeyOrMain(id self, SEL) {
  WindowRecord* record = RecordOfWindow(self);
  return record && !record->noActivate ? YES : NO;
}

int64_t EventsWindowID(id self) {
  return objc::FieldAt<int64_t>(self, g_events_id_ivar);
}

id EventsWindow(id self) {
  return objc::FieldAt<id>(self, g_instance_ivar);
}

void PostWindowEvent(id self, int32_t type) {
  int64_t w = EventsWindowID(self);
  QueueUiEvent(type, w, w, 0);
}

id Connect(id self, SEL, id window, int64_t number) {
  objc::FieldAt<id>(self, g_instance_ivar) = window;
  objc::FieldAt<int64_t>(self, g_events_id_ivar) = number;
  objc::FieldAt<int32_t>(self, g_zoom_event_ivar) = 0;
  objc::Send<void>(window, "setDelegate:", self);
  return self;
}

int64_t WindowID(id self, SEL) {
  return EventsWindowID(self);
}

// The close box never closes a window by itself: the program decides with DisposeWindow.
BOOL WindowShouldClose(id self, SEL, id) {
  PostWindowEvent(self, CloseWindowEvent);
  return NO;
}

// Finishes the tear-down that DisposeWindow starts with close.
void WindowWillClose(id self, SEL, id) {
  id window = EventsWindow(self);
  int64_t w = EventsWindowID(self);
  WindowRecord* record = window ? RecordOfWindow(window) : nullptr;
  if (record) {
    id timers = record->timers;
    NSUInteger count = objc::Send<NSUInteger>(timers, "count");
    for (NSUInteger i = 0; i < count; ++i) {
      objc::Send<void>(objc::Send(timers, "objectAtIndex:", i), "invalidate");
    }
    objc::Release(timers);
    record->timers = nil;
    objc::Release(record->shortcuts);
    record->shortcuts = nil;
  }
  GadgetListRemoveWindowHook(window);
  objc::Send<void>(window, "setDelegate:", static_cast<id>(nil));
  DropWindowEvents(w);
  if (record) {
    objc::FieldAt<void*>(window, g_window_record_ivar) = nullptr;
    *record = WindowRecord{};
    FreeObject(g_windows, w);
  }
  objc::Release(self);  // nothing may touch self after this
}

void WindowDidResize(id self, SEL, id) {
  int64_t w = EventsWindowID(self);
  int32_t& zoom_event = objc::FieldAt<int32_t>(self, g_zoom_event_ivar);
  if (zoom_event != 0) QueueUiEvent(zoom_event, w, w, 0);
  // Earlier size events of this window say nothing the new one does not: at most one stays.
  DropEvents(SizeWindowEvent, w, w, 0);
  QueueUiEvent(SizeWindowEvent, w, w, 0);
  objc::Send<void>(objc::Send(EventsWindow(self), "contentView"), "setNeedsDisplay:", YES);
  zoom_event = 0;
}

void WindowDidMove(id self, SEL, id) {
  PostWindowEvent(self, MoveWindowEvent);
}

void WindowDidBecomeKey(id self, SEL, id) {
  id menu_bar = WindowMenuBar(EventsWindow(self));
  if (menu_bar) InstallMenuBar(menu_bar, EventsWindowID(self));
  PostWindowEvent(self, ActivateWindowEvent);
}

void WindowDidResignKey(id self, SEL, id) {
  PostWindowEvent(self, DeactivateWindowEvent);
}

void WindowDidUpdate(id self, SEL, id) {
  objc::Send<void>(objc::Send(EventsWindow(self), "toolbar"), "validateVisibleItems");
}

void WindowDidMiniaturize(id self, SEL, id) {
  PostWindowEvent(self, MinimizeWindowEvent);
}

void WindowDidDeminiaturize(id self, SEL, id) {
  id window = EventsWindow(self);
  bool resizable = objc::Send<NSUInteger>(window, "styleMask") & kStyleResizable;
  bool zoomed = objc::Send<BOOL>(window, "isZoomed") != NO;
  PostWindowEvent(self, resizable && zoomed ? MaximizeWindowEvent : RestoreWindowEvent);
}

// The zoom direction goes out with the resize that follows.
BOOL WindowShouldZoom(id self, SEL, id window, NSRect proposed) {
  NSRect current = objc::Send<NSRect>(window, "frame");
  bool larger =
      proposed.size.width > current.size.width || proposed.size.height > current.size.height;
  objc::FieldAt<int32_t>(self, g_zoom_event_ivar) =
      larger ? MaximizeWindowEvent : RestoreWindowEvent;
  return YES;
}

BOOL IsFlipped(id, SEL) {
  return YES;
}

int64_t ViewWindowID(id self) {
  return objc::FieldAt<int64_t>(self, g_view_id_ivar);
}

void DrawRect(id self, SEL sel, NSRect rect) {
  objc::SendSuper<void>(self, g_content_view_class, sel, rect);
  int64_t w = ViewWindowID(self);
  QueueUiEvent(RepaintEvent, w, w, 0);
}

void MouseUp(id self, SEL, id event) {
  NSInteger clicks = objc::Send<NSInteger>(event, "clickCount");
  int64_t w = ViewWindowID(self);
  if (clicks == 1) QueueUiEvent(LeftClickEvent, w, w, 0);
  if (clicks == 2) QueueUiEvent(LeftDoubleClickEvent, w, w, 0);
}

void RightMouseUp(id self, SEL, id event) {
  int64_t w = ViewWindowID(self);
  if (objc::Send<NSInteger>(event, "clickCount") == 1) QueueUiEvent(RightClickEvent, w, w, 0);
}

// FIXME: the dragging methods hand over to the gadget framework's drop handling (gadget -1,
// this window), which does not exist yet; no view registers dragged types, so none is called.
NSUInteger DraggingEntered(id, SEL, id) {
  return 0;
}
NSUInteger DraggingUpdated(id, SEL, id) {
  return 0;
}
BOOL PrepareForDragOperation(id, SEL, id) {
  return NO;
}
BOOL PerformDragOperation(id, SEL, id) {
  return NO;
}

void DefineWindowClasses() {
  if (g_window_class) return;
  g_window_class = objc::DefineClass("VoWindow", "NSWindow");
  g_window_record_ivar = objc::AddIvar<void*>(g_window_class, "Window");
  objc::AddMethod(g_window_class, "canBecomeKeyWindow", &CanBecomeKeyOrMain);
  objc::AddMethod(g_window_class, "canBecomeMainWindow", &CanBecomeKeyOrMain);

  g_events_class = objc::DefineClass("VoWindowEvents", "NSObject");
  g_instance_ivar = objc::AddIvar<id>(g_events_class, "WindowInstance");
  g_events_id_ivar = objc::AddIvar<int64_t>(g_events_class, "WindowID");
  g_zoom_event_ivar = objc::AddIvar<int32_t>(g_events_class, "ZoomEvent");
  objc::AddMethod(g_events_class, "connect:withID:", &Connect);
  objc::AddMethod(g_events_class, "windowID", &WindowID);
  objc::AddMethod(g_events_class, "windowShouldClose:", &WindowShouldClose);
  objc::AddMethod(g_events_class, "windowWillClose:", &WindowWillClose);
  objc::AddMethod(g_events_class, "windowDidResize:", &WindowDidResize);
  objc::AddMethod(g_events_class, "windowDidMove:", &WindowDidMove);
  objc::AddMethod(g_events_class, "windowDidBecomeKey:", &WindowDidBecomeKey);
  objc::AddMethod(g_events_class, "windowDidResignKey:", &WindowDidResignKey);
  objc::AddMethod(g_events_class, "windowDidUpdate:", &WindowDidUpdate);
  objc::AddMethod(g_events_class, "windowDidMiniaturize:", &WindowDidMiniaturize);
  objc::AddMethod(g_events_class, "windowDidDeminiaturize:", &WindowDidDeminiaturize);
  objc::AddMethod(g_events_class, "windowShouldZoom:toFrame:", &WindowShouldZoom);

  g_flipped_view_class = objc::DefineClass("Vo_NSFlippedView", "NSView");
  objc::AddMethod(g_flipped_view_class, "isFlipped", &IsFlipped);

  g_content_view_class = objc::DefineClass("VoFlippedWindowView", g_flipped_view_class);
  g_view_id_ivar = objc::AddIvar<int64_t>(g_content_view_class, "WindowID");
  objc::AddMethod(g_content_view_class, "drawRect:", &DrawRect);
  objc::AddMethod(g_content_view_class, "mouseUp:", &MouseUp);
  objc::AddMethod(g_content_view_class, "rightMouseUp:", &RightMouseUp);
  objc::AddMethod(g_content_view_class, "draggingEntered:", &DraggingEntered);
  objc::AddMethod(g_content_view_class, "draggingUpdated:", &DraggingUpdated);
  objc::AddMethod(g_content_view_class, "prepareForDragOperation:", &PrepareForDragOperation);
  objc::AddMethod(g_content_view_class, "performDragOperation:", &PerformDragOperation);
}

void DisposeWindowCallback(int64_t number) {
  DisposeWindow(number);
}

NSUInteger StyleMaskFor(int32_t flags) {
  if (flags & WindowBorderless) return 0;
  NSUInteger style = kStyleTitled;
  if (flags & (WindowCloseBox | WindowResizeBox | WindowMinimizeBox)) style |= kStyleClosable;
  if (flags & (WindowResizable | WindowResizeBox | WindowStartZoomed)) style |= kStyleResizable;
  if (flags & (WindowMinimizeBox | WindowStartMinimized)) style |= kStyleMiniaturizable;
  return style;
}

bool IsVisible(id window) {
  return objc::Send<BOOL>(window, "isVisible") != NO;
}

}  // namespace

void InitWindows() {
  DefineWindowClasses();
  if (!g_windows) {
    g_windows = CreateRegistry(sizeof(WindowRecord), kWindowSlots, &DisposeWindowCallback);
  }
}

void EndWindows() {
  DisposeWindow(-1);
}

// --- Windows ---

int64_t NewWindow(int64_t number, int32_t x, int32_t y, int32_t width, int32_t height,
                  const char16_t* title, int32_t flags, id parent) {
  if (!g_windows) return 0;
  if (x == kWindowPositionCentered || y == kWindowPositionCentered) flags |= WindowCentered;
  NSUInteger style = StyleMaskFor(flags);
  if (!(flags & WindowBorderless) && (flags & WindowStartZoomed)) {
    if (width < 1) width = 1;
    if (height < 1) height = 1;
  }

  // y is measured from the top of the main screen to the top of the window's frame.
  NSRect frame = objc::Send<NSRect>(CocoaClass("NSWindow"), "frameRectForContentRect:styleMask:",
                                    NSMakeRect(0, 0, width, height), style);
  NSRect screen = objc::Send<NSRect>(objc::Send(CocoaClass("NSScreen"), "mainScreen"), "frame");
  NSRect content = NSMakeRect(x, screen.size.height - y - frame.size.height, width, height);

  id window = objc::Send(objc::Send(g_window_class, "alloc"),
                         "initWithContentRect:styleMask:backing:defer:", content, style,
                         kBackingBuffered, NO);
  if (!window) return 0;

  auto* record = static_cast<WindowRecord*>(AllocateObject(g_windows, number));
  if (!record) {
    objc::Release(window);
    return 0;
  }
  int64_t w = number == -1 ? static_cast<int64_t>(reinterpret_cast<intptr_t>(record)) : number;
  record->window = window;
  objc::FieldAt<void*>(window, g_window_record_ivar) = record;

  id delegate = objc::Send(g_events_class, "new");
  objc::Send(delegate, "connect:withID:", window, w);

  id app = SharedApplication();
  record->delegate = delegate;
  record->timers = nil;
  record->previousKey = objc::Send(app, "keyWindow");
  record->minSize = objc::Send<NSSize>(window, "contentMinSize");
  record->maxSize = objc::Send<NSSize>(window, "contentMaxSize");

  objc::Send<void>(window, "setReleasedWhenClosed:", YES);
  objc::Send<void>(window, "setTitle:", MakeCocoaString(title));
  objc::Send<void>(window, "setAutorecalculatesKeyViewLoop:", YES);

  if (parent) {
    if (!(flags & WindowInvisible)) {
      objc::Send<void>(parent, "addChildWindow:ordered:", window, kOrderedAbove);
    }
    record->parent = parent;
  }

  if (flags & WindowCentered) {
    objc::Send<void>(window, "center");
  } else if (flags & WindowCenterOnParent) {
    id other = parent ? parent : objc::Send(app, "keyWindow");
    if (other) {
      NSRect own = objc::Send<NSRect>(window, "frame");
      NSRect over = objc::Send<NSRect>(other, "frame");
      own.origin.x = over.origin.x + (over.size.width - own.size.width) / 2;
      own.origin.y = over.origin.y + (over.size.height - own.size.height) / 2;
      objc::Send<void>(window, "setFrame:display:", own, YES);
    }
  }

  if (!(flags & WindowInvisible)) {
    if (flags & WindowNoActivate) {
      objc::Send<void>(window, "orderFront:", static_cast<id>(nil));
    } else {
      objc::Send<void>(window, "makeKeyAndOrderFront:", static_cast<id>(nil));
    }
  }

  // The move, size and state events of the start-up state are not the program's business.
  SuppressEvents();
  if (flags & WindowStartMinimized) {
    objc::Send<void>(window, "miniaturize:", static_cast<id>(nil));
  } else if (flags & WindowStartZoomed) {
    objc::Send<void>(window, "zoom:", static_cast<id>(nil));
  }
  ResumeEvents();

  id view = objc::Autorelease(objc::Send(objc::Send(g_content_view_class, "alloc"),
                                         "initWithFrame:", NSMakeRect(0, 0, width, height)));
  objc::FieldAt<int64_t>(view, g_view_id_ivar) = w;
  objc::Send<void>(window, "setContentView:", view);
  objc::Send<void>(
      window, "setBackgroundColor:", objc::Send(CocoaClass("NSColor"), "windowBackgroundColor"));

  if (!(flags & WindowNoGadgets)) GadgetListSetWindowHook(window);

  return number == -1 ? w : static_cast<int64_t>(reinterpret_cast<intptr_t>(window));
}

int64_t OpenWindow(int64_t number, int32_t x, int32_t y, int32_t width, int32_t height,
                   const char16_t* title, int32_t flags) {
  return NewWindow(number, x, y, width, height, title, flags, nil);
}

int64_t OpenWindowWithCloseBox(int64_t number, int32_t x, int32_t y, int32_t width, int32_t height,
                               const char16_t* title) {
  return NewWindow(number, x, y, width, height, title, WindowCloseBox, nil);
}

WindowRecord* FindWindowRecord(int64_t number) {
  if (!g_windows) return nullptr;
  return static_cast<WindowRecord*>(FindObject(g_windows, number));
}

void DisposeWindow(int64_t number) {
  if (!g_windows) return;
  if (number == -1) {
    FreeAllObjects(g_windows);
    return;
  }
  WindowRecord* record = FindWindowRecord(number);
  if (!record) return;
  id window = record->window;

  UnbindWindowEvents(number);
  FreeWindowGadgetsHook(number);

  // The window to make key afterwards: previousKey when it is still a visible window of ours,
  // else the first visible window registered before it.
  id next_key = nil;
  if (record->previousKey && objc::Send<BOOL>(window, "isKeyWindow")) {
    ResetObjectEnumeration(g_windows);
    int64_t other_number = 0;
    while (auto* other = static_cast<WindowRecord*>(NextObject(g_windows, &other_number))) {
      id candidate = other->window;
      if (!candidate || candidate == window) continue;
      if (candidate == record->previousKey) {
        if (IsVisible(candidate)) next_key = candidate;
        break;
      }
      if (!next_key && IsVisible(candidate)) next_key = candidate;
    }
  }

  ReleaseWindowMenus(window);
  id parent = objc::Send(window, "parentWindow");
  if (parent) objc::Send<void>(parent, "removeChildWindow:", window);
  objc::Send<void>(window, "close");  // windowWillClose: finishes the tear-down
  DropWindowEvents(number);
  if (next_key) objc::Send<void>(next_key, "makeKeyWindow");
}

id WindowObject(int64_t number) {
  WindowRecord* record = FindWindowRecord(number);
  return record ? record->window : nil;
}

void SetWindowFloating(int64_t number, uint32_t on) {
  id window = WindowObject(number);
  if (window) objc::Send<void>(window, "setLevel:", on ? kLevelFloating : kLevelNormal);
}

int64_t WindowNumberOf(id window) {
  id delegate = objc::Send(window, "delegate");
  if (!delegate) return -1;
  SEL window_id = sel_registerName("windowID");
  if (!objc::Send<BOOL>(delegate, "respondsToSelector:", window_id)) return -1;
  return objc::Send<int64_t>(delegate, window_id);
}

// --- Screens ---

int64_t CountScreens() {
  g_screen_count = objc::Send<NSUInteger>(objc::Send(CocoaClass("NSScreen"), "screens"), "count");
  return g_screen_count;
}

int32_t ScreenWidth(int32_t index) {
  if (index < 0 || index >= g_screen_count) return 0;
  id screen = objc::Send(objc::Send(CocoaClass("NSScreen"), "screens"),
                         "objectAtIndex:", static_cast<NSUInteger>(index));
  return static_cast<int32_t>(objc::Send<NSRect>(screen, "frame").size.width);
}

// --- Gadget list hooks ---

void GadgetListSetWindowHook(id window) {
  GadgetListSetWindow(window);
}
void GadgetListRemoveWindowHook(id window) {
  GadgetListRemoveWindow(window);
}
void FreeWindowGadgetsHook(int64_t window) {
  FreeWindowGadgets(window);
}
