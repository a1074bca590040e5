// The state block of the terminal protocol's `show`, and the fields of an alert, which the
// `alert:` report and the block's alert line share.
//
// The block, one fact per line, in this order:
//   status title=<s> image=<s or null> length=<number>      one line per status item
//   menu <tag> <title s> key=<s> mods=<mods or -> enabled|disabled
//   menu -                                                  a separator
//   hotkey <key code> <carbon modifiers>
//   timer <window> <timer> <interval ms>
//   window <n> <title s> visible|hidden key|- level=<n>
//   view <w>.<v> <class> <title or text s> frame=<x>,<y>,<w>,<h> enabled|disabled [state=<n>]
//        [hidden]
//   alert <fields of TerminalAlertFields>                   while an alert runs
#include <cmath>
#include <cstdio>
#include <cstring>

#include "platform/appkit/appkit.h"
#include "platform/appkit/image.h"
#include "platform/appkit/status_bar.h"
#include "platform/carbon/carbon_desktop.h"
#include "platform/desktop/key_names.h"
#include "platform/foundation/array.h"
#include "platform/foundation/number.h"
#include "platform/foundation/run_loop.h"
#include "platform/terminal/terminal_desktop.h"
#include "platform/terminal/terminal_windows.h"

namespace {

using terminal::Answers;
using terminal::JsonString;
using terminal::StringUnitsOf;

// A number as the protocol writes it: an integer when it is one, else the shortest form.
std::string FormatNumber(double value) {
  char text[32];
  if (std::isfinite(value) && value == std::floor(value) && std::fabs(value) < 1e15) {
    std::snprintf(text, sizeof text, "%lld", static_cast<long long>(value));
  } else {
    std::snprintf(text, sizeof text, "%g", value);
  }
  return text;
}

// A JSON string of an NSString, or null for nil.
std::string StringOrNull(id string) {
  return string ? JsonString(StringUnitsOf(string)) : "null";
}

// The name of an image, or null for no image.
std::string ImageName(id image) {
  const char* name = ImageDisplayName(image);
  return name ? JsonString(std::string_view(name)) : "null";
}

// --- Status item and menu ---

void AppendMenuLines(id menu, int depth, std::string* out) {
  if (depth > 8) return;  // menus nest a level or two; a deeper chain would be a cycle
  for (id item : foundation::ArrayItems(objc::Send(menu, "itemArray"))) {
    if (objc::Send<BOOL>(item, "isSeparatorItem")) {
      out->append("menu -\n");
      continue;
    }
    out->append("menu " + std::to_string(objc::Send<NSInteger>(item, "tag")) + " " +
                JsonString(StringUnitsOf(objc::Send(item, "title"))) +
                " key=" + JsonString(StringUnitsOf(objc::Send(item, "keyEquivalent"))) + " mods=" +
                ModifierNames(static_cast<uint32_t>(
                    objc::Send<NSUInteger>(item, "keyEquivalentModifierMask"))) +
                (objc::Send<BOOL>(item, "isEnabled") ? " enabled\n" : " disabled\n"));
    if (id submenu = objc::Send(item, "submenu")) AppendMenuLines(submenu, depth + 1, out);
  }
}

void AppendStatusLines(std::string* out) {
  id first_menu = nil;
  for (id item : foundation::ArrayItems(StatusBarItems())) {
    out->append("status title=" + JsonString(StringUnitsOf(objc::Send(item, "title"))) +
                " image=" + ImageName(objc::Send(item, "image")) +
                " length=" + FormatNumber(objc::Send<double>(item, "length")) + "\n");
    if (!first_menu) first_menu = objc::Send(item, "menu");
  }
  if (first_menu) AppendMenuLines(first_menu, 0, out);
}

// --- Hot keys and timers ---

void AppendHotKey(void* context, uint32_t key_code, uint32_t carbon_modifiers) {
  static_cast<std::string*>(context)->append("hotkey " + std::to_string(key_code) + " " +
                                             std::to_string(carbon_modifiers) + "\n");
}

// Reads the integer instance variable name of obj (an integer of any width, or an NSNumber).
bool ReadIntegerIvar(id obj, const char* name, int64_t* value) {
  if (!obj) return false;
  Ivar ivar = class_getInstanceVariable(object_getClass(obj), name);
  if (!ivar) return false;
  const char* type = ivar_getTypeEncoding(ivar);
  const char* field = reinterpret_cast<const char*>(obj) + ivar_getOffset(ivar);
  switch (type ? type[0] : 0) {
    case 'q':
    case 'Q':
    case 'l':
    case 'L': {
      int64_t v;
      std::memcpy(&v, field, sizeof v);
      *value = v;
      return true;
    }
    case 'i':
    case 'I': {
      int32_t v;
      std::memcpy(&v, field, sizeof v);
      *value = v;
      return true;
    }
    case 's':
    case 'S': {
      int16_t v;
      std::memcpy(&v, field, sizeof v);
      *value = v;
      return true;
    }
    case '@': {
      id number = object_getIvar(obj, ivar);
      if (!foundation::IsNumber(number)) return false;
      *value = foundation::NumberInteger(number);
      return true;
    }
    default:
      return false;
  }
}

void AppendTimer(id timer, void* context) {
  id info = objc::Send(timer, "userInfo");
  int64_t window = -1, number = -1;
  if (!ReadIntegerIvar(info, "WindowID", &window) || !ReadIntegerIvar(info, "TimerID", &number)) {
    window = number = -1;
  }
  const double interval = objc::Send<double>(timer, "timeInterval");
  static_cast<std::string*>(context)->append(
      "timer " + std::to_string(window) + " " + std::to_string(number) + " " +
      std::to_string(static_cast<long long>(std::llround(interval * 1000))) + "\n");
}

// --- Windows and views ---

void AppendViewLine(int64_t window_number, size_t index, id view, std::string* out) {
  const NSRect frame = objc::Send<NSRect>(view, "frame");
  std::string line = "view " + std::to_string(window_number) + "." + std::to_string(index) + " " +
                     terminal::PlatformClassName(view) + " " +
                     JsonString(terminal::ViewText(view)) +
                     " frame=" + std::to_string(std::llround(frame.origin.x)) + "," +
                     std::to_string(std::llround(frame.origin.y)) + "," +
                     std::to_string(std::llround(frame.size.width)) + "," +
                     std::to_string(std::llround(frame.size.height)) +
                     (terminal::ViewIsEnabled(view) ? " enabled" : " disabled");
  // A button shows its state when it has one to show: a check box, a radio button or a
  // toggle. A button class that cannot tell its type shows its state always.
  if (Answers(view, "state") && Answers(view, "setState:")) {
    bool has_state = true;
    if (Answers(view, "buttonType")) {
      const NSUInteger type = objc::Send<NSUInteger>(view, "buttonType");
      // Push on/off 1, toggle 2, switch 3, radio 4, on/off 6.
      has_state = type == 1 || type == 2 || type == 3 || type == 4 || type == 6;
    }
    if (has_state) line += " state=" + std::to_string(objc::Send<NSInteger>(view, "state"));
  }
  if (objc::Send<BOOL>(view, "isHidden")) line += " hidden";
  out->append(line + "\n");
}

void AppendWindowLines(std::string* out) {
  std::string views;
  for (id window : terminal::ApplicationWindows()) {
    int64_t number;
    if (!terminal::WindowNumberOf(window, &number)) continue;
    out->append("window " + std::to_string(number) + " " +
                JsonString(StringUnitsOf(objc::Send(window, "title"))) +
                (objc::Send<BOOL>(window, "isVisible") ? " visible" : " hidden") +
                (objc::Send<BOOL>(window, "isKeyWindow") ? " key" : " -") +
                " level=" + std::to_string(objc::Send<NSInteger>(window, "level")) + "\n");
    size_t index = 0;
    for (id view : terminal::NumberedViews(window)) AppendViewLine(number, ++index, view, &views);
  }
  out->append(views);
}

}  // namespace

// --- Alert fields ---

std::string TerminalAlertFields(id alert) {
  std::string fields = "message=" + StringOrNull(objc::Send(alert, "messageText")) +
                       " informative=" + StringOrNull(objc::Send(alert, "informativeText")) +
                       " buttons=[";
  const std::vector<id>& buttons = foundation::ArrayItems(objc::Send(alert, "buttons"));
  // The first button added is the rightmost: the order on screen is the reverse.
  for (size_t i = buttons.size(); i-- > 0;) {
    fields += JsonString(StringUnitsOf(objc::Send(buttons[i], "title")));
    if (i > 0) fields += ",";
  }
  fields += "] default=";
  id cell = objc::Send(objc::Send(alert, "window"), "defaultButtonCell");
  id default_button = objc::Send(cell, "controlView");
  fields += default_button ? JsonString(StringUnitsOf(objc::Send(default_button, "title")))
                           : std::string("null");
  id field = terminal::FindTextField(objc::Send(alert, "accessoryView"));
  fields += " field=" + (field ? StringOrNull(objc::Send(field, "stringValue")) : "null");
  fields += " icon=" + ImageName(objc::Send(alert, "icon"));
  return fields;
}

// --- The block ---

void AppendTerminalState(TerminalDesktop* desktop, std::string* out) {
  AppendStatusLines(out);
  CarbonForEachHotKey(&AppendHotKey, out);
  RunLoopForEachTimer(&AppendTimer, out);
  AppendWindowLines(out);
  if (id alert = desktop->OpenAlert()) out->append("alert " + TerminalAlertFields(alert) + "\n");
}
