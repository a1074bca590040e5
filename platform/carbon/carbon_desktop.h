// The desktop's side of the Carbon calls: pressing registered hot keys, listing them, and the
// services a desktop plugs in to grab keys and raise the application.
#pragma once

#include <cstdint>

// A desktop's way of grabbing global keys. Set with SetHotKeyService; both operations are
// called on the main thread.
struct HotKeyService {
  // Called by RegisterEventHotKey before it records the key; false refuses the registration
  // (the key is held elsewhere), and RegisterEventHotKey then fails.
  bool (*grab)(void* context, uint32_t key_code, uint32_t carbon_modifiers);
  // Called by UnregisterEventHotKey after it dropped the key.
  void (*release)(void* context, uint32_t key_code, uint32_t carbon_modifiers);
  void* context;  // handed to both, owned by the desktop
};

// Installs the service (copied); null removes it. Keys registered before are not grabbed
// again: a desktop sets its service before the program starts.
void SetHotKeyService(const HotKeyService* service);

// Delivers a press of the combination to the handlers of the application target for
// {kEventClassKeyboard, kEventHotKeyPressed}, with the registration's identifier as the
// event's direct object. Returns whether a registered hot key matched (even when no handler
// took it). Call it on the main thread, from inside the event wait.
bool CarbonPressHotKey(uint32_t key_code, uint32_t carbon_modifiers);

// Calls visit with every registered hot key, in registration order.
void CarbonForEachHotKey(void (*visit)(void* context, uint32_t key_code, uint32_t carbon_modifiers),
                         void* context);

// The action a registered hot key performs (SetEventHotKeyAction); null when it names none.
const char* CarbonHotKeyAction(uint32_t key_code, uint32_t carbon_modifiers);

// Performs the application's action called name; false when there is none.
bool CarbonPerformAction(const char* name);
// The title of the action called name; null when there is none.
const char* CarbonActionTitle(const char* name);
// Calls visit with every action offered, in the order they were added.
void CarbonForEachAction(void (*visit)(void* context, const char* name, const char* title),
                         void* context);

// A desktop's way of raising the application; raise answers false when it cannot.
struct ProcessService {
  bool (*raise)(void* context);
  void* context;  // owned by the desktop
};

// Installs the service (copied); null removes it.
void SetProcessService(const ProcessService* service);

// How many times SetFrontProcess has been asked for this process since the start.
uint64_t CarbonFrontProcessRequests();
