// probe-host run as a user runs it, as a separate program: its argument and
// file errors, short runs whose samples must match the terrain model at the
// positions the worker read, and (native build) the rendered display.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <sstream>
#include <vector>

#include "errors.h"
#include "hostsim/gauge_system.h"
#include "hostsim/module.h"
#include "polling.h"
#include "render.h"
#include "report.h"
#include "scratch_files.h"
#include "tp_version.h"
#include "verdict.h"
#include "flight.h"
#include "hostsim/ascii_grid.h"
#if defined(TP_HAVE_GDAL)
#include "hostsim/raster_terrain.h"
#include "raster_files.h"
#endif

#if defined(_WIN32)
#include <windows.h>
#else
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif
#if defined(TP_HAVE_RENDER)
#include <cairo.h>
#endif

namespace {

namespace fs = std::filesystem;

struct Outcome {
    int status = -1;
    std::string out;     // stdout alone
    std::string output;  // stdout and stderr together
};

std::string read_all(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The program's text output, its line ends as on POSIX.
std::string read_text(const fs::path& path) {
    std::string text = read_all(path);
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    return text;
}

#if defined(_WIN32)
constexpr const char* kProgram = "probe-host.exe";

int run_program(const std::string& commandLine, const fs::path& out, const fs::path& err) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    auto open = [&](const fs::path& path) {
        return CreateFileA(path.string().c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                           CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    };
    HANDLE outFile = open(out), errFile = open(err);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = outFile;
    startup.hStdError = errFile;
    PROCESS_INFORMATION process{};
    std::string line = commandLine;
    BOOL started = CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process);
    CloseHandle(outFile);
    CloseHandle(errFile);
    if (!started) return -1;
    DWORD status = 0;
    WaitForSingleObject(process.hProcess, 120000);
    GetExitCodeProcess(process.hProcess, &status);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<int>(status);
}
#else
constexpr const char* kProgram = "probe-host";

// Starts probe-host with its output in files and TMPDIR pointing at tmp,
// in a process group of its own as timeout starts it, its files limited to
// fileLimit bytes when that is not 0 (a full disk, without one); the
// child's pid.
pid_t spawn(const std::vector<std::string>& args, const fs::path& out, const fs::path& err, const fs::path& tmp,
            rlim_t fileLimit = 0) {
    pid_t pid = fork();
    if (pid != 0) return pid;
    setpgid(0, 0);
    if (fileLimit) {
        rlimit limit{fileLimit, fileLimit};
        setrlimit(RLIMIT_FSIZE, &limit);
        signal(SIGXFSZ, SIG_IGN);  // a write past the limit then fails with EFBIG
    }
    std::vector<char*> argv;
    std::string program = (fs::path(hostsim::program_directory()) / kProgram).string();
    argv.push_back(program.data());
    std::vector<std::string> copies(args);
    for (std::string& a : copies) argv.push_back(a.data());
    argv.push_back(nullptr);
    int o = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), e = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(o, 1);
    dup2(e, 2);
    setenv("TMPDIR", tmp.c_str(), 1);
    execv(argv[0], argv.data());
    _exit(127);
}

int wait_status(pid_t pid) {
    int raw = 0;
    waitpid(pid, &raw, 0);
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

// The id of a process that has ended.
pid_t ended_process() {
    pid_t pid = fork();
    if (pid == 0) _exit(0);
    wait_status(pid);
    return pid;
}

// A module copy as a process killed while it ran would leave it, long ago.
void leave_copy_of(pid_t pid, const fs::path& tmp) {
    fs::path copy = tmp / ("terrain_probe-" + std::to_string(pid) + "-0.so");
    tp_test::write_file(copy, "left behind");
    fs::last_write_time(copy, fs::file_time_type::clock::now() - std::chrono::hours(1));
}

// Sends SIGINT to pid from a process of its own, as a second sender would.
void interrupt_from_elsewhere(pid_t pid) {
    pid_t sender = fork();
    if (sender == 0) _exit(kill(pid, SIGINT));
    wait_status(sender);
}
#endif

class ProbeHostTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = tp_test::scratch_directory("probe-host");
        tmp = dir / "tmp";
        fs::create_directories(tmp);
    }
    void TearDown() override { fs::remove_all(dir); }

    // Runs probe-host to its end; its private module copies go to tmp.
    Outcome probe_host(const std::vector<std::string>& args) {
        fs::path out = dir / "stdout.txt", err = dir / "stderr.txt";
        Outcome outcome;
#if defined(_WIN32)
        std::string command = "\"" + (fs::path(hostsim::program_directory()) / kProgram).string() + "\"";
        for (const std::string& arg : args) command += " \"" + arg + "\"";
        outcome.status = run_program(command, out, err);
#else
        outcome.status = wait_status(spawn(args, out, err, tmp));
#endif
        outcome.out = read_text(out);
        outcome.output = outcome.out + read_text(err);
        return outcome;
    }
    std::string file(const std::string& name, const std::string& content) {
        tp_test::write_file(dir / name, content);
        return (dir / name).string();
    }

    fs::path dir, tmp;
};

TEST_F(ProbeHostTest, ArgumentAndFileErrorsSayWhatIsWrong) {
    const std::string points = file("points.csv", "lat,lon,alt\n47.1,11.2,5000\n");
    const std::string badLine = file("bad.csv", "# peaks\n47.1,11.2,5000\n\n47.2,eleven,5000\n");
    const std::string shortLine = file("short.csv", "47.1,11.2,5000\n47.2,11.3\n");
    const std::string hostile = file("hostile.csv", "47.1,11.2,5000\n47.2,\x1B]0;title\x07\x1B[2J,5000\n");
    const std::string utf16Bare = file("bare.csv", std::string("4\0" "7\0,\0" "1\0" "1\0,\0" "9\0\n\0", 16));
    const std::string notModule = file("notes.dll", "these are not machine instructions\n");
    const std::string notRaster = file("N47E011.hgt", std::string(4096, '\0'));
    const std::string moduleBytes = read_all(hostsim::default_module_path());
    const std::string cutModule = file("cut" + fs::path(hostsim::default_module_path()).extension().string(),
                                       moduleBytes.substr(0, 30000));
#if defined(_WIN32)
    const std::string otherBuild = file("terrain_probe.so", "\x7f" "ELF and the rest of a Linux module");
    const char* otherBuildSays = "is a Linux shared object: run it with the native build";
    const char* cutSays = "is not a loadable module";
#else
    const std::string otherBuild = file("terrain_probe.dll", "MZ and the rest of a Windows DLL");
    const char* otherBuildSays = "is a Windows DLL: run it with the Windows build";
    const char* cutSays = "is not a complete module: it is cut short: its segment ";
    std::string armBytes = moduleBytes;
    armBytes[18] = static_cast<char>(183), armBytes[19] = 0;  // e_machine: AArch64
    const std::string foreign = file("arm.so", armBytes);
#endif
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string says;
    } cases[] = {
        {{"--seconds", "soon"}, 2, "--seconds takes the run time in seconds, a number from 0.001 to 86400, not 'soon'"},
        {{"--count"}, 2, "probe-host: --count needs a value\n"},
        {{"--csv", "--seconds", "0.2"}, 2, "--csv needs a value (--seconds is an option)"},
        {{"--seconds", "0.5", "--resume-at"}, 2, "probe-host: --resume-at needs a value\n"},
        {{"--param", "--x"}, 2, "--param needs a value (--x is spelt like one; give it as --param=--x)"},
        {{"--frobnicate"}, 2, "unknown option '--frobnicate'"},
        {{"--pause-at", "soon"}, 2, "--pause-at takes times of 0 or more seconds"},
        {{"--click", "up@2"}, 2, "--click takes next@SECONDS or previous@SECONDS"},
        {{"--layout", "ring"}, 2, "--layout: ring not in {fan,line,grid}"},
        {{"--host-profile", "ids-from-zero"}, 2, "--host-profile: ids-from-zero not in {published,ids-from-one}"},
        {{"--set", "WZ_Active=1"}, 2, "--set takes NAME=VALUE@SECONDS or NAME=VALUE UNITS@SECONDS"},
        {{"--set", "WZPointAlt_0=3 furlongs@1"}, 2, "--set WZPointAlt_0: the host knows no units 'furlongs'"},
        {{"--set", "WZ_Active=on@1"}, 2, "--set WZ_Active: 'on' is not a number"},
        {{"--count", "3", "--points", points}, 2, "with --points the file gives the points"},
        {{"--tolerance", "1"}, 2, "--tolerance checks the expected_ft (or expected_m) column of a --points file"},
        {{"--tolerance", "1", "--points", points}, 2, "points.csv gives no expected elevation"},
        {{"--module", (dir / "missing.dll").string()}, 1, "no module file at"},
        {{"--module", dir.string()}, 1, "is a directory, not a module file"},
        {{"--module", notModule}, 1, "not a loadable module"},
        {{"--module", otherBuild}, 1, otherBuildSays},
        {{"--module", cutModule}, 1, cutSays},
#if !defined(_WIN32)
        {{"--module", foreign}, 1, "arm.so is not a complete module: it is built for ELF machine 183, not x86-64"},
#endif
        {{"--points", (dir / "missing.csv").string()}, 1, "missing.csv: no such file"},
        {{"--points", dir.string()}, 1, "is a directory, not a CSV file"},
        {{"--points", badLine}, 1, "bad.csv line 4, column 2: longitude 'eleven' is not a number"},
        {{"--points", shortLine}, 1, "short.csv line 2: expected latitude,longitude,altitude (3 fields), found 2"},
        {{"--points", hostile}, 1, "hostile.csv line 2, column 2: longitude '\\x1B]0;title\\x07\\x1B[2J' is not a number"},
        {{"--points", utf16Bare}, 1, "bare.csv is not text: it holds NUL bytes"},
#if defined(TP_HAVE_GDAL)
        {{"--terrain", notRaster}, 1, "not a raster GDAL can read"},
        {{"--terrain", (dir / "missing").string()}, 1, "no terrain file or directory at"},
#else
        {{"--terrain", notRaster}, 2, "the Windows build reads ESRI ASCII grids (.asc) only"},
        {{"--terrain", (dir / "missing.asc").string()}, 1, "missing.asc cannot be read"},
#endif
        {{"--csv", (dir / "no" / "such" / "dir" / "s.csv").string()}, 1, "cannot be written"},
        {{"--help"}, 0, "Usage: probe-host [OPTIONS]"},
        {{"--seconds", "1e9", "--layout", "ring", "--help"}, 0, "Usage: probe-host [OPTIONS]"},
        {{"--csv", "-"}, 2, "--csv - would write a file named '-'"},
        {{"--render", (dir / "out.jpg").string()}, 2, "writes .png files only"},
#if defined(TP_HAVE_RENDER)
        {{"--render", (dir / "nonexistent" / "d.png").string()}, 1, "does not exist"},
        {{"--csv", "/dev/full"}, 1, "--csv /dev/full cannot be written: No space left on device"},
        // A profile joins points along the track; elsewhere it would draw a
        // ground that is not there.
        {{"--profile", (dir / "p.png").string()}, 2, "the points of a fan or a grid lie across it: draw them from above with --map"},
        {{"--profile", (dir / "p.png").string(), "--layout", "grid"}, 2, "draw them from above with --map FILE.png"},
        {{"--profile", (dir / "p.png").string(), "--points", points}, 2, "the points of --points lie wherever the file puts them"},
#else
        {{"--render", (dir / "x.png").string()}, 2, "--render needs the native build"},
        {{"--profile", (dir / "x.png").string()}, 2, "--profile needs the native build"},
        {{"--map", (dir / "x.png").string()}, 2, "--map needs the native build"},
#endif
    };
    for (const Case& c : cases) {
        Outcome run = probe_host(c.args);
        EXPECT_EQ(run.status, c.status) << c.args[0] << "\n" << run.output;
        EXPECT_NE(run.output.find(c.says), std::string::npos) << c.args[0] << "\n" << run.output;
        // Refused before any run (whose header names the gauges), and the
        // private module copy gone too.
        if (c.status != 0) {
            EXPECT_EQ(run.output.find("terrain_probe!vorn"), std::string::npos) << c.args[0] << "\n" << run.output;
        }
        EXPECT_EQ(run.output.find("terrain_probe-"), std::string::npos) << run.output;
        EXPECT_TRUE(fs::is_empty(tmp)) << c.args[0];
    }
}

// Every numeric option refuses what is not a plain number in its range,
// saying what it takes, in the user's own words.
TEST_F(ProbeHostTest, NumericOptionsRefuseWhatIsNotANumberInRange) {
    struct Case {
        std::string option, value, takes;
    } cases[] = {
        {"--seconds", "nan", "the run time in seconds, a number from 0.001 to 86400"},
        {"--seconds", "0", "the run time in seconds"},
        {"--count", "abc", "the number of points, a whole number from 1 to 100000"},
        {"--count", "100001", "the number of points"},
        {"--count", "2.5", "the number of points"},
        {"--range", "inf", "the layout's reach in km, a number from 0.01 to 1000"},
        {"--interval", "-inf", "WZ_UpdateInterval in milliseconds"},
        {"--interval", "1e999", "WZ_UpdateInterval in milliseconds"},
        {"--select", "0x10", "the number of Next clicks, a whole number from 0 to 100000"},
        {"--max-age", "-1", "the elevation's largest age in milliseconds"},
        {"--tolerance", "nan", "the feet a published elevation may differ from the expected"},
    };
    for (const Case& c : cases) {
        Outcome run = probe_host({c.option, c.value});
        EXPECT_EQ(run.status, 2) << c.option << " " << c.value << "\n" << run.output;
        EXPECT_NE(run.output.find(c.option + " takes " + c.takes), std::string::npos) << run.output;
        EXPECT_NE(run.output.find("not '" + c.value + "'"), std::string::npos) << run.output;
    }
}

// No output may be an input or another output, however the file is spelt:
// refused before anything is written, naming both options.
TEST_F(ProbeHostTest, AnOutputThatIsAnInputOrAnotherOutputIsRefused) {
    const std::string points = file("points.csv", "47.1,11.2,5000\n");
    const std::string route = file("route.csv", "0,47.0,11.0,8000\n10,47.1,11.0,9000\n");
    const std::string module = file("notes.dll", "not a module");
    fs::create_directories(dir / "sub");
    std::string roundabout = (dir / "sub" / ".." / "points.csv").string();
    std::string dotted = (dir / "." / "route.csv").string();
    std::string picture = (dir / "s.png").string();
    struct Case {
        std::vector<std::string> args;
        std::string says;
    } cases[] = {
        {{"--points", points, "--csv", roundabout}, "--points " + points + " and --csv " + roundabout},
        {{"--route", route, "--csv", dotted}, "--route " + route + " and --csv " + dotted},
        {{"--module", module, "--csv", module}, "--module " + module + " and --csv " + module},
        {{"--terrain", points, "--profile", picture, "--csv", points}, "--terrain " + points + " and --csv"},
        {{"--csv", picture, "--profile", (dir / "sub" / ".." / "s.png").string()}, "--csv " + picture + " and --profile"},
#if !defined(_WIN32)
        {{"--points", points, "--csv", fs::relative(points).string()}, "--points " + points + " and --csv "},
        {{"--points", points, "--csv", [&] {
              fs::create_symlink(points, dir / "link.csv");
              return (dir / "link.csv").string();
          }()},
         "--points " + points + " and --csv"},
#endif
    };
    for (const Case& c : cases) {
        Outcome run = probe_host(c.args);
        EXPECT_EQ(run.status, 2) << c.args[1] << "\n" << run.output;
        EXPECT_NE(run.output.find(c.says), std::string::npos) << run.output;
        EXPECT_NE(run.output.find("are the same file"), std::string::npos) << run.output;
    }
    EXPECT_EQ(read_all(points), "47.1,11.2,5000\n");
    EXPECT_EQ(read_all(module), "not a module");
    EXPECT_FALSE(fs::exists(picture));
    // Two files that both exist are told apart.
    Outcome run = probe_host({"--points", points, "--csv", route, "--seconds", "0.3", "--json"});
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(read_all(points), "47.1,11.2,5000\n");
}

struct CsvSample {
    double seconds;
    int point;
    double lat, lon, alt, elevation;
};

std::vector<CsvSample> read_samples(const fs::path& path) {
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);  // the column names
    std::vector<CsvSample> samples;
    while (std::getline(in, line)) {
        CsvSample s{};
        std::istringstream row(line);
        char comma;
        row >> s.seconds >> comma >> s.point >> comma >> s.lat >> comma >> s.lon >> comma >> s.alt >> comma >> s.elevation;
        if (row) samples.push_back(s);
    }
    return samples;
}

// The whole of stdout is one JSON document.
nlohmann::json summary_of(const Outcome& run) {
    nlohmann::json summary = nlohmann::json::parse(run.out, nullptr, false);
    EXPECT_FALSE(summary.is_discarded()) << run.out;
    return summary.is_discarded() ? nlohmann::json::object() : summary;
}

std::vector<uint64_t> message_values(const nlohmann::json& summary) {
    std::vector<uint64_t> values;
    for (const auto& m : summary["messages"]) values.push_back(m["value"].get<uint64_t>());
    return values;
}

bool warned(const nlohmann::json& summary, const std::string& text) {
    for (const auto& w : summary["warnings"])
        if (w.get<std::string>().find(text) != std::string::npos) return true;
    return false;
}

// The samples are what the terrain model gives at the positions the worker
// read, every point was sampled, and the summary agrees: each point's
// samples and last elevation in "points" are the CSV's.
void expect_samples_follow(const hostsim::Terrain& terrain, const std::vector<CsvSample>& samples, int points,
                           const nlohmann::json& summary) {
    ASSERT_FALSE(samples.empty());
    std::vector<int> perPoint(static_cast<size_t>(points));
    std::vector<double> last(static_cast<size_t>(points));
    for (const CsvSample& s : samples) {
        ASSERT_GE(s.point, 0);
        ASSERT_LT(s.point, points);
        ++perPoint[static_cast<size_t>(s.point)];
        last[static_cast<size_t>(s.point)] = s.elevation;
        float expected = static_cast<float>(terrain.elevation_feet(hostsim::radians(s.lat), hostsim::radians(s.lon)));
        EXPECT_NEAR(s.elevation, expected, 0.01) << "point " << s.point << " at " << s.seconds << " s";
    }
    EXPECT_EQ(summary["samples"], samples.size());
    EXPECT_EQ(summary["samples_off_terrain"], 0);
    EXPECT_EQ(summary["WZ_PDK"], 1.0);
    EXPECT_EQ(summary["WZ_pSurface"], 1.0);
    EXPECT_GT(summary["stop_latency_ms"].get<double>(), 0.0);  // measured, not null
    EXPECT_EQ(summary["host_problems"], "");
    ASSERT_EQ(summary["points"].size(), static_cast<size_t>(points));
    for (int i = 0; i < points; ++i) {
        const auto& p = summary["points"][static_cast<size_t>(i)];
        EXPECT_EQ(p["index"], i);
        EXPECT_GT(perPoint[static_cast<size_t>(i)], 3);
        EXPECT_EQ(p["samples"], perPoint[static_cast<size_t>(i)]);
        EXPECT_NEAR(p["elevation_ft"].get<double>(), last[static_cast<size_t>(i)], 0.001);
        for (const char* key : {"lat_deg", "lon_deg", "alt_ft"}) EXPECT_TRUE(p[key].is_number()) << key;
    }
}

TEST_F(ProbeHostTest, DefaultFanOverTheReliefSamplesTheGroundAndPauses) {
    Outcome run = probe_host({"--seconds", "1.6", "--count", "3", "--pause-at", "0.5", "--resume-at", "1.0", "--json",
                              "--csv", (dir / "samples.csv").string()});
    ASSERT_EQ(run.status, 0) << run.output;
    nlohmann::json summary = summary_of(run);
    std::vector<CsvSample> samples = read_samples(dir / "samples.csv");
    expect_samples_follow(*hostsim::relief_terrain(), samples, 3, summary);
    EXPECT_EQ(summary["update_interval_ms"], 55.0);
    EXPECT_EQ(summary["verdict"], (nlohmann::json{{"passed", true}, {"failed", nlohmann::json::array()}, {"exit_status", 0}}));
    EXPECT_EQ(summary["csv_complete"], true);

    // Nothing is sampled between the pause (give or take the cycle it
    // caught under way) and the resume; sampling goes on on both sides.
    ASSERT_EQ(message_values(summary), (std::vector<uint64_t>{56, 57}));
    double paused = summary["messages"][0]["seconds"], resumed = summary["messages"][1]["seconds"];
    int before = 0, during = 0, after = 0;
    for (const CsvSample& s : samples) (s.seconds < paused + 0.1 ? before : s.seconds < resumed ? during : after)++;
    EXPECT_GT(before, 0);
    EXPECT_EQ(during, 0);
    EXPECT_GT(after, 0);
    EXPECT_EQ(summary["samples_paused"], 0);
    EXPECT_GT(summary["cycles_paused"].get<int>(), 0);
    // Every position the gauge wrote while sampling ran was answered within
    // the bound, which is counted in the run's own cycles; those written
    // while paused are left out.
    const nlohmann::json& age = summary["elevation_age"];
    EXPECT_GT(age["positions"].get<int>(), 3 * 10);
    EXPECT_EQ(age["beyond_bound"], 0);
    EXPECT_GT(age["not_measured"].get<int>(), 0);
    EXPECT_TRUE(age["passed"].get<bool>()) << age;
    EXPECT_LE(age["median_ms"].get<double>(), age["p99_ms"].get<double>());
    EXPECT_LE(age["p99_ms"].get<double>(), age["max_ms"].get<double>());
    EXPECT_GT(age["median_ms"].get<double>(), 0.0);
    // The fan moves, and its ground with it.
    EXPECT_NE(samples.front().elevation, samples.back().elevation);
    EXPECT_TRUE(fs::is_empty(tmp));
}

TEST_F(ProbeHostTest, MessagesAreSentOnlyAsAskedAndLateOnesAreReported) {
    struct Case {
        std::vector<std::string> args;
        std::vector<uint64_t> messages;
        std::string warning;
    } cases[] = {
        {{"--pause-at", "off"}, {}, ""},
        {{"--pause-at", "0.2,0.6"}, {56, 56, 57, 57}, ""},  // each resume a second after its pause
        {{"--resume-at", "0.3"}, {57}, ""},                 // asked for alone
        {{"--pause-at", "0.6,0.2", "--resume-at", "0.4"}, {56, 57, 56}, ""},
        {{"--pause-at", "5"}, {}, "the pause message (--pause-at) at 5 s is at or after the end of the run (1 s)"},
        {{}, {}, ""},  // the default pause at 2 s does not fit a 1 s run: nothing to report
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = c.args;
        for (const char* a : {"--seconds", "1", "--json"}) args.push_back(a);
        if (c.args.size() == 2 && c.args[1] == "0.2,0.6") args[args.size() - 2] = "1.7";
        Outcome run = probe_host(args);
        ASSERT_EQ(run.status, 0) << run.output;
        nlohmann::json summary = summary_of(run);
        EXPECT_EQ(message_values(summary), c.messages) << run.out;
        if (c.warning.empty()) EXPECT_TRUE(summary["warnings"].empty()) << summary["warnings"];
        else EXPECT_TRUE(warned(summary, c.warning)) << summary["warnings"];
    }
}

// The module's table takes its size from --param, which can differ from
// the points probe-host places, and a route can end before the run: each
// is warned about, and the JSON has every point of either kind.
TEST_F(ProbeHostTest, PointsAndRoutesTheRunDisagreesWithAreWarnedAbout) {
    std::string route = file("short.csv", "0,47.06,11.59,10000\n0.3,47.07,11.6,10000\n");
    struct Case {
        std::vector<std::string> args;
        size_t points;
        int firstUnplaced, firstUnsampled;  // the points beyond these
        std::string says;
    } cases[] = {
        {{"--count", "10", "--param", "3"}, 10, 10, 3,
         "the module's point table holds 3 points (parameter \"3\") and probe-host places 10: points 3 to 9 are never "
         "sampled"},
        {{"--count", "3", "--param", "10"}, 10, 3, 10,
         "table holds 10 points (parameter \"10\") and probe-host places 3: points 3 to 9 are sampled where nothing "
         "places them"},
        {{"--route", route}, 5, 5, 5, "short.csv ends at 0.3 s, before the run's end at 1 s"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = c.args;
        args.insert(args.end(), {"--seconds", "1", "--pause-at", "off", "--json"});
        Outcome run = probe_host(args);
        ASSERT_EQ(run.status, 0) << run.output;
        // The same run gated: --strict fails the short route.
        if (c.args[0] == "--route") {
            args.push_back("--strict");
            Outcome strict = probe_host(args);
            EXPECT_EQ(strict.status, 3) << strict.output;
            EXPECT_EQ(summary_of(strict)["verdict"]["failed"][0]["check"], "route_covers_run") << strict.out;
        }
        nlohmann::json summary = summary_of(run);
        EXPECT_TRUE(warned(summary, c.says)) << summary["warnings"];
        ASSERT_EQ(summary["points"].size(), c.points);
        for (size_t i = 0; i < c.points; ++i) {
            const auto& p = summary["points"][i];
            EXPECT_EQ(p["index"], i);
            EXPECT_EQ(p["samples"].get<uint64_t>() > 0, static_cast<int>(i) < c.firstUnsampled) << i;
            if (static_cast<int>(i) >= c.firstUnplaced) {
                EXPECT_EQ(p["lat_deg"], 0.0);
                EXPECT_EQ(p["lon_deg"], 0.0);
            }
        }
    }
}

TEST_F(ProbeHostTest, FramesFollowTheWallClock) {
    // Enough points that a frame's work is felt: at any speed every frame of
    // the run's 18 a second is either run or counted missed, the first is
    // run, none begins after the run's end and the run lasts its length.
    // How late the last frame ends is the machine's speed, not a result.
    Outcome run = probe_host({"--seconds", "1", "--count", "20000", "--pause-at", "off", "--json"});
    ASSERT_EQ(run.status, 0) << run.output;
    nlohmann::json summary = summary_of(run);
    EXPECT_GE(summary["seconds"].get<double>(), 1.0);
    EXPECT_GE(summary["frames"].get<int>(), 1);
    EXPECT_EQ(summary["frames"].get<int>() + summary["frames_missed"].get<int>(), 18);
    EXPECT_EQ(summary["WZ_PointCount"], 20000);
}

TEST_F(ProbeHostTest, ControlsReachTheModule) {
    std::string route = file("route.csv", "\xEF\xBB\xBF\"time\",\"lat\",\"lon\",\"alt\"\n0,47.0,11.0,8000\n10,47.1,11.0,9000\n");
    struct Case {
        std::vector<std::string> args;
        std::function<void(const nlohmann::json&)> check;
    } cases[] = {
        {{"--interval", "0"}, [](const nlohmann::json& s) { EXPECT_EQ(s["update_interval_ms"], 0.0); }},
        // Once, then the worker waits until the disconnect.
        {{"--interval=-1", "--count", "4"},
         [](const nlohmann::json& s) {
             EXPECT_EQ(s["cycles"], 1);
             EXPECT_EQ(s["samples"], 4);
         }},
        {{"--param", "  7xyz"}, [](const nlohmann::json& s) { EXPECT_EQ(s["WZ_PointCount"], 7); }},
        {{"--param", ""}, [](const nlohmann::json& s) { EXPECT_EQ(s["WZ_PointCount"], 1); }},
        {{"--param=", "--count", "3"},
         [](const nlohmann::json& s) {
             EXPECT_EQ(s["parameters"], "");
             EXPECT_EQ(s["WZ_PointCount"], 1);
         }},
        {{"--count", "3", "--select", "2"},
         [](const nlohmann::json& s) {
             EXPECT_EQ(s["display"][0], "ID=2");
             EXPECT_EQ(s["select_clicks"], 2);
         }},
        {{"--count", "3", "--click", "previous@0.5,next@0.3,next@0.4"},
         [](const nlohmann::json& s) { EXPECT_EQ(s["display"][0], "ID=1"); }},
        {{"--active-at", "5"},
         [](const nlohmann::json& s) {
             EXPECT_EQ(s["samples"], 0);
             EXPECT_TRUE(warned(s, "WZ_Active set to 1 (--active-at) at 5 s"));
         }},
        {{"--inactive-at", "0"}, [](const nlohmann::json& s) { EXPECT_LE(s["samples"].get<int>(), 5); }},
        {{"--route", route, "--layout", "line", "--count", "4", "--range", "4"},
         [](const nlohmann::json& s) {
             // Flying north from 47.0 N, 11.0 E: the line lies north of the
             // aircraft, a kilometre apart, at the route's altitude at the
             // last frame (which a busy machine may run early in the run).
             const auto& p = s["points"];
             for (size_t i = 0; i < 4; ++i) {
                 EXPECT_NEAR(p[i]["lon_deg"].get<double>(), 11.0, 1e-6);
                 EXPECT_GE(p[i]["alt_ft"].get<double>(), 8000);
                 EXPECT_LE(p[i]["alt_ft"].get<double>(), 8000 + 100 * s["seconds"].get<double>());
                 EXPECT_EQ(p[i]["alt_ft"], p[0]["alt_ft"]);
                 if (i) {
                     EXPECT_NEAR(p[i]["lat_deg"].get<double>() - p[i - 1]["lat_deg"].get<double>(), 1 / 111.2, 1e-4);
                 }
             }
         }},
        {{"--layout", "grid", "--count", "9", "--range", "3"},
         [](const nlohmann::json& s) { EXPECT_EQ(s["points"].size(), 9u); }},
        {{"--host-profile", "ids-from-one", "--count", "3"},
         [](const nlohmann::json& s) {
             for (const auto& p : s["points"]) {
                 EXPECT_GT(p["samples"].get<int>(), 0);
                 EXPECT_GT(p["elevation_ft"].get<double>(), 0.0);
             }
         }},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = c.args;
        for (const char* a : {"--seconds", "0.6", "--pause-at", "off", "--json"}) args.push_back(a);
        Outcome run = probe_host(args);
        ASSERT_EQ(run.status, 0) << c.args[0] << "\n" << run.output;
        c.check(summary_of(run));
    }
}

// The text summary: each warning once, --select said, the verdict last.
TEST_F(ProbeHostTest, TextSummaryWarnsOnceAndEndsInTheVerdict) {
    Outcome run = probe_host({"--seconds", "0.5", "--count", "2", "--pause-at", "5", "--select", "1"});
    ASSERT_EQ(run.status, 0) << run.output;
    auto count = [&](const std::string& text) {
        size_t n = 0;
        for (size_t at = run.out.find(text); at != std::string::npos; at = run.out.find(text, at + 1)) ++n;
        return n;
    };
    EXPECT_EQ(count("  warning       the pause message (--pause-at) at 5 s"), 1u) << run.out;
    EXPECT_EQ(count("Next clicked 1 times"), 2u) << run.out;  // in the header and the summary
    EXPECT_EQ(count("begun while paused"), 1u) << run.out;   // of the samples; the cycles say it plainly
    EXPECT_NE(run.out.find("  verdict       passed (exit status 0)\n"), std::string::npos) << run.out;
}

// Every option --help lists is in the README.
TEST_F(ProbeHostTest, EveryOptionOfTheHelpIsInTheReadme) {
    Outcome help = probe_host({"--help"});
    std::string readme = read_all(TP_README);
    ASSERT_FALSE(readme.empty()) << TP_README;
    auto mentioned = [&](const std::string& option) {
        for (size_t at = readme.find(option); at != std::string::npos; at = readme.find(option, at + 1)) {
            char next = at + option.size() < readme.size() ? readme[at + option.size()] : ' ';
            if (!std::isalnum(static_cast<unsigned char>(next)) && next != '-') return true;
        }
        return false;
    };
    std::istringstream lines(help.out);
    int options = 0;
    for (std::string line; std::getline(lines, line);) {
        size_t at = line.find("--");
        if (line.compare(0, 2, "  ") != 0 || at == std::string::npos || at > 5) continue;
        std::string option = line.substr(at, line.find(' ', at) - at);
        ++options;
        EXPECT_TRUE(mentioned(option)) << option << " is not in the README";
    }
    EXPECT_GE(options, 20) << help.out;
}

// Each check fails the run on its own and names itself; a signal's exit
// status comes first, then a failed check's, then an output's.
TEST(ProbeHostVerdict, EveryCheckDecidesTheRun) {
    using probe::RunResult;
    struct Case {
        const char* check;
        std::function<void(RunResult&)> fault;
    } cases[] = {
        {"samples_match_terrain", [](RunResult& r) { r.samplesOff = 95, r.largestDifferenceFt = 10; }},
        {"no_samples_while_paused", [](RunResult& r) { r.stats.pausedSamples = 3; }},
        {"references_returned", [](RunResult& r) { r.referenceProblems = "PdkRoot holds 1 reference(s); "; }},
        {"no_forbidden_calls", [](RunResult& r) { r.forbiddenCalls = {"the module called the forbidden ExitThread"}; }},
        {"no_host_faults", [](RunResult& r) { r.hostFaults = {"a call after deinit"}; }},
        {"stop_latency_bound", [](RunResult& r) { r.stopTooSlow = true, r.stopBoundMs = 5000; }},
        {"elevation_age_bound", [](RunResult& r) { r.age.answered = 10, r.age.beyond = 2; }},
        // The gates: --strict makes these warnings fail the run.
        {"samples_inside_terrain", [](RunResult& r) { r.strict = true, r.samplesOutside = 3; }},
        {"samples_taken", [](RunResult& r) { r.strict = true, r.stats.samples = 0; }},
        {"frames_run", [](RunResult& r) { r.strict = true, r.frames = 89, r.missedFrames = 11; }},
        {"csv_complete", [](RunResult& r) { r.strict = true, r.csvFile = "s.csv", r.csvRows = 9; }},
        {"route_covers_run", [](RunResult& r) { r.strict = true, r.routeShort = "r.csv ends at 1 s"; }},
        {"points_plausible", [](RunResult& r) { r.strict = true, r.implausible = {"WZPointLat_0 reads back as 2698"}; }},
        {"elevation_age_max", [](RunResult& r) { r.maxAgeMs = 39.9; }},
        {"expected_elevations", [](RunResult& r) { r.toleranceFt = 0.5, r.pointResults[1].elevationFt = 101.01; }},
    };
    RunResult passing;
    passing.stats.samples = passing.samplesChecked = passing.csvRows = 10;
    passing.frames = 90, passing.missedFrames = 9;
    passing.age.answered = 10, passing.age.maxMs = 40;
    passing.pointResults.resize(2);
    for (probe::PointResult& p : passing.pointResults) p.samples = 3, p.elevationFt = 100, p.expectedFt = 100.5;
    passing.warnings = {"a warning does not fail the run"};
    EXPECT_TRUE(probe::judge(passing).failed.empty());
    // Without the gates, what they would fail is a warning only.
    RunResult ungated = passing;
    ungated.samplesOutside = 3, ungated.stats.samples = 0, ungated.missedFrames = 50, ungated.csvFile = "s.csv";
    ungated.csvRows = 1, ungated.routeShort = "r.csv ends at 1 s", ungated.implausible = {"below the ground"};
    ungated.pointResults[0].elevationFt = 5000, ungated.age.maxMs = 5000;
    EXPECT_TRUE(probe::judge(ungated).failed.empty());
    // Within the bounds the gates pass, and a point never published fails.
    RunResult bounded = passing;
    bounded.strict = true, bounded.maxAgeMs = 40, bounded.toleranceFt = 0.5;
    EXPECT_TRUE(probe::judge(bounded).failed.empty());
    bounded.pointResults[0].samples = 0;
    ASSERT_EQ(probe::judge(bounded).failed.size(), 1u);
    EXPECT_NE(probe::judge(bounded).failed[0].says.find("point 0, line 0 never published"), std::string::npos);
    EXPECT_EQ(probe::judge(passing).exitStatus, probe::kExitPassed);
    for (const Case& c : cases) {
        RunResult run = passing;
        c.fault(run);
        probe::Verdict verdict = probe::judge(run);
        ASSERT_EQ(verdict.failed.size(), 1u) << c.check;
        EXPECT_EQ(verdict.failed[0].check, c.check);
        EXPECT_FALSE(verdict.failed[0].says.empty()) << c.check;
        EXPECT_EQ(verdict.exitStatus, probe::kExitCheckFailed) << c.check;
    }
    RunResult run = passing;
    run.outputErrors = {"--render d.png: cannot write"};
    EXPECT_EQ(probe::judge(run).exitStatus, probe::kExitFile);
    run.samplesOff = 1;
    EXPECT_EQ(probe::judge(run).exitStatus, probe::kExitCheckFailed);
    run.signalStatus = probe::kExitTerminated;
    EXPECT_EQ(probe::judge(run).exitStatus, probe::kExitTerminated);
}

std::string printed(const std::function<void(std::FILE*)>& print) {
    std::FILE* out = std::tmpfile();
    print(out);
    std::rewind(out);
    std::string text;
    char block[4096];
    for (size_t got; (got = std::fread(block, 1, sizeof block, out)) > 0;) text.append(block, got);
    std::fclose(out);
    return text;
}

// A figure the run did not measure is null in the JSON, never a 0 that
// reads as measured; and the verdict's words agree with its exit status.
TEST(ProbeHostReport, FiguresNotMeasuredAreNullAndTheVerdictSaysItsStatus) {
    probe::RunResult run;
    probe::Options options;
    nlohmann::json summary =
        nlohmann::json::parse(printed([&](std::FILE* out) { probe::print_json(out, options, run, probe::judge(run)); }));
    for (const char* figure : {"mean", "min", "max"}) EXPECT_TRUE(summary["cycle_period_ms"][figure].is_null()) << figure;
    EXPECT_EQ(summary["cycle_period_ms"]["measured"], 0);
    EXPECT_TRUE(summary["sampling_ms"].is_null());
    EXPECT_TRUE(summary["update_interval_ms"].is_null());
    EXPECT_TRUE(summary["elevation_age"]["median_ms"].is_null());
    struct Case {
        std::function<void(probe::RunResult&)> change;
        const char* says;
    } cases[] = {
        {[](probe::RunResult&) {}, "passed (exit status 0)"},
        {[](probe::RunResult& r) { r.outputErrors = {"writing --csv s.csv failed: No space left on device"}; },
         "INCOMPLETE: every check passed, but an output could not be written (exit status 1)"},
        {[](probe::RunResult& r) { r.samplesOff = 1; }, "FAILED (exit status 3)"},
        {[](probe::RunResult& r) { r.samplesOff = 1, r.signalStatus = probe::kExitTerminated; },
         "stopped by a signal; a check FAILED (exit status 143)"},
    };
    for (const Case& c : cases) {
        probe::RunResult changed = run;
        c.change(changed);
        std::string text = printed([&](std::FILE* out) { probe::print_closing(out, options, changed, probe::judge(changed)); });
        EXPECT_NE(text.find(std::string("  verdict       ") + c.says + "\n"), std::string::npos) << text;
    }
}

// --set writes by name, as another gauge would: a point's position in the
// units given, and the module's controls untyped.
TEST_F(ProbeHostTest, SetWritesVariablesAtTheirTimesInTheirUnits) {
    std::string points = file("points.csv", "47.1,11.5,5000\n47.0,11.6,5000\n");
    Outcome run = probe_host({"--seconds", "1.2", "--pause-at", "off", "--points", points, "--json", "--csv",
                              (dir / "samples.csv").string(), "--set",
                              "WZPointLat_0=0.8238 radians@0.3,WZPointAlt_0=3048 meters@0.3,WZ_UpdateInterval=20@0.3,"
                              "Other_Gauge_Var=3@0.2"});
    ASSERT_EQ(run.status, 0) << run.output;
    nlohmann::json summary = summary_of(run);
    EXPECT_EQ(summary["update_interval_ms"], 20.0);
    const nlohmann::json& intervals = summary["elevation_age"]["intervals_in_force_ms"];
    ASSERT_EQ(intervals.size(), 2u) << intervals;
    EXPECT_EQ(intervals[0]["ms"], 55.0);
    EXPECT_EQ(intervals[1]["ms"], 20.0);
    EXPECT_GE(intervals[1]["from_s"].get<double>(), 0.3);
    std::vector<CsvSample> samples = read_samples(dir / "samples.csv");
    expect_samples_follow(*hostsim::relief_terrain(), samples, 2, summary);
    std::vector<CsvSample> first;
    for (const CsvSample& s : samples)
        if (s.point == 0) first.push_back(s);
    ASSERT_GT(first.size(), 2u);
    EXPECT_NEAR(first.front().lat, 47.1, 1e-9);
    EXPECT_NEAR(first.front().alt, 5000, 1e-9);
    EXPECT_NEAR(first.back().lat, 0.8238 / hostsim::radians(1.0), 1e-9);
    EXPECT_NEAR(first.back().alt, 10000, 1e-6);
    EXPECT_NEAR(first.back().lon, 11.5, 1e-9);
    // The summary gives the position as the variables hold it at the end.
    EXPECT_NEAR(summary["points"][0]["lat_deg"].get<double>(), 0.8238 / hostsim::radians(1.0), 1e-9);
    EXPECT_NEAR(summary["points"][0]["alt_ft"].get<double>(), 10000, 1e-6);
    EXPECT_TRUE(summary["elevation_age"]["passed"].get<bool>());
    // Each write is shown as it is made, in the units given.
    Outcome text = probe_host({"--seconds", "0.5", "--pause-at", "off", "--set", "WZPointAlt_0=3048 meters@0.1,X=1@9"});
    ASSERT_EQ(text.status, 0) << text.output;
    EXPECT_NE(text.out.find(" s  WZPointAlt_0 set to 3048 meters (--set)"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("the layout moves every point each frame"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("X (--set) at 9 s is at or after the end of the run"), std::string::npos) << text.out;

    // Points read by their header's names, checked against the elevations
    // it expects; a point under the ground, and one written without units
    // (radians to the module), are warned about by name.
    char expectedA[32];
    std::snprintf(expectedA, sizeof expectedA, "%.4f",
                  hostsim::relief_terrain()->elevation_feet(hostsim::radians(47.1), hostsim::radians(11.5)));
    std::string named = file("named.csv", std::string("Name,Lon,Lat,Alt_m,expected_ft\nA,11.5,47.1,100,") + expectedA +
                                              "\nB,11.6,47.0,\"5,000\",1\n");
    Outcome gated = probe_host({"--seconds", "0.6", "--pause-at", "off", "--points", named, "--json", "--tolerance",
                                "0.01", "--set", "WZPointLat_1=47@0.1"});
    EXPECT_EQ(gated.status, 3) << gated.output;
    nlohmann::json g = summary_of(gated);
    EXPECT_EQ(g["points"][0]["name"], "A");
    EXPECT_NEAR(g["points"][1]["alt_ft"].get<double>(), 5000 / 0.3048, 1e-6);
    EXPECT_TRUE(warned(g, "named.csv: points placed below the terrain model's ground")) << g["warnings"];
    EXPECT_TRUE(warned(g, "line 2 (A) at 328 ft")) << g["warnings"];
    EXPECT_TRUE(warned(g, "WZPointLat_1 (--set 47 at 0.1 s) reads back as 2692.9")) << g["warnings"];
    ASSERT_EQ(g["verdict"]["failed"].size(), 1u) << g["verdict"];
    EXPECT_EQ(g["verdict"]["failed"][0]["check"], "expected_elevations");
    std::string says = g["verdict"]["failed"][0]["says"];
    EXPECT_NE(says.find("1 of 2 points differ"), std::string::npos) << says;
    EXPECT_NE(says.find("point 1, line 3 (B) published"), std::string::npos) << says;
}

#if defined(TP_HAVE_GDAL)
// A point on the tile's western edge reads the tile; one off it is counted.
TEST_F(ProbeHostTest, FixedPointsOverAnSrtmTileSampleTheTile) {
    tp_test::RasterLayout layout;
    layout.width = layout.height = 1201;
    layout.cellX = layout.cellY = 1.0 / 1200;
    layout.west = 11 - 0.5 / 1200, layout.north = 48 + 0.5 / 1200;
    layout.epsg = 4326;
    layout.value = [](int r, int c) { return 200 + r + 2 * c; };
    std::string tile = (dir / "N47E011.hgt").string();
    tp_test::write_raster("SRTMHGT", tile, layout, GDT_Int16);
    // As a spreadsheet saves it: a byte-order mark, quoted fields, CRLF.
    std::string points = file("peaks.csv", "\xEF\xBB\xBF\"latitude\",\"longitude\",\"altitude\"\r\n\"47.25\",11.25,9000\r\n"
                                           "47.5,\"11.0\",9000\r\n46.5,11.5,12000\r\n");
    Outcome run = probe_host({"--seconds", "1", "--terrain", tile, "--points", points, "--pause-at", "off",
                              "--json", "--csv", (dir / "samples.csv").string()});
    ASSERT_EQ(run.status, 0) << run.output;
    std::vector<CsvSample> samples = read_samples(dir / "samples.csv");
    expect_samples_follow(*hostsim::RasterTerrain::load(tile), samples, 3, summary_of(run));
    EXPECT_NEAR(samples.front().elevation, (200 + 900 + 2 * 300) / 0.3048, 0.01);  // 47.25 N, 11.25 E
    double outside = 0;
    for (const CsvSample& s : samples) {
        if (s.point == 1) {
            EXPECT_NEAR(s.elevation, (200 + 600) / 0.3048, 0.01);
        }
        if (s.point == 2) ++outside;
    }
    EXPECT_GT(outside, 0);
    EXPECT_EQ(summary_of(run)["samples_outside_terrain"], outside);
    // The display's degree sign, byte 0xB0 in the gauge, comes out as UTF-8.
    EXPECT_NE(run.output.find("Lat: 47.25; Lon: 11.2500\xC2\xB0; Alt: 9000.0000\xC2\xB0"), std::string::npos) << run.output;
}
#endif

#if !defined(_WIN32)
// Waits until the file holds the text.
bool wait_for_text(const fs::path& path, const std::string& text) {
    return tp_test::eventually([&] { return read_all(path).find(text) != std::string::npos; }, 60000);
}

// Ctrl-C, SIGTERM and SIGHUP alike: the normal shutdown, the summary, every
// output completed (or, for a picture whose folder vanished during the run,
// named as not written), and the signal's exit status. SIGTERM sent twice,
// to the program and to its group as timeout sends it, is one request. And
// the module copy a killed run left is gone too.
TEST_F(ProbeHostTest, InterruptAndTerminateEndTheRunWithTheNormalShutdown) {
    struct Case {
        int signal, status;
        bool toGroupToo;
        const char* says;
    } cases[] = {{SIGINT, 130, false, "interrupted: ending the run"},
                 {SIGTERM, 143, false, "terminated: ending the run"},
                 {SIGTERM, 143, true, "terminated: ending the run"},
                 {SIGHUP, probe::kExitHangup, false, "hung up: ending the run"}};
    for (const Case& c : cases) {
        fs::create_directories(dir / "gone");
        std::string picture = (dir / "gone" / "d.png").string();
        std::vector<std::string> args{"--seconds", "3600", "--count", "3", "--csv", (dir / "samples.csv").string()};
        if (probe::kRenderAvailable) args.insert(args.end(), {"--render", picture});
        for (const char* output : {"stdout.txt", "stderr.txt"}) fs::remove(dir / output);  // the last case's
        leave_copy_of(ended_process(), tmp);
        pid_t child = spawn(args, dir / "stdout.txt", dir / "stderr.txt", tmp);
        ASSERT_TRUE(wait_for_text(dir / "stdout.txt", " s  running "));
        fs::remove_all(dir / "gone");
        kill(child, c.signal);
        if (c.toGroupToo) kill(-child, c.signal);
        EXPECT_EQ(wait_status(child), c.status);
        std::string out = read_all(dir / "stdout.txt"), err = read_all(dir / "stderr.txt");
        EXPECT_NE(err.find(c.says), std::string::npos) << err;
        EXPECT_EQ(err.find("at once"), std::string::npos) << err;
        EXPECT_NE(out.find("; interrupted)"), std::string::npos) << out;
        EXPECT_NE(out.find("stop latency  "), std::string::npos) << out;
        EXPECT_NE(out.find("every reference returned"), std::string::npos) << out;
        EXPECT_NE(out.find("verdict       stopped by a signal (exit status " + std::to_string(c.status) + ")"),
                  std::string::npos) << out;
        if (probe::kRenderAvailable) {
            EXPECT_NE(out.find("not written   --render cannot write " + picture), std::string::npos) << out;
        }
        // The CSV holds every sample the summary counts, its last line whole.
        std::string csv = read_all(dir / "samples.csv");
        ASSERT_FALSE(csv.empty());
        EXPECT_EQ(csv.back(), '\n');
        size_t rows = read_samples(dir / "samples.csv").size();
        EXPECT_GT(rows, 0u);
        EXPECT_NE(out.find("(" + std::to_string(rows) + " samples)"), std::string::npos) << out;
        EXPECT_TRUE(fs::is_empty(tmp));
    }
}

// The CSV ends on a whole line, and the summary (text or JSON) calls it
// incomplete with the rows it holds, saying why.
void expect_incomplete_csv(const std::string& csv, const std::string& out, bool json, const std::string& because) {
    ASSERT_FALSE(csv.empty());
    EXPECT_EQ(csv.back(), '\n');
    size_t rows = static_cast<size_t>(std::count(csv.begin(), csv.end(), '\n')) - 1;  // less the column names
    if (json) {
        nlohmann::json summary = summary_of({0, out, out});
        EXPECT_EQ(summary["csv_rows"], rows);
        EXPECT_EQ(summary["csv_complete"], false);
        EXPECT_EQ(summary["csv_incomplete_because"], because);
    } else {
        EXPECT_NE(out.find("INCOMPLETE: " + std::to_string(rows) + " of "), std::string::npos) << out;
        EXPECT_NE(out.find(because), std::string::npos) << out;
    }
}

// The CSV goes to a pipe nobody reads until it is stopped, so its finish
// waits: a Ctrl-C while it is finished stops it, and so does a second
// Ctrl-C (from another sender) during the run, the file ending on a whole
// line and the summary and the JSON calling it incomplete.
TEST_F(ProbeHostTest, CtrlCCutsTheCsvsFinishShortOnAWholeLine) {
    fs::path pipe = dir / "samples.csv";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0644), 0);
    const std::vector<std::string> run{"--seconds", "3", "--count", "5000", "--interval", "0", "--pause-at", "off",
                                       "--csv", pipe.string()};
    const std::string stopping = "probe-host: stopping --csv " + pipe.string() + " at a whole line";
    struct Case {
        bool duringTheRun, json;
    } cases[] = {{false, true}, {true, false}};
    for (const Case& c : cases) {
        for (const char* output : {"stdout.txt", "stderr.txt"}) fs::remove(dir / output);  // the last case's
        int reader = open(pipe.c_str(), O_RDONLY | O_NONBLOCK);
        ASSERT_GE(reader, 0);
        std::vector<std::string> args = run;
        if (c.duringTheRun) args[1] = "3600";
        if (c.json) args.push_back("--json");
        pid_t child = spawn(args, dir / "stdout.txt", dir / "stderr.txt", tmp);
        if (c.duringTheRun)
            ASSERT_TRUE(wait_for_text(dir / "stdout.txt", " s  running ")) << read_all(dir / "stdout.txt");
        else
            ASSERT_TRUE(wait_for_text(dir / "stderr.txt", "probe-host: finishing --csv " + pipe.string()))
                << read_all(dir / "stderr.txt");
        kill(child, SIGINT);
        if (c.duringTheRun) {
            ASSERT_TRUE(wait_for_text(dir / "stderr.txt", "interrupted: ending the run")) << read_all(dir / "stderr.txt");
            interrupt_from_elsewhere(child);
        }
        // Only once the stop has reached the file thread does the pipe drain,
        // so that the rows still queued are left out however fast the run was.
        ASSERT_TRUE(wait_for_text(dir / "stderr.txt", stopping)) << read_all(dir / "stderr.txt");
        fcntl(reader, F_SETFL, 0);
        std::string csv;
        char block[65536];
        for (ssize_t got; (got = read(reader, block, sizeof block)) > 0;) csv.append(block, static_cast<size_t>(got));
        close(reader);
        EXPECT_EQ(wait_status(child), 130);
        expect_incomplete_csv(csv, read_all(dir / "stdout.txt"), c.json,
                              "its finish stopped by a signal; its last line is whole");
        EXPECT_TRUE(fs::is_empty(tmp));
    }
}

// A disk that fills during the run (here a file size limit, which fails
// writes past it as a full disk does): the CSV is cut back to its last
// whole line and called incomplete with the rows it holds.
TEST_F(ProbeHostTest, ACsvWhoseWriteFailedHoldsWholeLinesAndIsCalledIncomplete) {
    rlim_t limit = fs::file_size(hostsim::default_module_path()) + (rlim_t{2} << 20);  // room for the module copy
    fs::path csvFile = dir / "samples.csv";
    for (bool json : {true, false}) {
        std::vector<std::string> args{"--seconds", "30", "--count", "2000", "--interval", "0", "--pause-at", "off",
                                      "--csv", csvFile.string()};
        if (json) args.push_back("--json");
        pid_t child = spawn(args, dir / "stdout.txt", dir / "stderr.txt", tmp, limit);
        // The run goes on whatever the disk does; end it once the CSV is full.
        ASSERT_TRUE(tp_test::eventually(
            [&] {
                std::error_code error;
                return fs::file_size(csvFile, error) >= limit && !error;
            },
            60000));
        kill(child, SIGTERM);
        EXPECT_EQ(wait_status(child), 143);
        std::string csv = read_all(csvFile), out = read_text(dir / "stdout.txt");
        EXPECT_NE(read_all(dir / "stderr.txt").find("writing --csv " + csvFile.string() + " failed: File too large"),
                  std::string::npos);
        expect_incomplete_csv(csv, out, json, "its write failed; its last line is whole");
        EXPECT_TRUE(fs::is_empty(tmp));
    }
}
#endif

#if defined(TP_HAVE_RENDER)
struct Picture {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;
    const uint8_t* at(int x, int y) const { return &rgb[(static_cast<size_t>(y) * width + x) * 3]; }
};

Picture read_png(const fs::path& path) {
    Picture picture;
    cairo_surface_t* surface = cairo_image_surface_create_from_png(path.string().c_str());
    if (cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS) {
        picture.width = cairo_image_surface_get_width(surface);
        picture.height = cairo_image_surface_get_height(surface);
        const unsigned char* data = cairo_image_surface_get_data(surface);
        int stride = cairo_image_surface_get_stride(surface);
        for (int y = 0; y < picture.height; ++y)
            for (int x = 0; x < picture.width; ++x) {
                uint32_t pixel = reinterpret_cast<const uint32_t*>(data + static_cast<ptrdiff_t>(y) * stride)[x];
                for (int shift : {16, 8, 0}) picture.rgb.push_back(static_cast<uint8_t>(pixel >> shift));
            }
    }
    cairo_surface_destroy(surface);
    return picture;
}

struct Box {
    int x, y, width, height;
    bool holds(int px, int py) const { return px >= x && px < x + width && py >= y && py < y + height; }
};

// The text boxes as the display gauge declares them.
std::vector<Box> text_boxes() {
    hostsim::Host host;
    hostsim::Module module(host, hostsim::default_module_path());
    hostsim::Gauge display(module, "display");
    std::vector<Box> boxes;
    for (const ElementBase* e : display.elements())
        if (e->kind == kElementText) {
            const auto& text = *reinterpret_cast<const TextElement*>(e);
            boxes.push_back({e->x, e->y, static_cast<int>(text.boxWidth), static_cast<int>(text.boxHeight)});
        }
    return boxes;
}

TEST_F(ProbeHostTest, RenderedDisplayIsThePanelWithWhiteTextInsideTheBoxes) {
    Outcome run = probe_host({"--seconds", "1", "--render", (dir / "display.png").string()});
    ASSERT_EQ(run.status, 0) << run.output;
    for (const char* line : {" s  running   cycles", "  WZ_PDK        1", "  stop latency  ", "  render        ",
                             "  elevation age median ",
                             "the rest of the cycle under way, plus the interval in force, plus one cycle\n"
                             "                (interval 55 ms; one cycle "})
        EXPECT_NE(run.output.find(line), std::string::npos) << line << "\n" << run.output;
    EXPECT_EQ(run.output.find("not measured"), std::string::npos) << run.output;
    Picture picture = read_png(dir / "display.png");
    ASSERT_EQ(picture.width, 300);
    ASSERT_EQ(picture.height, 75);
    std::vector<Box> boxes = text_boxes();
    ASSERT_EQ(boxes.size(), 3u);

    std::vector<int> lit(boxes.size());
    for (int y = 0; y < picture.height; ++y)
        for (int x = 0; x < picture.width; ++x) {
            const uint8_t* p = picture.at(x, y);
            auto box = std::find_if(boxes.begin(), boxes.end(), [&](const Box& b) { return b.holds(x, y); });
            if (box == boxes.end()) {
                // The panel as the bitmap has it: dark grey, white marks at column 149.
                int expected = x == 149 && (y <= 4 || y >= 71) ? 255 : 2;
                ASSERT_TRUE(p[0] == expected && p[1] == expected && p[2] == expected)
                    << x << "," << y << " is " << +p[0] << "," << +p[1] << "," << +p[2];
                continue;
            }
            // White text over the dark grey: every pixel a grey between the two.
            ASSERT_TRUE(p[0] == p[1] && p[1] == p[2] && p[0] >= 2) << x << "," << y;
            if (p[0] > 128) ++lit[static_cast<size_t>(box - boxes.begin())];
        }
    for (size_t i = 0; i < boxes.size(); ++i) EXPECT_GT(lit[i], 20) << "text box " << i;
}

// Six points, each flown at a height over its own ground that puts it in
// one band of the terrain page: each band's colour is drawn in the map, a
// swatch of each in the legend, and nothing is left unpublished. A fan is
// drawn as the display's arc: the aircraft at the bottom centre, every
// cell ahead of it within 45 degrees of the heading.
TEST_F(ProbeHostTest, MapColoursEachPointInTheBandsOfATerrainPage) {
    std::shared_ptr<const hostsim::Terrain> relief = hostsim::relief_terrain();
    struct Spot {
        double lat, lon, clearanceFt;
        uint32_t colour;
    } spots[] = {{47.10, 11.59, -2500, 0xE8202A}, {47.06, 11.65, -1500, 0xF2D41E}, {47.02, 11.59, -200, 0x8A7A14},
                 {47.06, 11.53, 750, 0x27B54E},   {47.10, 11.65, 1500, 0x125F28},  {47.02, 11.53, 3000, 0x000000}};
    std::string csv;
    for (const Spot& s : spots) {
        double ground = relief->elevation_feet(hostsim::radians(s.lat), hostsim::radians(s.lon));
        csv += std::to_string(s.lat) + "," + std::to_string(s.lon) + "," + std::to_string(ground + s.clearanceFt) + "\n";
    }
    Outcome run = probe_host({"--seconds", "0.6", "--pause-at", "off", "--points", file("points.csv", csv), "--map",
                              (dir / "map.png").string()});
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("  map           "), std::string::npos) << run.output;
    Picture picture = read_png(dir / "map.png");
    ASSERT_EQ(picture.width, 890);
    ASSERT_EQ(picture.height, 640);
    // The map is the square on the left; the legend, with a swatch of each
    // band, the panel on the right.
    auto count = [&](const Picture& in, uint32_t colour, int fromX, int toX, int fromY = 0, int toY = 640) {
        int n = 0;
        for (int y = fromY; y < toY; ++y)
            for (int x = fromX; x < toX; ++x) {
                const uint8_t* p = in.at(x, y);
                n += (p[0] << 16 | p[1] << 8 | p[2]) == static_cast<int>(colour);
            }
        return n;
    };
    for (const Spot& s : spots) {
        EXPECT_GE(count(picture, s.colour, 0, 640), 100) << std::hex << s.colour;
        EXPECT_GE(count(picture, s.colour, 640, 890), 150) << std::hex << s.colour;
    }
    EXPECT_EQ(count(picture, 0xE030E0, 0, 640), 0);  // every point has an elevation
    EXPECT_GE(count(picture, 0xE030E0, 640, 890), 150);
    EXPECT_GE(count(picture, 0xFFFFFF, 0, 640), 40);  // the aircraft

    run = probe_host({"--seconds", "0.6", "--pause-at", "off", "--layout", "fan", "--count", "9", "--map",
                      (dir / "fan.png").string()});
    ASSERT_EQ(run.status, 0) << run.output;
    Picture fan = read_png(dir / "fan.png");
    int aircraft = count(fan, 0xFFFFFF, 300, 340, 575, 615);
    EXPECT_GE(aircraft, 40);
    EXPECT_EQ(count(fan, 0xFFFFFF, 0, 640), aircraft);
    int ahead = 0, beside = 0;
    for (const Spot& s : spots) {
        ahead += count(fan, s.colour, 0, 640, 0, 596);
        beside += count(fan, s.colour, 0, 640, 596, 640);
        // Below 45 degrees either side of straight up from (320, 596).
        for (int y = 0; y < 596; ++y)
            beside += count(fan, s.colour, 0, std::max(0, 320 - (596 - y)), y, y + 1) +
                      count(fan, s.colour, std::min(640, 321 + (596 - y)), 640, y, y + 1);
    }
    EXPECT_GE(ahead, 500);
    EXPECT_EQ(beside, 0);
}

TEST_F(ProbeHostTest, ProfileShowsTheGroundBelowTheAltitudeLine) {
    Outcome run = probe_host({"--seconds", "0.6", "--layout", "line", "--count", "40", "--range", "30", "--pause-at",
                              "off", "--profile", (dir / "profile.png").string()});
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("  profile       "), std::string::npos) << run.output;
    Picture picture = read_png(dir / "profile.png");
    ASSERT_EQ(picture.width, 960);
    ASSERT_EQ(picture.height, 480);
    // The filled ground and the altitude line's blue are both drawn, the
    // ground below the line.
    int groundTop = picture.height, altitudeRow = -1;
    for (int y = 0; y < picture.height; ++y)
        for (int x = 0; x < picture.width; ++x) {
            const uint8_t* p = picture.at(x, y);
            if (p[0] == 0xD9 && p[1] == 0xC7 && p[2] == 0xA3) groundTop = std::min(groundTop, y);
            if (p[0] == 0x1F && p[1] == 0x5F && p[2] == 0xBF && altitudeRow < 0) altitudeRow = y;
        }
    ASSERT_GE(altitudeRow, 0);
    EXPECT_LT(altitudeRow, groundTop);
    EXPECT_LT(groundTop, picture.height - 60);
}
#endif

#if defined(TP_HAVE_RENDER)
// A picture whose write fails (here past a file size limit, as on a full
// disk) leaves nothing behind, nor spoils the picture already there.
TEST_F(ProbeHostTest, APictureWhoseWriteFailsLeavesNothing) {
    const std::string path = (dir / "m.png").string();
    probe::PlanView view;
    view.title = "Plan view";
    view.points = {{0.5, 1.0, 1200, true}};
    probe::render_map(view, path);
    const std::string before = read_all(path);
    fs::remove(path);
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    auto* oldHandler = signal(SIGXFSZ, SIG_IGN);
    for (bool existed : {false, true}) {
        if (existed) tp_test::write_file(path, before);
        rlimit small{1024, saved.rlim_max};
        setrlimit(RLIMIT_FSIZE, &small);
        std::string error;
        try {
            probe::render_map(view, path);
        } catch (const probe::RenderError& e) {
            error = e.what();
        }
        setrlimit(RLIMIT_FSIZE, &saved);
        EXPECT_EQ(error, "cannot write " + path + ": File too large");
        std::vector<fs::path> left;
        for (const auto& entry : fs::directory_iterator(dir))
            if (entry.path().filename().string().rfind("m.png", 0) == 0) left.push_back(entry.path());
        EXPECT_EQ(left.size(), existed ? 1u : 0u);
        if (existed) {
            EXPECT_EQ(read_all(path), before);
        }
    }
    signal(SIGXFSZ, oldHandler);
    probe::finish_drawing();
}
#endif

// --version names the module probe-host would run and the version the file
// declares, read from the file without loading it, whatever the file is.
TEST_F(ProbeHostTest, VersionNamesTheModuleAndTheVersionItsFileDeclares) {
    const std::string module = hostsim::default_module_path();
    const std::string extension = fs::path(module).extension().string();
    const std::string bytes = read_all(module);
    // Whole headers whose sections lie past the end of the file: the
    // version (in the resource section, or found through the ELF section
    // headers) lies beyond the first 4 KiB of either kind of module.
    const std::string cut = file("cut" + extension, bytes.substr(0, 4096));
    const std::string header = file("header" + extension, bytes.substr(0, 64));
    const std::string notes = file("notes" + extension, "no version here\n");
    const std::string missing = (dir / ("missing" + extension)).string();
    struct Case {
        std::vector<std::string> args;
        std::string says;  // the line's start
    } cases[] = {
        {{"--version"}, "module: " + module + " (version " TP_VERSION_TEXT ")\n"},
#if defined(_WIN32)
        {{"--version", "--module", cut}, "module: " + cut + " (no version information)\n"},
        {{"--version", "--module", header}, "module: " + header + " (no version information)\n"},
        {{"--version", "--module", notes}, "module: " + notes + " (no version information)\n"},
#else
        // The native build's version is read through headers checked first.
        {{"--version", "--module", cut}, "module: " + cut + " (not a complete module: it is cut short: its "},
        {{"--version", "--module", header},
         "module: " + header + " (not a complete module: it is cut short: its program header table runs to byte "},
        {{"--version", "--module", notes}, "module: " + notes + " (not a complete module: it is not an ELF file)\n"},
#endif
        {{"--version", "--module", missing}, "module: " + missing + " (no such file)\n"},
    };
    for (const Case& c : cases) {
        Outcome run = probe_host(c.args);
        EXPECT_EQ(run.status, 0) << run.output;
        std::string out = run.out;
        out.erase(std::remove(out.begin(), out.end(), '\r'), out.end());  // Windows' text mode
        std::string expected = "probe-host " TP_VERSION_TEXT "\n" + c.says;
        EXPECT_EQ(out.substr(0, expected.size()), expected);
        EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 2) << out;
        EXPECT_TRUE(fs::is_empty(tmp)) << "--version loaded a module";
    }
}


// --- gauges of the user's own, hosted with --gauge ---

#if defined(_WIN32)
constexpr const char* kGaugeModuleExtension = ".dll";
#else
constexpr const char* kGaugeModuleExtension = ".so";
#endif

std::string gauge_module(const std::string& name) {
    return (fs::path(hostsim::program_directory()) / (name + kGaugeModuleExtension)).string();
}

// The terrain model probe-host builds from the example grid.
std::shared_ptr<const hostsim::Terrain> example_terrain() {
#if defined(TP_HAVE_GDAL)
    return hostsim::RasterTerrain::load(TP_EXAMPLE_TERRAIN);
#else
    return hostsim::AsciiGridTerrain::load(TP_EXAMPLE_TERRAIN);
#endif
}

const nlohmann::json* watched(const nlohmann::json& summary, const std::string& name) {
    for (const nlohmann::json& w : summary["watched"])
        if (w["name"] == name) return &w;
    return nullptr;
}

// The example gauge flies over the example terrain across its ridges, and
// then holds the route's last position, where its points stay put: the
// elevations it last read are then those of the points it last wrote.
TEST_F(ProbeHostTest, ExampleGaugeReportsTheHighestGroundAheadAndTheClearance) {
    const std::string route = file("ridges.csv", "time,latitude,longitude,altitude\n"
                                                 "0,47.15,11.08,9000\n"
                                                 "2.5,47.40,11.22,10500\n");
    auto terrain = example_terrain();
    const probe::Position aircraft{47.40, 11.22, 10500};
    // Under each of the host's named-variable profiles.
    for (const char* profile : {"published", "ids-from-one"}) {
        SCOPED_TRACE(profile);
        std::vector<std::string> args = {"--gauge", gauge_module("terrain_lookahead") + "!lookahead", "--count", "6",
                                         "--terrain", TP_EXAMPLE_TERRAIN, "--route", route, "--seconds", "4",
                                         "--pause-at", "off", "--watch",
                                         "Lookahead_HighestGround_ft,Lookahead_Clearance_ft", "--json",
                                         "--host-profile", profile};
        Outcome run = probe_host(args);
        nlohmann::json summary = summary_of(run);
        EXPECT_EQ(run.status, probe::kExitPassed) << run.output;
        ASSERT_EQ(summary["points"].size(), 6u) << run.output;
        double highest = -1e9;
        for (int i = 0; i < 6; ++i) {
            const nlohmann::json& p = summary["points"][i];
            probe::Position point{p["lat_deg"].get<double>(), p["lon_deg"].get<double>(), p["alt_ft"].get<double>()};
            EXPECT_NEAR(probe::distance_m(aircraft, point), (i + 1) * 1852.0, 20.0) << "point " << i;
            highest = std::max(highest, terrain->elevation_feet(hostsim::radians(point.latitudeDeg),
                                                                hostsim::radians(point.longitudeDeg)));
        }
        const nlohmann::json* ground = watched(summary, "Lookahead_HighestGround_ft");
        const nlohmann::json* clearance = watched(summary, "Lookahead_Clearance_ft");
        ASSERT_TRUE(ground && clearance) << run.output;
        ASSERT_GT((*ground)["frames"].get<int>(), 0) << "the gauge never wrote its highest ground";
        EXPECT_NEAR((*ground)["last"].get<double>(), highest, 1.0);
        EXPECT_NEAR((*clearance)["last"].get<double>(), aircraft.altitudeFt - highest, 1.0);
        // On the way it crossed ground that rose and fell under the points.
        EXPECT_GT((*ground)["highest"].get<double>() - highest, 500.0);
    }
}

#if defined(TP_HAVE_GDAL)
// The Windows build's own ASCII grid reader models the example tile as the
// GDAL reader does: across it, at its edges, over its filled voids and off it.
TEST(AsciiGridTerrain, AgreesWithTheGdalReaderOnTheExampleTile) {
    auto gdal = hostsim::RasterTerrain::load(TP_EXAMPLE_TERRAIN);
    auto own = hostsim::AsciiGridTerrain::load(TP_EXAMPLE_TERRAIN);
    for (int i = -2; i <= 102; ++i)
        for (int j = -2; j <= 102; ++j) {
            double lat = hostsim::radians(47.0 + i * 0.01 + 0.0013), lon = hostsim::radians(11.0 + j * 0.01 + 0.0007);
            ASSERT_EQ(own->covers(lat, lon), gdal->covers(lat, lon)) << i << ", " << j;
            ASSERT_NEAR(own->elevation_feet(lat, lon), gdal->elevation_feet(lat, lon), 0.01) << i << ", " << j;
        }
    EXPECT_NE(own->description().find("filled from neighbours: " + std::to_string(gdal->voids_filled())),
              std::string::npos)
        << own->description();
}
#endif

// A user's gauge that crashes or throws ends the run with status 4 and a
// message naming it, never blaming the module; one that asks for what
// hostsim does not provide is warned about, and the run goes on.
TEST_F(ProbeHostTest, UserGaugeFaultsEndTheRunAndItsUnprovidedRequestsAreWarnings) {
    const std::string module = gauge_module("faulty_gauges");
    struct Case {
        const char* gauge;
        int status;
        std::vector<std::string> says;
    } cases[] = {
        {"crash", probe::kExitUserGauge, {"the gauge " + module + "!crash crashed during a frame", "not in terrain_probe"}},
        {"throw", probe::kExitUserGauge,
         {"the gauge " + module + "!throw threw an exception (no such panel) during its installation", "not in terrain_probe"}},
        {"asking", probe::kExitPassed,
         {"\"AIRSPEED INDICATED\", which hostsim does not provide", "the units \"furlongs\"",
          "offset 456 (get_name_of_named_variable), which hostsim does not provide"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.gauge);
        Outcome run = probe_host({"--gauge", module + "!" + c.gauge, "--seconds", "0.5", "--pause-at", "off"});
        EXPECT_EQ(run.status, c.status) << run.output;
        for (const std::string& text : c.says) EXPECT_NE(run.output.find(text), std::string::npos) << run.output;
    }
    Outcome absent = probe_host({"--gauge", module + "!nosuch", "--seconds", "0.5"});
    EXPECT_EQ(absent.status, probe::kExitFile);
    EXPECT_NE(absent.output.find("declares no gauge named nosuch"), std::string::npos) << absent.output;
    Outcome bad = probe_host({"--gauge", module, "--seconds", "0.5"});
    EXPECT_EQ(bad.status, probe::kExitUsage);
    EXPECT_NE(bad.output.find("--gauge takes FILE!NAME[:PARAMETERS]"), std::string::npos) << bad.output;
}

}  // namespace
