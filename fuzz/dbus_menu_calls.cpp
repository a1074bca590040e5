// Fuzzes the menu's answers to what a panel sends over the session bus: com.canonical.dbusmenu
// method calls with any values, in the method's own type (read from the input's bytes as the
// bus would deliver them) or in any other type (parsed from text). Every call gets a reply or
// an error, never both, a wrongly typed call an error, and no call changes the menu.
#include <glib.h>

#include <cstdint>
#include <string>

#include "fuzz/fuzz_check.h"
#include "fuzz/quiet_desktop.h"
#include "platform/appkit/appkit.h"
#include "platform/desktop/desktop.h"
#include "platform/foundation/string.h"
#include "platform/graphical/dbus_menu.h"

namespace {

struct MenuMethod {
  const char* name;
  const char* type;  // the arguments' type; null for a method the interface does not have
};
constexpr MenuMethod kMethods[] = {
    {"GetLayout", "(iias)"},      {"GetGroupProperties", "(aias)"},
    {"GetProperty", "(is)"},      {"Event", "(isvu)"},
    {"EventGroup", "(a(isvu))"},  {"AboutToShow", "(i)"},
    {"AboutToShowGroup", "(ai)"}, {"Unknown", nullptr},
};

id AddItem(id menu, const char* title, const char* key, bool enabled) {
  id item = objc::Send(objc::Send(objc_lookUpClass("NSMenuItem"), "alloc"),
                       "initWithTitle:action:keyEquivalent:", foundation::MakeStringFromUtf8(title),
                       sel_registerName("fuzzChoose:"), foundation::MakeStringFromUtf8(key));
  objc::Send<void>(item, "setEnabled:", enabled ? YES : NO);
  objc::Send<void>(menu, "addItem:", item);
  objc::Release(item);
  return item;
}

// The status menu as the program builds it, with a submenu for depth.
DbusMenu& Menu() {
  static DbusMenu* menu = [] {
    static QuietDesktop desktop;
    SetCurrentDesktop(&desktop);
    objc::AutoreleasePool pool;
    id status = objc::Send(objc_lookUpClass("NSMenu"), "new");
    objc::Send<void>(status, "setAutoenablesItems:", NO);
    AddItem(status, "Edit Task", "t", true);
    AddItem(status, "Clear_Task", "/", false);
    objc::Send<void>(status,
                     "addItem:", objc::Send(objc_lookUpClass("NSMenuItem"), "separatorItem"));
    AddItem(status, "No Reminder Set", "", false);
    id more = AddItem(status, "More", "", true);
    id submenu = objc::Send(objc_lookUpClass("NSMenu"), "new");
    AddItem(submenu, "Inner", "x", true);
    objc::Send<void>(more, "setSubmenu:", submenu);
    objc::Release(submenu);
    auto* made = new DbusMenu(nullptr);
    made->Refresh(status);
    objc::Release(status);
    return made;
  }();
  return *menu;
}

bool SameTree(const MenuEntry& a, const MenuEntry& b) {
  if (!a.SameShape(b) || !a.SameProperties(b)) return false;
  for (size_t i = 0; i < a.children.size(); ++i) {
    if (!SameTree(a.children[i], b.children[i])) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  DbusMenu& menu = Menu();
  objc::AutoreleasePool pool;
  const MenuEntry before = menu.Root();
  const MenuMethod& method = kMethods[(data[0] & 0x7F) % std::size(kMethods)];
  const bool as_text = (data[0] & 0x80) != 0;
  GVariant* parameters = nullptr;
  if (as_text) {
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    parameters = g_variant_parse(nullptr, text.c_str(), nullptr, nullptr, nullptr);
  } else if (method.type) {
    GBytes* bytes = g_bytes_new(data + 1, size - 1);
    parameters =
        g_variant_ref_sink(g_variant_new_from_bytes(G_VARIANT_TYPE(method.type), bytes, FALSE));
    g_bytes_unref(bytes);
  }
  {
    MenuAnswer answer = menu.Answer(method.name, parameters);
    FUZZ_CHECK(
        answer.error.empty() != (answer.reply == nullptr) || method.name == std::string("Event"),
        "a reply or an error, never both and never neither (Event replies with nothing)");
    FUZZ_CHECK(answer.error.empty() || answer.choose == 0, "a refused call chooses nothing");
    const bool typed =
        parameters && method.type && g_variant_is_of_type(parameters, G_VARIANT_TYPE(method.type));
    FUZZ_CHECK(typed || !answer.error.empty(), "a wrongly typed call is refused");
    if (answer.choose) {
      FUZZ_CHECK(FindMenuEntry(menu.Root(), answer.choose) != nullptr,
                 "only an item of the menu is chosen");
    }
  }
  if (parameters) g_variant_unref(parameters);
  FUZZ_CHECK(SameTree(before, menu.Root()), "a call never changes the menu");
  return 0;
}
