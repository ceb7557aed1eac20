// Recordings with --stacks through the real binary: the leaking line named in the report, the JSON
// and the folded file; nothing preloaded without the option; a static command told in one line.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fstream>

#include "record_test_support.h"

namespace record_test {
namespace {

// The line of the allocator's source that holds the marker comment.
int64_t SiteLine(const std::string& marker) {
    std::ifstream source(std::string(QUOLK_SOURCE_DIR) + "/tests/helpers/allocator.cpp");
    std::string line;
    for (int64_t number = 1; std::getline(source, line); ++number)
        if (line.find("// site: " + marker) != std::string::npos) return number;
    return 0;
}

TEST(RecordStacks, TheLeakingLineInTheReportTheJsonAndTheFoldedFile) {
    AdoptOrphans();
    ScratchDir dir;
    const std::string site = "allocator.cpp:" + std::to_string(SiteLine("hold"));
    ASSERT_NE(site, "allocator.cpp:0");
    const std::vector<std::string> args{"--record", "--stacks", "--stacks-out", dir.File("stacks.folded"), "--duration",
                                        "2.5", "--interval", "100", "--", Allocator, "grow", "4", "100"};
    const Outcome text = RunQuolk(dir, args);
    ASSERT_EQ(text.status, 0) << text.err;
    const size_t section = text.out.find("\r\nWhere the memory grew\r\n");
    ASSERT_NE(section, std::string::npos) << text.out;
    const size_t top = text.out.find("#1  +", section);
    ASSERT_NE(top, std::string::npos) << text.out;
    // The first stack's innermost frame is the line that leaks; the report still ends with its rule.
    const std::string frame = Lines(text.out.substr(top))[1];
    EXPECT_NE(frame.find("Hold(long) — "), std::string::npos) << frame;
    EXPECT_NE(frame.find(site + "\r"), std::string::npos) << frame;
    EXPECT_EQ(text.out.substr(text.out.size() - 108), std::string(106, '=') + "\r\n");
    const std::string folded = dir.Read("stacks.folded");
    EXPECT_NE(folded.find("main;(anonymous namespace)::Hold(long) (" + site + ") "), std::string::npos) << folded;

    std::vector<std::string> jsonArgs = args;
    jsonArgs.insert(jsonArgs.begin() + 1, "--json");
    const Outcome json = RunQuolk(dir, jsonArgs);
    ASSERT_EQ(json.status, 0) << json.err;
    const nlohmann::json j = nlohmann::json::parse(json.out, nullptr, false);
    ASSERT_FALSE(j.is_discarded()) << json.out;
    EXPECT_EQ(j["heapSampling"]["status"], "ready");
    EXPECT_EQ(j["heapSampling"]["sampleBytes"], 512 * 1024);
    const nlohmann::json& first = j["stacks"][0];
    const nlohmann::json& inner = first["frames"][0];
    EXPECT_TRUE(inner["file"].get<std::string>().ends_with("tests/helpers/allocator.cpp")) << inner;
    EXPECT_EQ(inner["line"], SiteLine("hold"));
    EXPECT_EQ(inner["module"], "quolk_test_allocator");
    // 4 MB every 100 ms: each block is sampled, so the growth is the footprint's, to a few per cent.
    const double growth = first["growthBytes"].get<double>();
    EXPECT_NEAR(growth / j["heapSampling"]["footprintGrowthBytes"].get<double>(), 1.0, 0.1);
    EXPECT_EQ(first["liveBytes"]["end"].get<double>() - first["liveBytes"]["start"].get<double>(), growth);
    EXPECT_NEAR(first["share"].get<double>(), 1.0, 0.1);
}

// The command's environment shows what was preloaded: the sampler with --stacks, nothing without;
// a statically linked command is recorded all the same, with the reason in one line.
TEST(RecordStacks, PreloadedOnlyWithTheOptionAndWhereTheCommandCanTakeIt) {
    AdoptOrphans();
    ScratchDir dir;
    const std::vector<std::string> plain{"--record", "--duration", "0.5", "--interval", "100", "--json", "--",
                                         "sh", "-c", "env; sleep 5"};
    std::vector<std::string> stacks = plain;
    stacks.insert(stacks.begin() + 1, "--stacks");
    const Outcome without = RunQuolk(dir, plain), with = RunQuolk(dir, stacks);
    EXPECT_EQ(without.err.find("QUOLK_HEAP"), std::string::npos) << without.err;
    EXPECT_EQ(without.err.find("libquolk-heap.so"), std::string::npos) << without.err;
    EXPECT_FALSE(nlohmann::json::parse(without.out).contains("stacks"));
    EXPECT_NE(with.err.find("QUOLK_HEAP_FD="), std::string::npos) << with.err;
    EXPECT_NE(with.err.find("/libquolk-heap.so"), std::string::npos) << with.err;

    const Outcome fixed = RunQuolk(dir, {"--record", "--stacks", "--duration", "0.5", "--interval", "100", "--",
                                         QUOLK_TEST_ALLOCATOR_STATIC, "hold", "1"});
    EXPECT_EQ(fixed.status, 0) << fixed.err;
    EXPECT_NE(fixed.out.find("\r\nWhere the memory grew\r\n" + std::string(96, '-') +
                             "\r\nAllocation stacks unavailable: the command is statically linked"),
              std::string::npos)
        << fixed.out;
}

}  // namespace
}  // namespace record_test
