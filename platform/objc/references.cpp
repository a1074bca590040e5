// Reference counts and the autorelease pool stack.
#include <cstdint>
#include <vector>

#include "platform/objc/class_record.h"
#include "platform/objc/runtime.h"

namespace {

bool IsClassObject(id obj) {
  return obj->isa && obj->isa->record->is_meta;
}

// Objects handed to pools, oldest first. Never destroyed: objects may be autoreleased during
// static destruction.
std::vector<id>& PendingObjects() {
  static auto* pending = new std::vector<id>();
  return *pending;
}

// For each open pool, innermost last, the size of PendingObjects at its push. A pool's token
// is its depth plus one (so that no token is null).
std::vector<size_t>& PoolMarks() {
  static auto* marks = new std::vector<size_t>();
  return *marks;
}

SEL DeallocSelector() {
  static SEL sel = sel_registerName("dealloc");
  return sel;
}

}  // namespace

extern "C" id objc_retain(id obj) {
  if (obj && !IsClassObject(obj)) ++obj->retain_count;
  return obj;
}

extern "C" void objc_release(id obj) {
  if (!obj || IsClassObject(obj)) return;
  if (--obj->retain_count == 0) objc_msgSend(obj, DeallocSelector());
}

extern "C" intptr_t objc_retainCount(id obj) {
  if (!obj) return 0;
  return IsClassObject(obj) ? INTPTR_MAX : obj->retain_count;
}

extern "C" id objc_autorelease(id obj) {
  if (!obj || IsClassObject(obj)) return obj;
  // Without an open pool the object still goes on the list, below every pool's mark, so it is
  // never released (a leak, as elsewhere) but stays reachable for leak checkers.
  PendingObjects().push_back(obj);
  return obj;
}

extern "C" void* objc_autoreleasePoolPush(void) {
  PoolMarks().push_back(PendingObjects().size());
  return reinterpret_cast<void*>(static_cast<uintptr_t>(PoolMarks().size()));
}

extern "C" void objc_autoreleasePoolPop(void* token) {
  size_t depth = static_cast<size_t>(reinterpret_cast<uintptr_t>(token));
  if (depth == 0 || depth > PoolMarks().size()) return;  // unknown or already popped
  size_t mark = PoolMarks()[depth - 1];
  std::vector<id>& pending = PendingObjects();
  // Releasing may autorelease further objects into this pool: keep going until the mark.
  while (pending.size() > mark) {
    id obj = pending.back();
    pending.pop_back();
    objc_release(obj);
  }
  PoolMarks().resize(depth - 1);  // inner pools end with this one
}
