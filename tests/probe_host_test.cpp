// probe-host run as a user runs it, as a separate program: its argument and
// file errors, short runs whose samples must match the terrain model at the
// positions the worker read, and (native build) the rendered display.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <sstream>
#include <thread>
#include <vector>

#include "hostsim/gauge_system.h"
#include "hostsim/module.h"
#include "scratch_files.h"
#include "tp_version.h"
#if defined(TP_HAVE_GDAL)
#include "hostsim/raster_terrain.h"
#include "raster_files.h"
#endif

#if defined(_WIN32)
#include <windows.h>
#else
#include <fcntl.h>
#include <signal.h>
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

// Starts probe-host with its output in files and TMPDIR pointing at tmp;
// the child's pid.
pid_t spawn(const std::vector<std::string>& args, const fs::path& out, const fs::path& err, const fs::path& tmp) {
    pid_t pid = fork();
    if (pid != 0) return pid;
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
        outcome.out = read_all(out);
        outcome.output = outcome.out + read_all(err);
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
    const std::string notModule = file("notes.dll", "these are not machine instructions\n");
    const std::string notRaster = file("N47E011.hgt", std::string(4096, '\0'));
#if defined(_WIN32)
    const std::string otherBuild = file("terrain_probe.so", "\x7f" "ELF and the rest of a Linux module");
    const char* otherBuildSays = "is a Linux shared object: run it with the native build";
#else
    const std::string otherBuild = file("terrain_probe.dll", "MZ and the rest of a Windows DLL");
    const char* otherBuildSays = "is a Windows DLL: run it with the Windows build";
#endif
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string says;
    } cases[] = {
        {{"--seconds", "soon"}, 2, "--seconds: Failed parsing soon"},
        {{"--seconds", "0"}, 2, "--seconds: Value 0 not in range"},
        {{"--count", "0"}, 2, "--count: Value 0 not in range 1 to 100000"},
        {{"--count"}, 2, "--count: 1 required"},
        {{"--csv", "--seconds", "0.2"}, 2, "--csv needs a value (--seconds is an option)"},
        {{"--frobnicate"}, 2, "unknown option '--frobnicate'"},
        {{"--pause-at", "soon"}, 2, "--pause-at takes times of 0 or more seconds"},
        {{"--click", "up@2"}, 2, "--click takes next@SECONDS or previous@SECONDS"},
        {{"--layout", "ring"}, 2, "--layout: ring not in {fan,line,grid}"},
        {{"--count", "3", "--points", points}, 2, "with --points the file gives the points"},
        {{"--module", (dir / "missing.dll").string()}, 1, "no module file at"},
        {{"--module", dir.string()}, 1, "is a directory, not a module file"},
        {{"--module", notModule}, 1, "not a loadable module"},
        {{"--module", otherBuild}, 1, otherBuildSays},
        {{"--points", (dir / "missing.csv").string()}, 1, "missing.csv: no such file"},
        {{"--points", dir.string()}, 1, "is a directory, not a CSV file"},
        {{"--points", badLine}, 1, "bad.csv line 4: longitude 'eleven' is not a number"},
        {{"--points", shortLine}, 1, "short.csv line 2: expected latitude,longitude,altitude (3 fields), found 2"},
#if defined(TP_HAVE_GDAL)
        {{"--terrain", notRaster}, 1, "not a raster GDAL can read"},
        {{"--terrain", (dir / "missing").string()}, 1, "no terrain file or directory at"},
#else
        {{"--terrain", notRaster}, 2, "--terrain needs the native build"},
#endif
        {{"--csv", (dir / "no" / "such" / "dir" / "s.csv").string()}, 1, "cannot be written"},
        {{"--help"}, 0, "Usage: probe-host [OPTIONS]"},
#if defined(TP_HAVE_RENDER)
        {{"--render", (dir / "nonexistent" / "d.png").string()}, 1, "does not exist"},
        {{"--csv", "/dev/full"}, 1, "--csv /dev/full cannot be written: No space left on device"},
#else
        {{"--render", (dir / "x.png").string()}, 2, "--render needs the native build"},
        {{"--profile", (dir / "x.png").string()}, 2, "--profile needs the native build"},
#endif
    };
    for (const Case& c : cases) {
        auto began = std::chrono::steady_clock::now();
        Outcome run = probe_host(c.args);
        EXPECT_EQ(run.status, c.status) << c.args[0] << "\n" << run.output;
        EXPECT_NE(run.output.find(c.says), std::string::npos) << c.args[0] << "\n" << run.output;
        // Refused before any run, and the private module copy gone too.
        if (c.status != 0) {
            EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::seconds(3)) << c.args[0];
        }
        EXPECT_EQ(run.output.find("terrain_probe-"), std::string::npos) << run.output;
        EXPECT_TRUE(fs::is_empty(tmp)) << c.args[0];
    }
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

TEST_F(ProbeHostTest, FramesFollowTheWallClock) {
    // Enough points that a frame's work is felt: the run still ends on time
    // and every frame of its 18 a second is either run or counted missed.
    auto began = std::chrono::steady_clock::now();
    Outcome run = probe_host({"--seconds", "1", "--count", "20000", "--pause-at", "off", "--json"});
    double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    ASSERT_EQ(run.status, 0) << run.output;
    nlohmann::json summary = summary_of(run);
    // The run ends with the frame under way at its end, at most one frame late.
    EXPECT_NEAR(summary["seconds"].get<double>(), 1.0, 0.3);
    EXPECT_EQ(summary["frames"].get<int>() + summary["frames_missed"].get<int>(), 18);
    EXPECT_LT(wall, 8.0);
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
        {{"--count", "3", "--select", "2"}, [](const nlohmann::json& s) { EXPECT_EQ(s["display"][0], "ID=2"); }},
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
             // aircraft, a kilometre apart, at the route's altitude.
             const auto& p = s["points"];
             for (size_t i = 0; i < 4; ++i) {
                 EXPECT_NEAR(p[i]["lon_deg"].get<double>(), 11.0, 1e-6);
                 EXPECT_NEAR(p[i]["alt_ft"].get<double>(), 8000 + 100 * s["seconds"].get<double>(), 20);
                 if (i) {
                     EXPECT_NEAR(p[i]["lat_deg"].get<double>() - p[i - 1]["lat_deg"].get<double>(), 1 / 111.2, 1e-4);
                 }
             }
         }},
        {{"--layout", "grid", "--count", "9", "--range", "3"},
         [](const nlohmann::json& s) { EXPECT_EQ(s["points"].size(), 9u); }},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = c.args;
        for (const char* a : {"--seconds", "0.6", "--pause-at", "off", "--json"}) args.push_back(a);
        Outcome run = probe_host(args);
        ASSERT_EQ(run.status, 0) << c.args[0] << "\n" << run.output;
        c.check(summary_of(run));
    }
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
TEST_F(ProbeHostTest, InterruptEndsTheRunWithTheNormalShutdown) {
    pid_t child = spawn({"--seconds", "30", "--count", "3", "--csv", (dir / "samples.csv").string()},
                        dir / "stdout.txt", dir / "stderr.txt", tmp);
    std::this_thread::sleep_for(std::chrono::milliseconds(1200));
    kill(child, SIGINT);
    auto sent = std::chrono::steady_clock::now();
    EXPECT_EQ(wait_status(child), 130);
    EXPECT_LT(std::chrono::steady_clock::now() - sent, std::chrono::seconds(3));
    std::string out = read_all(dir / "stdout.txt");
    EXPECT_NE(out.find("; interrupted)"), std::string::npos) << out;
    EXPECT_NE(out.find("stop latency  "), std::string::npos) << out;
    EXPECT_NE(out.find("every reference returned"), std::string::npos) << out;
    // The CSV holds every sample the summary counts, its last line whole.
    std::string csv = read_all(dir / "samples.csv");
    ASSERT_FALSE(csv.empty());
    EXPECT_EQ(csv.back(), '\n');
    size_t rows = read_samples(dir / "samples.csv").size();
    EXPECT_GT(rows, 0u);
    EXPECT_NE(out.find("(" + std::to_string(rows) + " samples)"), std::string::npos) << out;
    EXPECT_TRUE(fs::is_empty(tmp));
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
    for (const char* line : {" s  running   cycles", "  WZ_PDK        1", "  stop latency  ", "  render        "})
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
        std::string says;
    } cases[] = {
        {{"--version"}, "module: " + module + " (version " TP_VERSION_TEXT ")"},
        {{"--version", "--module", cut}, "module: " + cut + " (no version information)"},
        {{"--version", "--module", header}, "module: " + header + " (no version information)"},
        {{"--version", "--module", notes}, "module: " + notes + " (no version information)"},
        {{"--version", "--module", missing}, "module: " + missing + " (no such file)"},
    };
    for (const Case& c : cases) {
        Outcome run = probe_host(c.args);
        EXPECT_EQ(run.status, 0) << run.output;
        std::string out = run.out;
        out.erase(std::remove(out.begin(), out.end(), '\r'), out.end());  // Windows' text mode
        EXPECT_EQ(out, "probe-host " TP_VERSION_TEXT "\n" + c.says + "\n");
        EXPECT_TRUE(fs::is_empty(tmp)) << "--version loaded a module";
    }
}

}  // namespace
