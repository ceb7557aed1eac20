#include "toolkit/desktop_url.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(OpenUrlInBrowser, ValidAddressesGoAsTheyAreOthersPercentEncodedOnce) {
    std::vector<Text> opened;
    SetUrlOpener([&](const Text& url) {
        opened.push_back(url);
        return true;
    });
    const struct { const char16_t* given; const char16_t* opened; } table[] = {
        {u"https://example.org/apps", u"https://example.org/apps"},
        {u"https://example.org/a b", u"https://example.org/a%20b"},
        {u"https://example.org/caf\u00E9?q=1&r=2", u"https://example.org/caf%C3%A9?q=1&r=2"},
    };
    for (const auto& row : table) {
        opened.clear();
        EXPECT_TRUE(OpenUrlInBrowser(row.given));
        ASSERT_EQ(opened.size(), 1u);
        EXPECT_EQ(opened[0], row.opened);
    }
    opened.clear();
    EXPECT_FALSE(OpenUrlInBrowser(u""));
    EXPECT_TRUE(opened.empty());
    SetUrlOpener(nullptr);
}

}  // namespace
