// Tests of the Carbon event manager and process manager: hot-key registration, delivery of
// presses to installed handlers, and the front-process request.
#include "platform/carbon/carbon.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "platform/carbon/carbon_desktop.h"

namespace {

constexpr EventTypeSpec kHotKeyPressed{kEventClassKeyboard, kEventHotKeyPressed};

// What a handler saw of each press.
struct Presses {
  std::vector<EventHotKeyID> ids;  // identifiers read from the events, in order
  OSStatus answer = noErr;         // what the handler answers
};

OSStatus RecordPress(EventHandlerCallRef, EventRef event, void* user_data) {
  auto* presses = static_cast<Presses*>(user_data);
  EXPECT_EQ(GetEventClass(event), kEventClassKeyboard) << "a hot-key event has class 'keyb'";
  EXPECT_EQ(GetEventKind(event), kEventHotKeyPressed) << "a hot-key event has kind 5";
  EventHotKeyID id{};
  EventParamType type = 0;
  ByteCount size = 0;
  EXPECT_EQ(GetEventParameter(event, kEventParamDirectObject, typeEventHotKeyID, &type, sizeof id,
                              &size, &id),
            noErr);
  EXPECT_EQ(type, typeEventHotKeyID);
  EXPECT_EQ(size, 8u) << "the identifier is 8 bytes";
  presses->ids.push_back(id);
  return presses->answer;
}

// Installs RecordPress for hot-key presses and removes it at the end of a test.
class InstalledHandler {
 public:
  explicit InstalledHandler(Presses* presses) {
    EXPECT_EQ(InstallEventHandler(GetApplicationEventTarget(), RecordPress, 1, &kHotKeyPressed,
                                  presses, &ref_),
              noErr);
  }
  ~InstalledHandler() { EXPECT_EQ(RemoveEventHandler(ref_), noErr); }

 private:
  EventHandlerRef ref_ = nullptr;
};

bool SameId(EventHotKeyID a, EventHotKeyID b) {
  return a.signature == b.signature && a.id == b.id;
}

std::vector<std::pair<uint32_t, uint32_t>> ListedHotKeys() {
  std::vector<std::pair<uint32_t, uint32_t>> keys;
  CarbonForEachHotKey(
      [](void* context, uint32_t code, uint32_t modifiers) {
        static_cast<std::vector<std::pair<uint32_t, uint32_t>>*>(context)->push_back(
            {code, modifiers});
      },
      &keys);
  return keys;
}

TEST(CarbonHotKeys, PressHandsBackTheIdentifierUnchanged) {
  Presses presses;
  InstalledHandler handler(&presses);
  // The program passes the address of its own record as the identifier's 8 bytes.
  static const uint32_t record[2] = {0x68303031, 1};
  EventHotKeyID id;
  std::memcpy(&id, &record, sizeof id);
  EventHotKeyRef ref = nullptr;
  ASSERT_EQ(
      RegisterEventHotKey(17, controlKey + optionKey, id, GetApplicationEventTarget(), 0, &ref),
      noErr);
  ASSERT_NE(ref, nullptr);

  EXPECT_TRUE(CarbonPressHotKey(17, 6144));
  EXPECT_TRUE(CarbonPressHotKey(17, 6144));
  ASSERT_EQ(presses.ids.size(), 2u) << "each press is delivered once";
  EXPECT_TRUE(SameId(presses.ids[0], id)) << "the identifier comes back byte for byte";
  EXPECT_TRUE(SameId(presses.ids[1], id));

  EXPECT_FALSE(CarbonPressHotKey(17, 4096)) << "other modifiers are another combination";
  EXPECT_FALSE(CarbonPressHotKey(16, 6144));
  EXPECT_EQ(presses.ids.size(), 2u);
  EXPECT_EQ(UnregisterEventHotKey(ref), noErr);
}

TEST(CarbonHotKeys, SameCombinationTwiceIsRefused) {
  EventHotKeyRef first = nullptr, second = nullptr;
  ASSERT_EQ(RegisterEventHotKey(44, 6144, {1, 1}, GetApplicationEventTarget(), 0, &first), noErr);
  EXPECT_EQ(RegisterEventHotKey(44, 6144, {2, 2}, GetApplicationEventTarget(), 0, &second),
            eventHotKeyExistsErr);
  EXPECT_EQ(second, nullptr) << "a refused registration leaves the reference alone";
  EXPECT_EQ(RegisterEventHotKey(44, 6656, {2, 2}, GetApplicationEventTarget(), 0, &second), noErr)
      << "the same key with shift added is a different combination";

  Presses presses;
  InstalledHandler handler(&presses);
  CarbonPressHotKey(44, 6144);
  ASSERT_EQ(presses.ids.size(), 1u);
  EXPECT_EQ(presses.ids[0].signature, 1u) << "the first registration keeps the combination";

  EXPECT_EQ(UnregisterEventHotKey(first), noErr);
  EXPECT_EQ(UnregisterEventHotKey(second), noErr);
}

TEST(CarbonHotKeys, UnregisteredKeyIsNoLongerDelivered) {
  Presses presses;
  InstalledHandler handler(&presses);
  EventHotKeyRef ref = nullptr;
  ASSERT_EQ(RegisterEventHotKey(53, cmdKey, {7, 8}, GetApplicationEventTarget(), 0, &ref), noErr);
  EXPECT_EQ(ListedHotKeys(), (std::vector<std::pair<uint32_t, uint32_t>>{{53, 256}}));
  ASSERT_EQ(UnregisterEventHotKey(ref), noErr);
  EXPECT_FALSE(CarbonPressHotKey(53, 256)) << "no registration matches any more";
  EXPECT_TRUE(presses.ids.empty());
  EXPECT_TRUE(ListedHotKeys().empty());
  EXPECT_EQ(UnregisterEventHotKey(ref), eventHotKeyInvalidErr) << "a second unregister fails";
  EXPECT_EQ(UnregisterEventHotKey(nullptr), eventHotKeyInvalidErr);

  // The combination is free again.
  ASSERT_EQ(RegisterEventHotKey(53, cmdKey, {9, 9}, GetApplicationEventTarget(), 0, &ref), noErr);
  EXPECT_TRUE(CarbonPressHotKey(53, 256));
  ASSERT_EQ(presses.ids.size(), 1u);
  EXPECT_EQ(presses.ids[0].signature, 9u);
  EXPECT_EQ(UnregisterEventHotKey(ref), noErr);
}

TEST(CarbonHotKeys, WithoutHandlerNothingIsDelivered) {
  EventHotKeyRef ref = nullptr;
  ASSERT_EQ(RegisterEventHotKey(49, 6144, {1, 2}, GetApplicationEventTarget(), 0, &ref), noErr);
  EXPECT_TRUE(CarbonPressHotKey(49, 6144)) << "the key matches even with no handler to take it";

  // A handler for another kind of event is not called.
  Presses presses;
  const EventTypeSpec released{kEventClassKeyboard, kEventHotKeyReleased};
  EventHandlerRef other = nullptr;
  ASSERT_EQ(
      InstallEventHandler(GetApplicationEventTarget(), RecordPress, 1, &released, &presses, &other),
      noErr);
  CarbonPressHotKey(49, 6144);
  EXPECT_TRUE(presses.ids.empty()) << "a handler only gets the kinds it asked for";
  EXPECT_EQ(RemoveEventHandler(other), noErr);

  // Nor is a removed one.
  { InstalledHandler handler(&presses); }
  CarbonPressHotKey(49, 6144);
  EXPECT_TRUE(presses.ids.empty()) << "a removed handler gets nothing";
  EXPECT_EQ(RemoveEventHandler(other), paramErr) << "removing twice fails";
  EXPECT_EQ(UnregisterEventHotKey(ref), noErr);
}

TEST(CarbonHotKeys, LaterHandlerFirstAndUnhandledPassesOn) {
  Presses older, newer;
  InstalledHandler first(&older);
  InstalledHandler second(&newer);
  EventHotKeyRef ref = nullptr;
  ASSERT_EQ(RegisterEventHotKey(0, 0, {3, 4}, GetApplicationEventTarget(), 0, &ref), noErr);

  CarbonPressHotKey(0, 0);
  EXPECT_EQ(newer.ids.size(), 1u) << "the handler installed last is called";
  EXPECT_EQ(older.ids.size(), 0u) << "a handled event goes no further";

  newer.answer = eventNotHandledErr;
  CarbonPressHotKey(0, 0);
  EXPECT_EQ(newer.ids.size(), 2u);
  EXPECT_EQ(older.ids.size(), 1u) << "an unhandled event passes to the older handler";
  EXPECT_EQ(UnregisterEventHotKey(ref), noErr);
}

OSStatus RemoveSelfAndUnregister(EventHandlerCallRef, EventRef, void* user_data) {
  auto* refs = static_cast<std::pair<EventHandlerRef, EventHotKeyRef>*>(user_data);
  EXPECT_EQ(RemoveEventHandler(refs->first), noErr);
  EXPECT_EQ(UnregisterEventHotKey(refs->second), noErr);
  return noErr;
}

TEST(CarbonHotKeys, HandlerMayRemoveItselfAndItsKeyWhileCalled) {
  std::pair<EventHandlerRef, EventHotKeyRef> refs{};
  ASSERT_EQ(InstallEventHandler(GetApplicationEventTarget(), RemoveSelfAndUnregister, 1,
                                &kHotKeyPressed, &refs, &refs.first),
            noErr);
  ASSERT_EQ(RegisterEventHotKey(1, 512, {5, 6}, GetApplicationEventTarget(), 0, &refs.second),
            noErr);
  EXPECT_TRUE(CarbonPressHotKey(1, 512));
  EXPECT_FALSE(CarbonPressHotKey(1, 512)) << "the handler unregistered the key";
  EXPECT_TRUE(ListedHotKeys().empty());
}

TEST(CarbonHotKeys, BadArgumentsAreRefused) {
  EventTargetRef app = GetApplicationEventTarget();
  EventHotKeyRef ref = nullptr;
  EXPECT_EQ(RegisterEventHotKey(128, 0, {}, app, 0, &ref), eventHotKeyInvalidErr)
      << "key codes are 7 bits";
  EXPECT_EQ(RegisterEventHotKey(17, 1024, {}, app, 0, &ref), eventHotKeyInvalidErr)
      << "caps lock is not a hot-key modifier";
  EXPECT_EQ(RegisterEventHotKey(17, 0, {}, app, 2, &ref), eventHotKeyInvalidErr);
  EXPECT_EQ(RegisterEventHotKey(17, 0, {}, nullptr, 0, &ref), paramErr);
  EXPECT_EQ(RegisterEventHotKey(17, 0, {}, app, 0, nullptr), paramErr);
  EXPECT_EQ(ref, nullptr);
  EXPECT_TRUE(ListedHotKeys().empty());

  EXPECT_EQ(InstallEventHandler(app, nullptr, 1, &kHotKeyPressed, nullptr, nullptr), paramErr);
  EXPECT_EQ(InstallEventHandler(app, RecordPress, 1, nullptr, nullptr, nullptr), paramErr);
  EXPECT_EQ(InstallEventHandler(nullptr, RecordPress, 1, &kHotKeyPressed, nullptr, nullptr),
            paramErr);
  EXPECT_EQ(RemoveEventHandler(nullptr), paramErr);

  EXPECT_EQ(GetEventClass(nullptr), 0u);
  EXPECT_EQ(GetEventKind(nullptr), 0u);
  uint64_t buffer = 0;
  EXPECT_EQ(GetEventParameter(nullptr, kEventParamDirectObject, typeEventHotKeyID, nullptr, 8,
                              nullptr, &buffer),
            paramErr);
}

// Checks GetEventParameter's refusals from inside a real delivery.
OSStatus CheckParameterErrors(EventHandlerCallRef, EventRef event, void* user_data) {
  unsigned char buffer[9] = {};
  EXPECT_EQ(GetEventParameter(event, 0x6B657920, typeEventHotKeyID, nullptr, 8, nullptr, buffer),
            eventParameterNotFoundErr);
  EXPECT_EQ(
      GetEventParameter(event, kEventParamDirectObject, 0x54455854, nullptr, 8, nullptr, buffer),
      errAECoercionFail);
  EXPECT_EQ(GetEventParameter(event, kEventParamDirectObject, typeEventHotKeyID, nullptr, 7,
                              nullptr, buffer),
            paramErr)
      << "a buffer too small for the identifier is refused";
  EXPECT_EQ(GetEventParameter(event, kEventParamDirectObject, typeEventHotKeyID, nullptr, 8,
                              nullptr, nullptr),
            paramErr);
  // An unaligned buffer and the wildcard type both work.
  EXPECT_EQ(GetEventParameter(event, kEventParamDirectObject, typeWildCard, nullptr, 8, nullptr,
                              buffer + 1),
            noErr);
  std::memcpy(user_data, buffer + 1, 8);
  return noErr;
}

TEST(CarbonHotKeys, EventParameterReadsOnlyTheIdentifier) {
  EventHotKeyID seen{};
  EventHandlerRef handler = nullptr;
  ASSERT_EQ(InstallEventHandler(GetApplicationEventTarget(), CheckParameterErrors, 1,
                                &kHotKeyPressed, &seen, &handler),
            noErr);
  EventHotKeyRef ref = nullptr;
  ASSERT_EQ(
      RegisterEventHotKey(96, 6144, {0xDEADBEEF, 0xFFFFFFFF}, GetApplicationEventTarget(), 0, &ref),
      noErr);
  CarbonPressHotKey(96, 6144);
  EXPECT_EQ(seen.signature, 0xDEADBEEFu);
  EXPECT_EQ(seen.id, 0xFFFFFFFFu);
  EXPECT_EQ(UnregisterEventHotKey(ref), noErr);
  EXPECT_EQ(RemoveEventHandler(handler), noErr);
}

// A desktop service that refuses one combination and records the others.
struct FakeDesktop {
  std::vector<std::pair<uint32_t, uint32_t>> grabbed;   // grab calls, in order
  std::vector<std::pair<uint32_t, uint32_t>> released;  // release calls, in order
};

TEST(CarbonHotKeys, DesktopServiceGrabsAndCanRefuse) {
  FakeDesktop desktop;
  HotKeyService service{[](void* context, uint32_t code, uint32_t modifiers) {
                          static_cast<FakeDesktop*>(context)->grabbed.push_back({code, modifiers});
                          return code != 50;  // the desktop holds code 50 for itself
                        },
                        [](void* context, uint32_t code, uint32_t modifiers) {
                          static_cast<FakeDesktop*>(context)->released.push_back({code, modifiers});
                        },
                        &desktop};
  SetHotKeyService(&service);
  EventHotKeyRef ref = nullptr;
  EXPECT_EQ(RegisterEventHotKey(50, 256, {}, GetApplicationEventTarget(), 0, &ref),
            eventHotKeyExistsErr)
      << "a key the desktop will not grab is not registered";
  EXPECT_TRUE(ListedHotKeys().empty());
  ASSERT_EQ(RegisterEventHotKey(17, 6144, {}, GetApplicationEventTarget(), 0, &ref), noErr);
  EXPECT_EQ(UnregisterEventHotKey(ref), noErr);
  SetHotKeyService(nullptr);

  using Keys = std::vector<std::pair<uint32_t, uint32_t>>;
  EXPECT_EQ(desktop.grabbed, (Keys{{50, 256}, {17, 6144}}));
  EXPECT_EQ(desktop.released, (Keys{{17, 6144}}));
}

TEST(CarbonHotKeys, ListingFollowsRegistrationOrder) {
  EventHotKeyRef a = nullptr, b = nullptr, c = nullptr;
  EventTargetRef app = GetApplicationEventTarget();
  ASSERT_EQ(RegisterEventHotKey(17, 6144, {}, app, 0, &a), noErr);
  ASSERT_EQ(RegisterEventHotKey(44, 6144, {}, app, 0, &b), noErr);
  ASSERT_EQ(RegisterEventHotKey(96, 0, {}, app, 0, &c), noErr);
  ASSERT_EQ(UnregisterEventHotKey(b), noErr);
  ASSERT_EQ(RegisterEventHotKey(44, 6144, {}, app, 0, &b), noErr);
  EXPECT_EQ(ListedHotKeys(),
            (std::vector<std::pair<uint32_t, uint32_t>>{{17, 6144}, {96, 0}, {44, 6144}}));
  for (EventHotKeyRef ref : {a, b, c}) EXPECT_EQ(UnregisterEventHotKey(ref), noErr);
}

// The table of actions lives as long as the process, so each test offers names of its own.
TEST(CarbonActions, OfferedActionsArePerformedListedAndNamedOnHotKeys) {
  int performed = 0;
  auto count = [](void* context) { ++*static_cast<int*>(context); };
  EXPECT_EQ(AddApplicationAction("open-thing", "Open Thing", count, &performed), noErr);
  EXPECT_EQ(AddApplicationAction("open-thing", "Again", count, &performed), paramErr)
      << "a name is offered once";
  for (const char* bad :
       {"", "Open", "9lives", "open thing", "open_thing", "open.thing", "\xc3\xa9t\xc3\xa9"}) {
    EXPECT_EQ(AddApplicationAction(bad, "Title", count, &performed), paramErr) << bad;
  }
  EXPECT_EQ(AddApplicationAction(std::string(65, 'a').c_str(), "T", count, nullptr), paramErr);
  EXPECT_EQ(AddApplicationAction(std::string(64, 'a').c_str(), "T", count, nullptr), noErr);
  EXPECT_EQ(AddApplicationAction("no-title", "", count, nullptr), paramErr);
  EXPECT_EQ(AddApplicationAction("no-title", nullptr, count, nullptr), paramErr);
  EXPECT_EQ(AddApplicationAction("no-procedure", "T", nullptr, nullptr), paramErr);
  EXPECT_EQ(AddApplicationAction(nullptr, "T", count, nullptr), paramErr);

  EXPECT_TRUE(CarbonPerformAction("open-thing"));
  EXPECT_FALSE(CarbonPerformAction("close-thing"));
  EXPECT_FALSE(CarbonPerformAction(nullptr));
  EXPECT_EQ(performed, 1);
  EXPECT_STREQ(CarbonActionTitle("open-thing"), "Open Thing");
  EXPECT_EQ(CarbonActionTitle("no-title"), nullptr);
  std::vector<std::string> listed;
  CarbonForEachAction(
      [](void* context, const char* name, const char*) {
        static_cast<std::vector<std::string>*>(context)->push_back(name);
      },
      &listed);
  EXPECT_NE(std::find(listed.begin(), listed.end(), "open-thing"), listed.end());

  // A hot key tells which action it performs, until it is unregistered.
  EventHotKeyRef ref = nullptr;
  ASSERT_EQ(RegisterEventHotKey(31, cmdKey, {}, GetApplicationEventTarget(), 0, &ref), noErr);
  EXPECT_EQ(CarbonHotKeyAction(31, cmdKey), nullptr) << "not told yet";
  EXPECT_EQ(SetEventHotKeyAction(ref, "never-offered"), paramErr);
  EXPECT_EQ(SetEventHotKeyAction(ref, nullptr), paramErr);
  EXPECT_EQ(SetEventHotKeyAction(ref, "open-thing"), noErr);
  EXPECT_STREQ(CarbonHotKeyAction(31, cmdKey), "open-thing");
  EXPECT_EQ(CarbonHotKeyAction(31, 0), nullptr);
  ASSERT_EQ(UnregisterEventHotKey(ref), noErr);
  EXPECT_EQ(CarbonHotKeyAction(31, cmdKey), nullptr);
  EXPECT_EQ(SetEventHotKeyAction(ref, "open-thing"), eventHotKeyInvalidErr);
}

TEST(CarbonProcesses, SetFrontProcessAcceptsOnlyThisProcess) {
  ProcessSerialNumber psn{};
  ASSERT_EQ(GetCurrentProcess(&psn), noErr);
  EXPECT_EQ(psn.highLongOfPSN, 0u);
  EXPECT_EQ(psn.lowLongOfPSN, static_cast<UInt32>(getpid()));
  EXPECT_EQ(GetCurrentProcess(nullptr), paramErr);

  int raised = 0;
  ProcessService service{[](void* context) {
                           ++*static_cast<int*>(context);
                           return true;
                         },
                         &raised};
  SetProcessService(&service);
  const uint64_t before = CarbonFrontProcessRequests();
  EXPECT_EQ(SetFrontProcess(&psn), noErr);
  const ProcessSerialNumber current{0, kCurrentProcess};
  EXPECT_EQ(SetFrontProcess(&current), noErr);
  const ProcessSerialNumber other{0, psn.lowLongOfPSN + 1};
  EXPECT_EQ(SetFrontProcess(&other), procNotFound);
  EXPECT_EQ(SetFrontProcess(nullptr), paramErr);
  SetProcessService(nullptr);
  EXPECT_EQ(SetFrontProcess(&psn), noErr) << "without a desktop service the request succeeds";

  EXPECT_EQ(CarbonFrontProcessRequests() - before, 3u) << "three requests named this process";
  EXPECT_EQ(raised, 2) << "the desktop saw the two requests made while it was set";
}

}  // namespace
