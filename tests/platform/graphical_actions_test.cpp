// The application's actions as the session bus sees them (the answers of
// org.freedesktop.Application and org.gtk.Actions), and the hot keys as the GlobalShortcuts
// portal is asked for them (triggers, ids, descriptions).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/carbon/carbon.h"
#include "platform/carbon/carbon_desktop.h"
#include "platform/graphical/application_service.h"
#include "platform/graphical/global_shortcuts.h"

namespace {

int gWatered = 0;  // performances of "water-plants"

// Offers the test's actions once: the table lives as long as the process.
void OfferTestActions() {
  static bool offered = [] {
    AddApplicationAction(
        "water-plants", "Water Plants", [](void*) { ++gWatered; }, nullptr);
    AddApplicationAction(
        "feed-cat", "Feed Cat", [](void*) {}, nullptr);
    return true;
  }();
  (void)offered;
}

// A call's answer, the reply printed as GVariant text or the error's name.
std::string Answer(const char* interface, const char* method, const char* parameters) {
  GVariant* input = parameters ? g_variant_ref_sink(g_variant_new_parsed(parameters)) : nullptr;
  ActionCallAnswer answer = AnswerActionCall(interface, method, input);
  if (input) g_variant_unref(input);
  if (!answer.reply) return answer.error_name;
  g_variant_ref_sink(answer.reply);
  gchar* text = g_variant_print(answer.reply, FALSE);
  std::string printed = text;
  g_free(text);
  g_variant_unref(answer.reply);
  return printed;
}

TEST(GraphicalApplicationActions, CallsListDescribeAndPerformTheActions) {
  OfferTestActions();
  const std::string list = Answer("org.gtk.Actions", "List", nullptr);
  EXPECT_NE(list.find("'water-plants', 'feed-cat'"), std::string::npos) << list;
  EXPECT_EQ(Answer("org.gtk.Actions", "Describe", "('feed-cat',)"), "((true, '', []),)");
  const std::string all = Answer("org.gtk.Actions", "DescribeAll", nullptr);
  EXPECT_NE(all.find("'feed-cat': (true, '', [])"), std::string::npos) << all;

  const int before = gWatered;
  EXPECT_EQ(Answer("org.gtk.Actions", "Activate", "('water-plants', @av [], @a{sv} {})"), "()");
  EXPECT_EQ(Answer("org.freedesktop.Application", "ActivateAction",
                   "('water-plants', @av [], @a{sv} {'desktop-startup-id': <'x'>})"),
            "()");
  EXPECT_EQ(gWatered, before + 2);
  EXPECT_EQ(Answer("org.freedesktop.Application", "Activate", "(@a{sv} {},)"), "()");
}

TEST(GraphicalApplicationActions, BadCallsAreRefusedAndPerformNothing) {
  OfferTestActions();
  const int before = gWatered;
  const char* kInvalid = "org.freedesktop.DBus.Error.InvalidArgs";
  EXPECT_EQ(Answer("org.gtk.Actions", "Activate", "('water-plants', [<1>], @a{sv} {})"), kInvalid)
      << "the actions take no parameter";
  EXPECT_EQ(Answer("org.gtk.Actions", "Activate", "('Water-Plants', @av [], @a{sv} {})"), kInvalid);
  EXPECT_EQ(Answer("org.freedesktop.Application", "ActivateAction", "('', @av [], @a{sv} {})"),
            kInvalid);
  EXPECT_EQ(Answer("org.gtk.Actions", "Describe", "('water',)"), kInvalid);
  EXPECT_EQ(Answer("org.freedesktop.Application", "Open", "(['file:///x'], @a{sv} {})"),
            "org.freedesktop.DBus.Error.NotSupported");
  EXPECT_EQ(Answer("org.gtk.Actions", "Quit", nullptr), "org.freedesktop.DBus.Error.UnknownMethod");
  EXPECT_EQ(Answer(nullptr, nullptr, nullptr), "org.freedesktop.DBus.Error.UnknownMethod");
  EXPECT_EQ(gWatered, before);
}

TEST(GraphicalApplicationActions, ObjectPathComesFromTheBusName) {
  EXPECT_EQ(ObjectPathOfBusName("com.quorv.Mindel"), "/com/quorv/Mindel");
  EXPECT_EQ(ObjectPathOfBusName("org.example.my-app"), "/org/example/my_app");
}

TEST(GraphicalGlobalShortcuts, TriggersUseThePortalsModifierAndKeyNames) {
  struct Case {
    uint32_t code, modifiers;
    const char* trigger;
  };
  const Case cases[] = {
      {17, controlKey + optionKey, "CTRL+ALT+t"},
      {44, controlKey + optionKey, "CTRL+ALT+slash"},
      {53, cmdKey, "LOGO+Escape"},
      {36, shiftKey, "SHIFT+Return"},
      {96, 0, "F5"},
      {18, shiftKey, "SHIFT+1"},
      {49, controlKey + optionKey + shiftKey + cmdKey, "CTRL+ALT+SHIFT+LOGO+space"},
  };
  for (const Case& c : cases) {
    std::string trigger;
    EXPECT_TRUE(ShortcutTrigger(c.code, c.modifiers, &trigger)) << c.trigger;
    EXPECT_EQ(trigger, c.trigger);
  }
  std::string trigger = "kept";
  EXPECT_FALSE(ShortcutTrigger(128, 0, &trigger)) << "beyond the virtual key codes";
  EXPECT_FALSE(ShortcutTrigger(52, 0, &trigger)) << "a code no key has";
  EXPECT_EQ(trigger, "kept");
}

TEST(GraphicalGlobalShortcuts, WantedShortcutsAreNamedByTheirActions) {
  OfferTestActions();
  EventHotKeyRef named = nullptr;
  EventHotKeyRef plain = nullptr;
  ASSERT_EQ(RegisterEventHotKey(13, controlKey, {}, GetApplicationEventTarget(), 0, &named), noErr);
  ASSERT_EQ(SetEventHotKeyAction(named, "water-plants"), noErr);
  ASSERT_EQ(RegisterEventHotKey(122, 0, {}, GetApplicationEventTarget(), 0, &plain), noErr);
  const std::vector<PortalShortcut> wanted = WantedShortcuts();
  const std::vector<PortalShortcut> expected = {
      {"water-plants", "Water Plants", "CTRL+w"},
      {"hot-key-122-0", "Hot key", "F1"},
  };
  EXPECT_EQ(wanted, expected);
  UnregisterEventHotKey(named);
  UnregisterEventHotKey(plain);
  EXPECT_TRUE(WantedShortcuts().empty());
}

}  // namespace
