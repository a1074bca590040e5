// The GUI runtime's event queue: posting with suppression and tail coalescing, the current
// event, bindings, drops, event filters and the wait over the platform's event loop.
//
// Sections: State, Bindings, Posting, Fetching, Dropping, Waiting, Accessors.
#include "gui/event_queue.h"

#include <cstdio>
#include <cstdlib>

#include "core/block_allocator.h"
#include "core/map.h"
#include "core/memory.h"
#include "gui/cocoa.h"
#include "platform/foundation/run_loop.h"

// --- State ---

// One entry of the process-global filter list.
struct EventFilter {
  EventFilter* next;             // next filter, in the order they were added
  EventFilterCallback callback;  // returns non-zero when it consumed the event
  void* context;                 // handed back to the callback
};

namespace {

// The event last taken from the queue; the accessors read it.
struct CurrentEvent {
  int32_t type;            // 0 after a fetch from an empty queue
  int64_t object;          // kept from the earlier event when the queue was empty
  int64_t window;          // kept from the earlier event when the queue was empty
  int64_t subtype;         // -1 after a fetch from an empty queue
  void* data;              // released by the next fetch through freeData
  EventDataFree freeData;  // null when data needs no release
};

// One callback bound to a key of the binding table.
struct BindingNode {
  BindingNode* next;       // next callback of the same key, in binding order
  EventCallback callback;  // called with the event as the current event
};

// The value of one binding-table entry.
struct BindingEntry {
  BindingNode* first;  // callbacks of this key; never empty while the entry exists
};

EventRecord* g_head = nullptr;     // first queued record; null when empty
EventRecord* g_tail = nullptr;     // last queued record; null when empty
BlockAllocator* g_pool = nullptr;  // 56-byte records; created by InitEventQueue
// A record taken from the pool when it is created and held until EndEventQueue. The pool frees
// a batch as soon as all of its records are back, so without it every post into an empty queue
// would allocate a batch and every fetch of the last record free it again.
void* g_reserve = nullptr;
Map* g_bindings = nullptr;         // key text -> BindingEntry
CurrentEvent g_current = {};       // the event the accessors read
int32_t g_suppression = 0;         // above 0: events without flag bit 0 are discarded
EventFilter* g_filters = nullptr;  // first event filter
id g_pool_object = nil;            // the runtime's NSAutoreleasePool; owned

constexpr int32_t kBindingSlots = 1024;  // slots of the binding table
constexpr int kKeyUnits = 96;            // "%d:%lld:%lld:%lld" needs at most 75

// Writes the binding key of the four values into key.
void FormatKey(char16_t (&key)[kKeyUnits], int32_t type, int64_t window, int64_t object,
               int64_t subtype) {
  char text[kKeyUnits];
  int length =
      std::snprintf(text, sizeof(text), "%d:%lld:%lld:%lld", type, static_cast<long long>(window),
                    static_cast<long long>(object), static_cast<long long>(subtype));
  if (length < 0) length = 0;
  if (length >= kKeyUnits) length = kKeyUnits - 1;
  for (int i = 0; i < length; ++i) key[i] = static_cast<char16_t>(text[i]);
  key[length] = 0;
}

// --- Bindings ---

void RunBindingsOfKey(int32_t type, int64_t window, int64_t object, int64_t subtype) {
  char16_t key[kKeyUnits];
  FormatKey(key, type, window, object, subtype);
  auto* entry = static_cast<BindingEntry*>(MapFind(g_bindings, key));
  if (!entry) return;
  for (BindingNode* node = entry->first; node;) {
    BindingNode* next = node->next;  // a callback may not unbind, but be safe with the order
    node->callback();
    node = next;
  }
}

// Runs the callbacks bound to the current event, most specific key first.
void RunBoundCallbacks() {
  if (!g_bindings || MapCount(g_bindings) == 0) return;
  int32_t type = g_current.type;
  int64_t window = g_current.window;
  int64_t object = g_current.object;
  int64_t subtype = g_current.subtype;
  RunBindingsOfKey(type, window, object, subtype);
  RunBindingsOfKey(type, window, object, -1);
  RunBindingsOfKey(type, window, -1, -1);
  RunBindingsOfKey(type, -1, -1, -1);
  RunBindingsOfKey(type, -1, object, subtype);
}

// The window part of a binding key ("type:window:object:subtype").
int64_t WindowOfKey(const char16_t* key) {
  char text[kKeyUnits];
  int length = 0;
  for (; key && key[length] && length < kKeyUnits - 1; ++length) {
    text[length] = static_cast<char>(key[length]);
  }
  text[length] = 0;
  const char* colon = text;
  while (*colon && *colon != ':') ++colon;
  if (!*colon) return 0;
  return std::strtoll(colon + 1, nullptr, 10);
}

void FreeRecord(EventRecord* record) {
  GiveItem(g_pool, record);
}

}  // namespace

void InitEventQueue() {
  if (!g_pool) g_pool = CreateBlockAllocator(sizeof(EventRecord), 16, 256, 0);
  if (g_pool && !g_reserve) g_reserve = TakeItem(g_pool);  // 0 only when memory runs out
  if (!g_bindings) MapCreate(sizeof(BindingEntry), 0, nullptr, &g_bindings, kBindingSlots);
}

void EndEventQueue() {
  while (g_head) {
    EventRecord* next = g_head->next;
    FreeRecord(g_head);
    g_head = next;
  }
  g_tail = nullptr;
  if (g_bindings) {
    MapRewind(g_bindings);
    while (auto* entry = static_cast<BindingEntry*>(MapNext(g_bindings))) {
      for (BindingNode* node = entry->first; node;) {
        BindingNode* next = node->next;
        HeapFree(node);
        node = next;
      }
      entry->first = nullptr;
    }
    MapFree(g_bindings);
  }
  while (g_filters) {
    EventFilter* next = g_filters->next;
    HeapFree(g_filters);
    g_filters = next;
  }
  if (g_current.data && g_current.freeData) g_current.freeData(g_current.data);
  g_current = {};
  g_suppression = 0;
  if (g_reserve) GiveItem(g_pool, g_reserve);
  g_reserve = nullptr;
  if (g_pool) ReleaseBlockAllocator(g_pool);
  g_pool = nullptr;
}

int BindEvent(int32_t type, int64_t window, int64_t object, int64_t subtype,
              EventCallback callback) {
  if (!g_bindings || !callback) return 0;
  auto* node = static_cast<BindingNode*>(HeapAllocZeroed(sizeof(BindingNode)));
  if (!node) return 0;
  node->callback = callback;
  char16_t key[kKeyUnits];
  FormatKey(key, type, window, object, subtype);
  auto* entry = static_cast<BindingEntry*>(MapFindOrAdd(g_bindings, key));
  if (!entry) {
    HeapFree(node);
    return 0;
  }
  BindingNode** link = &entry->first;
  while (*link) link = &(*link)->next;
  *link = node;
  return 1;
}

void UnbindWindowEvents(int64_t window) {
  if (!g_bindings) return;
  MapRewind(g_bindings);
  auto* entry = static_cast<BindingEntry*>(MapNext(g_bindings));
  while (entry) {
    if (WindowOfKey(MapCurrentKey(g_bindings)) != window) {
      entry = static_cast<BindingEntry*>(MapNext(g_bindings));
      continue;
    }
    for (BindingNode* node = entry->first; node;) {
      BindingNode* next = node->next;
      HeapFree(node);
      node = next;
    }
    entry->first = nullptr;
    MapDeleteCurrent(g_bindings);
    entry = static_cast<BindingEntry*>(MapNext(g_bindings));
  }
}

// --- Posting ---

namespace {

// True when the platform's queue holds an event of any kind (nothing is removed).
bool PlatformEventPending() {
  id app = SharedApplication();
  if (!app) return false;
  id event = objc::Send(app, "nextEventMatchingMask:untilDate:inMode:dequeue:", ~NSUInteger{0},
                        static_cast<id>(nil), NSDefaultRunLoopMode, NO);
  return event != nil;
}

}  // namespace

void QueueEvent(int32_t type, int64_t object, int64_t window, int64_t subtype, void* data,
                EventDataFree freeData, uint32_t flags) {
  if (!(flags & kEventEvenWhenSuppressed) && g_suppression != 0) return;

  // Wake a wait that is blocked in the platform loop; repaints never wake it, and other UI
  // events only when the platform queue is idle. Without an application there is no loop.
  if (!SharedApplication()) {
    // nothing to wake
  } else if (type == MenuEvent) {
    WakeEventLoop();
  } else if (type == RepaintEvent) {
    // never
  } else if (flags & kEventAlwaysWake) {
    WakeEventLoop();
  } else if (!PlatformEventPending()) {
    WakeEventLoop();
  }

  bool coalesce = !(flags & kEventNoCoalesce) && type < FirstProgramEvent && g_tail &&
                  g_tail->type == type && g_tail->object == object && g_tail->window == window &&
                  g_tail->subtype == subtype;
  if (!coalesce && g_pool) {
    auto* record = static_cast<EventRecord*>(TakeItem(g_pool));
    // FIXME: a record the pool cannot supply loses the event; memory is gone by then anyway.
    if (record) {
      *record = EventRecord{nullptr, type, flags, object, window, subtype, data, freeData};
      if (g_tail) {
        g_tail->next = record;
      } else {
        g_head = record;
      }
      g_tail = record;
    }
  }

  if (!(flags & kEventNoCoalesce) && g_bindings && g_bindings->element_count != 0) {
    CurrentEvent saved = g_current;
    g_current = CurrentEvent{type, object, window, subtype, data, freeData};
    RunBoundCallbacks();
    g_current = saved;
  }
}

void QueueUiEvent(int32_t type, int64_t object, int64_t window, int64_t subtype) {
  QueueEvent(type, object, window, subtype, nullptr, nullptr, 0);
}

void QueueDataEvent(int32_t type, int64_t object, int64_t window, int64_t subtype, void* data,
                    EventDataFree freeData) {
  QueueEvent(type, object, window, subtype, data, freeData, 0);
}

int QueueProgramEvent(int32_t type, int64_t window, int64_t object, int64_t subtype, void* data) {
  QueueEvent(type, object, window, subtype, data, nullptr, kProgramEventFlags);
  return 1;
}

// --- Fetching ---

int32_t FetchEvent() {
  g_current.type = 0;
  if (g_current.data && g_current.freeData) g_current.freeData(g_current.data);
  g_current.data = nullptr;
  g_current.freeData = nullptr;
  g_current.subtype = -1;
  EventRecord* record = g_head;
  if (!record) return 0;
  g_current = CurrentEvent{record->type,    record->object, record->window,
                           record->subtype, record->data,   record->freeData};
  g_head = record->next;
  if (!g_head) g_tail = nullptr;
  uint32_t flags = record->flags;
  FreeRecord(record);
  if (flags & kEventNoCoalesce) RunBoundCallbacks();
  return g_current.type;
}

// --- Dropping ---

namespace {

template <class Matches>
void DropMatching(Matches matches) {
  EventRecord* kept = nullptr;  // last record kept so far
  EventRecord* record = g_head;
  while (record) {
    EventRecord* next = record->next;
    if (matches(record)) {
      if (kept) {
        kept->next = next;
      } else {
        g_head = next;
      }
      FreeRecord(record);
    } else {
      kept = record;
    }
    record = next;
  }
  g_tail = kept;
}

}  // namespace

void DropEvents(int32_t type, int64_t object, int64_t window, int64_t subtype) {
  DropMatching([&](const EventRecord* r) {
    return (type == -1 || r->type == type) && (object == -1 || r->object == object) &&
           (window == -1 || r->window == window) && (subtype == -1 || r->subtype == subtype);
  });
}

void DropWindowEvents(int64_t window) {
  DropMatching([&](const EventRecord* r) { return r->window == window; });
}

// --- Suppression ---

void SuppressEvents() {
  ++g_suppression;
}

void ResumeEvents() {
  --g_suppression;
}

// --- Waiting ---

void WakeEventLoop() {
  id app = SharedApplication();
  if (!app) return;
  id event = objc::Send(
      CocoaClass("NSEvent"),
      "otherEventWithType:location:modifierFlags:timestamp:windowNumber:context:subtype:data1:"
      "data2:",
      NSUInteger{15}, NSMakePoint(0, 0), NSUInteger{0}, 0.0, NSInteger{0}, static_cast<id>(nil),
      short{0}, NSInteger{0}, NSInteger{0});
  objc::Send<void>(app, "postEvent:atStart:", event, YES);
}

void RecycleAutoreleasePool() {
  if (g_pool_object) objc::Send<void>(g_pool_object, "release");
  g_pool_object = objc::Send(objc::Send(CocoaClass("NSAutoreleasePool"), "alloc"), "init");
}

EventFilter* AddEventFilter(EventFilterCallback callback, void* context) {
  auto* filter = static_cast<EventFilter*>(HeapAllocZeroed(sizeof(EventFilter)));
  if (!filter) return nullptr;
  filter->callback = callback;
  filter->context = context;
  EventFilter** link = &g_filters;
  while (*link) link = &(*link)->next;
  *link = filter;
  return filter;
}

void RemoveEventFilter(EventFilter* filter) {
  for (EventFilter** link = &g_filters; *link; link = &(*link)->next) {
    if (*link == filter) {
      *link = filter->next;
      HeapFree(filter);
      return;
    }
  }
}

int32_t WaitForEvent(int32_t timeout) {
  RecycleAutoreleasePool();
  int32_t type = FetchEvent();
  if (type != 0) return type;

  Class date_class = CocoaClass("NSDate");
  id limit;
  if (timeout < 0) {
    limit = objc::Send(date_class, "distantFuture");
  } else if (timeout == 0) {
    limit = objc::Send(date_class, "date");
  } else {
    limit = objc::Send(date_class, "dateWithTimeIntervalSinceNow:", timeout / 1000.0);
  }
  id app = SharedApplication();
  id event = objc::Send(app, "nextEventMatchingMask:untilDate:inMode:dequeue:", ~NSUInteger{0},
                        limit, NSDefaultRunLoopMode, YES);
  if (!event) return 0;

  bool consumed = false;
  for (EventFilter* filter = g_filters; filter && !consumed;) {
    EventFilter* next = filter->next;  // a filter may remove itself
    consumed = filter->callback(event, filter->context) != 0;
    filter = next;
  }
  if (!consumed) {
    objc::Send<void>(app, "sendEvent:", event);
    objc::Send<void>(app, "updateWindows");
  }
  type = FetchEvent();
  return type != 0 ? type : -1;
}

int32_t WaitForEventForever() {
  return WaitForEvent(-1);
}

// --- Accessors ---

int32_t CurrentEventType() {
  return g_current.type;
}
int64_t CurrentEventGadget() {
  return g_current.object;
}
int64_t CurrentEventMenuItem() {
  return g_current.object;
}
int64_t CurrentEventWindow() {
  return g_current.window;
}
int64_t CurrentEventSubtype() {
  return g_current.subtype;
}
void* CurrentEventData() {
  return g_current.data;
}

int64_t QueuedEventCount() {
  int64_t count = 0;
  for (EventRecord* r = g_head; r; r = r->next) ++count;
  return count;
}

int32_t EventPoolBatchCount() {
  return BlockAllocatorBatchCount(g_pool);
}
