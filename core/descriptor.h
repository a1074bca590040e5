// Structure descriptors: the -1-terminated lists of 64-bit words that tell maps,
// lists and arrays which fields of an element are strings or nested containers,
// and the element operations (initialise, free, copy) driven by them.
//
// Entry layouts (word 0 is the entry code, offsets are bytes from the start of
// the structure that the descriptor describes):
//
//   offset >= 0                    a string field (char16_t*: 0 or a string variable)
//   -2 count offset stride desc    a fixed array of `count` structures, each laid out by desc
//   -3 offset size desc            a nested structure of `size` bytes laid out by desc
//   -4 offset size type desc count a dynamic array (8-byte field: its first element)
//                                  created with `count` elements of `size` bytes
//   -5 offset size type desc       a list (16-byte field: the list variable)
//   -6 offset size type desc slots flags
//                                  a map (8-byte field: the map)
//   -7 offset size type desc dims d1 ... dn
//                                  a dynamic array of `dims` dimensions (8-byte field)
//   -1                             end of the descriptor
//
// `desc` words hold the address of another descriptor (0 = plain data); `type`
// is the element type code the nested container is created with. Nested
// containers are created when an element is initialised and freed with it,
// through the function tables published by the map, list and array libraries.
#pragma once

#include <cstdint>

enum : int64_t {
  kDescriptorEnd = -1,
  kDescriptorStructArray = -2,
  kDescriptorStruct = -3,
  kDescriptorArray = -4,
  kDescriptorList = -5,
  kDescriptorMap = -6,
  kDescriptorArrayDims = -7,
};

// The word that stores a descriptor address inside another descriptor.
inline int64_t DescriptorWord(const int64_t* descriptor) {
  return static_cast<int64_t>(reinterpret_cast<intptr_t>(descriptor));
}
inline const int64_t* DescriptorFromWord(int64_t word) {
  return reinterpret_cast<const int64_t*>(static_cast<intptr_t>(word));
}

// 1 when the descriptor, searched through nested structures and structure
// arrays, holds a container entry (-7 to -4): elements then need initialising.
int DescriptorNeedsInit(const int64_t* descriptor);

// Creates the element's nested containers (the element is zero-filled before).
void DescriptorInitElement(void* element, const int64_t* descriptor);

// Frees the element's strings and nested containers and zeroes their fields.
void DescriptorFreeElement(void* element, const int64_t* descriptor);

// Copies `size` bytes of source over destination, replacing the destination's
// strings and containers with duplicates of the source's (the destination's
// old ones are freed first). With no descriptor this is a plain byte copy.
void DescriptorCopyElement(void* destination, const void* source, int64_t size,
                           const int64_t* descriptor);

// Points the nested containers of an element that has moved (an array block
// that grew) back at their fields, which they know as their owner variables.
void DescriptorRelinkElement(void* element, const int64_t* descriptor);
