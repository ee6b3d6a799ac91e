#include "collection.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

namespace {

// Items are ints on the heap; the free callback records which were released.
std::vector<int> g_released;
void RecordFree(void *item) {
  g_released.push_back(*static_cast<int *>(item));
  std::free(item);
}

int *Item(int value) {
  int *item = static_cast<int *>(std::malloc(sizeof(int)));
  *item = value;
  return item;
}

class CollectionTest : public ::testing::Test {
 protected:
  void SetUp() override { g_released.clear(); }
  void TearDown() override { _Co_Free(c); }
  Collection *c = _Co_Create(2, 2, RecordFree);
};

TEST_F(CollectionTest, CreateFixesCapacityAndStepOfZero) {
  Collection *small = _Co_Create(0, 0, nullptr);
  ASSERT_NE(small, nullptr);
  EXPECT_EQ(small->Capacity, 1);
  EXPECT_EQ(small->Delta, 1);
  EXPECT_EQ(_Co_Add(small, Item(7)), 0);
  EXPECT_EQ(small->Capacity, 2);  // grown before the first append
  EXPECT_EQ(small->Count, 1);
  _Co_Free(small);  // released with free(): the sanitizer checks nothing leaks
}

TEST_F(CollectionTest, AddAlwaysLeavesOneFreeSlot) {
  for (int i = 0; i < 10; i++) {
    EXPECT_EQ(_Co_Add(c, Item(i)), i);
    EXPECT_LT(c->Count, c->Capacity);
  }
  EXPECT_EQ(c->Capacity, 12);  // 2, grown by 2 at a time
  for (int i = 0; i < 10; i++) EXPECT_EQ(*static_cast<int *>(_Co_Get(c, i)), i);
  EXPECT_EQ(c->Items[10], nullptr);
}

TEST_F(CollectionTest, GetAndPutOutsideCountDoNothing) {
  _Co_Add(c, Item(1));
  EXPECT_EQ(_Co_Get(c, -1), nullptr);
  EXPECT_EQ(_Co_Get(c, 1), nullptr);
  _Co_Put(c, 1, Item(99));  // index == Count: the passed item is released
  EXPECT_EQ(g_released, std::vector<int>{99});
  EXPECT_EQ(c->Count, 1);
  _Co_Put(c, 0, Item(2));  // replaces and releases the old item
  EXPECT_EQ(g_released, (std::vector<int>{99, 1}));
  EXPECT_EQ(*static_cast<int *>(_Co_Get(c, 0)), 2);
}

TEST_F(CollectionTest, InsertAtCountIsAddAndPastCountLeavesTheItem) {
  _Co_Add(c, Item(1));
  EXPECT_EQ(_Co_Insert(c, 1, Item(2)), 1);
  int *mine = Item(3);
  EXPECT_EQ(_Co_Insert(c, 3, mine), -1);
  EXPECT_TRUE(g_released.empty());  // still the caller's
  std::free(mine);
  EXPECT_EQ(_Co_Insert(c, 0, Item(0)), 0);
  ASSERT_EQ(c->Count, 3);
  for (int i = 0; i < 3; i++) EXPECT_EQ(*static_cast<int *>(_Co_Get(c, i)), i);
}

TEST_F(CollectionTest, InsertGrowsOnlyWhenFull) {
  _Co_Add(c, Item(1));  // Count 1, Capacity 2
  _Co_Insert(c, 0, Item(0));
  EXPECT_EQ(c->Count, 2);
  EXPECT_EQ(c->Capacity, 2);
  _Co_Insert(c, 0, Item(-1));
  EXPECT_EQ(c->Capacity, 4);
}

TEST_F(CollectionTest, RemoveKeepsTheItemDeleteReleasesIt) {
  int *kept = Item(10);
  _Co_Add(c, kept);
  _Co_Add(c, Item(11));
  _Co_Add(c, Item(12));
  _Co_RemoveItem(c, 0);
  EXPECT_TRUE(g_released.empty());
  std::free(kept);
  EXPECT_EQ(c->Count, 2);
  EXPECT_EQ(c->Items[2], nullptr);
  _Co_Delete(c, 0);
  EXPECT_EQ(g_released, std::vector<int>{11});
  EXPECT_EQ(*static_cast<int *>(_Co_Get(c, 0)), 12);
  _Co_DelItem(c, _Co_Get(c, 0));
  EXPECT_EQ(c->Count, 0);
  _Co_Delete(c, 5);  // out of range: nothing happens
}

TEST_F(CollectionTest, NullSlotsAreFindableAndFreeItemLeavesCount) {
  _Co_Add(c, nullptr);
  int *second = Item(2);
  _Co_Add(c, second);
  EXPECT_EQ(_Co_FindItem(c, nullptr), 0);
  EXPECT_EQ(_Co_FindItem(c, second), 1);
  _Co_FreeItem(c, 1);
  EXPECT_EQ(c->Count, 2);
  EXPECT_EQ(_Co_Get(c, 1), nullptr);
  _Co_FreeItem(c, 2);  // between Count and Capacity: an empty slot
  EXPECT_EQ(g_released, std::vector<int>{2});
}

TEST_F(CollectionTest, ClearReleasesEverythingAndKeepsCapacity) {
  for (int i = 0; i < 5; i++) _Co_Add(c, Item(i));
  int capacity = c->Capacity;
  _Co_Clear(c);
  EXPECT_EQ(c->Count, 0);
  EXPECT_EQ(c->Capacity, capacity);
  EXPECT_EQ(g_released, (std::vector<int>{0, 1, 2, 3, 4}));
}

TEST_F(CollectionTest, SetCapacityNeverShrinks) {
  EXPECT_FALSE(_Co_SetCapacity(c, 2));
  EXPECT_FALSE(_Co_SetCapacity(c, 1));
  EXPECT_TRUE(_Co_SetCapacity(c, 8));
  EXPECT_EQ(c->Capacity, 8);
  for (int i = 0; i < 8; i++) EXPECT_EQ(c->Items[i], nullptr);
}

TEST(CollectionNull, EveryCallAcceptsNull) {
  EXPECT_EQ(_Co_Get(nullptr, 0), nullptr);
  EXPECT_EQ(_Co_Add(nullptr, nullptr), -1);
  EXPECT_EQ(_Co_Insert(nullptr, 0, nullptr), -1);
  EXPECT_EQ(_Co_FindItem(nullptr, nullptr), -1);
  EXPECT_FALSE(_Co_SetCapacity(nullptr, 5));
  _Co_Put(nullptr, 0, nullptr);
  _Co_DelItem(nullptr, nullptr);
  _Co_RemoveItem(nullptr, 0);
  _Co_Delete(nullptr, 0);
  _Co_Clear(nullptr);
  _Co_FreeData(nullptr, nullptr);
  _Co_FreeItem(nullptr, 0);
  _Co_Free(nullptr);
}

}  // namespace
