// The GUI runtime's event queue: posting with suppression and tail coalescing, the current
// event, bindings, drops, event filters and the wait over the platform's event loop.
//
// Sections: State, Bindings, Posting, Dropping, Waiting, Introspection. Posting, fetching and the
// accessors of the common case are inline in the header.
#include "gui/event_queue.h"

#include <cstdio>
#include <cstdlib>

#include "core/block_allocator.h"
#include "core/map.h"
#include "core/memory.h"
#include "gui/cocoa.h"
#include "platform/foundation/run_loop.h"

// --- State ---

EventQueueState g_event_queue = {};

// One entry of the process-global filter list.
struct EventFilter {
  EventFilter* next;             // next filter, in the order they were added
  EventFilterCallback callback;  // returns non-zero when it consumed the event
  void* context;                 // handed back to the callback
};

namespace {

// One callback bound to a key of the binding table.
struct BindingNode {
  BindingNode* next;       // next callback of the same key, in binding order
  EventCallback callback;  // called with the event as the current event
};

// The value of one binding-table entry.
struct BindingEntry {
  BindingNode* first;  // callbacks of this key; never empty while the entry exists
};

// Records taken from the pool and held until EndEventQueue, one in each of the first batches
// the pool makes. The pool frees a batch as soon as all of its records are back, so without
// them every post into an empty queue would allocate a batch and every fetch of the last record
// free it again; a burst of events keeps the batches it needed, up to kPinnedBatches.
constexpr int kPinnedBatches = 8;
void* g_pins[kPinnedBatches] = {};
int g_pin_count = 0;
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
  auto* entry = static_cast<BindingEntry*>(MapFind(g_event_queue.bindings, key));
  if (!entry) return;
  for (BindingNode* node = entry->first; node;) {
    BindingNode* next = node->next;  // a callback may not unbind, but be safe with the order
    node->callback();
    node = next;
  }
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
  GiveItem(g_event_queue.pool, record);
}

}  // namespace

// Runs the callbacks bound to the current event, most specific key first.
void RunBoundCallbacks() {
  if (!g_event_queue.bindings || MapCount(g_event_queue.bindings) == 0) return;
  const CurrentEventRecord& current = g_event_queue.current;
  const int32_t type = current.type;
  const int64_t window = current.window;
  const int64_t object = current.object;
  const int64_t subtype = current.subtype;
  RunBindingsOfKey(type, window, object, subtype);
  RunBindingsOfKey(type, window, object, -1);
  RunBindingsOfKey(type, window, -1, -1);
  RunBindingsOfKey(type, -1, -1, -1);
  RunBindingsOfKey(type, -1, object, subtype);
}

// Runs them for an event being posted: it is the current event while they run.
void RunBoundCallbacksForPost(int32_t type, int64_t object, int64_t window, int64_t subtype,
                              void* data, EventDataFree freeData) {
  const CurrentEventRecord saved = g_event_queue.current;
  g_event_queue.current = CurrentEventRecord{type, object, window, subtype, data, freeData};
  RunBoundCallbacks();
  g_event_queue.current = saved;
}

EventRecord* TakeRecordSlow() {
  if (!g_event_queue.pool) return nullptr;
  const bool new_batch = !g_event_queue.pool->open_batches;
  auto* record = static_cast<EventRecord*>(TakeItemSlow(g_event_queue.pool));
  // A new batch of more than one record is now the head of the open list: pin it with a second.
  if (new_batch && record && g_pin_count < kPinnedBatches && g_event_queue.pool->open_batches) {
    if (void* pin = TakeItem(g_event_queue.pool)) g_pins[g_pin_count++] = pin;
  }
  return record;
}

void InitEventQueue() {
  if (!g_event_queue.pool)
    g_event_queue.pool = CreateBlockAllocator(sizeof(EventRecord), 16, 256, 0);
  // The first pin makes the first batch; 0 only when memory runs out.
  if (g_event_queue.pool && g_pin_count == 0) {
    if (void* pin = TakeItem(g_event_queue.pool)) g_pins[g_pin_count++] = pin;
  }
  if (!g_event_queue.bindings)
    MapCreate(sizeof(BindingEntry), 0, nullptr, &g_event_queue.bindings, kBindingSlots);
}

void EndEventQueue() {
  while (g_event_queue.head) {
    EventRecord* next = g_event_queue.head->next;
    FreeRecord(g_event_queue.head);
    g_event_queue.head = next;
  }
  g_event_queue.tail = nullptr;
  if (g_event_queue.bindings) {
    MapRewind(g_event_queue.bindings);
    while (auto* entry = static_cast<BindingEntry*>(MapNext(g_event_queue.bindings))) {
      for (BindingNode* node = entry->first; node;) {
        BindingNode* next = node->next;
        HeapFree(node);
        node = next;
      }
      entry->first = nullptr;
    }
    MapFree(g_event_queue.bindings);
  }
  g_event_queue.bound_keys = 0;
  while (g_filters) {
    EventFilter* next = g_filters->next;
    HeapFree(g_filters);
    g_filters = next;
  }
  if (g_event_queue.current.data && g_event_queue.current.freeData)
    g_event_queue.current.freeData(g_event_queue.current.data);
  g_event_queue.current = {};
  g_event_queue.suppression = 0;
  while (g_pin_count > 0) GiveItem(g_event_queue.pool, g_pins[--g_pin_count]);
  if (g_event_queue.pool) ReleaseBlockAllocator(g_event_queue.pool);
  g_event_queue.pool = nullptr;
}

int BindEvent(int32_t type, int64_t window, int64_t object, int64_t subtype,
              EventCallback callback) {
  if (!g_event_queue.bindings || !callback) return 0;
  auto* node = static_cast<BindingNode*>(HeapAllocZeroed(sizeof(BindingNode)));
  if (!node) return 0;
  node->callback = callback;
  char16_t key[kKeyUnits];
  FormatKey(key, type, window, object, subtype);
  auto* entry = static_cast<BindingEntry*>(MapFindOrAdd(g_event_queue.bindings, key));
  if (!entry) {
    HeapFree(node);
    return 0;
  }
  BindingNode** link = &entry->first;
  while (*link) link = &(*link)->next;
  *link = node;
  g_event_queue.bound_keys = MapCount(g_event_queue.bindings);
  return 1;
}

void UnbindWindowEvents(int64_t window) {
  if (!g_event_queue.bindings) return;
  MapRewind(g_event_queue.bindings);
  auto* entry = static_cast<BindingEntry*>(MapNext(g_event_queue.bindings));
  while (entry) {
    if (WindowOfKey(MapCurrentKey(g_event_queue.bindings)) != window) {
      entry = static_cast<BindingEntry*>(MapNext(g_event_queue.bindings));
      continue;
    }
    for (BindingNode* node = entry->first; node;) {
      BindingNode* next = node->next;
      HeapFree(node);
      node = next;
    }
    entry->first = nullptr;
    MapDeleteCurrent(g_event_queue.bindings);
    entry = static_cast<BindingEntry*>(MapNext(g_event_queue.bindings));
  }
  g_event_queue.bound_keys = MapCount(g_event_queue.bindings);
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

// Wakes a wait that is blocked in the platform loop; repaints never wake it, and other UI events
// only when the platform queue is idle.
void WakeEventLoopForPost(int32_t type, uint32_t flags) {
  if (type == MenuEvent) {
    WakeEventLoop();
  } else if (type == RepaintEvent) {
    // never
  } else if (flags & kEventAlwaysWake) {
    WakeEventLoop();
  } else if (!PlatformEventPending()) {
    WakeEventLoop();
  }
}

// --- Dropping ---

namespace {

template <class Matches>
void DropMatching(Matches matches) {
  EventRecord* kept = nullptr;  // last record kept so far
  EventRecord* record = g_event_queue.head;
  while (record) {
    EventRecord* next = record->next;
    if (matches(record)) {
      if (kept) {
        kept->next = next;
      } else {
        g_event_queue.head = next;
      }
      FreeRecord(record);
    } else {
      kept = record;
    }
    record = next;
  }
  g_event_queue.tail = kept;
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
  ++g_event_queue.suppression;
}

void ResumeEvents() {
  --g_event_queue.suppression;
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

// --- Introspection ---

int64_t QueuedEventCount() {
  int64_t count = 0;
  for (EventRecord* r = g_event_queue.head; r; r = r->next) ++count;
  return count;
}

int32_t EventPoolBatchCount() {
  return BlockAllocatorBatchCount(g_event_queue.pool);
}
