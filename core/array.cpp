// The runtime's dynamic arrays: creation (one or more dimensions), element
// copying through the structure descriptor, and freeing.
#include "core/array.h"

#include <cstdint>
#include <cstring>

#include "core/descriptor.h"
#include "core/memory.h"

namespace {

char* FirstOf(ArrayHeader* header) {
  return reinterpret_cast<char*>(header + 1);
}

ArrayHeader* HeaderOf(const void* first) {
  return reinterpret_cast<ArrayHeader*>(const_cast<char*>(static_cast<const char*>(first))) - 1;
}

// The common creation path; 0 for a bad shape or when memory runs out.
void* CreateArray(int64_t element_size, int64_t count, int32_t dimensions, int32_t type_code,
                  const int64_t* descriptor, void** variable) {
  if (variable && *variable) ArrayFree(*variable);
  if (count < 1 || element_size < 0) return nullptr;
  // Refuse sizes whose byte count would not fit in 64 bits.
  if (element_size > 0 && count > (INT64_MAX - int64_t{sizeof(ArrayHeader)}) / element_size) {
    return nullptr;
  }
  auto* header =
      static_cast<ArrayHeader*>(AllocBlock(int64_t{sizeof(ArrayHeader)} + count * element_size));
  if (!header) return nullptr;
  header->dimensions = dimensions;
  header->element_size = element_size;
  header->descriptor = descriptor;
  header->variable = variable;
  header->count = count;
  header->type_code = type_code;
  char* first = FirstOf(header);
  if (DescriptorNeedsInit(descriptor)) {
    for (int64_t i = 0; i < count; ++i) DescriptorInitElement(first + i * element_size, descriptor);
  }
  if (variable) *variable = first;
  return first;
}

}  // namespace

void* ArrayCreate(int64_t element_size, int64_t count, int32_t type_code, const int64_t* descriptor,
                  void** variable) {
  return CreateArray(element_size, count, 1, type_code, descriptor, variable);
}

void* ArrayCreateDims(int64_t element_size, int32_t dimension_count, int32_t type_code,
                      const int64_t* descriptor, int64_t* dimensions, void** variable) {
  if (dimension_count < 1 || !dimensions) return nullptr;
  int64_t count = 1;
  for (int32_t i = 0; i < dimension_count; ++i) {
    if (dimensions[i] < 1 || count > INT64_MAX / dimensions[i]) return nullptr;
    count *= dimensions[i];
  }
  void* first = CreateArray(element_size, count, dimension_count, type_code, descriptor, variable);
  if (!first) return nullptr;
  int64_t stride = 1;
  for (int32_t i = dimension_count - 1; i >= 0; --i) {
    int64_t size = dimensions[i];
    dimensions[i] = stride;
    stride *= size;
  }
  return first;
}

int ArrayCopy(const void* source, void** destination, int allocate_new) {
  if (!source || !destination) return 0;
  if (*destination == source) return 1;  // an array copied onto itself is already a copy
  const ArrayHeader* from = HeaderOf(source);
  if (allocate_new) {
    if (!CreateArray(from->element_size, from->count, from->dimensions, from->type_code,
                     from->descriptor, destination)) {
      return 0;
    }
  }
  if (!*destination) return 0;
  const ArrayHeader* to = HeaderOf(*destination);
  // Elements of another shape or layout cannot be carried over.
  if (to->dimensions != from->dimensions || to->count != from->count ||
      to->element_size != from->element_size || to->descriptor != from->descriptor) {
    return 0;
  }
  auto* target = static_cast<char*>(*destination);
  const auto* origin = static_cast<const char*>(source);
  if (!from->descriptor) {
    std::memcpy(target, origin, static_cast<size_t>(from->count * from->element_size));
    return 1;
  }
  for (int64_t i = 0; i < from->count; ++i) {
    DescriptorCopyElement(target + i * from->element_size, origin + i * from->element_size,
                          from->element_size, from->descriptor);
  }
  return 1;
}

void* ArrayResize(void* first, int64_t count) {
  if (!first || count < 1) return nullptr;
  ArrayHeader* header = HeaderOf(first);
  const int64_t size = header->element_size;
  const int64_t old_count = header->count;
  if (header->dimensions != 1) return nullptr;
  if (size > 0 && count > (INT64_MAX - int64_t{sizeof(ArrayHeader)}) / size) return nullptr;
  if (count == old_count) return first;

  // Elements that are cut off are freed before the block shrinks; should the
  // shrink itself fail, the (now plain) elements simply stay past the count.
  if (count < old_count && header->descriptor) {
    for (int64_t i = count; i < old_count; ++i) {
      DescriptorFreeElement(static_cast<char*>(first) + i * size, header->descriptor);
    }
  }
  auto* resized =
      static_cast<ArrayHeader*>(ResizeBlock(header, int64_t{sizeof(ArrayHeader)} + count * size));
  if (!resized) {
    if (count > old_count) return nullptr;
    resized = header;
  }
  char* elements = FirstOf(resized);
  resized->count = count;
  const int64_t* descriptor = resized->descriptor;
  const bool nested = DescriptorNeedsInit(descriptor);
  if (nested && resized != header) {
    const int64_t kept = count < old_count ? count : old_count;
    for (int64_t i = 0; i < kept; ++i) DescriptorRelinkElement(elements + i * size, descriptor);
  }
  if (nested) {
    // ResizeBlock zero-filled the added elements.
    for (int64_t i = old_count; i < count; ++i)
      DescriptorInitElement(elements + i * size, descriptor);
  }
  if (resized->variable && *resized->variable == first) *resized->variable = elements;
  return elements;
}

void ArrayFree(void* first) {
  if (!first) return;
  ArrayHeader* header = HeaderOf(first);
  if (header->descriptor) {
    auto* element = static_cast<char*>(first);
    for (int64_t i = 0; i < header->count; ++i) {
      DescriptorFreeElement(element + i * header->element_size, header->descriptor);
    }
  }
  // Only clear the variable while it still names this array.
  if (header->variable && *header->variable == first) *header->variable = nullptr;
  FreeBlock(header);
}

int64_t ArrayCount(const void* first) {
  return first ? HeaderOf(first)->count : 0;
}

const ArrayHeader* ArrayHeaderOf(const void* first) {
  return first ? HeaderOf(first) : nullptr;
}

const ArrayFunctionTable kArrayFunctions = {ArrayCreate, ArrayCreateDims, ArrayCopy, ArrayFree};
