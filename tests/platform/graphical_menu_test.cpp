// The graphical desktop's view of the status menu: the tree a panel reads (labels, states,
// shortcuts, stable numbers), the answers to dbusmenu calls (bad input refused, clicks
// chosen), and the status line the tooltip shows.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/foundation/array.h"
#include "platform/graphical/dbus_menu.h"
#include "platform/graphical/menu_layout.h"
#include "tests/platform/appkit_test_support.h"

namespace {

std::vector<std::string> gChosen;  // titles of the items whose action ran

void Choose(id, SEL, id item) {
  gChosen.push_back(Utf8(objc::Send(item, "title")));
}

id Target() {
  static id target = [] {
    Class cls = objc::DefineClass("GraphicalMenuTestTarget", "NSObject");
    objc::AddMethod(cls, "choose:", &Choose);
    return objc::Send(reinterpret_cast<id>(cls), "new");
  }();
  return target;
}

id AddItem(id menu, const char* title, const char* key = "", NSUInteger mask = 0) {
  id item = objc::Send(objc::Send(Cls("NSMenuItem"), "alloc"),
                       "initWithTitle:action:keyEquivalent:", Str(title),
                       sel_registerName("choose:"), Str(key));
  objc::Send<void>(item, "setKeyEquivalentModifierMask:", mask);
  objc::Send<void>(item, "setTarget:", Target());
  objc::Send<void>(menu, "addItem:", item);
  objc_release(item);
  return item;
}

void AddSeparator(id menu) {
  objc::Send<void>(menu, "addItem:", objc::Send(Cls("NSMenuItem"), "separatorItem"));
}

// A menu whose items keep the enabled flags they are given, as the status menu does.
id NewMenu() {
  id menu = objc::Autorelease(objc::Send(Cls("NSMenu"), "new"));
  objc::Send<void>(menu, "setAutoenablesItems:", NO);
  return menu;
}

// The status menu as the application builds it.
id StatusMenu() {
  id menu = NewMenu();
  AddItem(menu, "Edit Task", "t", kModifierControl | kModifierOption);
  id clear = AddItem(menu, "Clear Task", "/", kModifierControl | kModifierOption);
  objc::Send<void>(clear, "setEnabled:", NO);
  AddSeparator(menu);
  id line = AddItem(menu, "No Reminder Set");
  objc::Send<void>(line, "setEnabled:", NO);
  AddSeparator(menu);
  AddItem(menu, "Quit");
  return menu;
}

class GraphicalMenuTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InstallScriptedDesktop();
    SharedApp();
    gChosen.clear();
  }
  objc::AutoreleasePool pool_;
};

std::vector<std::string> Labels(const MenuEntry& root) {
  std::vector<std::string> labels;
  for (const MenuEntry& entry : root.children)
    labels.push_back(entry.separator ? "-" : entry.label);
  return labels;
}

TEST_F(GraphicalMenuTest, LayoutShowsLabelsStatesAndShortcutsAsPanelsReadThem) {
  id menu = StatusMenu();
  AddItem(menu, "Save_as\tCmd-S");
  id hidden = AddItem(menu, "Hidden");
  objc::Send<void>(hidden, "setHidden:", YES);
  MenuItemNumbers numbers;
  const MenuEntry root = MenuLayoutOf(menu, &numbers);
  EXPECT_EQ(root.id, 0);
  EXPECT_EQ(Labels(root),
            (std::vector<std::string>{"Edit Task", "Clear Task", "-", "No Reminder Set", "-",
                                      "Quit", "Save__as", "Hidden"}))
      << "labels end at a tab and double their underscores; separators are entries too";
  EXPECT_EQ(root.children[0].shortcut, (std::vector<std::string>{"Control", "Alt", "t"}));
  EXPECT_EQ(root.children[1].shortcut, (std::vector<std::string>{"Control", "Alt", "slash"}));
  EXPECT_TRUE(root.children[5].shortcut.empty()) << "an item without a key has no shortcut";
  EXPECT_TRUE(root.children[0].enabled);
  EXPECT_FALSE(root.children[1].enabled);
  EXPECT_FALSE(root.children[7].visible);

  // Numbers stay with their items across rebuilds and are never given twice.
  const MenuEntry again = MenuLayoutOf(menu, &numbers);
  EXPECT_TRUE(again.SameShape(root));
  const int32_t quit = root.children[5].id;
  objc::Send<void>(menu, "removeItemAtIndex:", NSInteger{0});
  AddItem(menu, "Later");
  const MenuEntry changed = MenuLayoutOf(menu, &numbers);
  numbers.KeepOnly(MenuEntryIds(changed));
  EXPECT_FALSE(changed.SameShape(root));
  EXPECT_EQ(changed.children[4].id, quit);
  EXPECT_EQ(numbers.ItemNumbered(root.children[0].id), nil) << "a removed item loses its number";
  for (int32_t id : MenuEntryIds(root)) {
    EXPECT_NE(changed.children.back().id, id) << "a new item never takes an old number";
  }
}

TEST_F(GraphicalMenuTest, ShortcutsNameKeysymsWithTheirModifiers) {
  using Keys = std::vector<std::string>;
  EXPECT_EQ(DbusMenuShortcut(u"T", kModifierControl), (Keys{"Control", "Shift", "t"}))
      << "an upper-case key equivalent means shift";
  EXPECT_EQ(DbusMenuShortcut(u"\xF708", kModifierCommand | kModifierShift),
            (Keys{"Shift", "Super", "F5"}));
  EXPECT_EQ(DbusMenuShortcut(u",", kModifierCommand), (Keys{"Super", "comma"}));
  EXPECT_EQ(DbusMenuShortcut(u"\x1b", 0), (Keys{"Escape"}));
  EXPECT_EQ(DbusMenuShortcut(u"\xF72C", kModifierOption), (Keys{"Alt", "Page_Up"}));
  EXPECT_TRUE(DbusMenuShortcut(u"", kModifierCommand).empty());
  EXPECT_TRUE(DbusMenuShortcut(u"\u00e9", kModifierCommand).empty()) << "no keysym known";
  EXPECT_TRUE(DbusMenuShortcut(u"ab", kModifierCommand).empty());
}

TEST_F(GraphicalMenuTest, StatusLineIsTheLoneDisabledLine) {
  MenuItemNumbers numbers;
  EXPECT_EQ(MenuStatusLine(MenuLayoutOf(StatusMenu(), &numbers)), "No Reminder Set")
      << "Clear Task is disabled too, but it sits beside Edit Task and has a key";
  id locked = StatusMenu();
  for (id item : foundation::ArrayItems(objc::Send(locked, "itemArray"))) {
    objc::Send<void>(item, "setEnabled:", NO);
  }
  EXPECT_EQ(MenuStatusLine(MenuLayoutOf(locked, &numbers)), "No Reminder Set")
      << "with every item locked the first lone line is still the status line";
  id plain = NewMenu();
  AddItem(plain, "Quit");
  EXPECT_EQ(MenuStatusLine(MenuLayoutOf(plain, &numbers)), "");
}

// How many values the child at index of a reply holds.
size_t ChildCount(GVariant* reply, size_t index) {
  GVariant* child = g_variant_get_child_value(reply, index);
  const size_t count = g_variant_n_children(child);
  g_variant_unref(child);
  return count;
}

GVariant* Params(const char* text) {
  return g_variant_ref_sink(g_variant_new_parsed(text));
}

TEST_F(GraphicalMenuTest, CallsAnswerLayoutsAndRefuseBadInputWithoutChangingAnything) {
  DbusMenu menu(nullptr);
  EXPECT_FALSE(menu.Exported());
  menu.Refresh(StatusMenu());
  const int32_t edit = menu.Root().children[0].id;
  const int32_t clear = menu.Root().children[1].id;

  GVariant* layout = Params("(0, -1, @as [])");
  MenuAnswer answer = menu.Answer("GetLayout", layout);
  ASSERT_TRUE(answer.error.empty()) << answer.error;
  GVariant* children = nullptr;
  g_variant_get(answer.reply, "(u(i@a{sv}@av))", nullptr, nullptr, nullptr, &children);
  EXPECT_EQ(g_variant_n_children(children), 6u) << "the whole tree: six entries under the root";
  g_variant_unref(children);
  g_variant_unref(layout);

  // Only the asked-for properties, and depth 0 gives no children.
  GVariant* filtered = Params("(0, 0, ['label'])");
  answer = menu.Answer("GetLayout", filtered);
  gchar* text = g_variant_print(answer.reply, FALSE);
  EXPECT_STREQ(text, "(2, (0, {}, []))");
  g_free(text);
  g_variant_unref(filtered);

  struct Bad {
    const char* method;
    const char* params;  // null: no parameters at all
  } bad[] = {
      {"GetLayout", "(12345, -1, @as [])"},
      {"GetLayout", "('zero',)"},
      {"GetProperty", "(999, 'label')"},
      {"Event", "(-7, 'clicked', <''>, uint32 0)"},
      {"Event", "(0, 'clicked')"},
      {"EventGroup", "(@a(isvu) [(99, 'clicked', <0>, 0)],)"},
      {"EventGroup", "(@a(isvu) [],)"},
      {"AboutToShow", "(424242,)"},
      {"NoSuchMethod", "()"},
      {"Event", nullptr},
  };
  for (const Bad& call : bad) {
    GVariant* params = call.params ? Params(call.params) : nullptr;
    answer = menu.Answer(call.method, params);
    EXPECT_FALSE(answer.error.empty()) << call.method << " " << (call.params ? call.params : "");
    EXPECT_EQ(answer.choose, 0);
    if (params) g_variant_unref(params);
  }
  GVariant* property = Params("(1, 'no-such-property')");
  EXPECT_FALSE(menu.Answer("GetProperty", property).error.empty());
  g_variant_unref(property);

  // Unknown ids are left out of groups or listed as errors, known ones answered.
  GVariant* group =
      g_variant_ref_sink(g_variant_new_parsed("(@ai [%i, 77777, %i], @as [])", edit, clear));
  answer = menu.Answer("GetGroupProperties", group);
  EXPECT_EQ(ChildCount(answer.reply, 0), 2u);
  g_variant_unref(group);
  GVariant* shown = g_variant_ref_sink(g_variant_new_parsed("(@ai [%i, -1],)", edit));
  answer = menu.Answer("AboutToShowGroup", shown);
  text = g_variant_print(answer.reply, FALSE);
  EXPECT_STREQ(text, "([], [-1])");
  g_free(text);
  g_variant_unref(shown);
  EXPECT_TRUE(gChosen.empty()) << "nothing bad was chosen";

  // A click names the item to choose; choosing runs its action, but never a disabled one's.
  GVariant* click = g_variant_ref_sink(g_variant_new_parsed("(%i, 'clicked', <''>, @u 0)", edit));
  answer = menu.Answer("Event", click);
  EXPECT_EQ(answer.choose, edit);
  menu.Choose(answer.choose);
  g_variant_unref(click);
  menu.Choose(clear);
  menu.Choose(0);
  EXPECT_EQ(gChosen, std::vector<std::string>{"Edit Task"});
}

}  // namespace
