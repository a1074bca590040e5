// The graphical desktop's alerts through the GTK module.
#include "platform/graphical/gtk_bridge.h"

#include <dlfcn.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "platform/appkit/alert.h"
#include "platform/appkit/appkit.h"
#include "platform/appkit/desktop_model.h"
#include "platform/appkit/image.h"
#include "platform/appkit/text_field.h"
#include "platform/foundation/array.h"
#include "platform/foundation/string.h"
#include "platform/foundation/text_encoding.h"

namespace {

constexpr double kAlertIconPoints = 64;

std::string Utf8Of(id string) {
  return foundation::IsString(string) ? foundation::StringUtf8(string) : "";
}

// The units of UTF-8 text from GTK, with the line breaks and other control characters that a
// one-line field cannot hold (a paste may bring them) made spaces. False for invalid UTF-8.
bool OneLineUnits(const char* text, std::u16string* units) {
  const std::string utf8 = text ? text : "";
  if (!foundation::DecodeText(reinterpret_cast<const uint8_t*>(utf8.data()), utf8.size(),
                              foundation::TextEncoding::Utf8, units)) {
    return false;
  }
  for (char16_t& unit : *units) {
    if (unit < 0x20 || unit == 0x7F || unit == 0x2028 || unit == 0x2029) unit = u' ';
  }
  return true;
}

// Types units over the whole text of field, as a person selecting all and typing would.
void TypeOver(id field, const std::u16string& units) {
  const size_t length = foundation::StringUnits(objc::Send(field, "stringValue")).size();
  TextFieldSetSelection(field, NSRange{0, length});
  TextFieldReplaceSelection(field, units);
}

// The text field of an alert's accessory view (itself, or the first among its subviews).
id AccessoryField(id view, int depth = 0) {
  static Class text_field = objc_lookUpClass("NSTextField");
  if (!view || depth > 8) return nil;
  if (objc::IsKindOf(view, text_field) && objc::Send<BOOL>(view, "isEditable")) return view;
  for (id subview : foundation::ArrayItems(objc::Send(view, "subviews"))) {
    if (id found = AccessoryField(subview, depth + 1)) return found;
  }
  return nil;
}

// The icons of the message requester by their file types, as the icon theme names them.
const char* ThemeIconName(const char* type) {
  if (!type) return nullptr;
  const std::string name = type;
  if (name == "stop") return "dialog-error";
  if (name == "note") return "dialog-information";
  if (name == "caution") return "dialog-warning";
  return nullptr;
}

// The straight RGBA pixels of the largest bitmap of image; empty when it has none.
std::vector<uint8_t> ImagePixels(id image, int* width, int* height) {
  std::vector<uint8_t> scratch, best;
  PixelPicture picture{}, chosen{};
  for (id rep : foundation::ArrayItems(objc::Send(image, "representations"))) {
    if (BitmapRepPicture(rep, &scratch, &picture) && picture.width > chosen.width) {
      chosen = picture;
      best.clear();
      for (size_t y = 0; y < picture.height; ++y) {
        const uint8_t* row = picture.pixels + y * picture.bytes_per_row;
        for (size_t x = 0; x < picture.width * 4; x += 4) {
          uint8_t pixel[4] = {row[x], row[x + 1], row[x + 2], row[x + 3]};
          if (picture.alpha == PixelAlpha::kPremultiplied && pixel[3] > 0 && pixel[3] < 255) {
            for (int c = 0; c < 3; ++c) pixel[c] = static_cast<uint8_t>(pixel[c] * 255 / pixel[3]);
          }
          best.insert(best.end(), pixel, pixel + 4);
        }
      }
    }
  }
  *width = static_cast<int>(chosen.width);
  *height = static_cast<int>(chosen.height);
  return best;
}

}  // namespace

// --- The module ---

bool GtkBridge::Ready(bool dark) {
  if (module_) return true;
  if (tried_) return false;
  tried_ = true;
  objc::AutoreleasePool pool;
  id bundle = objc::Send(objc_lookUpClass("NSBundle"), "mainBundle");
  const std::string path =
      Utf8Of(objc::Send(bundle, "bundlePath")) + "/Contents/Modules/gtk_windows.so";
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  auto entry = handle ? reinterpret_cast<MindelGtkEntry>(dlsym(handle, MINDEL_GTK_ENTRY)) : nullptr;
  const MindelGtkModule* module = entry ? entry() : nullptr;
  if (!module || module->version != kMindelGtkVersion) {
    std::fprintf(stderr, "mindel: windows and alerts cannot be shown: %s\n",
                 handle ? "the GTK module does not match this program" : dlerror());
    return false;
  }
  host_ = {this,          &OnButton,      &OnFieldText, &OnViewClicked,
           &OnViewText,   &OnViewFocused, &OnViewChose, &OnViewStepped,
           &OnKeyPressed, &OnWindowClose, &OnMenuChosen};
  if (!module->start(&host_, dark ? 1 : 0)) {
    std::fprintf(stderr,
                 "mindel: windows and alerts cannot be shown: GTK cannot open the "
                 "display\n");
    return false;
  }
  module_ = module;
  return true;
}

void GtkBridge::SetDark(bool dark) {
  if (module_) module_->set_dark(dark ? 1 : 0);
}

// --- Alerts ---

void GtkBridge::AlertStarted(id alert, bool dark) {
  if (!alert) return;
  objc::Retain(alert);
  if (!Ready(dark)) {
    alerts_.push_back({alert, 0});
    unanswered_.push_back(alert);
    return;
  }
  const std::string message = Utf8Of(objc::Send(alert, "messageText"));
  const std::string informative = Utf8Of(objc::Send(alert, "informativeText"));
  std::vector<std::string> titles;
  int cancel = -1;
  for (id button : foundation::ArrayItems(objc::Send(alert, "buttons"))) {
    titles.push_back(Utf8Of(objc::Send(button, "title")));
    if (titles.back() == "Cancel" && cancel < 0) cancel = static_cast<int>(titles.size()) - 1;
  }
  std::vector<const char*> buttons;
  for (const std::string& title : titles) buttons.push_back(title.c_str());
  id field = AccessoryField(objc::Send(alert, "accessoryView"));
  const std::string field_text = field ? Utf8Of(objc::Send(field, "stringValue")) : "";
  const NSRect field_frame = field ? objc::Send<NSRect>(field, "frame") : NSRect{};
  id icon = objc::Send(alert, "icon");
  const char* icon_name = ThemeIconName(ImageDisplayName(icon));
  int icon_width = 0, icon_height = 0;
  std::vector<uint8_t> pixels;
  if (icon && !icon_name) pixels = ImagePixels(icon, &icon_width, &icon_height);

  MindelGtkAlert spec{};
  spec.message = message.c_str();
  spec.informative = informative.c_str();
  spec.buttons = buttons.data();
  spec.button_count = static_cast<int>(buttons.size());
  spec.cancel_button = cancel;
  spec.has_field = field ? 1 : 0;
  spec.field_text = field_text.c_str();
  spec.field_width = static_cast<int>(field_frame.size.width);
  spec.field_height = static_cast<int>(field_frame.size.height);
  spec.icon_rgba = pixels.empty() ? nullptr : pixels.data();
  spec.icon_width = icon_width;
  spec.icon_height = icon_height;
  spec.icon_points = static_cast<int>(kAlertIconPoints);
  spec.icon_name = icon_name;
  spec.title = "Mindel";
  alerts_.push_back({alert, module_->open_alert(&spec)});
}

void GtkBridge::AlertEnded(id alert) {
  for (auto shown = alerts_.begin(); shown != alerts_.end(); ++shown) {
    if (shown->alert != alert) continue;
    if (module_ && shown->number) module_->close_alert(shown->number);
    alerts_.erase(shown);
    std::erase(unanswered_, alert);
    objc::Release(alert);
    return;
  }
}

void GtkBridge::RunPending() {
  if (unanswered_.empty()) return;
  id alert = unanswered_.back();
  unanswered_.pop_back();
  if (alert != AlertRunning()) return;
  // Nobody can see it: answer it as Escape or the close box would, with Cancel where there is
  // one, else with its default button.
  const std::vector<id>& buttons = foundation::ArrayItems(objc::Send(alert, "buttons"));
  id answer = buttons.empty() ? nil : buttons.front();
  for (id button : buttons) {
    if (Utf8Of(objc::Send(button, "title")) == "Cancel") answer = button;
  }
  if (answer) objc::Send<void>(answer, "performClick:", static_cast<id>(nil));
}

void GtkBridge::OnButton(void* data, int number, int index) {
  auto* self = static_cast<GtkBridge*>(data);
  objc::AutoreleasePool pool;
  for (const Shown& shown : self->alerts_) {
    if (shown.number != number) continue;
    // Only the alert whose modal loop runs innermost can be answered, as on screen.
    if (shown.alert != AlertRunning()) return;
    const std::vector<id>& buttons = foundation::ArrayItems(objc::Send(shown.alert, "buttons"));
    if (index >= 0 && static_cast<size_t>(index) < buttons.size()) {
      objc::Send<void>(buttons[static_cast<size_t>(index)], "performClick:", static_cast<id>(nil));
    }
    return;
  }
}

void GtkBridge::OnFieldText(void* data, int number, const char* text) {
  auto* self = static_cast<GtkBridge*>(data);
  objc::AutoreleasePool pool;
  for (const Shown& shown : self->alerts_) {
    if (shown.number != number) continue;
    id field = AccessoryField(objc::Send(shown.alert, "accessoryView"));
    if (!field) return;
    std::u16string units;
    if (OneLineUnits(text, &units)) TypeOver(field, units);
    return;
  }
}

// --- Windows ---

namespace {

using desktop_model::Answers;

// The kind of widget that shows view; -1 for a view that only holds others.
int ViewKind(id view) {
  static Class text_field = objc_lookUpClass("NSTextField");
  static Class button = objc_lookUpClass("NSButton");
  if (Answers(view, "selectItemAtIndex:") && Answers(view, "numberOfItems")) {
    return kMindelGtkPopUp;
  }
  if (Answers(view, "increment") && Answers(view, "maxValue")) return kMindelGtkStepper;
  if (objc::IsKindOf(view, button)) {
    // Switch (3) is a check box; every other kind shows as a push button.
    return objc::Send<NSUInteger>(view, "buttonType") == 3 ? kMindelGtkCheckBox : kMindelGtkButton;
  }
  if (objc::IsKindOf(view, text_field)) {
    for (Class cls = object_getClass(view); cls; cls = class_getSuperclass(cls)) {
      if (std::string(class_getName(cls)).rfind("VoShortcutView", 0) == 0) {
        return kMindelGtkShortcut;
      }
    }
    return objc::Send<BOOL>(view, "isEditable") ? kMindelGtkField : kMindelGtkLabel;
  }
  return -1;
}

// The reachable view numbered view of window number: nil when the window is behind a modal
// window or the view is disabled or hidden, as a person could not reach it either.
id ReachableView(int number, int view, id* window) {
  *window = desktop_model::FindNumberedWindow(number);
  if (!*window) return nil;
  id modal = objc::Send(NSApp, "modalWindow");
  if (modal && modal != *window) return nil;
  const std::vector<id> views = desktop_model::NumberedViews(*window);
  if (view < 0 || static_cast<size_t>(view) >= views.size()) return nil;
  id found = views[static_cast<size_t>(view)];
  if (!desktop_model::ViewIsEnabled(found) ||
      objc::Send<BOOL>(found, "isHiddenOrHasHiddenAncestor")) {
    return nil;
  }
  return found;
}

// What the module needs of one window, with the strings it points into.
struct WindowDescription {
  MindelGtkWindow window{};
  std::string title;
  std::vector<MindelGtkView> views;
  std::vector<std::string> texts, tips;         // one per view
  std::vector<std::vector<std::string>> items;  // one per view
  std::vector<std::vector<const char*>> item_pointers;
};

void Describe(id window, WindowDescription* out) {
  out->title = Utf8Of(objc::Send(window, "title"));
  id content = objc::Send(window, "contentView");
  const NSRect frame = objc::Send<NSRect>(window, "frame");
  const NSRect content_frame = objc::Send<NSRect>(window, "contentRectForFrameRect:", frame);
  const std::vector<id> views = desktop_model::NumberedViews(window);
  out->texts.resize(views.size());
  out->tips.resize(views.size());
  out->items.resize(views.size());
  out->item_pointers.resize(views.size());
  for (size_t i = 0; i < views.size(); ++i) {
    id view = views[i];
    const int kind = ViewKind(view);
    if (kind < 0) continue;
    // The view's corners in the content view, then from its top left.
    const NSRect bounds = objc::Send<NSRect>(view, "bounds");
    NSPoint a = objc::Send<NSPoint>(view, "convertPoint:toView:", bounds.origin, content);
    NSPoint b = objc::Send<NSPoint>(
        view, "convertPoint:toView:",
        NSMakePoint(bounds.origin.x + bounds.size.width, bounds.origin.y + bounds.size.height),
        content);
    const double top = objc::Send<BOOL>(content, "isFlipped")
                           ? std::min(a.y, b.y)
                           : content_frame.size.height - std::max(a.y, b.y);
    MindelGtkView described{};
    described.id = static_cast<int>(i);
    described.kind = kind;
    described.x = static_cast<int>(std::lround(std::min(a.x, b.x)));
    described.y = static_cast<int>(std::lround(top));
    described.width = static_cast<int>(std::lround(std::fabs(b.x - a.x)));
    described.height = static_cast<int>(std::lround(std::fabs(b.y - a.y)));
    out->texts[i] = foundation::StringUtf8(foundation::MakeString(desktop_model::ViewText(view)));
    described.enabled = desktop_model::ViewIsEnabled(view);
    described.hidden = objc::Send<BOOL>(view, "isHiddenOrHasHiddenAncestor");
    if (kind == kMindelGtkCheckBox) described.state = objc::Send<NSInteger>(view, "state") == 1;
    described.selected = -1;
    if (kind == kMindelGtkPopUp) {
      const NSInteger count = objc::Send<NSInteger>(view, "numberOfItems");
      for (NSInteger item = 0; item < count; ++item) {
        out->items[i].push_back(Utf8Of(objc::Send(view, "itemTitleAtIndex:", item)));
      }
      described.selected = static_cast<int>(objc::Send<NSInteger>(view, "indexOfSelectedItem"));
    }
    out->tips[i] = Answers(view, "toolTip") ? Utf8Of(objc::Send(view, "toolTip")) : "";
    out->views.push_back(described);
  }
  // Pointers last: the strings do not move any more.
  for (MindelGtkView& view : out->views) {
    const size_t i = static_cast<size_t>(view.id);
    view.text = out->texts[i].c_str();
    view.tool_tip = out->tips[i].c_str();
    for (const std::string& item : out->items[i]) out->item_pointers[i].push_back(item.c_str());
    view.items = out->item_pointers[i].data();
    view.item_count = static_cast<int>(out->item_pointers[i].size());
  }
  // The screen's top left is the first screen's; Cocoa counts y upward from its bottom.
  id screens = objc::Send(objc_lookUpClass("NSScreen"), "screens");
  const std::vector<id>& all = foundation::ArrayItems(screens);
  const double screen_height =
      all.empty() ? 0 : objc::Send<NSRect>(all.front(), "frame").size.height;
  out->window.title = out->title.c_str();
  out->window.x = static_cast<int>(std::lround(content_frame.origin.x));
  out->window.y = static_cast<int>(
      std::lround(screen_height - content_frame.origin.y - content_frame.size.height));
  out->window.width = static_cast<int>(std::lround(content_frame.size.width));
  out->window.height = static_cast<int>(std::lround(content_frame.size.height));
  out->window.floating = objc::Send<NSInteger>(window, "level") > 0;
  out->window.views = out->views.data();
  out->window.view_count = static_cast<int>(out->views.size());
}

}  // namespace

void GtkBridge::WindowShown(id window, bool dark) {
  int64_t number;
  if (!desktop_model::WindowNumberOf(window, &number) || number > 0x7FFF) return;
  for (const auto& shown : windows_) {
    if (shown.first == window) return;
  }
  if (!Ready(dark)) return;
  windows_.emplace_back(objc::Retain(window), static_cast<int>(number));
}

void GtkBridge::WindowHidden(id window) {
  for (auto shown = windows_.begin(); shown != windows_.end(); ++shown) {
    if (shown->first != window) continue;
    if (module_) module_->hide_window(shown->second);
    objc::Release(shown->first);
    windows_.erase(shown);
    return;
  }
}

void GtkBridge::SyncWindows() {
  if (!module_ || windows_.empty()) return;
  objc::AutoreleasePool pool;
  for (const auto& [window, number] : windows_) {
    if (!objc::Send<BOOL>(window, "isVisible")) continue;
    WindowDescription description;
    Describe(window, &description);
    module_->show_window(number, &description.window);
  }
}

void GtkBridge::OnViewClicked(void*, int number, int index) {
  objc::AutoreleasePool pool;
  id window;
  if (id view = ReachableView(number, index, &window)) desktop_model::ClickView(window, view);
}

void GtkBridge::OnViewText(void*, int number, int index, const char* text) {
  objc::AutoreleasePool pool;
  id window;
  id view = ReachableView(number, index, &window);
  std::u16string units;
  if (!view || !objc::Send<BOOL>(view, "isEditable") || !OneLineUnits(text, &units)) return;
  desktop_model::FocusView(window, view);
  TypeOver(view, units);
}

void GtkBridge::OnViewFocused(void*, int number, int index) {
  objc::AutoreleasePool pool;
  id window;
  if (id view = ReachableView(number, index, &window)) desktop_model::FocusView(window, view);
}

void GtkBridge::OnViewChose(void*, int number, int index, int item) {
  objc::AutoreleasePool pool;
  id window;
  id view = ReachableView(number, index, &window);
  if (view && item >= 0 && item < objc::Send<NSInteger>(view, "numberOfItems")) {
    desktop_model::ChoosePopUpItem(view, item);
  }
}

void GtkBridge::OnViewStepped(void*, int number, int index, int up) {
  objc::AutoreleasePool pool;
  id window;
  if (id view = ReachableView(number, index, &window)) desktop_model::StepStepper(view, up != 0);
}

void GtkBridge::OnKeyPressed(void*, int number, const char* name) {
  objc::AutoreleasePool pool;
  id window = desktop_model::FindNumberedWindow(number);
  KeyStroke key;
  if (!window || !name || !ParseKeyName(name, &key)) return;
  desktop_model::PressKey(window, key);
}

void GtkBridge::OnWindowClose(void*, int number) {
  objc::AutoreleasePool pool;
  id window = desktop_model::FindNumberedWindow(number);
  id modal = objc::Send(NSApp, "modalWindow");
  if (window && (!modal || modal == window)) desktop_model::CloseWindow(window);
}

// --- The tray icon ---

void GtkBridge::ShowTrayIcon(const IconPixmap& icon, const std::string& tool_tip,
                             const MenuEntry& menu, bool dark,
                             std::function<void(int32_t)> choose) {
  if (!Ready(dark)) return;
  choose_ = std::move(choose);
  const std::vector<uint8_t> rgba = PixmapRgba(icon);
  std::vector<std::string> labels, accelerators;
  std::string key = tool_tip + '\0' + std::string(rgba.begin(), rgba.end());
  for (const MenuEntry& entry : menu.children) {
    labels.push_back(PlainMenuLabel(entry.label));
    std::string accelerator;
    for (size_t i = 0; i + 1 < entry.shortcut.size(); ++i)
      accelerator += "<" + entry.shortcut[i] + ">";
    if (!entry.shortcut.empty()) accelerator += entry.shortcut.back();
    accelerators.push_back(accelerator);
    key += '\0' + std::to_string(entry.id) + labels.back() + accelerator +
           char('0' + entry.enabled) + char('0' + entry.visible) + char('0' + entry.separator);
  }
  if (key == tray_shown_) return;  // nothing changed since the last wait
  tray_shown_ = key;
  std::vector<MindelGtkMenuEntry> entries;
  for (size_t i = 0; i < menu.children.size(); ++i) {
    const MenuEntry& entry = menu.children[i];
    entries.push_back({entry.id, labels[i].c_str(), accelerators[i].c_str(), entry.enabled,
                       entry.visible, entry.separator});
  }
  MindelGtkTrayIcon tray{rgba.empty() ? nullptr : rgba.data(), icon.size, tool_tip.c_str(),
                         entries.data(), static_cast<int>(entries.size())};
  module_->show_tray_icon(&tray);
}

void GtkBridge::HideTrayIcon() {
  if (tray_shown_.empty() || !module_) return;
  module_->hide_tray_icon();
  tray_shown_.clear();
}

void GtkBridge::OnMenuChosen(void* data, int id) {
  auto* self = static_cast<GtkBridge*>(data);
  objc::AutoreleasePool pool;
  if (self->choose_) self->choose_(id);
}
