// Object registry: turns object numbers into records. A number from 0 up indexes
// the slot table (a static object); any other number a creating operation handed
// out is the address of a dynamic record, which lies 16 bytes into its list node.
#include "core/registry.h"

#include <pthread.h>

#include <cstring>

#include "core/memory.h"
#include "core/threads.h"

namespace {

// Explicit numbers above this are refused by AllocateObject (it returns 0), so
// that a wild number cannot make the table grow to gigabytes: the table of the
// largest allowed number takes 8 MiB. Real dynamic numbers are heap addresses,
// far above it, so numbers from 0 to this limit are never taken as addresses.
constexpr int64_t kMaxStaticNumber = (int64_t{1} << 20) - 1;

// The header in front of every dynamic record.
struct DynamicNode {
  DynamicNode* next;      // toward older objects
  DynamicNode* previous;  // toward newer objects
};
static_assert(sizeof(DynamicNode) == 16, "a dynamic record lies 16 bytes after its node");

inline void* RecordOf(DynamicNode* node) {
  return reinterpret_cast<char*>(node) + 16;
}
inline DynamicNode* NodeOf(int64_t number) {
  return reinterpret_cast<DynamicNode*>(static_cast<uintptr_t>(number) - 16);
}
inline int64_t NumberOf(DynamicNode* node) {
  return static_cast<int64_t>(reinterpret_cast<uintptr_t>(RecordOf(node)));
}
inline bool IsStaticSlot(const ObjectRegistry* registry, int64_t number) {
  return number >= 0 && number < registry->slot_count;
}
// A number that can be neither a slot nor a dynamic record's address.
inline bool CannotBeAddress(int64_t number) {
  return number <= kMaxStaticNumber;
}
inline bool IsLive(const void* record) {
  return record && *static_cast<const uint64_t*>(record) != 0;
}

pthread_once_t g_creation_once = PTHREAD_ONCE_INIT;
pthread_mutex_t g_creation_mutex;  // recursive; serialises CreateRegistryOnce

void InitCreationMutex() {
  InitRecursiveMutex(&g_creation_mutex);
}

}  // namespace

ObjectRegistry* CreateRegistry(int32_t record_size, int32_t growth_step,
                               RegistryFreeCallback free_callback) {
  if (record_size < 8) record_size = 8;  // a record always holds its first 64-bit field
  if (growth_step < 1) growth_step = 1;
  auto* registry = static_cast<ObjectRegistry*>(AllocBlock(sizeof(ObjectRegistry)));
  if (!registry) return nullptr;
  registry->slots = static_cast<void**>(AllocBlock(growth_step * int64_t{sizeof(void*)}));
  if (!registry->slots) {
    FreeBlock(registry);
    return nullptr;
  }
  registry->record_size = record_size;
  registry->growth_step = growth_step;
  registry->slot_count = growth_step;
  registry->free_callback = free_callback;
  return registry;
}

void CreateRegistryOnce(ObjectRegistry** registry, int32_t record_size, int32_t growth_step,
                        RegistryFreeCallback free_callback) {
  pthread_once(&g_creation_once, InitCreationMutex);
  pthread_mutex_lock(&g_creation_mutex);
  if (!*registry) *registry = CreateRegistry(record_size, growth_step, free_callback);
  pthread_mutex_unlock(&g_creation_mutex);
}

void* AllocateObject(ObjectRegistry* registry, int64_t number) {
  if (!registry) return nullptr;
  if (number == -1) {
    auto* node = static_cast<DynamicNode*>(AllocBlock(registry->record_size + int64_t{16}));
    if (!node) return nullptr;
    node->next = static_cast<DynamicNode*>(registry->dynamic_list);
    if (node->next) node->next->previous = node;
    registry->dynamic_list = node;
    return RecordOf(node);
  }
  // Other negative numbers name no slot; oversized ones are refused (see above).
  if (number < 0 || number > kMaxStaticNumber) return nullptr;
  if (number >= registry->slot_count) {
    const int64_t count = number + registry->growth_step;
    // ResizeBlock zero-fills the added entries. On failure the table stays as it was.
    void* slots = ResizeBlock(registry->slots, count * int64_t{sizeof(void*)});
    if (!slots) return nullptr;
    registry->slots = static_cast<void**>(slots);
    registry->slot_count = count;
  }
  void*& slot = registry->slots[number];
  if (!slot) {
    slot = AllocBlock(registry->record_size);
    if (!slot) return nullptr;
  } else if (registry->free_callback) {
    // Re-creating a number releases its old object; the callback ends with
    // FreeObject and must ignore a number whose object is no longer live.
    registry->free_callback(number);
    // A callback that forgot FreeObject must still not hand out a used record.
    std::memset(registry->slots[number], 0, static_cast<size_t>(registry->record_size));
  } else {
    std::memset(slot, 0, static_cast<size_t>(registry->record_size));
  }
  return registry->slots[number];
}

void* FindObject(ObjectRegistry* registry, int64_t number) {
  if (!registry) return nullptr;
  void* candidate;
  if (IsStaticSlot(registry, number)) {
    candidate = registry->slots[number];
  } else {
    // Taken as a record address without a search (the number was handed out by
    // AllocateObject); small and negative numbers cannot be addresses.
    if (CannotBeAddress(number)) return nullptr;
    candidate = reinterpret_cast<void*>(static_cast<uintptr_t>(number));
  }
  return IsLive(candidate) ? candidate : nullptr;
}

int64_t IsObject(ObjectRegistry* registry, int64_t number) {
  if (!registry) return 0;
  if (IsStaticSlot(registry, number)) {
    void* record = registry->slots[number];
    return IsLive(record) ? static_cast<int64_t>(reinterpret_cast<uintptr_t>(record)) : 0;
  }
  for (auto* node = static_cast<DynamicNode*>(registry->dynamic_list); node; node = node->next) {
    if (NumberOf(node) == number) return number;
  }
  return 0;
}

void FreeObject(ObjectRegistry* registry, int64_t number) {
  if (!registry) return;
  if (IsStaticSlot(registry, number)) {
    // The record memory stays with the slot for the next object of this number.
    if (registry->slots[number]) {
      std::memset(registry->slots[number], 0, static_cast<size_t>(registry->record_size));
    }
    return;
  }
  if (CannotBeAddress(number)) return;
  DynamicNode* node = NodeOf(number);
  if (node == registry->enumeration_node) registry->enumeration_node = node->previous;
  if (node == registry->dynamic_list) {
    registry->dynamic_list = node->next;
    if (node->next) node->next->previous = nullptr;
  } else {
    if (node->previous) node->previous->next = node->next;
    if (node->next) node->next->previous = node->previous;
  }
  FreeBlock(node);
}

void FreeAllObjects(ObjectRegistry* registry) {
  if (!registry || !registry->free_callback) return;
  for (int64_t index = 0; index < registry->slot_count; index++) {
    if (IsLive(registry->slots[index])) registry->free_callback(index);
  }
  // The callback unlinks the head each time, so dynamic objects go newest first.
  // A callback that leaves a dead object in the list must not loop forever.
  while (registry->dynamic_list) {
    auto* head = static_cast<DynamicNode*>(registry->dynamic_list);
    registry->free_callback(NumberOf(head));
    if (registry->dynamic_list == head) FreeObject(registry, NumberOf(head));
  }
}

void ResetObjectEnumeration(ObjectRegistry* registry) {
  if (!registry) return;
  registry->enumeration_index = 0;
  auto* node = static_cast<DynamicNode*>(registry->dynamic_list);
  while (node && node->next) node = node->next;
  registry->enumeration_node = node;  // the oldest dynamic object, or 0
}

void* NextObject(ObjectRegistry* registry, int64_t* number) {
  if (!registry) return nullptr;
  while (registry->enumeration_index < registry->slot_count) {
    const int64_t index = registry->enumeration_index++;
    if (IsLive(registry->slots[index])) {
      if (number) *number = index;
      return registry->slots[index];
    }
  }
  auto* node = static_cast<DynamicNode*>(registry->enumeration_node);
  if (!node) return nullptr;
  registry->enumeration_node = node->previous;
  if (number) *number = NumberOf(node);
  return RecordOf(node);
}

void DestroyRegistry(ObjectRegistry* registry) {
  if (!registry) return;
  for (int64_t index = 0; index < registry->slot_count; index++) FreeBlock(registry->slots[index]);
  FreeBlock(registry->slots);
  for (auto* node = static_cast<DynamicNode*>(registry->dynamic_list); node;) {
    DynamicNode* next = node->next;
    FreeBlock(node);
    node = next;
  }
  FreeBlock(registry);
}
