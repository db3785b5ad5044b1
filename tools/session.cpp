// The run itself, in a host's order: load and init the module, install the
// vorn gauge (with the point count as its parameter) and the display
// gauge, set "WZ_Active", then drive both gauges frame by frame while the
// probe points move; at the end unload both gauges (the vorn gauge's
// disconnect stops the worker), time the worker's end, and deinit.
#include "session.h"

#include <cstring>
#include <memory>
#include <optional>

#include "flight.h"
#include "hostsim/gauge_system.h"
#include "hostsim/module.h"
#if defined(TP_HAVE_GDAL)
#include "hostsim/raster_terrain.h"
#endif
#include "report.h"
#include "sample_sink.h"
#include "thread_watch.h"

namespace probe {
namespace {

constexpr double kFrameRate = 18.0;  // the host's gauge frames a second
constexpr std::chrono::milliseconds kStopBound{5000};
constexpr size_t kLivePoints = 8;
// Where the default flight starts over the built-in relief.
constexpr double kStartLatitudeDeg = 47.26, kStartLongitudeDeg = 11.35;

struct Setup {
    std::shared_ptr<const hostsim::Terrain> terrain;
    std::string terrainName;
    Probes probes;
};

// Everything read from files before the module is loaded, so bad input
// fails before anything runs. The default flight starts over the middle of
// a terrain file (the options refuse one where this build cannot read it).
Setup prepare(const Options& options) {
    Setup setup;
    setup.terrain = hostsim::relief_terrain();
    setup.terrainName = "built-in synthetic relief";
    double startLatitudeDeg = kStartLatitudeDeg, startLongitudeDeg = kStartLongitudeDeg;
#if defined(TP_HAVE_GDAL)
    if (!options.terrainFile.empty()) {
        auto raster = hostsim::RasterTerrain::load(options.terrainFile);
        setup.terrain = raster;
        setup.terrainName = raster->description();
        startLatitudeDeg = raster->centre_latitude();
        startLongitudeDeg = raster->centre_longitude();
    }
#endif
    setup.probes = options.pointsFile.empty() ? Probes::fan(options.count, startLatitudeDeg, startLongitudeDeg)
                                              : Probes::fixed(read_points_csv(options.pointsFile));
    return setup;
}

// The other gauge's part: each point's position, as named variables.
void write_points(hostsim::Host& host, const std::vector<Position>& positions) {
    for (size_t i = 0; i < positions.size(); ++i) {
        std::string index = std::to_string(i);
        host.set_value_in("WZPointLat_" + index, positions[i].latitudeDeg, "degrees");
        host.set_value_in("WZPointLon_" + index, positions[i].longitudeDeg, "degrees");
        host.set_value_in("WZPointAlt_" + index, positions[i].altitudeFt, "feet");
    }
}

std::vector<Message> message_script(const Options& options) {
    std::vector<Message> script;
    if (options.pauseAt && *options.pauseAt < options.seconds) script.push_back({*options.pauseAt, ids::kMessagePaused});
    if (options.resumeAt && *options.resumeAt < options.seconds) script.push_back({*options.resumeAt, ids::kMessageResumed});
    return script;
}

double seconds_since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// The display as the host holds it: its images and its text elements with
// the texts just updated.
DisplayPicture capture_display(const hostsim::Module& module, hostsim::Gauge& display) {
    DisplayPicture picture;
    for (const ElementBase* element : display.elements())
        if (element->kind == kElementImage)
            picture.images.push_back({module.bitmap(element->resourceId), element->x, element->y,
                                      (element->imageFlags & kImageTransparent) != 0});
    for (const hostsim::TextView& view : display.update_texts()) {
        const TextElement& e = *view.element;
        picture.texts.push_back({e.base.x, e.base.y, e.boxWidth, e.boxHeight, e.colour,
                                 std::string(e.face, strnlen(e.face, sizeof e.face)), e.weight, view.text});
    }
    return picture;
}

LiveStatus live_status(hostsim::Host& host, const CycleStats& now, const CycleStats& before, double seconds,
                       bool paused, int points) {
    LiveStatus status;
    status.seconds = seconds;
    status.paused = paused;
    status.cycles = now.cycles;
    status.newCycles = now.cycles - before.cycles;
    status.samples = now.samples;
    status.newSamples = now.samples - before.samples;
    status.points = points;
    for (int i = 0; i < points && static_cast<size_t>(i) < kLivePoints; ++i)
        status.elevationsFt.push_back(host.value("WZPointElevation_" + std::to_string(i)));
    return status;
}

std::string host_problems(hostsim::Host& host) {
    std::string problems = host.ledger().report();
    for (const std::string& trap : host.traps()) problems += "the module called the forbidden " + trap + "; ";
    return problems;
}

// The run's parts in the order they are made and taken down: the recorder
// outlives the host that calls it, the gauges go before their module, and
// the message thread before the host it delivers through.
class Session {
public:
    Session(const Options& options, const LiveView& live)
        : options_(options), live_(live), setup_(prepare(options)), sink_(options.csvFile, setup_.terrain),
          module_(host_, module_path(options)) {
        result_.module = module_path(options);
        result_.terrain = setup_.terrainName;
        result_.probes = setup_.probes.describe();
        result_.points = setup_.probes.count();
        host_.set_logging(false);
        host_.set_terrain(setup_.terrain);
    }

    RunResult run() {
        install();
        drive_frames();
        result_.picture = capture_display(module_, *display_);
        result_.pdk = host_.value("WZ_PDK");
        result_.surface = host_.value("WZ_pSurface");
        stop();
        return result_;
    }

private:
    static std::string module_path(const Options& options) {
        return options.module.empty() ? hostsim::default_module_path() : options.module;
    }

    // As a host loads a panel: init, then each gauge, then the controls
    // another gauge would set.
    void install() {
        module_.init();
        vorn_.emplace(module_, "vorn", std::to_string(result_.points));
        display_.emplace(module_, "display");
        vorn_->install();
        display_->install();
        host_.set_value("WZ_Active", 1.0);
        write_points(host_, setup_.probes.at(0.0));
        if (live_.started) live_.started(result_);

        start_ = Clock::now();
        recorder_ = std::make_unique<SampleRecorder>(std::this_thread::get_id(), start_);
        SampleRecorder* recorder = recorder_.get();
        host_.set_observer([recorder](const hostsim::Call& call) { recorder->observe(call); });
        messages_.emplace(host_, message_script(options_), start_, [recorder](uint64_t value) {
            if (value == ids::kMessageResumed) recorder->resuming();
        });
    }

    void drive_frames() {
        const auto framePeriod = std::chrono::duration<double>(1.0 / kFrameRate);
        double nextLine = 1.0;
        for (uint64_t frame = 0;; ++frame) {
            Clock::time_point due = start_ + std::chrono::duration_cast<Clock::duration>(framePeriod * frame);
            if (std::chrono::duration<double>(due - start_).count() >= options_.seconds) break;
            std::this_thread::sleep_until(due);
            double now = seconds_since(start_);
            write_points(host_, setup_.probes.at(now));
            vorn_->frame();
            display_->frame();
            result_.frames = frame + 1;
            take_messages();
            sink_.add(recorder_->take_samples());
            if (now >= nextLine) show_second(nextLine), nextLine += 1.0;
        }
        std::this_thread::sleep_until(start_ + std::chrono::duration_cast<Clock::duration>(
                                                   std::chrono::duration<double>(options_.seconds)));
        result_.seconds = seconds_since(start_);
        if (nextLine - 1.0 < options_.seconds) show_second(options_.seconds);
    }

    void take_messages() {
        for (const Message& m : messages_->take_delivered()) {
            paused_ = m.value == ids::kMessagePaused;
            result_.messages.push_back(m);
            if (live_.message) live_.message(m);
        }
    }

    void show_second(double seconds) {
        CycleStats stats = recorder_->stats();
        if (live_.second) live_.second(live_status(host_, stats, lastLine_, seconds, paused_, result_.points));
        lastLine_ = stats;
    }

    // Unload as a host does, timing the worker's end: the module does not
    // tell its host, so watch the thread that ran its cycles.
    void stop() {
        ThreadWatch worker(recorder_->worker_os_id());
        bool running = worker.alive();
        Clock::time_point disconnect = Clock::now();
        vorn_->unload();  // the disconnect (code 15) comes first
        if (!running)
            result_.stopNote = "no worker was running at the disconnect";
        else if (!(result_.stopLatencyMs = worker.milliseconds_until_gone(disconnect, kStopBound)))
            result_.stopNote = "the worker was still running 5 s after the disconnect";
        display_->unload();
        module_.deinit();
        messages_->stop();
        host_.set_observer(nullptr);
        take_messages();

        sink_.add(recorder_->take_samples());
        sink_.finish();
        result_.stats = recorder_->stats();
        result_.samplesChecked = sink_.rows();
        result_.samplesOff = sink_.mismatches();
        result_.samplesOutside = sink_.outside();
        if (result_.samplesOutside)
            result_.warnings.push_back(std::to_string(result_.samplesOutside) + " of " +
                                       std::to_string(result_.samplesChecked) +
                                       " samples fell outside the terrain data, where the ground reads 0 ft");
        result_.largestDifferenceFt = sink_.largest_difference_ft();
        result_.hostProblems = host_problems(host_);
    }

    const Options& options_;
    const LiveView& live_;
    Setup setup_;
    SampleSink sink_;
    RunResult result_;
    std::unique_ptr<SampleRecorder> recorder_;
    hostsim::Host host_;
    hostsim::Module module_;
    std::optional<hostsim::Gauge> vorn_, display_;
    std::optional<MessageThread> messages_;
    Clock::time_point start_;
    bool paused_ = false;
    CycleStats lastLine_;
};

}  // namespace

RunResult run_session(const Options& options, const LiveView& live) { return Session(options, live).run(); }

}  // namespace probe
