// Tests of dynamic arrays: creation, dimensions and strides, growth with
// nested containers, copying and freeing.
#include "core/array.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "core/descriptor.h"
#include "core/list.h"
#include "core/map.h"
#include "core/temp_buffer.h"

namespace {

TEST(ArrayTest, CreateGivesZeroedElementsAndReplacesThePreviousArray) {
  void* array = nullptr;
  auto* first = static_cast<int64_t*>(ArrayCreate(8, 1, 7, nullptr, &array));
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(array, first) << "the variable holds the first element";
  EXPECT_EQ(*first, 0) << "one 8-byte element of zeros";
  EXPECT_EQ(ArrayHeaderOf(first)->dimensions, 1);

  // Re-creating frees the old block (ASan reports a leak otherwise).
  ASSERT_NE(ArrayCreate(4, 100, 7, nullptr, &array), nullptr);
  EXPECT_EQ(ArrayCount(array), 100);
  EXPECT_EQ(ArrayCreate(4, 0, 7, nullptr, &array), nullptr) << "a count below 1 is refused";
  EXPECT_EQ(array, nullptr) << "the refused creation has freed the previous array";
  EXPECT_EQ(ArrayCreate(-1, 5, 7, nullptr, &array), nullptr);
  ArrayFree(nullptr);
}

TEST(ArrayTest, DimensionsBecomeStrides) {
  void* array = nullptr;
  int64_t dimensions[] = {2, 3, 4};
  ASSERT_NE(ArrayCreateDims(2, 3, 7, nullptr, dimensions, &array), nullptr);
  EXPECT_EQ(ArrayCount(array), 24);
  EXPECT_EQ(ArrayHeaderOf(array)->dimensions, 3);
  EXPECT_EQ(dimensions[0], 12) << "each size is replaced by the product of the following ones";
  EXPECT_EQ(dimensions[1], 4);
  EXPECT_EQ(dimensions[2], 1);

  int64_t bad[] = {2, 0};
  void* other = nullptr;
  EXPECT_EQ(ArrayCreateDims(2, 2, 7, nullptr, bad, &other), nullptr) << "a size below 1";
  EXPECT_EQ(bad[0], 2) << "a refused record keeps its sizes";
  EXPECT_EQ(ArrayResize(array, 30), nullptr) << "only one-dimensional arrays resize";
  ArrayFree(array);
  EXPECT_EQ(array, nullptr) << "ArrayFree zeroes the variable";
}

struct Entry {
  char16_t* name;
  Map* map;
  ListVariable list;
  void* values;
};
const int64_t kEntryLayout[] = {0,
                                kDescriptorMap,
                                8,
                                8,
                                21,
                                0,
                                16,
                                0,
                                kDescriptorList,
                                16,
                                8,
                                7,
                                0,
                                kDescriptorArrayDims,
                                32,
                                8,
                                7,
                                0,
                                2,
                                2,
                                3,
                                kDescriptorEnd};

Entry* Fill(void* array, int64_t i) {
  auto* entry = static_cast<Entry*>(array) + i;
  std::u16string name = u"entry" + std::u16string(1, static_cast<char16_t>(u'a' + i));
  AssignStringVar(&entry->name, name.c_str());
  *static_cast<int64_t*>(MapFindOrAdd(entry->map, u"i")) = i;
  *static_cast<int64_t*>(ListAdd(entry->list.list)) = i;
  static_cast<int64_t*>(entry->values)[5] = i;
  return entry;
}

TEST(ArrayTest, GrowingKeepsElementsAndTheirNestedContainers) {
  void* array = nullptr;
  ASSERT_NE(ArrayCreate(sizeof(Entry), 2, 7, kEntryLayout, &array), nullptr);
  EXPECT_EQ(ArrayCount(static_cast<Entry*>(array)->values), 6) << "a 2 x 3 nested array";
  for (int64_t i = 0; i < 2; ++i) Fill(array, i);

  // Growth moves the block: nested containers must follow their fields.
  for (int64_t count = 4; count <= 256; count *= 2) {
    ASSERT_NE(ArrayResize(array, count), nullptr);
    ASSERT_EQ(ArrayCount(array), count);
  }
  auto* entries = static_cast<Entry*>(array);
  EXPECT_EQ(std::u16string(entries[1].name), u"entryb");
  EXPECT_EQ(*static_cast<int64_t*>(MapFind(entries[1].map, u"i")), 1);
  EXPECT_EQ(entries[1].map->owner, &entries[1].map) << "the map's owner follows the block";
  EXPECT_EQ(entries[1].list.list->holder, &entries[1].list);
  EXPECT_EQ(ArrayHeaderOf(entries[1].values)->variable, &entries[1].values);
  EXPECT_NE(entries[200].map, nullptr) << "added elements are initialised";
  EXPECT_EQ(entries[200].name, nullptr) << "added elements are zero-filled";
  Fill(array, 200);

  // Publishing through a moved list variable must land in the new block.
  ListAdd(entries[0].list.list);
  EXPECT_NE(entries[0].list.current, nullptr);

  ASSERT_NE(ArrayResize(array, 1), nullptr);  // frees elements 1 to 255
  EXPECT_EQ(ArrayCount(array), 1);
  EXPECT_EQ(ArrayResize(array, 0), nullptr) << "a count below 1 is refused";
  ArrayFree(array);
  EXPECT_EQ(array, nullptr);
}

TEST(ArrayTest, CopyDuplicatesElementsOfTheSameShapeOnly) {
  void* source = nullptr;
  void* copy = nullptr;
  ArrayCreate(sizeof(Entry), 3, 7, kEntryLayout, &source);
  for (int64_t i = 0; i < 3; ++i) Fill(source, i);

  ASSERT_EQ(ArrayCopy(source, &copy, 1), 1) << "allocate-new copies into a fresh array";
  auto* copied = static_cast<Entry*>(copy);
  auto* original = static_cast<Entry*>(source);
  EXPECT_NE(copied[2].name, original[2].name);
  EXPECT_EQ(std::u16string(copied[2].name), u"entryc");
  EXPECT_NE(copied[2].map, original[2].map);
  EXPECT_EQ(*static_cast<int64_t*>(ListSelect(copied[2].list.list, 0)), 2);
  EXPECT_EQ(static_cast<int64_t*>(copied[2].values)[5], 2);

  // Copy again into the existing array: its old contents are freed and replaced.
  AssignStringVar(&original[0].name, u"renamed");
  ASSERT_EQ(ArrayCopy(source, &copy, 0), 1);
  EXPECT_EQ(std::u16string(static_cast<Entry*>(copy)[0].name), u"renamed");
  EXPECT_EQ(ListCount(static_cast<Entry*>(copy)[0].list.list), 1) << "lists are replaced";

  void* small = nullptr;
  ArrayCreate(sizeof(Entry), 2, 7, kEntryLayout, &small);
  EXPECT_EQ(ArrayCopy(source, &small, 0), 0) << "element counts differ";
  void* flat = nullptr;
  int64_t dimensions[] = {1, 3};
  ArrayCreateDims(sizeof(Entry), 2, 7, kEntryLayout, dimensions, &flat);
  EXPECT_EQ(ArrayCopy(source, &flat, 0), 0) << "dimension counts differ";

  ArrayFree(source);
  EXPECT_EQ(std::u16string(static_cast<Entry*>(copy)[1].name), u"entryb")
      << "the copy outlives its source";
  ArrayFree(copy);
  ArrayFree(small);
  ArrayFree(flat);
}

}  // namespace
