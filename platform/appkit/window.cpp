// NSWindow and NSPanel: a framed content view on the desktop, with key and main status, a
// first responder, child windows, a delegate told of changes through notifications, and
// closing (which frees a window that is released when closed).
//
// Index:
//   --- State ---
//   --- Frame and content ---
//   --- Ordering, key and main ---
//   --- Closing ---
//   --- Responders and events ---
//   --- Zoom and miniaturize ---
//   --- Internal interface and loader ---
#include "platform/appkit/window.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <vector>

#include "platform/appkit/appkit.h"
#include "platform/appkit/application.h"
#include "platform/appkit/event.h"
#include "platform/appkit/screen.h"
#include "platform/appkit/view.h"
#include "platform/desktop/desktop.h"
#include "platform/foundation/array.h"
#include "platform/foundation/notification.h"
#include "platform/foundation/string.h"

namespace {

// --- State ---

enum : NSUInteger {
  kStyleTitled = 1,
  kStyleClosable = 2,
  kStyleMiniaturizable = 4,
  kStyleResizable = 8
};

// The state of one window.
struct WindowState {
  NSRect frame{};                               // screen coordinates, title bar included
  NSUInteger style = 0;                         // style mask
  id title = nil;                               // NSString, copied
  id content_view = nil;                        // retained; its frame is the content size at 0,0
  id delegate = nil;                            // not retained, as in Cocoa
  bool visible = false;                         // ordered in
  bool released_when_closed = true;             // close releases the window (Cocoa's default)
  bool closing = false;                         // inside close
  bool released_by_close = false;               // close gave up its reference already
  bool miniaturized = false;                    // miniaturize: without deminiaturize:
  bool zoomed = false;                          // zoom: made it the standard frame
  NSRect user_frame{};                          // the frame before zooming
  NSInteger level = 0;                          // window level (0 normal, 3 floating)
  NSInteger number = 0;                         // unique, positive, assigned at init
  std::vector<id> children;                     // child windows, not retained
  id parent = nil;                              // parent window, not retained
  NSSize min_size{0, 0};                        // content minimum size
  NSSize max_size{FLT_MAX, FLT_MAX};            // content maximum size
  id background_color = nil;                    // NSColor, retained; nil until set or asked for
  id first_responder = nil;                     // not retained; nil means the window itself
  id initial_first_responder = nil;             // not retained
  id default_button_cell = nil;                 // retained
  id field_editor = nil;                        // NSTextView, retained, made on demand
  id tracking_view = nil;                       // the view a mouse-down went to, retained until up
  bool autorecalculates_key_view_loop = false;  // stored only
  bool views_need_display = false;              // setViewsNeedDisplay:
};

Class gWindow;                // NSWindow
Class gPanel;                 // NSPanel
ptrdiff_t gStateOffset = -1;  // offset of WindowState
NSInteger gNextNumber = 1;    // window numbers

WindowState& State(id self) {
  return objc::FieldAt<WindowState>(self, gStateOffset);
}
bool IsWindow(id obj) {
  return obj && gWindow && objc::IsKindOf(obj, gWindow);
}

void Notify(id self, const char* selector, const char* name) {
  foundation::SendNotification(State(self).delegate, selector, name, self);
}

bool SameRect(const NSRect& a, const NSRect& b) {
  return a.origin.x == b.origin.x && a.origin.y == b.origin.y && a.size.width == b.size.width &&
         a.size.height == b.size.height;
}

// --- Frame and content ---

double TitleBarHeight(NSUInteger style) {
  return (style & kStyleTitled) ? kWindowTitleBarHeight : 0;
}

NSRect FrameForContent(Class, SEL, NSRect content, NSUInteger style) {
  content.size.height += TitleBarHeight(style);
  return content;
}
NSRect ContentForFrame(Class, SEL, NSRect frame, NSUInteger style) {
  frame.size.height = std::max(0.0, frame.size.height - TitleBarHeight(style));
  return frame;
}
NSRect InstanceFrameForContent(id self, SEL, NSRect content) {
  return FrameForContent(nullptr, nullptr, content, State(self).style);
}
NSRect InstanceContentForFrame(id self, SEL, NSRect frame) {
  return ContentForFrame(nullptr, nullptr, frame, State(self).style);
}

void SetContentView(id self, SEL, id view) {
  WindowState& state = State(self);
  if (view == state.content_view) return;
  id old = state.content_view;
  state.content_view = objc_retain(view);
  if (old) {
    ViewSetWindow(old, nil);
    objc::Send<void>(old, "setNextResponder:", static_cast<id>(nil));
    objc_release(old);
  }
  if (view) {
    objc::Send<void>(view, "removeFromSuperview");
    NSRect content = ContentForFrame(nullptr, nullptr, state.frame, state.style);
    objc::Send<void>(view, "setFrame:", NSRect{{0, 0}, content.size});
    objc::Send<void>(view, "setNextResponder:", self);
    ViewSetWindow(view, self);
  }
}
id ContentView(id self, SEL) {
  return State(self).content_view;
}

id InitWithContentRect(id self, SEL, NSRect content, NSUInteger style, NSUInteger, BOOL) {
  self = objc::SendSuper(self, gWindow, "init");
  if (!self) return nil;
  WindowState& state = State(self);
  state.style = style;
  state.frame = FrameForContent(nullptr, nullptr, content, style);
  state.number = gNextNumber++;
  ApplicationAddWindow(self);
  id view = objc::Send(objc::Send(objc_lookUpClass("NSView"), "alloc"),
                       "initWithFrame:", NSRect{{0, 0}, content.size});
  SetContentView(self, nullptr, view);
  objc_release(view);
  return self;
}
id Init(id self, SEL) {
  return objc::Send(self, "initWithContentRect:styleMask:backing:defer:", NSRect{},
                    NSUInteger{kStyleTitled}, NSUInteger{2}, NO);
}

NSRect Frame(id self, SEL) {
  return State(self).frame;
}

void SetFrameDisplay(id self, SEL, NSRect frame, BOOL) {
  WindowState& state = State(self);
  NSRect old = state.frame;
  if (SameRect(old, frame)) return;
  state.frame = frame;
  bool moved = old.origin.x != frame.origin.x || old.origin.y != frame.origin.y;
  bool resized = old.size.width != frame.size.width || old.size.height != frame.size.height;
  if (resized && state.content_view) {
    NSRect content = ContentForFrame(nullptr, nullptr, frame, state.style);
    objc::Send<void>(state.content_view, "setFrame:", NSRect{{0, 0}, content.size});
  }
  if (moved) Notify(self, "windowDidMove:", "NSWindowDidMoveNotification");
  if (resized) Notify(self, "windowDidResize:", "NSWindowDidResizeNotification");
}
void SetFrameDisplayAnimate(id self, SEL, NSRect frame, BOOL display, BOOL) {
  objc::Send<void>(self, "setFrame:display:", frame, display);
}
void SetFrameOrigin(id self, SEL, NSPoint origin) {
  NSRect frame = State(self).frame;
  frame.origin = origin;
  objc::Send<void>(self, "setFrame:display:", frame, YES);
}
void SetFrameTopLeftPoint(id self, SEL, NSPoint point) {
  NSRect frame = State(self).frame;
  frame.origin = NSPoint{point.x, point.y - frame.size.height};
  objc::Send<void>(self, "setFrame:display:", frame, YES);
}
void SetContentSize(id self, SEL, NSSize size) {
  WindowState& state = State(self);
  NSRect content = ContentForFrame(nullptr, nullptr, state.frame, state.style);
  content.size = size;
  objc::Send<void>(
      self, "setFrame:display:", FrameForContent(nullptr, nullptr, content, state.style), YES);
}

// -center puts the window in the exact middle of the main screen's visible frame (Cocoa sets it
// a little above the middle; the exact middle keeps positions predictable), in whole points.
void Center(id self, SEL) {
  NSRect screen, visible;
  if (!ScreenMainFrames(&screen, &visible)) return;
  const NSSize& size = State(self).frame.size;
  NSPoint origin{visible.origin.x + std::floor((visible.size.width - size.width) / 2),
                 visible.origin.y + std::floor((visible.size.height - size.height) / 2)};
  objc::Send<void>(self, "setFrameOrigin:", origin);
}

id Title(id self, SEL) {
  return appkit::StringOrEmpty(State(self).title);
}
void SetTitle(id self, SEL, id title) {
  appkit::AssignCopied(&State(self).title, title);
}
NSUInteger StyleMask(id self, SEL) {
  return State(self).style;
}
void SetStyleMask(id self, SEL, NSUInteger style) {
  WindowState& state = State(self);
  NSRect content = ContentForFrame(nullptr, nullptr, state.frame, state.style);
  state.style = style;
  state.frame = FrameForContent(nullptr, nullptr, content, style);
}
id Delegate(id self, SEL) {
  return State(self).delegate;
}
void SetDelegate(id self, SEL, id delegate) {
  State(self).delegate = delegate;
}
NSInteger Level(id self, SEL) {
  return State(self).level;
}
void SetLevel(id self, SEL, NSInteger level) {
  State(self).level = level;
}
NSInteger WindowNumber(id self, SEL) {
  return State(self).number;
}
NSSize ContentMinSize(id self, SEL) {
  return State(self).min_size;
}
NSSize ContentMaxSize(id self, SEL) {
  return State(self).max_size;
}
void SetContentMinSize(id self, SEL, NSSize size) {
  State(self).min_size = size;
}
void SetContentMaxSize(id self, SEL, NSSize size) {
  State(self).max_size = size;
}
NSSize MinSize(id self, SEL) {
  NSRect frame =
      FrameForContent(nullptr, nullptr, NSRect{{0, 0}, State(self).min_size}, State(self).style);
  return frame.size;
}
void SetMinSize(id self, SEL, NSSize size) {
  NSRect content = ContentForFrame(nullptr, nullptr, NSRect{{0, 0}, size}, State(self).style);
  State(self).min_size = content.size;
}
id BackgroundColor(id self, SEL) {
  WindowState& state = State(self);
  if (!state.background_color) {
    state.background_color =
        objc_retain(objc::Send(objc_lookUpClass("NSColor"), "windowBackgroundColor"));
  }
  return state.background_color;
}
void SetBackgroundColor(id self, SEL, id color) {
  appkit::AssignRetained(&State(self).background_color, color);
}
void SetAutorecalculatesKeyViewLoop(id self, SEL, BOOL on) {
  State(self).autorecalculates_key_view_loop = on != NO;
}
BOOL AutorecalculatesKeyViewLoop(id self, SEL) {
  return State(self).autorecalculates_key_view_loop ? YES : NO;
}
NSPoint ConvertBaseToScreen(id self, SEL, NSPoint point) {
  const NSRect& frame = State(self).frame;
  return NSPoint{frame.origin.x + point.x, frame.origin.y + point.y};
}
NSPoint ConvertScreenToBase(id self, SEL, NSPoint point) {
  const NSRect& frame = State(self).frame;
  return NSPoint{point.x - frame.origin.x, point.y - frame.origin.y};
}
NSRect ConvertRectToScreen(id self, SEL, NSRect rect) {
  rect.origin = ConvertBaseToScreen(self, nullptr, rect.origin);
  return rect;
}
id Toolbar(id, SEL) {
  return nil;
}
void Display(id self, SEL) {
  objc::Send<void>(State(self).content_view, "display");
  State(self).views_need_display = false;
}
void SetViewsNeedDisplay(id self, SEL, BOOL on) {
  State(self).views_need_display = on != NO;
}
BOOL ViewsNeedDisplay(id self, SEL) {
  return State(self).views_need_display ? YES : NO;
}
void Update(id, SEL) {}
void IgnoreFlag(id, SEL, BOOL) {}  // appearance settings the model does not keep

// --- Ordering, key and main ---

BOOL IsVisible(id self, SEL) {
  return State(self).visible && !State(self).miniaturized ? YES : NO;
}
BOOL IsKeyWindow(id self, SEL) {
  return ApplicationKeyWindow() == self ? YES : NO;
}
BOOL IsMainWindow(id self, SEL) {
  return ApplicationMainWindow() == self ? YES : NO;
}
BOOL CanBecomeKey(id self, SEL) {
  return State(self).style != 0 ? YES : NO;
}
BOOL CanBecomeMain(id self, SEL) {
  return State(self).style != 0 ? YES : NO;
}
BOOL PanelCanBecomeMain(id, SEL) {
  return NO;
}

void BecomeKeyWindow(id self, SEL) {
  Notify(self, "windowDidBecomeKey:", "NSWindowDidBecomeKeyNotification");
}
void ResignKeyWindow(id self, SEL) {
  Notify(self, "windowDidResignKey:", "NSWindowDidResignKeyNotification");
}
void BecomeMainWindow(id self, SEL) {
  Notify(self, "windowDidBecomeMain:", "NSWindowDidBecomeMainNotification");
}
void ResignMainWindow(id self, SEL) {
  Notify(self, "windowDidResignMain:", "NSWindowDidResignMainNotification");
}

void MakeMainWindow(id self, SEL) {
  if (!objc::Send<BOOL>(self, "canBecomeMainWindow")) return;
  id old = ApplicationMainWindow();
  if (old == self) return;
  ApplicationSetMainWindow(self);
  if (old) objc::Send<void>(old, "resignMainWindow");
  objc::Send<void>(self, "becomeMainWindow");
}

void MakeKeyWindow(id self, SEL) {
  if (!objc::Send<BOOL>(self, "canBecomeKeyWindow")) return;
  id old = ApplicationKeyWindow();
  if (old != self) {
    ApplicationSetKeyWindow(self);
    if (old) objc::Send<void>(old, "resignKeyWindow");
    objc::Send<void>(self, "becomeKeyWindow");
  }
  MakeMainWindow(self, nullptr);
}

// Giving up key and main status leaves no key window: no other window takes over by itself.
void LoseKeyAndMain(id self) {
  if (ApplicationKeyWindow() == self) {
    ApplicationSetKeyWindow(nil);
    objc::Send<void>(self, "resignKeyWindow");
  }
  if (ApplicationMainWindow() == self) {
    ApplicationSetMainWindow(nil);
    objc::Send<void>(self, "resignMainWindow");
  }
}

void OrderFront(id self, SEL, id) {
  WindowState& state = State(self);
  if (state.visible) return;
  state.visible = true;
  CurrentDesktop()->WindowShown(self);
  std::vector<id> children = state.children;
  for (id child : children) objc::Send<void>(child, "orderFront:", static_cast<id>(nil));
}
void OrderFrontRegardless(id self, SEL) {
  OrderFront(self, nullptr, nil);
}
void OrderOut(id self, SEL, id) {
  WindowState& state = State(self);
  std::vector<id> children = state.children;
  for (id child : children) objc::Send<void>(child, "orderOut:", static_cast<id>(nil));
  LoseKeyAndMain(self);
  if (!state.visible) return;
  state.visible = false;
  if (!state.miniaturized) CurrentDesktop()->WindowHidden(self);
}
void MakeKeyAndOrderFront(id self, SEL, id sender) {
  objc::Send<void>(self, "orderFront:", sender);
  objc::Send<void>(self, "makeKeyWindow");
}

void AddChildWindow(id self, SEL, id child, NSInteger) {
  if (!IsWindow(child) || child == self) return;
  WindowState& state = State(self);
  if (State(child).parent) objc::Send<void>(State(child).parent, "removeChildWindow:", child);
  state.children.push_back(child);
  State(child).parent = self;
  if (state.visible) objc::Send<void>(child, "orderFront:", static_cast<id>(nil));
}
void RemoveChildWindow(id self, SEL, id child) {
  auto& children = State(self).children;
  auto found = std::find(children.begin(), children.end(), child);
  if (found == children.end()) return;
  children.erase(found);
  State(child).parent = nil;
}
id ChildWindows(id self, SEL) {
  return foundation::MakeArray(State(self).children);
}
id ParentWindow(id self, SEL) {
  return State(self).parent;
}

// --- Closing ---

// -close tells the delegate (windowWillClose:), orders the window out and, when it is released
// when closed, gives up one reference (once, however often close is sent).
void Close(id self, SEL) {
  WindowState& state = State(self);
  if (state.closing) return;
  state.closing = true;
  objc_retain(self);
  Notify(self, "windowWillClose:", "NSWindowWillCloseNotification");
  objc::Send<void>(self, "orderOut:", static_cast<id>(nil));
  state.closing = false;
  bool release = state.released_when_closed && !state.released_by_close;
  if (release) state.released_by_close = true;
  objc_release(self);
  if (release) objc_release(self);
}

// -performClose: asks the delegate (or the window itself) whether it may close.
void PerformClose(id self, SEL, id) {
  id delegate = State(self).delegate;
  if (foundation::RespondsTo(delegate, "windowShouldClose:")) {
    if (!objc::Send<BOOL>(delegate, "windowShouldClose:", self)) return;
  } else if (foundation::RespondsTo(self, "windowShouldClose:")) {
    if (!objc::Send<BOOL>(self, "windowShouldClose:", self)) return;
  }
  objc::Send<void>(self, "close");
}
void SetReleasedWhenClosed(id self, SEL, BOOL on) {
  State(self).released_when_closed = on != NO;
}
BOOL IsReleasedWhenClosed(id self, SEL) {
  return State(self).released_when_closed ? YES : NO;
}

void Dealloc(id self, SEL sel) {
  WindowState& state = State(self);
  ApplicationRemoveWindow(self);
  for (id child : state.children) State(child).parent = nil;
  state.children.clear();
  if (state.parent) RemoveChildWindow(state.parent, nullptr, self);
  SetContentView(self, nullptr, nil);
  objc_release(state.title);
  objc_release(state.background_color);
  objc_release(state.default_button_cell);
  objc_release(state.field_editor);
  objc_release(state.tracking_view);
  state.title = state.background_color = state.default_button_cell = nil;
  state.field_editor = state.tracking_view = nil;
  objc::SendSuper<void>(self, gWindow, sel);
}

// --- Responders and events ---

id FirstResponder(id self, SEL) {
  return WindowFirstResponder(self);
}

// -makeFirstResponder: asks the old responder to resign and the new one to accept and become;
// when the new one refuses, the window itself is first responder and the answer is NO.
BOOL MakeFirstResponder(id self, SEL, id responder) {
  WindowState& state = State(self);
  if (responder == self) responder = nil;
  if (responder == state.first_responder) return YES;
  if (state.first_responder && !objc::Send<BOOL>(state.first_responder, "resignFirstResponder")) {
    return NO;
  }
  state.first_responder = nil;
  if (!responder) return YES;
  if (!objc::Send<BOOL>(responder, "acceptsFirstResponder") ||
      !objc::Send<BOOL>(responder, "becomeFirstResponder")) {
    return NO;
  }
  state.first_responder = responder;
  return YES;
}
id InitialFirstResponder(id self, SEL) {
  return State(self).initial_first_responder;
}
void SetInitialFirstResponder(id self, SEL, id view) {
  State(self).initial_first_responder = view;
}

id FieldEditorForObject(id self, SEL, BOOL create, id object) {
  WindowState& state = State(self);
  if (!state.field_editor && create) {
    state.field_editor =
        objc::Send(objc::Send(objc_lookUpClass("NSTextView"), "alloc"), "initWithFrame:", NSRect{});
    objc::Send<void>(state.field_editor, "setFieldEditor:", YES);
  }
  if (state.field_editor && object) objc::Send<void>(state.field_editor, "setDelegate:", object);
  return state.field_editor;
}

void SetDefaultButtonCell(id self, SEL, id cell) {
  WindowState& state = State(self);
  if (cell == state.default_button_cell) return;
  // The default button is the one with Return as key equivalent.
  if (id old_button = objc::Send(state.default_button_cell, "controlView")) {
    if (foundation::StringUnits(objc::Send(old_button, "keyEquivalent")) == u"\r") {
      objc::Send<void>(old_button, "setKeyEquivalent:", appkit::EmptyString());
    }
  }
  appkit::AssignRetained(&state.default_button_cell, cell);
  if (id button = objc::Send(cell, "controlView")) {
    objc::Send<void>(button, "setKeyEquivalent:", appkit::Utf8String("\r"));
  }
}
id DefaultButtonCell(id self, SEL) {
  return State(self).default_button_cell;
}

// -performKeyEquivalent: offers the key to the views, then presses the default button for
// Return without command, control or option.
BOOL PerformKeyEquivalent(id self, SEL, id event) {
  WindowState& state = State(self);
  if (state.content_view && objc::Send<BOOL>(state.content_view, "performKeyEquivalent:", event)) {
    return YES;
  }
  id button = objc::Send(state.default_button_cell, "controlView");
  if (button && KeyEquivalentMatches(event, appkit::Utf8String("\r"), 0) &&
      objc::Send<BOOL>(button, "isEnabled")) {
    objc::Send<void>(button, "performClick:", self);
    return YES;
  }
  return NO;
}

// The view under a mouse event, or nil.
id HitView(id self, id event) {
  id content = State(self).content_view;
  if (!content) return nil;
  return objc::Send(content, "hitTest:", objc::Send<NSPoint>(event, "locationInWindow"));
}

// -sendEvent: key events go to the first responder; a mouse-down goes to the view under it
// (which becomes first responder when it accepts) and its mouse-up to the same view.
void SendEvent(id self, SEL, id event) {
  WindowState& state = State(self);
  objc_retain(self);
  switch (EventType(event)) {
    case kEventKeyDown:
      objc::Send<void>(WindowFirstResponder(self), "keyDown:", event);
      break;
    case kEventKeyUp:
      objc::Send<void>(WindowFirstResponder(self), "keyUp:", event);
      break;
    case kEventFlagsChanged:
      objc::Send<void>(WindowFirstResponder(self), "flagsChanged:", event);
      break;
    case kEventLeftMouseDown:
    case kEventRightMouseDown: {
      bool left = EventType(event) == kEventLeftMouseDown;
      if (left && ApplicationKeyWindow() != self) objc::Send<void>(self, "makeKeyWindow");
      id view = HitView(self, event);
      if (left && view && view != state.first_responder &&
          objc::Send<BOOL>(view, "acceptsFirstResponder")) {
        objc::Send<BOOL>(self, "makeFirstResponder:", view);
      }
      appkit::AssignRetained(&state.tracking_view, view);
      objc::Send<void>(view ? view : self, left ? "mouseDown:" : "rightMouseDown:", event);
      break;
    }
    case kEventLeftMouseUp:
    case kEventRightMouseUp: {
      bool left = EventType(event) == kEventLeftMouseUp;
      id view = state.tracking_view ? objc_retain(state.tracking_view)
                                    : objc_retain(HitView(self, event));
      appkit::AssignRetained(&state.tracking_view, nil);
      objc::Send<void>(view ? view : self, left ? "mouseUp:" : "rightMouseUp:", event);
      objc_release(view);
      break;
    }
    default:
      break;
  }
  objc_release(self);
}

// --- Zoom and miniaturize ---

BOOL IsZoomed(id self, SEL) {
  return State(self).zoomed ? YES : NO;
}

// -zoom: toggles between the main screen's visible frame and the frame before zooming; the
// delegate may refuse with windowShouldZoom:toFrame:.
void Zoom(id self, SEL, id) {
  WindowState& state = State(self);
  NSRect target = state.user_frame;
  if (!state.zoomed) {
    NSRect screen;
    if (!ScreenMainFrames(&screen, &target)) target = state.frame;
  }
  id delegate = state.delegate;
  if (foundation::RespondsTo(delegate, "windowShouldZoom:toFrame:") &&
      !objc::Send<BOOL>(delegate, "windowShouldZoom:toFrame:", self, target)) {
    return;
  }
  if (!state.zoomed) state.user_frame = state.frame;
  state.zoomed = !state.zoomed;
  objc::Send<void>(self, "setFrame:display:", target, YES);
}

BOOL IsMiniaturized(id self, SEL) {
  return State(self).miniaturized ? YES : NO;
}
void Miniaturize(id self, SEL, id) {
  WindowState& state = State(self);
  if (state.miniaturized) return;
  LoseKeyAndMain(self);
  state.miniaturized = true;
  if (state.visible) CurrentDesktop()->WindowHidden(self);
  Notify(self, "windowDidMiniaturize:", "NSWindowDidMiniaturizeNotification");
}
void Deminiaturize(id self, SEL, id) {
  WindowState& state = State(self);
  if (!state.miniaturized) return;
  state.miniaturized = false;
  state.visible = true;
  CurrentDesktop()->WindowShown(self);
  Notify(self, "windowDidDeminiaturize:", "NSWindowDidDeminiaturizeNotification");
}

void PanelSetFloating(id self, SEL, BOOL on) {
  State(self).level = on ? 3 : 0;
}

}  // namespace

// --- Internal interface and loader ---

id WindowFirstResponder(id window) {
  if (!IsWindow(window)) return nil;
  return State(window).first_responder ? State(window).first_responder : window;
}

void WindowSetFirstResponder(id window, id responder) {
  if (!IsWindow(window)) return;
  State(window).first_responder = responder == window ? nil : responder;
}

namespace appkit {

void LoadNSWindowClasses() {
  gWindow = objc::DefineClass("NSWindow", "NSResponder");
  gStateOffset = objc::AddCxxIvar<WindowState>(gWindow, "_windowState");
  Class cls = gWindow;
  objc::AddClassMethod(cls, "frameRectForContentRect:styleMask:", &FrameForContent);
  objc::AddClassMethod(cls, "contentRectForFrameRect:styleMask:", &ContentForFrame);
  objc::AddMethod(cls, "initWithContentRect:styleMask:backing:defer:", &InitWithContentRect);
  objc::AddMethod(cls, "init", &Init);
  objc::AddMethod(cls, "frameRectForContentRect:", &InstanceFrameForContent);
  objc::AddMethod(cls, "contentRectForFrameRect:", &InstanceContentForFrame);
  objc::AddMethod(cls, "frame", &Frame);
  objc::AddMethod(cls, "setFrame:display:", &SetFrameDisplay);
  objc::AddMethod(cls, "setFrame:display:animate:", &SetFrameDisplayAnimate);
  objc::AddMethod(cls, "setFrameOrigin:", &SetFrameOrigin);
  objc::AddMethod(cls, "setFrameTopLeftPoint:", &SetFrameTopLeftPoint);
  objc::AddMethod(cls, "setContentSize:", &SetContentSize);
  objc::AddMethod(cls, "center", &Center);
  objc::AddMethod(cls, "contentView", &ContentView);
  objc::AddMethod(cls, "setContentView:", &SetContentView);
  objc::AddMethod(cls, "title", &Title);
  objc::AddMethod(cls, "setTitle:", &SetTitle);
  objc::AddMethod(cls, "styleMask", &StyleMask);
  objc::AddMethod(cls, "setStyleMask:", &SetStyleMask);
  objc::AddMethod(cls, "delegate", &Delegate);
  objc::AddMethod(cls, "setDelegate:", &SetDelegate);
  objc::AddMethod(cls, "level", &Level);
  objc::AddMethod(cls, "setLevel:", &SetLevel);
  objc::AddMethod(cls, "windowNumber", &WindowNumber);
  objc::AddMethod(cls, "contentMinSize", &ContentMinSize);
  objc::AddMethod(cls, "contentMaxSize", &ContentMaxSize);
  objc::AddMethod(cls, "setContentMinSize:", &SetContentMinSize);
  objc::AddMethod(cls, "setContentMaxSize:", &SetContentMaxSize);
  objc::AddMethod(cls, "minSize", &MinSize);
  objc::AddMethod(cls, "setMinSize:", &SetMinSize);
  objc::AddMethod(cls, "backgroundColor", &BackgroundColor);
  objc::AddMethod(cls, "setBackgroundColor:", &SetBackgroundColor);
  objc::AddMethod(cls, "setAutorecalculatesKeyViewLoop:", &SetAutorecalculatesKeyViewLoop);
  objc::AddMethod(cls, "autorecalculatesKeyViewLoop", &AutorecalculatesKeyViewLoop);
  objc::AddMethod(cls, "convertBaseToScreen:", &ConvertBaseToScreen);
  objc::AddMethod(cls, "convertPointToScreen:", &ConvertBaseToScreen);
  objc::AddMethod(cls, "convertScreenToBase:", &ConvertScreenToBase);
  objc::AddMethod(cls, "convertPointFromScreen:", &ConvertScreenToBase);
  objc::AddMethod(cls, "convertRectToScreen:", &ConvertRectToScreen);
  objc::AddMethod(cls, "toolbar", &Toolbar);
  objc::AddMethod(cls, "display", &Display);
  objc::AddMethod(cls, "setViewsNeedDisplay:", &SetViewsNeedDisplay);
  objc::AddMethod(cls, "viewsNeedDisplay", &ViewsNeedDisplay);
  objc::AddMethod(cls, "update", &Update);
  for (const char* selector : {"setOpaque:", "setHasShadow:", "setHidesOnDeactivate:",
                               "setIgnoresMouseEvents:", "setMovableByWindowBackground:"}) {
    objc::AddMethod(cls, selector, &IgnoreFlag);
  }
  objc::AddMethod(cls, "isVisible", &IsVisible);
  objc::AddMethod(cls, "isKeyWindow", &IsKeyWindow);
  objc::AddMethod(cls, "isMainWindow", &IsMainWindow);
  objc::AddMethod(cls, "canBecomeKeyWindow", &CanBecomeKey);
  objc::AddMethod(cls, "canBecomeMainWindow", &CanBecomeMain);
  objc::AddMethod(cls, "becomeKeyWindow", &BecomeKeyWindow);
  objc::AddMethod(cls, "resignKeyWindow", &ResignKeyWindow);
  objc::AddMethod(cls, "becomeMainWindow", &BecomeMainWindow);
  objc::AddMethod(cls, "resignMainWindow", &ResignMainWindow);
  objc::AddMethod(cls, "makeKeyWindow", &MakeKeyWindow);
  objc::AddMethod(cls, "makeMainWindow", &MakeMainWindow);
  objc::AddMethod(cls, "orderFront:", &OrderFront);
  objc::AddMethod(cls, "orderFrontRegardless", &OrderFrontRegardless);
  objc::AddMethod(cls, "orderOut:", &OrderOut);
  objc::AddMethod(cls, "makeKeyAndOrderFront:", &MakeKeyAndOrderFront);
  objc::AddMethod(cls, "addChildWindow:ordered:", &AddChildWindow);
  objc::AddMethod(cls, "removeChildWindow:", &RemoveChildWindow);
  objc::AddMethod(cls, "childWindows", &ChildWindows);
  objc::AddMethod(cls, "parentWindow", &ParentWindow);
  objc::AddMethod(cls, "close", &Close);
  objc::AddMethod(cls, "performClose:", &PerformClose);
  objc::AddMethod(cls, "setReleasedWhenClosed:", &SetReleasedWhenClosed);
  objc::AddMethod(cls, "isReleasedWhenClosed", &IsReleasedWhenClosed);
  objc::AddMethod(cls, "firstResponder", &FirstResponder);
  objc::AddMethod(cls, "makeFirstResponder:", &MakeFirstResponder);
  objc::AddMethod(cls, "initialFirstResponder", &InitialFirstResponder);
  objc::AddMethod(cls, "setInitialFirstResponder:", &SetInitialFirstResponder);
  objc::AddMethod(cls, "fieldEditor:forObject:", &FieldEditorForObject);
  objc::AddMethod(cls, "setDefaultButtonCell:", &SetDefaultButtonCell);
  objc::AddMethod(cls, "defaultButtonCell", &DefaultButtonCell);
  objc::AddMethod(cls, "performKeyEquivalent:", &PerformKeyEquivalent);
  objc::AddMethod(cls, "sendEvent:", &SendEvent);
  objc::AddMethod(cls, "isZoomed", &IsZoomed);
  objc::AddMethod(cls, "zoom:", &Zoom);
  objc::AddMethod(cls, "performZoom:", &Zoom);
  objc::AddMethod(cls, "isMiniaturized", &IsMiniaturized);
  objc::AddMethod(cls, "miniaturize:", &Miniaturize);
  objc::AddMethod(cls, "performMiniaturize:", &Miniaturize);
  objc::AddMethod(cls, "deminiaturize:", &Deminiaturize);
  objc::AddMethod(cls, "dealloc", &Dealloc);

  gPanel = objc::DefineClass("NSPanel", gWindow);
  objc::AddMethod(gPanel, "canBecomeMainWindow", &PanelCanBecomeMain);
  objc::AddMethod(gPanel, "setFloatingPanel:", &PanelSetFloating);
  objc::AddMethod(gPanel, "setBecomesKeyOnlyIfNeeded:", &IgnoreFlag);
  objc::AddMethod(gPanel, "setWorksWhenModal:", &IgnoreFlag);
}

}  // namespace appkit
