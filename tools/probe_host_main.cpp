// probe-host: a command-line host that runs the terrain_probe module end to
// end and shows what it sees. Its exit statuses are in errors.h: 0 for a
// run that passed every check, 1 for a file that cannot be used, 2 for bad
// arguments, 3 for a failed check, 129, 130 or 143 after SIGHUP, Ctrl-C or
// SIGTERM.
#include <cstdio>
#include <exception>

#include "errors.h"
#include "hostsim/module_copies.h"
#include "interrupt.h"
#include "options.h"
#include "render.h"
#include "report.h"
#include "session.h"
#include "verdict.h"
#include "version_report.h"

namespace {

// Pictures are drawn once the run has ended; a failure is reported with
// the summary, never instead of it, and always names the file.
void write_pictures(const probe::Options& options, probe::RunResult& result) {
    auto attempt = [&](const char* option, const std::string& path, auto draw) {
        if (path.empty()) return;
        try {
            draw();
        } catch (const std::exception& e) {
            std::string what = e.what();
            result.outputErrors.push_back(std::string(option) + " " +
                                          (what.find(path) == std::string::npos ? path + ": " + what : what));
        }
    };
    attempt("--render", options.renderFile, [&] { probe::render_display(result.picture, options.renderFile); });
    attempt("--profile", options.profileFile, [&] { probe::render_profile(result.profile, options.profileFile); });
    attempt("--map", options.mapFile, [&] { probe::render_map(result.plan, options.mapFile); });
    probe::finish_drawing();
}

int run(const probe::Options& options) {
    hostsim::remove_abandoned_copies();
    probe::LiveView live;
    if (!options.json) {
        live.started = [](const probe::RunResult& run) { probe::print_live_header(stdout, run); };
        live.second = [](const probe::LiveStatus& status) { probe::print_live(stdout, status); };
        live.message = [](const probe::Message& message) { probe::print_message(stdout, message); };
        live.event = [&options](const probe::FrameEvent& event, double s) {
            probe::print_event(stdout, event, options, s);
        };
    }
    live.ended = [&options](probe::RunResult& result) {
        write_pictures(options, result);
        if (!options.json) probe::print_summary(stdout, result);
    };
    probe::RunResult result = probe::run_session(options, live);
    probe::Verdict verdict = probe::judge(result);
    if (options.json) probe::print_json(stdout, options, result, verdict);
    else probe::print_closing(stdout, options, result, verdict);
    for (const std::string& error : result.outputErrors) std::fprintf(stderr, "probe-host: %s\n", error.c_str());
    return verdict.exitStatus;
}

}  // namespace

int main(int argc, char** argv) {
    probe::catch_interrupt();
    try {
        std::optional<probe::Options> options = probe::parse_options(argc, argv);
        if (options && options->version) {
            probe::print_version(stdout, options->module);
            return probe::kExitPassed;
        }
        return options ? run(*options) : probe::kExitPassed;
    } catch (const probe::UsageError& e) {
        std::fprintf(stderr, "probe-host: %s\nRun probe-host --help for the options.\n", e.what());
        return probe::kExitUsage;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "probe-host: %s\n", e.what());
        return probe::kExitFile;
    }
}
