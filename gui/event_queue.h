// The GUI runtime's event queue: platform callbacks post small numbered records, the program's
// loop waits, fetches one and reads it through the accessors.
//
// Posting flags: bit 0 delivers while events are suppressed, bit 1 never coalesces and runs
// bound callbacks at fetch time, bit 2 always wakes the platform loop. Platform callbacks post
// with flags 0 (QueueUiEvent), program code with flags 7 (QueueProgramEvent).
#pragma once

#include <cstdint>

#include "core/block_allocator.h"
#include "gui/cocoa.h"
#include "platform/objc/runtime.h"

struct Map;

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

// --- The queue's state ---
// Public so that posting, fetching and the accessors below are inlined into their callers in
// the common case; only this module changes it.

// The event last taken from the queue; the accessors read it.
struct CurrentEventRecord {
  int32_t type;            // 0 after a fetch from an empty queue
  int64_t object;          // kept from the earlier event when the queue was empty
  int64_t window;          // kept from the earlier event when the queue was empty
  int64_t subtype;         // -1 after a fetch from an empty queue
  void* data;              // released by the next fetch through freeData
  EventDataFree freeData;  // null when data needs no release
};

struct EventQueueState {
  EventRecord* head;           // first queued record; null when empty
  EventRecord* tail;           // last queued record; null when empty
  BlockAllocator* pool;        // 56-byte records; created by InitEventQueue
  Map* bindings;               // key text -> bound callbacks
  int64_t bound_keys;          // keys in the binding table; while 0 no event looks it up
  CurrentEventRecord current;  // the event the accessors read
  int32_t suppression;         // above 0: events without flag bit 0 are discarded
};
extern EventQueueState g_event_queue;

// The uncommon steps, out of line: waking the platform loop for a posted event, running bound
// callbacks for the current event, and taking a record when the pool's open batch has none to
// spare or the pool has to make a batch.
void WakeEventLoopForPost(int32_t type, uint32_t flags);
void RunBoundCallbacks();
void RunBoundCallbacksForPost(int32_t type, int64_t object, int64_t window, int64_t subtype,
                              void* data, EventDataFree freeData);
EventRecord* TakeRecordSlow();

// --- Posting ---

inline void QueueEvent(int32_t type, int64_t object, int64_t window, int64_t subtype, void* data,
                       EventDataFree freeData, uint32_t flags) {
  EventQueueState& queue = g_event_queue;
  if (!(flags & kEventEvenWhenSuppressed) && queue.suppression != 0) return;
  // Without an application there is no platform loop to wake.
  if (SharedApplication()) WakeEventLoopForPost(type, flags);

  EventRecord* tail = queue.tail;
  const bool coalesce = !(flags & kEventNoCoalesce) && type < FirstProgramEvent && tail &&
                        tail->type == type && tail->object == object && tail->window == window &&
                        tail->subtype == subtype;
  if (!coalesce && queue.pool) {
    auto* record = static_cast<EventRecord*>(TakeItemQuickly(queue.pool));  // unlocked pool
    if (!record) record = TakeRecordSlow();
    // FIXME: a record the pool cannot supply loses the event; memory is gone by then anyway.
    if (record) {
      *record = EventRecord{nullptr, type, flags, object, window, subtype, data, freeData};
      if (tail) {
        tail->next = record;
      } else {
        queue.head = record;
      }
      queue.tail = record;
    }
  }

  if (!(flags & kEventNoCoalesce) && queue.bound_keys != 0) {
    RunBoundCallbacksForPost(type, object, window, subtype, data, freeData);
  }
}

inline void QueueUiEvent(int32_t type, int64_t object, int64_t window, int64_t subtype) {
  QueueEvent(type, object, window, subtype, nullptr, nullptr, 0);
}

inline void QueueDataEvent(int32_t type, int64_t object, int64_t window, int64_t subtype,
                           void* data, EventDataFree freeData) {
  QueueEvent(type, object, window, subtype, data, freeData, 0);
}

// Note the order: window before object. Answers 1.
inline int QueueProgramEvent(int32_t type, int64_t window, int64_t object, int64_t subtype,
                             void* data) {
  QueueEvent(type, object, window, subtype, data, nullptr, kProgramEventFlags);
  return 1;
}

// --- Fetching and waiting ---

// Moves the head record into the current event; answers its type, 0 when the queue was empty.
inline int32_t FetchEvent() {
  CurrentEventRecord& current = g_event_queue.current;
  if (current.data && current.freeData) {
    current.type = 0;  // what an accessor reads while the payload is released
    current.freeData(current.data);
  }
  EventRecord* record = g_event_queue.head;
  if (!record) {
    current.type = 0;
    current.subtype = -1;
    current.data = nullptr;
    current.freeData = nullptr;
    return 0;
  }
  current = CurrentEventRecord{record->type,    record->object, record->window,
                               record->subtype, record->data,   record->freeData};
  g_event_queue.head = record->next;
  if (!record->next) g_event_queue.tail = nullptr;
  const uint32_t flags = record->flags;
  if (!GiveItemQuickly(record)) GiveItemSlow(g_event_queue.pool, record);
  if ((flags & kEventNoCoalesce) && g_event_queue.bound_keys != 0) {
    RunBoundCallbacks();
  }
  return current.type;
}

// timeout in milliseconds: negative = no limit, 0 = do not wait. Answers the event type, 0 on
// timeout, -1 when a platform event was handled but queued nothing.
int32_t WaitForEvent(int32_t timeout);
int32_t WaitForEventForever();

// --- The current event ---
inline int32_t CurrentEventType() {
  return g_event_queue.current.type;
}
inline int64_t CurrentEventGadget() {
  return g_event_queue.current.object;
}
inline int64_t CurrentEventMenuItem() {
  return g_event_queue.current.object;
}
inline int64_t CurrentEventWindow() {
  return g_event_queue.current.window;
}
inline int64_t CurrentEventSubtype() {
  return g_event_queue.current.subtype;
}
inline void* CurrentEventData() {
  return g_event_queue.current.data;
}

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
// Batches the record pool holds: 1 from the start; a burst keeps the batches it made, up to 8.
int32_t EventPoolBatchCount();
