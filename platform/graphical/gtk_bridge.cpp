// The graphical desktop's alerts through the GTK module.
#include "platform/graphical/gtk_bridge.h"

#include <dlfcn.h>

#include <algorithm>
#include <cstdio>

#include "platform/appkit/alert.h"
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
  host_ = {this, &OnButton, &OnFieldText};
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
    const std::string utf8 = text ? text : "";
    if (!foundation::DecodeText(reinterpret_cast<const uint8_t*>(utf8.data()), utf8.size(),
                                foundation::TextEncoding::Utf8, &units)) {
      return;  // GTK hands over UTF-8 only; anything else is left out
    }
    // A single-line field holds no line breaks or other control characters (a paste may
    // bring them): each becomes a space.
    for (char16_t& unit : units) {
      if (unit < 0x20 || unit == 0x7F || unit == 0x2028 || unit == 0x2029) unit = u' ';
    }
    // The whole text is typed over, as a person selecting all and typing would.
    const size_t length = foundation::StringUnits(objc::Send(field, "stringValue")).size();
    TextFieldSetSelection(field, NSRange{0, length});
    TextFieldReplaceSelection(field, units);
    return;
  }
}
