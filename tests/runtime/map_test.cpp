// Numbered objects. (The string-keyed map is read through the string table's tests.)
#include "runtime/objects.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

// Records, for every destruction, whether the table still found the object's own number: a
// destructor that looks objects up (a window freeing its gadgets) must find itself gone.
struct Tracked {
    static inline ObjectTable<Tracked>* table = nullptr;
    static inline std::vector<bool> stillFound;
    int64_t number = 0;
    int tag = 0;
    ~Tracked() { stillFound.push_back(table && table->Exists(number)); }
};

TEST(ObjectTableTest, ReplacingFreeingAndVisitingNumbersAndHandles) {
    ObjectTable<Tracked> table(4);
    Tracked::table = &table;
    Tracked::stillFound.clear();
    for (int64_t refused : {int64_t{-2}, MaxObjectNumber + 1, INT64_MAX}) EXPECT_EQ(table.Create(refused), nullptr);
    int64_t numbers[] = {5, 5, AnyNumber, AnyNumber};  // 5 twice: the second replaces the first
    for (int i = 0; i < 4; ++i) {
        Tracked* object = table.Create(numbers[i]);  // AnyNumber becomes the handle
        EXPECT_EQ(object->tag, 0);  // a fresh record, never the old one
        object->number = numbers[i];
        object->tag = 10 * i;
    }
    const int64_t first = numbers[2], second = numbers[3];
    EXPECT_EQ(Tracked::stillFound.size(), 1u);
    EXPECT_NE(first, second);
    for (int64_t other : {int64_t{0}, int64_t{8}, int64_t{-7}, first + 1}) EXPECT_FALSE(table.Exists(other)) << other;
    table.Free(first);
    table.Free(first);  // freeing again does nothing
    std::vector<std::pair<int64_t, int>> seen;
    table.ForEach([&](int64_t number, const Tracked& t) { seen.emplace_back(number, t.tag); });
    EXPECT_EQ(seen, (std::vector<std::pair<int64_t, int>>{{5, 10}, {second, 30}}));
    table.Free(AnyNumber);
    EXPECT_EQ(Tracked::stillFound, std::vector<bool>(4, false));
    EXPECT_FALSE(table.Exists(5) || table.Exists(second));
    Tracked::table = nullptr;
}

}  // namespace
