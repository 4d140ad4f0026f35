// The flat cell store: lookups, order, stable references, erasing and copying, against a map.
#include "memhost/cell_store.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace quorvane::memhost {
namespace {

using Store = CellStore<std::string>;

// The store holds the same entries as the map, in the same order, and finds each of them.
void ExpectSame(const Store& store, const std::map<CellKey, std::string>& expected) {
  ASSERT_EQ(store.size(), expected.size());
  auto it = store.begin();
  for (const auto& [key, value] : expected) {
    ASSERT_EQ(it->first, key);
    EXPECT_EQ(it->second, value);
    const auto* found = store.Lookup(key);
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->second, value);
    ++it;
  }
  EXPECT_TRUE(it == store.end());
}

TEST(CellStoreTest, KeepsRowOrderWhateverTheOrderOfWriting) {
  // Columns written one after the other, then rows in random order, with erasures in between:
  // the side array is merged many times over, and erased slots are used again.
  Store store;
  std::map<CellKey, std::string> expected;
  std::mt19937 rng(14);
  for (int column = 3; column >= 1; --column) {
    for (int row = 1; row <= 400; ++row) {
      const std::string text = std::to_string(row) + "/" + std::to_string(column);
      store[{row, column}] = text;
      expected[{row, column}] = text;
    }
  }
  std::uniform_int_distribution<int> row(1, 1200), column(1, 5);
  for (int i = 0; i < 3000; ++i) {
    const CellKey key{row(rng), column(rng)};
    if (i % 3 == 0) {
      EXPECT_EQ(store.erase(key), expected.erase(key));
    } else {
      store[key] += "x";
      expected[key] += "x";
    }
    if (i % 500 == 0) ExpectSame(store, expected);
  }
  ExpectSame(store, expected);
  EXPECT_EQ(store.Lookup({5000, 1}), nullptr);
  EXPECT_EQ(store.erase(CellKey{5000, 1}), 0u);
}

// A store filled in row order, with gaps, finds its cells and misses the others in any order of
// asking: in order, backwards, at random, and between the cells of a row.
TEST(CellStoreTest, FindsCellsOfAStoreFilledInRowOrderAskedInAnyOrder) {
  Store store;
  std::map<CellKey, std::string> expected;
  for (int row = 2; row <= 600; row += 2) {
    for (int column = 1; column <= 7; column += 3) {
      store[{row, column}] = std::to_string(row * 10 + column);
      expected[{row, column}] = std::to_string(row * 10 + column);
    }
  }
  std::vector<CellKey> asked;
  for (int row = 0; row <= 601; ++row) {
    for (int column = 0; column <= 8; ++column) asked.emplace_back(row, column);
  }
  const auto check = [&] {
    for (const CellKey& key : asked) {
      const auto* found = store.Lookup(key);
      const auto it = expected.find(key);
      if (it == expected.end()) {
        ASSERT_EQ(found, nullptr) << key.first << "," << key.second;
      } else {
        ASSERT_NE(found, nullptr) << key.first << "," << key.second;
        EXPECT_EQ(found->second, it->second);
        EXPECT_EQ(found->first, key);
      }
    }
  };
  check();
  std::reverse(asked.begin(), asked.end());
  check();
  std::shuffle(asked.begin(), asked.end(), std::mt19937(3));
  check();
  // Found again through find() and written through it.
  store.find({10, 4})->second = "changed";
  EXPECT_EQ(store.Lookup({10, 4})->second, "changed");
  EXPECT_TRUE(store.find({10, 5}) == store.end());
}

TEST(CellStoreTest, ReferencesOutliveLaterWrites) {
  Store store;
  std::string& first = store[{500, 2}];
  first = "kept";
  for (int row = 1; row <= 2000; ++row) store[{row, 1}] = "other";
  EXPECT_EQ(&store[CellKey(500, 2)], &first);
  EXPECT_EQ(first, "kept");
}

TEST(CellStoreTest, LowerBoundAndEraseWalkInOrder) {
  Store store;
  for (const CellKey& key : std::vector<CellKey>{{3, 1}, {1, 5}, {2, 2}, {1, 1}, {2, 7}}) {
    store[key] = "v";
  }
  EXPECT_EQ(store.lower_bound({2, 0})->first, CellKey(2, 2));
  EXPECT_EQ(store.lower_bound({2, 3})->first, CellKey(2, 7));
  EXPECT_TRUE(store.lower_bound({3, 2}) == store.end());
  // From a later starting point, as a walk that jumps ahead does it.
  const Store& walk = store;
  EXPECT_EQ(walk.lower_bound(walk.begin(), {3, 0})->first, CellKey(3, 1));
  auto next = store.erase(store.find({2, 2}));
  EXPECT_EQ(next->first, CellKey(2, 7));
  EXPECT_TRUE(store.find({2, 2}) == store.end());
  EXPECT_EQ(store[CellKey(2, 2)], "");  // written again, empty
}

TEST(CellStoreTest, CopiesAreDeepAndMovesKeepEntries) {
  Store store;
  for (int row = 1; row <= 100; ++row) store[{row, 1}] = "a";
  const Store copy = store;
  store[{1, 1}] = "changed";
  store.erase(CellKey{2, 1});
  EXPECT_EQ(copy.Lookup({1, 1})->second, "a");
  EXPECT_NE(copy.Lookup({2, 1}), nullptr);
  EXPECT_EQ(copy.size(), 100u);

  const std::string* entry = &store[{50, 1}];
  Store moved = std::move(store);
  EXPECT_EQ(&moved.Lookup({50, 1})->second, entry);
  EXPECT_EQ(moved.size(), 99u);
}

// A long run of erasures and new cells with about the same number alive: the erased entries' slots
// fill the hash table until it is rebuilt, and every cell, and every erased one's absence, is
// still found right through each rebuild.
TEST(CellStoreTest, LookupsHoldThroughLongRunsOfEraseAndAdd) {
  Store store;
  std::map<CellKey, std::string> expected;
  std::mt19937 random(14);
  std::uniform_int_distribution<int> row(1, 3000), column(1, 4);
  for (int step = 0; step < 40000; ++step) {
    const CellKey key{row(random), column(random)};
    if (expected.count(key) != 0 && step % 3 != 0) {
      EXPECT_EQ(store.erase(key), 1u);
      expected.erase(key);
      ASSERT_EQ(store.Lookup(key), nullptr);
    } else {
      store[key] = std::to_string(step);
      expected[key] = std::to_string(step);
    }
    if (step % 4999 == 0) ExpectSame(store, expected);
  }
  ExpectSame(store, expected);
  const Store copy = store;
  ExpectSame(copy, expected);
  for (int r = 1; r <= 3000; r += 7) {
    EXPECT_EQ(copy.Lookup({r, 5}), nullptr);
  }
}

// The states kept from KeepOriginals() on, against a random run of writes, erasures and reads:
// putting each kept state back over the store gives the store as it was.
TEST(CellStoreTest, KeepsTheFirstStateOfEveryCellChangedSinceAsked) {
  Store store;
  std::map<CellKey, std::string> before;
  for (int r = 1; r <= 200; ++r) {
    for (int c = 1; c <= 3; ++c) before[{r, c}] = store[{r, c}] = std::to_string(r * 10 + c);
  }
  EXPECT_EQ(store.originals(), nullptr);
  store.KeepOriginals();
  std::mt19937 random(7);
  std::uniform_int_distribution<int> row(1, 260), column(1, 4), what(0, 3);
  for (int step = 0; step < 2000; ++step) {
    const CellKey key{row(random), column(random)};
    switch (what(random)) {
      case 0:
        store[key] = "w" + std::to_string(step);
        break;
      case 1:
        store.erase(key);
        break;
      case 2:
        if (auto it = store.find(key); it != store.end()) it->second += "+";
        break;
      default:
        static_cast<const Store&>(store).Lookup(key);  // a read keeps nothing
        break;
    }
  }
  const auto restore = [&](const Store& changed) {
    std::map<CellKey, std::string> now(changed.begin(), changed.end());
    for (const auto& [key, original] : *changed.originals()) {
      if (original) {
        now[key] = *original;
      } else {
        now.erase(key);
      }
    }
    return now;
  };
  const Store copy = store;
  EXPECT_EQ(restore(store), before);
  EXPECT_EQ(restore(copy), before);
  // A writable walk or a clear keeps every cell's state first.
  for (auto& [key, value] : store) value = "walked";
  EXPECT_EQ(restore(store), before);
  store.clear();
  EXPECT_EQ(restore(store), before);
  const std::size_t kept = static_cast<const Store&>(store).originals()->size();
  EXPECT_LT(static_cast<const Store&>(copy).originals()->size(), kept);
}

}  // namespace
}  // namespace quorvane::memhost
