// The commands of the terminal protocol: each is parsed in full and checked against the
// model before anything is done, so a refused command changes nothing.
//
// Index: helpers, status menu and keys, text and buttons, views and windows, time and
// application, the command table.
#include <cmath>
#include <string>

#include "platform/appkit/appkit.h"
#include "platform/appkit/menu_choice.h"
#include "platform/appkit/status_bar.h"
#include "platform/appkit/text_field.h"
#include "platform/carbon/carbon_desktop.h"
#include "platform/desktop/key_names.h"
#include "platform/foundation/array.h"
#include "platform/foundation/clock.h"
#include "platform/terminal/terminal_desktop.h"
#include "platform/terminal/terminal_windows.h"

namespace {

using terminal::Answers;
using terminal::ViewId;

// What a command gets: the desktop, the text after the verb, and where to say what failed.
struct Call {
  TerminalDesktop* desktop;  // prints and advances
  std::string_view verb;     // the command's name, for messages
  std::string_view rest;     // the arguments, literally
  std::string* error;        // the reason of a refusal
};

// --- Helpers ---

bool Fail(const Call& call, std::string reason) {
  *call.error = std::move(reason);
  return false;
}

// The words of the arguments, refused unless there are exactly count.
bool Words(const Call& call, size_t count, const char* usage,
           std::vector<std::string_view>* words) {
  *words = terminal::SplitWords(call.rest);
  if (words->size() == count) return true;
  return Fail(call, std::string(words->size() < count ? "missing argument" : "too many arguments") +
                        ": " + usage);
}

// The text of a protocol argument for messages: as a JSON string, so nothing odd gets out.
std::string Quoted(std::string_view text) {
  return terminal::JsonString(text);
}

// Refuses a command on window while a modal window other than it is open: a user could not
// reach it either.
bool ReachableWindow(const Call& call, id window, int64_t number) {
  id modal = objc::Send(NSApp, "modalWindow");
  if (modal && modal != window) {
    return Fail(call, "window " + std::to_string(number) + " is behind a modal window");
  }
  if (!objc::Send<BOOL>(window, "isVisible")) {
    return Fail(call, "window " + std::to_string(number) + " is not visible");
  }
  return true;
}

// The view named by the one argument "W.V" (plus more words when extra > 0), visible and
// within reach.
id ReachableView(const Call& call, const std::vector<std::string_view>& words, id* window) {
  ViewId view_id;
  if (!terminal::ParseViewId(words[0], &view_id)) {
    Fail(call, "not a view id (W.V, such as 1.3): " + Quoted(words[0]));
    return nil;
  }
  id view = terminal::FindView(view_id, window, call.error);
  if (!view || !ReachableWindow(call, *window, view_id.window)) return nil;
  if (objc::Send<BOOL>(view, "isHiddenOrHasHiddenAncestor")) {
    Fail(call, "view " + std::string(words[0]) + " is hidden");
    return nil;
  }
  return view;
}

// --- Status menu and keys ---

// The item with tag in menu or its submenus (depth-first); nil when none.
id FindMenuItem(id menu, NSInteger tag, int depth) {
  if (depth > 8) return nil;  // a deeper chain would be a cycle
  for (id item : foundation::ArrayItems(objc::Send(menu, "itemArray"))) {
    if (!objc::Send<BOOL>(item, "isSeparatorItem") && objc::Send<NSInteger>(item, "tag") == tag) {
      return item;
    }
    if (id found = FindMenuItem(objc::Send(item, "submenu"), tag, depth + 1)) return found;
  }
  return nil;
}

bool MenuCommand(const Call& call) {
  std::vector<std::string_view> words;
  if (!Words(call, 1, "menu N", &words)) return false;
  int64_t tag;
  if (!terminal::ParseInteger(words[0], INT64_MIN + 1, INT64_MAX, &tag)) {
    return Fail(call, "not a menu tag: " + Quoted(words[0]));
  }
  id menu = nil;
  for (id item : foundation::ArrayItems(StatusBarItems())) {
    if ((menu = objc::Send(item, "menu"))) break;
  }
  if (!menu) return Fail(call, "no status item has a menu");
  id item = FindMenuItem(menu, tag, 0);
  const std::string name = "menu item " + std::to_string(tag);
  if (!item) return Fail(call, "no " + name);
  std::string why;
  if (!MenuChooseItem(item, &why)) {
    return Fail(call, why == "nothing took the action" ? why + " of " + name : name + " " + why);
  }
  return true;
}

bool ParseKey(const Call& call, const char* usage, KeyStroke* key) {
  std::vector<std::string_view> words;
  if (!Words(call, 1, usage, &words)) return false;
  if (!ParseKeyName(words[0], key)) return Fail(call, "not a key name: " + Quoted(words[0]));
  return true;
}

bool HotKeyCommand(const Call& call) {
  KeyStroke key;
  if (!ParseKey(call, "hotkey MODS+KEY", &key)) return false;
  if (!CarbonPressHotKey(key.key_code, key.carbon_modifiers)) {
    return Fail(call,
                "no hot key " + std::string(terminal::SplitWords(call.rest)[0]) + " is registered");
  }
  return true;
}

bool ActionCommand(const Call& call) {
  std::vector<std::string_view> words;
  if (!Words(call, 1, "action NAME", &words)) return false;
  const std::string name(words[0]);
  if (!CarbonPerformAction(name.c_str())) {
    return Fail(call, "the application offers no action " + Quoted(name));
  }
  return true;
}

bool KeyCommand(const Call& call) {
  KeyStroke key;
  if (!ParseKey(call, "key MODS+KEY", &key)) return false;
  id window = objc::Send(NSApp, "keyWindow");
  if (!window) return Fail(call, "no window is key");
  if (!desktop_model::PressKey(window, key)) return Fail(call, "the key events could not be made");
  return true;
}

// --- Text and buttons ---

// The text field that has the keyboard: the key window's first responder, or the text field
// the field editor is editing for. In an alert whose panel is key and has nothing else
// focused, the accessory view's text field: an alert panel makes it its first key view.
id FocusedTextField(TerminalDesktop* desktop) {
  Class text_field = objc_lookUpClass("NSTextField");
  if (!text_field) return nil;
  id window = objc::Send(NSApp, "keyWindow");
  id responder = objc::Send(window, "firstResponder");
  if (responder && objc::IsKindOf(responder, text_field)) return responder;
  id delegate = Answers(responder, "delegate") ? objc::Send(responder, "delegate") : nil;
  if (delegate && objc::IsKindOf(delegate, text_field)) return delegate;
  id alert = desktop->OpenAlert();
  if (alert && window && objc::Send(alert, "window") == window &&
      (!responder || responder == window)) {
    return terminal::FindTextField(objc::Send(alert, "accessoryView"));
  }
  return nil;
}

bool TypeCommand(const Call& call) {
  id field = FocusedTextField(call.desktop);
  if (!field) return Fail(call, "no text field has the focus");
  if (Answers(field, "isEditable") && !objc::Send<BOOL>(field, "isEditable")) {
    return Fail(call, "the focused text field is not editable");
  }
  TextFieldReplaceSelection(field, terminal::Utf16FromUtf8(call.rest));
  return true;
}

// True when view is a button titled title.
bool IsButtonTitled(id view, const std::u16string& title) {
  return Answers(view, "performClick:") && Answers(view, "title") &&
         terminal::StringUnitsOf(objc::Send(view, "title")) == title;
}

// The button titled title among buttons or in the views of window.
id FindButton(const std::vector<id>& buttons, id window, const std::u16string& title) {
  for (id button : buttons) {
    if (IsButtonTitled(button, title)) return button;
  }
  std::vector<id> views;
  if (id content = objc::Send(window, "contentView")) {
    views.push_back(content);
    for (size_t i = 0; i < views.size(); ++i) {  // breadth-first: buttons of a panel first
      for (id subview : foundation::ArrayItems(objc::Send(views[i], "subviews"))) {
        views.push_back(subview);
      }
    }
  }
  for (id view : views) {
    if (IsButtonTitled(view, title) && !objc::Send<BOOL>(view, "isHiddenOrHasHiddenAncestor")) {
      return view;
    }
  }
  return nil;
}

bool PressCommand(const Call& call) {
  if (call.rest.empty()) return Fail(call, "missing argument: press TITLE");
  const std::u16string title = terminal::Utf16FromUtf8(call.rest);
  id window = objc::Send(NSApp, "modalWindow");
  std::vector<id> buttons;
  if (window) {
    id alert = call.desktop->OpenAlert();
    if (alert && objc::Send(alert, "window") == window) {
      buttons = foundation::ArrayItems(objc::Send(alert, "buttons"));
    }
  } else {
    window = objc::Send(NSApp, "keyWindow");
    if (!window) return Fail(call, "no alert is open and no window is key");
  }
  id button = FindButton(buttons, window, title);
  if (!button) return Fail(call, "no button titled " + Quoted(call.rest));
  if (!terminal::ViewIsEnabled(button)) {
    return Fail(call, "the button " + Quoted(call.rest) + " is disabled");
  }
  objc::Send<void>(button, "performClick:", static_cast<id>(nil));
  return true;
}

// --- Views and windows ---

bool ClickCommand(const Call& call) {
  std::vector<std::string_view> words;
  if (!Words(call, 1, "click W.V", &words)) return false;
  id window;
  id view = ReachableView(call, words, &window);
  if (!view) return false;
  if (!desktop_model::ClickView(window, view)) {
    return Fail(call, "the mouse events could not be made");
  }
  return true;
}

bool FocusCommand(const Call& call) {
  std::vector<std::string_view> words;
  if (!Words(call, 1, "focus W.V", &words)) return false;
  id window;
  id view = ReachableView(call, words, &window);
  if (!view) return false;
  const std::string name = "view " + std::string(words[0]);
  if (!objc::Send<BOOL>(view, "acceptsFirstResponder")) {
    return Fail(call, name + " does not take the focus");
  }
  if (!desktop_model::FocusView(window, view)) return Fail(call, name + " refused the focus");
  return true;
}

bool SelectCommand(const Call& call) {
  std::vector<std::string_view> words;
  if (!Words(call, 2, "select W.V INDEX", &words)) return false;
  id window;
  id view = ReachableView(call, words, &window);
  if (!view) return false;
  const std::string name = "view " + std::string(words[0]);
  if (!Answers(view, "selectItemAtIndex:") || !Answers(view, "numberOfItems")) {
    return Fail(call, name + " is not a pop-up button");
  }
  if (!terminal::ViewIsEnabled(view)) return Fail(call, name + " is disabled");
  const NSInteger count = objc::Send<NSInteger>(view, "numberOfItems");
  int64_t index;
  if (!terminal::ParseInteger(words[1], 0, INT64_MAX, &index)) {
    return Fail(call, "not an item index: " + Quoted(words[1]));
  }
  if (index >= count) {
    return Fail(
        call, name + " has " + std::to_string(count) + " items, no item " + std::to_string(index));
  }
  desktop_model::ChoosePopUpItem(view, static_cast<NSInteger>(index));
  return true;
}

bool StepCommand(const Call& call) {
  std::vector<std::string_view> words;
  if (!Words(call, 2, "step W.V up|down", &words)) return false;
  if (words[1] != "up" && words[1] != "down") {
    return Fail(call, "step goes up or down, not " + Quoted(words[1]));
  }
  id window;
  id view = ReachableView(call, words, &window);
  if (!view) return false;
  const std::string name = "view " + std::string(words[0]);
  for (const char* selector :
       {"increment", "minValue", "maxValue", "doubleValue", "setDoubleValue:"}) {
    if (!Answers(view, selector)) return Fail(call, name + " is not a stepper");
  }
  if (!terminal::ViewIsEnabled(view)) return Fail(call, name + " is disabled");
  desktop_model::StepStepper(view, words[1] == "up");
  return true;
}

bool CloseCommand(const Call& call) {
  std::vector<std::string_view> words;
  if (!Words(call, 1, "close W", &words)) return false;
  int64_t number;
  if (!terminal::ParseInteger(words[0], 0, INT64_MAX, &number)) {
    return Fail(call, "not a window number: " + Quoted(words[0]));
  }
  id window = terminal::FindNumberedWindow(number);
  if (!window) return Fail(call, "no window " + std::to_string(number));
  if (!ReachableWindow(call, window, number)) return false;
  desktop_model::CloseWindow(window);
  return true;
}

// --- Time and application ---

bool AdvanceCommand(const Call& call) {
  std::vector<std::string_view> words;
  if (!Words(call, 1, "advance DURATION", &words)) return false;
  int64_t milliseconds;
  if (!terminal::ParseDuration(words[0], &milliseconds)) {
    return Fail(call, "not a duration (such as 250ms, 90s, 5m): " + Quoted(words[0]));
  }
  if (!call.desktop->StartAdvance(static_cast<double>(milliseconds) / 1000.0)) {
    return Fail(call, "advance needs the virtual clock (MINDEL_CLOCK=virtual)");
  }
  return true;
}

bool QuitRequestCommand(const Call& call) {
  if (!call.rest.empty()) return Fail(call, "quit-request takes no argument");
  if (!NSApp) return Fail(call, "there is no application yet");
  objc::Send<void>(NSApp, "terminate:", static_cast<id>(nil));
  return true;  // still here: the application declined
}

bool ShowCommand(const Call& call) {
  if (!call.rest.empty()) return Fail(call, "show takes no argument");
  std::string block;
  AppendTerminalState(call.desktop, &block);
  if (!block.empty()) {
    block.pop_back();  // PrintLine ends the last line
    call.desktop->PrintLine(block);
  }
  return true;
}

bool HelpCommand(const Call& call) {
  if (!call.rest.empty()) return Fail(call, "help takes no argument");
  std::string text;
  for (const std::string& line : TerminalHelpLines()) text += line + "\n";
  text.pop_back();
  call.desktop->PrintLine(text);
  return true;
}

// --- The command table ---

struct Command {
  const char* verb;               // the first word of the line
  bool (*run)(const Call& call);  // parses the rest, checks, acts
  const char* usage;              // for help
  const char* meaning;            // for help
};

constexpr Command kCommands[] = {
    {"show", &ShowCommand, "show", "print the state of the status item, windows and alert"},
    {"menu", &MenuCommand, "menu N", "choose the status-menu item with tag N"},
    {"hotkey", &HotKeyCommand, "hotkey MODS+KEY", "press a global hot key, such as ctrl+alt+t"},
    {"action", &ActionCommand, "action NAME", "start an action of the application (enter-task)"},
    {"key", &KeyCommand, "key MODS+KEY", "press a key in the key window"},
    {"type", &TypeCommand, "type TEXT", "type TEXT into the focused text field"},
    {"press", &PressCommand, "press TITLE", "press a button of the alert or the key window"},
    {"click", &ClickCommand, "click W.V", "click view V of window W"},
    {"focus", &FocusCommand, "focus W.V", "make view V of window W first responder"},
    {"select", &SelectCommand, "select W.V INDEX", "choose item INDEX (from 0) of a pop-up"},
    {"step", &StepCommand, "step W.V up|down", "click an arrow of a stepper"},
    {"close", &CloseCommand, "close W", "click the close box of window W"},
    {"advance", &AdvanceCommand, "advance DURATION", "move the virtual clock (250ms, 90s, 5m)"},
    {"quit-request", &QuitRequestCommand, "quit-request", "ask the application to quit"},
    {"help", &HelpCommand, "help", "list the commands"},
};

}  // namespace

const std::vector<std::string>& TerminalHelpLines() {
  static const std::vector<std::string> lines = [] {
    std::vector<std::string> made;
    for (const Command& command : kCommands) {
      std::string line = std::string("help: ") + command.usage;
      line.resize(std::max<size_t>(line.size() + 1, 26), ' ');
      made.push_back(line + command.meaning);
    }
    return made;
  }();
  return lines;
}

bool RunTerminalCommand(TerminalDesktop* desktop, std::string_view line, std::string* error) {
  const terminal::CommandLine command = terminal::SplitCommand(line);
  if (command.verb.empty()) {
    *error = "empty line";
    return false;
  }
  for (const Command& known : kCommands) {
    if (command.verb == known.verb)
      return known.run(Call{desktop, command.verb, command.rest, error});
  }
  *error = "unknown command " + Quoted(command.verb) + " (help lists the commands)";
  return false;
}
