// Tests of the hash map: keys, the current element, enumeration with deletion,
// shared node allocators, copying and elements with strings and nested containers.
#include "core/map.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "core/array.h"
#include "core/block_allocator.h"
#include "core/descriptor.h"
#include "core/list.h"
#include "core/temp_buffer.h"

namespace {

// The test's own sdbm, to predict slots independently of the map.
uint32_t Sdbm(const std::u16string& key) {
  uint32_t h = 0;
  for (char16_t unit : key) h = h * 65599u + unit;
  return h;
}

int64_t& ValueOf(void* element) {
  return *static_cast<int64_t*>(element);
}

std::u16string KeyName(int i) {
  std::string text = "key" + std::to_string(i * 7919);
  return std::u16string(text.begin(), text.end());
}

// Every key of the map in enumeration order.
std::vector<std::u16string> EnumeratedKeys(Map* map) {
  std::vector<std::u16string> keys;
  MapRewind(map);
  while (MapNext(map)) keys.emplace_back(MapCurrentKey(map));
  return keys;
}

TEST(MapTest, KeysAreExactUnlessCaseFoldingIsAsked) {
  Map* exact = nullptr;
  ASSERT_NE(MapCreate(8, 21, nullptr, &exact, 512), nullptr);
  ValueOf(MapFindOrAdd(exact, u"Return")) = 36;
  ValueOf(MapFindOrAdd(exact, u"return")) = 99;
  EXPECT_EQ(MapCount(exact), 2) << "Return and return are two keys without case folding";
  EXPECT_EQ(ValueOf(MapFind(exact, u"Return")), 36);
  EXPECT_EQ(MapFind(exact, u"RETURN"), nullptr) << "an exact map must not fold case";

  Map* folded = nullptr;
  ASSERT_NE(MapCreate(8, 21, nullptr, &folded, 512, kMapNoCase), nullptr);
  ValueOf(MapFindOrAdd(folded, u"Return")) = 36;
  ValueOf(MapFindOrAdd(folded, u"rEtUrN")) = 37;
  EXPECT_EQ(MapCount(folded), 1) << "case-folding keys must land on one element";
  ASSERT_NE(MapFind(folded, u"RETURN"), nullptr);
  EXPECT_EQ(ValueOf(MapFind(folded, u"return")), 37) << "the last assignment wins";
  EXPECT_EQ(std::u16string(MapCurrentKey(folded)), u"Return") << "the first spelling is kept";

  // A null key is the empty string.
  ValueOf(MapFindOrAdd(exact, nullptr)) = 5;
  EXPECT_EQ(ValueOf(MapFind(exact, u"")), 5) << "null and empty keys must be the same key";
  MapFree(exact);
  MapFree(folded);
  EXPECT_EQ(exact, nullptr) << "MapFree must clear the owner variable";
}

TEST(MapTest, AddResetsAnExistingElementAndFindOrAddKeepsIt) {
  Map* map = nullptr;
  MapCreate(8, 21, nullptr, &map, 16);
  ValueOf(MapFindOrAdd(map, u"Space")) = 49;
  ValueOf(MapFindOrAdd(map, u"Space")) = 50;
  EXPECT_EQ(MapCount(map), 1);
  EXPECT_EQ(ValueOf(MapFind(map, u"Space")), 50);

  void* again = MapAdd(map, u"Space");
  EXPECT_EQ(again, MapFind(map, u"Space")) << "MapAdd must reuse the existing element";
  EXPECT_EQ(ValueOf(again), 0) << "MapAdd must reset an existing element to zeros";
  EXPECT_EQ(MapCount(map), 1) << "MapAdd of an existing key must not add";

  MapFree(map);
  MapFree(nullptr);

  // Re-creating into the same owner frees the first map: its nodes all go back to their node
  // allocator (an element size no other map of this program uses, so the allocator is its own).
  constexpr int64_t kPrivateSize = 1000;
  ASSERT_NE(MapCreate(kPrivateSize, 7, nullptr, &map, 16), nullptr);
  for (int i = 0; i < 20; ++i) MapFindOrAdd(map, KeyName(i).c_str());
  EXPECT_EQ(BlockAllocatorTotalItems(map->allocator), 32) << "two batches of 16 nodes";
  ASSERT_NE(MapCreate(kPrivateSize, 7, nullptr, &map, 16), nullptr);
  EXPECT_EQ(MapCount(map), 0) << "a re-created map starts empty";
  EXPECT_EQ(BlockAllocatorTotalItems(map->allocator), 0)
      << "every node of the first map was given back when it was freed";
  MapFree(map);
}

TEST(MapTest, AFindDuringAnEnumerationDoesNotEndIt) {
  Map* map = nullptr;
  MapCreate(8, 21, nullptr, &map, 7);
  for (int i = 0; i < 20; ++i) ValueOf(MapFindOrAdd(map, KeyName(i).c_str())) = i;
  const std::vector<std::u16string> all = EnumeratedKeys(map);

  // Rewind, next, find that same key, delete it: the enumeration goes on with the rest.
  MapRewind(map);
  void* first = MapNext(map);
  const std::u16string first_key = MapCurrentKey(map);
  EXPECT_EQ(MapFind(map, first_key.c_str()), first);
  MapDeleteCurrent(map);
  std::vector<std::u16string> rest;
  while (MapNext(map)) rest.emplace_back(MapCurrentKey(map));
  EXPECT_EQ(rest, std::vector<std::u16string>(all.begin() + 1, all.end()))
      << "the elements after the deleted one are all still visited, in order";

  MapFree(map);
}

TEST(MapTest, FailedFindLeavesTheCurrentElementDeletable) {
  Map* map = nullptr;
  MapCreate(8, 7, nullptr, &map, 1);  // one chain: every node has neighbours
  const char16_t* keys[] = {u"a", u"b", u"c", u"d"};
  for (int i = 0; i < 4; ++i) ValueOf(MapFindOrAdd(map, keys[i])) = i;
  // Chain order is d c b a; find c (behind d), then miss while walking the whole chain.
  ASSERT_NE(MapFind(map, u"c"), nullptr);
  EXPECT_EQ(MapFind(map, u"zz"), nullptr);
  EXPECT_EQ(std::u16string(MapCurrentKey(map)), u"c") << "a miss must keep the current element";
  MapDeleteCurrent(map);
  EXPECT_EQ(MapCount(map), 3);
  EXPECT_EQ(EnumeratedKeys(map), (std::vector<std::u16string>{u"d", u"b", u"a"}))
      << "deleting after a missed find must unlink exactly the found element";

  // Two deletions in a row: the second removes the element made current by the first.
  MapFind(map, u"b");
  EXPECT_EQ(std::u16string(MapCurrentKey(map)), u"b");
  MapDeleteCurrent(map);
  EXPECT_EQ(std::u16string(MapCurrentKey(map)), u"d") << "the predecessor becomes current";
  ValueOf(MapFindOrAdd(map, u"e")) = 4;  // e d a
  MapFind(map, u"a");
  MapDeleteCurrent(map);
  EXPECT_EQ(ValueOf(MapDeleteCurrent(map)), 4) << "deleting d leaves its predecessor e current";
  EXPECT_EQ(EnumeratedKeys(map), (std::vector<std::u16string>{u"e"}));
  MapFree(map);
}

TEST(MapTest, EnumeratesSlotsInOrderNewestFirstWithinASlot) {
  Map* map = nullptr;
  MapCreate(8, 21, nullptr, &map, 512);
  std::vector<std::pair<uint32_t, int>> expected;  // (slot, -insertion order)
  for (int i = 0; i < 50; ++i) {
    std::u16string key = KeyName(i);
    ValueOf(MapFindOrAdd(map, key.c_str())) = i;
    expected.emplace_back(Sdbm(key) % 512, -i);
  }
  std::sort(expected.begin(), expected.end());
  MapRewind(map);
  for (const auto& [slot, order] : expected) {
    void* element = MapNext(map);
    ASSERT_NE(element, nullptr);
    EXPECT_EQ(ValueOf(element), -order) << "expected key " << -order << " from slot " << slot;
  }
  EXPECT_EQ(MapNext(map), nullptr) << "the enumeration must end after 50 elements";
  EXPECT_EQ(MapNext(map), nullptr) << "a finished enumeration stays finished";

  // The hash folds case through towlower when asked.
  Map* folded = nullptr;
  MapCreate(8, 21, nullptr, &folded, 1000003, kMapNoCase);
  MapFindOrAdd(folded, u"AbC");
  MapFindOrAdd(folded, u"x");
  MapRewind(folded);
  MapNext(folded);
  EXPECT_EQ(std::u16string(MapCurrentKey(folded)),
            Sdbm(u"abc") % 1000003 < Sdbm(u"x") % 1000003 ? u"AbC" : u"x");
  MapFree(folded);
  MapFree(map);
}

TEST(MapTest, DeletingDuringEnumerationVisitsEveryElementOnce) {
  Map* map = nullptr;
  MapCreate(8, 21, nullptr, &map, 7);  // few slots: long chains and slot changes
  for (int i = 0; i < 40; ++i) ValueOf(MapFindOrAdd(map, KeyName(i).c_str())) = i;

  // Delete the even values, keep the odd ones; each element is seen exactly once.
  std::vector<int> seen;
  MapRewind(map);
  while (void* element = MapNext(map)) {
    seen.push_back(static_cast<int>(ValueOf(element)));
    if (ValueOf(element) % 2 == 0) MapDeleteCurrent(map);
  }
  std::sort(seen.begin(), seen.end());
  ASSERT_EQ(seen.size(), 40u) << "every element must be visited once despite deletions";
  for (int i = 0; i < 40; ++i) EXPECT_EQ(seen[i], i);
  EXPECT_EQ(MapCount(map), 20);
  for (int i = 0; i < 40; ++i) {
    EXPECT_EQ(MapFind(map, KeyName(i).c_str()) != nullptr, i % 2 == 1) << "key " << i;
  }

  // Delete then next, until nothing is left.
  int deleted = 0;
  MapRewind(map);
  while (MapNext(map)) {
    MapDeleteCurrent(map);
    ++deleted;
  }
  EXPECT_EQ(deleted, 20) << "delete-then-next must reach every remaining element";
  EXPECT_EQ(MapCount(map), 0);
  MapRewind(map);
  EXPECT_EQ(MapNext(map), nullptr) << "the map must be empty";
  EXPECT_EQ(MapDeleteCurrent(map), nullptr) << "deleting without a current element does nothing";
  MapFree(map);
}

TEST(MapTest, IntegerKeysUseTheirRemainderAsSlot) {
  Map* map = nullptr;
  MapCreate(8, 21, nullptr, &map, 10, kMapIntegerKeys);
  ValueOf(MapAddByNumber(map, 13)) = 1;
  ValueOf(MapAddByNumber(map, 3)) = 2;
  ValueOf(MapAddByNumber(map, 5)) = 3;
  ValueOf(MapAddByNumber(map, -4)) = 4;  // a negative remainder still lands in the table
  EXPECT_EQ(ValueOf(MapFindByNumber(map, 13)), 1);
  EXPECT_EQ(ValueOf(MapFindByNumber(map, -4)), 4);
  EXPECT_EQ(MapFindByNumber(map, 23), nullptr) << "23 shares a slot with 3 and 13 but is absent";
  EXPECT_EQ(MapFind(map, u"13"), nullptr) << "string lookups do not apply to integer keys";

  std::vector<int64_t> order;
  MapRewind(map);
  while (MapNext(map)) order.push_back(MapCurrentNumber(map));
  EXPECT_EQ(order, (std::vector<int64_t>{3, 13, 5, -4})) << "slots 3, 3, 5, 6 (-4 folded)";

  EXPECT_EQ(ValueOf(MapAddByNumber(map, 13)), 0) << "adding an existing key resets it";
  EXPECT_EQ(MapCount(map), 4);
  MapFree(map);
}

TEST(MapTest, MapsSharingANodeAllocatorFreeIndependently) {
  Map* first = nullptr;
  Map* second = nullptr;
  MapCreate(24, 7, nullptr, &first, 64);
  MapCreate(24, 7, nullptr, &second, 32);
  ASSERT_EQ(first->allocator, second->allocator) << "maps of one node size share an allocator";
  for (int i = 0; i < 300; ++i) {
    ValueOf(MapFindOrAdd(first, KeyName(i).c_str())) = i;
    ValueOf(MapFindOrAdd(second, KeyName(i).c_str())) = 1000 + i;
  }
  MapFree(first);
  for (int i = 0; i < 300; ++i) {
    void* element = MapFind(second, KeyName(i).c_str());
    ASSERT_NE(element, nullptr) << "key " << i << " must survive the other map's end";
    EXPECT_EQ(ValueOf(element), 1000 + i);
  }
  ValueOf(MapFindOrAdd(second, u"late")) = 7;
  EXPECT_EQ(ValueOf(MapFind(second, u"late")), 7) << "the shared allocator must still serve";
  MapFree(second);
}

// An element with a string field, a nested structure with a string, a fixed
// array of two structures with strings, and a nested map, list and array.
struct Inner {
  char16_t* text;
  int64_t number;
};
struct Record {
  char16_t* name;     // offset 0
  int64_t value;      // 8
  Inner inner;        // 16
  Inner pair[2];      // 32
  Map* map;           // 64
  ListVariable list;  // 72
  void* array;        // 88
};
const int64_t kInnerLayout[] = {0, kDescriptorEnd};
const int64_t kRecordLayout[] = {0,
                                 kDescriptorStruct,
                                 16,
                                 sizeof(Inner),
                                 DescriptorWord(kInnerLayout),
                                 kDescriptorStructArray,
                                 2,
                                 32,
                                 sizeof(Inner),
                                 DescriptorWord(kInnerLayout),
                                 kDescriptorMap,
                                 64,
                                 8,
                                 21,
                                 0,
                                 16,
                                 0,
                                 kDescriptorList,
                                 72,
                                 sizeof(Inner),
                                 7,
                                 DescriptorWord(kInnerLayout),
                                 kDescriptorArray,
                                 88,
                                 sizeof(Inner),
                                 7,
                                 DescriptorWord(kInnerLayout),
                                 3,
                                 kDescriptorEnd};

void Fill(Record* record, const char16_t* text) {
  AssignStringVar(&record->name, text);
  AssignStringVar(&record->inner.text, text);
  AssignStringVar(&record->pair[1].text, text);
  ValueOf(MapFindOrAdd(record->map, text)) = 11;
  auto* item = static_cast<Inner*>(ListAdd(record->list.list));
  AssignStringVar(&item->text, text);
  AssignStringVar(&static_cast<Inner*>(record->array)[2].text, text);
}

TEST(MapTest, NestedStringsAndContainersAreCreatedCopiedAndFreed) {
  Map* map = nullptr;
  ASSERT_NE(MapCreate(sizeof(Record), 7, kRecordLayout, &map, 8), nullptr);
  EXPECT_TRUE(map->flags & kMapInitialise) << "nested containers require initialisation";
  auto* record = static_cast<Record*>(MapFindOrAdd(map, u"one"));
  ASSERT_NE(record->map, nullptr) << "the nested map must exist in a new element";
  EXPECT_EQ(record->list.list->holder, &record->list);
  EXPECT_EQ(ArrayCount(record->array), 3);
  Fill(record, u"first");
  Fill(static_cast<Record*>(MapFindOrAdd(map, u"two")), u"second");

  Map* copy = nullptr;
  MapCreate(sizeof(Record), 7, kRecordLayout, &copy, 8);
  ASSERT_EQ(MapCopy(map, copy, 1), 1);
  auto* copied = static_cast<Record*>(MapFind(copy, u"one"));
  ASSERT_NE(copied, nullptr);
  EXPECT_NE(copied->name, record->name) << "strings must be duplicated, not shared";
  EXPECT_EQ(std::u16string(copied->pair[1].text), u"first");
  EXPECT_NE(copied->map, record->map) << "nested maps must be duplicated";
  EXPECT_EQ(ValueOf(MapFind(copied->map, u"first")), 11);
  EXPECT_EQ(copied->map->owner, &copied->map);
  ASSERT_EQ(ListCount(copied->list.list), 1);
  EXPECT_EQ(std::u16string(static_cast<Inner*>(ListSelect(copied->list.list, 0))->text), u"first");
  EXPECT_EQ(std::u16string(static_cast<Inner*>(copied->array)[2].text), u"first");

  // Resetting through MapAdd frees and recreates the nested parts.
  record = static_cast<Record*>(MapAdd(map, u"one"));
  EXPECT_EQ(record->name, nullptr);
  EXPECT_EQ(MapCount(record->map), 0) << "a reset element gets a fresh nested map";
  MapFind(map, u"two");
  MapDeleteCurrent(map);
  MapFree(map);  // the copy must stay intact after its source is gone
  EXPECT_EQ(std::u16string(static_cast<Record*>(MapFind(copy, u"two"))->inner.text), u"second");
  MapFree(copy);
}

TEST(MapTest, CopyRestoresTheSourcePositionAndRewindsTheDestination) {
  Map* source = nullptr;
  Map* destination = nullptr;
  MapCreate(8, 21, nullptr, &source, 1);
  MapCreate(8, 21, nullptr, &destination, 1);
  for (const char16_t* key : {u"a", u"b", u"c"}) ValueOf(MapFindOrAdd(source, key)) = 1;
  ValueOf(MapFindOrAdd(destination, u"old")) = 2;
  MapFind(source, u"b");

  ASSERT_EQ(MapCopy(source, destination, 0), 1);
  EXPECT_EQ(MapCount(destination), 4) << "without clearing the old element stays";
  ASSERT_NE(MapNext(destination), nullptr);
  EXPECT_EQ(std::u16string(MapCurrentKey(destination)), u"a")
      << "the destination is rewound; the last copied key heads its chain";
  MapDeleteCurrent(source);  // must still delete b, with its chain neighbours intact
  EXPECT_EQ(EnumeratedKeys(source), (std::vector<std::u16string>{u"c", u"a"}));

  ASSERT_EQ(MapCopy(source, destination, 1), 1);
  EXPECT_EQ(EnumeratedKeys(destination), (std::vector<std::u16string>{u"a", u"c"}))
      << "clear first, then plain adds at the chain head reverse a single chain";
  EXPECT_EQ(MapCopy(source, nullptr, 1), 0);
  Map* other = nullptr;
  MapCreate(16, 21, nullptr, &other, 4);
  EXPECT_EQ(MapCopy(source, other, 1), 0) << "maps of other element sizes do not copy";
  MapFree(other);
  MapFree(source);
  MapFree(destination);
}

}  // namespace
