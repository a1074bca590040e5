// The runtime's dynamic arrays: one sized block holding a 48-byte header and
// the zero-filled elements; the application's variable holds the first element.
#pragma once

#include <cstdint>

// The header in front of the first element.
struct ArrayHeader {
  int32_t dimensions;         // number of dimensions, at least 1
  int32_t reserved;           // keeps the header 8-byte aligned
  int64_t element_size;       // bytes per element
  const int64_t* descriptor;  // element layout, 0 = plain data; not owned
  void** variable;            // the application's array variable, or 0
  int64_t count;              // elements (product of the dimension sizes)
  int32_t type_code;          // as declared by the caller; not interpreted
  int32_t reserved2;          // pads the header to 48 bytes
};
static_assert(sizeof(ArrayHeader) == 48, "the elements start 48 bytes into the block");

// Frees the array *variable held, then creates `count` zero-filled (and
// initialised) elements and stores the first one's address into *variable.
// Returns it, or 0 for a count below 1 or when memory runs out.
void* ArrayCreate(int64_t element_size, int64_t count, int32_t type_code, const int64_t* descriptor,
                  void** variable);
// As ArrayCreate with the product of dimensions[0 .. dimension_count - 1]; on
// success each size is replaced by its stride (the product of the sizes after
// it). 0 when a size is below 1.
void* ArrayCreateDims(int64_t element_size, int32_t dimension_count, int32_t type_code,
                      const int64_t* descriptor, int64_t* dimensions, void** variable);
// Copies the array whose first element is source into *destination. With
// allocate_new, *destination is replaced by a new array of the source's shape;
// otherwise it must have the same dimension count, element count and layout.
// 1 on success, else 0.
int ArrayCopy(const void* source, void** destination, int allocate_new);
// Grows or shrinks a one-dimensional array to `count` elements, keeping the
// first ones: removed elements are freed, added ones zero-filled and
// initialised. The block may move: the variable is updated and the new first
// element returned; 0 (array unchanged) for a count below 1, an array of more
// dimensions, or when memory runs out.
void* ArrayResize(void* first, int64_t count);
// Frees strings and nested containers of every element, zeroes the variable
// and frees the block; nothing for 0.
void ArrayFree(void* first);

int64_t ArrayCount(const void* first);  // 0 for 0
const ArrayHeader* ArrayHeaderOf(const void* first);

// The entries generic code uses for arrays nested in structures.
struct ArrayFunctionTable {
  void* (*create)(int64_t element_size, int64_t count, int32_t type_code, const int64_t* descriptor,
                  void** variable);
  void* (*create_dims)(int64_t element_size, int32_t dimension_count, int32_t type_code,
                       const int64_t* descriptor, int64_t* dimensions, void** variable);
  int (*copy)(const void* source, void** destination, int allocate_new);
  void (*free)(void* first);
};
extern const ArrayFunctionTable kArrayFunctions;
