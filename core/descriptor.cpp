// Element operations driven by structure descriptors: creating, freeing and
// duplicating the strings and nested containers inside an element.
#include "core/descriptor.h"

#include <cstring>

#include "core/array.h"
#include "core/list.h"
#include "core/map.h"
#include "core/temp_buffer.h"

namespace {

// A -7 entry with more dimensions than this creates no array (the field stays
// 0): no layout of this program comes near it.
constexpr int64_t kMaximumDimensions = 16;

// Words taken by the entry at d, 0 for an entry this code does not know.
int64_t EntryWords(const int64_t* d) {
  if (*d >= 0) return 1;
  switch (*d) {
    case kDescriptorStructArray:
      return 5;
    case kDescriptorStruct:
      return 4;
    case kDescriptorArray:
      return 6;
    case kDescriptorList:
      return 5;
    case kDescriptorMap:
      return 7;
    case kDescriptorArrayDims:
      return d[5] >= 0 ? 6 + d[5] : 0;
    default:
      return 0;
  }
}

bool IsContainer(int64_t code) {
  return code >= kDescriptorArrayDims && code <= kDescriptorArray;
}

// Calls visit(entry, field offset) for every string and container field,
// descending into nested structures and structure arrays. An unknown entry
// ends the walk, as the end marker does.
template <typename Visit>
void ForEachField(const int64_t* d, int64_t base, const Visit& visit) {
  for (int64_t words; d && *d != kDescriptorEnd && (words = EntryWords(d)) > 0; d += words) {
    if (*d >= 0) {
      visit(d, base + *d);
    } else if (*d == kDescriptorStruct) {
      ForEachField(DescriptorFromWord(d[3]), base + d[1], visit);
    } else if (*d == kDescriptorStructArray) {
      for (int64_t i = 0; i < d[1]; ++i) {
        ForEachField(DescriptorFromWord(d[4]), base + d[2] + i * d[3], visit);
      }
    } else {
      visit(d, base + d[1]);
    }
  }
}

template <typename T>
T& FieldAt(void* element, int64_t offset) {
  return *reinterpret_cast<T*>(static_cast<char*>(element) + offset);
}

// Creates the container described by entry d into its (zero) field.
void CreateContainer(const int64_t* d, char* field) {
  const int64_t* nested = DescriptorFromWord(d[4]);
  auto type = static_cast<int32_t>(d[3]);
  switch (d[0]) {
    case kDescriptorArray:
      kArrayFunctions.create(d[2], d[5], type, nested, reinterpret_cast<void**>(field));
      break;
    case kDescriptorArrayDims: {
      if (d[5] > kMaximumDimensions) break;
      int64_t sizes[kMaximumDimensions];  // ArrayCreateDims turns these into strides
      std::memcpy(sizes, d + 6, static_cast<size_t>(d[5]) * sizeof(int64_t));
      kArrayFunctions.create_dims(d[2], static_cast<int32_t>(d[5]), type, nested, sizes,
                                  reinterpret_cast<void**>(field));
      break;
    }
    case kDescriptorList:
      kListFunctions.create(d[2], reinterpret_cast<ListVariable*>(field), nested, type);
      break;
    case kDescriptorMap:
      kMapFunctions.create(d[2], type, nested, reinterpret_cast<Map**>(field),
                           static_cast<int32_t>(d[5]), static_cast<uint32_t>(d[6]));
      break;
  }
}

// Frees the container in a field and zeroes the field.
void FreeContainer(int64_t code, char* field) {
  switch (code) {
    case kDescriptorArray:
    case kDescriptorArrayDims:
      kArrayFunctions.free(*reinterpret_cast<void**>(field));
      *reinterpret_cast<void**>(field) = nullptr;
      break;
    case kDescriptorList: {
      auto* holder = reinterpret_cast<ListVariable*>(field);
      kListFunctions.free(holder->list);
      holder->list = nullptr;
      holder->current = nullptr;
      break;
    }
    case kDescriptorMap:
      kMapFunctions.free(*reinterpret_cast<Map**>(field));
      *reinterpret_cast<Map**>(field) = nullptr;
      break;
  }
}

// Makes the (zeroed) field at destination a duplicate of the container at source.
void DuplicateContainer(int64_t code, char* destination, const char* source) {
  switch (code) {
    case kDescriptorArray:
    case kDescriptorArrayDims: {
      void* array = *reinterpret_cast<void* const*>(source);
      if (array) kArrayFunctions.copy(array, reinterpret_cast<void**>(destination), 1);
      break;
    }
    case kDescriptorList: {
      List* list = reinterpret_cast<const ListVariable*>(source)->list;
      if (!list) break;
      List* copy = kListFunctions.create(list->node_size - int64_t{sizeof(ListNode)},
                                         reinterpret_cast<ListVariable*>(destination),
                                         list->descriptor, list->type_code);
      if (copy) kListFunctions.copy(list, copy, 0);
      break;
    }
    case kDescriptorMap: {
      Map* map = *reinterpret_cast<Map* const*>(source);
      if (!map) break;
      Map* copy =
          kMapFunctions.create(map->element_size, map->type_code, map->descriptor,
                               reinterpret_cast<Map**>(destination), map->slot_count, map->flags);
      if (copy) kMapFunctions.copy(map, copy, 0);
      break;
    }
  }
}

}  // namespace

int DescriptorNeedsInit(const int64_t* descriptor) {
  bool found = false;
  ForEachField(descriptor, 0, [&](const int64_t* d, int64_t) {
    if (IsContainer(*d)) found = true;
  });
  return found ? 1 : 0;
}

void DescriptorInitElement(void* element, const int64_t* descriptor) {
  ForEachField(descriptor, 0, [&](const int64_t* d, int64_t offset) {
    if (IsContainer(*d)) CreateContainer(d, &FieldAt<char>(element, offset));
  });
}

void DescriptorFreeElement(void* element, const int64_t* descriptor) {
  ForEachField(descriptor, 0, [&](const int64_t* d, int64_t offset) {
    if (*d >= 0) {
      char16_t*& string = FieldAt<char16_t*>(element, offset);
      FreeStringVar(string);
      string = nullptr;
    } else {
      FreeContainer(*d, &FieldAt<char>(element, offset));
    }
  });
}

void DescriptorRelinkElement(void* element, const int64_t* descriptor) {
  ForEachField(descriptor, 0, [&](const int64_t* d, int64_t offset) {
    char* field = &FieldAt<char>(element, offset);
    switch (*d) {
      case kDescriptorArray:
      case kDescriptorArrayDims:
        if (void* array = *reinterpret_cast<void**>(field)) {
          const_cast<ArrayHeader*>(ArrayHeaderOf(array))->variable =
              reinterpret_cast<void**>(field);
        }
        break;
      case kDescriptorList: {
        auto* holder = reinterpret_cast<ListVariable*>(field);
        if (holder->list) {
          holder->list->holder = holder;
          holder->list->current_variable = &holder->current;
        }
        break;
      }
      case kDescriptorMap:
        if (Map* map = *reinterpret_cast<Map**>(field)) map->owner = reinterpret_cast<Map**>(field);
        break;
    }
  });
}

void DescriptorCopyElement(void* destination, const void* source, int64_t size,
                           const int64_t* descriptor) {
  if (destination == source || size <= 0) return;
  if (!descriptor) {
    std::memcpy(destination, source, static_cast<size_t>(size));
    return;
  }
  // The destination's own strings and containers go first; after the byte copy
  // its pointer fields name the source's, and each is replaced by a duplicate.
  DescriptorFreeElement(destination, descriptor);
  std::memcpy(destination, source, static_cast<size_t>(size));
  void* from = const_cast<void*>(source);
  ForEachField(descriptor, 0, [&](const int64_t* d, int64_t offset) {
    if (*d >= 0) {
      char16_t*& string = FieldAt<char16_t*>(destination, offset);
      string = nullptr;
      const char16_t* text = FieldAt<char16_t*>(from, offset);
      if (text) AssignStringVar(&string, text);
    } else {
      char* field = &FieldAt<char>(destination, offset);
      std::memset(field, 0, *d == kDescriptorList ? sizeof(ListVariable) : sizeof(void*));
      DuplicateContainer(*d, field, &FieldAt<char>(from, offset));
    }
  });
}
