// Tests of the object registry: static and dynamic numbers, table growth, reuse
// of static records, the free callback and enumeration order.
#include "core/registry.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct Record {
  int64_t handle;  // non-zero while the object lives
  int64_t value;   // test payload
};

ObjectRegistry* g_registry = nullptr;  // the registry the callback frees from
std::vector<int64_t> g_freed;          // numbers the callback was called with

void FreeRecord(int64_t number) {
  g_freed.push_back(number);
  FreeObject(g_registry, number);
}

Record* Create(ObjectRegistry* registry, int64_t number, int64_t handle) {
  auto* record = static_cast<Record*>(AllocateObject(registry, number));
  if (record) record->handle = handle;
  return record;
}

int64_t NumberOf(const Record* record) {
  return reinterpret_cast<intptr_t>(record);
}

TEST(Registry, StaticNumbersGrowTheTableAndReuseRecords) {
  g_freed.clear();
  ObjectRegistry* registry = g_registry = CreateRegistry(sizeof(Record), 16, FreeRecord);
  ASSERT_NE(registry, nullptr);
  EXPECT_EQ(registry->slot_count, 16);

  Record* zero = Create(registry, 0, 11);
  EXPECT_EQ(FindObject(registry, 0), zero) << "0 is an ordinary static number";

  Record* twenty = Create(registry, 20, 22);
  ASSERT_NE(twenty, nullptr);
  EXPECT_EQ(registry->slot_count, 36) << "number 20 plus growth step 16";
  for (int64_t n = 16; n < 36; n++) {
    if (n != 20) {
      EXPECT_EQ(registry->slots[n], nullptr) << "slot " << n << " must be empty";
    }
  }
  EXPECT_EQ(FindObject(registry, 20), twenty);
  EXPECT_EQ(FindObject(registry, 0), zero) << "growth keeps existing records";

  Record* three = Create(registry, 3, 33);
  three->value = 99;
  Record* again = static_cast<Record*>(AllocateObject(registry, 3));
  EXPECT_EQ(g_freed, std::vector<int64_t>{3}) << "re-creating 3 frees the old object first";
  EXPECT_EQ(again, three) << "the record memory is reused";
  EXPECT_EQ(again->handle, 0) << "and comes back zero-filled";
  EXPECT_EQ(again->value, 0);
  EXPECT_EQ(FindObject(registry, 3), nullptr) << "a record with first field 0 is not live";
  EXPECT_EQ(IsObject(registry, 3), 0);

  again->handle = 34;
  EXPECT_EQ(IsObject(registry, 3), NumberOf(again)) << "IsObject gives the static record";
  FreeObject(registry, 3);
  EXPECT_EQ(FindObject(registry, 3), nullptr);
  EXPECT_EQ(IsObject(registry, 3), 0);
  EXPECT_EQ(Create(registry, 3, 35), three) << "freed static memory is reused";

  EXPECT_EQ(AllocateObject(registry, -2), nullptr) << "negative numbers other than -1 give 0";
  EXPECT_EQ(AllocateObject(registry, int64_t{1} << 40), nullptr) << "numbers above the cap give 0";
  EXPECT_EQ(FindObject(registry, 500), nullptr) << "an unused small number is no object";
  EXPECT_EQ(FindObject(registry, -7), nullptr);
  DestroyRegistry(registry);
}

TEST(Registry, DynamicObjectsAreNumberedByAddress) {
  ObjectRegistry* registry = g_registry = CreateRegistry(sizeof(Record), 4, FreeRecord);
  Record* a = Create(registry, -1, 1);
  Record* b = Create(registry, -1, 2);
  Record* c = Create(registry, -1, 3);
  ASSERT_TRUE(a && b && c);
  EXPECT_EQ(FindObject(registry, NumberOf(b)), b);
  EXPECT_EQ(IsObject(registry, NumberOf(b)), NumberOf(b));

  FreeObject(registry, NumberOf(b));  // from the middle of the list
  EXPECT_EQ(IsObject(registry, NumberOf(b)), 0) << "a freed dynamic object is not in the list";
  EXPECT_EQ(IsObject(registry, NumberOf(a)), NumberOf(a));
  FreeObject(registry, NumberOf(c));  // the head
  EXPECT_EQ(IsObject(registry, NumberOf(a)), NumberOf(a));
  a->handle = 0;
  EXPECT_EQ(FindObject(registry, NumberOf(a)), nullptr) << "FindObject tests the first field";
  EXPECT_EQ(IsObject(registry, NumberOf(a)), NumberOf(a)) << "IsObject only tests membership";
  FreeObject(registry, NumberOf(a));
  EXPECT_EQ(registry->dynamic_list, nullptr);
  Create(registry, -1, 4);  // DestroyRegistry frees what is left
  DestroyRegistry(registry);
}

TEST(Registry, EnumerationVisitsStaticThenDynamicOldestFirst) {
  ObjectRegistry* registry = g_registry = CreateRegistry(sizeof(Record), 8, FreeRecord);
  Create(registry, 5, 5);
  Record* a = Create(registry, -1, 100);
  Create(registry, 1, 1);
  Record* b = Create(registry, -1, 200);
  Create(registry, 2, 2);
  FreeObject(registry, 2);  // free static slots are skipped

  std::vector<int64_t> numbers;
  ResetObjectEnumeration(registry);
  int64_t number = 0;
  while (NextObject(registry, &number)) numbers.push_back(number);
  EXPECT_EQ(numbers, (std::vector<int64_t>{1, 5, NumberOf(a), NumberOf(b)}))
      << "expected 1, 5, A, B";

  g_freed.clear();
  FreeAllObjects(registry);
  EXPECT_EQ(g_freed, (std::vector<int64_t>{1, 5, NumberOf(b), NumberOf(a)}))
      << "statics upward, then dynamic objects newest first";
  EXPECT_EQ(registry->dynamic_list, nullptr);
  EXPECT_EQ(FindObject(registry, 5), nullptr);

  ResetObjectEnumeration(registry);
  EXPECT_EQ(NextObject(registry, &number), nullptr) << "nothing left to enumerate";
  DestroyRegistry(registry);
}

TEST(Registry, NoCallbackMeansFreeAllDoesNothing) {
  ObjectRegistry* registry = CreateRegistry(sizeof(Record), 2, nullptr);
  Create(registry, 1, 9);
  Record* first = Create(registry, 1, 0);
  EXPECT_EQ(first->handle, 0) << "without a callback the record is still reset";
  first->handle = 9;
  FreeAllObjects(registry);
  EXPECT_EQ(FindObject(registry, 1), first) << "no callback: nothing is freed";

  ObjectRegistry* once = nullptr;
  CreateRegistryOnce(&once, 16, 4, nullptr);
  ObjectRegistry* kept = once;
  CreateRegistryOnce(&once, 16, 4, nullptr);
  EXPECT_NE(kept, nullptr);
  EXPECT_EQ(once, kept) << "CreateRegistryOnce creates only when the variable is 0";
  DestroyRegistry(registry);
  DestroyRegistry(once);
}

}  // namespace
