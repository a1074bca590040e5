// The Carbon event manager: the application event target with its handler stack, hot-key
// registrations, and delivery of hot-key presses as events.
//
//   --- Records ---         the target, handlers, registrations, the event of a press
//   --- Event handlers ---  InstallEventHandler, RemoveEventHandler, dispatch
//   --- Hot keys ---        RegisterEventHotKey, UnregisterEventHotKey, their actions, presses,
//                           listing
//   --- Events ---          GetEventParameter, GetEventClass, GetEventKind
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/carbon/carbon.h"
#include "platform/carbon/carbon_desktop.h"

// --- Records ---

struct OpaqueEventHandlerRef {
  EventHandlerUPP proc;              // the handler; null once removed
  std::vector<EventTypeSpec> types;  // the event kinds it wants
  void* user_data;                   // handed to every call, not owned
};

struct OpaqueEventTargetRef {
  // Handlers in installation order; delivery walks them from the end. Owned.
  std::vector<std::unique_ptr<OpaqueEventHandlerRef>> handlers;
  int dispatch_depth = 0;    // deliveries under way; removal only marks while above 0
  bool has_removed = false;  // a removed handler waits in the list to be swept
};

struct OpaqueEventHotKeyRef {
  UInt32 key_code;        // virtual key code
  UInt32 modifiers;       // Carbon modifiers
  EventHotKeyID id;       // the caller's identifier, handed back unchanged
  EventTargetRef target;  // where presses go
  std::string action;     // the application action it performs; "" when not told
};

// The event of one press; lives on the stack of CarbonPressHotKey.
struct OpaqueEventRef {
  UInt32 event_class;  // kEventClassKeyboard
  UInt32 event_kind;   // kEventHotKeyPressed
  EventHotKeyID id;    // the direct object
};

namespace {

// A desktop cannot hold more; a bound so a runaway caller cannot grow the list forever.
constexpr size_t kMaxHotKeys = 256;

OpaqueEventTargetRef& ApplicationTarget() {
  static OpaqueEventTargetRef target;
  return target;
}

// Registrations in registration order. Owned.
std::vector<std::unique_ptr<OpaqueEventHotKeyRef>>& HotKeys() {
  static std::vector<std::unique_ptr<OpaqueEventHotKeyRef>> keys;
  return keys;
}

HotKeyService hot_key_service{};  // all null: no desktop grabs keys

bool Wants(const OpaqueEventHandlerRef& handler, UInt32 event_class, UInt32 event_kind) {
  for (const EventTypeSpec& type : handler.types) {
    if (type.eventClass == event_class && type.eventKind == event_kind) return true;
  }
  return false;
}

// Drops handlers removed during a delivery, once no delivery is under way.
void SweepRemoved(OpaqueEventTargetRef& target) {
  if (target.dispatch_depth > 0 || !target.has_removed) return;
  std::erase_if(target.handlers, [](const auto& handler) { return handler->proc == nullptr; });
  target.has_removed = false;
}

// Calls the target's handlers for the event, latest first, until one handles it. Handlers
// installed during the delivery are not called by it.
OSStatus Dispatch(OpaqueEventTargetRef& target, OpaqueEventRef& event) {
  OSStatus result = eventNotHandledErr;
  ++target.dispatch_depth;
  for (size_t i = target.handlers.size(); i-- > 0;) {
    OpaqueEventHandlerRef& handler = *target.handlers[i];
    if (handler.proc == nullptr || !Wants(handler, event.event_class, event.event_kind)) {
      continue;
    }
    // The call reference only identifies the handler; nothing here reads it back.
    result =
        handler.proc(reinterpret_cast<EventHandlerCallRef>(&handler), &event, handler.user_data);
    if (result != eventNotHandledErr) break;
  }
  --target.dispatch_depth;
  SweepRemoved(target);
  return result;
}

bool IsApplicationTarget(EventTargetRef target) {
  return target == &ApplicationTarget();
}

}  // namespace

// --- Event handlers ---

extern "C" EventTargetRef GetApplicationEventTarget(void) {
  return &ApplicationTarget();
}

extern "C" OSStatus InstallEventHandler(EventTargetRef target, EventHandlerUPP handler,
                                        ItemCount numTypes, const EventTypeSpec* list,
                                        void* userData, EventHandlerRef* outRef) {
  if (!IsApplicationTarget(target) || handler == nullptr) return paramErr;
  if (numTypes > 0 && list == nullptr) return paramErr;
  auto record = std::make_unique<OpaqueEventHandlerRef>();
  record->proc = handler;
  record->types.assign(list, list + numTypes);
  record->user_data = userData;
  if (outRef != nullptr) *outRef = record.get();
  target->handlers.push_back(std::move(record));
  return noErr;
}

extern "C" OSStatus RemoveEventHandler(EventHandlerRef handler) {
  OpaqueEventTargetRef& target = ApplicationTarget();
  for (auto& record : target.handlers) {
    if (record.get() != handler || record->proc == nullptr) continue;
    record->proc = nullptr;
    target.has_removed = true;
    SweepRemoved(target);
    return noErr;
  }
  return paramErr;
}

// --- Hot keys ---

void SetHotKeyService(const HotKeyService* service) {
  hot_key_service = service != nullptr ? *service : HotKeyService{};
}

extern "C" OSStatus RegisterEventHotKey(UInt32 inHotKeyCode, UInt32 inHotKeyModifiers,
                                        EventHotKeyID inHotKeyID, EventTargetRef inTarget,
                                        OptionBits inOptions, EventHotKeyRef* outRef) {
  if (!IsApplicationTarget(inTarget) || outRef == nullptr) return paramErr;
  // Virtual key codes are 7 bits; other modifier bits (caps lock, the right-hand keys) cannot
  // be grabbed reliably on Linux desktops, so they are refused rather than ignored.
  constexpr UInt32 kKnownModifiers = cmdKey | shiftKey | optionKey | controlKey;
  if (inHotKeyCode > 127 || (inHotKeyModifiers & ~kKnownModifiers) != 0 ||
      (inOptions & ~kEventHotKeyExclusive) != 0) {
    return eventHotKeyInvalidErr;
  }
  auto& keys = HotKeys();
  for (const auto& key : keys) {
    if (key->key_code == inHotKeyCode && key->modifiers == inHotKeyModifiers) {
      return eventHotKeyExistsErr;
    }
  }
  if (keys.size() >= kMaxHotKeys) return memFullErr;
  if (hot_key_service.grab != nullptr &&
      !hot_key_service.grab(hot_key_service.context, inHotKeyCode, inHotKeyModifiers)) {
    return eventHotKeyExistsErr;
  }
  auto record = std::make_unique<OpaqueEventHotKeyRef>();
  *record = {inHotKeyCode, inHotKeyModifiers, inHotKeyID, inTarget, {}};
  *outRef = record.get();
  keys.push_back(std::move(record));
  return noErr;
}

extern "C" OSStatus UnregisterEventHotKey(EventHotKeyRef inHotKey) {
  auto& keys = HotKeys();
  for (auto it = keys.begin(); it != keys.end(); ++it) {
    if (it->get() != inHotKey) continue;
    const UInt32 code = inHotKey->key_code;
    const UInt32 modifiers = inHotKey->modifiers;
    keys.erase(it);
    if (hot_key_service.release != nullptr) {
      hot_key_service.release(hot_key_service.context, code, modifiers);
    }
    return noErr;
  }
  return eventHotKeyInvalidErr;
}

extern "C" OSStatus SetEventHotKeyAction(EventHotKeyRef inHotKey, const char* inActionName) {
  if (inActionName == nullptr || CarbonActionTitle(inActionName) == nullptr) return paramErr;
  for (const auto& key : HotKeys()) {
    if (key.get() != inHotKey) continue;
    key->action = inActionName;
    return noErr;
  }
  return eventHotKeyInvalidErr;
}

const char* CarbonHotKeyAction(uint32_t key_code, uint32_t carbon_modifiers) {
  for (const auto& key : HotKeys()) {
    if (key->key_code == key_code && key->modifiers == carbon_modifiers) {
      return key->action.empty() ? nullptr : key->action.c_str();
    }
  }
  return nullptr;
}

bool CarbonPressHotKey(uint32_t key_code, uint32_t carbon_modifiers) {
  for (const auto& key : HotKeys()) {
    if (key->key_code != key_code || key->modifiers != carbon_modifiers) continue;
    // Copied out first: a handler may unregister the key while it runs.
    OpaqueEventRef event{kEventClassKeyboard, kEventHotKeyPressed, key->id};
    Dispatch(*key->target, event);
    return true;
  }
  return false;
}

void CarbonForEachHotKey(void (*visit)(void* context, uint32_t key_code, uint32_t carbon_modifiers),
                         void* context) {
  if (visit == nullptr) return;
  for (const auto& key : HotKeys()) visit(context, key->key_code, key->modifiers);
}

// --- Events ---

extern "C" OSStatus GetEventParameter(EventRef inEvent, EventParamName inName,
                                      EventParamType inDesiredType, EventParamType* outActualType,
                                      ByteCount inBufferSize, ByteCount* outActualSize,
                                      void* outData) {
  if (inEvent == nullptr || outData == nullptr) return paramErr;
  if (inName != kEventParamDirectObject) return eventParameterNotFoundErr;
  if (inDesiredType != typeEventHotKeyID && inDesiredType != typeWildCard) {
    return errAECoercionFail;
  }
  if (inBufferSize < sizeof(EventHotKeyID)) return paramErr;
  static_assert(sizeof(EventHotKeyID) == 8, "a hot-key identifier is 8 bytes");
  std::memcpy(outData, &inEvent->id, sizeof(EventHotKeyID));  // the buffer may be unaligned
  if (outActualType != nullptr) *outActualType = typeEventHotKeyID;
  if (outActualSize != nullptr) *outActualSize = sizeof(EventHotKeyID);
  return noErr;
}

extern "C" UInt32 GetEventClass(EventRef inEvent) {
  return inEvent != nullptr ? inEvent->event_class : 0;
}

extern "C" UInt32 GetEventKind(EventRef inEvent) {
  return inEvent != nullptr ? inEvent->event_kind : 0;
}
