// Setting the module up as a host does, and the host calls it makes.
#include "rig.h"

#include <dlfcn.h>
#include <link.h>

#include <stdexcept>

#include "hostsim/pdk_objects.h"
#include "interpose.h"

namespace bench {
namespace {

template <typename Fn>
Fn entry(const hostsim::Host& host, PanelEntry index) {
    return reinterpret_cast<Fn>(host.panel_table()[index]);
}

// The end of the loaded image that starts at base.
struct ImageSearch {
    uintptr_t base;
    uintptr_t end;
};

int find_image_end(dl_phdr_info* info, size_t, void* data) {
    auto* search = static_cast<ImageSearch*>(data);
    if (info->dlpi_addr != search->base) return 0;
    for (int i = 0; i < info->dlpi_phnum; ++i) {
        const ElfW(Phdr)& segment = info->dlpi_phdr[i];
        if (segment.p_type == PT_LOAD && info->dlpi_addr + segment.p_vaddr + segment.p_memsz > search->end)
            search->end = info->dlpi_addr + segment.p_vaddr + segment.p_memsz;
    }
    return 1;
}

}  // namespace

PanelCalls::PanelCalls(const hostsim::Host& host)
    : check(entry<CheckNamedVarFn>(host, kCheckNamedVar)),
      registerVar(entry<RegisterNamedVarFn>(host, kRegisterNamedVar)),
      get(entry<GetNamedVarFn>(host, kGetNamedVar)),
      getTyped(entry<GetNamedVarTypedFn>(host, kGetNamedVarTyped)),
      setTyped(entry<SetNamedVarTypedFn>(host, kSetNamedVarTyped)) {}

Rig::Rig(int points)
    : clock_(std::make_shared<CycleClock>(1500.0)),
      module_(host_, hostsim::default_module_path()),
      vorn_(module_, "vorn", std::to_string(points)) {
    host_.set_logging(false);
    host_.set_terrain(clock_);
    module_.init();
    vorn_.install();
}

Rig::~Rig() {
    stop_worker();
    module_.deinit();
}

void Rig::start_worker() {
    uint64_t started = threads_started();
    vorn_.send(kPreUpdate);
    running_ = threads_started() > started;
    if (!running_) throw std::runtime_error("code 6 started no worker");
}

int64_t Rig::stop_worker() {
    if (!running_) return 0;
    uint64_t ended = threads_ended();
    int64_t sent = monotonic_ns();
    vorn_.send(kDisconnect);
    wait_threads_ended(ended + 1);
    running_ = false;
    return last_thread_end_ns() - sent;
}

void Rig::watch_module_code() {
    Dl_info info;
    if (!dladdr(&module_.linkage(), &info)) throw std::runtime_error("the module's image is not found");
    ImageSearch search{reinterpret_cast<uintptr_t>(info.dli_fbase), 0};
    dl_iterate_phdr(find_image_end, &search);
    watch_code(search.base, search.end);
}

std::vector<PointIds> Rig::point_ids(int count) const {
    std::vector<PointIds> ids;
    auto id = [&](const char* prefix, int k) { return host_.check_var((prefix + std::to_string(k)).c_str()); };
    for (int k = 0; k < count; ++k)
        ids.push_back({id("WZPointLon_", k), id("WZPointAlt_", k), id("WZPointLat_", k), id("WZPointElevation_", k)});
    return ids;
}

double worker_ns_per_point(Rig& rig, int points, int cyclesPerSpan, int spans) {
    uint64_t span = static_cast<uint64_t>(points) * static_cast<uint64_t>(cyclesPerSpan);
    rig.clock().arm(span, static_cast<size_t>(spans) + 1);
    rig.start_worker();
    rig.clock().wait_for_marks(static_cast<size_t>(spans) + 1);
    rig.stop_worker();
    return median(rig.clock().intervals(static_cast<double>(span)));
}

double direct_ns_per_point(Rig& rig, const std::vector<PointIds>& points, int passesPerSpan, int spans) {
    PanelCalls panel(rig.host());
    DirectTarget target{panel.getTyped, panel.setTyped, &rig.host().surface(), hostsim::kUnitsRadians,
                        hostsim::kUnitsFeet};
    uint64_t span = points.size() * static_cast<uint64_t>(passesPerSpan);
    rig.clock().arm(span, static_cast<size_t>(spans) + 1);
    // One query more than the spans need, so the last mark is taken.
    for (int pass = 0; pass < passesPerSpan * spans; ++pass) sample_directly(target, points.data(), points.size());
    sample_directly(target, points.data(), 1);
    return median(rig.clock().intervals(static_cast<double>(span)));
}

}  // namespace bench
