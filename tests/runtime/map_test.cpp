// The string-keyed map (the string table's container) and zero-filled arrays.
#include "runtime/map.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>

namespace {

TEST(StringMapTest, HashesEachUnitAndMatchesKeysExactly) {
    EXPECT_EQ(HashText(u"abcd"), 3518636162u);  // ((97 * 65599 + 98) * 65599 + 99) * 65599 + 100 mod 2^32
    EXPECT_EQ(HashText(u"\xFFFF"), 0xFFFFu);
    StringMap<Text> map(512);
    EXPECT_EQ(map.AddMapElement(u"117"), u"");
    for (TextView other : {u"0117", u"117 ", u"11", u""}) EXPECT_EQ(map.FindMapElement(other), nullptr);
}

TEST(StringMapTest, EverySlotCountKeepsEveryKeyApartAndOnce) {
    // Below 2 the map has one chain; 2 puts keys of equal hash parity into one chain.
    for (int64_t requested : {int64_t{-5}, int64_t{1}, int64_t{2}, int64_t{512}}) {
        StringMap<int64_t> map(requested);
        EXPECT_EQ(map.SlotCount(), requested < 2 ? 1 : requested);
        for (int64_t round : {1, 7}) {  // the second round finds every key, the empty one too, again
            for (int64_t i = 0; i < 300; ++i) map.AddMapElement(TextFromUtf8(std::to_string(i))) = i * round;
            map.AddMapElement(u"") = -round;
        }
        EXPECT_EQ(map.MapSize(), 301);
        for (int64_t i = 0; i < 300; ++i) {
            const int64_t* value = map.FindMapElement(TextFromUtf8(std::to_string(i)));
            ASSERT_NE(value, nullptr) << requested << ": " << i;
            EXPECT_EQ(*value, i * 7);
        }
        EXPECT_EQ(*map.FindMapElement(u""), -7);
        map.ClearMap();
        EXPECT_EQ(map.MapSize() + (map.FindMapElement(u"7") != nullptr), 0);
    }
}

TEST(ZeroArrayTest, DimensioningGivesZeroedElementsEveryTime) {
    ZeroArray<std::pair<int64_t, float>> array;
    array.DimArray(301);
    for (int64_t i = 0; i < array.size(); ++i) array[i] = {i + 1, 1.5f};
    array.DimArray(301);  // a second dimensioning starts over from zeros
    ASSERT_EQ(array.size(), 301);
    for (int64_t i = 0; i < array.size(); ++i) ASSERT_EQ(array[i], std::make_pair(int64_t{0}, 0.0f)) << i;
    array.DimArray(-1);
    EXPECT_EQ(array.size(), 0);
    EXPECT_EQ(array.data(), nullptr);
}

}  // namespace
