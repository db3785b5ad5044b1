// probe-host: a command-line host that runs the terrain_probe module end to
// end and shows what it sees. Exit status 0 for a completed run, 1 for a
// file that cannot be used, 2 for bad arguments.
#include <cstdio>
#include <exception>

#include "errors.h"
#include "options.h"
#include "render.h"
#include "report.h"
#include "session.h"

namespace {

constexpr int kExitFile = 1;
constexpr int kExitUsage = 2;

int run(const probe::Options& options) {
    probe::LiveView live;
    if (!options.json) {
        live.started = [](const probe::RunResult& run) { probe::print_live_header(stdout, run); };
        live.second = [](const probe::LiveStatus& status) { probe::print_live(stdout, status); };
        live.message = [](const probe::Message& message) { probe::print_message(stdout, message); };
    }
    probe::RunResult result = probe::run_session(options, live);
    if (!options.renderFile.empty()) probe::render_display(result.picture, options.renderFile);
    if (options.json) probe::print_json(stdout, options, result);
    else probe::print_summary(stdout, options, result);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        probe::Options options = probe::parse_options(argc, argv);
        if (options.help) {
            std::fputs(probe::help_text().c_str(), stdout);
            return 0;
        }
        return run(options);
    } catch (const probe::UsageError& e) {
        std::fprintf(stderr, "probe-host: %s\nRun probe-host --help for the options.\n", e.what());
        return kExitUsage;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "probe-host: %s\n", e.what());
        return kExitFile;
    }
}
