// The string-keyed map (the string table's container) and zero-filled arrays.
#include "runtime/map.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

TEST(HashTextTest, MultipliesBy65599AndAddsEachUnit) {
    // Worked out by hand in 32-bit unsigned arithmetic:
    //   "ab"  = 97 * 65599 + 98                       = 6363201
    //   "abc" = 6363201 * 65599 + 99 = 417419622498 mod 2^32 = 807794786
    //   "abcd" = 807794786 * 65599 + 100 mod 2^32      = 3518636162
    struct Case {
        Text key;
        uint32_t hash;
    } cases[] = {
        {u"", 0},
        {u"a", 97},
        {u"é", 233},
        {u"ab", 6363201u},
        {u"abc", 807794786u},
        {u"abcd", 3518636162u},
        {u"\xFFFF", 0xFFFFu},
    };
    for (const auto& c : cases) EXPECT_EQ(HashText(c.key), c.hash) << TextToUtf8(c.key);
}

TEST(StringMapTest, AddingAKeyTwiceKeepsOneElementWithTheLastValue) {
    StringMap<Text> map(512);
    map.AddMapElement(u"117") = u"first";
    map.AddMapElement(u"117") = u"second";
    EXPECT_EQ(map.MapSize(), 1);
    ASSERT_NE(map.FindMapElement(u"117"), nullptr);
    EXPECT_EQ(*map.FindMapElement(u"117"), u"second");
}

TEST(StringMapTest, NewElementsStartEmptyAndLookupIsCaseSensitive) {
    StringMap<Text> map(512);
    EXPECT_EQ(map.AddMapElement(u"Key"), u"");
    map.AddMapElement(u"Key") = u"value";
    for (const Text& other : {Text(u"key"), Text(u"KEY"), Text(u"Key "), Text(u"Ke"), Text(u"")})
        EXPECT_EQ(map.FindMapElement(other), nullptr) << TextToUtf8(other);
    EXPECT_EQ(*map.FindMapElement(u"Key"), u"value");
}

TEST(StringMapTest, EverySlotCountKeepsEveryKeyApart) {
    // Below 2 the map has one chain; 2 puts keys of equal hash parity into one chain.
    struct Case {
        int64_t requested;
        int64_t slots;
    } cases[] = {{-5, 1}, {0, 1}, {1, 1}, {2, 2}, {512, 512}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.requested);
        StringMap<int64_t> map(c.requested);
        EXPECT_EQ(map.SlotCount(), c.slots);
        for (int64_t i = 0; i < 300; ++i) map.AddMapElement(TextFromUtf8(std::to_string(i))) = i * 7;
        map.AddMapElement(u"") = -1;
        EXPECT_EQ(map.MapSize(), 301);
        for (int64_t i = 0; i < 300; ++i) {
            const int64_t* value = map.FindMapElement(TextFromUtf8(std::to_string(i)));
            ASSERT_NE(value, nullptr) << i;
            EXPECT_EQ(*value, i * 7);
        }
        EXPECT_EQ(*map.FindMapElement(u""), -1);
        EXPECT_EQ(map.FindMapElement(u"300"), nullptr);
    }
}

TEST(StringMapTest, ClearMapRemovesEveryElement) {
    StringMap<Text> map(1);
    for (int i = 0; i < 50; ++i) map.AddMapElement(TextFromUtf8(std::to_string(i))) = u"x";
    map.ClearMap();
    EXPECT_EQ(map.MapSize(), 0);
    EXPECT_EQ(map.FindMapElement(u"7"), nullptr);
    map.AddMapElement(u"7") = u"again";
    EXPECT_EQ(map.MapSize(), 1);
    EXPECT_EQ(*map.FindMapElement(u"7"), u"again");
}

struct HistoryPointLike {
    int64_t timestamp;
    float footprintMB;
    float virtualMB;
};

TEST(ZeroArrayTest, DimensioningGivesZeroedElementsEveryTime) {
    static_assert(sizeof(HistoryPointLike) == 16);
    ZeroArray<HistoryPointLike> array;
    array.DimArray(301);
    ASSERT_EQ(array.size(), 301);
    std::vector<unsigned char> zeros(301 * sizeof(HistoryPointLike), 0);
    EXPECT_EQ(std::memcmp(array.data(), zeros.data(), zeros.size()), 0);

    for (int64_t i = 0; i < array.size(); ++i) array[i] = {i + 1, 1.5f, 2.5f};
    array.DimArray(301);  // a second dimensioning starts over from zeros
    EXPECT_EQ(std::memcmp(array.data(), zeros.data(), zeros.size()), 0);

    array[3].timestamp = 9;
    array.DimArray(10);
    ASSERT_EQ(array.size(), 10);
    EXPECT_EQ(array[3].timestamp, 0);

    for (int64_t count : {int64_t{0}, int64_t{-1}}) {
        array.DimArray(count);
        EXPECT_EQ(array.size(), 0);
        EXPECT_EQ(array.data(), nullptr);
    }
    array.DimArray(2);
    array.FreeArray();
    EXPECT_EQ(array.size(), 0);
    EXPECT_EQ(array.data(), nullptr);
}

}  // namespace
