// The GUI runtime's event queue: platform callbacks post small numbered records, the program's
// loop waits, fetches one and reads it through the accessors.
//
// Posting flags: bit 0 delivers while events are suppressed, bit 1 never coalesces and runs
// bound callbacks at fetch time, bit 2 always wakes the platform loop. Platform callbacks post
// with flags 0 (QueueUiEvent), program code with flags 7 (QueueProgramEvent).
#pragma once

#include <cstdint>

#include "platform/objc/runtime.h"

// --- Event types ---
enum : int32_t {
  MenuEvent = 1,
  CloseWindowEvent = 2,
  GadgetEvent = 3,
  RepaintEvent = 4,
  MoveWindowEvent = 5,
  SizeWindowEvent = 6,
  ActivateWindowEvent = 7,
  DeactivateWindowEvent = 8,
  WindowDropEvent = 10,
  GadgetDropEvent = 11,
  MinimizeWindowEvent = 12,
  MaximizeWindowEvent = 13,
  RestoreWindowEvent = 14,
  TimerEvent = 15,
  RightClickEvent = 16,
  LeftClickEvent = 17,
  LeftDoubleClickEvent = 18,
  FirstProgramEvent = 65536,
};

// --- Gadget subtypes (the subtype of a GadgetEvent) ---
enum : int64_t {
  SubtypeDefault = 0,
  SubtypeUp = 4,
  SubtypeDown = 5,
  SubtypeFocus = 256,
  SubtypeLostFocus = 512,
  SubtypeChange = 768,
};

// --- Application menu item numbers ---
enum : int64_t {
  PreferencesItem = -2,
  AboutItem = -3,
  QuitItem = -4,
};

// --- Posting flags ---
enum : uint32_t {
  kEventEvenWhenSuppressed = 1,  // delivered while the suppression counter is above 0
  kEventNoCoalesce = 2,          // never coalesced; bound callbacks run when fetched
  kEventAlwaysWake = 4,          // always wakes the platform loop
  kProgramEventFlags = 7,        // what program code posts with
};

typedef void (*EventDataFree)(void* data);

// One queued event; records come from the queue's block pool (56 bytes each).
struct EventRecord {
  EventRecord* next;       // next record towards the tail; null at the tail
  int32_t type;            // event type
  uint32_t flags;          // posting flags
  int64_t object;          // gadget, menu item or timer number; the window number again for
                           // window events
  int64_t window;          // window the event belongs to; -1 when none
  int64_t subtype;         // refinement of the type; 0 when none
  void* data;              // payload owned by the event (drop events); 0 when none
  EventDataFree freeData;  // releases data; null when data needs no release
};
static_assert(sizeof(EventRecord) == 56, "queue records are 56-byte pool items");

// A callback bound to events of a key; reads the event through the accessors.
typedef void (*EventCallback)();
// An event filter sees every platform event before dispatch; non-zero = consumed.
typedef int (*EventFilterCallback)(id event, void* context);
struct EventFilter;

// --- Set-up ---
void InitEventQueue();
// Frees the queue's records, pool, bindings and filters (tests; the program keeps them).
void EndEventQueue();

// --- Posting ---
void QueueEvent(int32_t type, int64_t object, int64_t window, int64_t subtype, void* data,
                EventDataFree freeData, uint32_t flags);
void QueueUiEvent(int32_t type, int64_t object, int64_t window, int64_t subtype);
void QueueDataEvent(int32_t type, int64_t object, int64_t window, int64_t subtype, void* data,
                    EventDataFree freeData);
// Note the order: window before object. Answers 1.
int QueueProgramEvent(int32_t type, int64_t window, int64_t object, int64_t subtype, void* data);

// --- Fetching and waiting ---
// Moves the head record into the current event; answers its type, 0 when the queue was empty.
int32_t FetchEvent();
// timeout in milliseconds: negative = no limit, 0 = do not wait. Answers the event type, 0 on
// timeout, -1 when a platform event was handled but queued nothing.
int32_t WaitForEvent(int32_t timeout);
int32_t WaitForEventForever();

// --- The current event ---
int32_t CurrentEventType();
int64_t CurrentEventGadget();
int64_t CurrentEventMenuItem();
int64_t CurrentEventWindow();
int64_t CurrentEventSubtype();
void* CurrentEventData();

// --- Removing queued events ---
// -1 in any argument matches every value. The data of removed records is not released.
void DropEvents(int32_t type, int64_t object, int64_t window, int64_t subtype);
void DropWindowEvents(int64_t window);

// --- Bindings ---
// Binds callback to the key (type, window, object, subtype), -1 standing for any value; the
// callback runs after the callbacks already bound to the same key. Answers 1, 0 when memory
// runs out.
int BindEvent(int32_t type, int64_t window, int64_t object, int64_t subtype,
              EventCallback callback);
void UnbindWindowEvents(int64_t window);

// --- Suppression ---
void SuppressEvents();
void ResumeEvents();

// --- Platform loop ---
void WakeEventLoop();
// Releases the runtime's autorelease pool and opens a new one (opens the first one when none).
void RecycleAutoreleasePool();
EventFilter* AddEventFilter(EventFilterCallback callback, void* context);
void RemoveEventFilter(EventFilter* filter);

// --- Introspection for tests ---
int64_t QueuedEventCount();
// Batches the record pool holds; stays 1 while fewer than 16 records are queued.
int32_t EventPoolBatchCount();
