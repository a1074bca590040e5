// The runtime's hash map: chained buckets from string keys (or 64-bit integer
// keys) to fixed-size, zero-filled elements, with a current element that every
// find, add and enumeration step sets so that enumeration may delete.
#pragma once

#include <cstdint>

struct BlockAllocator;

enum : uint32_t {
  kMapNoCase = 1,       // string keys hashed and compared without case
  kMapInitialise = 2,   // elements hold nested containers (set from the descriptor)
  kMapIntegerKeys = 4,  // keys are 64-bit integers
};

// One element's node, taken from the shared node allocator; the element's bytes
// follow it. The application only ever sees the element part.
struct MapNode {
  MapNode* next;  // next node in the same chain
  intptr_t key;   // char16_t* private heap copy of the key, or the integer key
};

struct MapSavedPosition;

struct Map {
  MapNode* current;           // node of the current element, 0 = none
  MapNode** buckets;          // sized block of slot_count chain heads
  MapNode* predecessor;       // node before current (in its chain or in enumeration order)
  void* spare;                // zero-filled node-sized block with the empty key; owned
  const int64_t* descriptor;  // element layout, 0 = plain data; not owned
  int32_t current_slot;       // slot of current; -1 = before the first element
  int32_t previous_slot;      // current_slot as it was when the last MapNext began
  int64_t element_size;       // bytes of user data per element
  int32_t type_code;          // value type as declared by the caller; not interpreted
  int32_t slot_count;         // number of buckets, at least 1
  int32_t element_count;      // elements in the map
  uint32_t flags;             // kMapNoCase | kMapInitialise | kMapIntegerKeys
  Map** owner;                // application variable holding this map, or 0
  MapSavedPosition* saved;    // reserved for saved positions; released with the map
  BlockAllocator* allocator;  // shared allocator for nodes of element_size + 16 bytes
};

// Creates a map (freeing the one *owner held first) and stores it into *owner.
// `flags` takes kMapNoCase and kMapIntegerKeys; kMapInitialise follows from the
// descriptor. Returns 0 (and *owner stays 0) when memory runs out.
Map* MapCreate(int64_t element_size, int32_t type_code, const int64_t* descriptor, Map** owner,
               int32_t slot_count, uint32_t flags = 0);
void MapFree(Map* map);   // clears, releases everything, zeroes *owner; nothing for 0
void MapClear(Map* map);  // removes all elements

// String keys; a null key is the empty string. Each returns an element or 0.
void* MapFind(Map* map, const char16_t* key);
void* MapAdd(Map* map, const char16_t* key);        // an existing element is reset to zeros
void* MapFindOrAdd(Map* map, const char16_t* key);  // what an assignment to an entry does

// Integer keys (maps created with kMapIntegerKeys).
void* MapFindByNumber(Map* map, int64_t key);
void* MapAddByNumber(Map* map, int64_t key);

// Enumeration: slots in ascending order, each chain from head to tail.
void MapRewind(Map* map);
void* MapNext(Map* map);
// Removes the current element; the next MapNext continues after it. Returns the
// element that became current, or 0.
void* MapDeleteCurrent(Map* map);

// Adds every element of source to destination (optionally cleared first),
// duplicating strings and nested containers. 1, or 0 when either map is null.
int MapCopy(Map* source, Map* destination, int clear_first);

// Accessors for the current element's key and the element count.
int64_t MapCount(const Map* map);
const char16_t* MapCurrentKey(const Map* map);  // 0 when none or for integer keys
int64_t MapCurrentNumber(const Map* map);       // 0 when none or for string keys

// The entries generic code uses for maps nested in structures.
struct MapFunctionTable {
  Map* (*create)(int64_t element_size, int32_t type_code, const int64_t* descriptor, Map** owner,
                 int32_t slot_count, uint32_t flags);
  int (*copy)(Map* source, Map* destination, int clear_first);
  void (*free)(Map* map);
};
extern const MapFunctionTable kMapFunctions;
