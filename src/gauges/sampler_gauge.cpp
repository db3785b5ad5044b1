// The sampler gauge. Initialise reads the point count; every update
// completes what is missing of the set-up (stop event, point table, worker);
// disconnect signals the worker to stop.
#include "gauges/sampler_gauge.h"

#include "host/panel_calls.h"
#include "module/module_state.h"
#include "sampling/point_table.h"
#include "sampling/sampler_worker.h"

namespace {

constexpr double kDefaultIntervalMs = 55.0;

bool is_space(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

void read_point_count(const GaugeHeader* gauge) {
    if (!gauge || !gauge->parameters) return;
    store(g_module.pointCount, parse_point_count(gauge->parameters));
    panel::set(g_module.controls.updateInterval.id, kDefaultIntervalMs);
}

void build_table() {
    NamedVar& published = g_module.controls.pointCount;
    panel::set(published.id, static_cast<double>(load(g_module.pointCount)));
    if (!build_point_table()) panel::set(published.id, 0.0);
}

void update(const GaugeHeader* gauge) {
    if (load(g_module.pointCount) == 0) read_point_count(gauge);
    if (!load(g_module.quitEvent)) store(g_module.quitEvent, os::create_event("QuitEvent"));
    if (!load(g_module.points) && load(g_module.pointCount) > 0) build_table();
    if (!load(g_module.workerRunning) && load(g_module.points)) start_worker();
}

}  // namespace

int32_t parse_point_count(const char* s) {
    while (is_space(*s)) ++s;
    bool negative = *s == '-';
    if (*s == '+' || *s == '-') ++s;
    int64_t value = 0;
    for (; *s >= '0' && *s <= '9'; ++s)
        if (value <= kMaxPoints) value = value * 10 + (*s - '0');
    if (negative || value < 1) return 1;
    return value > kMaxPoints ? kMaxPoints : static_cast<int32_t>(value);
}

void sampler_gauge_callback(GaugeHeader* gauge, int32_t service, uint64_t) {
    switch (service) {
    case kPreInitialise:
        read_point_count(gauge);
        break;
    case kPreUpdate:
        update(gauge);
        break;
    case kDisconnect:
        os::signal_event(load(g_module.quitEvent));
        break;
    default:
        break;
    }
}
