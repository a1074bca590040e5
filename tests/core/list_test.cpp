// Tests of the linked list: insertion at both ends, the published current
// element, deletion cases, selection by index, copying and nested fields.
#include "core/list.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "core/descriptor.h"
#include "core/map.h"
#include "core/temp_buffer.h"

namespace {

int64_t& ValueOf(void* element) {
  return *static_cast<int64_t*>(element);
}

std::vector<int64_t> Values(List* list) {
  std::vector<int64_t> values;
  ListReset(list);
  while (void* element = ListNext(list)) values.push_back(ValueOf(element));
  return values;
}

// The element the list variable publishes (its current node + 16).
void* Published(const ListVariable& variable) {
  return variable.current ? reinterpret_cast<char*>(variable.current) + 16 : nullptr;
}

TEST(ListTest, AddInsertsAfterTheCurrentElementOrAtTheFront) {
  ListVariable variable = {};
  List* list = ListCreate(8, &variable, nullptr, 7);
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(variable.list, list);

  void* only = ListAdd(list);
  ASSERT_NE(only, nullptr);
  EXPECT_EQ(ValueOf(only), 0) << "a new element is zero-filled";
  ValueOf(only) = 2;
  EXPECT_EQ(list->first, list->last) << "the only element is first and last";
  EXPECT_EQ(Published(variable), only) << "the new element is published as current";

  ValueOf(ListAdd(list)) = 4;  // after the current one: the back
  ListReset(list);
  ValueOf(ListAdd(list)) = 1;  // after a reset: the front
  EXPECT_EQ(ListIndex(list), 0);
  ValueOf(ListAdd(list)) = 3;  // after the current 1, before 2
  EXPECT_EQ(ListIndex(list), 1);
  EXPECT_EQ(Values(list), (std::vector<int64_t>{1, 3, 2, 4}));
  EXPECT_EQ(ValueOf(ListCurrent(list)), 4) << "after an enumeration the last element is current";
  EXPECT_EQ(ListNext(list), nullptr) << "the end of the list stays the end";
  EXPECT_EQ(ValueOf(Published(variable)), 4) << "ListNext at the end keeps the current element";

  ListFree(list);
  EXPECT_EQ(variable.list, nullptr) << "ListFree zeroes the list variable";
  EXPECT_EQ(variable.current, nullptr);
}

TEST(ListTest, DeleteCurrentLeavesTheRightCurrentElement) {
  ListVariable variable = {};
  List* list = ListCreate(8, &variable, nullptr, 7);
  for (int64_t i = 1; i <= 5; ++i) ValueOf(ListAdd(list)) = i;

  // Middle: the previous element becomes current and enumeration continues.
  ListSelect(list, 2);
  EXPECT_EQ(ValueOf(ListDeleteCurrent(list)), 2) << "deleting 3 makes 2 current";
  EXPECT_EQ(ListIndex(list), 1);
  EXPECT_EQ(ValueOf(ListNext(list)), 4) << "the next element after a deletion follows it";

  // Last: its predecessor becomes last and current.
  ListSelect(list, 3);
  EXPECT_EQ(ValueOf(ListDeleteCurrent(list)), 4);
  EXPECT_EQ(ValueOf(list->last + 1), 4) << "4 must be the last node now";
  EXPECT_EQ(list->last->next, nullptr);

  // First, flags 0: no current element; ListNext gives the new first.
  ListSelect(list, 0);
  EXPECT_EQ(ListDeleteCurrent(list), nullptr);
  EXPECT_EQ(variable.current, nullptr) << "no current element is published as 0";
  EXPECT_EQ(ValueOf(ListNext(list)), 2);

  // First, with kListDeleteKeepFirst: the new first becomes current.
  ListSelect(list, 0);
  EXPECT_EQ(ValueOf(ListDeleteCurrent(list, kListDeleteKeepFirst)), 4);
  EXPECT_EQ(ListIndex(list), 0);
  EXPECT_EQ(list->first->previous, nullptr);

  // The only element: the list becomes empty.
  EXPECT_EQ(ListDeleteCurrent(list), nullptr);
  EXPECT_EQ(ListCount(list), 0);
  EXPECT_EQ(list->first, nullptr);
  EXPECT_EQ(list->last, nullptr);
  EXPECT_EQ(ListDeleteCurrent(list), nullptr) << "deleting without a current element does nothing";

  // Delete-then-next removes everything in one enumeration.
  for (int64_t i = 1; i <= 6; ++i) ValueOf(ListAdd(list)) = i;
  int deleted = 0;
  ListReset(list);
  while (ListNext(list)) {
    ListDeleteCurrent(list);
    ++deleted;
  }
  EXPECT_EQ(deleted, 6) << "delete-then-next must visit every element";
  EXPECT_EQ(ListCount(list), 0);
  ListFree(list);
}

TEST(ListTest, SelectFindsEachIndexFromAnyStartingPoint) {
  List* list = ListCreate(8, nullptr, nullptr, 7);  // the list keeps its own variable
  ASSERT_NE(list, nullptr);
  EXPECT_TRUE(list->owns_holder);
  for (int64_t i = 0; i < 20; ++i) ValueOf(ListAdd(list)) = i;

  // Walk in jumps both ways so that every starting point is used.
  for (int64_t index : {0, 19, 3, 17, 10, 9, 11, 1, 18, 0}) {
    void* element = ListSelect(list, index);
    ASSERT_NE(element, nullptr);
    EXPECT_EQ(ValueOf(element), index) << "ListSelect(" << index << ") gave the wrong element";
    EXPECT_EQ(ListIndex(list), index);
  }
  for (int64_t index : {12, 2}) {  // from no current element: from the first or the last
    ListReset(list);
    EXPECT_EQ(ValueOf(ListSelect(list, index)), index);
  }
  EXPECT_EQ(ListSelect(list, 20), nullptr) << "an index equal to the count is out of range";
  EXPECT_EQ(ListCurrent(list), nullptr) << "an out-of-range selection clears the current element";
  EXPECT_EQ(ListSelect(list, -1), nullptr);
  EXPECT_EQ(ValueOf(ListNext(list)), 0) << "after a failed selection ListNext starts at the front";
  ListFree(list);
}

struct HotKey {
  char16_t* text;
  int64_t id;
  Map* names;
};
const int64_t kHotKeyLayout[] = {0, kDescriptorMap, 16, 8, 21, 0, 4, 0, kDescriptorEnd};

TEST(ListTest, CopyDuplicatesStringsAndNestedMaps) {
  ListVariable source_variable = {};
  ListVariable copy_variable = {};
  List* source = ListCreate(sizeof(HotKey), &source_variable, kHotKeyLayout, 7);
  List* copy = ListCreate(sizeof(HotKey), &copy_variable, kHotKeyLayout, 7);
  for (int64_t i = 0; i < 3; ++i) {
    auto* key = static_cast<HotKey*>(ListAdd(source));
    ASSERT_NE(key->names, nullptr) << "the nested map is created with the element";
    AssignStringVar(&key->text, i == 1 ? u"⌃⌥/" : u"⌃⌥T");
    key->id = i;
    ValueOf(MapFindOrAdd(key->names, u"T")) = i;
  }
  ValueOf(ListAdd(copy)) = 0;  // replaced: the copy clears first

  ASSERT_EQ(ListCopy(source, copy, 1), 1);
  ASSERT_EQ(ListCount(copy), 3);
  auto* copied = static_cast<HotKey*>(ListSelect(copy, 1));
  auto* original = static_cast<HotKey*>(ListSelect(source, 1));
  EXPECT_EQ(copied->id, 1) << "elements keep their order";
  EXPECT_NE(copied->text, original->text) << "strings are duplicated";
  EXPECT_EQ(std::u16string(copied->text), u"⌃⌥/");
  EXPECT_NE(copied->names, original->names) << "nested maps are duplicated";
  EXPECT_EQ(ValueOf(MapFind(copied->names, u"T")), 1);

  ListDeleteCurrent(source);  // frees the string and the map of element 1
  ListFree(source);
  EXPECT_EQ(std::u16string(copied->text), u"⌃⌥/") << "the copy outlives its source";
  EXPECT_EQ(ListCopy(nullptr, copy, 0), 0);
  ListClear(copy);
  EXPECT_EQ(ListCount(copy), 0);
  EXPECT_EQ(copy_variable.current, nullptr) << "clearing publishes no current element";
  ListFree(copy);
}

}  // namespace
