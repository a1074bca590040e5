// NSAlert: a message, an informative text, an icon, an accessory view and buttons on a
// panel that runs modally. Buttons are laid out right to left in the order they were added;
// the first is the default (Return). runModal answers the pressed button's tag, which is
// 1000 + its index unless setTag: gave it another.
#include "platform/appkit/alert.h"

#include <algorithm>
#include <string>
#include <vector>

#include "platform/appkit/appkit.h"
#include "platform/desktop/desktop.h"
#include "platform/foundation/array.h"
#include "platform/foundation/string.h"

namespace {

// The alert panel's layout, in points.
constexpr double kPanelWidth = 420;
constexpr double kMargin = 20;
constexpr double kButtonHeight = 32;
constexpr double kButtonMinWidth = 82;
constexpr double kButtonSpacing = 12;
constexpr double kTextHeight = 80;  // room for the message and the informative text
constexpr NSInteger kFirstButtonTag = 1000;

// The state of one alert.
struct AlertState {
  id message = nil;         // NSString, copied
  id informative = nil;     // NSString, copied
  std::vector<id> buttons;  // NSButtons, retained, in the order they were added
  NSUInteger style = 0;     // NSAlertStyle, stored
  id icon = nil;            // NSImage, retained
  bool shows_help = false;  // stored only
  id accessory = nil;       // NSView, retained
  id panel = nil;           // NSPanel, retained; made at init, not released when closed
};

Class gAlert;                 // NSAlert
ptrdiff_t gStateOffset = -1;  // offset of AlertState
std::vector<id> gRunning;     // alerts in runModal, innermost last (each retained by runModal)

AlertState& State(id self) {
  return objc::FieldAt<AlertState>(self, gStateOffset);
}

id Init(id self, SEL) {
  self = objc::SendSuper(self, gAlert, "init");
  if (!self) return nil;
  id panel = objc::Send(objc::Send(objc_lookUpClass("NSPanel"), "alloc"),
                        "initWithContentRect:styleMask:backing:defer:",
                        NSMakeRect(0, 0, kPanelWidth, kMargin * 2 + kButtonHeight + kTextHeight),
                        NSUInteger{1}, NSUInteger{2}, NO);
  objc::Send<void>(panel, "setReleasedWhenClosed:", NO);
  State(self).panel = panel;
  return self;
}

id MessageText(id self, SEL) {
  return appkit::StringOrEmpty(State(self).message);
}
void SetMessageText(id self, SEL, id text) {
  appkit::AssignCopied(&State(self).message, text);
}
id InformativeText(id self, SEL) {
  return appkit::StringOrEmpty(State(self).informative);
}
void SetInformativeText(id self, SEL, id text) {
  appkit::AssignCopied(&State(self).informative, text);
}
NSUInteger AlertStyle(id self, SEL) {
  return State(self).style;
}
void SetAlertStyle(id self, SEL, NSUInteger style) {
  State(self).style = style;
}
id Icon(id self, SEL) {
  return State(self).icon;
}
void SetIcon(id self, SEL, id icon) {
  appkit::AssignRetained(&State(self).icon, icon);
}
BOOL ShowsHelp(id self, SEL) {
  return State(self).shows_help ? YES : NO;
}
void SetShowsHelp(id self, SEL, BOOL on) {
  State(self).shows_help = on != NO;
}
id AccessoryView(id self, SEL) {
  return State(self).accessory;
}
void SetAccessoryView(id self, SEL, id view) {
  AlertState& state = State(self);
  if (state.accessory == view) return;
  if (state.accessory) objc::Send<void>(state.accessory, "removeFromSuperview");
  appkit::AssignRetained(&state.accessory, view);
}
id Window(id self, SEL) {
  return State(self).panel;
}
id Buttons(id self, SEL) {
  return foundation::MakeArray(State(self).buttons);
}

// -addButtonWithTitle: makes the next button. The first is the panel's default button
// (Return); "Cancel" takes Escape and "Don't Save" command-D, as in Cocoa.
id AddButtonWithTitle(id self, SEL, id title) {
  AlertState& state = State(self);
  id button = objc::Send(objc::Send(objc_lookUpClass("NSButton"), "alloc"),
                         "initWithFrame:", NSMakeRect(0, 0, kButtonMinWidth, kButtonHeight));
  if (!button) return nil;
  NSInteger index = static_cast<NSInteger>(state.buttons.size());
  objc::Send<void>(button, "setTitle:", title);
  objc::Send<void>(button, "setTag:", kFirstButtonTag + index);
  objc::Send<void>(button, "setTarget:", self);
  objc::Send<void>(button, "setAction:", sel_registerName("buttonPressed:"));
  const std::u16string& text = foundation::StringUnits(title);
  if (text == u"Cancel") {
    objc::Send<void>(button, "setKeyEquivalent:", appkit::Utf8String("\x1b"));
  } else if (text == u"Don't Save" || text == u"Don\u2019t Save") {
    objc::Send<void>(button, "setKeyEquivalent:", appkit::Utf8String("d"));
    objc::Send<void>(button, "setKeyEquivalentModifierMask:", NSUInteger{kModifierCommand});
  }
  state.buttons.push_back(button);  // takes the reference from alloc
  objc::Send<void>(objc::Send(state.panel, "contentView"), "addSubview:", button);
  if (index == 0) {
    objc::Send<void>(state.panel, "setDefaultButtonCell:", objc::Send(button, "cell"));
  }
  return button;
}

// The action of every button: ends the modal loop with the button's tag.
void ButtonPressed(id self, SEL, id button) {
  auto& buttons = State(self).buttons;
  auto found = std::find(buttons.begin(), buttons.end(), button);
  if (found == buttons.end()) return;
  NSInteger tag = objc::Send<NSInteger>(button, "tag");
  if (tag == 0) tag = kFirstButtonTag + (found - buttons.begin());
  objc::Send<void>(NSApp, "stopModalWithCode:", tag);
}

// -layout places the buttons along the bottom from the right and the accessory view above
// them, and sizes the panel to hold them.
void Layout(id self, SEL) {
  AlertState& state = State(self);
  id content = objc::Send(state.panel, "contentView");
  double accessory_height = 0;
  double width = kPanelWidth;
  if (state.accessory) {
    NSRect frame = objc::Send<NSRect>(state.accessory, "frame");
    accessory_height = frame.size.height + kButtonSpacing;
    width = std::max(width, frame.size.width + 2 * kMargin);
  }
  double height = kMargin * 2 + kButtonHeight + accessory_height + kTextHeight;
  objc::Send<void>(state.panel, "setContentSize:", NSMakeSize(width, height));
  double right = width - kMargin;
  for (id button : state.buttons) {
    size_t length = foundation::StringUnits(objc::Send(button, "title")).size();
    double button_width = std::max(kButtonMinWidth, 24.0 + 8.0 * static_cast<double>(length));
    right -= button_width;
    objc::Send<void>(button, "setFrame:", NSMakeRect(right, kMargin, button_width, kButtonHeight));
    right -= kButtonSpacing;
  }
  if (state.accessory) {
    NSRect frame = objc::Send<NSRect>(state.accessory, "frame");
    frame.origin = NSMakePoint(kMargin, kMargin + kButtonHeight + kButtonSpacing);
    objc::Send<void>(state.accessory, "setFrame:", frame);
    if (objc::Send(state.accessory, "superview") != content) {
      objc::Send<void>(content, "addSubview:", state.accessory);
    }
  }
}

// -runModal shows the panel, reports the alert to the desktop and runs the modal loop until
// a button is pressed; the panel is ordered out afterwards. The first responder stays as the
// program set it.
NSInteger RunModal(id self, SEL) {
  AlertState& state = State(self);
  objc_retain(self);
  if (state.buttons.empty()) objc::Send(self, "addButtonWithTitle:", appkit::Utf8String("OK"));
  objc::Send<void>(self, "layout");
  objc::Send<void>(state.panel, "center");
  objc::Send<void>(state.panel, "makeKeyAndOrderFront:", static_cast<id>(nil));
  gRunning.push_back(self);
  CurrentDesktop()->AlertStarted(self);
  id app = objc::Send(objc_lookUpClass("NSApplication"), "sharedApplication");
  NSInteger code = objc::Send<NSInteger>(app, "runModalForWindow:", state.panel);
  CurrentDesktop()->AlertEnded(self);
  gRunning.erase(std::find(gRunning.begin(), gRunning.end(), self));
  objc::Send<void>(state.panel, "orderOut:", static_cast<id>(nil));
  objc_release(self);
  return code;
}

void Dealloc(id self, SEL sel) {
  AlertState& state = State(self);
  for (id button : state.buttons) {
    objc::Send<void>(button, "setTarget:", static_cast<id>(nil));
    objc_release(button);
  }
  state.buttons.clear();
  for (id* slot : {&state.message, &state.informative, &state.icon, &state.accessory}) {
    objc_release(*slot);
    *slot = nil;
  }
  if (state.panel) {
    objc::Send<void>(state.panel, "orderOut:", static_cast<id>(nil));
    objc_release(state.panel);
    state.panel = nil;
  }
  objc::SendSuper<void>(self, gAlert, sel);
}

}  // namespace

id AlertRunning() {
  return gRunning.empty() ? nil : gRunning.back();
}

namespace appkit {

void LoadNSAlertClass() {
  gAlert = objc::DefineClass("NSAlert", "NSObject");
  gStateOffset = objc::AddCxxIvar<AlertState>(gAlert, "_alertState");
  Class cls = gAlert;
  objc::AddMethod(cls, "init", &Init);
  objc::AddMethod(cls, "messageText", &MessageText);
  objc::AddMethod(cls, "setMessageText:", &SetMessageText);
  objc::AddMethod(cls, "informativeText", &InformativeText);
  objc::AddMethod(cls, "setInformativeText:", &SetInformativeText);
  objc::AddMethod(cls, "alertStyle", &AlertStyle);
  objc::AddMethod(cls, "setAlertStyle:", &SetAlertStyle);
  objc::AddMethod(cls, "icon", &Icon);
  objc::AddMethod(cls, "setIcon:", &SetIcon);
  objc::AddMethod(cls, "showsHelp", &ShowsHelp);
  objc::AddMethod(cls, "setShowsHelp:", &SetShowsHelp);
  objc::AddMethod(cls, "accessoryView", &AccessoryView);
  objc::AddMethod(cls, "setAccessoryView:", &SetAccessoryView);
  objc::AddMethod(cls, "window", &Window);
  objc::AddMethod(cls, "buttons", &Buttons);
  objc::AddMethod(cls, "addButtonWithTitle:", &AddButtonWithTitle);
  objc::AddMethod(cls, "buttonPressed:", &ButtonPressed);
  objc::AddMethod(cls, "layout", &Layout);
  objc::AddMethod(cls, "runModal", &RunModal);
  objc::AddMethod(cls, "dealloc", &Dealloc);
}

}  // namespace appkit
