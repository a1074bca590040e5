// Global hot keys as key grabs on the X server's root window.
#include <X11/XKBlib.h>
#include <X11/Xlib.h>

#include <algorithm>

#include "platform/carbon/carbon_desktop.h"
#include "platform/desktop/key_names.h"
#include "platform/graphical/keysyms.h"
#include "platform/graphical/x11_display.h"
#include "platform/objc/objc.h"

namespace {

// The error a trapped request ended with (0: none), while a trap is set.
int gTrappedError = 0;
int TrapError(Display*, XErrorEvent* error) {
  gTrappedError = error->error_code;
  return 0;
}

unsigned int XModifiers(uint32_t carbon) {
  unsigned int mods = 0;
  if (carbon & kCarbonControl) mods |= ControlMask;
  if (carbon & kCarbonOption) mods |= Mod1Mask;
  if (carbon & kCarbonShift) mods |= ShiftMask;
  if (carbon & kCarbonCommand) mods |= Mod4Mask;
  return mods;
}

unsigned int NumLockMask(Display* display) {
  unsigned int mask = 0;
  const KeyCode num_lock = XKeysymToKeycode(display, 0xff7f);  // XK_Num_Lock
  XModifierKeymap* map = XGetModifierMapping(display);
  if (!map) return 0;
  for (int modifier = 0; modifier < 8 && num_lock; ++modifier) {
    for (int k = 0; k < map->max_keypermod; ++k) {
      if (map->modifiermap[modifier * map->max_keypermod + k] == num_lock) mask = 1u << modifier;
    }
  }
  XFreeModifiermap(map);
  return mask;
}

}  // namespace

bool X11Display::GrabHotKey(uint32_t key_code, uint32_t carbon_modifiers) {
  char16_t character;
  Keysym keysym;
  if (!KeyCodeCharacter(static_cast<uint16_t>(key_code), &character) ||
      !KeysymForCharacter(character, &keysym)) {
    return false;
  }
  const KeyCode x_keycode = XKeysymToKeycode(display_, keysym.value);
  if (x_keycode == 0) return false;  // not on this keyboard layout
  unsigned int modifiers = XModifiers(carbon_modifiers);
  // A character at the key's shifted level needs Shift held to be typed.
  if (XkbKeycodeToKeysym(display_, x_keycode, 0, 0) != keysym.value &&
      XkbKeycodeToKeysym(display_, x_keycode, 0, 1) == keysym.value) {
    modifiers |= ShiftMask;
  }
  num_lock_mask_ = NumLockMask(display_);
  const unsigned int variants[] = {0, LockMask, num_lock_mask_, LockMask | num_lock_mask_};
  XSync(display_, False);
  gTrappedError = 0;
  XErrorHandler previous = XSetErrorHandler(&TrapError);
  for (unsigned int variant : variants) {
    XGrabKey(display_, x_keycode, modifiers | variant, root_, False, GrabModeAsync, GrabModeAsync);
  }
  XSync(display_, False);
  XSetErrorHandler(previous);
  if (gTrappedError != 0) {
    // Another client holds the combination (BadAccess); give back what this grab took. The
    // other client's grabs stay: an ungrab only ever removes this client's own.
    for (unsigned int variant : variants) {
      XUngrabKey(display_, x_keycode, modifiers | variant, root_);
    }
    XSync(display_, False);
    return false;
  }
  grabs_.push_back({key_code, carbon_modifiers, x_keycode, modifiers});
  return true;
}

void X11Display::UngrabHotKey(uint32_t key_code, uint32_t carbon_modifiers) {
  auto found = std::find_if(grabs_.begin(), grabs_.end(), [&](const Grab& grab) {
    return grab.key_code == key_code && grab.carbon == carbon_modifiers;
  });
  if (found == grabs_.end()) return;
  const unsigned int variants[] = {0, LockMask, num_lock_mask_, LockMask | num_lock_mask_};
  for (unsigned int variant : variants) {
    XUngrabKey(display_, found->x_keycode, found->x_modifiers | variant, root_);
  }
  grabs_.erase(found);
  XFlush(display_);
}

void X11Display::ServeHotKeys() {
  // A held key repeats as presses alone, without releases in between, so repeats are known.
  XkbSetDetectableAutoRepeat(display_, True, nullptr);
  static HotKeyService service;
  service.grab = [](void* self, uint32_t code, uint32_t modifiers) {
    return static_cast<X11Display*>(self)->GrabHotKey(code, modifiers);
  };
  service.release = [](void* self, uint32_t code, uint32_t modifiers) {
    static_cast<X11Display*>(self)->UngrabHotKey(code, modifiers);
  };
  service.context = this;
  SetHotKeyService(&service);
}

void X11Display::HandleKey(void* data) {
  const XKeyEvent& key = static_cast<XEvent*>(data)->xkey;
  const auto keycode = static_cast<unsigned char>(key.keycode);
  auto held = std::find(down_.begin(), down_.end(), keycode);
  if (key.type == KeyRelease) {
    if (held != down_.end()) down_.erase(held);
    return;
  }
  if (held != down_.end()) return;  // a repeat of a key still held
  const unsigned int state =
      key.state & ~(LockMask | num_lock_mask_) & (ShiftMask | ControlMask | Mod1Mask | Mod4Mask);
  for (const Grab& grab : grabs_) {
    if (grab.x_keycode != keycode || grab.x_modifiers != state) continue;
    down_.push_back(keycode);
    objc::AutoreleasePool pool;
    CarbonPressHotKey(grab.key_code, grab.carbon);
    return;
  }
}
