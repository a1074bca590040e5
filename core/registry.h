// Object registry: turns the object numbers the application passes (a small
// static index, or a record address for a dynamic object) into records.
// The first 64-bit field of every record is non-zero exactly while it lives.
#pragma once

#include <cstdint>

typedef void (*RegistryFreeCallback)(int64_t number);

struct ObjectRegistry {
  int32_t record_size;  // bytes in one object record
  int32_t growth_step;  // initial slots, and spare slots added beyond a requested index
  int64_t slot_count;   // current number of table slots
  void** slots;         // one record pointer per slot; 0 = no record memory yet
  void* dynamic_list;   // newest dynamic node first; records lie 16 bytes after nodes
  RegistryFreeCallback free_callback;  // releases one object of the library; may be 0
  int64_t enumeration_index;           // next slot to visit
  void* enumeration_node;              // next dynamic node to visit (oldest first)
};

ObjectRegistry* CreateRegistry(int32_t record_size, int32_t growth_step,
                               RegistryFreeCallback free_callback);
void CreateRegistryOnce(ObjectRegistry** registry, int32_t record_size, int32_t growth_step,
                        RegistryFreeCallback free_callback);
// -1 makes a dynamic object (its record address is its number). Explicit numbers
// run from 0 to 1048575; a larger or other negative number, or memory running
// out (the table then stays as it was), gives 0.
void* AllocateObject(ObjectRegistry* registry, int64_t number);
// A number outside the table is taken as a dynamic record's address unless it
// is negative or at most 1048575, which can never be an address: those give 0.
void* FindObject(ObjectRegistry* registry, int64_t number);
int64_t IsObject(ObjectRegistry* registry, int64_t number);
void FreeObject(ObjectRegistry* registry, int64_t number);
void FreeAllObjects(ObjectRegistry* registry);
void ResetObjectEnumeration(ObjectRegistry* registry);
void* NextObject(ObjectRegistry* registry, int64_t* number);
// Frees the registry with its table, records and dynamic nodes without calling
// the free callback (the program keeps its registries; tests and tools do not).
void DestroyRegistry(ObjectRegistry* registry);
