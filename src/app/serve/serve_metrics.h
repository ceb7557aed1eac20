// What `quolk --serve` hands Prometheus: one series of each family per watched process, labelled
// with its name and PID only (a command line may hold secrets), and Quolk's own figures. The
// series of a process that ended leave their families, so the next scrape no longer has them.
//
//   quolk_process_footprint_bytes, quolk_process_virtual_bytes, quolk_process_threads
//   quolk_process_page_faults_total, quolk_process_page_ins_total        counters
//   quolk_process_streak_alarm, quolk_process_growth_alarm                0 or 1
//   quolk_process_growth_bytes                   over the settled baseline
//   quolk_process_leak_test{state="leak"|"no_leak"|"inconclusive"}       a state set: 1 for the current
//   quolk_process_leak_slope_bytes_per_second    the leak test's Theil–Sen slope
//   quolk_watched_processes, quolk_tick_duration_seconds, quolk_scrape_duration_seconds,
//   quolk_build_info{version}
#pragma once

#include <prometheus/collectable.h>
#include <prometheus/counter.h>
#include <prometheus/family.h>
#include <prometheus/gauge.h>
#include <prometheus/histogram.h>
#include <prometheus/registry.h>

#include <array>
#include <map>
#include <memory>

#include "session/process_watch.h"

class ServeMetrics {
public:
    ServeMetrics();
    ~ServeMetrics();

    // What the exposer collects: the registry, with the time each collection takes observed.
    std::shared_ptr<prometheus::Collectable> Collectable() const { return timed_; }

    // After a tick of the watch that took tickSeconds: series for the processes it started, new
    // values for all, and the series of those that ended removed.
    void Update(const ProcessWatch& watch, const WatchChanges& changes, double tickSeconds);

private:
    struct Series {
        prometheus::Gauge *footprint{}, *virtualBytes{}, *threads{}, *streak{}, *growthAlarm{}, *growth{}, *slope{};
        prometheus::Counter *faults{}, *pageIns{};
        std::array<prometheus::Gauge*, 3> leak{};  // by LeakOutcome
    };
    void Add(const WatchedProcess& process);
    void Remove(const WatchKey& key);

    std::shared_ptr<prometheus::Registry> registry_;
    std::shared_ptr<prometheus::Collectable> timed_;
    prometheus::Family<prometheus::Gauge>&footprint_, &virtual_, &threads_, &streak_, &growthAlarm_, &growth_,
        &slope_, &leak_;
    prometheus::Family<prometheus::Counter>&faults_, &pageIns_;
    prometheus::Gauge& watched_;
    prometheus::Histogram& tickDuration_;
    std::map<WatchKey, Series> series_;
};
