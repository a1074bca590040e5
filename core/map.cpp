// The runtime's hash map: sdbm-hashed chains of nodes from a shared block
// allocator, with a current element for finds, adds and enumeration.
//
// Sections: helpers, creation and freeing, lookup and insertion, enumeration
// and deletion, copying, the published function table.
#include "core/map.h"

#include <cstring>
#include <cwctype>

#include "core/block_allocator.h"
#include "core/descriptor.h"
#include "core/memory.h"
#include "core/strings.h"

// Reserved record for saved current positions; no operation creates one yet.
struct MapSavedPosition {
  MapSavedPosition* next;  // older saved position
};

namespace {

constexpr int32_t kMinimumBatch = 16;
constexpr int32_t kMaximumBatch = 65536;
// Larger elements could not be addressed anyway; refusing them keeps the node
// size arithmetic from overflowing.
constexpr int64_t kMaximumElementSize = int64_t{1} << 48;
constexpr char16_t kEmptyKey[1] = {0};

// --- Helpers ---

char* ElementOf(MapNode* node) {
  return reinterpret_cast<char*>(node) + sizeof(MapNode);
}

const char16_t* KeyOf(const MapNode* node) {
  return reinterpret_cast<const char16_t*>(node->key);
}

// sdbm over UTF-16 units: h = h * 65599 + unit, modulo 2^32.
uint32_t HashKey(const char16_t* key, bool fold_case) {
  uint32_t h = 0;
  for (; *key; ++key) {
    // towlower, as the case-insensitive comparison uses, so that keys it finds
    // equal always land in the same slot.
    uint32_t unit = fold_case ? static_cast<uint32_t>(towlower(*key)) & 0xFFFF : *key;
    h = h * 0x1003Fu + unit;
  }
  return h;
}

// Where a string key lives: its slot and, counted in the same pass, its length. A find-or-add
// hashes the key once for the search and the add that follows it.
struct KeyPlace {
  int32_t slot;    // chain the key belongs to
  int64_t length;  // units before the terminator
};

KeyPlace PlaceOfString(const Map* map, const char16_t* key) {
  uint32_t h = 0;
  const char16_t* unit = key;
  if (map->flags & kMapNoCase) {
    h = HashKey(key, true);
    while (*unit) ++unit;
  } else {
    for (; *unit; ++unit) h = h * 0x1003Fu + *unit;
  }
  return KeyPlace{static_cast<int32_t>(h % static_cast<uint32_t>(map->slot_count)), unit - key};
}

int32_t SlotOfNumber(const Map* map, int64_t key) {
  int64_t slot = key % map->slot_count;
  // A negative key gives a negative remainder: fold it into the table.
  if (slot < 0) slot += map->slot_count;
  return static_cast<int32_t>(slot);
}

bool KeysEqual(const Map* map, const char16_t* a, const char16_t* b) {
  return (map->flags & kMapNoCase) ? CompareStringsNoCase(a, b) == 0 : CompareStrings(a, b) == 0;
}

// Frees what a node owns (key copy, element strings and containers) and gives
// the node back to the allocator.
void ReleaseNode(Map* map, MapNode* node) {
  if (!(map->flags & kMapIntegerKeys)) HeapFree(reinterpret_cast<void*>(node->key));
  if (map->descriptor) DescriptorFreeElement(ElementOf(node), map->descriptor);
  GiveItem(map->allocator, node);
}

// Zero-fills a fresh or reset element and creates its nested containers.
void PrepareElement(Map* map, MapNode* node) {
  std::memset(ElementOf(node), 0, static_cast<size_t>(map->element_size));
  if (map->flags & kMapInitialise) DescriptorInitElement(ElementOf(node), map->descriptor);
}

// Makes node (found in slot behind predecessor, 0 for a chain head) current. The previous slot
// is left as the last enumeration step set it: a deletion of a chain head resumes there.
void MakeCurrent(Map* map, MapNode* node, int32_t slot, MapNode* predecessor) {
  map->current = node;
  map->current_slot = slot;
  map->predecessor = predecessor;
}

// Links a new node for key at the head of its chain; 0 when no node (or no
// key copy) can be had, leaving the map unchanged.
MapNode* LinkNewNode(Map* map, int32_t slot, intptr_t key) {
  auto* node = static_cast<MapNode*>(TakeItem(map->allocator));
  if (!node) return nullptr;
  node->key = key;
  node->next = map->buckets[slot];
  map->buckets[slot] = node;
  map->element_count++;
  MakeCurrent(map, node, slot, nullptr);
  PrepareElement(map, node);
  return node;
}

MapNode* AddStringNode(Map* map, const char16_t* key, KeyPlace place) {
  const auto bytes = static_cast<size_t>(place.length + 1) * 2;
  auto* copy = static_cast<char16_t*>(HeapAlloc(bytes));
  if (!copy) return nullptr;
  std::memcpy(copy, key, bytes);
  MapNode* node = LinkNewNode(map, place.slot, reinterpret_cast<intptr_t>(copy));
  if (!node) HeapFree(copy);
  return node;
}

// Resets an existing element for MapAdd: strings and containers freed, zeros.
void* ResetElement(Map* map, MapNode* node) {
  if (map->descriptor) DescriptorFreeElement(ElementOf(node), map->descriptor);
  PrepareElement(map, node);
  return ElementOf(node);
}

}  // namespace

// --- Creation and freeing ---

Map* MapCreate(int64_t element_size, int32_t type_code, const int64_t* descriptor, Map** owner,
               int32_t slot_count, uint32_t flags) {
  if (owner && *owner) MapFree(*owner);
  if (element_size < 0 || element_size > kMaximumElementSize) return nullptr;
  if (slot_count < 2) slot_count = 1;

  auto* map = static_cast<Map*>(AllocBlock(sizeof(Map)));
  if (!map) return nullptr;
  map->buckets = static_cast<MapNode**>(AllocBlock(int64_t{slot_count} * sizeof(MapNode*)));
  map->allocator = CreateBlockAllocator(element_size + int64_t{sizeof(MapNode)}, kMinimumBatch,
                                        kMaximumBatch, kBlockAllocatorShared);
  if (!map->buckets || !map->allocator) {
    FreeBlock(map->buckets);
    if (map->allocator) ReleaseBlockAllocator(map->allocator);
    FreeBlock(map);
    return nullptr;
  }
  // The spare element is a convenience, not a requirement: its absence is no failure.
  map->spare = AllocBlock(element_size + int64_t{sizeof(MapNode)});
  if (map->spare) static_cast<MapNode*>(map->spare)->key = reinterpret_cast<intptr_t>(kEmptyKey);
  map->descriptor = descriptor;
  map->current_slot = -1;
  map->previous_slot = -1;
  map->element_size = element_size;
  map->type_code = type_code;
  map->slot_count = slot_count;
  map->flags = flags & (kMapNoCase | kMapIntegerKeys);
  if (DescriptorNeedsInit(descriptor)) map->flags |= kMapInitialise;
  map->owner = owner;
  if (owner) *owner = map;
  return map;
}

void MapClear(Map* map) {
  if (!map) return;
  MapRewind(map);
  for (int32_t slot = 0; slot < map->slot_count; ++slot) {
    MapNode* node = map->buckets[slot];
    while (node) {
      MapNode* next = node->next;
      ReleaseNode(map, node);
      node = next;
    }
    map->buckets[slot] = nullptr;
  }
  MapRewind(map);
  map->element_count = 0;
}

void MapFree(Map* map) {
  if (!map) return;
  MapClear(map);
  while (map->saved) {
    MapSavedPosition* next = map->saved->next;
    FreeBlock(map->saved);
    map->saved = next;
  }
  FreeBlock(map->spare);
  FreeBlock(map->buckets);
  ReleaseBlockAllocator(map->allocator);
  // Only clear the owner variable while it still names this map.
  if (map->owner && *map->owner == map) *map->owner = nullptr;
  FreeBlock(map);
}

// --- Lookup and insertion ---

namespace {

// Walks the key's chain; on a match makes the node current. The predecessor is
// only stored on a match, so a failed find leaves a deletable current element.
MapNode* FindStringNode(Map* map, const char16_t* key, int32_t slot) {
  MapNode* before = nullptr;
  for (MapNode* node = map->buckets[slot]; node; before = node, node = node->next) {
    if (KeysEqual(map, KeyOf(node), key)) {
      MakeCurrent(map, node, slot, before);
      return node;
    }
  }
  return nullptr;
}

MapNode* FindNumberNode(Map* map, int64_t key) {
  int32_t slot = SlotOfNumber(map, key);
  MapNode* before = nullptr;
  for (MapNode* node = map->buckets[slot]; node; before = node, node = node->next) {
    if (node->key == key) {
      MakeCurrent(map, node, slot, before);
      return node;
    }
  }
  return nullptr;
}

}  // namespace

// String operations on an integer-key map (and the reverse) find nothing and add nothing.
void* MapFind(Map* map, const char16_t* key) {
  if (!map || (map->flags & kMapIntegerKeys)) return nullptr;
  if (!key) key = kEmptyKey;
  MapNode* node = FindStringNode(map, key, PlaceOfString(map, key).slot);
  return node ? ElementOf(node) : nullptr;
}

void* MapAdd(Map* map, const char16_t* key) {
  if (!map || (map->flags & kMapIntegerKeys)) return nullptr;
  if (!key) key = kEmptyKey;
  const KeyPlace place = PlaceOfString(map, key);
  if (MapNode* node = FindStringNode(map, key, place.slot)) return ResetElement(map, node);
  MapNode* node = AddStringNode(map, key, place);
  return node ? ElementOf(node) : nullptr;
}

void* MapFindOrAdd(Map* map, const char16_t* key) {
  if (!map || (map->flags & kMapIntegerKeys)) return nullptr;
  if (!key) key = kEmptyKey;
  const KeyPlace place = PlaceOfString(map, key);
  MapNode* node = FindStringNode(map, key, place.slot);
  if (!node) node = AddStringNode(map, key, place);
  return node ? ElementOf(node) : nullptr;
}

void* MapFindByNumber(Map* map, int64_t key) {
  if (!map || !(map->flags & kMapIntegerKeys)) return nullptr;
  MapNode* node = FindNumberNode(map, key);
  return node ? ElementOf(node) : nullptr;
}

void* MapAddByNumber(Map* map, int64_t key) {
  if (!map || !(map->flags & kMapIntegerKeys)) return nullptr;
  if (MapNode* node = FindNumberNode(map, key)) return ResetElement(map, node);
  MapNode* node = LinkNewNode(map, SlotOfNumber(map, key), static_cast<intptr_t>(key));
  return node ? ElementOf(node) : nullptr;
}

// --- Enumeration and deletion ---

void MapRewind(Map* map) {
  if (!map) return;
  map->current = nullptr;
  map->predecessor = nullptr;
  map->current_slot = -1;
  map->previous_slot = -1;
}

void* MapNext(Map* map) {
  if (!map) return nullptr;
  map->predecessor = map->current;
  map->previous_slot = map->current_slot;
  if (map->current && map->current->next) {
    map->current = map->current->next;
    return ElementOf(map->current);
  }
  // Without a current node only a rewound map (slot -1) starts again.
  if (!map->current && map->current_slot != -1) return nullptr;
  for (int32_t slot = map->current_slot + 1; slot < map->slot_count; ++slot) {
    if (map->buckets[slot]) {
      map->current = map->buckets[slot];
      map->current_slot = slot;
      return ElementOf(map->current);
    }
  }
  map->current = nullptr;
  map->current_slot = map->slot_count;  // past the end: the enumeration is over
  return nullptr;
}

void* MapDeleteCurrent(Map* map) {
  if (!map || !map->current) return nullptr;
  MapNode* node = map->current;
  MapNode** head = &map->buckets[map->current_slot];
  // The slot the next enumeration step resumes from: the predecessor's. For a chain head that
  // is the slot of the element the last step came from (or -1: from the start); a predecessor
  // inside the chain lies in the deleted node's own slot.
  int32_t resume_slot = map->previous_slot;
  if (*head == node) {
    *head = node->next;
  } else {
    // After a deletion the new current node's predecessor is not known (a
    // second deletion in a row): find it in the chain rather than lose nodes.
    if (!map->predecessor || map->predecessor->next != node) {
      MapNode* before = *head;
      while (before->next != node) before = before->next;
      map->predecessor = before;
    }
    map->predecessor->next = node->next;
    resume_slot = map->current_slot;
  }
  map->current = map->predecessor;
  map->current_slot = resume_slot;
  map->predecessor = nullptr;
  map->element_count--;
  ReleaseNode(map, node);
  return map->current ? ElementOf(map->current) : nullptr;
}

// --- Copying ---

int MapCopy(Map* source, Map* destination, int clear_first) {
  if (!source || !destination) return 0;
  // Copying a map into itself would only duplicate its own elements: nothing to do.
  if (source == destination) return 1;
  // Elements of another layout or another key kind cannot be carried over.
  if (source->element_size != destination->element_size ||
      source->descriptor != destination->descriptor ||
      (source->flags & kMapIntegerKeys) != (destination->flags & kMapIntegerKeys)) {
    return 0;
  }
  if (clear_first) MapClear(destination);
  // The source's chains are walked directly, so its current element stays as it was.

  int result = 1;
  for (int32_t slot = 0; slot < source->slot_count; ++slot) {
    for (MapNode* node = source->buckets[slot]; node; node = node->next) {
      MapNode* copy =
          (source->flags & kMapIntegerKeys)
              ? LinkNewNode(destination, SlotOfNumber(destination, node->key), node->key)
              : AddStringNode(destination, KeyOf(node), PlaceOfString(destination, KeyOf(node)));
      if (!copy) {
        result = 0;  // out of memory: what was copied so far stays
        continue;
      }
      DescriptorCopyElement(ElementOf(copy), ElementOf(node), source->element_size,
                            source->descriptor);
    }
  }

  MapRewind(destination);
  return result;
}

// --- Accessors ---

int64_t MapCount(const Map* map) {
  return map ? map->element_count : 0;
}

const char16_t* MapCurrentKey(const Map* map) {
  if (!map || !map->current || (map->flags & kMapIntegerKeys)) return nullptr;
  return KeyOf(map->current);
}

int64_t MapCurrentNumber(const Map* map) {
  if (!map || !map->current || !(map->flags & kMapIntegerKeys)) return 0;
  return map->current->key;
}

// --- Published function table ---

const MapFunctionTable kMapFunctions = {MapCreate, MapCopy, MapFree};
