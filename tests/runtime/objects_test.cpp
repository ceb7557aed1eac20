// Numbered objects: growth of the numbered part, replacement, handles and freeing.
#include "runtime/objects.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <utility>
#include <vector>

namespace {

// Counts destructions, so that a replaced or freed object is seen to be freed exactly once.
struct Tracked {
    static inline int destroyed = 0;
    int tag = 0;
    ~Tracked() { ++destroyed; }
};

class ObjectTableTest : public ::testing::Test {
protected:
    void SetUp() override { Tracked::destroyed = 0; }
};

TEST_F(ObjectTableTest, NumberedPartGrowsToTheNumberPlusTheStep) {
    struct Case {
        std::vector<int64_t> numbers;
        int64_t capacity;
    } cases[] = {
        {{}, 0},
        {{0}, 16},
        {{15}, 31},
        {{20, 3}, 36},      // a smaller number later fits without growing
        {{3, 18, 19}, 35},  // 18 fits below 19; 19 is at the capacity and grows it
        {{MaxObjectNumber}, MaxObjectNumber + 16},
    };
    for (const auto& c : cases) {
        ObjectTable<Tracked> table(16);
        for (int64_t n : c.numbers) {
            int64_t number = n;
            ASSERT_NE(table.Create(number), nullptr) << n;
            EXPECT_EQ(number, n);  // an explicit number stays as it is
        }
        EXPECT_EQ(table.Capacity(), c.capacity);
        for (int64_t n : c.numbers) EXPECT_TRUE(table.Exists(n));
    }
}

TEST_F(ObjectTableTest, RefusesNegativeAndHugeNumbers) {
    ObjectTable<Tracked> table(8);
    for (int64_t n : {int64_t{-2}, MaxObjectNumber + 1, int64_t{1} << 40, INT64_MAX, INT64_MIN}) {
        int64_t number = n;
        EXPECT_EQ(table.Create(number), nullptr) << n;
    }
    EXPECT_EQ(table.Capacity(), 0);
}

TEST_F(ObjectTableTest, CreatingUnderAUsedNumberFreesTheOldObject) {
    ObjectTable<Tracked> table(8);
    int64_t number = 5;
    table.Create(number)->tag = 1;
    Tracked* replacement = table.Create(number);
    EXPECT_EQ(Tracked::destroyed, 1);
    EXPECT_EQ(replacement->tag, 0);  // a fresh record, not the old one
    EXPECT_EQ(table.Get(5), replacement);
}

TEST_F(ObjectTableTest, OnlyLivingNumbersAndHandlesExist) {
    ObjectTable<Tracked> table(16);
    int64_t numbered = 2;
    int64_t handle = AnyNumber;
    table.Create(numbered);
    Tracked* dynamic = table.Create(handle);
    ASSERT_NE(dynamic, nullptr);
    EXPECT_GE(handle, table.Capacity());
    EXPECT_EQ(table.Get(handle), dynamic);
    for (int64_t value : {int64_t{0}, int64_t{15}, int64_t{16}, int64_t{1} << 40, INT64_MAX,
                          int64_t{-1}, int64_t{-7}, handle + 1, handle - 1})
        EXPECT_FALSE(table.Exists(value)) << value;
    EXPECT_TRUE(table.Exists(2));
    EXPECT_TRUE(table.Exists(handle));
}

TEST_F(ObjectTableTest, HandlesAreDistinctAndFreedOneByOne) {
    ObjectTable<Tracked> table(16);
    int64_t first = AnyNumber, second = AnyNumber;
    table.Create(first)->tag = 1;
    table.Create(second)->tag = 2;
    EXPECT_NE(first, second);
    table.Free(first);
    EXPECT_EQ(Tracked::destroyed, 1);
    EXPECT_FALSE(table.Exists(first));
    ASSERT_TRUE(table.Exists(second));
    EXPECT_EQ(table.Get(second)->tag, 2);
    table.Free(first);  // freeing again does nothing
    table.Free(12345);
    EXPECT_EQ(Tracked::destroyed, 1);
}

TEST_F(ObjectTableTest, FreeAnyNumberFreesEveryObject) {
    ObjectTable<Tracked> table(16);
    std::vector<int64_t> numbers = {0, 7, 40, AnyNumber, AnyNumber};
    for (int64_t& n : numbers) table.Create(n);
    table.Free(AnyNumber);
    EXPECT_EQ(Tracked::destroyed, 5);
    for (int64_t n : numbers) EXPECT_FALSE(table.Exists(n));
    int64_t again = 7;
    EXPECT_NE(table.Create(again), nullptr);  // the table is usable afterwards
}

TEST_F(ObjectTableTest, ForEachVisitsNumberedObjectsInOrderThenHandles) {
    ObjectTable<Tracked> table(4);
    int64_t handle = AnyNumber;
    table.Create(handle)->tag = 100;
    for (int64_t n : {9, 2, 5}) {
        int64_t number = n;
        table.Create(number)->tag = static_cast<int>(n);
    }
    std::vector<std::pair<int64_t, int>> seen;
    table.ForEach([&](int64_t number, const Tracked& t) { seen.emplace_back(number, t.tag); });
    std::vector<std::pair<int64_t, int>> expected = {{2, 2}, {5, 5}, {9, 9}, {handle, 100}};
    EXPECT_EQ(seen, expected);
}

// An object whose destructor looks itself up, as a window's free function looks up its gadgets.
struct SelfCheck;
ObjectTable<SelfCheck>* checkedTable = nullptr;
std::vector<bool> stillFound;
struct SelfCheck {
    int64_t number = -1;
    ~SelfCheck() {
        if (checkedTable && number != -1) stillFound.push_back(checkedTable->Exists(number));
    }
};

TEST_F(ObjectTableTest, DestructorsSeeTheirObjectAlreadyGone) {
    ObjectTable<SelfCheck> table(4);
    checkedTable = &table;
    stillFound.clear();
    std::vector<int64_t> numbers = {1, 2, AnyNumber, AnyNumber};
    for (int64_t& n : numbers) {
        SelfCheck* object = table.Create(n);  // n becomes the handle for AnyNumber
        object->number = n;
    }
    table.Free(1);
    table.Free(numbers[2]);
    table.Free(AnyNumber);
    checkedTable = nullptr;
    EXPECT_EQ(stillFound, std::vector<bool>(4, false));
}

}  // namespace
