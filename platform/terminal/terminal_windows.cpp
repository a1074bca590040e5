// Window and view numbering and the descriptions of views for the terminal protocol.
#include "platform/terminal/terminal_windows.h"

#include <cstring>

#include "platform/appkit/appkit.h"
#include "platform/foundation/array.h"
#include "platform/foundation/string.h"

namespace terminal {

namespace {

// Appends the views below parent, depth-first, leaving out skip and what lies below it.
void CollectViews(id parent, id skip, std::vector<id>* views) {
  for (id view : foundation::ArrayItems(objc::Send(parent, "subviews"))) {
    if (view == skip) continue;
    views->push_back(view);
    CollectViews(view, skip, views);
  }
}

}  // namespace

bool Answers(id obj, const char* selector) {
  return obj && objc::Send<BOOL>(obj, "respondsToSelector:", sel_registerName(selector));
}

std::u16string StringUnitsOf(id string) {
  return foundation::IsString(string) ? foundation::StringUnits(string) : std::u16string();
}

id MakeNSString(const std::u16string& units) {
  return foundation::MakeString(units);
}

std::vector<id> ApplicationWindows() {
  return foundation::ArrayItems(objc::Send(NSApp, "windows"));
}

bool WindowNumberOf(id window, int64_t* number) {
  id delegate = objc::Send(window, "delegate");
  if (!Answers(delegate, "windowID")) return false;
  *number = objc::Send<int64_t>(delegate, "windowID");
  return *number >= 0;  // -1 is the runtime's "no window"
}

id FindNumberedWindow(int64_t number) {
  for (id window : ApplicationWindows()) {
    int64_t window_number;
    if (WindowNumberOf(window, &window_number) && window_number == number) return window;
  }
  return nil;
}

std::vector<id> NumberedViews(id window) {
  std::vector<id> views;
  id field_editor = objc::Send(window, "fieldEditor:forObject:", NO, static_cast<id>(nil));
  CollectViews(objc::Send(window, "contentView"), field_editor, &views);
  return views;
}

id FindView(const ViewId& view_id, id* window, std::string* error) {
  *window = FindNumberedWindow(view_id.window);
  if (!*window) {
    *error = "no window " + std::to_string(view_id.window);
    return nil;
  }
  const std::vector<id> views = NumberedViews(*window);
  if (view_id.view < 1 || static_cast<uint64_t>(view_id.view) > views.size()) {
    *error =
        "window " + std::to_string(view_id.window) + " has no view " + std::to_string(view_id.view);
    return nil;
  }
  return views[static_cast<size_t>(view_id.view - 1)];
}

std::string PlatformClassName(id obj) {
  Class own = object_getClass(obj);
  for (Class cls = own; cls; cls = class_getSuperclass(cls)) {
    if (std::strncmp(class_getName(cls), "NS", 2) == 0) return class_getName(cls);
  }
  return own ? class_getName(own) : "nil";
}

std::u16string ViewText(id view) {
  if (Answers(view, "title")) return StringUnitsOf(objc::Send(view, "title"));
  if (Answers(view, "stringValue")) return StringUnitsOf(objc::Send(view, "stringValue"));
  return std::u16string();
}

bool ViewIsEnabled(id view) {
  return !Answers(view, "isEnabled") || objc::Send<BOOL>(view, "isEnabled");
}

id FindTextField(id view) {
  Class text_field = objc_lookUpClass("NSTextField");
  if (!view || !text_field) return nil;
  if (objc::IsKindOf(view, text_field)) return view;
  for (id subview : foundation::ArrayItems(objc::Send(view, "subviews"))) {
    if (id found = FindTextField(subview)) return found;
  }
  return nil;
}

}  // namespace terminal
