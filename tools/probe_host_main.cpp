// probe-host: a command-line host that runs the terrain_probe module end to
// end and shows what it sees. Exit status 0 for a completed run, 1 for a
// file that cannot be used, 2 for bad arguments, 130 after Ctrl-C.
#include <cstdio>
#include <exception>

#include "errors.h"
#include "interrupt.h"
#include "options.h"
#include "render.h"
#include "report.h"
#include "session.h"
#include "version_report.h"

namespace {

constexpr int kExitFile = 1;
constexpr int kExitUsage = 2;
constexpr int kExitInterrupted = 130;

// Pictures are drawn after the run; a failure is reported with the
// summary, never instead of it.
void write_pictures(const probe::Options& options, probe::RunResult& result) {
    auto attempt = [&](const std::string& path, auto draw) {
        if (path.empty()) return;
        try {
            draw();
        } catch (const std::exception& e) {
            result.outputErrors.push_back(e.what());
        }
    };
    attempt(options.renderFile, [&] { probe::render_display(result.picture, options.renderFile); });
    attempt(options.profileFile, [&] { probe::render_profile(result.profile, options.profileFile); });
    probe::finish_drawing();
}

int run(const probe::Options& options) {
    probe::LiveView live;
    if (!options.json) {
        live.started = [](const probe::RunResult& run) { probe::print_live_header(stdout, run); };
        live.second = [](const probe::LiveStatus& status) { probe::print_live(stdout, status); };
        live.message = [](const probe::Message& message) { probe::print_message(stdout, message); };
        live.event = [](const probe::FrameEvent& event, double s) { probe::print_event(stdout, event, s); };
    }
    probe::RunResult result = probe::run_session(options, live);
    write_pictures(options, result);
    if (options.json) probe::print_json(stdout, options, result);
    else probe::print_summary(stdout, options, result);
    for (const std::string& error : result.outputErrors) std::fprintf(stderr, "probe-host: %s\n", error.c_str());
    if (result.interrupted) return kExitInterrupted;
    return result.outputErrors.empty() ? 0 : kExitFile;
}

}  // namespace

int main(int argc, char** argv) {
    probe::catch_interrupt();
    try {
        std::optional<probe::Options> options = probe::parse_options(argc, argv);
        if (options && options->version) {
            probe::print_version(stdout, options->module);
            return 0;
        }
        return options ? run(*options) : 0;
    } catch (const probe::UsageError& e) {
        std::fprintf(stderr, "probe-host: %s\nRun probe-host --help for the options.\n", e.what());
        return kExitUsage;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "probe-host: %s\n", e.what());
        return kExitFile;
    }
}
