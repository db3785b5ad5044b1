// The run itself, in a host's order: load and init the module, install the
// vorn gauge (with the point count as its parameter) and the display
// gauge, set "WZ_Active", then drive both gauges frame by frame by the wall
// clock while the probe points move; at the end unload both gauges (the
// vorn gauge's disconnect stops the worker), time the worker's end, and
// deinit.
#include "session.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>

#include "display_clicks.h"
#include "file_checks.h"
#include "flight.h"
#include "frame_pacer.h"
#include "hostsim/gauge_system.h"
#include "hostsim/module.h"
#include "hostsim/terrain.h"
#if defined(TP_HAVE_GDAL)
#include "hostsim/raster_terrain.h"
#else
#include "hostsim/ascii_grid.h"
#endif
#include "interrupt.h"
#include "layout.h"
#include "plausibility.h"
#include "point_writer.h"
#include "report.h"
#include "sample_writer.h"
#include "thread_watch.h"
#include "user_gauges.h"

namespace probe {
namespace {

constexpr double kFrameRate = 18.0;  // the host's gauge frames a second
constexpr std::chrono::milliseconds kStopBound{5000};
constexpr size_t kLivePoints = 8;
constexpr double kMetresPerNm = 1852.0;
// Where the default flight starts over the built-in relief: its track
// crosses ridges and valleys of several thousand feet.
constexpr double kStartLatitudeDeg = 47.06, kStartLongitudeDeg = 11.59;

struct Setup {
    std::shared_ptr<const hostsim::Terrain> terrain;
    std::string terrainName;
    Probes probes;
    Flight flight = Flight::straight(kStartLatitudeDeg, kStartLongitudeDeg);
    std::vector<std::string> warnings;
    std::vector<std::string> implausible;  // also among the warnings
    std::string routeShort;                // also among the warnings
    std::vector<FilePoint> filePoints;
};


std::string seconds_text(double seconds) {
    char text[40];
    std::snprintf(text, sizeof text, "%g s", seconds);
    return text;
}

// "points 3 to 9 are", "point 3 is".
std::string points_are(int first, int last) {
    return first == last ? "point " + std::to_string(first) + " is"
                         : "points " + std::to_string(first) + " to " + std::to_string(last) + " are";
}

// Everything read from files before the module is loaded, so bad input
// fails before anything runs. The default flight starts over the middle of
// a terrain file (the options refuse one where this build cannot read it).
Setup prepare(const Options& options) {
    Setup setup;
    setup.terrain = hostsim::relief_terrain();
    setup.terrainName = "built-in synthetic relief";
#if defined(TP_HAVE_GDAL)
    if (!options.terrainFile.empty()) {
        auto raster = hostsim::RasterTerrain::load(options.terrainFile);
        setup.terrain = raster;
        setup.terrainName = raster->description();
        setup.flight = Flight::straight(raster->centre_latitude(), raster->centre_longitude());
    }
#else
    if (!options.terrainFile.empty()) {
        auto grid = hostsim::AsciiGridTerrain::load(options.terrainFile);
        setup.terrain = grid;
        setup.terrainName = grid->description();
        setup.flight = Flight::straight(grid->centre_latitude(), grid->centre_longitude());
    }
#endif
    if (!options.routeFile.empty()) {
        std::vector<RoutePoint> route = read_route_csv(options.routeFile);
        if (route.front().seconds >= options.seconds)
            setup.routeShort = options.routeFile + " starts at " + seconds_text(route.front().seconds) +
                               ", after the run's end at " + seconds_text(options.seconds) +
                               ": the aircraft holds the route's first position the whole run";
        else if (route.back().seconds < options.seconds)
            setup.routeShort = options.routeFile + " ends at " + seconds_text(route.back().seconds) +
                               ", before the run's end at " + seconds_text(options.seconds) +
                               ": from then on the aircraft holds the route's last position";
        if (!setup.routeShort.empty()) setup.warnings.push_back(setup.routeShort);
        setup.implausible = route_findings(route, *setup.terrain, options.routeFile);
        setup.flight = Flight::route(std::move(route), options.routeFile);
    }
    if (options.pointsFile.empty()) {
        setup.probes = Probes::around(options.layout, options.count,
                                      options.rangeKm ? *options.rangeKm : default_range_km(options.layout));
        return setup;
    }
    std::vector<FilePoint> points = read_points_csv(options.pointsFile);
    if (options.toleranceFt && std::none_of(points.begin(), points.end(), [](const FilePoint& p) { return p.expectedFt; }))
        throw UsageError("--tolerance: " + options.pointsFile +
                         " gives no expected elevation (a column named expected_ft or expected_m)");
    if (std::string below = points_below_ground(points, *setup.terrain, options.pointsFile); !below.empty())
        setup.implausible.push_back(below);
    for (const FilePoint& p : points)
        if (!setup.terrain->covers(hostsim::radians(p.position.latitudeDeg), hostsim::radians(p.position.longitudeDeg)))
            setup.warnings.push_back(options.pointsFile + " line " + std::to_string(p.line) +
                                     ": the point lies outside the terrain data, where the ground reads 0 ft");
    setup.probes = Probes::fixed(points);
    setup.filePoints = std::move(points);
    return setup;
}

// The CSV is opened for writing at once, by its writer.
void check_outputs(const Options& options) {
    for (const NamedFile& output : output_files(options))
        if (output.path != options.csvFile) check_output_path(output.option, output.path);
}

std::string module_path(const Options& options) {
    std::string path = options.module.empty() ? hostsim::default_module_path() : options.module;
    check_module_file(path);
    return path;
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

// What the host saw the module do wrong, each kind apart so that the
// verdict can name it, and all of it together for the summary.
void note_host_problems(hostsim::Host& host, RunResult& result) {
    result.referenceProblems = host.ledger().report();
    for (const std::string& trap : host.traps()) result.forbiddenCalls.push_back("the module called the forbidden " + trap);
    result.hostFaults = host.faults();
    result.hostProblems = result.referenceProblems;
    for (const auto* list : {&result.forbiddenCalls, &result.hostFaults})
        for (const std::string& problem : *list) result.hostProblems += problem + "; ";
}

// A line layout's points by their distance ahead of the aircraft.
Profile make_profile(const Probes& probes, const Aircraft& aircraft, const std::vector<PointResult>& points) {
    Profile profile;
    for (const PointResult& p : points)
        profile.points.push_back(
            {distance_m(aircraft.position, p.position) / kMetresPerNm, p.elevationFt, p.position.altitudeFt});
    std::stable_sort(profile.points.begin(), profile.points.end(),
                     [](const ProfilePoint& a, const ProfilePoint& b) { return a.distanceNm < b.distanceNm; });
    profile.title = "Terrain ahead: " + probes.describe();
    return profile;
}

// Every point around the aircraft, turned so that its track is up.
PlanView make_plan_view(const Probes& probes, const Aircraft& aircraft, const std::vector<PointResult>& points) {
    PlanView view;
    view.title = "Plan view: " + probes.describe();
    view.altitudeFt = aircraft.position.altitudeFt;
    view.headingDeg = aircraft.headingDeg;
    view.arc = probes.moving() && probes.layout() == Layout::Fan;
    double track = hostsim::radians(aircraft.headingDeg);
    for (const PointResult& p : points) {
        double nm = distance_m(aircraft.position, p.position) / kMetresPerNm;
        double relative = hostsim::radians(bearing_deg(aircraft.position, p.position)) - track;
        view.points.push_back({nm * std::sin(relative), nm * std::cos(relative),
                               p.position.altitudeFt - p.elevationFt, p.samples > 0});
    }
    return view;
}

// The run's parts in the order they are made and taken down: the recorder
// outlives the host that calls it, the gauges go before their module, and
// the message thread before the host it delivers through.
class Session {
public:
    Session(const Options& options, const LiveView& live)
        : options_(options), live_(live), setup_(prepare(options)), timeline_(make_timeline(options)),
          modulePath_(module_path(options)), writer_((check_outputs(options), options.csvFile), setup_.terrain),
          module_((host_.set_named_var_profile(options.hostProfile), load(host_, modulePath_))), users_(host_, options.gauges),
          watch_(options.watch) {
        result_.module = modulePath_;
        result_.terrain = setup_.terrainName;
        result_.probes = options.placesPoints ? setup_.probes.describe()
                                              : std::to_string(setup_.probes.count()) + " points, placed by the gauges of --gauge";
        result_.flight = setup_.probes.moving() ? setup_.flight.describe() : "";
        result_.points = setup_.probes.count();
        result_.parameters = options.parameters ? *options.parameters : std::to_string(result_.points);
        result_.userGauges = users_.names();
        result_.warnings = setup_.warnings;
        result_.warnings.insert(result_.warnings.end(), setup_.implausible.begin(), setup_.implausible.end());
        result_.implausible = setup_.implausible;
        result_.routeShort = setup_.routeShort;
        result_.strict = options.strict;
        result_.csvFile = options.csvFile;
        result_.maxAgeMs = options.maxAgeMs;
        result_.toleranceFt = options.toleranceFt;
        result_.warnings.insert(result_.warnings.end(), timeline_.warnings.begin(), timeline_.warnings.end());
        if (setup_.probes.moving())
            for (const Setting& s : options.settings)
                for (const char* part : {"WZPointLat_", "WZPointLon_", "WZPointAlt_"})
                    if (s.name.compare(0, std::strlen(part), part) == 0)
                        result_.warnings.push_back(s.name + " (--set): the layout moves every point each frame, so "
                                                   "the value written lasts until the next frame; --points holds "
                                                   "points still");
        host_.set_logging(false);
        host_.set_terrain(setup_.terrain);
    }

    RunResult run() {
        install();
        drive_frames();
        result_.picture = capture_display(*module_, *display_);
        result_.pdk = host_.value("WZ_PDK");
        result_.surface = host_.value("WZ_pSurface");
        result_.pointCount = host_.value("WZ_PointCount");
        compare_table();
        stop();
        return result_;
    }

private:
    hostsim::AircraftState aircraft_at(double seconds) const {
        return aircraft_state(setup_.flight, seconds, *setup_.terrain);
    }

    static std::unique_ptr<hostsim::Module> load(hostsim::Host& host, const std::string& path) {
        try {
            return std::make_unique<hostsim::Module>(host, path);
        } catch (const hostsim::LoadError& e) {
            throw FileError(load_error_for(e.what(), path));
        }
    }

    // As a host loads a panel: init, then each gauge, then the controls
    // another gauge would set.
    void install() {
        module_->init();
        points_.emplace(host_, result_.points);
        activeId_ = variable_id(host_, "WZ_Active");
        vorn_.emplace(*module_, "vorn", result_.parameters);
        display_.emplace(*module_, "display");
        users_.init();
        vorn_->install();
        display_->install();
        users_.install(aircraft_at(0.0));
        if (options_.intervalMs) host_.set(variable_id(host_, "WZ_UpdateInterval"), *options_.intervalMs);
        host_.set(activeId_, timeline_.activeAtStart ? 1.0 : 0.0);
        clicks_.emplace(*display_);
        for (int i = 0; i < options_.select; ++i) clicks_->click(Button::Next);
        result_.selectClicks = options_.select;
        aircraft_ = setup_.flight.at(0.0);
        setup_.probes.place(aircraft_, positions_);
        Clock::time_point firstWrite = Clock::now();
        if (options_.placesPoints) points_->write(positions_);
        if (live_.started) live_.started(result_);

        start_ = Clock::now();
        recorder_ = std::make_unique<SampleRecorder>(std::this_thread::get_id(), start_);
        SampleRecorder* recorder = recorder_.get();
        // The first positions were written before anything watched: their
        // age is measured from then.
        recorder->written_before_start(result_.points, firstWrite);
        host_.set_observer([recorder](const hostsim::Call& call) { recorder->observe(call); });
        writer_.start(*recorder);
        messages_.emplace(host_, timeline_.messages, start_, [recorder](uint64_t value) {
            if (value == ids::kMessageResumed) recorder->resuming();
        });
    }

    void drive_frames() {
        FramePacer pacer(start_, kFrameRate, options_.seconds);
        double nextLine = 1.0;
        size_t nextEvent = 0;
        while (pacer.wait_next()) {
            if (interrupted()) {
                result_.interrupted = true;
                break;
            }
            double now = seconds_since(start_);
            while (nextEvent < timeline_.events.size() && timeline_.events[nextEvent].seconds <= now)
                perform(timeline_.events[nextEvent++], now);
            aircraft_ = setup_.flight.at(now);
            if (setup_.probes.moving() && options_.placesPoints) {
                setup_.probes.place(aircraft_, positions_);
                points_->write(positions_);
            }
            vorn_->frame();
            display_->frame();
            users_.frame(aircraft_at(now));
            watch_.sample(host_);
            take_messages();
            if (now >= nextLine) show_second(now), nextLine = std::floor(now) + 1.0;
        }
        if (!result_.interrupted) pacer.wait_end();
        result_.frames = pacer.frames();
        result_.missedFrames = pacer.missed();
        result_.seconds = seconds_since(start_);
        show_second(result_.seconds);
    }

    void perform(const FrameEvent& event, double now) {
        switch (event.kind) {
        case FrameEvent::Activate: host_.set(activeId_, 1.0); break;
        case FrameEvent::Deactivate: host_.set(activeId_, 0.0); break;
        case FrameEvent::ClickNext: clicks_->click(Button::Next); break;
        case FrameEvent::ClickPrevious: clicks_->click(Button::Previous); break;
        case FrameEvent::Set: write_setting(options_.settings[event.setting]); break;
        }
        if (live_.event) live_.event(event, now);
    }

    // As another gauge writes: the variable looked up (or registered) by
    // name, written in the units given or untyped.
    void write_setting(const Setting& setting) {
        int32_t id = variable_id(host_, setting.name);
        if (setting.units.empty()) host_.set(id, setting.value);
        else host_.set_typed(id, setting.value, host_.units_id(setting.units.c_str()));
        check_read_back(setting, id);
    }

    // A point's latitude or longitude as the module reads it: a value
    // written without units is radians to it.
    void check_read_back(const Setting& setting, int32_t id) {
        bool latitude = setting.name.compare(0, 11, "WZPointLat_") == 0;
        if (!latitude && setting.name.compare(0, 11, "WZPointLon_") != 0) return;
        char written[64];
        std::snprintf(written, sizeof written, "%g%s%s at %g s", setting.value, setting.units.empty() ? "" : " ",
                      setting.units.c_str(), setting.seconds);
        std::string finding = beyond_globe(setting.name, latitude, host_.get_typed(id, host_.units_id("degrees")), written);
        if (finding.empty()) return;
        result_.implausible.push_back(finding);
        result_.warnings.push_back(finding);
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
        if (live_.second) {
            LiveStatus status;
            status.seconds = seconds;
            status.paused = paused_;
            status.active = host_.get(activeId_) != 0.0;
            status.cycles = stats.cycles;
            status.newCycles = stats.cycles - lastLine_.cycles;
            status.samples = stats.samples;
            status.newSamples = stats.samples - lastLine_.samples;
            status.points = result_.points;
            for (int i = 0; i < result_.points && static_cast<size_t>(i) < kLivePoints; ++i)
                status.elevationsFt.push_back(points_->elevation_ft(i));
            status.watched = watch_.values();
            live_.second(status);
        }
        lastLine_ = stats;
    }

    // The module sizes its point table from the vorn gauge's parameter,
    // which --param can make differ from the points placed: say which
    // points went unsampled, or were sampled where nothing placed them.
    void compare_table() {
        if (!(result_.pointCount >= 1 && result_.pointCount <= kMaxPoints)) return;
        tablePoints_ = static_cast<int>(result_.pointCount);
        int placed = result_.points;
        std::string table = "the module's point table holds " + std::to_string(tablePoints_) +
                            (tablePoints_ == 1 ? " point" : " points") + " (parameter \"" + result_.parameters +
                            "\") and probe-host places " + std::to_string(placed) + ": ";
        if (tablePoints_ < placed)
            result_.warnings.push_back(table + points_are(tablePoints_, placed - 1) + " never sampled");
        if (tablePoints_ > placed)
            result_.warnings.push_back(table + points_are(placed, tablePoints_ - 1) +
                                       " sampled where nothing places them, at 0°, 0°");
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
        result_.stopTooSlow = running && !result_.stopLatencyMs;
        result_.stopBoundMs = std::chrono::duration<double, std::milli>(kStopBound).count();
        display_->unload();
        users_.unload();
        module_->deinit();
        users_.deinit();
        messages_->stop();
        host_.set_observer(nullptr);
        take_messages();

        writer_.check_all();
        result_.stats = recorder_->stats();
        result_.age = recorder_->elevation_age();
        result_.samplesChecked = writer_.rows();
        result_.samplesOff = writer_.mismatches();
        result_.largestDifferenceFt = writer_.largest_difference_ft();
        result_.samplesOutside = writer_.outside();
        if (result_.samplesOutside)
            result_.warnings.push_back(std::to_string(result_.samplesOutside) + " of " +
                                       std::to_string(result_.samplesChecked) +
                                       " samples fell outside the terrain data, where the ground reads 0 ft");
        warn_of_empty_runs();
        result_.csvLeftOut = writer_.left_out();
        if (result_.csvLeftOut)
            result_.warnings.push_back(std::to_string(result_.csvLeftOut) + " samples were checked but left out of --csv " +
                                       options_.csvFile + ": the writing fell more than " +
                                       std::to_string(kMaxQueuedRows) + " rows behind");
        note_host_problems(host_, result_);
        for (const std::string& warning : users_.warnings()) result_.warnings.push_back(warning);
        result_.watched = watch_.values();
        collect_points();
        if (live_.ended) live_.ended(result_);
        finish_outputs();
    }

    // Runs that show little: no samples at all, or many frames missed.
    void warn_of_empty_runs() {
        if (result_.stats.samples == 0)
            result_.warnings.push_back("no samples at all: the module published no elevation during the run");
        uint64_t frames = result_.frames + result_.missedFrames;
        if (frames && result_.missedFrames > kMissedFramesShare * static_cast<double>(frames))
            result_.warnings.push_back(std::to_string(result_.missedFrames) + " of " + std::to_string(frames) +
                                       " frames were missed, more than a tenth: probe-host's frame work did not fit "
                                       "1/18 s");
    }

    // The CSV's rest, after the summary: a signal from here on stops it at
    // a whole line.
    void finish_outputs() {
        begin_finishing();
        std::string csvError = writer_.finish(finish_stopped);
        if (!csvError.empty()) result_.outputErrors.push_back(csvError);
        result_.csvRows = writer_.written();
        result_.csvStopped = writer_.stopped();
        result_.csvFailed = writer_.failed();
        result_.signalStatus = interrupt_status();
    }

    // Every point placed and every point of the module's table; the
    // profile draws the placed ones.
    void collect_points() {
        std::vector<uint64_t> perPoint = recorder_->samples_per_point();
        int points = std::max(result_.points, tablePoints_);
        points_->extend(points);
        for (int i = 0; i < points; ++i) {
            PointResult p;
            if (static_cast<size_t>(i) < setup_.filePoints.size()) {
                const FilePoint& f = setup_.filePoints[static_cast<size_t>(i)];
                p.name = f.name, p.line = f.line, p.expectedFt = f.expectedFt;
            }
            p.position = points_->position(i);  // --set may have moved it
            p.elevationFt = points_->elevation_ft(i);
            p.samples = static_cast<size_t>(i) < perPoint.size() ? perPoint[static_cast<size_t>(i)] : 0;
            result_.pointResults.push_back(p);
        }
        std::vector<PointResult> placed(result_.pointResults.begin(), result_.pointResults.begin() + result_.points);
        if (!options_.profileFile.empty()) result_.profile = make_profile(setup_.probes, aircraft_, placed);
        if (!options_.mapFile.empty()) result_.plan = make_plan_view(setup_.probes, aircraft_, result_.pointResults);
    }

    const Options& options_;
    const LiveView& live_;
    Setup setup_;
    Timeline timeline_;
    std::string modulePath_;
    std::unique_ptr<SampleRecorder> recorder_;  // outlives the writer's thread that reads it
    SampleWriter writer_;
    RunResult result_;
    hostsim::Host host_;
    std::unique_ptr<hostsim::Module> module_;
    UserGauges users_;  // goes before terrain_probe's module, as a host unloads a panel
    Watch watch_;
    std::optional<PointWriter> points_;
    int32_t activeId_ = 0;
    std::optional<hostsim::Gauge> vorn_, display_;
    std::optional<DisplayClicks> clicks_;
    std::optional<MessageThread> messages_;
    Aircraft aircraft_;
    std::vector<Position> positions_;
    Clock::time_point start_;
    bool paused_ = false;
    CycleStats lastLine_;
    int tablePoints_ = 0;  // as the module published it, when it did
};

}  // namespace

RunResult run_session(const Options& options, const LiveView& live) { return Session(options, live).run(); }

}  // namespace probe
