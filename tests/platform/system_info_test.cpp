#include "platform/system_info.h"

#include <gtest/gtest.h>

namespace {

TEST(SystemInfo, PrettyNameIsReadUnquotedAndUnescaped) {
    const struct { const char* content; const char16_t* want; } table[] = {
        {"NAME=\"Debian GNU/Linux\"\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\nID=debian\n",
         u"Debian GNU/Linux 12 (bookworm)"},
        {"PRETTY_NAME=\"Say \\\"hi\\\" \\\\ \\$HOME\"", u"Say \"hi\" \\ $HOME"},
    };
    for (const auto& row : table) EXPECT_EQ(PrettyNameFromOsRelease(row.content), row.want) << row.content;
}

TEST(SystemInfo, ModelNameIsTheFirstOneTrimmed) {
    const struct { const char* content; const char16_t* want; } table[] = {
        {"processor\t: 0\nmodel name\t: Intel(R) Xeon(R) CPU @ 2.20GHz\nmodel name\t: Second\n",
         u"Intel(R) Xeon(R) CPU @ 2.20GHz"},
        {"Hardware\t: BCM2835\n", u""},
    };
    for (const auto& row : table) EXPECT_EQ(ModelNameFromCpuinfo(row.content), row.want) << row.content;
}

// CPUID's brand string often begins with blanks.
TEST(SystemInfo, TheProcessorBrandHasNoLeadingBlanks) {
    const Text brand = ProcessorBrand();
    EXPECT_TRUE(!brand.empty() && brand.front() != u' ' && brand.front() != u'\t') << TextToUtf8(brand);
}

}  // namespace
