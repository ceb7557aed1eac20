#include "app/serve/serve_metrics.h"

#include <chrono>

#include "analysis/leak_test.h"
#include "quolk_version.h"

namespace {

using prometheus::Family;
using prometheus::Gauge;

Family<Gauge>& GaugeFamily(prometheus::Registry& registry, const char* name, const char* help) {
    return prometheus::BuildGauge().Name(name).Help(help).Register(registry);
}
Family<prometheus::Counter>& CounterFamily(prometheus::Registry& registry, const char* name, const char* help) {
    return prometheus::BuildCounter().Name(name).Help(help).Register(registry);
}

// From a millisecond to a second: a tick of 500 processes and a scrape of them both belong in it.
const prometheus::Histogram::BucketBoundaries DurationBuckets = {0.001, 0.002, 0.005, 0.01, 0.02, 0.05,
                                                                 0.1,   0.2,   0.5,   1.0};

// The registry, collected with the time it takes observed. A scrape shows the collections before
// it: its own ends after its text is made.
class TimedCollection final : public prometheus::Collectable {
public:
    TimedCollection(std::shared_ptr<prometheus::Registry> registry, prometheus::Histogram& duration)
        : registry_(std::move(registry)), duration_(duration) {}
    std::vector<prometheus::MetricFamily> Collect() const override {
        const auto start = std::chrono::steady_clock::now();
        std::vector<prometheus::MetricFamily> families = registry_->Collect();
        duration_.Observe(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        return families;
    }

private:
    std::shared_ptr<prometheus::Registry> registry_;
    prometheus::Histogram& duration_;
};

// A counter brought up to a total read from the kernel; it never goes down.
void RaiseTo(prometheus::Counter& counter, double total) {
    if (total > counter.Value()) counter.Increment(total - counter.Value());
}

}  // namespace

ServeMetrics::ServeMetrics()
    : registry_(std::make_shared<prometheus::Registry>()),
      footprint_(GaugeFamily(*registry_, "quolk_process_footprint_bytes",
                             "Physical footprint: anonymous resident memory, swap and page tables")),
      virtual_(GaugeFamily(*registry_, "quolk_process_virtual_bytes", "Reserved address space")),
      threads_(GaugeFamily(*registry_, "quolk_process_threads", "Threads")),
      streak_(GaugeFamily(*registry_, "quolk_process_streak_alarm",
                          "1 while the footprint has risen at the streak threshold's number of samples in a row")),
      growthAlarm_(GaugeFamily(*registry_, "quolk_process_growth_alarm",
                               "1 while the footprint exceeds the settled baseline by the growth limit")),
      growth_(GaugeFamily(*registry_, "quolk_process_growth_bytes", "Footprint over the settled baseline")),
      slope_(GaugeFamily(*registry_, "quolk_process_leak_slope_bytes_per_second",
                         "The leak test's Theil-Sen slope of the footprint's lower envelope")),
      leak_(GaugeFamily(*registry_, "quolk_process_leak_test",
                        "The leak test over the window: 1 for the current state, 0 for the others")),
      faults_(CounterFamily(*registry_, "quolk_process_page_faults_total", "Page faults, minor and major")),
      pageIns_(CounterFamily(*registry_, "quolk_process_page_ins_total", "Major faults: pages read in")),
      watched_(GaugeFamily(*registry_, "quolk_watched_processes", "Processes watched").Add({})),
      tickDuration_(prometheus::BuildHistogram()
                        .Name("quolk_tick_duration_seconds")
                        .Help("Time of one interval's work: the process list and every watched process")
                        .Register(*registry_)
                        .Add({}, DurationBuckets)) {
    auto& scrape = prometheus::BuildHistogram()
                       .Name("quolk_scrape_duration_seconds")
                       .Help("Time to collect the metrics of a scrape")
                       .Register(*registry_)
                       .Add({}, DurationBuckets);
    timed_ = std::make_shared<TimedCollection>(registry_, scrape);
    GaugeFamily(*registry_, "quolk_build_info", "Quolk's version").Add({{"version", QuolkVersion}}).Set(1);
}

ServeMetrics::~ServeMetrics() = default;

void ServeMetrics::Add(const WatchedProcess& process) {
    const prometheus::Labels labels{{"name", process.name}, {"pid", std::to_string(process.key.pid)}};
    Series s;
    s.footprint = &footprint_.Add(labels);
    s.virtualBytes = &virtual_.Add(labels);
    s.threads = &threads_.Add(labels);
    s.streak = &streak_.Add(labels);
    s.growthAlarm = &growthAlarm_.Add(labels);
    s.growth = &growth_.Add(labels);
    s.slope = &slope_.Add(labels);
    s.faults = &faults_.Add(labels);
    s.pageIns = &pageIns_.Add(labels);
    for (LeakOutcome outcome : {LeakOutcome::Leak, LeakOutcome::NoLeak, LeakOutcome::Inconclusive}) {
        prometheus::Labels state = labels;
        state["state"] = LeakOutcomeName(outcome);
        s.leak[size_t(outcome)] = &leak_.Add(state);
    }
    series_[process.key] = s;
}

void ServeMetrics::Remove(const WatchKey& key) {
    const auto it = series_.find(key);
    if (it == series_.end()) return;
    const Series& s = it->second;
    for (auto [family, gauge] : {std::pair{&footprint_, s.footprint}, {&virtual_, s.virtualBytes},
                                 {&threads_, s.threads}, {&streak_, s.streak}, {&growthAlarm_, s.growthAlarm},
                                 {&growth_, s.growth}, {&slope_, s.slope}})
        family->Remove(gauge);
    for (Gauge* gauge : s.leak) leak_.Remove(gauge);
    faults_.Remove(s.faults);
    pageIns_.Remove(s.pageIns);
    series_.erase(it);
}

void ServeMetrics::Update(const ProcessWatch& watch, const WatchChanges& changes, double tickSeconds) {
    for (const WatchKey& key : changes.ended) Remove(key);
    for (const WatchKey& key : changes.started) {
        const auto it = watch.Processes().find(key);
        if (it != watch.Processes().end()) Add(it->second);
    }
    for (const auto& [key, process] : watch.Processes()) {
        const auto it = series_.find(key);
        if (it == series_.end()) continue;
        const Series& s = it->second;
        const WatchedFigures& f = process.figures;
        s.footprint->Set(double(f.footprintBytes));
        s.virtualBytes->Set(double(f.virtualBytes));
        s.threads->Set(f.threads);
        s.streak->Set(f.streakAlarm ? 1 : 0);
        s.growthAlarm->Set(f.growthAlarm ? 1 : 0);
        s.growth->Set(double(f.growthBytes));
        s.slope->Set(f.leakSlopeBytesPerSecond);
        RaiseTo(*s.faults, double(f.pageFaults));
        RaiseTo(*s.pageIns, double(f.pageIns));
        for (size_t i = 0; i < s.leak.size(); ++i) s.leak[i]->Set(i == size_t(f.leak) ? 1 : 0);
    }
    watched_.Set(double(watch.Processes().size()));
    tickDuration_.Observe(tickSeconds);
}
