// `quolk --serve` scraped by a real Prometheus server (Debian's prometheus package, started here on
// a free port with its own configuration and storage in a scratch folder, and our alerting rules):
// a leaking and a flat program, asked through Prometheus's HTTP query API.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <chrono>

#include "serve_support.h"

namespace record_test {
namespace {

// A PromQL instant query's result vector; empty when the server does not answer.
nlohmann::json Query(int port, const std::string& promql) {
    const std::string body = Shell("curl -sf --max-time 5 -G 'http://127.0.0.1:" + std::to_string(port) +
                                   "/api/v1/query' --data-urlencode 'query=" + promql + "'")
                                 .second;
    const nlohmann::json answer = nlohmann::json::parse(body, nullptr, false);
    if (answer.is_discarded() || answer.value("status", "") != "success") return nlohmann::json::array();
    return answer["data"]["result"];
}

// The value of a query that gives one series; NaN when it gives none.
double Scalar(int port, const std::string& promql) {
    const nlohmann::json result = Query(port, promql);
    if (result.size() != 1) return std::nan("");
    return std::stod(result[0]["value"][1].get<std::string>());
}

TEST(Prometheus, ScrapesTheFiguresAndTheLeakTestOfEveryMatchingProcess) {
    if (Shell("command -v prometheus").first != 0)
        GTEST_SKIP() << "Debian's prometheus package is not installed (make deps installs it)";
    AdoptOrphans();
    ScratchDir dir;
    const std::string program = OwnAllocator(dir);
    const std::string name = program.substr(program.rfind('/') + 1);
    const pid_t leaker = StartAllocator(dir, program, "leaker", {"grow", "2", "200"});
    const pid_t flat = StartAllocator(dir, program, "flat", {"hold", "16"});
    const int quolkPort = FreePort();
    // An interval of 200 ms gives the leak test the windows it needs within seconds.
    const pid_t server = StartServing(dir, quolkPort, {"--match", name, "--interval", "200", "--window", "1"});
    ASSERT_GT(server, 0) << dir.Read("err");
    const int port = FreePort();
    dir.Write("prometheus.yml", "global:\n  scrape_interval: 1s\n  evaluation_interval: 1s\n"
                                "rule_files: ['" QUOLK_SOURCE_DIR "/data/prometheus/quolk.rules.yml']\n"
                                "scrape_configs:\n  - job_name: quolk\n    static_configs:\n"
                                "      - targets: ['127.0.0.1:" + std::to_string(quolkPort) + "']\n");
    const std::string prometheusCommand =
        "exec prometheus --config.file='" + dir.File("prometheus.yml") + "' --storage.tsdb.path='" +
        dir.File("data") + "' --web.listen-address=127.0.0.1:" + std::to_string(port) + " >'" +
        dir.File("prometheus.log") + "' 2>&1";
    pid_t prometheus = -1;
    const char* const shell[] = {"sh", "-c", prometheusCommand.c_str(), nullptr};
    ASSERT_EQ(posix_spawnp(&prometheus, "sh", nullptr, nullptr, const_cast<char* const*>(shell), environ), 0);

    const std::string leakerSeries = "{pid=\"" + std::to_string(leaker) + "\"}";
    const std::string flatSeries = "{pid=\"" + std::to_string(flat) + "\"}";
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(45);
    // Until the leaker's leak test reads leak and Prometheus holds a few scrapes of it.
    double leak = 0, scrapes = 0;
    while (std::chrono::steady_clock::now() < deadline && !(leak == 1 && scrapes >= 5)) {
        Pause(500);
        leak = Scalar(port, "quolk_process_leak_test{pid=\"" + std::to_string(leaker) + "\",state=\"leak\"}");
        scrapes = Scalar(port, "count_over_time(quolk_process_footprint_bytes" + leakerSeries + "[1m])");
    }
    EXPECT_EQ(leak, 1) << "the leaker's leak test never read leak\n" << dir.Read("prometheus.log");
    EXPECT_EQ(Query(port, "quolk_process_footprint_bytes{name=\"" + name + "\"}").size(), 2u);
    EXPECT_GT(Scalar(port, "deriv(quolk_process_footprint_bytes" + leakerSeries + "[1m])"), 1e6);
    EXPECT_GT(Scalar(port, "quolk_process_leak_slope_bytes_per_second" + leakerSeries), 1e6);
    EXPECT_EQ(Scalar(port, "max_over_time(quolk_process_leak_test{pid=\"" + std::to_string(flat) +
                               "\",state=\"leak\"}[1m])"),
              0);
    EXPECT_GT(Scalar(port, "quolk_process_footprint_bytes" + flatSeries), 16 << 20);

    // The flat one ends: its series are gone from the next scrapes, and so from the query.
    EndChild(flat);
    double left = 1;
    for (int tries = 0; tries < 20 && left > 0; ++tries) {
        Pause(500);
        left = double(Query(port, "quolk_process_footprint_bytes" + flatSeries).size());
    }
    EXPECT_EQ(left, 0) << "a stale series of an ended process";
    EXPECT_EQ(Scalar(port, "quolk_watched_processes"), 1);

    kill(prometheus, SIGTERM);
    waitpid(prometheus, nullptr, 0);
    kill(server, SIGTERM);
    EXPECT_EQ(Wait(dir, server).status, 0);
    EndChild(leaker);
}

}  // namespace
}  // namespace record_test
