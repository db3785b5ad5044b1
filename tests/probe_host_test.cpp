// probe-host run as a user runs it, as a separate program: its argument and
// file errors, short runs whose samples must match the terrain model at the
// positions the worker read, and (native build) the rendered display.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <sstream>
#include <vector>

#include "hostsim/gauge_system.h"
#include "hostsim/module.h"
#include "scratch_files.h"
#if defined(TP_HAVE_GDAL)
#include "hostsim/raster_terrain.h"
#include "raster_files.h"
#endif

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/wait.h>
#endif
#if defined(TP_HAVE_RENDER)
#include <png.h>
#endif

namespace {

namespace fs = std::filesystem;
constexpr double kPi = 3.14159265358979323846;

struct Outcome {
    int status = -1;
    std::string output;  // stdout and stderr together
};

#if defined(_WIN32)
constexpr const char* kProgram = "probe-host.exe";
int run_program(const std::string& commandLine, const fs::path& output) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE out = CreateFileA(output.string().c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                             CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = out;
    PROCESS_INFORMATION process{};
    std::string line = commandLine;
    BOOL started = CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process);
    CloseHandle(out);
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
int run_program(const std::string& commandLine, const fs::path& output) {
    int raw = std::system((commandLine + " >'" + output.string() + "' 2>&1").c_str());
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}
#endif

class ProbeHostTest : public ::testing::Test {
protected:
    void SetUp() override { dir = tp_test::scratch_directory("probe-host"); }
    void TearDown() override { fs::remove_all(dir); }

    Outcome probe_host(const std::vector<std::string>& args) {
        const char quote = fs::path::preferred_separator == '\\' ? '"' : '\'';
        std::string command = quote + (fs::path(hostsim::program_directory()) / kProgram).string() + quote;
        for (const std::string& arg : args) command += " " + std::string(1, quote) + arg + quote;
        fs::path output = dir / "output.txt";
        Outcome outcome;
        outcome.status = run_program(command, output);
        std::ifstream in(output, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        outcome.output = text.str();
        return outcome;
    }
    std::string file(const std::string& name, const std::string& content) {
        tp_test::write_file(dir / name, content);
        return (dir / name).string();
    }

    fs::path dir;
};

TEST_F(ProbeHostTest, ArgumentAndFileErrorsSayWhatIsWrong) {
    const std::string points = file("points.csv", "lat,lon,alt\n47.1,11.2,5000\n");
    const std::string badLine = file("bad.csv", "# peaks\n47.1,11.2,5000\n\n47.2,eleven,5000\n");
    const std::string shortLine = file("short.csv", "47.1,11.2,5000\n47.2,11.3\n");
    const std::string notModule = file("notes.dll", "these are not machine instructions\n");
    const std::string notRaster = file("N47E011.hgt", std::string(4096, '\0'));
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string says;
    } cases[] = {
        {{"--seconds", "soon"}, 2, "--seconds takes a number"},
        {{"--seconds", "0"}, 2, "must be above 0"},
        {{"--count", "0"}, 2, "--count takes a whole number of points from 1 to 100000"},
        {{"--count"}, 2, "--count needs a value"},
        {{"--frobnicate"}, 2, "unknown argument '--frobnicate'"},
        {{"--pause-at", "3", "--resume-at", "2"}, 2, "--resume-at must come after --pause-at"},
        {{"--count", "3", "--points", points}, 2, "with --points the file gives the points"},
        {{"--module", (dir / "missing.dll").string()}, 1, "no module file at"},
        {{"--module", notModule}, 1, "not a loadable module"},
        {{"--points", (dir / "missing.csv").string()}, 1, "cannot open points file"},
        {{"--points", badLine}, 1, "bad.csv line 4: longitude 'eleven' is not a number"},
        {{"--points", shortLine}, 1, "short.csv line 2: expected latitude,longitude,altitude (3 fields), found 2"},
#if defined(TP_HAVE_GDAL)
        {{"--terrain", notRaster}, 1, "not a raster GDAL can read"},
        {{"--terrain", (dir / "missing").string()}, 1, "no terrain file or directory at"},
#else
        {{"--terrain", notRaster}, 2, "--terrain needs the native build"},
#endif
        {{"--help"}, 0, "Usage: probe-host [options]"},
#if !defined(TP_HAVE_RENDER)
        {{"--render", (dir / "x.png").string()}, 2, "--render needs the native build"},
#endif
    };
    for (const Case& c : cases) {
        Outcome run = probe_host(c.args);
        EXPECT_EQ(run.status, c.status) << c.args[0] << "\n" << run.output;
        EXPECT_NE(run.output.find(c.says), std::string::npos) << c.args[0] << "\n" << run.output;
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

double json_value(const std::string& json, const std::string& key) {
    size_t at = json.find("\"" + key + "\": ");
    return at == std::string::npos ? std::nan("") : std::strtod(json.c_str() + at + key.size() + 4, nullptr);
}

// When the run delivered a host message, as its JSON summary reports.
double message_time(const std::string& json, int value) {
    return json_value(json, "value\": " + std::to_string(value) + ", \"seconds");
}

// The samples are what the terrain model gives at the positions the worker
// read, every point was sampled, and the summary agrees.
void expect_samples_follow(const hostsim::Terrain& terrain, const std::vector<CsvSample>& samples, int points,
                           const std::string& json) {
    ASSERT_FALSE(samples.empty());
    std::vector<int> perPoint(static_cast<size_t>(points));
    for (const CsvSample& s : samples) {
        ASSERT_GE(s.point, 0);
        ASSERT_LT(s.point, points);
        ++perPoint[static_cast<size_t>(s.point)];
        float expected = static_cast<float>(terrain.elevation_feet(s.lat * kPi / 180, s.lon * kPi / 180));
        EXPECT_NEAR(s.elevation, expected, 0.01) << "point " << s.point << " at " << s.seconds << " s";
    }
    for (int n : perPoint) EXPECT_GT(n, 3);
    EXPECT_EQ(json_value(json, "samples"), static_cast<double>(samples.size()));
    EXPECT_EQ(json_value(json, "samples_off_terrain"), 0.0);
    EXPECT_EQ(json_value(json, "WZ_PDK"), 1.0);
    EXPECT_EQ(json_value(json, "WZ_pSurface"), 1.0);
    EXPECT_EQ(json_value(json, "update_interval_ms"), 55.0);
    EXPECT_GT(json_value(json, "stop_latency_ms"), 0.0);  // measured, not null
    EXPECT_NE(json.find("\"host_problems\": \"\""), std::string::npos);
}

TEST_F(ProbeHostTest, DefaultFanOverTheReliefSamplesTheGroundAndPauses) {
    Outcome run = probe_host({"--seconds", "1.6", "--count", "3", "--pause-at", "0.5", "--resume-at", "1.0", "--json",
                              "--csv", (dir / "samples.csv").string()});
    ASSERT_EQ(run.status, 0) << run.output;
    std::vector<CsvSample> samples = read_samples(dir / "samples.csv");
    expect_samples_follow(*hostsim::relief_terrain(), samples, 3, run.output);

    // Nothing is sampled between the pause (give or take the cycle it
    // caught under way) and the resume; sampling goes on on both sides.
    double paused = message_time(run.output, 56), resumed = message_time(run.output, 57);
    ASSERT_LT(paused, resumed);
    int before = 0, during = 0, after = 0;
    for (const CsvSample& s : samples) (s.seconds < paused + 0.1 ? before : s.seconds < resumed ? during : after)++;
    EXPECT_GT(before, 0);
    EXPECT_EQ(during, 0);
    EXPECT_GT(after, 0);
    EXPECT_EQ(json_value(run.output, "samples_paused"), 0.0);
    EXPECT_GT(json_value(run.output, "cycles_paused"), 0.0);
    // The fan moves, and its ground with it.
    EXPECT_NE(samples.front().elevation, samples.back().elevation);
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
    std::string points = file("peaks.csv", "latitude,longitude,altitude\n47.25,11.25,9000\n47.5,11.0,9000\n46.5,11.5,12000\n");
    Outcome run = probe_host({"--seconds", "1", "--terrain", tile, "--points", points, "--pause-at", "off",
                              "--json", "--csv", (dir / "samples.csv").string()});
    ASSERT_EQ(run.status, 0) << run.output;
    std::vector<CsvSample> samples = read_samples(dir / "samples.csv");
    expect_samples_follow(*hostsim::RasterTerrain::load(tile), samples, 3, run.output);
    EXPECT_NEAR(samples.front().elevation, (200 + 900 + 2 * 300) / 0.3048, 0.01);  // 47.25 N, 11.25 E
    double outside = 0;
    for (const CsvSample& s : samples) {
        if (s.point == 1) {
            EXPECT_NEAR(s.elevation, (200 + 600) / 0.3048, 0.01);
        }
        if (s.point == 2) ++outside;
    }
    EXPECT_GT(outside, 0);
    EXPECT_EQ(json_value(run.output, "samples_outside_terrain"), outside);
    // The display's degree sign, byte 0xB0 in the gauge, comes out as UTF-8.
    EXPECT_NE(run.output.find("Lat: 47.25; Lon: 11.2500\xC2\xB0; Alt: 9000.0000\xC2\xB0"), std::string::npos) << run.output;
}
#endif

#if defined(TP_HAVE_RENDER)
struct Picture {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;
    const uint8_t* at(int x, int y) const { return &rgb[(static_cast<size_t>(y) * width + x) * 3]; }
};

Picture read_png(const fs::path& path) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    Picture picture;
    if (!png_image_begin_read_from_file(&image, path.string().c_str())) return picture;
    image.format = PNG_FORMAT_RGB;
    picture.rgb.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, picture.rgb.data(), 0, nullptr)) return picture;
    picture.width = static_cast<int>(image.width);
    picture.height = static_cast<int>(image.height);
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
    for (const char* line : {"  1.00 s  running  cycles", "  WZ_PDK        1", "  stop latency  ", "  render        "})
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
#endif

}  // namespace
