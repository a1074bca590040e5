// NSView: a rectangle in its superview, with subviews, drawing, hit-testing and coordinate
// conversion (Cocoa's coordinates: a flipped view measures y from its top).
#include "platform/appkit/view.h"

#include <algorithm>
#include <vector>

#include "platform/appkit/appkit.h"
#include "platform/appkit/window.h"
#include "platform/foundation/array.h"
#include "platform/foundation/notification.h"

namespace {

// The state of one view.
struct ViewState {
  NSRect frame{};                    // in the superview's coordinates
  id superview = nil;                // not retained (it retains us)
  std::vector<id> subviews;          // retained, back to front
  id window = nil;                   // not retained; the window whose tree holds us
  bool hidden = false;               // setHidden:
  bool needs_display = false;        // setNeedsDisplay:
  id tool_tip = nil;                 // NSString, copied
  NSUInteger autoresizing_mask = 0;  // stored only
  bool autoresizes_subviews = true;  // stored only
  id dragged_types = nil;            // NSArray, retained; stored only
};

Class gView;                  // NSView
ptrdiff_t gStateOffset = -1;  // offset of ViewState

ViewState& State(id self) {
  return objc::FieldAt<ViewState>(self, gStateOffset);
}
bool IsView(id obj) {
  return obj && gView && objc::IsKindOf(obj, gView);
}
bool Flipped(id view) {
  return view && objc::Send<BOOL>(view, "isFlipped");
}

// A point of view's own coordinates in its superview's (the window's for a root view).
NSPoint LocalToSuper(id view, NSPoint p) {
  const NSRect& f = State(view).frame;
  double from_bottom = Flipped(view) ? f.size.height - p.y : p.y;
  id super = State(view).superview;
  double y = Flipped(super) ? f.origin.y + f.size.height - from_bottom : f.origin.y + from_bottom;
  return NSPoint{f.origin.x + p.x, y};
}

NSPoint SuperToLocal(id view, NSPoint p) {
  const NSRect& f = State(view).frame;
  id super = State(view).superview;
  double from_bottom = Flipped(super) ? f.size.height - (p.y - f.origin.y) : p.y - f.origin.y;
  double y = Flipped(view) ? f.size.height - from_bottom : from_bottom;
  return NSPoint{p.x - f.origin.x, y};
}

// --- Methods ---

id InitWithFrame(id self, SEL, NSRect frame) {
  self = objc::SendSuper(self, gView, "init");
  if (self) State(self).frame = frame;
  return self;
}
id Init(id self, SEL) {
  return objc::Send(self, "initWithFrame:", NSRect{});
}

NSRect Frame(id self, SEL) {
  return State(self).frame;
}
void SetFrame(id self, SEL, NSRect frame) {
  State(self).frame = frame;
  State(self).needs_display = true;
}
NSRect Bounds(id self, SEL) {
  return NSRect{{0, 0}, State(self).frame.size};
}
void SetFrameOrigin(id self, SEL, NSPoint origin) {
  NSRect frame = State(self).frame;
  frame.origin = origin;
  objc::Send<void>(self, "setFrame:", frame);
}
void SetFrameSize(id self, SEL, NSSize size) {
  NSRect frame = State(self).frame;
  frame.size = size;
  objc::Send<void>(self, "setFrame:", frame);
}
BOOL IsFlipped(id, SEL) {
  return NO;
}

id Subviews(id self, SEL) {
  return foundation::MakeArray(State(self).subviews);
}
id Superview(id self, SEL) {
  return State(self).superview;
}
id Window(id self, SEL) {
  return State(self).window;
}

void RemoveFromSuperview(id self, SEL) {
  id super = State(self).superview;
  if (!super) return;
  auto& siblings = State(super).subviews;
  auto found = std::find(siblings.begin(), siblings.end(), self);
  if (found != siblings.end()) siblings.erase(found);
  State(self).superview = nil;
  objc::Send<void>(self, "setNextResponder:", static_cast<id>(nil));
  ViewSetWindow(self, nil);
  State(super).needs_display = true;
  objc_release(self);  // the superview's reference; may free the view
}

void AddSubview(id self, SEL, id view) {
  if (!IsView(view) || view == self || ViewIsDescendantOf(self, view)) return;
  objc_retain(view);
  objc::Send<void>(view, "removeFromSuperview");
  State(self).subviews.push_back(view);  // takes the reference retained above
  State(view).superview = self;
  objc::Send<void>(view, "setNextResponder:", self);
  ViewSetWindow(view, State(self).window);
  State(self).needs_display = true;
}

void SetHidden(id self, SEL, BOOL hidden) {
  State(self).hidden = hidden != NO;
  if (hidden) {
    // A hidden view gives up the keyboard, as in Cocoa.
    id window = State(self).window;
    id first = window ? objc::Send(window, "firstResponder") : nil;
    if (first && IsView(first) && ViewIsDescendantOf(first, self)) {
      objc::Send<BOOL>(window, "makeFirstResponder:", static_cast<id>(nil));
    }
  }
}
BOOL IsHidden(id self, SEL) {
  return State(self).hidden ? YES : NO;
}
BOOL IsHiddenOrHasHiddenAncestor(id self, SEL) {
  for (id view = self; view; view = State(view).superview) {
    if (State(view).hidden) return YES;
  }
  return NO;
}
void SetNeedsDisplay(id self, SEL, BOOL needs) {
  State(self).needs_display = needs != NO;
}
BOOL NeedsDisplay(id self, SEL) {
  return State(self).needs_display ? YES : NO;
}
void DrawRect(id, SEL, NSRect) {}

// -display draws the view and then its visible subviews.
void Display(id self, SEL) {
  if (State(self).hidden) return;
  objc::Send<void>(self, "drawRect:", Bounds(self, nullptr));
  State(self).needs_display = false;
  std::vector<id> subviews = State(self).subviews;
  for (id view : subviews) objc::Send<void>(view, "display");
}
void DisplayIfNeeded(id self, SEL) {
  if (State(self).needs_display) Display(self, nullptr);
}

// -hitTest: takes a point in the superview's coordinates and answers the deepest visible view
// under it (later subviews lie on top), or nil.
id HitTest(id self, SEL, NSPoint point) {
  if (State(self).hidden) return nil;
  NSPoint local = SuperToLocal(self, point);
  const NSSize& size = State(self).frame.size;
  if (local.x < 0 || local.y < 0 || local.x >= size.width || local.y >= size.height) return nil;
  const auto& subviews = State(self).subviews;
  for (auto it = subviews.rbegin(); it != subviews.rend(); ++it) {
    if (id hit = objc::Send(*it, "hitTest:", local)) return hit;
  }
  return self;
}

NSPoint ConvertPointFromView(id self, SEL, NSPoint point, id view) {
  NSPoint in_window = IsView(view) ? ViewConvertToWindow(view, point) : point;
  return ViewConvertFromWindow(self, in_window);
}
NSPoint ConvertPointToView(id self, SEL, NSPoint point, id view) {
  NSPoint in_window = ViewConvertToWindow(self, point);
  return IsView(view) ? ViewConvertFromWindow(view, in_window) : in_window;
}
NSRect ConvertRectToView(id self, SEL, NSRect rect, id view) {
  NSPoint a = ConvertPointToView(self, nullptr, rect.origin, view);
  NSPoint b = ConvertPointToView(
      self, nullptr, NSPoint{rect.origin.x + rect.size.width, rect.origin.y + rect.size.height},
      view);
  return NSRect{{std::min(a.x, b.x), std::min(a.y, b.y)}, rect.size};
}

NSInteger Tag(id, SEL) {
  return -1;
}
id ViewWithTag(id self, SEL, NSInteger tag) {
  if (objc::Send<NSInteger>(self, "tag") == tag) return self;
  for (id view : State(self).subviews) {
    if (id found = objc::Send(view, "viewWithTag:", tag)) return found;
  }
  return nil;
}
BOOL IsDescendantOf(id self, SEL, id view) {
  return ViewIsDescendantOf(self, view) ? YES : NO;
}

void SetToolTip(id self, SEL, id tip) {
  appkit::AssignCopied(&State(self).tool_tip, tip);
}
id ToolTip(id self, SEL) {
  return State(self).tool_tip;
}
void SetAutoresizingMask(id self, SEL, NSUInteger mask) {
  State(self).autoresizing_mask = mask;
}
NSUInteger AutoresizingMask(id self, SEL) {
  return State(self).autoresizing_mask;
}
void SetAutoresizesSubviews(id self, SEL, BOOL on) {
  State(self).autoresizes_subviews = on != NO;
}
BOOL AutoresizesSubviews(id self, SEL) {
  return State(self).autoresizes_subviews ? YES : NO;
}
// Views keep the dragged types they are given; no drag ever reaches them on this platform.
void RegisterForDraggedTypes(id self, SEL, id types) {
  appkit::AssignRetained(&State(self).dragged_types, types);
}
void UnregisterDraggedTypes(id self, SEL) {
  appkit::AssignRetained(&State(self).dragged_types, nil);
}
id RegisteredDraggedTypes(id self, SEL) {
  return State(self).dragged_types ? State(self).dragged_types : foundation::MakeArray({});
}

// -performKeyEquivalent: offers the key to the visible subviews (buttons take theirs).
BOOL PerformKeyEquivalent(id self, SEL, id event) {
  if (State(self).hidden) return NO;
  std::vector<id> subviews = State(self).subviews;
  for (id view : subviews) {
    if (objc::Send<BOOL>(view, "performKeyEquivalent:", event)) return YES;
  }
  return NO;
}

void ViewWillMoveToWindow(id, SEL, id) {}
void ViewDidMoveToWindow(id, SEL) {}

void Dealloc(id self, SEL sel) {
  ViewState& state = State(self);
  std::vector<id> subviews;
  subviews.swap(state.subviews);
  for (id view : subviews) {
    State(view).superview = nil;
    ViewSetWindow(view, nil);
    objc_release(view);
  }
  objc_release(state.tool_tip);
  objc_release(state.dragged_types);
  state.tool_tip = nil;
  state.dragged_types = nil;
  objc::SendSuper<void>(self, gView, sel);
}

}  // namespace

// --- Internal interface ---

void ViewSetWindow(id view, id window) {
  if (!IsView(view)) return;
  ViewState& state = State(view);
  id old = state.window;
  if (old == window) return;
  objc::Send<void>(view, "viewWillMoveToWindow:", window);
  if (old && WindowFirstResponder(old) == view) WindowSetFirstResponder(old, old);
  state.window = window;
  for (id subview : state.subviews) ViewSetWindow(subview, window);
  objc::Send<void>(view, "viewDidMoveToWindow");
}

NSPoint ViewConvertToWindow(id view, NSPoint point) {
  for (; IsView(view); view = State(view).superview) point = LocalToSuper(view, point);
  return point;
}

NSPoint ViewConvertFromWindow(id view, NSPoint point) {
  std::vector<id> chain;  // view, its superview, ... up to the root
  for (id v = view; IsView(v); v = State(v).superview) chain.push_back(v);
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) point = SuperToLocal(*it, point);
  return point;
}

bool ViewIsDescendantOf(id view, id ancestor) {
  for (; IsView(view); view = State(view).superview) {
    if (view == ancestor) return true;
  }
  return false;
}

namespace appkit {

void LoadNSViewClass() {
  gView = objc::DefineClass("NSView", "NSResponder");
  gStateOffset = objc::AddCxxIvar<ViewState>(gView, "_viewState");
  Class cls = gView;
  objc::AddMethod(cls, "initWithFrame:", &InitWithFrame);
  objc::AddMethod(cls, "init", &Init);
  objc::AddMethod(cls, "frame", &Frame);
  objc::AddMethod(cls, "setFrame:", &SetFrame);
  objc::AddMethod(cls, "bounds", &Bounds);
  objc::AddMethod(cls, "setFrameOrigin:", &SetFrameOrigin);
  objc::AddMethod(cls, "setFrameSize:", &SetFrameSize);
  objc::AddMethod(cls, "isFlipped", &IsFlipped);
  objc::AddMethod(cls, "subviews", &Subviews);
  objc::AddMethod(cls, "superview", &Superview);
  objc::AddMethod(cls, "window", &Window);
  objc::AddMethod(cls, "addSubview:", &AddSubview);
  objc::AddMethod(cls, "removeFromSuperview", &RemoveFromSuperview);
  objc::AddMethod(cls, "setHidden:", &SetHidden);
  objc::AddMethod(cls, "isHidden", &IsHidden);
  objc::AddMethod(cls, "isHiddenOrHasHiddenAncestor", &IsHiddenOrHasHiddenAncestor);
  objc::AddMethod(cls, "setNeedsDisplay:", &SetNeedsDisplay);
  objc::AddMethod(cls, "needsDisplay", &NeedsDisplay);
  objc::AddMethod(cls, "drawRect:", &DrawRect);
  objc::AddMethod(cls, "display", &Display);
  objc::AddMethod(cls, "displayIfNeeded", &DisplayIfNeeded);
  objc::AddMethod(cls, "hitTest:", &HitTest);
  objc::AddMethod(cls, "convertPoint:fromView:", &ConvertPointFromView);
  objc::AddMethod(cls, "convertPoint:toView:", &ConvertPointToView);
  objc::AddMethod(cls, "convertRect:toView:", &ConvertRectToView);
  objc::AddMethod(cls, "tag", &Tag);
  objc::AddMethod(cls, "viewWithTag:", &ViewWithTag);
  objc::AddMethod(cls, "isDescendantOf:", &IsDescendantOf);
  objc::AddMethod(cls, "setToolTip:", &SetToolTip);
  objc::AddMethod(cls, "toolTip", &ToolTip);
  objc::AddMethod(cls, "setAutoresizingMask:", &SetAutoresizingMask);
  objc::AddMethod(cls, "autoresizingMask", &AutoresizingMask);
  objc::AddMethod(cls, "setAutoresizesSubviews:", &SetAutoresizesSubviews);
  objc::AddMethod(cls, "autoresizesSubviews", &AutoresizesSubviews);
  objc::AddMethod(cls, "registerForDraggedTypes:", &RegisterForDraggedTypes);
  objc::AddMethod(cls, "unregisterDraggedTypes", &UnregisterDraggedTypes);
  objc::AddMethod(cls, "registeredDraggedTypes", &RegisteredDraggedTypes);
  objc::AddMethod(cls, "performKeyEquivalent:", &PerformKeyEquivalent);
  objc::AddMethod(cls, "viewWillMoveToWindow:", &ViewWillMoveToWindow);
  objc::AddMethod(cls, "viewDidMoveToWindow", &ViewDidMoveToWindow);
  objc::AddMethod(cls, "dealloc", &Dealloc);
}

}  // namespace appkit
